#include "wmi_query.h"

#include "unique_holders.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

StackChar ValueText[TextBufferChars];
StackChar ErrorText[TextBufferChars];
HRESULT ConnectResult;

namespace {

HRESULT CreateWbemLocator(IWbemLocator** locator)
{
    return CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
        reinterpret_cast<void**>(locator));
}

bool Fail(const StackChar* message, HRESULT result)
{
    FormatText(ErrorText, STACK_TEXT("%s Error code = 0x%x"), message, static_cast<unsigned>(result));
    return false;
}

void ValueToText(const VARIANT& value)
{
    switch (V_VT(&value)) {
    case VT_EMPTY:
    case VT_NULL:
        ValueText[0] = 0;
        break;
    case VT_I2:
        FormatText(ValueText, STACK_TEXT("%i"), static_cast<int>(V_I2(&value)));
        break;
    case VT_I4:
        FormatText(ValueText, STACK_TEXT("%i"), static_cast<int>(V_I4(&value)));
        break;
    case VT_BSTR:
        TextFromWide(ValueText, TextBufferChars, V_BSTR(&value));
        break;
    case VT_BOOL:
        CopyText(ValueText, TextBufferChars, V_BOOL(&value) ? STACK_TEXT("TRUE") : STACK_TEXT("FALSE"));
        break;
    case VT_UI1:
        FormatText(ValueText, STACK_TEXT("%u"), static_cast<unsigned>(V_UI1(&value)));
        break;
    case VT_UI2:
        FormatText(ValueText, STACK_TEXT("%u"), static_cast<unsigned>(V_UI2(&value)));
        break;
    case VT_UI4:
        FormatText(ValueText, STACK_TEXT("%u"), static_cast<unsigned>(V_UI4(&value)));
        break;
    default:
        FormatText(ValueText, STACK_TEXT("UNHANDLED VARIANT TYPE (%i)"), static_cast<int>(V_VT(&value)));
        break;
    }
}

} // namespace

HRESULT (*CreateLocator)(IWbemLocator** locator) = CreateWbemLocator;

bool WmiQuery(const StackChar* name_space, const StackChar* class_name, const StackChar* property,
    const StackChar* condition)
{
    ValueText[0] = 0;
    ConnectResult = S_OK;

    ComPtr<IWbemLocator> locator;
    HRESULT result = CreateLocator(&locator);
    if (FAILED(result))
        return Fail(STACK_TEXT("Failed to create IWbemLocator object."), result);

    unique_bstr path(ComposeBstr(L"ROOT\\", name_space, L"", STACK_TEXT("")));
    ComPtr<IWbemServices> services;
    result = locator->ConnectServer(path.get(), nullptr, nullptr, nullptr, WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr,
        nullptr, &services);
    if (FAILED(result)) {
        ConnectResult = result;
        return Fail(STACK_TEXT("Could not connect."), result);
    }

    result = CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
        RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(result))
        return Fail(STACK_TEXT("Could not set proxy blanket."), result);

    unique_bstr language(SysAllocString(L"WQL"));
    unique_bstr query(ComposeBstr(L"SELECT * FROM ", class_name, condition[0] ? L" WHERE " : L"", condition));
    ComPtr<IEnumWbemClassObject> objects;
    result = services->ExecQuery(language.get(), query.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
        nullptr, &objects);
    if (FAILED(result))
        return Fail(STACK_TEXT("Query failed."), result);

    unique_bstr property_name(ComposeBstr(L"", property, L"", STACK_TEXT("")));
    for (;;) {
        // A failing Next ends the enumeration like the end of the result set.
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        objects->Next(WBEM_INFINITE, 1, &object, &returned);
        if (!returned || !object)
            break;
        unique_variant value;
        result = object->Get(property_name.get(), 0, value.get(), nullptr, nullptr);
        if (FAILED(result))
            return Fail(STACK_TEXT("Unable to find requested value."), result);
        ValueToText(*value.get());
    }
    return true;
}
