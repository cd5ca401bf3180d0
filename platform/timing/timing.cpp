#include "platform/timing/timing.h"

#include <thread>

namespace kivo::timing {

namespace {

class SystemTiming final : public Timing {
public:
    Clock::time_point now() override { return Clock::now(); }

    void spinMilliseconds(double ms) override
    {
        const auto start = Clock::now();
        if (ms <= 0) {
            return;
        }
        while (elapsedMilliseconds(start, Clock::now()) < ms) {
        }
    }

    void sleepMilliseconds(double ms) override
    {
        if (ms > 0) {
            std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
        }
    }
};

} // namespace

Timing& systemTiming()
{
    static SystemTiming timing;
    return timing;
}

double elapsedMilliseconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace kivo::timing
