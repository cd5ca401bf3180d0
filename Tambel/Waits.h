// How a cycling run waits between its steps.
//
// A run may last hours, so a wait measures with the monotonic clock (never the time of day, which
// jumps at midnight and when the clock is set) and lets the event loop sleep until an event comes
// or the time is up, instead of spinning the processor. Tests substitute both halves so a pass of
// a program takes milliseconds.
#pragma once

#include "platform/timing/timing.h"

namespace Tambel {

using kivo::timing::Clock;

class WaitClock {
public:
    virtual ~WaitClock() = default;
    // A monotonic reading.
    virtual Clock::time_point now() = 0;
    // Handles the pending events, or waits for the next ones while none are pending, and returns
    // after that one round; at the latest at `deadline`. A deadline already passed only handles
    // what is pending.
    virtual void waitForEvents(Clock::time_point deadline) = 0;
};

// The real one: the steady clock and Qt's event loop. One instance for the process.
WaitClock& eventLoopWaitClock();

} // namespace Tambel
