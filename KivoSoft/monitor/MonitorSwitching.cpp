// The monitor window's switching (a module's output, all outputs, the global output and the
// group) and its set-point entry.
#include "KivoSoft/monitor/MonitorForm.h"

#include "KivoSoft/model/INI.h"
#include "KivoSoft/monitor/MonitorShared.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/let_events_run.h"

#include <memory>

namespace KivoSoft {

namespace G = KivoGlobals;
using kivo::automation::byRef;
using kivo::automation::Int16Array;
using namespace kivo::basic;
using namespace kivo::desktop;
using namespace monitor;

std::int16_t MonitorForm::setPointCounts(double volts, double factor)
{
    return CInt(volts * factor).value();
}

// ---- Switching
// -----------------------------------------------------------------------------------

void MonitorForm::PellarosOS_MouseClick(int slot)
{
    asDeviceAction(
        "PellarosOS", [this, slot] { switchModule(slot); },
        [this, slot] { PellarosOS[static_cast<std::size_t>(slot)]->setEnable(true); });
}

void MonitorForm::switchModule(int slot)
{
    const auto i = static_cast<std::size_t>(slot);
    PellarosOS[i]->setEnable(false);
    INI::SetBusyState(1, this);
    UnitList->setEnabled(false);
    cmdInc[i]->setEnabled(false);
    cmdDec[i]->setEnabled(false);
    cmdSetVoltage[i]->setEnabled(false);
    for (int k = 1; k <= 5; ++k) {
        cmdSetVoltage[static_cast<std::size_t>(k)]->setEnabled(false);
        PellarosOS[static_cast<std::size_t>(k)]->setEnable(false);
    }
    cmdComSettings->setEnabled(false);
    PellarosOutputOnOff->setEnable(false);
    for (QWidget* w : std::initializer_list<QWidget*>{cmdRefresh, cmdEeprom, cmdClose,
                                                      cmdSelectUnit, cmdErrorfile, Check1}) {
        w->setEnabled(false);
    }
    PellarosOS[i]->setStatus(!PellarosOS[i]->Status());
    if (G::SwitchEventsEnabled) {
        const std::string unit = m_unitId.toStdString();
        const std::int16_t module = static_cast<std::int16_t>(slot);
        openPort();
        const bool on = PellarosOS[i]->Status();
        if (!on) {
            PellarosMG[i]->setStatus(false);
            setMessage(slot, kModuleOff, Red);
        }
        const QString setResult =
            link("SetOutputState", unit, module, static_cast<std::int16_t>(on ? 1 : 0));
        if (!on) {
            txtSP[i]->setEnabled(false);
            cmdInc[i]->setEnabled(false);
            cmdDec[i]->setEnabled(false);
            cmdSetVoltage[i]->setEnabled(false);
        }
        G::Pause(0.1);
        std::int16_t current = 0;
        std::int16_t voltage = 0;
        const QString currentResult = link("MeasureOutputCurrent", unit, module, byRef(current));
        const QString voltageResult = link("MeasureOutputVoltage", unit, module, byRef(voltage));
        const clsScalability& scaling = readScaling(slot);
        if (scaling.VoltageScaleFactor == 0 || scaling.CurrentScaleFactor == 0) {
            // The switch went out; a module type without factors (the read logged it) only
            // leaves its meters without values, as the reads show it.
            PellarosDisplay[i]->TextValue(1, QString());
            PellarosDisplayCurr[i]->TextValue(1, QString());
        } else {
            showMeasurement(PellarosDisplay[i], voltageResult,
                            CStr(Round(voltage / scaling.VoltageScaleFactor, 2)));
            if (!PellarosOS[i]->Status()) {
                PellarosDisplayCurr[i]->TextValue(1, QStringLiteral("0"));
            } else {
                showMeasurement(PellarosDisplayCurr[i], currentResult,
                                CStr(Round(current / scaling.CurrentScaleFactor, 2)));
            }
        }
        if (setResult != kOk) {
            // The log keeps the name as users' logs have always spelled it.
            logModuleFailure("SetOuputState", slot, setResult);
        }
        const bool measured = measuredBoth(slot, currentResult, voltageResult);
        // One text for any failure of the sequence, as users know it.
        if (setResult != kOk || !measured) {
            desktop().msgBox(PortFailureText, vbCritical + vbOKOnly,
                             QStringLiteral("Kivo Monitor"));
            closePort();
            kivo::desktop::letEventsRun();
        }
        closePort();
        refreshHoldingLink();
        if (setResult != kOk) {
            setReady(ErrorText);
        }
    }
    UnitList->setEnabled(true);
    PellarosOutputOnOff->setEnable(true);
    PellarosGroupOnOff->setEnable(true);
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmdSelectUnit, cmdErrorfile, cmdClose, cmdRefresh,
                                         cmdEeprom, cmdClear, Check1, cmdComSettings}) {
        w->setEnabled(true);
    }
    // The file name stays locked while autosave writes to it.
    txtFileName->setEnabled(!Check2->isChecked());
    INI::SetBusyState(0);
    PellarosOS[i]->setEnable(true);
}

