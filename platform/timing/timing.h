// Monotonic time, millisecond spin-waits and sleeps for the exchange code.
//
// The exchange code takes all three through `Timing`, so its tests can run a whole retry sequence
// with a fake clock and no real waits; everything else uses `systemTiming()`.
#pragma once

#include <chrono>

namespace kivo::timing {

using Clock = std::chrono::steady_clock;

class Timing {
public:
    virtual ~Timing() = default;
    // A monotonic reading; never goes back, unaffected by changes to the wall clock.
    virtual Clock::time_point now() = 0;
    // Busy-waits on now() until `ms` milliseconds have passed; never sleeps, so it ends within the
    // clock's resolution. 0 or less returns after one reading.
    virtual void spinMilliseconds(double ms) = 0;
    // Gives the processor away for about `ms` milliseconds; 0 or less returns at once.
    virtual void sleepMilliseconds(double ms) = 0;
};

// The real clock, spin and sleep; one instance for the process.
Timing& systemTiming();

// Milliseconds between two readings, as a real number.
double elapsedMilliseconds(Clock::time_point from, Clock::time_point to);

} // namespace kivo::timing
