#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "unique_holders.h"
#include "vbox_binding.h"

using Microsoft::WRL::ComPtr;

namespace {

// Makes an exception raised through Invoke look as it does after a direct
// call: its code is the result, its description the thread's error object.
HRESULT TakeException(EXCEPINFO& exception)
{
    if (exception.pfnDeferredFillIn)
        exception.pfnDeferredFillIn(&exception);
    unique_bstr description(exception.bstrDescription);
    unique_bstr source(exception.bstrSource);
    unique_bstr helpFile(exception.bstrHelpFile);

    ComPtr<ICreateErrorInfo> created;
    if (SUCCEEDED(CreateErrorInfo(&created))) {
        created->SetDescription(description.get());
        created->SetSource(source.get());
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(created.As(&info)))
            SetErrorInfo(0, info.Get());
    }
    return FAILED(exception.scode) ? exception.scode : DISP_E_EXCEPTION;
}

// Calls a member by name. Invoke takes the arguments last one first.
HRESULT Call(IDispatch* object, const wchar_t* member, WORD kind, VARIANT* argsLastFirst,
             UINT argCount, VARIANT* result)
{
    if (!object)
        return E_POINTER;
    LPOLESTR name = const_cast<LPOLESTR>(member);
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;

    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {argsLastFirst, nullptr, argCount, 0};
    if (kind == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception = {};
    UINT argError = 0;
    // An error object found after the call then belongs to this call.
    SetErrorInfo(0, nullptr);
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, &exception,
                        &argError);
    return hr == DISP_E_EXCEPTION ? TakeException(exception) : hr;
}

HRESULT GetStringValue(IDispatch* object, const wchar_t* property, BSTR* value)
{
    unique_variant result;
    HRESULT hr = Call(object, property, DISPATCH_PROPERTYGET, nullptr, 0, result.get());
    if (FAILED(hr))
        return hr;
    if (result->vt == VT_EMPTY || result->vt == VT_NULL) {
        *value = nullptr;
        return hr;
    }
    // Taken as it is: a conversion would turn the null string into an empty one.
    if (result->vt == VT_BSTR) {
        *value = result.release().bstrVal;
        return hr;
    }
    HRESULT converted = VariantChangeType(result.get(), result.get(), 0, VT_BSTR);
    if (FAILED(converted))
        return converted;
    *value = result.release().bstrVal;
    return hr;
}

// Takes the object out of a result; a success without an object is no success.
HRESULT TakeObject(HRESULT hr, unique_variant& result, IDispatch** object)
{
    if (FAILED(hr))
        return hr;
    switch (result->vt) {
    case VT_DISPATCH:
        if (!result->pdispVal)
            return E_POINTER;
        *object = result.release().pdispVal;
        return hr;
    case VT_UNKNOWN:
        if (!result->punkVal)
            return E_POINTER;
        return result->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object));
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT GetObjectValue(IDispatch* owner, const wchar_t* property, IDispatch** object)
{
    unique_variant result;
    HRESULT hr = Call(owner, property, DISPATCH_PROPERTYGET, nullptr, 0, result.get());
    return TakeObject(hr, result, object);
}

IUnknown* ElementObject(VARTYPE type, void* element)
{
    if (type == VT_DISPATCH || type == VT_UNKNOWN)
        return *static_cast<IUnknown**>(element);
    auto* variant = static_cast<VARIANT*>(element);
    if (variant->vt == VT_DISPATCH || variant->vt == VT_UNKNOWN)
        return variant->punkVal;
    return nullptr;
}

// Gives the caller a one-dimensional SAFEARRAY of IDispatch*, whatever form of
// object array the server answered with.
HRESULT GetObjectArray(IDispatch* owner, const wchar_t* property, SAFEARRAY** array)
{
    unique_variant result;
    HRESULT hr = Call(owner, property, DISPATCH_PROPERTYGET, nullptr, 0, result.get());
    if (FAILED(hr))
        return hr;
    VARTYPE elementType = result->vt & VT_TYPEMASK;
    if ((result->vt & ~VT_TYPEMASK) != VT_ARRAY ||
        (elementType != VT_DISPATCH && elementType != VT_UNKNOWN && elementType != VT_VARIANT))
        return DISP_E_TYPEMISMATCH;
    SAFEARRAY* source = result->parray;
    if (!source || SafeArrayGetDim(source) != 1)
        return DISP_E_TYPEMISMATCH;
    if (elementType == VT_DISPATCH) {
        *array = result.release().parray;
        return hr;
    }

    ULONG count = source->rgsabound[0].cElements;
    unique_safearray converted(SafeArrayCreateVector(VT_DISPATCH, 0, count));
    if (!converted)
        return E_OUTOFMEMORY;
    unique_safearray_access<BYTE> from;
    unique_safearray_access<IDispatch*> to;
    HRESULT accessed = from.access(source);
    if (SUCCEEDED(accessed))
        accessed = to.access(converted.get());
    if (FAILED(accessed))
        return accessed;
    for (ULONG i = 0; i < count; ++i) {
        IUnknown* element = ElementObject(elementType, from.data() + i * source->cbElements);
        if (element)
            element->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&to.data()[i]));
    }
    to.reset();
    *array = converted.release();
    return hr;
}

