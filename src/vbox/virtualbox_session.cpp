#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include "bridged_interface_correction.h"
#include "print.h"
#include "unique_holders.h"
#include "vbox_binding.h"
#include "virtualbox_session.h"

using Microsoft::WRL::ComPtr;

namespace {

// {DD3FC71D-26C0-4FE1-BF6F-67F633265BBA}
const CLSID CLSID_VirtualBoxClient = {
    0xDD3FC71D, 0x26C0, 0x4FE1, {0xBF, 0x6F, 0x67, 0xF6, 0x33, 0x26, 0x5B, 0xBA}};
// {D2937A8E-CB8D-4382-90BA-B7DA78A74573}
const IID IID_IVirtualBoxClient = {
    0xD2937A8E, 0xCB8D, 0x4382, {0x90, 0xBA, 0xB7, 0xDA, 0x78, 0xA7, 0x45, 0x73}};

// The client interface is dual, so its pointer serves as IDispatch. A
// VirtualBox of another API generation refuses the identifier but still
// answers by name.
HRESULT CreateClient(IVirtualBoxClient** client)
{
    HRESULT hr = CoCreateInstance(CLSID_VirtualBoxClient, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IVirtualBoxClient, reinterpret_cast<void**>(client));
    if (hr == E_NOINTERFACE)
        hr = CoCreateInstance(CLSID_VirtualBoxClient, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(client));
    return hr;
}

// A string that is printed when it can be had; a null one counts as a failure,
// reported with the call's own (success) code.
void PrintStringOrError(HRESULT hr, const unique_bstr& text, const char* format,
                        const char* errorFormat)
{
    if (SUCCEEDED(hr) && text) {
        if (format)
            PrintLine(format, text.get());
    } else {
        PrintLine(errorFormat, hr);
    }
}

void PrintSystemProperties(IVirtualBox* virtualBox)
{
    ComPtr<ISystemProperties> properties;
    if (FAILED(get_SystemProperties(virtualBox, &properties))) {
        PrintLine("get_SystemProperties FAILED\n");
        return;
    }
    unique_bstr text;
    HRESULT hr = get_DefaultAdditionsISO(properties.Get(), text.put());
    PrintStringOrError(hr, text, nullptr, "Error getting defaultAdditionsISO! rc = 0x%x\n");
    hr = get_DefaultFrontend(properties.Get(), text.put());
    PrintStringOrError(hr, text, nullptr, "Error getting defaultFrontend! rc = 0x%x\n");
}

void PrintExtensionPacks(IVirtualBox* virtualBox)
{
    ComPtr<IExtPackManager> manager;
    if (FAILED(get_ExtensionPackManager(virtualBox, &manager)))
        return;
    unique_safearray packs;
    if (FAILED(get_InstalledExtPacks(manager.Get(), packs.put())))
        return;
    unique_safearray_access<IExtPack*> access;
    if (FAILED(access.access(packs.get())))
        return;
    for (ULONG i = 0; i < packs.get()->rgsabound[0].cElements; ++i) {
        unique_bstr name;
        if (SUCCEEDED(get_Name(access.data()[i], name.put())))
            PrintLine("ExtPack Name: %S\n", name.get());
    }
}

void PrintDiagnosticsAndCorrect(IVirtualBoxClient* client)
{
    ComPtr<IVirtualBox> virtualBox;
    HRESULT hr = get_VirtualBox(client, &virtualBox);
    if (FAILED(hr)) {
        PrintLine("Error creating VirtualBox instance! rc = 0x%x\n", hr);
        return;
    }

    unique_bstr text;
    hr = get_VersionNormalized(virtualBox.Get(), text.put());
    PrintStringOrError(hr, text, "VBoxVersion: %S\n", "Error getting version! rc = 0x%x\n");
    hr = get_HomeFolder(virtualBox.Get(), text.put());
    PrintStringOrError(hr, text, "VboxHomeFolder: %S\n", "Error getting homeFolder! rc = 0x%x\n");
    text.reset();

    PrintSystemProperties(virtualBox.Get());
    PrintExtensionPacks(virtualBox.Get());

    ComPtr<ISession> session;
    if (SUCCEEDED(get_Session(client, &session)))
        BridgedInterfaceCorrection(virtualBox.Get(), session.Get());
}

} // namespace

void VirtualBoxSession()
{
    CoInitialize(nullptr);
    {
        ComPtr<IVirtualBoxClient> client;
        if (SUCCEEDED(CreateClient(&client)))
            PrintDiagnosticsAndCorrect(client.Get());
    }
    CoUninitialize();
}