bool MonitorForm::measuredBoth(int slot, const QString& current, const QString& voltage)
{
    if (current != kOk) {
        logModuleFailure("MeasureOutputCurrent", slot, current);
    }
    if (voltage != kOk) {
        logModuleFailure("MeasureOutputVoltage", slot, voltage);
    }
    return current == kOk && voltage == kOk;
}

void MonitorForm::logModuleFailure(const char* operation, int slot, const QString& status)
{
    const QString name = QString::fromLatin1(operation);
    G::LogError(
        QStringLiteral("Error in %1 in Unit  %2 and Module %3").arg(name, m_unitId).arg(slot));
    G::LastErrorText = QStringLiteral("Error in %1 in Unit %2 and Module %3 %4")
                           .arg(name, m_unitId)
                           .arg(slot)
                           .arg(status);
}

void MonitorForm::PellarosOutputOnOff_MouseClick()
{
    asDeviceAction(
        "PellarosOutputOnOff", [this] { switchAllOutputs(); },
        [this] { PellarosOutputOnOff->setEnable(true); });
}

void MonitorForm::switchAllOutputs()
{
    PellarosOutputOnOff->setEnable(false);
    INI::SetBusyState(1, this);
    progressbar1->show();
    progressbar1->setValue(2);
    PellarosOutputOnOff->setStatus(!PellarosOutputOnOff->Status());
    const bool on = PellarosOutputOnOff->Status();
    if (!on) {
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            setBlank(k);
            VLH[i]->setText(QStringLiteral("-"));
            VLL[i]->setText(QStringLiteral("-"));
            CL[i]->setText(QStringLiteral("-"));
        }
    }
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        cmdInc[i]->setEnabled(false);
        cmdDec[i]->setEnabled(false);
        PellarosOS[i]->setEnable(false);
        cmdSetVoltage[i]->setEnabled(false);
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{UnitList, cmdComSettings, cmdRefresh, cmdEeprom, cmdClose,
                                         cmdSelectUnit, cmdErrorfile, Check1}) {
        w->setEnabled(false);
    }
    if (G::SwitchEventsEnabled) {
        progressbar1->setValue(4);
        G::ErrorFlag = false;
        CurrentUnit = std::make_shared<KivoData>();
        openPort();
        CurrentUnit->SetGlobalOutputState(CInt(m_unitId).value(), on ? 1 : 0);
        closePort();
        progressbar1->setValue(6);
        G::Pause(0.1);
        progressbar1->setValue(8);
        G::Pause(0.1);
        progressbar1->setValue(9);
        G::Pause(0.1);
        if (G::ErrorFlag) {
            PellarosErrorPicture->setStatus(false);
            cmdSelectUnit->setEnabled(true);
            INI::SetBusyState(0);
            desktop().msgBox(QStringLiteral("ERROR ! PLEASE CHECK ") + G::ErrorLogPath +
                                 QStringLiteral(" FOR DETAILS"),
                             vbOKOnly, G::ProgramTitle);
            // The window stays usable rather than wait for a selection with every command
            // locked; a selection or a refresh shows what the unit did.
            PellarosOutputOnOff->setEnable(true);
            enableInteractiveCommands();
            Check1->setEnabled(G::UnitSelected);
            progressbar1->setValue(0);
            progressbar1->hide();
            setReady(ErrorText);
            return;
        }
        progressbar1->show();
        progressbar1->setValue(10);
        setReady(PleaseWait);
        G::Pause(0.1);
        progressbar1->setValue(15);
        G::Pause(0.1);
        if (txtSP[1]->text() == QStringLiteral("0")) {
            selectHoldingLink();
            return;
        }
        for (int value : {20, 24, 31, 33, 40, 45}) {
            progressbar1->setValue(value);
            G::Pause(0.1);
        }
        refreshHoldingLink();
        progressbar1->show();
        if (!on) {
            for (int k = 1; k <= 5; ++k) {
                txtSP[static_cast<std::size_t>(k)]->setText(QStringLiteral("0"));
            }
        }
    }
    progressbar1->show();
    progressbar1->setValue(88);
    if (on) {
        for (QWidget* w :
             std::initializer_list<QWidget*>{UnitList, cmdRefresh, cmdEeprom, cmdClose,
                                             cmdSelectUnit, cmdErrorfile, Check1, cmdComSettings}) {
            w->setEnabled(true);
        }
    } else {
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            cmdInc[i]->setEnabled(false);
            cmdDec[i]->setEnabled(false);
            txtSP[i]->setEnabled(false);
            cmdSetVoltage[i]->setEnabled(false);
            PellarosOS[i]->setEnable(false);
        }
        for (QWidget* w : std::initializer_list<QWidget*>{cmdRefresh, cmdEeprom, cmdClose,
                                                          cmdErrorfile, Check1}) {
            w->setEnabled(false);
        }
        cmdSelectUnit->setEnabled(true);
        PellarosGlobalDC->setStatus(false);
    }
    progressbar1->setValue(90);
    updateErrorPicture();
    for (int k = 1; k <= 5; ++k) {
        if (digit(m_readPresence, k) == QStringLiteral("0")) {
            setMessage(k, kNotPresent, Black);
        }
    }
    PellarosOutputOnOff->setEnable(true);
    progressbar1->setValue(0);
    progressbar1->hide();
    cmdClose->setEnabled(true);
    INI::SetBusyState(0);
    cmdEeprom->setEnabled(true);
    ArmRecheckTimers = false;
}

