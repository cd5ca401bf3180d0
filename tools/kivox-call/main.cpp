// kivox-call [--progid ID] CALL...
//
// Creates the link object by ProgID through the registry (default "KivoX.Kivo.1") and makes each
// CALL in turn, late bound by name, printing one JSON line per call. Exit status 0 when every call
// returned S_OK, 1 when one did not (or the object cannot be created), 2 for an unknown operation
// or a malformed CALL, before anything is called.
#include "tools/kivox-call/call_line.h"

#include "KivoX/identity.h"
#include "KivoX/kivo.h"

#include "platform/automation/call.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace kivo::automation;
using namespace kivo::kivoxcall;

namespace {

int usage()
{
    std::fputs("usage: kivox-call [--progid ID] CALL...\n"
               "  CALL is NAME(ARG, ...); an ARG is a decimal integer, true or false, a string in\n"
               "  double quotes, [N] for a new array of N 16-bit integers (lower bound 1) or\n"
               "  [a,b,...] for one holding those elements.\n"
               "  example: kivox-call 'OpenPort(\"/dev/pts/4\")' 'GetModuleType(3,1,0)'\n",
               stderr);
    return 2;
}

int malformed(const std::string& call, const std::string& why)
{
    std::fprintf(stderr, "kivox-call: %s: %s\n", call.c_str(), why.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string progId = KIVOX_PROGID;
    std::vector<std::string> texts;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--progid" && i + 1 < argc) {
            progId = argv[++i];
        } else if (arg.starts_with("--")) {
            return usage();
        } else {
            texts.push_back(arg);
        }
    }
    if (texts.empty()) {
        return usage();
    }

    // Every call is read and checked against the interface before the first one is made.
    std::vector<PreparedCall> calls;
    for (const std::string& text : texts) {
        std::string why;
        const auto parsed = parseCall(text, &why);
        if (!parsed) {
            return malformed(text, why);
        }
        auto prepared = PreparedCall::prepare(*parsed, kivox::ikivoInterface(), &why);
        if (!prepared) {
            return malformed(text, why);
        }
        calls.push_back(std::move(*prepared));
    }

    HRESULT hr = S_OK;
    std::string message;
    ComPtr<IDispatch> link = createObject(progId, &hr, &message);
    if (!link) {
        std::fprintf(stderr, "kivox-call: cannot create %s: %s\n", progId.c_str(),
                     message.empty() ? describeHresult(hr).c_str() : message.c_str());
        return 1;
    }
    bool allOk = true;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].invoke(link.get()) == DISP_E_UNKNOWNNAME) {
            return malformed(texts[i], "the object has no operation " + calls[i].name());
        }
        std::printf("%s\n", calls[i].json().c_str());
        std::fflush(stdout);
        allOk = allOk && calls[i].hresult() == S_OK;
    }
    return allOk ? 0 : 1;
}
