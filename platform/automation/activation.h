// Creating objects of registered in-process servers.
//
// A ProgID such as "KivoX.Kivo.1" is looked up in HKEY_CLASSES_ROOT without regard to letter
// case. A version-independent ProgID ("KivoX.Kivo") is followed through its "CurVer" key to the
// current versioned one; the ProgID's "CLSID" key gives the class. The class's
// CLSID\{...}\InprocServer32 default value names the library; it is loaded with dlopen (once per
// process), asked for the class factory through DllGetClassObject, and the factory creates the
// object.
//
// Failures, each with its own code and a message naming what failed:
//   REGDB_E_CLASSNOTREG  the ProgID or the class is not registered (also after unregistering)
//   REGDB_E_READREGDB    the registry file cannot be read or is damaged
//   CO_E_DLLNOTFOUND     the library file is missing or cannot be loaded
//   CO_E_ERRORINDLL      the library does not export DllGetClassObject
//   anything else        what the library's DllGetClassObject or the factory answered
//                        (CLASS_E_CLASSNOTAVAILABLE, CLASS_E_NOAGGREGATION, E_NOINTERFACE ...)
//
// Libraries stay loaded: only freeUnusedLibraries unloads one, and only when its
// DllCanUnloadNow answers S_OK.
#pragma once

#include "platform/automation/interfaces.h"

#include <string>
#include <string_view>

namespace kivo::automation {

HRESULT clsidFromProgId(std::string_view progId, CLSID& clsid, std::string* message = nullptr);

HRESULT getClassObject(const CLSID& clsid, const IID& iid, void** object,
                       std::string* message = nullptr);

// getClassObject, then the factory's CreateInstance(outer, iid).
HRESULT createInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object,
                       std::string* message = nullptr);

// Unloads every loaded server library whose DllCanUnloadNow answers S_OK.
void freeUnusedLibraries();

// What kivo-regsvr does: loads `libraryPath` and calls its DllRegisterServer (or, with
// `unregister`, DllUnregisterServer). CO_E_DLLNOTFOUND when the library cannot be loaded,
// CO_E_ERRORINDLL when it lacks the entry point, else the entry point's answer; the message
// says which.
HRESULT registerServerLibrary(const std::string& libraryPath, bool unregister,
                              std::string* message = nullptr);

// The four entry points of a server library.
using DllCanUnloadNowFunction = HRESULT (*)();
using DllGetClassObjectFunction = HRESULT (*)(const CLSID& clsid, const IID& iid, void** object);
using DllRegisterServerFunction = HRESULT (*)();
using DllUnregisterServerFunction = HRESULT (*)();

} // namespace kivo::automation