void MonitorForm::GOutputBtn_Click()
{
    unitButton(GOutputBtn, true);
}

void MonitorForm::GroupBtn_Click()
{
    unitButton(GroupBtn, false);
}

void MonitorForm::unitButton(QPushButton* button, bool globalOutput)
{
    if (!UnitChosen) {
        desktop().msgBox(QStringLiteral("Please Select Unit First"), vbOKOnly, G::ProgramTitle);
        return;
    }
    LinkInUse guard(globalOutput ? QStringLiteral("MonitorForm.GOutputBtn")
                                 : QStringLiteral("MonitorForm.GroupBtn"));
    if (!guard) {
        return;
    }
    try {
        G::ErrorFlag = false;
        CurrentUnit = std::make_shared<KivoData>();
        // The first click after the window was created sends 0: the design caption "Off" is
        // not "OFF", and users know the button by that.
        const bool sendOff = button->text() != QStringLiteral("OFF");
        const std::int16_t state = sendOff ? 0 : 1;
        const std::int16_t unit = CInt(m_unitId).value();
        openPort();
        if (globalOutput) {
            CurrentUnit->SetGlobalOutputState(unit, state);
        } else {
            CurrentUnit->SetGroupState(unit, state);
        }
        closePort();
        if (!G::ErrorFlag) {
            button->setText(sendOff ? QStringLiteral("OFF") : QStringLiteral("ON"));
            nameUnitButtons();
        }
        button->repaint();
        if (G::ErrorFlag) {
            PellarosErrorPicture->setStatus(false);
            desktop().msgBox(QStringLiteral("ERROR ! PLEASE CHECK ") + G::ErrorLogPath +
                                 QStringLiteral(" FOR DETAILS"),
                             vbOKOnly, G::ProgramTitle);
        }
    } catch (const std::exception& failure) {
        recover(globalOutput ? "GOutputBtn" : "GroupBtn", QString::fromStdString(failure.what()));
    }
}

// ---- Set points
// ----------------------------------------------------------------------------------

void MonitorForm::cmdInc_Click(int slot)
{
    stepSetPoint(slot, true);
}

void MonitorForm::cmdDec_Click(int slot)
{
    stepSetPoint(slot, false);
}

