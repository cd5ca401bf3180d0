// The module types the simulated units are fitted with.
//
// The same types, codes and factors are shipped in ini/scale.ini, which the programs read to turn
// a module's counts into volts and amperes (volts = count / voltageScale, amperes = count /
// currentScale); a test keeps the two in step.
#pragma once

#include <span>
#include <string_view>

namespace kivo::unitsim {

struct ModuleType {
    int code = 0;                  // the module type register; section "TYPE" & code in scale.ini
    std::string_view name;         // "Type"
    double minVoltage = 0;         // "MinVoltage", volts
    double maxVoltage = 0;         // "MaxVoltage", volts
    double maxCurrent = 0;         // "MaxCurrent", amperes
    double voltageScale = 0;       // "VoltageScaleFactor", counts per volt
    double currentScale = 0;       // "CurrentScaleFactor", counts per ampere
    double maxMeasuredVoltage = 0; // "MaxMeasuredVoltage", volts
    double maxMeasuredCurrent = 0; // "MaxMeasuredCurrent", amperes
    double vaScale = 0;            // "VAScaleFactor"
};

// Every known type, code 0 ("Not Present") first.
std::span<const ModuleType> moduleTypes();

// The type with this code, or nullptr.
const ModuleType* findModuleType(int code);

} // namespace kivo::unitsim
