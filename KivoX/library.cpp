// libKivoX.so: the in-process server of the link object. It exports only DllCanUnloadNow,
// DllGetClassObject, DllRegisterServer and DllUnregisterServer.
#include "KivoX/identity.h"
#include "KivoX/kivo.h"
#include "KivoX/transport.h"

#include "platform/automation/server.h"

using namespace kivo::automation;

namespace {

constexpr const char* kScript =
    "HKCR\n"
    "{\n"
    "    " KIVOX_PROGID " = s 'Kivo Class'\n"
    "    {\n"
    "        CLSID = s '" KIVOX_CLSID "'\n"
    "    }\n"
    "    " KIVOX_VERSION_INDEPENDENT_PROGID " = s 'Kivo Class'\n"
    "    {\n"
    "        CLSID = s '" KIVOX_CLSID "'\n"
    "        CurVer = s '" KIVOX_PROGID "'\n"
    "    }\n"
    "    NoRemove CLSID\n"
    "    {\n"
    "        ForceRemove " KIVOX_CLSID " = s 'Kivo Class'\n"
    "        {\n"
    "            ProgID = s '" KIVOX_PROGID "'\n"
    "            VersionIndependentProgID = s '" KIVOX_VERSION_INDEPENDENT_PROGID "'\n"
    "            ForceRemove 'Programmable'\n"
    "            InprocServer32 = s '%MODULE%'\n"
    "            {\n"
    "                val ThreadingModel = s 'Apartment'\n"
    "            }\n"
    "            'TypeLib' = s '" KIVOX_LIBID "'\n"
    "        }\n"
    "    }\n"
    "}\n";

const TypeLibInfo kTypeLib{guid(KIVOX_LIBID), 1, 0, "KivoX 1.0 Type Library"};

ServerModule module({creatable<kivox::Kivo>(guid(KIVOX_CLSID))}, kScript, &kTypeLib);

// The RTS delay comes from the Kivo.ini of the directory the program runs in, once, as the library
// is loaded; a program that changes the file later has to start again.
__attribute__((constructor)) void readSettingsOnLoad()
{
    kivox::setRtsToggleInterval(kivox::readRtsToggleInterval());
}

} // namespace

KIVO_AUTOMATION_SERVER_EXPORTS(module)