void MonitorForm::stepSetPoint(int slot, bool up)
{
    if (LinkInUse::taken()) {
        return; // the apply it may lead to could not reach the port
    }
    try {
        const auto i = static_cast<std::size_t>(slot);
        const clsScalability& scaling = readScaling(slot);
        const double step =
            CDbl(QStringLiteral("0") + G::DecimalSeparator + QStringLiteral("01")).valueOr(0.01);
        if (!IsNumeric(txtSP[i]->text())) {
            desktop().msgBox(QStringLiteral("Invalid Value!, Should be between ") +
                                 CStr(scaling.MinVoltage) + QStringLiteral(" and ") +
                                 CStr(scaling.MaxVoltage),
                             vbInformation + vbOKOnly, kDravon);
            return;
        }
        const double now = CDbl(txtSP[i]->text()).value();
        txtSP[i]->setText(KivoData::FormatDecimals(CStr(up ? now + step : now - step)));
        const double v = CDbl(txtSP[i]->text()).value();
        if (scaling.MinVoltage <= v && v <= scaling.MaxVoltage) {
            cmdSetVoltage_Click(slot);
            return;
        }
        G::SliderDragging = false;
        if (v > scaling.MaxVoltage) {
            if (up) {
                txtSP[i]->setText(KivoData::FormatDecimals(CStr(v - step)));
            } else {
                txtSP[i]->setText(KivoData::FormatDecimals(CStr(scaling.MaxVoltage)));
                cmdSetVoltage_Click(slot);
            }
        } else {
            if (up) {
                txtSP[i]->setText(KivoData::FormatDecimals(CStr(scaling.MinVoltage)));
                cmdSetVoltage_Click(slot);
            } else {
                txtSP[i]->setText(KivoData::FormatDecimals(CStr(v + step)));
            }
        }
        G::SliderDragging = true;
    } catch (const std::exception& failure) {
        recover(up ? "cmdInc" : "cmdDec", QString::fromStdString(failure.what()));
    }
}

void MonitorForm::cmdSetVoltage_Click(int slot)
{
    asDeviceAction(
        "cmdSetVoltage", [this, slot] { applySetPoint(slot); },
        [this] {
            for (int k = 1; k <= 5; ++k) {
                PellarosOS[static_cast<std::size_t>(k)]->setEnable(!inMonitorMode());
            }
        });
}

void MonitorForm::enableSetPointControls()
{
    // The set-point controls of the slots whose output is on as the panels show it, and every
    // switch; the program-wide output states may hold another window's read of another unit.
    for (int k = 1; k <= 5; ++k) {
        const auto j = static_cast<std::size_t>(k);
        if (PellarosOS[j]->Status()) {
            cmdSetVoltage[j]->setEnabled(true);
            cmdInc[j]->setEnabled(true);
            cmdDec[j]->setEnabled(true);
        }
        PellarosOS[j]->setEnable(true);
    }
}

