#include "Tambel/Waits.h"

#include "platform/desktop/let_events_run.h"

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
        // The wait is part of a handler still running (a program cycle until it is stopped).
        const kivo::desktop::EventsRunning running;
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
