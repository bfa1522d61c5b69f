// Thin binding of the VirtualBox Main API operations that bridgefix uses.
// VirtualBox's objects are dual interfaces: every operation goes through
// IDispatch by member name, so no VirtualBox header or type library is needed
// and a release that changes interface identifiers still works.
//
// Each operation returns the HRESULT of the call. When the object raised an
// exception, that is the exception's code, and its description is set as the
// thread's error object (GetErrorInfo finds it). Out-values are set only on
// success; strings are BSTRs the caller frees (null when VirtualBox gave none),
// objects carry one reference the caller releases, and arrays are SAFEARRAYs
// of IDispatch* the caller destroys.
#pragma once

#include <windows.h>
#include <oaidl.h>

// The VirtualBox interfaces, all reached through their IDispatch side.
using IVirtualBoxClient = IDispatch;
using IVirtualBox = IDispatch;
using ISystemProperties = IDispatch;
using IExtPackManager = IDispatch;
using IExtPack = IDispatch;
using IMachine = IDispatch;
using ISession = IDispatch;
using INetworkAdapter = IDispatch;

constexpr LONG LockType_Write = 2;
constexpr LONG NetworkAttachmentType_Bridged = 2;

// IVirtualBoxClient
HRESULT get_VirtualBox(IVirtualBoxClient* client, IVirtualBox** virtualBox);
HRESULT get_Session(IVirtualBoxClient* client, ISession** session);

// IVirtualBox
HRESULT get_VersionNormalized(IVirtualBox* virtualBox, BSTR* version);
HRESULT get_HomeFolder(IVirtualBox* virtualBox, BSTR* homeFolder);
HRESULT get_SystemProperties(IVirtualBox* virtualBox, ISystemProperties** properties);
HRESULT get_ExtensionPackManager(IVirtualBox* virtualBox, IExtPackManager** manager);
HRESULT get_Machines(IVirtualBox* virtualBox, SAFEARRAY** machines);
HRESULT FindMachine(IVirtualBox* virtualBox, BSTR nameOrId, IMachine** machine);

// ISystemProperties
HRESULT get_DefaultAdditionsISO(ISystemProperties* properties, BSTR* path);
HRESULT get_DefaultFrontend(ISystemProperties* properties, BSTR* frontend);

// IExtPackManager, IExtPack
HRESULT get_InstalledExtPacks(IExtPackManager* manager, SAFEARRAY** packs);
HRESULT get_Name(IExtPack* pack, BSTR* name); // IMachine's Name as well

// IMachine
HRESULT GetNetworkAdapter(IMachine* machine, ULONG slot, INetworkAdapter** adapter);
HRESULT get_SettingsFilePath(IMachine* machine, BSTR* path);
HRESULT LockMachine(IMachine* machine, ISession* session, LONG lockType);
HRESULT SaveSettings(IMachine* machine);

// ISession
HRESULT get_Machine(ISession* session, IMachine** machine);
HRESULT UnlockMachine(ISession* session);

// INetworkAdapter
HRESULT get_BridgedInterface(INetworkAdapter* adapter, BSTR* hostInterface);
HRESULT put_Enabled(INetworkAdapter* adapter, BOOL enabled);
HRESULT put_AttachmentType(INetworkAdapter* adapter, LONG attachmentType);
HRESULT put_BridgedInterface(INetworkAdapter* adapter, BSTR hostInterface);