void MonitorForm::applySetPoint(int slot)
{
    const auto i = static_cast<std::size_t>(slot);
    INI::SetBusyState(1, this);
    for (int k = 1; k <= 5; ++k) {
        const auto j = static_cast<std::size_t>(k);
        cmdSetVoltage[j]->setEnabled(false);
        PellarosOS[j]->setEnable(false);
        cmdInc[j]->setEnabled(false);
        cmdDec[j]->setEnabled(false);
    }
    openPort();
    const clsScalability& scaling = readScaling(slot);
    const double v = CDbl(txtSP[i]->text()).value();
    bool outOfRange = false;
    if (v < scaling.MinVoltage || v > scaling.MaxVoltage) {
        closePort();
        desktop().msgBox(CStr(v) +
                             QStringLiteral(" is Invalid Voltage Setpoint Value!, Should be "
                                            "between ") +
                             CStr(scaling.MinVoltage) + QStringLiteral(" and ") +
                             CStr(scaling.MaxVoltage),
                         vbInformation + vbOKOnly, kDravon);
        txtSP[i]->setEnabled(true);
        outOfRange = true;
    } else {
        kivo::desktop::letEventsRun();
        kivo::desktop::letEventsRun();
        if (scaling.VoltageScaleFactor == 0 || scaling.CurrentScaleFactor == 0) {
            // Nothing is sent: 0 counts would set the output to 0 V.
            throw RunTimeFailure("Division by zero");
        }
        std::int16_t counts = setPointCounts(v, scaling.VoltageScaleFactor);
        const std::string unit = m_unitId.toStdString();
        const std::int16_t module = static_cast<std::int16_t>(slot);
        const QString setResult = link("SetOutputVoltageSetpoint", unit, module, byRef(counts));
        std::int16_t current = 0;
        std::int16_t voltage = 0;
        const QString currentResult = link("MeasureOutputCurrent", unit, module, byRef(current));
        const QString voltageResult = link("MeasureOutputVoltage", unit, module, byRef(voltage));
        showMeasurement(
            PellarosDisplay[i], voltageResult,
            KivoData::FormatDecimals(CStr(Round(voltage / scaling.VoltageScaleFactor, 2))));
        showMeasurement(
            PellarosDisplayCurr[i], currentResult,
            KivoData::FormatDecimals(CStr(Round(current / scaling.CurrentScaleFactor, 2))));
        if (setResult != kOk) {
            logModuleFailure("SetOutputVoltageSetpoint", slot, setResult);
        }
        const bool measured = measuredBoth(slot, currentResult, voltageResult);
        if (setResult != kOk || !measured) {
            desktop().msgBox(PortFailureText, vbCritical + vbOKOnly,
                             QStringLiteral("Kivo Monitor"));
            kivo::desktop::letEventsRun();
        }
        kivo::desktop::letEventsRun();
        kivo::desktop::letEventsRun();
        Int16Array a(1, 8);
        const QString statesResult = link("GetOutputState", unit, byRef(a));
        G::OutputStates = bitString(a, 5);
        const bool goodRead = readModuleGood();
        closePort();
        const bool statesRead = statesResult == kOk && goodRead;
        if (statesRead) {
            PellarosGlobalDC->setStatus(true);
            // Modules off by the unit's inhibit as the window's last complete read found them;
            // a read that failed before the modules, or a read of another window, says nothing
            // of this unit's modules.
            if (!m_modulesAnswered) {
                G::OutputStates = QStringLiteral("00000000");
            }
            panelPass(true);
            updateErrorPicture();
        } else {
            G::LogError(QStringLiteral("Error in GetOutputState for Unit ") + m_unitId);
        }
        progressbar1->setValue(90);
        setReady(PleaseWait);
        // Only a set point the unit took is the one last applied.
        if (setResult == kOk) {
            for (int k = 1; k <= 5; ++k) {
                const auto j = static_cast<std::size_t>(k);
                LastSetPoint[j] = CDbl(txtSP[j]->text()).value();
            }
        }
        INI::SetBusyState(0);
        enableSetPointControls();
        if (cmdSetVoltage[i]->isEnabled()) {
            cmdSetVoltage[i]->setFocus();
        }
        setReady(setResult == kOk && measured && statesRead ? ReadyText : ErrorText);
        return;
    }
    // The common end after an out-of-range value.
    INI::SetBusyState(0);
    enableSetPointControls();
    setReady(ReadyText);
    if (outOfRange) {
        txtSP[i]->setFocus();
        txtSP[i]->setSelection(0, static_cast<int>(txtSP[i]->text().size()));
    }
}

void MonitorForm::txtSP_KeyPress(int slot, std::int16_t& keyAscii)
{
    static_cast<void>(slot);
    G::NumericKeyFilter(keyAscii);
}

void MonitorForm::txtSP_KeyDown(int slot, int keyCode, int shift)
{
    static_cast<void>(shift);
    if (keyCode != 13) {
        return;
    }
    QLineEdit* box = txtSP.at(static_cast<std::size_t>(slot));
    box->setText(KivoData::FormatDecimals(box->text()));
    cmdSetVoltage_Click(slot);
}

void MonitorForm::txtSP_LostFocus(int slot)
{
    const auto i = static_cast<std::size_t>(slot);
    const std::initializer_list<QWidget*> commands{cmdRefresh, Check1, cmdSelectUnit, cmdClose,
                                                   cmdHelp};
    // What a handler that has the port disabled stays as that handler leaves it.
    if (LinkInUse::taken()) {
        return;
    }
    for (QWidget* w : commands) {
        w->setEnabled(false);
    }
    if (!IsNumeric(txtSP[i]->text())) {
        desktop().msgBox(QStringLiteral("Please enter numeric value."), vbInformation + vbOKOnly,
                         kDravon);
        txtSP[i]->setFocus();
    } else {
        txtSP[i]->setText(KivoData::FormatDecimals(txtSP[i]->text()));
        if (CDbl(txtSP[i]->text()).value() != LastSetPoint[i]) {
            cmdSetVoltage_Click(slot);
        }
    }
    for (QWidget* w : commands) {
        w->setEnabled(true);
    }
}
} // namespace KivoSoft
