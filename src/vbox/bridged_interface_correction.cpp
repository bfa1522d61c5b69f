#include <windows.h>
#include <oleauto.h>
#include <wchar.h>
#include <wrl/client.h>

#include "bridged_interface_correction.h"
#include "bridgefix_state.h"
#include "print.h"
#include "to_ansi.h"
#include "unique_holders.h"
#include "vbox_binding.h"

using Microsoft::WRL::ComPtr;

namespace {

void PrintConverted(const char* format, const wchar_t* text)
{
    unique_process_heap_ptr<char> converted(ToAnsi(text));
    PrintLine(format, converted.get());
}

// Exact comparison by UTF-16 code unit; a null BSTR is the empty string.
bool SameText(BSTR text, const wchar_t* other)
{
    UINT length = SysStringLen(text);
    return length == wcslen(other) && wmemcmp(text ? text : L"", other, length) == 0;
}

// The adapter writes and the save, while the session holds the machine's lock: the
// session is unlocked on every path, before the copies made here are released.
void WriteBridgeAndSave(ISession* session)
{
    ComPtr<IMachine> sessionMachine;
    ComPtr<INetworkAdapter> adapter;
    unique_bstr target;
    if (SUCCEEDED(get_Machine(session, &sessionMachine)) &&
        SUCCEEDED(GetNetworkAdapter(sessionMachine.Get(), 0, &adapter))) {
        target.reset(SysAllocString(BridgeTarget));
        // Without the copy the adapter would be bridged to nothing.
        if (target) {
            put_Enabled(adapter.Get(), TRUE);
            put_AttachmentType(adapter.Get(), NetworkAttachmentType_Bridged);
            put_BridgedInterface(adapter.Get(), target.get());
            HRESULT hr = SaveSettings(sessionMachine.Get());
            if (FAILED(hr)) {
                PrintLine("SaveSettings() failed, err=%i\n", hr);
                PrintErrorInfo(hr);
            }
        }
    }
    UnlockMachine(session);
}

void ChangeBridge(IVirtualBox* virtualBox, ISession* session, IMachine* machine, unique_bstr& name)
{
    {
        unique_bstr settingsPath;
        if (FAILED(get_SettingsFilePath(machine, settingsPath.put())))
            return;
        PrintLine("Settings: %S\n", settingsPath.get());
    }

    ComPtr<IMachine> found;
    HRESULT hr = FindMachine(virtualBox, name.get(), &found);
    name.reset();
    if (FAILED(hr)) {
        PrintLine("Can't open machine\n");
        PrintErrorInfo(hr);
        return;
    }
    hr = LockMachine(found.Get(), session, LockType_Write);
    if (FAILED(hr)) {
        PrintLine("Can't lock machine\n");
        PrintErrorInfo(hr);
        return;
    }
    WriteBridgeAndSave(session);
}

void CorrectMachine(IVirtualBox* virtualBox, ISession* session, IMachine* machine)
{
    // A machine without a readable name cannot be the named one.
    unique_bstr name;
    if (FAILED(get_Name(machine, name.put())))
        return;
    PrintConverted("VmName: %s\n", name.get());

    ComPtr<INetworkAdapter> adapter;
    if (FAILED(GetNetworkAdapter(machine, 0, &adapter)))
        return;
    unique_bstr bridgedTo;
    if (FAILED(get_BridgedInterface(adapter.Get(), bridgedTo.put())))
        bridgedTo.reset();
    PrintConverted("Bridged to: %s\n", bridgedTo.get());

    // Without an argument no machine is named, not even one with an empty name.
    if (TargetVmName[0] == L'\0' || !SameText(name.get(), TargetVmName)) {
        PrintLine("* skip\n");
        return;
    }
    if (BridgeTarget[0] == L'\0' || SameText(bridgedTo.get(), BridgeTarget))
        return;
    PrintConverted("Change to: %s\n", BridgeTarget);
    ChangeBridge(virtualBox, session, machine, name);
}

} // namespace

int BridgedInterfaceCorrection(IVirtualBox* virtualBox, ISession* session)
{
    unique_safearray machines;
    if (FAILED(get_Machines(virtualBox, machines.put())))
        return 0;
    unique_safearray_access<IMachine*> access;
    if (FAILED(access.access(machines.get())))
        return 0;
    for (ULONG i = 0; i < machines.get()->rgsabound[0].cElements; ++i)
        CorrectMachine(virtualBox, session, access.data()[i]);
    return 0;
}

void PrintErrorInfo(HRESULT result)
{
    if (SUCCEEDED(result))
        return;
    ComPtr<IErrorInfo> info;
    HRESULT hr = GetErrorInfo(0, &info);
    if (FAILED(hr)) {
        PrintLine("Error getting error info! rc = 0x%x\n", hr);
        return;
    }
    if (!info)
        return;
    unique_bstr description;
    hr = info->GetDescription(description.put());
    if (SUCCEEDED(hr) && description)
        PrintLine("Error description: %S\n", description.get());
    else
        PrintLine("Error getting error description! rc = 0x%x\n", hr);
}
