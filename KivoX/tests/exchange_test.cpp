// The exchange with a unit: the checks of a reply and their order, the failure strings, the
// retries with their pause, and what survives a port that goes away or a unit that talks garbage.
#include "KivoX/exchange.h"
#include "KivoX/transport.h"

#include "KivoX/tests/support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <sys/ioctl.h>

using namespace kivox;
using namespace kivox::testing;
using kivo::automation::call;
using kivo::automation::CallResult;
using kivo::unitsim::Fault;

namespace {

// A received reply record with its CRC as the frame carried it.
Message received(Message m, bool crcRight = true)
{
    const auto frame = packMessage(m);
    m.crc = static_cast<std::uint8_t>(frame.back() ^ (crcRight ? 0 : 0x5A));
    return m;
}

struct CheckCase {
    const char* what;
    Message reply;
    const char* expected; // nullptr: the reply passes
};

class CheckOrder : public ::testing::TestWithParam<CheckCase> {};

} // namespace

TEST_P(CheckOrder, ErrorReplyThenEchoThenCrc)
{
    Link link;
    link.statusText = "before";
    const Message request = makeMessage(3, 0x1F, cid::kReadByte, {unitreg::kUnitId});
    const bool passed = link.CheckMessage(request, GetParam().reply);
    EXPECT_EQ(passed, GetParam().expected == nullptr);
    EXPECT_EQ(link.statusText, GetParam().expected ? GetParam().expected : "before");
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CheckOrder,
    ::testing::Values(CheckCase{"good", received(makeMessage(3, 0x1F, 0x04, {3})), nullptr},
                      CheckCase{"error reply, wrong UID, bad CRC",
                                received(makeMessage(4, 0x1F, 0x18, {}), false), "CMD_ERROR"},
                      CheckCase{"wrong UID, bad CRC",
                                received(makeMessage(4, 0x1F, 0x04, {3}), false), "CMD_ERROR"},
                      CheckCase{"wrong MID, bad CRC",
                                received(makeMessage(3, 0x01, 0x04, {3}), false), "CMD_ERROR"},
                      CheckCase{"wrong CID, bad CRC",
                                received(makeMessage(3, 0x1F, 0x13, {3}), false), "CMD_ERROR"},
                      CheckCase{"bad CRC only", received(makeMessage(3, 0x1F, 0x04, {3}), false),
                                "CMD_CRCERROR"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

namespace {

class Exchange : public LinkOnBus {
protected:
    CallResult getUnitId(std::int16_t uid = 3)
    {
        unitId = -1;
        return call(link, "GetUnitID", uid, kivo::automation::byRef(unitId));
    }
    std::int16_t unitId = -1;
};

struct FaultCase {
    const char* what;
    Fault fault;
    const char* status;
};

class FailureTexts : public Exchange, public ::testing::WithParamInterface<FaultCase> {};

} // namespace

TEST_P(FailureTexts, OneAttemptAgainstAFaultyReply)
{
    setParams(1, 1);
    object->link().statusText = "none yet";
    server->faults().add(GetParam().fault);
    const CallResult r = getUnitId();
    EXPECT_EQ(r.hr, kivo::automation::S_OK);
    EXPECT_EQ(r.status, GetParam().status) << GetParam().what;
    const bool passed = r.status == kCmdOk;
    EXPECT_EQ(unitId, passed ? 3 : -1) << "the caller's variable changes only on success";
    EXPECT_EQ(object->link().statusText, passed ? "none yet" : GetParam().status);
    EXPECT_EQ(sent().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailureTexts,
    ::testing::Values(
        FaultCase{"no reply", {.kind = Fault::NoReply}, "CMD_NORESPONSE"},
        FaultCase{"bad CRC", {.kind = Fault::BadCrc}, "CMD_CRCERROR"},
        FaultCase{"another unit's UID", {.kind = Fault::WrongUid}, "CMD_ERROR"},
        FaultCase{"wrong MID", {.kind = Fault::WrongMid}, "CMD_ERROR"},
        FaultCase{"wrong CID", {.kind = Fault::WrongCid}, "CMD_ERROR"},
        FaultCase{"error reply", {.kind = Fault::ErrorReply}, "CMD_ERROR"},
        FaultCase{"one byte too long", {.kind = Fault::WrongLength, .bytes = 1}, "CMD_ERROR"},
        FaultCase{"one byte too short", {.kind = Fault::WrongLength, .bytes = -1}, "CMD_ERROR"},
        FaultCase{"LEN byte says 7", {.kind = Fault::WrongLenByte}, "CMD_ERROR"},
        FaultCase{"3 of 6 bytes", {.kind = Fault::Truncated, .bytes = 3}, "CMD_ERROR"},
        FaultCase{"bytes after the reply", {.kind = Fault::ExtraBytes, .bytes = 4}, "CMD_OK"},
        FaultCase{"a late but timely reply", {.kind = Fault::Delay, .delayMs = 10}, "CMD_OK"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

namespace {

// Stale bytes on the line: what a unit sends after its reply was read must not answer the next
// request. The pause after the first exchange lasts until those bytes are in, as a real pause
// would; the timing that never waits cannot give a unit the time otherwise.
class StaleBytes : public Exchange {
protected:
    // Until `count` bytes wait unread on the port, or a bound passes (the bytes may also have
    // come early enough for the read's own purge).
    void awaitUnread(int count)
    {
        const int fd = object->link().portHandle->fd();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        int waiting = 0;
        while (::ioctl(fd, FIONREAD, &waiting) == 0 && waiting < count &&
               std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // The next byte register read of unit 3: its reply carries no register number, so a stale
    // reply to another register would pass its checks.
    CallResult getUnitVersion()
    {
        major = minor = -1;
        return call(link, "GetUnitVersion", std::int16_t{3}, kivo::automation::byRef(major),
                    kivo::automation::byRef(minor));
    }
    std::int16_t major = -1;
    std::int16_t minor = -1;
};

} // namespace

TEST_F(StaleBytes, ARepeatedReplyIsNotTakenForTheNextOne)
{
    setParams(1, 1);
    server->faults().add({.kind = Fault::RepeatedReply, .delayMs = 20});
    bool waited = false;
    timing.onSleep = [&] {
        if (!std::exchange(waited, true)) {
            awaitUnread(6);
        }
    };
    ASSERT_EQ(getUnitId().status, kCmdOk);
    EXPECT_EQ(unitId, 3);
    ASSERT_EQ(getUnitVersion().status, kCmdOk);
    EXPECT_EQ(major, 2) << "unit 3 is version 0x45, not the repeated unit ID 3";
    EXPECT_EQ(minor, 5);
    EXPECT_EQ(getUnitId().status, kCmdOk);
    EXPECT_EQ(unitId, 3);
}

TEST_F(StaleBytes, ALateTailWithAShortRtsDelaySpoilsOnlyItsOwnExchange)
{
    const int previous = rtsToggleInterval();
    setRtsToggleInterval(0);
    setParams(1, 1);
    // The head of the reply, a stall longer than a read waits for the next byte, the tail.
    server->faults().add({.kind = Fault::LateTail, .delayMs = 40, .bytes = 3});
    bool waited = false;
    timing.onSleep = [&] {
        if (!std::exchange(waited, true)) {
            awaitUnread(3);
        }
    };
    getUnitId(); // fails unless the machine was too slow to see the stall
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(getUnitVersion().status, kCmdOk) << "exchange " << i << " after the tail";
        EXPECT_EQ(major, 2);
        EXPECT_EQ(minor, 5);
    }
    setRtsToggleInterval(previous);
}

TEST_F(Exchange, EveryAttemptPausesAPassingOneToo)
{
    setRtsToggleInterval(10);
    ASSERT_EQ(getUnitId().status, kCmdOk);
    EXPECT_EQ(timing.spins, (std::vector<double>{10}));
    EXPECT_EQ(timing.sleeps, (std::vector<double>{100}));
}

TEST_F(Exchange, RetriesUntilAnAttemptPasses)
{
    server->faults().add({.kind = Fault::NoReply, .times = 2});
    EXPECT_EQ(getUnitId().status, kCmdOk);
    EXPECT_EQ(unitId, 3);
    EXPECT_EQ(sent().size(), 3u);
    EXPECT_EQ(timing.sleeps, (std::vector<double>(3, 100)));
    EXPECT_EQ(object->link().statusText, "CMD_NORESPONSE") << "a success resets nothing";
}

TEST_F(Exchange, AfterTheLastAttemptItsFailureCounts)
{
    server->faults().add({.kind = Fault::NoReply, .times = 1});
    server->faults().add({.kind = Fault::BadCrc, .times = Fault::always});
    EXPECT_EQ(getUnitId().status, kCmdCrcError);
    EXPECT_EQ(sent().size(), 5u);
    EXPECT_EQ(timing.sleeps.size(), 5u);

    server->faults().clear();
    server->clearLog();
    setParams(1, 2);
    server->faults().add({.kind = Fault::BadCrc, .times = 1});
    server->faults().add({.kind = Fault::NoReply, .times = 1});
    EXPECT_EQ(getUnitId().status, kCmdNoResponse);
    EXPECT_EQ(sent().size(), 2u);
}

TEST_F(Exchange, ARetryCountOfZeroOrLessSendsNothing)
{
    for (std::int16_t retries : {0, -1}) {
        setParams(2, retries);
        EXPECT_EQ(getUnitId().status, kCmdError) << "the fresh object's text";
        EXPECT_EQ(unitId, -1);
    }
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(timing.sleeps.empty());

    setParams(1, 1);
    server->faults().add({.kind = Fault::NoReply});
    EXPECT_EQ(getUnitId().status, kCmdNoResponse);
    setParams(1, 0);
    EXPECT_EQ(getUnitId().status, kCmdNoResponse) << "the last failure, whatever it was";
}

TEST_F(Exchange, TheLastFailureTextOutlivesOperations)
{
    setParams(1, 1);
    server->faults().add({.kind = Fault::NoReply});
    EXPECT_EQ(getUnitId().status, kCmdNoResponse);
    EXPECT_EQ(getUnitId().status, kCmdOk);
    // An OpenPort that fails writes no text of its own: it hands back the last one.
    EXPECT_EQ(call(link, "OpenPort", "/dev/kivo-no-such-port").status, kCmdNoResponse);
    // Now without a port: the write fails.
    EXPECT_EQ(getUnitId().status, kCmdError);
}

TEST_F(Exchange, WithoutAPortEveryAttemptFailsInTheWrite)
{
    ASSERT_EQ(call(link, "ClosePort").status, kCmdOk);
    EXPECT_EQ(getUnitId().status, kCmdError);
    EXPECT_EQ(timing.sleeps.size(), 5u);
    EXPECT_TRUE(sent().empty());
}

TEST_F(Exchange, AVanishedPortGivesFailuresNeverAHang)
{
    ASSERT_EQ(getUnitId().status, kCmdOk);
    const std::string path = server->path();
    server.reset();
    const auto start = std::chrono::steady_clock::now();
    std::int16_t value = 0;
    for (const char* op : {"MeasureOutputVoltage", "MeasureOutputCurrent", "GetModuleType"}) {
        const CallResult r =
            call(link, op, std::int16_t{3}, std::int16_t{1}, kivo::automation::byRef(value));
        EXPECT_EQ(r.hr, kivo::automation::S_OK);
        EXPECT_TRUE(r.status == kCmdError || r.status == kCmdNoResponse) << op << ": " << r.status;
    }
    std::string hours = "unchanged";
    const CallResult r =
        call(link, "GetOperatingHoursString", std::int16_t{3}, kivo::automation::byRef(hours));
    EXPECT_NE(r.status, kCmdOk);
    EXPECT_EQ(hours, "unchanged");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(call(link, "ClosePort").status, kCmdOk);
    EXPECT_NE(call(link, "OpenPort", path).status, kCmdOk);
}

namespace {

// Whether the reply as sent would pass every check once read as a reply of `expected` bytes:
// what comes after them is purged unread.
bool passesChecks(const kivo::unitsim::Bytes& request, kivo::unitsim::Bytes reply,
                  std::size_t expected)
{
    if (reply.size() < expected) {
        return false;
    }
    reply.resize(expected);
    return reply[0] == expected && kivo::unitsim::isValidFrame(reply) && reply[3] != 0x18 &&
           reply[1] == request[1] && reply[2] == request[2] && reply[3] == request[3];
}

} // namespace

TEST_F(Exchange, RandomRepliesNeverPassAFailingFrame)
{
    setParams(1, 1);
    server->faults().add({.kind = Fault::RandomReply, .times = Fault::always, .seed = 20240611});
    struct Op {
        const char* name;
        std::size_t replyLength;
    };
    const Op ops[] = {{"GetModuleType", 6},
                      {"MeasureOutputVoltage", 7},
                      {"GetDefaultOutputVoltage", 7},
                      {"SetOutputVoltageSetpoint", 5}};
    int passed = 0;
    for (int i = 0; i < 400; ++i) {
        const Op& op = ops[i % 4];
        server->clearLog();
        std::int16_t value = 1200;
        const CallResult r =
            call(link, op.name, std::int16_t{3}, std::int16_t{1}, kivo::automation::byRef(value));
        ASSERT_EQ(r.hr, kivo::automation::S_OK);
        ASSERT_TRUE(r.status == kCmdOk || r.status == kCmdError || r.status == kCmdNoResponse ||
                    r.status == kCmdCrcError)
            << r.status;
        const auto requests = sent();
        const auto answers = replies();
        ASSERT_EQ(requests.size(), 1u);
        if (r.status == kCmdOk) {
            ASSERT_EQ(answers.size(), 1u);
            EXPECT_TRUE(passesChecks(requests[0], answers[0], op.replyLength))
                << "round " << i << ": " << op.name << " passed a frame that fails a check";
            ++passed;
        }
    }
    EXPECT_GT(passed, 0) << "a reply with bytes after it still passes";
}
