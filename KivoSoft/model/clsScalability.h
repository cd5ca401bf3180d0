// The scaling record of one module slot: the "scale.ini" values of the module type fitted there.
#pragma once

#include <QString>

#include <cstdint>

namespace KivoSoft {

struct clsScalability {
    // The module type code the unit reported.
    std::int16_t ModuleTypeNumber = 0;
    // "Type": the model name, or "Not Present" ("N/A" when the type has no section).
    QString ModuleCode;
    double MinVoltage = 0;
    double MaxVoltage = 0;
    double MaxCurrent = 0;
    // Counts per volt and per ampere: volts = count / VoltageScaleFactor.
    double VoltageScaleFactor = 0;
    double MaxMeasuredVoltage = 0;
    double CurrentScaleFactor = 0;
    double MaxMeasuredCurrent = 0;
    double VAScaleFactor = 0;

    friend bool operator==(const clsScalability&, const clsScalability&) = default;
};

} // namespace KivoSoft
