// kivo-regsvr [-u] LIBRARY: registers an in-process server library (or unregisters it with -u)
// by calling its DllRegisterServer (DllUnregisterServer) entry point.
#include "platform/automation/activation.h"
#include "platform/automation/registry.h"

#include <cstring>
#include <iostream>
#include <string>

using namespace kivo::automation;

namespace {

// Exit codes, one per kind of failure, so scripts can tell them apart.
constexpr int kUsage = 1;
constexpr int kCannotLoad = 3;
constexpr int kNoEntryPoint = 4;
constexpr int kRegistrationFailed = 5;

constexpr const char* kUsageText =
    "usage: kivo-regsvr [-u] LIBRARY\n"
    "Registers the automation server LIBRARY in the registry file, or with -u unregisters it.\n"
    "The registry file is $KIVO_REGISTRY when set, else $XDG_CONFIG_HOME/kivo/registry\n"
    "or ~/.config/kivo/registry.\n"
    "Exit status: 0 done, 1 usage, 3 library not loaded, 4 entry point missing,\n"
    "5 registration failed.\n";

int usage(const std::string& problem)
{
    std::cerr << "kivo-regsvr: " << problem << "\n" << kUsageText;
    return kUsage;
}

} // namespace

int main(int argc, char** argv)
{
    bool unregister = false;
    bool optionsEnded = false;
    const char* library = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!optionsEnded && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (!optionsEnded && std::strcmp(arg, "-u") == 0) {
            unregister = true;
        } else if (!optionsEnded &&
                   (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0)) {
            std::cout << kUsageText;
            return 0;
        } else if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
            return usage(std::string("unknown option ") + arg);
        } else if (library) {
            return usage("one library at a time");
        } else {
            library = arg;
        }
    }
    if (!library) {
        return usage("no library given");
    }
    std::string message;
    const HRESULT hr = registerServerLibrary(library, unregister, &message);
    if (succeeded(hr)) {
        std::cout << "kivo-regsvr: " << message << "\n";
        return 0;
    }
    std::cerr << "kivo-regsvr: " << message << "\n";
    if (const auto aside = registryAsideName(); aside && hr == REGDB_E_READREGDB) {
        std::cerr << "kivo-regsvr: move it aside and register again (every server it held):\n"
                  << "    mv " << defaultRegistryPath() << " " << *aside << "\n";
    }
    if (hr == CO_E_DLLNOTFOUND) {
        return kCannotLoad;
    }
    if (hr == CO_E_ERRORINDLL) {
        return kNoEntryPoint;
    }
    return kRegistrationFailed;
}
