// The one place where the main program's code lets the event loop run, as DoEvents did in the
// forms runtime.
//
// The windows rely on every property set on an indicator or a display repainting it at once and
// then running pending events, and on the unit model running them between its calls, so a long
// run of updates stays visible and timer ticks and clicks get their turn in between. All of it
// goes through letEventsRun(), so a test can count the calls or replace what a call does.
#pragma once

#include <cstdint>
#include <functional>

namespace kivo::desktop {

// Runs the pending events of the UI thread (QCoreApplication::processEvents()), or the installed
// hook instead.
void letEventsRun();

// How many times letEventsRun() has been called in this process.
std::uint64_t eventsRunCount();

// Installs `hook` to run in place of processing events and returns the hook it replaces; an empty
// function restores the default. Meant for tests: a hook can count, run a nested call at a chosen
// moment, or call QCoreApplication::processEvents() itself.
using EventsRunHook = std::function<void()>;
EventsRunHook setEventsRunHook(EventsRunHook hook);

// Whether the UI thread is running events from inside a handler: in letEventsRun(), or in
// another pump that marks itself with an EventsRunning scope. What must wait until the handler
// has returned to the event loop asks this.
bool eventsRunning();

class EventsRunning {
public:
    EventsRunning();
    ~EventsRunning();
    EventsRunning(const EventsRunning&) = delete;
    EventsRunning& operator=(const EventsRunning&) = delete;
};

} // namespace kivo::desktop
