#include "platform/desktop/let_events_run.h"

#include <QCoreApplication>

#include <utility>

namespace kivo::desktop {

namespace {

std::uint64_t runCount = 0;
EventsRunHook runHook;
int runDepth = 0;

} // namespace

void letEventsRun()
{
    const EventsRunning running;
    ++runCount;
    if (runHook) {
        // A copy, so a hook may replace itself while it runs.
        EventsRunHook hook = runHook;
        hook();
        return;
    }
    QCoreApplication::processEvents();
}

std::uint64_t eventsRunCount()
{
    return runCount;
}

EventsRunHook setEventsRunHook(EventsRunHook hook)
{
    return std::exchange(runHook, std::move(hook));
}

bool eventsRunning()
{
    return runDepth > 0;
}

EventsRunning::EventsRunning()
{
    ++runDepth;
}

EventsRunning::~EventsRunning()
{
    --runDepth;
}

} // namespace kivo::desktop
