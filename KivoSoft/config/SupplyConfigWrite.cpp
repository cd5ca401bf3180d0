// Writing the unit options and a module's settings into the unit the window read.
//
// A wrong value written is worse than a value not written: every field of a module is converted
// and checked before the port is opened, and the first step that fails ends the write with one
// message that names it.
#include "KivoSoft/config/SupplyConfig.h"

#include "KivoSoft/config/SupplyConfigShared.h"
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/INI.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/LinkInUse.h"
#include "platform/basic/basic.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/let_events_run.h"

#include <cmath>

namespace KivoSoft {

namespace G = KivoGlobals;
using namespace kivo::basic;
using kivo::automation::byRef;
using namespace config;

namespace {

const QString kOk = QStringLiteral("CMD_OK");

std::size_t at(int index)
{
    return static_cast<std::size_t>(index);
}

// One call on the link, the event loop run after it; its status string.
template <class... Args> QString linkCall(const char* operation, Args&&... args)
{
    const QString status = callLink(operation, std::forward<Args>(args)...);
    kivo::desktop::letEventsRun();
    return status;
}

// Read, compare, write: the Set only when the unit holds another value than `wanted`. The Get
// reads into `held`, which a failed Get leaves as it was. The status of the last call made.
template <class T, class... Lead>
QString readCompareWriteInto(T& held, const char* get, const char* set, T wanted, Lead... lead)
{
    QString status = linkCall(get, lead..., byRef(held));
    if (held != wanted) {
        T value = wanted;
        status = linkCall(set, lead..., byRef(value));
    }
    return status;
}

// The same with a value of its own, 0 when a Get fails.
template <class T, class... Lead>
QString readCompareWrite(const char* get, const char* set, T wanted, Lead... lead)
{
    T held = 0;
    return readCompareWriteInto(held, get, set, wanted, lead...);
}

// What one module write sends, worked out before the port is opened.
struct ModulePlan {
    std::int16_t programmingMode = 0;
    std::int16_t polarity = 0;
    std::int16_t startupState = 0;
    std::int32_t turnOnDelay = 0;
    bool sendVoltage = false;
    std::int16_t voltageCounts = 0;
    std::int16_t highCounts = 0;
    std::int16_t lowCounts = 0;
    int mode = 3; // 0 Normal, 1 Latching, 2 Hiccup, 3 Current Share
    double limitAmps = 0;
    double currentFactor = 0;
    std::int16_t limitCounts = 0;
    std::int16_t enableReset = 0;
    std::int32_t onTime = 0;
    std::int32_t offTime = 0;
};

// Why a module's values cannot be written; empty when they can.
struct PlanFailure {
    QString reason;
    explicit operator bool() const { return !reason.isEmpty(); }
};

} // namespace

std::string SupplyConfig::unitArg() const
{
    return ReadUnitId.toStdString();
}

std::int16_t SupplyConfig::pairValue(const std::array<QRadioButton*, 2>& pair)
{
    return pair[0]->isChecked() ? 1 : 0;
}

// ---- The unit options
// ---------------------------------------------------------------------------------

void SupplyConfig::cmdApply_Click()
{
    using namespace kivo::desktop;
    LinkInUse link(QStringLiteral("SupplyConfig.cmdApply"));
    if (!link || ReadUnitId.isEmpty()) {
        return;
    }
    const std::string unit = unitArg();
    cmdApply->setEnabled(false);
    G::WrittenToUnit = true;
    appendProgress(QStringLiteral("\r\nWriting into Kivo Eeprom......."));
    PellarosTx->setEnable(true);
    PellarosRx->setEnable(true);
    PellarosTx->setBlinking(true);
    PellarosRx->setBlinking(true);
    kivo::desktop::letEventsRun();
    INI::SetBusyState(1, this);
    // A port that did not open shows as the failure of the first step.
    linkCall("OpenPort", G::DefaultComPort.toStdString());

    struct Option {
        const char* step;
        const char* get; // nullptr: always written
        const char* set;
        std::int16_t value;
    };
    // The default group state has no control here: the value read from the unit goes back, so
    // an Apply never changes it (the unit reports the same value and nothing is sent).
    const auto read = KivoColl.find(ReadUnitId);
    const std::int16_t groupState =
        read != KivoColl.end() && read->second && read->second->Group ? 1 : 0;
    const Option options[] = {
        {"Fan Fail Polarity", "GetFanFailPolarity", "SetFanFailPolarity", pairValue(optFanFail)},
        {"Global DC Good Polarity", "GetGlobalDCGoodPolarity", "SetGlobalDCGoodPolarity",
         pairValue(optGlobalDC)},
        {"Over Temperature Polarity", "GetOTFailPolarity", "SetOTFailPolarity",
         pairValue(optOverTemp)},
        {"Default Group State", "GetDefaultGroupState", "SetDefaultGroupState", groupState},
        {"Default Global Output Polarity", nullptr, "SetDefaultGlobalOutputPolarity",
         pairValue(optGlobalOnOff)},
        {"Default Global Output State", nullptr, "SetDefaultGlobalOutputState",
         pairValue(optGlobal)},
    };
    // The reads of one Apply share one value: a read that fails leaves what the read before it
    // returned, and that is what the option is compared with.
    std::int16_t held = 0;
    for (const Option& option : options) {
        QString status;
        if (option.get) {
            status = readCompareWriteInto(held, option.get, option.set, option.value, unit);
        } else {
            kivo::desktop::letEventsRun();
            std::int16_t value = option.value;
            status = linkCall(option.set, unit, byRef(value));
        }
        if (status != kOk) {
            writeFailed(QString::fromLatin1(option.step));
            cmdApply->setEnabled(true);
            return;
        }
    }
    appendProgress(QStringLiteral("Ok"));
    PellarosTx->setBlinking(false);
    PellarosRx->setBlinking(false);
    PellarosTx->setEnable(false);
    PellarosRx->setEnable(false);
    PellarosTx->setStatus(true);
    PellarosRx->setStatus(true);
    linkCall("ClosePort");
    cmdApply->setEnabled(false);
    INI::SetBusyState(0);
    SelectButton->setFocus();
}

void SupplyConfig::writeFailed(const QString& step)
{
    using namespace kivo::desktop;
    // The log line ends with the failure, not with "Ok"; the lamps stop.
    appendProgress(QStringLiteral("Failed (") + step + u')');
    stopLamps(true);
    linkCall("ClosePort");
    INI::SetBusyState(0);
    desktop().msgBox(WriteFailureText + QStringLiteral("\r\nThe step that failed: ") + step,
                     vbCritical + vbOKOnly, WriteFailureTitle);
    kivo::desktop::letEventsRun();
}

void SupplyConfig::cmdSave_Click()
{
    if (LinkInUse::taken()) {
        return;
    }
    cmdSave->setEnabled(false);
    if (cmdApply->isEnabled()) {
        cmdApply_Click();
    }
    // Tab t shows module 5 - t: pending modules go 5, 4, 3, 2, 1, each on its own.
    for (int t = 0; t < 5; ++t) {
        if (cmdApplyCLM[at(t)]->isEnabled()) {
            cmdApplyCLM_Click(t);
        }
    }
}

// ---- One module
// --------------------------------------------------------------------------------------

void SupplyConfig::cmdApplyCLM_Click(int Index)
{
    using namespace kivo::desktop;
    if (Index < 0 || Index > 4) {
        return;
    }
    LinkInUse link(QStringLiteral("SupplyConfig.cmdApplyCLM"));
    if (!link || ReadUnitId.isEmpty()) {
        return;
    }
    const int m = 5 - Index;
    const auto i = at(m);
    // The scaling of the unit this window read, as the display and the checks use it.
    const clsScalability& scaling = readScaling(m);

    // ---- Every value converted and checked before anything is sent.
    ModulePlan plan;
    PlanFailure failure;
    auto field = [&](QLineEdit* box, const QString& name) -> std::optional<double> {
        if (box->text().isEmpty()) {
            box->setText(QStringLiteral("0"));
            box->repaint();
        }
        const std::optional<double> value = userNumber(box->text());
        if (!value && !failure) {
            failure.reason = QStringLiteral("the %1 \"%2\" is not a number").arg(name, box->text());
        }
        return value;
    };
    auto timeField = [&](QComboBox* box, const QString& name) -> std::int32_t {
        if (box->currentText().isEmpty()) {
            box->setEditText(QStringLiteral("0"));
            box->repaint();
        }
        const std::optional<double> value = userNumber(box->currentText());
        const Result<std::int32_t> ms = value ? CLng(*value) : Result<std::int32_t>(0);
        if ((!value || !ms || ms.value() < 0 || ms.value() > 65535) && !failure) {
            failure.reason = QStringLiteral("the %1 \"%2\" is not a time from 0 to 65535 ms")
                                 .arg(name, box->currentText());
        }
        return ms.valueOr(0);
    };
    auto counts = [&](double value, double factor, const QString& name) -> std::int16_t {
        const Result<std::int16_t> raw = CInt(value * factor);
        if (!raw && !failure) {
            failure.reason = QStringLiteral("the %1 is out of the unit's range").arg(name);
        }
        return raw.valueOr(0);
    };

    plan.programmingMode = OptProgMode[2 * i - 1]->isChecked() ? 1 : 0;
    plan.polarity = optPolarity[2 * i - 1]->isChecked() ? 1 : 0;
    plan.startupState = optStartupState[2 * i - 1]->isChecked() ? 1 : 0;
    if (const std::optional<double> delay =
            field(startupdelay[i], QStringLiteral("Startup Delay"))) {
        const Result<std::int32_t> ms = CLng(*delay);
        if ((!ms || ms.value() < 0 || ms.value() > 65535) && !failure) {
            failure.reason = QStringLiteral("the Startup Delay \"%1\" is not a time from 0 to "
                                            "65535 ms")
                                 .arg(startupdelay[i]->text());
        }
        plan.turnOnDelay = ms.valueOr(0);
    }
    if (vsp[i]->text().isEmpty()) {
        vsp[i]->setText(QStringLiteral("0"));
        setSliderValue(m, 0);
        vsp[i]->repaint();
        slrVsp[i]->repaint();
    }
    const double voltageFactor = scaling.VoltageScaleFactor;
    if (voltageFactor == 0 && !failure) {
        failure.reason = QStringLiteral("its module type has no voltage scale factor");
    }
    if (const std::optional<double> volts = field(vsp[i], QStringLiteral("Voltage Setpoint"))) {
        // A 0 V default is never written: the field reads 0 until a value is entered.
        plan.sendVoltage = std::abs(*volts) > 0.009;
        if (plan.sendVoltage) {
            plan.voltageCounts = counts(*volts, voltageFactor, QStringLiteral("Voltage Setpoint"));
        }
    }
    if (const std::optional<double> high = field(hl[i], QStringLiteral("Module Good High Limit"))) {
        plan.highCounts = counts(*high, voltageFactor, QStringLiteral("Module Good High Limit"));
    }
    if (const std::optional<double> low = field(ll[i], QStringLiteral("Module Good Low Limit"))) {
        plan.lowCounts = counts(*low, voltageFactor, QStringLiteral("Module Good Low Limit"));
    }
    plan.mode = optCurrentLimit[at(3 * m - 2)]->isChecked()   ? 0
                : optCurrentLimit[at(3 * m - 1)]->isChecked() ? 1
                : optCurrentLimit[at(3 * m)]->isChecked()     ? 2
                                                              : 3;
    if (plan.mode == 1 || plan.mode == 2) {
        if (CurrentLimit[i]->text().isEmpty()) {
            CurrentLimit[i]->setText(QStringLiteral("0"));
            setScrollValue(m, 0);
        }
        plan.currentFactor = scaling.CurrentScaleFactor;
        if (plan.currentFactor == 0 && !failure) {
            failure.reason = QStringLiteral("its module type has no current scale factor");
        }
        if (const std::optional<double> amps =
                field(CurrentLimit[i], QStringLiteral("Current Limit"))) {
            plan.limitAmps = *amps;
            plan.limitCounts = counts(*amps, plan.currentFactor, QStringLiteral("Current Limit"));
        }
        plan.enableReset = EnableReset[i]->isChecked() ? 1 : 0;
        plan.onTime = timeField(cboxActivationTime[i], QStringLiteral("Current Limit Delay"));
        if (plan.mode == 2) {
            plan.offTime = timeField(cboxResetTime[i], QStringLiteral("Reset Time"));
        }
    } else if (plan.mode == 3 && CurrentLimit[i]->text().isEmpty()) {
        CurrentLimit[i]->setText(QStringLiteral("0"));
        setScrollValue(m, 0);
        CurrentLimit[i]->repaint();
    }
    if (failure) {
        desktop().msgBox(QStringLiteral("Nothing was written to module %1: %2.")
                             .arg(QString::number(m), failure.reason),
                         vbInformation + vbOKOnly, FieldTitle);
        return;
    }

    // ---- The write.
    const std::string unit = unitArg();
    const std::int16_t module = static_cast<std::int16_t>(m);
    cmdApplyCLM[at(Index)]->setEnabled(false);
    G::WrittenToUnit = true;
    appendProgress(QStringLiteral("\r\nWriting into Kivo Eeprom......."));
    PellarosTx->setEnable(true);
    PellarosRx->setEnable(true);
    kivo::desktop::letEventsRun();
    PellarosTx->setBlinking(true);
    PellarosRx->setBlinking(true);
    kivo::desktop::letEventsRun();
    INI::SetBusyState(1, this);
    linkCall("OpenPort", G::DefaultComPort.toStdString());

    auto failed = [&](const char* step) {
        writeFailed(QString::fromLatin1(step));
        // The module's values are still pending: its Apply stays offered.
        cmdApplyCLM[at(Index)]->setEnabled(true);
    };
    if (readCompareWrite("GetProgrammingMode", "SetProgrammingMode", plan.programmingMode, unit,
                         module) != kOk) {
        return failed("Programming Mode");
    }
    if (readCompareWrite("GetDefaultOutputOnOffPolarity", "SetDefaultOutputOnOffPolarity",
                         plan.polarity, unit, module) != kOk) {
        return failed("Output On/Off Polarity");
    }
    if (readCompareWrite("GetDefaultOutputOnOffState", "SetDefaultOutputOnOffState",
                         plan.startupState, unit, module) != kOk) {
        return failed("Startup State");
    }
    if (readCompareWrite("GetOutputTurnONDelayExUShort", "SetOutputTurnONDelayExUShort",
                         plan.turnOnDelay, unit, module) != kOk) {
        return failed("Startup Delay");
    }
    if (plan.sendVoltage) {
        std::int16_t volts = plan.voltageCounts;
        if (linkCall("SetDefaultOutputVoltage", unit, module, byRef(volts)) != kOk) {
            return failed("Voltage Setpoint");
        }
    }
    if (readCompareWrite("GetModuleGoodHighThreshold", "SetModuleGoodHighThreshold",
                         plan.highCounts, unit, module) != kOk) {
        return failed("Module Good High Limit");
    }
    if (readCompareWrite("GetModuleGoodLowThreshold", "SetModuleGoodLowThreshold", plan.lowCounts,
                         unit, module) != kOk) {
        return failed("Module Good Low Limit");
    }

    auto setMode = [&](std::int16_t mode, std::int16_t enableReset) {
        return linkCall("SetCurrentLimitMode", unit, module, byRef(mode), byRef(enableReset));
    };
    auto modeUnlessHeld = [&](std::int16_t wanted) {
        std::int16_t mode = 0;
        std::int16_t enableReset = 0;
        QString status =
            linkCall("GetCurrentLimitMode", unit, module, byRef(mode), byRef(enableReset));
        if (mode != wanted) {
            status = setMode(wanted, 0);
        }
        return status;
    };
    auto limitValue = [&] {
        std::int16_t raw = 0;
        QString status = linkCall("GetCurrentLimit", unit, module, byRef(raw));
        if (std::abs(raw / plan.currentFactor - plan.limitAmps) > 0.001) {
            std::int16_t value = plan.limitCounts;
            status = linkCall("SetCurrentLimit", unit, module, byRef(value));
        }
        return status;
    };
    switch (plan.mode) {
    case 0:
        if (modeUnlessHeld(0) != kOk) {
            return failed("Current Limit Mode");
        }
        break;
    case 3:
        if (modeUnlessHeld(3) != kOk) {
            return failed("Current Limit Mode");
        }
        break;
    default:
        if (limitValue() != kOk) {
            return failed("Current Limit");
        }
        if (setMode(static_cast<std::int16_t>(plan.mode), plan.enableReset) != kOk) {
            return failed("Current Limit Mode");
        }
        if (readCompareWrite("GetCurrentLimitONTimeExUShort", "SetCurrentLimitONTimeExUShort",
                             plan.onTime, unit, module) != kOk) {
            return failed("Current Limit Delay");
        }
        if (plan.mode == 2 &&
            readCompareWrite("GetCurrentLimitOFFTimeExUShort", "SetCurrentLimitOFFTimeExUShort",
                             plan.offTime, unit, module) != kOk) {
            return failed("Reset Time");
        }
        break;
    }

    appendProgress(QStringLiteral("Ok"));
    kivo::desktop::letEventsRun();
    PellarosTx->setBlinking(false);
    PellarosRx->setBlinking(false);
    PellarosTx->setStatus(true);
    PellarosRx->setStatus(true);
    PellarosTx->setEnable(true);
    PellarosRx->setEnable(true);
    kivo::desktop::letEventsRun();
    linkCall("ClosePort");
    INI::SetBusyState(0);
    SelectButton->setFocus();
}

} // namespace KivoSoft
