#include "simulated_wmi.h"

#include "wmi_query.h"

#include <oleauto.h>

// The stubs keep the interfaces' own parameter names.
#pragma GCC diagnostic ignored "-Wunused-parameter"

SimulatedWmi Sim;

SimValue Empty() { return SimValue(); }
SimValue Null() { SimValue v; v.type = VT_NULL; return v; }
SimValue Str(const std::wstring& text) { SimValue v; v.type = VT_BSTR; v.text = text; return v; }
SimValue NullStr() { SimValue v; v.type = VT_BSTR; v.null_bstr = true; return v; }
SimValue I2(short value) { SimValue v; v.type = VT_I2; v.number = value; return v; }
SimValue I4(int value) { SimValue v; v.type = VT_I4; v.number = value; return v; }
SimValue Bool(bool value) { SimValue v; v.type = VT_BOOL; v.number = value; return v; }
SimValue UI1(unsigned char value) { SimValue v; v.type = VT_UI1; v.number = value; return v; }
SimValue UI2(unsigned short value) { SimValue v; v.type = VT_UI2; v.number = value; return v; }
SimValue UI4(unsigned value) { SimValue v; v.type = VT_UI4; v.number = value; return v; }
SimValue R8(double value) { SimValue v; v.type = VT_R8; v.number = static_cast<long long>(value); return v; }
SimValue StrArray(const std::vector<std::wstring>& texts)
{
    SimValue v;
    v.type = VT_ARRAY | VT_BSTR;
    for (const auto& text : texts)
        v.text += text + L"\n";
    return v;
}

namespace {

void MakeVariant(const SimValue& value, VARIANT* out)
{
    VariantInit(out);
    V_VT(out) = value.type;
    switch (value.type) {
    case VT_BSTR: V_BSTR(out) = value.null_bstr ? nullptr : SysAllocString(value.text.c_str()); break;
    case VT_I2: V_I2(out) = static_cast<SHORT>(value.number); break;
    case VT_I4: V_I4(out) = static_cast<LONG>(value.number); break;
    case VT_BOOL: V_BOOL(out) = value.number ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_UI1: V_UI1(out) = static_cast<BYTE>(value.number); break;
    case VT_UI2: V_UI2(out) = static_cast<USHORT>(value.number); break;
    case VT_UI4: V_UI4(out) = static_cast<ULONG>(value.number); break;
    case VT_R8: V_R8(out) = static_cast<double>(value.number); break;
    case VT_ARRAY | VT_BSTR: {
        V_ARRAY(out) = SafeArrayCreateVector(VT_BSTR, 0, 1);
        LONG index = 0;
        BSTR text = SysAllocString(value.text.c_str());
        SafeArrayPutElement(V_ARRAY(out), &index, text);
        SysFreeString(text);
        break;
    }
    default: break;
    }
}

// Interfaces whose every method answers E_NOTIMPL; the simulation overrides
// what the plug-in calls.
struct WbemLocatorStub : IWbemLocator {
    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR strNetworkResource, const BSTR strUser, const BSTR strPassword, const BSTR strLocale, LONG lSecurityFlags, const BSTR strAuthority, IWbemContext *pCtx, IWbemServices **ppNamespace) override { return E_NOTIMPL; }
};

