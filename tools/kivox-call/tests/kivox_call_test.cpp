// kivox-call: reading CALL texts, and the program against kivo-unitsim with the registered library.
#include "tools/kivox-call/call_line.h"

#include "KivoX/kivo.h"
#include "KivoX/testing/simulated_link.h"

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace kivo::kivoxcall;

namespace {

struct Parsed {
    const char* text;
    const char* shape; // the call read back: name, then each argument; "" when malformed
};

std::string shapeOf(const CallText& c)
{
    std::string out = c.name;
    for (const Literal& a : c.args) {
        switch (a.kind) {
        case Literal::Integer:
            out += " i" + std::to_string(a.integer);
            break;
        case Literal::Boolean:
            out += a.integer ? " true" : " false";
            break;
        case Literal::String:
            out += " '" + a.text + "'";
            break;
        case Literal::NewArray:
            out += " [" + std::to_string(a.integer) + "]";
            break;
        case Literal::Array:
            out += " [";
            for (std::size_t k = 0; k < a.elements.size(); ++k) {
                out += (k ? "," : "") + std::to_string(a.elements[k]);
            }
            out += "]";
            break;
        }
    }
    return out;
}

class ReadingCalls : public ::testing::TestWithParam<Parsed> {};

} // namespace

TEST_P(ReadingCalls, IntoNameAndArguments)
{
    std::string why;
    const auto call = parseCall(GetParam().text, &why);
    const std::string expected = GetParam().shape;
    if (expected.empty()) {
        EXPECT_FALSE(call) << GetParam().text;
        EXPECT_FALSE(why.empty());
    } else {
        ASSERT_TRUE(call) << GetParam().text << ": " << why;
        EXPECT_EQ(shapeOf(*call), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadingCalls,
    ::testing::Values(Parsed{"ClosePort()", "ClosePort"}, Parsed{" WhoAmI ( ) ", "WhoAmI"},
                      Parsed{"OpenPort(\"/dev/pts/4\")", "OpenPort '/dev/pts/4'"},
                      Parsed{"x(\"a \\\"b\\\" \\\\ c\")", "x 'a \"b\" \\ c'"},
                      Parsed{"GetModuleType(3,1,0)", "GetModuleType i3 i1 i0"},
                      Parsed{"f(-5, +7, true,false)", "f i-5 i7 true false"},
                      Parsed{"GetPresentModules(3,[8])", "GetPresentModules i3 [8]"},
                      Parsed{"g([1, 0,-1])", "g [1,0,-1]"}, Parsed{"", ""}, Parsed{"3()", ""},
                      Parsed{"f", ""}, Parsed{"f(", ""}, Parsed{"f(1", ""}, Parsed{"f(1,)", ""},
                      Parsed{"f(1) x", ""}, Parsed{"f(\"open)", ""}, Parsed{"f(\"\\n\")", ""},
                      Parsed{"f(yes)", ""}, Parsed{"f([])", ""}, Parsed{"f([0])", ""},
                      Parsed{"f([1,x])", ""}, Parsed{"f([3)", ""}, Parsed{"f(1.5)", ""}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(PreparingCalls, NamesCountsAndTypesAreCheckedFirst)
{
    struct Case {
        const char* text;
        const char* error; // nullptr: prepared
    };
    for (const Case& c :
         {Case{"getmoduletype(3, 1, 0)", nullptr}, Case{"GetModuleType(\"3\", true, 0)", nullptr},
          Case{"GetPresentModules(3, [1,0,1])", nullptr},
          Case{"Frobnicate()", "no operation Frobnicate"},
          Case{"GetModuleType(3, 1)", "takes 3 arguments, not 2"},
          Case{"GetModuleType(3, 1, \"x\")", "argument 3"},
          Case{"GetModuleType(3, 1, 70000)", "argument 3"},
          Case{"GetPresentModules(3, 8)", "argument 2"},
          Case{"GetModuleType([8], 1, 0)", "argument 1"},
          Case{"GetPresentModules(3, [1,70000])", "argument 2"}}) {
        std::string why;
        const auto call = parseCall(c.text, &why);
        ASSERT_TRUE(call) << c.text;
        const auto prepared = PreparedCall::prepare(*call, kivox::ikivoInterface(), &why);
        if (!c.error) {
            EXPECT_TRUE(prepared) << c.text << ": " << why;
        } else {
            EXPECT_FALSE(prepared) << c.text;
            EXPECT_NE(why.find(c.error), std::string::npos) << c.text << ": " << why;
        }
    }
}

TEST(Json, StringsAreEscaped)
{
    EXPECT_EQ(jsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
}

namespace {

struct Finished {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Starts `program` with `args` and its output on pipes.
pid_t spawn(const std::string& program, const std::vector<std::string>& args, int& out, int& err)
{
    int o[2], e[2];
    if (::pipe(o) != 0 || ::pipe(e) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, o[1], 1);
    posix_spawn_file_actions_adddup2(&actions, e[1], 2);
    posix_spawn_file_actions_addclose(&actions, o[0]);
    posix_spawn_file_actions_addclose(&actions, e[0]);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(o[1]);
    ::close(e[1]);
    out = o[0];
    err = e[0];
    return pid;
}

// Runs kivox-call to its end (at most two minutes) and collects what it wrote.
Finished kivoxCall(const std::vector<std::string>& args)
{
    Finished r;
    int fds[2];
    const pid_t pid = spawn(KIVOX_CALL, args, fds[0], fds[1]);
    if (pid < 0) {
        ADD_FAILURE() << "cannot start " << KIVOX_CALL;
        return r;
    }
    std::string* sinks[2] = {&r.out, &r.err};
    int open = 2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (open > 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd p[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
        if (::poll(p, 2, 1000) <= 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (p[i].fd >= 0 && (p[i].revents & (POLLIN | POLLHUP))) {
                char buffer[4096];
                const ssize_t n = ::read(fds[i], buffer, sizeof buffer);
                if (n > 0) {
                    sinks[i]->append(buffer, static_cast<std::size_t>(n));
                } else {
                    ::close(fds[i]);
                    fds[i] = -1;
                    --open;
                }
            }
        }
    }
    if (open > 0) {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        out.push_back(text.substr(start, end - start));
    }
    return out;
}

// kivo-unitsim as a program of its own, with the link library registered for kivox-call.
class AgainstTheSimulator : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string message;
        ASSERT_EQ(kivo::automation::registerServerLibrary(
                      kivox::testing::SimulatedLink::libraryPath(), false, &message),
                  kivo::automation::S_OK)
            << message;
        int err = -1;
        pid_ = spawn(KIVO_UNITSIM, {}, out_, err);
        ASSERT_GT(pid_, 0);
        ::close(err);
        char c;
        pollfd p{out_, POLLIN, 0};
        while (::poll(&p, 1, 10000) > 0 && ::read(out_, &c, 1) == 1 && c != '\n') {
            port += c;
        }
        ASSERT_FALSE(port.empty()) << "kivo-unitsim printed no terminal";
    }
    void TearDown() override
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
    }

    std::string open() const { return "OpenPort(\"" + port + "\")"; }

    kivo::automation::testing::TempRegistry registry;
    std::string port;

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

} // namespace

TEST_F(AgainstTheSimulator, DrivesEveryOperation)
{
    const std::vector<std::string> calls = {
        open(), "WhoAmI()", "SetINIParams(1, 2)",
        // live state, switching and measurements
        "GetModuleGoodStatusByte(5, [8])", "GetOutputState(5, [8])", "SetOutputState(5, 2, true)",
        "SetGroupOutputState(5, 1, true)", "SetGroupVoltageSetpoint(5, 3, 1200)",
        "GetPresentModules(5, [8])", "GetGlobalStatusByte(5, [8])", "GetGlobalOutputState(5, 0)",
        "SetGlobalOutputState(5, 1)", "GetGroupState(5, 0)", "SetGroupState(5, 1)",
        "GetOutputVoltageSetpoint(5, 1, 0, [8])", "SetOutputVoltageSetpoint(5, 1, 1200)",
        "MeasureOutputCurrent(5, 1, 0)", "MeasureOutputVoltage(5, 1, 0)",
        // configuration registers
        "GetMasterSlaveMode(5, [8], [8])", "SetMasterSlaveMode(5, [1,0,0,0,0,0,0,0], [8])",
        "GetFanFailPolarity(5, 0)", "SetFanFailPolarity(5, 1)", "GetGlobalDCGoodPolarity(5, 0)",
        "SetGlobalDCGoodPolarity(5, 1)", "GetOTFailPolarity(5, 0)", "SetOTFailPolarity(5, 1)",
        "GetDefaultOutputVoltage(5, 1, 0)", "SetDefaultOutputVoltage(5, 1, 1210)",
        "GetCurrentLimitMode(5, 1, 0, 0)", "SetCurrentLimitMode(5, 1, 2, 1)",
        "GetDefaultOutputOnOffPolarity(5, 1, 0)", "SetDefaultOutputOnOffPolarity(5, 1, 1)",
        "GetDefaultOutputOnOffState(5, 1, 0)", "SetDefaultOutputOnOffState(5, 1, 0)",
        "GetProgrammingMode(5, 1, 0)", "SetProgrammingMode(5, 1, 1)",
        "GetOutputTurnONDelay(5, 1, 0)", "SetOutputTurnONDelay(5, 1, 250)",
        "GetDefaultGlobalOutputState(5, 0)", "SetDefaultGlobalOutputState(5, 1)",
        "GetDefaultGlobalOutputPolarity(5, 0)", "SetDefaultGlobalOutputPolarity(5, 1)",
        "GetDefaultGroupState(5, 0)", "SetDefaultGroupState(5, 1)", "GetGroupTurnONDelay(5, 0)",
        "SetGroupTurnONDelay(5, 700)", "GetModuleGoodLowThreshold(5, 1, 0)",
        "SetModuleGoodLowThreshold(5, 1, 1100)", "GetModuleGoodHighThreshold(5, 1, 0)",
        "SetModuleGoodHighThreshold(5, 1, 1300)", "GetCurrentLimit(5, 1, 0)",
        "SetCurrentLimit(5, 1, 900)", "GetCurrentLimitONTime(5, 1, 0)",
        "SetCurrentLimitONTime(5, 1, 120)", "GetCurrentLimitOFFTime(5, 1, 0)",
        "SetCurrentLimitOFFTime(5, 1, 1100)", "GetGroupID(5, 1, 0)", "SetGroupID(5, 1, 3)",
        "GetOutputTurnONDelayExUShort(5, 1, 0)", "SetOutputTurnONDelayExUShort(5, 1, 50000)",
        "GetCurrentLimitONTimeExUShort(5, 1, 0)", "SetCurrentLimitONTimeExUShort(5, 1, 40000)",
        "GetCurrentLimitOFFTimeExUShort(5, 1, 0)", "SetCurrentLimitOFFTimeExUShort(5, 1, 65535)",
        // identity, versions and counters
        "GetUnitID(5, 0)", "GetModuleType(5, 2, 0)", "GetModuleVersion(5, 2, 0, 0)",
        "GetUnitVersion(5, 0, 0)", "GetOperatingHours(5, \"\")", "GetOperatingHoursString(5, \"\")",
        "GetModuleSerialN(5, 2, \"\")", "GetUnitSerialN(5, \"\")", "SetNewUnitID(5, 5)",
        "ClosePort()"};
    const Finished r = kivoxCall(calls);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), calls.size()) << r.out << r.err;

    std::set<std::string> ops;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::string& line = out[i];
        const std::string op = line.substr(8, line.find('"', 8) - 8);
        ops.insert(op);
        EXPECT_NE(line.find("\"hresult\": \"0x00000000\""), std::string::npos) << line;
        if (op == "WhoAmI") {
            EXPECT_NE(line.find("\"result\": \"Kivo ActiveX DLL Unicode Release Version 2.01"),
                      std::string::npos);
        } else if (op == "SetINIParams") {
            EXPECT_NE(line.find("\"result\": null"), std::string::npos) << line;
        } else {
            EXPECT_NE(line.find("\"result\": \"CMD_OK\""), std::string::npos) << line;
        }
    }
    std::set<std::string> all;
    for (const auto& m : kivox::ikivoInterface().methods()) {
        all.insert(m.name);
    }
    EXPECT_EQ(ops, all) << "every operation once";

    auto lineOf = [&](const std::string& op) {
        for (const auto& line : out) {
            if (line.starts_with("{\"op\": \"" + op + "\"")) {
                return line;
            }
        }
        return std::string();
    };
    EXPECT_EQ(lineOf("GetPresentModules"), "{\"op\": \"GetPresentModules\", \"hresult\": "
                                           "\"0x00000000\", \"result\": \"CMD_OK\", \"args\": "
                                           "[5, [1, 1, 0, 0, 0, 0, 0, 0]]}");
    EXPECT_EQ(lineOf("GetModuleType"), "{\"op\": \"GetModuleType\", \"hresult\": \"0x00000000\", "
                                       "\"result\": \"CMD_OK\", \"args\": [5, 2, 4]}");
    EXPECT_EQ(lineOf("GetOperatingHoursString"),
              "{\"op\": \"GetOperatingHoursString\", \"hresult\": \"0x00000000\", \"result\": "
              "\"CMD_OK\", \"args\": [5, \"65551\"]}");
    EXPECT_EQ(lineOf("GetOutputTurnONDelayExUShort"),
              "{\"op\": \"GetOutputTurnONDelayExUShort\", \"hresult\": \"0x00000000\", "
              "\"result\": \"CMD_OK\", \"args\": [5, 1, 250]}");
    EXPECT_EQ(lineOf("OpenPort"), "{\"op\": \"OpenPort\", \"hresult\": \"0x00000000\", "
                                  "\"result\": \"CMD_OK\", \"args\": [\"" +
                                      port + "\"]}");
}

TEST_F(AgainstTheSimulator, ExitStatusTellsFailuresFromMistakes)
{
    // A call that fails: an array of 7 elements.
    Finished r = kivoxCall({open(), "GetPresentModules(3, [7])", "whoami()"});
    EXPECT_EQ(r.exitCode, 1);
    auto out = lines(r.out);
    ASSERT_EQ(out.size(), 3u) << r.err;
    EXPECT_EQ(out[1], "{\"op\": \"GetPresentModules\", \"hresult\": \"0x80004005\", \"result\": "
                      "\"CMD_ERROR\", \"args\": [3, [0, 0, 0, 0, 0, 0, 0]]}");

    // A failure string alone is a normal return.
    r = kivoxCall({"GetUnitID(3, 0)"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("\"result\": \"CMD_ERROR\""), std::string::npos);

    // Mistakes stop it before anything is called.
    for (const std::vector<std::string>& args : {std::vector<std::string>{open(), "Frobnicate(1)"},
                                                 {open(), "GetUnitID(3"},
                                                 {open(), "GetUnitID(3)"},
                                                 {},
                                                 {"--verbose", "WhoAmI()"}}) {
        r = kivoxCall(args);
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args.back());
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(r.err.empty());
    }

    r = kivoxCall({"--progid", "KivoX.Nothing.1", "WhoAmI()"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("KivoX.Nothing.1"), std::string::npos) << r.err;

    r = kivoxCall({"--progid", "kivox.kivo", "WHOAMI()"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
}
