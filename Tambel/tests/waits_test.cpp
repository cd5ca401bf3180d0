// The real waits: the monotonic clock and the event loop, measured loosely.
#include "Tambel/Form1.h"
#include "Tambel/Waits.h"
#include "Tambel/tests/fake_link.h"

#include "platform/desktop/recording_desktop.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <time.h>

namespace Tambel {
namespace {

using namespace std::chrono_literals;

// Processor time of this thread: a busy wait uses about as much as it waits.
std::chrono::nanoseconds threadCpuTime()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

TEST(TambelWaits, SleepsUntilTheDeadlineWithoutSpinning)
{
    WaitClock& waits = eventLoopWaitClock();
    const auto cpuBefore = threadCpuTime();
    const Clock::time_point start = waits.now();
    const Clock::time_point deadline = start + 300ms;
    while (waits.now() < deadline) {
        waits.waitForEvents(deadline);
    }
    const auto waited = waits.now() - start;
    EXPECT_GE(waited, 300ms);
    EXPECT_LT(waited, 5s);
    EXPECT_LT(threadCpuTime() - cpuBefore, 150ms);
}

TEST(TambelWaits, ReturnsWhenAnEventHasBeenHandled)
{
    WaitClock& waits = eventLoopWaitClock();
    bool handled = false;
    QTimer::singleShot(20ms, [&] { handled = true; });
    const Clock::time_point start = waits.now();
    while (!handled && waits.now() - start < 10s) {
        waits.waitForEvents(start + 10s);
    }
    EXPECT_TRUE(handled);
    EXPECT_LT(waits.now() - start, 5s);

    // A deadline already passed handles what is pending and returns at once.
    handled = false;
    QTimer::singleShot(0, [&] { handled = true; });
    waits.waitForEvents(waits.now() - 1s);
    EXPECT_TRUE(handled);
}

TEST(TambelWaits, StopEndsARealWaitOfARun)
{
    kivo::desktop::RecordingDesktop desktop;
    kivo::desktop::ScopedDesktop installed(desktop);
    auto link = std::make_shared<testing::FakeLinkState>();
    Form1Setup setup;
    setup.createLink = [link](std::string*) { return testing::createFakeLink(link); };
    setup.programFolder = KIVO_PROGRAM_DIR;
    setup.ports = QStringList{"/dev/ttyUSB0"};
    Form1 form(setup);
    form.OpenCommunications->click();
    link->presentSlots = 0x01;

    // The run's first wait is 2 s; Stop comes through the event loop well before.
    QTimer::singleShot(300ms, form.Stop, &QPushButton::click);
    const auto cpuBefore = threadCpuTime();
    const Clock::time_point start = Clock::now();
    form.Start->click();
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 250ms);
    EXPECT_LT(took, 1900ms);
    EXPECT_LT(threadCpuTime() - cpuBefore, 150ms);
    ASSERT_FALSE(link->calls.empty());
    EXPECT_EQ(link->calls.back().str(), "SetOutputState 1 1 1");
    EXPECT_TRUE(desktop.calls().empty());
}

} // namespace
} // namespace Tambel
