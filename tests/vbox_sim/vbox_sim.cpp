// A simulated VirtualBox: an in-process COM server registered under the
// VirtualBoxClient class. Like VirtualBox's dual interfaces it answers
// IDispatch by member name. It plays the scenario named by VBOX_SIM_SCENARIO,
// appends every call to the journal VBOX_SIM_JOURNAL and every saved adapter
// to VBOX_SIM_SAVED (Windows paths, UTF-8 files).
//
// Scenario: one "keyword value" per line, value = rest of the line, "<null>"
// for a null string, "#" starts a comment.
//   version | home | additions | frontend TEXT     the installation's strings
//   pack NAME                                     an installed extension pack
//   machine NAME                                  a machine; then for it:
//     settings PATH | enabled 0|1 | attachment N | bridged NAME
//   fail OBJECT MEMBER HRESULT [DESCRIPTION]      the call fails: with a
//       DESCRIPTION (or <null>) as an exception, without one plainly
//   fail-once OBJECT MEMBER HRESULT [DESCRIPTION]  only its first call fails
//   null OBJECT MEMBER                            the call returns no value
//   refuse-pinned-iid                             the client answers IDispatch only
//   objects-as dispatch|unknown|variant           how objects are answered:
//       unknown gives VT_UNKNOWN objects and arrays, variant arrays of VARIANTs
//   deferred-exceptions                           exceptions filled in on demand
// OBJECT is a journal name (client, vbox, sysprops, extpacks, pack#N,
// machine#N, session, session-machine#N, adapter#N, session-adapter#N) or "*".
#include <windows.h>
#include <oleauto.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// {DD3FC71D-26C0-4FE1-BF6F-67F633265BBA}
const CLSID CLSID_VirtualBoxClient = {
    0xDD3FC71D, 0x26C0, 0x4FE1, {0xBF, 0x6F, 0x67, 0xF6, 0x33, 0x26, 0x5B, 0xBA}};
// {D2937A8E-CB8D-4382-90BA-B7DA78A74573}
const IID IID_IVirtualBoxClient = {
    0xD2937A8E, 0xCB8D, 0x4382, {0x90, 0xBA, 0xB7, 0xDA, 0x78, 0xA7, 0x45, 0x73}};
// Lets the simulation recognise its own objects among arguments.
const IID IID_SimObject = {
    0x5e1d0c3a, 0x7b2f, 0x4c11, {0x9a, 0x41, 0x2d, 0x6e, 0x80, 0x17, 0xc3, 0x55}};

constexpr HRESULT VBOX_E_OBJECT_NOT_FOUND = 0x80BB0001;
constexpr HRESULT VBOX_E_INVALID_OBJECT_STATE = 0x80BB0007;

using Text = std::optional<std::wstring>; // nullopt is the null BSTR

struct Adapter {
    bool enabled = true;
    long attachment = 1; // NAT
    Text bridged;
};

struct Machine {
    Text name;
    Text settingsPath;
    Adapter saved;
    Adapter pending; // what the session's machine sees while locked
    bool locked = false;
};

struct Rule {
    std::string object, member;
    bool noValue;
    bool once, used = false;
    HRESULT result;
    bool raise; // as an exception carrying the description
    Text description;
};

struct Scenario {
    Text version = L"7.0.12";
    Text home = L"C:\\users\\user\\.VirtualBox";
    Text additions = L"C:\\Program Files\\Oracle\\VirtualBox\\VBoxGuestAdditions.iso";
    Text frontend = L"";
    std::vector<Text> packs;
    std::vector<Machine> machines;
    std::vector<Rule> rules;
    bool refusePinnedIid = false;
    VARTYPE objectsAs = VT_DISPATCH;
    bool deferredExceptions = false;
};

Scenario Sim;
LONG LiveObjects;

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = L"";
    GetEnvironmentVariableW(name, value, MAX_PATH);
    return value;
}

std::string Utf8(const std::wstring& text)
{
    std::string out(text.size() * 4 + 1, '\0');
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n);
    return out;
}

std::wstring Wide(const std::string& text)
{
    std::wstring out(text.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                static_cast<int>(out.size()));
    out.resize(n);
    return out;
}

