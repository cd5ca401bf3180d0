// kivo-unitsim [--config FILE] [--link PATH] [--pace] [--log FILE]
//
// Plays a bus of units on a pseudo-terminal until SIGINT or SIGTERM. The first line of output
// is the terminal's path; with --link a symbolic link at PATH points to it while it runs; with
// --log every request and reply is written to FILE ("-": standard output) as it happens.
#include "tools/unitsim/unitsim.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kivo::unitsim;

namespace {

constexpr const char* kUsage =
    "usage: kivo-unitsim [--config FILE] [--link PATH] [--pace] [--log FILE]\n";

constexpr const char* kHelp =
    "Plays power-supply units on a pseudo-terminal until SIGINT or SIGTERM; the first line of\n"
    "output is the terminal to open.\n"
    "  --config FILE  the units described in FILE (default: the built-in bus)\n"
    "  --link PATH    a symbolic link at PATH to the terminal while it runs\n"
    "  --pace         replies at 9600 baud, 8N1 (1.04 ms a byte)\n"
    "  --log FILE     one line per request and per reply to FILE (- for standard output):\n"
    "                 milliseconds of the monotonic clock, request or reply, the bytes in hex\n"
    "  --help         this text\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

int failure(const std::string& message)
{
    std::fprintf(stderr, "kivo-unitsim: %s\n", message.c_str());
    return 1;
}

std::optional<std::string> linkTarget(const std::string& link)
{
    std::string target(4096, '\0');
    const ssize_t n = readlink(link.c_str(), target.data(), target.size());
    if (n < 0)
        return std::nullopt;
    target.resize(static_cast<std::size_t>(n));
    return target;
}

// Points `link` at `target`, replacing an older symbolic link but never another kind of file.
bool makeLink(const std::string& link, const std::string& target, std::string& error)
{
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = link + " exists and is not a symbolic link";
        return false;
    }
    const std::string temporary = link + ".tmp" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0 ||
        rename(temporary.c_str(), link.c_str()) != 0) {
        error = link + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::optional<std::string> config;
    std::optional<std::string> link;
    std::optional<std::string> logPath;
    ServerOptions options;
    options.logLimit = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pace")
            options.pace = true;
        else if (arg == "--config" && i + 1 < argc)
            config = argv[++i];
        else if (arg == "--link" && i + 1 < argc)
            link = argv[++i];
        else if (arg == "--log" && i + 1 < argc)
            logPath = argv[++i];
        else if (arg == "--help") {
            std::fputs(kUsage, stdout);
            std::fputs(kHelp, stdout);
            return 0;
        } else
            return usage();
    }

    std::FILE* log = nullptr;
    if (logPath == "-")
        log = stdout;
    else if (logPath && !(log = std::fopen(logPath->c_str(), "w")))
        return failure(*logPath + ": " + std::strerror(errno));
    // Held until the terminal's path is out, so that on standard output it comes first even when
    // a program finds the terminal through the link at once.
    std::mutex outputMutex;
    std::unique_lock pathFirst(outputMutex);
    if (log) {
        options.onEntry = [log, &outputMutex](const LogEntry& entry) {
            std::lock_guard lock(outputMutex);
            std::fprintf(log, "%s\n", logLine(entry).c_str());
            std::fflush(log);
        };
    }

    // The signals are taken by sigwait() below; the server's thread inherits the mask.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    try {
        Bus bus = config ? loadBusFile(*config) : Bus::defaultBus();
        PtyServer server(bus, options);
        std::string error;
        if (link && !makeLink(*link, server.path(), error)) {
            pathFirst.unlock();
            return failure(error);
        }
        std::printf("%s\n", server.path().c_str());
        std::fflush(stdout);
        pathFirst.unlock();
        int signal = 0;
        sigwait(&stop, &signal);
        if (link && linkTarget(*link) == server.path())
            unlink(link->c_str());
    } catch (const std::exception& e) {
        return failure(e.what());
    }
    return 0;
}
