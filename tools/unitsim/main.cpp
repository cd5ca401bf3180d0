// kivo-unitsim [--config FILE] [--link PATH] [--pace]
//
// Plays a bus of units on a pseudo-terminal until SIGINT or SIGTERM. The first line of output
// is the terminal's path; with --link a symbolic link at PATH points to it while it runs.
#include "tools/unitsim/unitsim.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kivo::unitsim;

namespace {

int usage()
{
    std::fputs("usage: kivo-unitsim [--config FILE] [--link PATH] [--pace]\n", stderr);
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
        else
            return usage();
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
        if (link && !makeLink(*link, server.path(), error))
            return failure(error);
        std::printf("%s\n", server.path().c_str());
        std::fflush(stdout);
        int signal = 0;
        sigwait(&stop, &signal);
        if (link && linkTarget(*link) == server.path())
            unlink(link->c_str());
    } catch (const std::exception& e) {
        return failure(e.what());
    }
    return 0;
}
