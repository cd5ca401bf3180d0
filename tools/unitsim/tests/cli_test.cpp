#include "tools/unitsim/protocol.h"
#include "tools/unitsim/tests/pty_client.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

using namespace kivo::unitsim;
using namespace kivo::unitsim::testing;

namespace {

const std::string kProgram = KIVO_PROGRAM_DIR "/kivo-unitsim";

struct Program {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
};

Program start(const std::vector<std::string>& args)
{
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    std::vector<char*> argv{const_cast<char*>(kProgram.c_str())};
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Program r;
    const int rc = posix_spawn(&r.pid, kProgram.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    r.out = out[0];
    r.err = err[0];
    if (rc != 0)
        throw std::runtime_error("cannot start " + kProgram);
    return r;
}

// Up to the first line break, or everything until the end or the time-out.
std::string readText(int fd, int timeoutMs, bool lineOnly)
{
    std::string text;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0)
            return text;
        char c;
        if (read(fd, &c, 1) != 1)
            return text;
        if (lineOnly && c == '\n')
            return text;
        text += c;
    }
}

// The exit status, or -1 when the program had to be killed after the time-out.
int finish(Program& r, int timeoutMs = 10000)
{
    int status = 0;
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (waitpid(r.pid, &status, WNOHANG) == r.pid) {
            close(r.out);
            close(r.err);
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        usleep(10000);
    }
    kill(r.pid, SIGKILL);
    waitpid(r.pid, &status, 0);
    close(r.out);
    close(r.err);
    return -1;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = std::filesystem::temp_directory_path() / "unitsim-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
};

} // namespace

TEST_F(CliTest, PrintsATerminalServesItAndStopsOnASignal)
{
    for (int signal : {SIGTERM, SIGINT}) {
        const std::string link = dir / "units";
        Program run = start({"--link", link});
        const std::string path = readText(run.out, 10000, true);
        ASSERT_FALSE(path.empty()) << readText(run.err, 100, false);
        EXPECT_EQ(std::filesystem::read_symlink(link), path);
        {
            PtyClient pc(link);
            EXPECT_TRUE(isatty(pc.fd()));
            EXPECT_EQ(pc.exchange(pack({3, 0x1F, cid::kReadByte, {0xC8}}), 6),
                      pack({3, 0x1F, cid::kReadByte, {0x15}}));
        }
        kill(run.pid, signal);
        EXPECT_EQ(finish(run), 0) << signal;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << signal;
    }
}

TEST_F(CliTest, PlaysTheUnitsOfAConfigFile)
{
    const std::string config = dir / "bus.ini";
    std::ofstream(config) << "[unit 9 module 2]\ntype = 4\n";
    Program run = start({"--config", config, "--pace"});
    const std::string path = readText(run.out, 10000, true);
    ASSERT_FALSE(path.empty()) << readText(run.err, 100, false);
    {
        PtyClient pc(path);
        EXPECT_EQ(pc.exchange(pack({9, 2, cid::kReadByte, {0xCC}}), 6),
                  pack({9, 2, cid::kReadByte, {4}}));
        pc.write(pack({1, 0x1F, cid::kModuleGood, {}}));
        EXPECT_TRUE(pc.drain(200).empty());
    }
    kill(run.pid, SIGTERM);
    EXPECT_EQ(finish(run), 0);
}

TEST_F(CliTest, RefusesBadArgumentsAndFiles)
{
    const std::string badConfig = dir / "bad.ini";
    std::ofstream(badConfig) << "[unit 1]\nvolume = 11\n";
    const std::string file = dir / "precious";
    std::ofstream(file) << "keep me";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"--frobnicate"}, 2, "usage: kivo-unitsim"},
        {{"--config"}, 2, "usage: kivo-unitsim"},
        {{"--config", badConfig}, 1, "line 2: unknown key 'volume'"},
        {{"--config", (dir / "missing.ini").string()}, 1, "cannot be read"},
        {{"--link", file}, 1, "is not a symbolic link"},
    };
    for (const auto& c : cases) {
        Program run = start(c.args);
        const std::string err = readText(run.err, 10000, false);
        EXPECT_EQ(finish(run), c.status) << c.args[0];
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
    }
    std::ifstream in(file);
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "keep me");
}