struct WbemServicesStub : IWbemServices {
    HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR strNamespace, LONG lFlags, IWbemContext *pCtx, IWbemServices **ppWorkingNamespace, IWbemCallResult **ppResult) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink *pSink) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG lFlags, IWbemObjectSink **ppResponseHandler) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObject(const BSTR strObjectPath, LONG lFlags, IWbemContext *pCtx, IWbemClassObject **ppObject, IWbemCallResult **ppCallResult) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR strObjectPath, LONG lFlags, IWbemContext *pCtx, IWbemObjectSink *pResponseHandler) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject *pObject, LONG lFlags, IWbemContext *pCtx, IWbemCallResult **ppCallResult) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject *pObject, LONG lFlags, IWbemContext *pCtx, IWbemObjectSink *pResponseHandler) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR strClass, LONG lFlags, IWbemContext *pCtx, IWbemCallResult **ppCallResult) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR strClass, LONG lFlags, IWbemContext *pCtx, IWbemObjectSink *pResponseHandler) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR strSuperclass, LONG lFlags, IWbemContext *pCtx, IEnumWbemClassObject **ppEnum) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR strSuperclass, LONG lFlags, IWbemContext *pCtx, IWbemObjectSink *pResponseHandler) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject *pInst, LONG lFlags, IWbemContext *pCtx, IWbemCallResult **ppCallResult) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject *pInst, LONG lFlags, IWbemContext *pCtx, IWbemObjectSink *pResponseHandler) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR strObjectPath, LONG lFlags, IWbemContext *pCtx, IWbemCallResult **ppCallResult) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR strObjectPath, LONG lFlags, IWbemContext *pCtx, IWbemObjectSink *pResponseHandler) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR strFilter, LONG lFlags, IWbemContext *pCtx, IEnumWbemClassObject **ppEnum) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR strFilter, LONG lFlags, IWbemContext *pCtx, IWbemObjectSink *pResponseHandler) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags, IWbemContext *pCtx, IEnumWbemClassObject **ppEnum) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags, IWbemContext *pCtx, IWbemObjectSink *pResponseHandler) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags, IWbemContext *pCtx, IEnumWbemClassObject **ppEnum) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags, IWbemContext *pCtx, IWbemObjectSink *pResponseHandler) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR strObjectPath, const BSTR strMethodName, LONG lFlags, IWbemContext *pCtx, IWbemClassObject *pInParams, IWbemClassObject **ppOutParams, IWbemCallResult **ppCallResult) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR strObjectPath, const BSTR strMethodName, LONG lFlags, IWbemContext *pCtx, IWbemClassObject *pInParams, IWbemObjectSink *pResponseHandler) override { return E_NOTIMPL; }
};

struct ClientSecurityStub : IClientSecurity {
    HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown *pProxy, DWORD *pAuthnSvc, DWORD *pAuthzSvc, OLECHAR **pServerPrincName, DWORD *pAuthnLevel, DWORD *pImpLevel, void **pAuthInfo, DWORD *pCapabilites) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown *pProxy, DWORD dwAuthnSvc, DWORD dwAuthzSvc, OLECHAR *pServerPrincName, DWORD dwAuthnLevel, DWORD dwImpLevel, void *pAuthInfo, DWORD dwCapabilities) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown *pProxy, IUnknown **ppCopy) override { return E_NOTIMPL; }
};

struct EnumWbemClassObjectStub : IEnumWbemClassObject {
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG lTimeout, ULONG uCount, IWbemClassObject **apObjects, ULONG *puReturned) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG uCount, IWbemObjectSink *pSink) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject **ppEnum) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(LONG lTimeout, ULONG nCount) override { return E_NOTIMPL; }
};

struct WbemClassObjectStub : IWbemClassObject {
    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet **ppQualSet) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR wszName, LONG lFlags, VARIANT *pVal, CIMTYPE *pType, LONG *plFlavor) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR wszName, LONG lFlags, VARIANT *pVal, CIMTYPE Type) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR wszName) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR wszQualifierName, LONG lFlags, VARIANT *pQualifierVal, SAFEARRAY **pNames) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG lEnumFlags) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG lFlags, BSTR *strName, VARIANT *pVal, CIMTYPE *pType, LONG *plFlavor) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR wszProperty, IWbemQualifierSet **ppQualSet) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject **ppCopy) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG lFlags, BSTR *pstrObjectText) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG lFlags, IWbemClassObject **ppNewClass) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG lFlags, IWbemClassObject **ppNewInstance) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CompareTo(LONG lFlags, IWbemClassObject *pCompareTo) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR wszName, BSTR *pstrClassName) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR strAncestor) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR wszName, LONG lFlags, IWbemClassObject **ppInSignature, IWbemClassObject **ppOutSignature) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR wszName, LONG lFlags, IWbemClassObject *pInSignature, IWbemClassObject *pOutSignature) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR wszName) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG lEnumFlags) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextMethod(LONG lFlags, BSTR *pstrName, IWbemClassObject **ppInSignature, IWbemClassObject **ppOutSignature) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR wszMethod, IWbemQualifierSet **ppQualSet) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR wszMethodName, BSTR *pstrClassName) override { return E_NOTIMPL; }
};

