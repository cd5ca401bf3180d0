#include "tools/unitsim/pty_server.h"

#include "tools/unitsim/tests/pty_client.h"

#include <gtest/gtest.h>

#include <thread>

#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace kivo::unitsim;
using namespace kivo::unitsim::testing;
using namespace std::chrono_literals;

namespace {

const Bytes kModuleGoodRequest = pack({1, 0x1F, cid::kModuleGood, {}});

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class PtyServerTest : public ::testing::Test {
protected:
    Bus bus = Bus::defaultBus();
};

} // namespace

TEST_F(PtyServerTest, AnswersOnTheTerminalAndLogsBothFrames)
{
    PtyServer server(bus);
    PtyClient pc(server.path());
    EXPECT_TRUE(isatty(pc.fd()));
    const auto before = Clock::now();
    const Bytes reply = pc.exchange(kModuleGoodRequest, 6);
    EXPECT_EQ(reply, pack({1, 0x1F, cid::kModuleGood, {0x1F}}));

    const auto log = server.log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].direction, LogEntry::Request);
    EXPECT_EQ(log[0].bytes, kModuleGoodRequest);
    EXPECT_EQ(log[1].direction, LogEntry::Reply);
    EXPECT_EQ(log[1].bytes, reply);
    EXPECT_LE(before, log[0].time);
    EXPECT_LE(log[0].time, log[1].time);
    server.clearLog();
    EXPECT_TRUE(server.log().empty());
}

TEST_F(PtyServerTest, AnswersOnlyOnceTheWholeRequestHasCome)
{
    PtyServer server(bus);
    PtyClient pc(server.path());
    const Bytes request = pack({1, 2, cid::kSetSetPoint, {0xB0, 0x04}});
    pc.write(Bytes(request.begin(), request.begin() + 3));
    EXPECT_TRUE(pc.drain(30).empty());
    pc.write(Bytes(request.begin() + 3, request.end()));
    EXPECT_EQ(pc.read(5), pack({1, 2, cid::kSetSetPoint, {}}));
}

TEST_F(PtyServerTest, DropsWhatCannotBeAFrameAndStaysInStep)
{
    PtyServer server(bus, {.gapMs = 30});
    PtyClient pc(server.path());
    // A request that stops halfway is dropped after the gap.
    pc.write(Bytes(kModuleGoodRequest.begin(), kModuleGoodRequest.begin() + 3));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(pc.exchange(kModuleGoodRequest, 6).size(), 6u);
    // Bytes that cannot start a frame are dropped one by one.
    Bytes noisy{0x00, 0xFF, 0x03};
    noisy.insert(noisy.end(), kModuleGoodRequest.begin(), kModuleGoodRequest.end());
    EXPECT_EQ(pc.exchange(noisy, 6).size(), 6u);
    // No unit, or a bad CRC: silence, and the next request is answered.
    Bytes badCrc = kModuleGoodRequest;
    badCrc.back() ^= 0x01;
    pc.write(pack({2, 0x1F, cid::kModuleGood, {}}));
    pc.write(badCrc);
    EXPECT_TRUE(pc.drain(200).empty());
    EXPECT_EQ(pc.exchange(kModuleGoodRequest, 6).size(), 6u);

    const auto log = server.log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0].bytes, Bytes(kModuleGoodRequest.begin(), kModuleGoodRequest.begin() + 3));
}

TEST_F(PtyServerTest, ServesSessionAfterSession)
{
    PtyServer server(bus);
    for (int session = 0; session < 5; ++session) {
        PtyClient pc(server.path(), O_NONBLOCK);
        ASSERT_EQ(flock(pc.fd(), LOCK_EX | LOCK_NB), 0) << session;
        ioctl(pc.fd(), TIOCEXCL);
        EXPECT_EQ(pc.exchange(kModuleGoodRequest, 6).size(), 6u) << session;
        ioctl(pc.fd(), TIOCNXCL);
    }
}