void AppendLine(const wchar_t* variable, const std::string& line)
{
    std::wstring path = Environment(variable);
    if (path.empty())
        return;
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string data = line + "\n";
    DWORD written = 0;
    WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(file);
}

void Journal(const std::string& line) { AppendLine(L"VBOX_SIM_JOURNAL", line); }

std::string Quoted(const Text& text) { return text ? "\"" + Utf8(*text) + "\"" : "null"; }

// --- scenario file -----------------------------------------------------------

std::string NextWord(std::string& rest)
{
    size_t start = rest.find_first_not_of(' ');
    if (start == std::string::npos) {
        rest.clear();
        return "";
    }
    size_t end = rest.find(' ', start);
    std::string word = rest.substr(start, end == std::string::npos ? end : end - start);
    rest = end == std::string::npos ? "" : rest.substr(end + 1);
    return word;
}

Text Value(const std::string& rest)
{
    if (rest == "<null>")
        return std::nullopt;
    return Wide(rest);
}

void ReadScenarioLine(std::string line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    std::string rest = line;
    std::string keyword = NextWord(rest);
    Machine* machine = Sim.machines.empty() ? nullptr : &Sim.machines.back();
    if (keyword.empty() || keyword[0] == '#')
        return;
    if (keyword == "version") Sim.version = Value(rest);
    else if (keyword == "home") Sim.home = Value(rest);
    else if (keyword == "additions") Sim.additions = Value(rest);
    else if (keyword == "frontend") Sim.frontend = Value(rest);
    else if (keyword == "pack") Sim.packs.push_back(Value(rest));
    else if (keyword == "machine") {
        Machine added;
        added.name = Value(rest);
        if (added.name)
            added.settingsPath = L"C:\\users\\user\\VirtualBox VMs\\" + *added.name + L"\\" +
                                 *added.name + L".vbox";
        Sim.machines.push_back(added);
    } else if (machine && keyword == "settings") machine->settingsPath = Value(rest);
    else if (machine && keyword == "enabled") machine->saved.enabled = rest == "1";
    else if (machine && keyword == "attachment") machine->saved.attachment = atol(rest.c_str());
    else if (machine && keyword == "bridged") machine->saved.bridged = Value(rest);
    else if (keyword == "fail" || keyword == "fail-once" || keyword == "null") {
        Rule rule;
        rule.once = keyword == "fail-once";
        rule.object = NextWord(rest);
        rule.member = NextWord(rest);
        rule.noValue = keyword == "null";
        rule.result = rule.noValue ? S_OK : static_cast<HRESULT>(strtoul(NextWord(rest).c_str(), nullptr, 0));
        rule.raise = !rest.empty();
        rule.description = Value(rest);
        Sim.rules.push_back(rule);
    } else if (keyword == "refuse-pinned-iid") Sim.refusePinnedIid = true;
    else if (keyword == "objects-as")
        Sim.objectsAs = rest == "unknown" ? VT_UNKNOWN : rest == "variant" ? VT_VARIANT : VT_DISPATCH;
    else if (keyword == "deferred-exceptions") Sim.deferredExceptions = true;
    else
        Journal("scenario: unknown line: " + line);
}

void LoadScenario()
{
    static bool loaded;
    if (loaded)
        return;
    loaded = true;
    HANDLE file = CreateFileW(Environment(L"VBOX_SIM_SCENARIO").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Journal("scenario: cannot open VBOX_SIM_SCENARIO");
        return;
    }
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    CloseHandle(file);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        ReadScenarioLine(content.substr(start, end - start));
        start = end + 1;
    }
}

// --- objects -----------------------------------------------------------------

enum Kind { Client, VirtualBox, SystemProperties, ExtPackManager, ExtPack, ListedMachine, Session,
            SessionMachine, ListedAdapter, SessionAdapter };
const char* const KindNames[] = {"client", "vbox", "sysprops", "extpacks", "pack", "machine",
                                 "session", "session-machine", "adapter", "session-adapter"};

struct Call;

