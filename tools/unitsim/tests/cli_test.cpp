#include "tools/unitsim/protocol.h"
#include "tools/unitsim/tests/pty_client.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
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

namespace {

// "12.345 request 06 03 1F 04 C8 5A": the time in ms, the direction, the bytes.
struct LogLine {
    double ms = -1;
    std::string direction;
    std::string hex;
};

std::vector<LogLine> parseLog(const std::string& text)
{
    std::vector<LogLine> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        LogLine l;
        fields >> l.ms >> l.direction;
        std::getline(fields >> std::ws, l.hex);
        lines.push_back(l);
    }
    return lines;
}

std::string hex(const Bytes& bytes)
{
    std::string out;
    char two[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        out += (out.empty() ? "" : " ") + std::string(two);
    }
    return out;
}

double monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

} // namespace

TEST_F(CliTest, LogsEveryRequestAndReplyALineEach)
{
    const Bytes request = pack({3, 0x1F, cid::kReadByte, {0xC8}});
    const Bytes reply = pack({3, 0x1F, cid::kReadByte, {0x15}});
    const Bytes unanswered = pack({9, 0x1F, cid::kReadByte, {0xC8}});
    const std::string file = dir / "frames.log";
    for (const std::string& target : {file, std::string("-")}) {
        SCOPED_TRACE(target);
        const double before = monotonicMs();
        Program run = start({"--log", target});
        const std::string path = readText(run.out, 10000, true);
        ASSERT_FALSE(path.empty()) << readText(run.err, 100, false);
        {
            PtyClient pc(path);
            EXPECT_EQ(pc.exchange(request, 6), reply);
            pc.write(unanswered);
            EXPECT_TRUE(pc.drain(200).empty());
        }
        // Each line is out as soon as it happened: read while the program still runs.
        std::string text;
        if (target == "-") {
            text = readText(run.out, 500, false);
        } else {
            std::ifstream in(file);
            text.assign(std::istreambuf_iterator<char>(in), {});
        }
        kill(run.pid, SIGTERM);
        EXPECT_EQ(finish(run), 0);
        const auto lines = parseLog(text);
        ASSERT_EQ(lines.size(), 3u) << text;
        EXPECT_EQ(lines[0].direction, "request");
        EXPECT_EQ(lines[0].hex, hex(request));
        EXPECT_EQ(lines[1].direction, "reply");
        EXPECT_EQ(lines[1].hex, hex(reply));
        EXPECT_EQ(lines[2].direction, "request");
        EXPECT_EQ(lines[2].hex, hex(unanswered));
        // The system's monotonic clock, as another program reads it.
        EXPECT_GE(lines[0].ms, before);
        EXPECT_LE(lines[0].ms, lines[1].ms);
        EXPECT_LE(lines[1].ms, lines[2].ms);
        EXPECT_LE(lines[2].ms, monotonicMs());
    }
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
        {{"--log"}, 2, "usage: kivo-unitsim"},
        {{"--log", (dir / "no-such-folder" / "log").string()}, 1, "no-such-folder/log"},
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
