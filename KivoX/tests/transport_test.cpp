#include "KivoX/transport.h"

#include "KivoX/tests/support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace kivox;
using kivox::testing::FakeTiming;
using kivox::testing::TempDir;

namespace {

// A line that writes down what is done to it, in the order it happens.
struct RecordingLine {
    std::vector<std::string>& events;
    bool writeSucceeds = true;
    std::size_t replyLength = 0;

    void purgeInput() { events.push_back("purge RX"); }
    void purgeOutput() { events.push_back("purge TX"); }
    bool setRts(bool raised)
    {
        events.push_back(raised ? "RTS on" : "RTS off");
        return false; // as on a pseudo-terminal
    }
    bool writeAll(const std::uint8_t*, std::size_t length)
    {
        events.push_back("write " + std::to_string(length));
        return writeSucceeds;
    }
    std::size_t read(std::uint8_t*, std::size_t length, int timeoutMs)
    {
        events.push_back("read " + std::to_string(length) + " within " + std::to_string(timeoutMs));
        return std::min(length, replyLength);
    }
};

class RtsDelay : public ::testing::Test {
protected:
    void TearDown() override { setRtsToggleInterval(previous); }
    int previous = rtsToggleInterval();
};

} // namespace

TEST_F(RtsDelay, OneExchangeInTheOrderTheLineNeeds)
{
    setRtsToggleInterval(10);
    std::vector<std::string> events;
    FakeTiming timing;
    timing.events = &events;
    RecordingLine line{events, true, 6};
    const std::uint8_t frame[6] = {};
    std::uint8_t reply[6] = {};

    ASSERT_TRUE(writeABuffer(&line, frame, sizeof frame));
    EXPECT_EQ(readABuffer(&line, reply, sizeof reply, 2000, timing), 6u);
    EXPECT_EQ(events,
              (std::vector<std::string>{"purge TX", "purge RX", "RTS on", "write 6", "spin 10",
                                        "RTS off", "read 6 within 2000", "purge RX"}));
}

TEST_F(RtsDelay, ZeroDropsRtsRightAfterTheWrite)
{
    setRtsToggleInterval(0);
    std::vector<std::string> events;
    FakeTiming timing;
    timing.events = &events;
    RecordingLine line{events, true, 0};
    std::uint8_t reply[5] = {};
    EXPECT_EQ(readABuffer(&line, reply, sizeof reply, 100, timing), 0u);
    EXPECT_EQ(events,
              (std::vector<std::string>{"spin 0", "RTS off", "read 5 within 100", "purge RX"}));
}

TEST(Transport, AFailedWriteLeavesRtsRaised)
{
    std::vector<std::string> events;
    RecordingLine line{events, false, 0};
    const std::uint8_t frame[5] = {};
    EXPECT_FALSE(writeABuffer(&line, frame, sizeof frame));
    EXPECT_EQ(events, (std::vector<std::string>{"purge TX", "purge RX", "RTS on", "write 5"}));
}

TEST(Transport, NoPortWritesAndReadsNothing)
{
    FakeTiming timing;
    const std::uint8_t frame[5] = {};
    std::uint8_t reply[5] = {};
    EXPECT_FALSE(writeABuffer<kivo::serial::Port>(nullptr, frame, sizeof frame));
    EXPECT_EQ(readABuffer<kivo::serial::Port>(nullptr, reply, sizeof reply, 10, timing), 0u);
    EXPECT_EQ(setPortSettings(nullptr), -1);
}

TEST(Transport, OpensOnlyTerminalsByTheirExactName)
{
    EXPECT_EQ(openPort("/dev/null"), nullptr);
    EXPECT_EQ(openPort(""), nullptr);
    EXPECT_EQ(openPort("/dev/kivo-no-such-port"), nullptr);

    kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
    kivo::unitsim::PtyServer server(bus);
    // The name is used as given, here a link with a name of the user's choice.
    TempDir dir;
    const std::string name = dir.file("COM1");
    std::filesystem::create_symlink(server.path(), name);
    auto port = openPort(name);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(setPortSettings(port.get()), 0);
    EXPECT_EQ(openPort(server.path()), nullptr) << "a second open of a held port";
    port.reset();
    EXPECT_NE(openPort(server.path()), nullptr);
}

struct IniCase {
    const char* what;
    const char* text; // nullptr: no file at all
    int expected;
};

class RtsDelayFromIni : public ::testing::TestWithParam<IniCase> {};

TEST_P(RtsDelayFromIni, ReadsTheKeyOrTen)
{
    TempDir dir;
    const std::string path = dir.file("Kivo.ini");
    if (GetParam().text) {
        std::ofstream(path) << GetParam().text;
    }
    EXPECT_EQ(readRtsToggleInterval(path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ini, RtsDelayFromIni,
    ::testing::Values(IniCase{"no file", nullptr, 10},
                      IniCase{"no key", "[Serial COM Parameters]\nReadTimeout=2\n", 10},
                      IniCase{"other section", "[Other]\nRTSToggleInterval=3\n", 10},
                      IniCase{"set", "[Serial COM Parameters]\r\nRTSToggleInterval=25\r\n", 25},
                      IniCase{"zero", "[serial com parameters]\nrtstoggleinterval = 0\n", 0}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });
