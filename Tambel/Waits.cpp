#include "Tambel/Waits.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace Tambel {

namespace {

class EventLoopWaitClock final : public WaitClock {
public:
    Clock::time_point now() override { return kivo::timing::systemTiming().now(); }

    void waitForEvents(Clock::time_point deadline) override
    {
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now());
        if (remaining.count() <= 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            return;
        }
        // The timer only wakes the event loop when nothing else does before the deadline.
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        wake.start(remaining);
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
};

} // namespace

WaitClock& eventLoopWaitClock()
{
    static EventLoopWaitClock clock;
    return clock;
}

} // namespace Tambel
