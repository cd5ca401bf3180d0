#include "tools/unitsim/module_types.h"

#include <array>

namespace kivo::unitsim {

namespace {

// Ranges are centred on the nominal output, so the middle of a range is a sensible set point.
// Scale factors keep every count at the measured maxima within the signed 16-bit range.
constexpr std::array<ModuleType, 6> kTypes{{
    {0, "Not Present", 0.0, 0.0, 0.0, 100.0, 100.0, 0.0, 0.0, 1.0},
    {1, "KM-5V-20A", 4.0, 6.0, 20.0, 1000.0, 100.0, 6.6, 22.0, 10.0},
    {2, "KM-12V-10A", 10.0, 14.0, 10.0, 100.0, 100.0, 15.4, 11.0, 10.0},
    {3, "KM-24V-6A", 20.0, 28.0, 6.0, 100.0, 1000.0, 30.8, 6.6, 10.0},
    {4, "KM-48V-3A", 40.0, 56.0, 3.0, 100.0, 1000.0, 61.6, 3.3, 10.0},
    {5, "KM-3V3-30A", 2.8, 3.8, 30.0, 1000.0, 100.0, 4.2, 33.0, 10.0},
}};

} // namespace

std::span<const ModuleType> moduleTypes()
{
    return kTypes;
}

const ModuleType* findModuleType(int code)
{
    for (const auto& t : kTypes)
        if (t.code == code)
            return &t;
    return nullptr;
}

} // namespace kivo::unitsim