HRESULT Put(IDispatch* object, const wchar_t* property, VARIANT value)
{
    return Call(object, property, DISPATCH_PROPERTYPUT, &value, 1, nullptr);
}

HRESULT CallMethod(IDispatch* object, const wchar_t* method, VARIANT* argsLastFirst = nullptr,
                   UINT argCount = 0)
{
    unique_variant ignored;
    return Call(object, method, DISPATCH_METHOD, argsLastFirst, argCount, ignored.get());
}

VARIANT Argument(VARTYPE type)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = type;
    return value;
}

} // namespace

HRESULT get_VirtualBox(IVirtualBoxClient* client, IVirtualBox** virtualBox)
{
    return GetObjectValue(client, L"VirtualBox", virtualBox);
}

HRESULT get_Session(IVirtualBoxClient* client, ISession** session)
{
    return GetObjectValue(client, L"Session", session);
}

HRESULT get_VersionNormalized(IVirtualBox* virtualBox, BSTR* version)
{
    return GetStringValue(virtualBox, L"VersionNormalized", version);
}

HRESULT get_HomeFolder(IVirtualBox* virtualBox, BSTR* homeFolder)
{
    return GetStringValue(virtualBox, L"HomeFolder", homeFolder);
}

HRESULT get_SystemProperties(IVirtualBox* virtualBox, ISystemProperties** properties)
{
    return GetObjectValue(virtualBox, L"SystemProperties", properties);
}

HRESULT get_ExtensionPackManager(IVirtualBox* virtualBox, IExtPackManager** manager)
{
    return GetObjectValue(virtualBox, L"ExtensionPackManager", manager);
}

HRESULT get_Machines(IVirtualBox* virtualBox, SAFEARRAY** machines)
{
    return GetObjectArray(virtualBox, L"Machines", machines);
}

HRESULT FindMachine(IVirtualBox* virtualBox, BSTR nameOrId, IMachine** machine)
{
    VARIANT name = Argument(VT_BSTR);
    name.bstrVal = nameOrId; // borrowed: Invoke does not free its arguments
    unique_variant result;
    HRESULT hr = Call(virtualBox, L"FindMachine", DISPATCH_METHOD, &name, 1, result.get());
    return TakeObject(hr, result, machine);
}

HRESULT get_DefaultAdditionsISO(ISystemProperties* properties, BSTR* path)
{
    return GetStringValue(properties, L"DefaultAdditionsISO", path);
}

HRESULT get_DefaultFrontend(ISystemProperties* properties, BSTR* frontend)
{
    return GetStringValue(properties, L"DefaultFrontend", frontend);
}

HRESULT get_InstalledExtPacks(IExtPackManager* manager, SAFEARRAY** packs)
{
    return GetObjectArray(manager, L"InstalledExtPacks", packs);
}

HRESULT get_Name(IExtPack* pack, BSTR* name)
{
    return GetStringValue(pack, L"Name", name);
}

HRESULT GetNetworkAdapter(IMachine* machine, ULONG slot, INetworkAdapter** adapter)
{
    VARIANT slotArgument = Argument(VT_UI4);
    slotArgument.ulVal = slot;
    unique_variant result;
    HRESULT hr = Call(machine, L"GetNetworkAdapter", DISPATCH_METHOD, &slotArgument, 1,
                      result.get());
    return TakeObject(hr, result, adapter);
}

HRESULT get_SettingsFilePath(IMachine* machine, BSTR* path)
{
    return GetStringValue(machine, L"SettingsFilePath", path);
}

HRESULT LockMachine(IMachine* machine, ISession* session, LONG lockType)
{
    VARIANT args[2] = {Argument(VT_I4), Argument(VT_DISPATCH)};
    args[0].lVal = lockType;
    args[1].pdispVal = session;
    return CallMethod(machine, L"LockMachine", args, 2);
}

HRESULT SaveSettings(IMachine* machine)
{
    return CallMethod(machine, L"SaveSettings");
}

HRESULT get_Machine(ISession* session, IMachine** machine)
{
    return GetObjectValue(session, L"Machine", machine);
}

HRESULT UnlockMachine(ISession* session)
{
    return CallMethod(session, L"UnlockMachine");
}

HRESULT get_BridgedInterface(INetworkAdapter* adapter, BSTR* hostInterface)
{
    return GetStringValue(adapter, L"BridgedInterface", hostInterface);
}

HRESULT put_Enabled(INetworkAdapter* adapter, BOOL enabled)
{
    VARIANT value = Argument(VT_BOOL);
    value.boolVal = enabled ? VARIANT_TRUE : VARIANT_FALSE;
    return Put(adapter, L"Enabled", value);
}

HRESULT put_AttachmentType(INetworkAdapter* adapter, LONG attachmentType)
{
    VARIANT value = Argument(VT_I4);
    value.lVal = attachmentType;
    return Put(adapter, L"AttachmentType", value);
}

HRESULT put_BridgedInterface(INetworkAdapter* adapter, BSTR hostInterface)
{
    VARIANT value = Argument(VT_BSTR);
    value.bstrVal = hostInterface; // borrowed: the caller frees its copy
    return Put(adapter, L"BridgedInterface", value);
}