// Reference counting shared by the simulated objects; counts live objects.
template <typename Base>
struct Counted : Base {
    LONG references = 1;
    Counted() { ++Sim.live_objects; }
    virtual ~Counted() { --Sim.live_objects; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = --references;
        if (!left)
            delete this;
        return left;
    }
};

struct SimClassObject : Counted<WbemClassObjectStub> {
    SimObject properties;
    explicit SimClassObject(const SimObject& object) : properties(object) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IWbemClassObject) {
            *out = static_cast<IWbemClassObject*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type, LONG* flavor) override
    {
        Sim.gets.push_back(name ? name : L"(null)");
        if (flags != 0 || type || flavor)
            return WBEM_E_INVALID_PARAMETER;
        auto found = properties.find(name ? name : L"");
        if (found == properties.end())
            return WBEM_E_NOT_FOUND;
        MakeVariant(found->second, value);
        return S_OK;
    }
};

struct SimEnumerator : Counted<EnumWbemClassObjectStub> {
    std::vector<SimObject> objects;
    size_t next = 0;
    explicit SimEnumerator(const std::vector<SimObject>& rows) : objects(rows) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IEnumWbemClassObject) {
            *out = static_cast<IEnumWbemClassObject*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** out, ULONG* returned) override
    {
        *returned = 0;
        if (timeout != static_cast<LONG>(WBEM_INFINITE) || count != 1)
            return WBEM_E_INVALID_PARAMETER;
        if (next >= objects.size())
            return Sim.end_result;
        *out = new SimClassObject(objects[next++]);
        *returned = 1;
        return S_OK;
    }
};

struct SimServices : Counted<WbemServicesStub>, ClientSecurityStub {
    std::wstring path;
    explicit SimServices(const std::wstring& at) : path(at) {}
    ULONG STDMETHODCALLTYPE AddRef() override { return Counted<WbemServicesStub>::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Counted<WbemServicesStub>::Release(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IWbemServices)
            *out = static_cast<IWbemServices*>(this);
        else if (iid == IID_IClientSecurity)
            *out = static_cast<IClientSecurity*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown*, DWORD authn, DWORD authz, OLECHAR* principal, DWORD authn_level,
        DWORD imp_level, void* identity, DWORD capabilities) override
    {
        Sim.blanket = { authn, authz, authn_level, imp_level, capabilities, principal == nullptr, identity == nullptr };
        return Sim.blanket_result;
    }
    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext* context,
        IEnumWbemClassObject** objects) override
    {
        std::wstring key = path + L"|" + (query ? query : L"");
        Sim.queries.push_back(key);
        Sim.language = language ? language : L"(null)";
        Sim.query_flags = flags;
        if (context)
            return WBEM_E_INVALID_PARAMETER;
        if (FAILED(Sim.query_result))
            return Sim.query_result;
        auto found = Sim.answers.find(key);
        *objects = new SimEnumerator(found == Sim.answers.end() ? std::vector<SimObject>() : found->second);
        return S_OK;
    }
};

struct SimLocator : Counted<WbemLocatorStub> {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IWbemLocator) {
            *out = static_cast<IWbemLocator*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR user, const BSTR password,
        const BSTR locale, LONG flags, const BSTR authority, IWbemContext* context, IWbemServices** services) override
    {
        std::wstring path = resource ? resource : L"(null)";
        Sim.connects.push_back(path);
        Sim.connect_flags = flags;
        if (user || password || locale || authority || context)
            return WBEM_E_INVALID_PARAMETER;
        auto failure = Sim.connect_failures.find(path);
        if (failure != Sim.connect_failures.end())
            return failure->second;
        if (!Sim.namespaces.count(path))
            return WBEM_E_INVALID_NAMESPACE;
        *services = new SimServices(path);
        return S_OK;
    }
};

HRESULT CreateSimulatedLocator(IWbemLocator** locator)
{
    if (FAILED(Sim.create_result))
        return Sim.create_result;
    *locator = new SimLocator;
    return S_OK;
}

} // namespace

void InstallSimulatedWmi()
{
    Sim = SimulatedWmi();
    CreateLocator = CreateSimulatedLocator;
}
