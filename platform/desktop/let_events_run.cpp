#include "platform/desktop/let_events_run.h"

#include <QCoreApplication>

#include <utility>

namespace kivo::desktop {

namespace {

std::uint64_t runCount = 0;
EventsRunHook runHook;

} // namespace

void letEventsRun()
{
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

} // namespace kivo::desktop
