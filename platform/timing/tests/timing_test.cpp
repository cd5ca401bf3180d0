#include "platform/timing/timing.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace kivo::timing;

namespace {

double cpuMilliseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

} // namespace

TEST(Timing, ClockNeverGoesBack)
{
    auto& t = systemTiming();
    auto last = t.now();
    for (int i = 0; i < 1000; ++i) {
        const auto next = t.now();
        EXPECT_GE(next, last);
        last = next;
    }
}

TEST(Timing, SpinWaitsAtLeastTheRequestAndBurnsTheProcessor)
{
    auto& t = systemTiming();
    const double cpu0 = cpuMilliseconds();
    const auto start = t.now();
    t.spinMilliseconds(20);
    const double waited = elapsedMilliseconds(start, t.now());
    const double cpu = cpuMilliseconds() - cpu0;
    EXPECT_GE(waited, 20.0);
    // A spin keeps the processor: nearly all of the wait is CPU time (a sleep would be ~0).
    EXPECT_GT(cpu, 5.0);
}

TEST(Timing, SpinOfZeroOrLessReturnsAtOnce)
{
    auto& t = systemTiming();
    for (double ms : {0.0, -1.0, -1000.0}) {
        const auto start = t.now();
        t.spinMilliseconds(ms);
        EXPECT_LT(elapsedMilliseconds(start, t.now()), 5.0) << ms;
    }
}

TEST(Timing, SleepWaitsWithoutBurningTheProcessor)
{
    auto& t = systemTiming();
    const double cpu0 = cpuMilliseconds();
    const auto start = t.now();
    t.sleepMilliseconds(30);
    EXPECT_GE(elapsedMilliseconds(start, t.now()), 30.0);
    EXPECT_LT(cpuMilliseconds() - cpu0, 10.0);
}
