#include "Tambel/Programs.h"

#include <array>

namespace Tambel {

namespace {

constexpr Action allOn{Action::AllOn};
constexpr Action allOff{Action::AllOff};

constexpr Action on(int module)
{
    return {Action::On, module, module};
}

constexpr std::array<Action, 1> kAllOn{allOn};
constexpr std::array<Action, 1> kAllOff{allOff};
constexpr std::array<Action, 1> kOn1{on(1)};
constexpr std::array<Action, 1> kOn2{on(2)};
constexpr std::array<Action, 1> kOn3{on(3)};
constexpr std::array<Action, 1> kOn4{on(4)};
constexpr std::array<Action, 2> kOn2Then3{on(2), on(3)};
constexpr std::array<Action, 3> kOn2Then3Then4{on(2), on(3), on(4)};
constexpr std::array<Action, 2> kMin3On3{Action{Action::SetPointAtMin, 3, 3}, on(3)};
constexpr std::array<Action, 2> kMin2On2{Action{Action::SetPointAtMin, 2, 2}, on(2)};
constexpr std::array<Action, 2> kMax3On3{Action{Action::SetPointAtMax, 3, 3}, on(3)};
constexpr std::array<Action, 2> kMax2On2{Action{Action::SetPointAtMax, 2, 2}, on(2)};

const std::array<Step, 14> kProgram1{{
    {0, kAllOn, 2.0},
    {0, kAllOff, 2.0},
    {4, kOn4, 1.5},
    {3, kOn3, 1.5},
    {2, kOn2, 1.5},
    {1, kOn1, 2.0},
    {0, kAllOff, 2.0},
    {4, kOn4, 1.5},
    {2, kOn2Then3, 1.5},
    {1, kOn1, 2.0},
    {0, kAllOff, 2.0},
    {1, kOn1, 1.5},
    {2, kOn2Then3Then4, 2.0},
    {0, kAllOff, 2.0},
}};

const std::array<Step, 10> kProgram2{{
    {0, kAllOff, 2.0},
    {4, kOn4, 1.5},
    {3, kMin3On3, 1.5},
    {2, kMin2On2, 1.5},
    {1, kOn1, 2.0},
    {0, kAllOff, 2.0},
    {4, kOn4, 1.5},
    {3, kMax3On3, 1.5},
    {2, kMax2On2, 1.5},
    {1, kOn1, 2.0},
}};

} // namespace

std::span<const Step> program1()
{
    return kProgram1;
}

std::span<const Step> program2()
{
    return kProgram2;
}

} // namespace Tambel
