// The two cycling programs as tables: the steps in order, each with the module count it needs,
// its actions and the wait after it. A run repeats its program from the first step until it is
// stopped or a call fails.
#pragma once

#include <span>

namespace Tambel {

struct Action {
    enum Kind {
        AllOn,         // every module number from 1 to n in turn
        AllOff,        // the same, switched off
        On,            // module number `module` on
        SetPointAtMin, // module number `module` to its type's lowest voltage
        SetPointAtMax, // module number `module` to its type's highest voltage
    };
    Kind kind;
    int module = 0;
    // Done only when the unit has at least this many modules.
    int needs = 0;
};

struct Step {
    // The step, its wait included, is skipped whole when the unit has fewer modules.
    int needs;
    std::span<const Action> actions;
    double waitSeconds;
};

std::span<const Step> program1();
std::span<const Step> program2();

} // namespace Tambel