struct SimObject : IDispatch {
    LONG refs = 1;
    Kind kind;
    int index;              // the pack or machine this object stands for
    int lockedMachine = -1; // a session's lock

    SimObject(Kind k, int i) : kind(k), index(i) { InterlockedIncrement(&LiveObjects); }

    std::string Name() const
    {
        return index < 0 ? KindNames[kind] : KindNames[kind] + std::string("#") + std::to_string(index);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        bool pinned = kind == Client && !Sim.refusePinnedIid && iid == IID_IVirtualBoxClient;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_SimObject || pinned) {
            AddRef();
            *object = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
    // Objects are never freed, so that a release too many shows in the journal.
    ULONG STDMETHODCALLTYPE Release() override
    {
        if (refs == 0) {
            Journal(Name() + " released once too often");
            return 0;
        }
        LONG left = InterlockedDecrement(&refs);
        if (left == 0)
            InterlockedDecrement(&LiveObjects);
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override;
};

SimObject* AsSimObject(const VARIANT& value)
{
    if ((value.vt != VT_DISPATCH && value.vt != VT_UNKNOWN) || !value.punkVal)
        return nullptr;
    SimObject* object = nullptr;
    if (FAILED(value.punkVal->QueryInterface(IID_SimObject, reinterpret_cast<void**>(&object))))
        return nullptr;
    object->Release();
    return object;
}

// --- members -----------------------------------------------------------------

struct Call {
    SimObject& self;
    DISPPARAMS* params;
    VARIANT* result;
    Text error; // the description of a refused call

    // Argument i in call order (Invoke passes them last one first).
    HRESULT Arg(UINT i, VARTYPE type, VARIANT& value)
    {
        VariantInit(&value);
        return VariantChangeType(&value, &params->rgvarg[params->cArgs - 1 - i], 0, type);
    }
    HRESULT Refuse(HRESULT hr, const std::wstring& description)
    {
        error = description;
        return hr;
    }
    Machine& TheMachine() { return Sim.machines[self.index]; }
};

HRESULT ReturnText(Call& call, const Text& text)
{
    call.result->vt = VT_BSTR;
    call.result->bstrVal = text ? SysAllocStringLen(text->data(), static_cast<UINT>(text->size())) : nullptr;
    return S_OK;
}

HRESULT ReturnObject(Call& call, Kind kind, int index = -1)
{
    call.result->vt = Sim.objectsAs == VT_UNKNOWN ? VT_UNKNOWN : VT_DISPATCH;
    call.result->pdispVal = new SimObject(kind, index);
    return S_OK;
}

HRESULT ReturnArray(Call& call, Kind kind, size_t count)
{
    VARTYPE type = Sim.objectsAs;
    SAFEARRAY* array = SafeArrayCreateVector(type, 0, static_cast<ULONG>(count));
    for (LONG i = 0; i < static_cast<LONG>(count); ++i) {
        SimObject* element = new SimObject(kind, i);
        VARIANT asVariant;
        asVariant.vt = VT_DISPATCH;
        asVariant.pdispVal = element;
        SafeArrayPutElement(array, &i, type == VT_VARIANT ? static_cast<void*>(&asVariant) : element);
        element->Release();
    }
    call.result->vt = VT_ARRAY | type;
    call.result->parray = array;
    return S_OK;
}

HRESULT NotMutable(Call& call)
{
    return call.Refuse(VBOX_E_INVALID_OBJECT_STATE, L"The machine is not mutable (state is PoweredOff)");
}

HRESULT NotLocked(Call& call)
{
    return call.Refuse(VBOX_E_INVALID_OBJECT_STATE, L"The session is not locked (session state: Unlocked)");
}

HRESULT FindMachine(Call& call)
{
    VARIANT name;
    HRESULT hr = call.Arg(0, VT_BSTR, name);
    if (FAILED(hr))
        return hr;
    std::wstring wanted(name.bstrVal ? name.bstrVal : L"");
    VariantClear(&name);
    for (size_t i = 0; i < Sim.machines.size(); ++i)
        if (Sim.machines[i].name == wanted)
            return ReturnObject(call, ListedMachine, static_cast<int>(i));
    return call.Refuse(VBOX_E_OBJECT_NOT_FOUND, L"Could not find a registered machine named '" + wanted + L"'");
}

HRESULT GetNetworkAdapter(Call& call)
{
    VARIANT slot;
    HRESULT hr = call.Arg(0, VT_UI4, slot);
    if (FAILED(hr))
        return hr;
    if (slot.ulVal != 0)
        return call.Refuse(E_INVALIDARG, L"Invalid slot number");
    return ReturnObject(call, call.self.kind == ListedMachine ? ListedAdapter : SessionAdapter,
                        call.self.index);
}

HRESULT LockMachine(Call& call)
{
    VARIANT lockType;
    HRESULT hr = call.Arg(1, VT_I4, lockType);
    SimObject* session = AsSimObject(call.params->rgvarg[1]);
    if (FAILED(hr) || !session || session->kind != Session)
        return call.Refuse(E_INVALIDARG, L"Invalid session or lock type");
    if (session->lockedMachine >= 0)
        return call.Refuse(VBOX_E_INVALID_OBJECT_STATE, L"The given session is busy");
    if (call.TheMachine().locked)
        return call.Refuse(VBOX_E_INVALID_OBJECT_STATE,
                           L"The machine is already locked for a session (or being unlocked)");
    call.TheMachine().locked = true;
    call.TheMachine().pending = call.TheMachine().saved;
    session->lockedMachine = call.self.index;
    return S_OK;
}

HRESULT SaveSettings(Call& call)
{
    Machine& machine = call.TheMachine();
    if (call.self.kind != SessionMachine || !machine.locked)
        return NotMutable(call);
    machine.saved = machine.pending;
    AppendLine(L"VBOX_SIM_SAVED", Quoted(machine.name) + ": enabled=" +
                                      (machine.saved.enabled ? "true" : "false") +
                                      " attachment=" + std::to_string(machine.saved.attachment) +
                                      " bridged=" + Quoted(machine.saved.bridged));
    return S_OK;
}

HRESULT SessionGetMachine(Call& call)
{
    if (call.self.lockedMachine < 0)
        return NotLocked(call);
    return ReturnObject(call, SessionMachine, call.self.lockedMachine);
}

HRESULT UnlockMachine(Call& call)
{
    if (call.self.lockedMachine < 0)
        return NotLocked(call);
    Machine& machine = Sim.machines[call.self.lockedMachine];
    machine.locked = false;
    machine.pending = machine.saved; // unsaved changes are dropped
    call.self.lockedMachine = -1;
    return S_OK;
}

Adapter& AdapterSeen(Call& call)
{
    return call.self.kind == SessionAdapter ? call.TheMachine().pending : call.TheMachine().saved;
}

// The three adapter writes: only through the session that holds the lock.
HRESULT PutAdapter(Call& call, VARTYPE type, void (*store)(Adapter&, const VARIANT&))
{
    if (call.self.kind != SessionAdapter || !call.TheMachine().locked)
        return NotMutable(call);
    VARIANT value;
    HRESULT hr = call.Arg(0, type, value);
    if (FAILED(hr))
        return hr;
    store(call.TheMachine().pending, value);
    VariantClear(&value);
    return S_OK;
}

constexpr unsigned Of(Kind kind) { return 1u << kind; }
constexpr unsigned Machines = Of(ListedMachine) | Of(SessionMachine);
constexpr unsigned Adapters = Of(ListedAdapter) | Of(SessionAdapter);

struct Member {
    unsigned kinds;
    const wchar_t* name;
    WORD flags;
    UINT argCount;
    HRESULT (*handler)(Call&);
};

const Member Members[] = {
    {Of(Client), L"VirtualBox", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnObject(c, VirtualBox); }},
    {Of(Client), L"Session", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnObject(c, Session); }},
    {Of(VirtualBox), L"VersionNormalized", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnText(c, Sim.version); }},
    {Of(VirtualBox), L"HomeFolder", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnText(c, Sim.home); }},
    {Of(VirtualBox), L"SystemProperties", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnObject(c, SystemProperties); }},
    {Of(VirtualBox), L"ExtensionPackManager", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnObject(c, ExtPackManager); }},
    {Of(VirtualBox), L"Machines", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnArray(c, ListedMachine, Sim.machines.size()); }},
    {Of(VirtualBox), L"FindMachine", DISPATCH_METHOD, 1, FindMachine},
    {Of(SystemProperties), L"DefaultAdditionsISO", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnText(c, Sim.additions); }},
    {Of(SystemProperties), L"DefaultFrontend", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnText(c, Sim.frontend); }},
    {Of(ExtPackManager), L"InstalledExtPacks", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnArray(c, ExtPack, Sim.packs.size()); }},
    {Of(ExtPack), L"Name", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnText(c, Sim.packs[c.self.index]); }},
    {Machines, L"Name", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnText(c, c.TheMachine().name); }},
    {Machines, L"SettingsFilePath", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnText(c, c.TheMachine().settingsPath); }},
    {Machines, L"GetNetworkAdapter", DISPATCH_METHOD, 1, GetNetworkAdapter},
    {Of(ListedMachine), L"LockMachine", DISPATCH_METHOD, 2, LockMachine},
    {Machines, L"SaveSettings", DISPATCH_METHOD, 0, SaveSettings},
    {Of(Session), L"Machine", DISPATCH_PROPERTYGET, 0, SessionGetMachine},
    {Of(Session), L"UnlockMachine", DISPATCH_METHOD, 0, UnlockMachine},
    {Adapters, L"BridgedInterface", DISPATCH_PROPERTYGET, 0, [](Call& c) { return ReturnText(c, AdapterSeen(c).bridged); }},
    {Adapters, L"BridgedInterface", DISPATCH_PROPERTYPUT, 1, [](Call& c) {
         return PutAdapter(c, VT_BSTR, [](Adapter& a, const VARIANT& v) {
             a.bridged = v.bstrVal ? Text(v.bstrVal) : Text(); });
     }},
    {Adapters, L"Enabled", DISPATCH_PROPERTYPUT, 1, [](Call& c) {
         return PutAdapter(c, VT_BOOL, [](Adapter& a, const VARIANT& v) { a.enabled = v.boolVal != VARIANT_FALSE; });
     }},
    {Adapters, L"AttachmentType", DISPATCH_PROPERTYPUT, 1, [](Call& c) {
         return PutAdapter(c, VT_I4, [](Adapter& a, const VARIANT& v) { a.attachment = v.lVal; });
     }},
};
constexpr size_t MemberCount = sizeof Members / sizeof Members[0];

