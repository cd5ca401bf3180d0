// Registering a server library: a registration script of keys and values, and its type library.
//
// A script lists keys under a root, nested in braces, with default values and named values:
//
//   HKCR
//   {
//       KivoTest.Echo.1 = s 'Echo Class'
//       {
//           CLSID = s '{...}'
//       }
//       NoRemove CLSID
//       {
//           ForceRemove {...} = s 'Echo Class'
//           {
//               ForceRemove 'Programmable'
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// Roots are HKCR / HKEY_CLASSES_ROOT and HKLM / HKEY_LOCAL_MACHINE. Words are separated by blanks;
// a name or value with blanks or braces is quoted with ' (a quote inside is written ''). Only
// string values (s) exist. %MODULE% is replaced by the library's full path.
//
// Registering creates every key and value. Unregistering removes what the script set: a plain
// key loses the values the script gives it and goes when nothing else is left in it, so keys
// and values that others added stay; a NoRemove key is never removed itself (its subkeys are
// processed); a ForceRemove key is removed with everything under it, and on registering it is
// replaced whole.
#pragma once

#include "platform/automation/guid.h"
#include "platform/automation/hresult.h"
#include "platform/automation/registry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::automation {

class RegistrationScript {
public:
    RegistrationScript();
    RegistrationScript(RegistrationScript&&) noexcept;
    RegistrationScript& operator=(RegistrationScript&&) noexcept;
    ~RegistrationScript();

    // E_FAIL and a message naming the problem for a malformed script.
    static HRESULT parse(std::string_view text, std::string_view modulePath,
                         RegistrationScript& out, std::string* message);

    // E_FAIL and a message for a key the registry cannot hold; the registry may then hold part
    // of the script, so callers apply it to a copy they discard (RegistryFile::update does).
    HRESULT registerIn(Registry& registry, std::string* message) const;
    HRESULT unregisterFrom(Registry& registry, std::string* message) const;

    struct Key;

private:
    std::vector<Key> roots_;
};

// A type library's identity. Registered as HKEY_CLASSES_ROOT\TypeLib\{LIBID}\<major>.<minor>
// (default value the help text) with subkeys 0\linux (the library's path), FLAGS ("0") and
// HELPDIR (the library's folder). The version is written in hexadecimal, as in "1.0".
struct TypeLibInfo {
    Guid libid;
    std::uint16_t majorVersion = 1;
    std::uint16_t minorVersion = 0;
    const char* helpText = "";
};

void registerTypeLib(Registry& registry, const TypeLibInfo& typeLib, std::string_view modulePath);
// Removes this version; the {LIBID} key goes too once no version is left in it.
void unregisterTypeLib(Registry& registry, const TypeLibInfo& typeLib);

// What DllRegisterServer / DllUnregisterServer do: the script (with %MODULE% = modulePath) and,
// when given, the type library, applied to the registry file in one locked update.
HRESULT updateServerRegistration(std::string_view script, const TypeLibInfo* typeLib,
                                 const std::string& modulePath, bool unregister,
                                 std::string* message = nullptr);

} // namespace kivo::automation
