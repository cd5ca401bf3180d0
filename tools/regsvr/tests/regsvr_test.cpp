// kivo-regsvr as a user runs it: exit codes, messages and what it leaves in the registry file.
#include "platform/automation/call.h"
#include "platform/automation/registry.h"
#include "platform/automation/tests/test_support.h"

#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

using namespace kivo::automation;
using kivo::automation::testing::readText;
using kivo::automation::testing::TempRegistry;
using kivo::automation::testing::writeText;

namespace {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Starts kivo-regsvr with `args`, its output going to files in `dir`.
pid_t start(const std::vector<std::string>& args, const std::filesystem::path& dir, int tag)
{
    std::vector<char*> argv{const_cast<char*>(KIVO_REGSVR)};
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    const std::string out = (dir / ("out" + std::to_string(tag))).string();
    const std::string err = (dir / ("err" + std::to_string(tag))).string();
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, KIVO_REGSVR, &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    EXPECT_EQ(rc, 0);
    return rc == 0 ? pid : -1;
}

Outcome finish(pid_t pid, const std::filesystem::path& dir, int tag)
{
    Outcome run;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    run.out = readText((dir / ("out" + std::to_string(tag))).string());
    run.err = readText((dir / ("err" + std::to_string(tag))).string());
    return run;
}

Outcome regsvr(const TempRegistry& registry, const std::vector<std::string>& args)
{
    return finish(start(args, registry.dir(), 0), registry.dir(), 0);
}

Registry current()
{
    Registry r;
    std::string message;
    EXPECT_EQ(RegistryFile().read(r, &message), S_OK) << message;
    return r;
}

} // namespace

TEST(Regsvr, RegistersAndUnregistersAServer)
{
    TempRegistry registry;
    Outcome run = regsvr(registry, {TEST_SERVER_ECHO});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("DllRegisterServer in "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("succeeded"), std::string::npos) << run.out;
    EXPECT_TRUE(current().keyExists("HKCR\\KivoTest.Echo.1\\CLSID"));

    // The registration serves activation through the file, end to end.
    HRESULT hr = S_OK;
    std::string message;
    ComPtr<IDispatch> echo = createObject("Kivotest.echo.1", &hr, &message);
    ASSERT_TRUE(echo) << message;
    std::int16_t sum = 0;
    EXPECT_EQ(call(echo, "add", "20", "22", byRef(sum)).status, "CMD_OK");
    EXPECT_EQ(sum, 42);
    echo.reset();
    freeUnusedLibraries();

    run = regsvr(registry, {"-u", TEST_SERVER_ECHO});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("DllUnregisterServer in "), std::string::npos) << run.out;
    const Registry after = current();
    EXPECT_FALSE(after.keyExists("HKCR\\KivoTest.Echo.1"));
    EXPECT_TRUE(after.keyExists("HKCR\\CLSID"));
    EXPECT_FALSE(createObject("KivoTest.Echo.1", &hr));
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
}

TEST(Regsvr, FailuresNameTheProblemWithTheirOwnExitCode)
{
    TempRegistry registry;
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    } cases[] = {
        {{}, 1, "no library given"},
        {{"-x", TEST_SERVER_ECHO}, 1, "unknown option -x"},
        {{TEST_SERVER_ECHO, TEST_SERVER_OTHER}, 1, "one library at a time"},
        {{"/nonexistent/libnothing.so"}, 3, "/nonexistent/libnothing.so is missing"},
        {{registry.dir().string()}, 3, "cannot be loaded"},
        {{TEST_PLAIN_LIBRARY}, 4, "does not export DllRegisterServer"},
        {{"-u", TEST_PLAIN_LIBRARY}, 4, "does not export DllUnregisterServer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        const Outcome run = regsvr(registry, c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(registry.path()));
}

TEST(Regsvr, ADamagedRegistryIsReportedAndLeftAsItWas)
{
    TempRegistry registry;
    const std::string damaged = "KIVO REGISTRY 1\n[HKEY_CLASSES_ROOT\\Half\n";
    writeText(registry.path(), damaged);
    for (const char* option : {"", "-u"}) {
        std::vector<std::string> args;
        if (*option) {
            args.push_back(option);
        }
        args.push_back(TEST_SERVER_ECHO);
        const Outcome run = regsvr(registry, args);
        EXPECT_EQ(run.exitCode, 5);
        EXPECT_NE(run.err.find("is damaged, line 2"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("    mv " + registry.path() + " " + registry.path() + ".damaged\n"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(readText(registry.path()), damaged);
    }
}

TEST(Regsvr, ARegistryPathThatIsNoFileIsRefusedAtOnce)
{
    TempRegistry registry;
    ASSERT_EQ(::mkfifo(registry.path().c_str(), 0600), 0);
    const pid_t pid = start({TEST_SERVER_ECHO}, registry.dir(), 0);
    // A blocked open would keep it waiting for a writer of the FIFO for ever.
    int status = 0;
    bool ended = false;
    for (int waited = 0; waited < 1000 && !ended; ++waited) {
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
        if (!ended) {
            ::usleep(10000);
        }
    }
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(ended) << "kivo-regsvr blocked on a FIFO";
    const Outcome run = finish(-1, registry.dir(), 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 5);
    EXPECT_NE(run.err.find(registry.path() + " is not a regular file"), std::string::npos)
        << run.err;
    EXPECT_EQ(std::filesystem::status(registry.path()).type(), std::filesystem::file_type::fifo);
}

TEST(Regsvr, TwoRegistrationsAtOnceKeepBothServers)
{
    TempRegistry registry;
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        std::filesystem::remove(registry.path());
        const pid_t echo = start({TEST_SERVER_ECHO}, registry.dir(), 1);
        const pid_t other = start({TEST_SERVER_OTHER}, registry.dir(), 2);
        EXPECT_EQ(finish(echo, registry.dir(), 1).exitCode, 0);
        EXPECT_EQ(finish(other, registry.dir(), 2).exitCode, 0);
        const Registry r = current();
        EXPECT_TRUE(r.keyExists("HKCR\\KivoTest.Echo.1\\CLSID"));
        EXPECT_TRUE(r.keyExists("HKCR\\KivoTest.Other.1\\CLSID"));
    }
}