// One DISPID per name: the first row with that name.
HRESULT SimObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    HRESULT hr = S_OK;
    for (UINT n = 0; n < count; ++n) {
        ids[n] = DISPID_UNKNOWN;
        for (size_t i = 0; i < MemberCount && ids[n] == DISPID_UNKNOWN; ++i)
            if ((Members[i].kinds & Of(kind)) && _wcsicmp(Members[i].name, names[n]) == 0)
                ids[n] = static_cast<DISPID>(i + 1);
        if (ids[n] == DISPID_UNKNOWN) {
            Journal(Name() + " has no member " + Utf8(names[n]));
            hr = DISP_E_UNKNOWNNAME;
        }
    }
    return hr;
}

// The last exception, for a caller that has it filled in on demand.
struct {
    HRESULT result;
    Text description;
} Deferred;

HRESULT STDAPICALLTYPE FillInException(EXCEPINFO* exception)
{
    exception->pfnDeferredFillIn = nullptr;
    exception->scode = Deferred.result;
    exception->bstrSource = SysAllocString(L"VirtualBox simulation");
    exception->bstrDescription =
        Deferred.description ? SysAllocString(Deferred.description->c_str()) : nullptr;
    return S_OK;
}

std::string Describe(const VARIANT& value)
{
    switch (value.vt) {
    case VT_BSTR: return value.bstrVal ? Quoted(std::wstring(value.bstrVal)) : "null";
    case VT_BOOL: return value.boolVal ? "true" : "false";
    case VT_I4: return std::to_string(value.lVal);
    case VT_UI4: return std::to_string(value.ulVal);
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        SimObject* object = AsSimObject(value);
        return object ? object->Name() : "object";
    }
    default: return "vt" + std::to_string(value.vt);
    }
}