// A program's exclusive open (flock plus TIOCEXCL) works on the simulator's terminal as on a
// real port: a second open fails while it is held, and a later session opens again. Root passes
// any TIOCEXCL, so the PC side runs as an ordinary user.
TEST_F(PtyServerTest, ExclusiveOpenIsNeitherDefeatedNorBlocked)
{
    PtyServer server(bus);
    const std::string path = server.path();
    if (geteuid() == 0) {
        ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    }
    const Bytes request = kModuleGoodRequest;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only plain system calls after fork() in a threaded process.
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
                               setresuid(65534, 65534, 65534) != 0))
            _exit(10);
        for (int session = 0; session < 3; ++session) {
            const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd < 0)
                _exit(20 + session);
            if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0)
                _exit(30 + session);
            const int second = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (second >= 0 || errno != EBUSY)
                _exit(40 + session);
            if (write(fd, request.data(), request.size()) != ssize_t(request.size()))
                _exit(50 + session);
            std::uint8_t reply[6];
            std::size_t got = 0;
            while (got < sizeof reply) {
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, 2000) <= 0)
                    _exit(60 + session);
                const ssize_t n = read(fd, reply + got, sizeof reply - got);
                if (n > 0)
                    got += std::size_t(n);
            }
            ioctl(fd, TIOCNXCL);
            close(fd);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10 privileges, 2x open, 3x lock, 4x second open "
                                         "not refused, 5x write, 6x no reply (x = session)";
}

TEST_F(PtyServerTest, ScriptedFaultsReachTheLine)
{
    PtyServer server(bus);
    PtyClient pc(server.path());
    server.faults().add({.uid = 3, .cid = 0x05, .kind = Fault::NoReply, .times = 2});
    const Bytes write = pack({3, 0x1F, cid::kWriteByte, {0x01, 0x0B}});
    EXPECT_TRUE(pc.exchange(write, 5, 200).empty());
    EXPECT_TRUE(pc.exchange(write, 5, 200).empty());
    EXPECT_EQ(pc.exchange(write, 5), pack({3, 0x1F, cid::kWriteByte, {}}));
    EXPECT_EQ(bus.unit(3)->signalPolarity, 0x0B) << "the unit carried the writes out";

    server.faults().add({.kind = Fault::ExtraBytes, .bytes = 2});
    EXPECT_EQ(pc.exchange(kModuleGoodRequest, 8).size(), 8u);

    int requests = 0, replies = 0;
    for (const auto& e : server.log())
        (e.direction == LogEntry::Request ? requests : replies)++;
    EXPECT_EQ(requests, 4);
    EXPECT_EQ(replies, 2);
}

TEST_F(PtyServerTest, DelayedReply)
{
    PtyServer server(bus);
    PtyClient pc(server.path());
    server.faults().add({.kind = Fault::Delay, .delayMs = 300});
    const auto start = Clock::now();
    EXPECT_EQ(pc.exchange(kModuleGoodRequest, 6, 5000).size(), 6u);
    EXPECT_GE(msSince(start), 295.0);
}

TEST_F(PtyServerTest, PacedRepliesTakeTheirWireTime)
{
    PtyServer server(bus, {.pace = true});
    PtyClient pc(server.path());
    const Bytes request = pack({1, 2, cid::kSetPointInputs, {}});
    const auto start = Clock::now();
    EXPECT_EQ(pc.exchange(request, 8).size(), 8u);
    EXPECT_GE(msSince(start), 8 * 1.04);
}

TEST_F(PtyServerTest, SharesTheStateWithTheTest)
{
    PtyServer server(bus);
    PtyClient pc(server.path());
    bus.unit(1)->module(3).outputOn = false;
    EXPECT_EQ(pc.exchange(pack({1, 0x1F, cid::kOutputStates, {}}), 6),
              pack({1, 0x1F, cid::kOutputStates, {0x1B}}));
    pc.exchange(pack({1, 3, cid::kSwitchOutput, {kStateOn}}), 5);
    EXPECT_TRUE(bus.unit(1)->module(3).outputOn);
}

TEST_F(PtyServerTest, StopsWhileAReplyIsDelayed)
{
    auto server = std::make_unique<PtyServer>(bus);
    PtyClient pc(server->path());
    server->faults().add({.kind = Fault::Delay, .delayMs = 30000});
    pc.write(kModuleGoodRequest);
    std::this_thread::sleep_for(50ms);
    const auto start = Clock::now();
    server.reset();
    EXPECT_LT(msSince(start), 5000.0);
}

TEST_F(PtyServerTest, LogKeepsTheNewestEntries)
{
    PtyServer server(bus, {.logLimit = 3});
    PtyClient pc(server.path());
    for (std::uint8_t slot = 1; slot <= 3; ++slot)
        pc.exchange(pack({1, slot, cid::kMeasureVoltage, {}}), 7);
    const auto log = server.log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].direction, LogEntry::Reply);
    EXPECT_EQ(log[1].bytes, pack({1, 3, cid::kMeasureVoltage, {}}));

    PtyServer quiet(bus, {.logLimit = 0});
    PtyClient other(quiet.path());
    EXPECT_EQ(other.exchange(kModuleGoodRequest, 6).size(), 6u);
    EXPECT_TRUE(quiet.log().empty());
}