std::string CallText(const SimObject& self, const Member& member, const DISPPARAMS* params)
{
    std::string name = Utf8(member.name);
    if (member.flags == DISPATCH_PROPERTYGET)
        return self.Name() + " get " + name;
    if (member.flags == DISPATCH_PROPERTYPUT)
        return self.Name() + " put " + name + " = " + Describe(params->rgvarg[0]);
    std::string text = self.Name() + " " + name + "(";
    for (UINT i = 0; i < params->cArgs; ++i)
        text += (i ? ", " : "") + Describe(params->rgvarg[params->cArgs - 1 - i]);
    return text + ")";
}

Rule* RuleFor(const SimObject& self, const Member& member)
{
    for (Rule& rule : Sim.rules)
        if (!rule.used && (rule.object == "*" || rule.object == self.Name()) &&
            Wide(rule.member) == member.name) {
            rule.used = rule.once;
            return &rule;
        }
    return nullptr;
}

HRESULT SimObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* exception, UINT*)
{
    if (id < 1 || static_cast<size_t>(id) > MemberCount)
        return DISP_E_MEMBERNOTFOUND;
    const Member* member = nullptr;
    for (const Member& row : Members)
        if ((row.kinds & Of(kind)) && wcscmp(row.name, Members[id - 1].name) == 0 && (row.flags & flags))
            member = &row;
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    bool put = member->flags == DISPATCH_PROPERTYPUT;
    if (params->cArgs != member->argCount || params->cNamedArgs != (put ? 1u : 0u) ||
        (put && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)) {
        Journal(Name() + " " + Utf8(member->name) + ": bad arguments");
        return DISP_E_BADPARAMCOUNT;
    }

    VARIANT ignored;
    VariantInit(&ignored);
    Call call{*this, params, result ? result : &ignored, Text()};
    VariantInit(call.result);
    HRESULT hr;
    const Rule* rule = RuleFor(*this, *member);
    if (rule && rule->noValue) {
        hr = S_OK; // VT_EMPTY: no value at all
    } else if (rule) {
        hr = rule->result;
        call.error = rule->description;
    } else {
        hr = member->handler(call);
    }
    VariantClear(&ignored);

    std::string line = CallText(*this, *member, params);
    if (FAILED(hr)) {
        char code[16];
        wsprintfA(code, "0x%08x", static_cast<unsigned>(hr));
        line += std::string(" -> ") + code;
    }
    Journal(line);
    if (SUCCEEDED(hr) || !exception || (rule && !rule->raise))
        return hr;
    *exception = EXCEPINFO{};
    Deferred = {hr, call.error};
    if (Sim.deferredExceptions)
        exception->pfnDeferredFillIn = FillInException;
    else
        FillInException(exception);
    return DISP_E_EXCEPTION;
}

// --- class factory -----------------------------------------------------------

std::string InterfaceName(REFIID iid)
{
    if (iid == IID_IVirtualBoxClient) return "IVirtualBoxClient";
    if (iid == IID_IDispatch) return "IDispatch";
    if (iid == IID_IUnknown) return "IUnknown";
    return "another interface";
}

struct ClientFactory : IClassFactory {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        LoadScenario();
        SimObject* client = new SimObject(Client, -1);
        HRESULT hr = client->QueryInterface(iid, object);
        client->Release();
        Journal("new client for " + InterfaceName(iid) + (FAILED(hr) ? " -> refused" : ""));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

ClientFactory Factory;

} // namespace

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    *object = nullptr;
    if (clsid != CLSID_VirtualBoxClient)
        return CLASS_E_CLASSNOTAVAILABLE;
    return Factory.QueryInterface(iid, object);
}

extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return LiveObjects == 0 ? S_OK : S_FALSE;
}

// The last journal line tells whether every object handed out came back.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_DETACH)
        Journal("end: " + std::to_string(LiveObjects) + " objects held");
    return TRUE;
}
