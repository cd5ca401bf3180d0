// The monitor window's reads: the selection, the refresh, the panels filled from a read, the
// module recheck timers and the module-good byte.
#include "KivoSoft/monitor/MonitorForm.h"

#include "KivoSoft/controls/Twips.h"
#include "KivoSoft/model/INI.h"
#include "KivoSoft/monitor/MonitorShared.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/let_events_run.h"

#include <QScopedValueRollback>

#include <memory>

namespace KivoSoft {

namespace G = KivoGlobals;
using kivo::automation::byRef;
using kivo::automation::Int16Array;
using namespace kivo::basic;
using namespace kivo::desktop;
using namespace monitor;

std::optional<bool> MonitorForm::limitTest(const QString& lo, const QString& hi, const QString& v)
{
    const Result<double> low = CDbl(lo);
    const Result<double> high = CDbl(hi);
    if (!low || !high) {
        return std::nullopt;
    }
    if (low.value() == 0 && high.value() == 0) {
        return true;
    }
    const Result<double> value = CDbl(v);
    return value && low.value() <= value.value() && value.value() <= high.value();
}

QString MonitorForm::hoursText(std::int64_t hours)
{
    if (hours == 0) {
        return QStringLiteral("0");
    }
    const QString digits = QString::number(hours < 0 ? -hours : hours);
    const QString group = userLocale().groupSeparator();
    QString text;
    for (qsizetype n = 0; n < digits.size(); ++n) {
        if (n > 0 && (digits.size() - n) % 3 == 0) {
            text += group;
        }
        text += digits[n];
    }
    return hours < 0 ? u'-' + text : text;
}

// ---- Unit selection
// ------------------------------------------------------------------------------

void MonitorForm::cmdSelectUnit_Click()
{
    if (Trim(UnitList->currentText()).isEmpty()) {
        desktop().msgBox(QStringLiteral("Please select a valid unit."), vbInformation + vbOKOnly,
                         kDravon);
        UnitList->setFocus();
        return;
    }
    asDeviceAction(
        "cmdSelectUnit", [this] { selectHoldingLink(); }, [this] { ArmRecheckTimers = false; });
}

void MonitorForm::selectHoldingLink()
{
    // The window keeps the ID chosen here for every later call, whatever else writes the
    // global one.
    m_unitId = Trim(UnitList->currentText());
    const QString unit = m_unitId;
    INI::SetBusyState(1, this);
    ArmRecheckTimers = true;
    // Timers armed by an earlier selection would refresh in the middle of this read.
    for (int k = 1; k <= 5; ++k) {
        tmrMod[static_cast<std::size_t>(k)]->stop();
    }
    cmdHelp->hide();
    UnitList->setEnabled(false);
    cmdSelectUnit->setEnabled(false);
    PellarosOutputOnOff->setEnable(false);
    for (QWidget* w : std::initializer_list<QWidget*>{Check1, cmdEeprom, cmdRefresh, cmdClose}) {
        w->setEnabled(false);
    }
    G::UnitSelected = false;
    cmdErrorfile->hide();
    Label3D3->setCaption(QStringLiteral("Reading from Unit Id: ") + unit +
                         QStringLiteral(" . . ."));
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        setBlank(k);
        disableSlotCommands(k);
        VLH[i]->setText(QStringLiteral("-"));
        VLL[i]->setText(QStringLiteral("-"));
        CL[i]->setText(QStringLiteral("-"));
    }
    G::SelectedUnitId = unit;
    G::UnitSelected = true;
    applySize(FullWidthTwips, FullHeightTwips);
    cmdModuleNumering->show();
    progressbar1->show();
    progressbar1->setValue(2);
    lblReady->show();
    setReady(PleaseWait);
    for (int k = 1; k <= 5; ++k) {
        setMessage(k, kModuleOff, Red);
        PellarosMG[static_cast<std::size_t>(k)]->setStatus(false);
    }
    G::SwitchEventsEnabled = false;
    UnitChosen = true;

    const bool read = LoadMonitorData();

    if (!read || G::ErrorFlag) {
        G::UnitSelected = false;
        // The unit did not answer: back to the selection area alone.
        Form_Resize();
        Label3D3->setCaption(kSelectPrompt);
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            disableSlotCommands(k);
            VLH[i]->setText(QStringLiteral("-"));
            VLL[i]->setText(QStringLiteral("-"));
            CL[i]->setText(QStringLiteral("-"));
        }
        cmdComSettings->setEnabled(false);
        PellarosOutputOnOff->setEnable(false);
        cmdRefresh->setEnabled(false);
        cmdClear->setEnabled(false);
        txtFileName->setEnabled(false);
        PellarosOutputOnOff->setStatus(false);
        Check1->setEnabled(false);
        setReady(ErrorText);
        progressbar1->hide();
        cmdErrorfile->show();
        cmdErrorfile->setEnabled(true);
        cmdClose->setEnabled(true);
        UnitList->setEnabled(true);
    } else {
        if (G::ModuleTypeRead) {
            Label3D3->setCaption(QStringLiteral("Power supply Id: ") + unit);
        } else {
            const QString off =
                QStringLiteral("Kivo unit Id: ") + unit + QStringLiteral(", Modules OFF");
            Label3D3->setCaption(off);
            setReady(off);
            progressbar1->setValue(0);
            progressbar1->hide();
            PellarosGlobalDC->setStatus(false);
            PellarosErrorPicture->setStatus(false);
        }
        G::SwitchEventsEnabled = true;
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            if (PellarosOS[i]->Status()) {
                const std::optional<bool> good =
                    limitTest(VLL[i]->text(), VLH[i]->text(), PellarosDisplay[i]->strValue());
                if (good == true) {
                    setMessage(k, kModuleGood, Green);
                    PellarosMG[i]->setStatus(true);
                } else if (good == false) {
                    setMessage(k, QStringLiteral("Out of Limits Volt."), Red);
                    PellarosMG[i]->setStatus(false);
                }
            } else {
                txtSP[i]->setEnabled(false);
                PellarosMG[i]->setStatus(false);
                setMessage(k, kModuleOff, Red);
                PellarosDisplay[i]->TextValue(1, QStringLiteral("0"));
                PellarosDisplayCurr[i]->TextValue(1, QStringLiteral("0"));
            }
        }
        if (G::ModuleTypeRead) {
            refreshHoldingLink();
            PellarosOutputOnOff->setEnable(true);
            PellarosOutputOnOff->setStatus(true);
            // A unit read in full offers the log commands again, also after a failed selection
            // had locked them.
            cmdClear->setEnabled(!Check1->isChecked());
            txtFileName->setEnabled(!Check1->isChecked() && !Check2->isChecked());
        } else {
            setReady(QStringLiteral("M o d u l e s   O F F"));
            for (int k = 1; k <= 5; ++k) {
                const auto i = static_cast<std::size_t>(k);
                PellarosDisplay[i]->TextValue(1, QStringLiteral("0"));
                PellarosDisplayCurr[i]->TextValue(1, QStringLiteral("0"));
                disableSlotCommands(k);
                VLH[i]->setText(QStringLiteral("-"));
                VLL[i]->setText(QStringLiteral("-"));
                CL[i]->setText(QStringLiteral("-"));
            }
            for (QWidget* w :
                 std::initializer_list<QWidget*>{cmdComSettings, cmdRefresh, cmdEeprom, cmdClear}) {
                w->setEnabled(false);
            }
            PellarosFanFail->setStatus(true);
            PellarosOutputOnOff->setStatus(false);
            PellarosOutputOnOff->setEnable(true);
            Check1->setEnabled(false);
            setReady(QStringLiteral("P/S Id: ") + unit + QStringLiteral(", Modules OFF"));
            progressbar1->hide();
        }
    }
    INI::SetBusyState(0);
    setWindowTitle(InteractiveCaption);
    cmdSelectUnit->setEnabled(true);
    cmdEeprom->setEnabled(true);
    cmdClose->setEnabled(true);
    for (int k = 1; k <= 5; ++k) {
        LastSetPoint[static_cast<std::size_t>(k)] =
            CDbl(txtSP[static_cast<std::size_t>(k)]->text()).valueOr(0);
    }
    ArmRecheckTimers = false;
}

// ---- The data read into the panels
// ---------------------------------------------------------------

bool MonitorForm::LoadMonitorData()
{
    G::ErrorFlag = false;
    CurrentUnit = std::make_shared<KivoData>();
    progressbar1->setValue(3);
    setReady(PleaseWait);
    CurrentUnit->ReadKivoMonitor(m_unitId);
    progressbar1->setValue(6);
    setReady(PleaseWait);
    if (G::ErrorFlag) {
        PellarosErrorPicture->setStatus(false);
        // This read's own failure: the no-response text when the unit did not answer, the
        // failure's text otherwise, never one left from an earlier read.
        const QString reason = !G::NoResponseText.isEmpty() ? G::NoResponseText : G::LastErrorText;
        desktop().msgBox(reason + QStringLiteral(" for details check file ") + G::ErrorLogPath,
                         vbOKOnly, G::ProgramTitle);
        cmdErrorfile->show();
        return false;
    }
    m_modulesAnswered = G::ModuleTypeRead;
    m_readPresence = CurrentUnit->PresentModule;
    ReadScaling = G::fittedScaling(m_readPresence);
    loadMonitorPanels(*CurrentUnit);
    return true;
}

void MonitorForm::loadMonitorPanels(const KivoData& unit)
{
    // The over-temperature lamp only ever turns off here; a load of the window turns it on
    // again, so a passing over-temperature stays visible until then.
    if (!unit.OverTemp) {
        PellarosOverTemp->setStatus(false);
    }
    // The fan lamp is the AND of the two flags, as the unit reports a fan that stopped on
    // either of them.
    PellarosFanFail->setStatus(unit.FanWarning && unit.FanFail);
    PellarosACFail->setStatus(unit.ACFail);

    if (unit.OperatingHours.isEmpty()) {
        OH->setText(unit.OperatingHours);
    } else {
        std::int64_t hours = CLng(unit.OperatingHours).value();
        if (hours < 0) {
            hours += 65536;
        }
        OH->setText(hoursText(hours));
    }

    if (!G::LoggingInProgress) {
        for (int k = 1; k <= 5; ++k) {
            PellarosOS[static_cast<std::size_t>(k)]->setStatus(false);
            PellarosOS[static_cast<std::size_t>(k)]->setEnable(false);
        }
        if (!G::ModuleTypeRead) {
            return;
        }
        progressbar1->setValue(8);
        setReady(PleaseWait);
        for (int k = 1; k <= 5; ++k) {
            GID[static_cast<std::size_t>(k)]->setText(QString::number(unit.GID[k]));
        }
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            if (digit(unit.PresentModule, k) != QStringLiteral("1")) {
                PellarosOS[i]->setEnable(false);
                cmdDec[i]->setEnabled(false);
                cmdInc[i]->setEnabled(false);
                cmdSetVoltage[i]->setEnabled(false);
                Module[i]->setStyle(static_cast<uint>(G::SysColorDesktop.toLongLong()), 5, 1);
                Module[i]->Refresh();
                continue;
            }
            Module[i]->setStyle(static_cast<uint>(G::SysColorWindowText.toLongLong()), 1, 4);
            Module[i]->Refresh();
            PellarosMG[i]->setStatus(true);
            if (digit(unit.outputstate, k) == QStringLiteral("1")) {
                PellarosOS[i]->setStatus(true);
                setMessage(k, kModuleGood, Green);
            } else {
                PellarosOS[i]->setStatus(false);
                setMessage(k, kModuleOff, Red);
            }
            const double factor = readScaling(k).VoltageScaleFactor;
            if (factor == 0) {
                // No scaling record for this type: no limits to show or test against. The read
                // has named the type in the error log.
                VLH[i]->setText(QString());
                VLL[i]->setText(QString());
            } else {
                VLH[i]->setText(CStr(Round(CDbl(unit.VHL[k]).value() / factor, 2)));
                VLL[i]->setText(CStr(Round(CDbl(unit.VLL[k]).value() / factor, 2)));
            }
            const Result<double> limit = CDbl(unit.CL[k]);
            CL[i]->setText(QStringLiteral("Current Limit = ") +
                           (limit ? CStr(Round(limit.value(), 2)) : QString()));
            RV[i]->setText(INI::GetVoltageRange(unit.ModuleType[k]));
            RC[i]->setText(INI::GetMaxCurrent(unit.ModuleType[k]));
            const Result<double> setPoint = CDbl(unit.VSP[k]);
            if (setPoint) {
                txtSP[i]->setText(KivoData::FormatDecimals(CStr(Round(setPoint.value(), 2))));
            }
            PellarosOS[i]->setEnable(true);
            const QString group = QString::number(unit.GID[k]);
            if (unit.MasterGroup1 == k || unit.MasterGroup2 == k) {
                GID[i]->setText(QStringLiteral("M[") + group + u']');
            }
            if (unit.SlaveGroup1 == k || unit.SlaveGroup2 == k) {
                GID[i]->setText(QStringLiteral("S[") + group + u']');
                PellarosOS[i]->setEnable(false);
                setMessage(k, kModuleOff, Red);
            }
            PellarosDisplayCurr[i]->TextValue(1, unit.MCUR[k]);
            PellarosDisplay[i]->TextValue(1, unit.MV[k]);
        }
    }

    if (G::ModuleTypeRead) {
        G::OutputStates = G::ModulePresence[1] + G::ModulePresence[2] + G::ModulePresence[3] +
                          G::ModulePresence[4] + G::ModulePresence[5] + QStringLiteral("000");
    } else {
        G::OutputStates = QStringLiteral("00000000");
        // The modules did not answer, so this read measured none of them: no meter may go on
        // showing an earlier reading as this one's.
        for (int k = 1; k <= 5; ++k) {
            if (digit(unit.PresentModule, k) == QStringLiteral("1")) {
                PellarosDisplay[static_cast<std::size_t>(k)]->TextValue(1, QString());
                PellarosDisplayCurr[static_cast<std::size_t>(k)]->TextValue(1, QString());
            }
        }
    }
    for (int k = 1; k <= 5; ++k) {
        if (!unit.MV[k].isEmpty() && digit(G::OutputStates, k) == QStringLiteral("1")) {
            PellarosDisplay[static_cast<std::size_t>(k)]->TextValue(1, unit.MV[k]);
        }
    }
    for (int k = 1; k <= 5; ++k) {
        if (!unit.MCUR[k].isEmpty() && digit(G::OutputStates, k) == QStringLiteral("1")) {
            PellarosDisplayCurr[static_cast<std::size_t>(k)]->TextValue(1, unit.MCUR[k]);
        }
    }
    progressbar1->setValue(35);
    setReady(PleaseWait);
}

// ---- Refresh
// -------------------------------------------------------------------------------------

void MonitorForm::cmdRefresh_Click()
{
    LinkInUse guard(QStringLiteral("MonitorForm.cmdRefresh"));
    if (!guard) {
        return;
    }
    refreshHoldingLink();
}

void MonitorForm::refreshHoldingLink()
{
    if (m_unitId.isEmpty()) {
        return; // no unit selected yet: nothing to read, so nothing failed
    }
    // In monitor mode the window's commands are locked already; a timed read leaves the window
    // and the mode's check box usable, so that the mode can be ended at any moment.
    const bool modeStaysUsable = m_timedRead && inMonitorMode();
    try {
        if (!modeStaysUsable) {
            INI::SetBusyState(1, this);
        }
        Busy = true;
        m_refreshFailed = false;
        cmdRefresh->setEnabled(false);
        cmdEeprom->setEnabled(false);
        progressbar1->show();
        progressbar1->repaint();
        setProgress(50);
        if (!modeStaysUsable) {
            Check1->setEnabled(false);
        }
        UnitList->setEnabled(false);
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            cmdSetVoltage[i]->setEnabled(false);
            cmdInc[i]->setEnabled(false);
            cmdDec[i]->setEnabled(false);
            PellarosOS[i]->setEnable(false);
        }
        setProgress(55);
        cmdComSettings->setEnabled(false);
        PellarosOutputOnOff->setEnable(false);
        cmdClose->setEnabled(false);
        cmdSelectUnit->setEnabled(false);
        cmdErrorfile->setEnabled(false);
        G::LoggingInProgress = true;
        G::SwitchEventsEnabled = false;
        setProgress(60);
        RefreshScreen();
        setProgress(80);
        G::SwitchEventsEnabled = true;
        G::LoggingInProgress = false;

        bool complete = m_readOk;
        if (complete) {
            Int16Array a(1, 8);
            openPort();
            kivo::desktop::letEventsRun();
            const QString result = link("GetOutputState", m_unitId.toStdString(), byRef(a));
            kivo::desktop::letEventsRun();
            closePort();
            kivo::desktop::letEventsRun();
            if (result == kOk) {
                G::OutputStates = bitString(a, 5) + QStringLiteral("000");
            } else {
                // A failed read is no state of the unit: the panels keep what they show.
                G::LogError(QStringLiteral("Error in GetOutputState for Unit ") + m_unitId);
                G::LastErrorText =
                    QStringLiteral("Error in GetOutputState for Unit ") + m_unitId + u' ' + result;
                complete = false;
            }
        }
        if (complete) {
            PellarosGlobalDC->setStatus(true);
            if (!m_modulesAnswered) {
                G::OutputStates = QStringLiteral("00000000");
            }
            panelPass(false);
            if (ArmRecheckTimers) {
                readDelaysAndArmTimers();
            } else if (!readOperatingHours()) {
                complete = false;
            }
            updateErrorPicture();
        } else {
            PellarosErrorPicture->setStatus(false);
        }
        setProgress(90);
        if (!inMonitorMode()) {
            enableInteractiveCommands();
            cmdRefresh->setEnabled(true);
        }
        progressbar1->setValue(0);
        m_refreshFailed = !complete;
        if (complete) {
            setReady(ReadyText);
        } else {
            cmdErrorfile->show();
            setReady(ErrorText);
        }
        progressbar1->hide();
        Check1->setEnabled(true);
        Busy = false;
        if (!modeStaysUsable) {
            INI::SetBusyState(0);
        }
    } catch (const std::exception& failure) {
        m_refreshFailed = true;
        recover("cmdRefresh", QString::fromStdString(failure.what()));
    }
}

void MonitorForm::panelPass(bool metersZeroWhenOff)
{
    const bool interactive = !inMonitorMode();
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (digit(m_readPresence, k) == QStringLiteral("0")) {
            PellarosOS[i]->setStatus(false);
            PellarosOS[i]->setEnable(false);
            setMessage(k, kNotPresent, Black);
            PellarosMG[i]->setStatus(false);
            txtSP[i]->setEnabled(false);
            cmdInc[i]->setEnabled(false);
            cmdDec[i]->setEnabled(false);
            kivo::desktop::letEventsRun();
            continue;
        }
        if (digit(G::OutputStates, k) == QStringLiteral("0")) {
            if (interactive) {
                PellarosOS[i]->setEnable(true);
            }
            PellarosOS[i]->setStatus(false);
            cmdSetVoltage[i]->setEnabled(false);
            txtSP[i]->setEnabled(false);
            cmdInc[i]->setEnabled(false);
            cmdDec[i]->setEnabled(false);
            setMessage(k, kModuleOff, Red);
            PellarosMG[i]->setStatus(false);
            PellarosGlobalDC->setStatus(false);
            PellarosErrorPicture->setStatus(false);
            if (metersZeroWhenOff) {
                PellarosDisplay[i]->TextValue(1, QStringLiteral("0"));
                PellarosDisplayCurr[i]->TextValue(1, QStringLiteral("0"));
            }
            continue;
        }
        PellarosOS[i]->setStatus(true);
        // In monitor mode the set-point controls stay as monitor mode locked them.
        if (interactive) {
            PellarosOS[i]->setEnable(true);
            cmdSetVoltage[i]->setEnabled(true);
            txtSP[i]->setEnabled(true);
            cmdInc[i]->setEnabled(true);
            cmdDec[i]->setEnabled(true);
        }
        PellarosMG[i]->setStatus(true);
        kivo::desktop::letEventsRun();
        if (!IsNumeric(VLH[i]->text())) {
            continue;
        }
        const std::optional<bool> good =
            limitTest(VLL[i]->text(), VLH[i]->text(), PellarosDisplay[i]->strValue());
        if (good == true) {
            setMessage(k, kModuleGood, Green);
            PellarosMG[i]->setStatus(true);
        } else {
            setMessage(k, QStringLiteral("Out of Limits Voltage"), Red);
            PellarosMG[i]->setStatus(false);
            PellarosGlobalDC->setStatus(false);
        }
        if (digit(G::ModuleGoodBits, k) == QStringLiteral("0")) {
            setMessage(k, OutputFault, Red);
            PellarosMG[i]->setStatus(false);
            PellarosGlobalDC->setStatus(false);
        }
    }
}

void MonitorForm::readDelaysAndArmTimers()
{
    std::array<QString, 6> delays{};
    openPort();
    for (int k = 1; k <= 5; ++k) {
        if (digit(G::PresentModuleBits, k) != QStringLiteral("1")) {
            continue;
        }
        std::int16_t slot = static_cast<std::int16_t>(k);
        std::int32_t delay = 0;
        const QString result =
            link("GetOutputTurnONDelayExUShort", m_unitId.toStdString(), byRef(slot), byRef(delay));
        kivo::desktop::letEventsRun();
        if (G::IsCmdOk(result)) {
            delays[static_cast<std::size_t>(k)] = QString::number(delay);
        } else {
            G::LogError(QStringLiteral("Error in GetOutputTurnONDelay in Unit  %1 and Module %2")
                            .arg(m_unitId)
                            .arg(k));
            G::LastErrorText =
                QStringLiteral("Error in GetOutputTurnONDelay in Unit %1 and Module %2 %3")
                    .arg(m_unitId)
                    .arg(k)
                    .arg(result);
        }
    }
    closePort();
    for (int k = 1; k <= 5; ++k) {
        tmrMod[static_cast<std::size_t>(k)]->stop();
    }
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const QString delay = Trim(delays[i]);
        if (delay.isEmpty() || delay == QStringLiteral("0") || Val(delay) < 1) {
            continue;
        }
        const QString caption = MMessage[i]->text();
        if (caption == kNotPresent || caption == kModuleGood) {
            continue;
        }
        tmrMod[i]->setInterval(static_cast<int>(Val(delay)));
        tmrMod[i]->start();
    }
}

bool MonitorForm::readOperatingHours()
{
    openPort();
    std::string hours;
    const QString result = link("GetOperatingHoursString", m_unitId.toStdString(), byRef(hours));
    const bool ok = G::IsCmdOk(result);
    closePort();
    if (!ok) {
        // The hours shown stay those last read; a failed read is not 0 hours.
        G::LogError(QStringLiteral("Error in GetOperatingHours in Unit  ") + m_unitId);
        G::LastErrorText =
            QStringLiteral("Error in GetOperatingHours in Unit ") + m_unitId + u' ' + result;
        return false;
    }
    const QString text = QString::fromStdString(hours);
    const Result<double> number = CDbl(text.isEmpty() ? QStringLiteral("0") : text);
    OH->setText(hoursText(static_cast<std::int64_t>(Round(number.valueOr(0)))));
    return true;
}

// ---- Recheck timers and the module-good byte
// ------------------------------------------------------

void MonitorForm::recheckTick(int slot)
{
    QTimer* timer = tmrMod.at(static_cast<std::size_t>(slot));
    if (LinkInUse::taken()) {
        // Another action has the port: try again shortly rather than lose the recheck.
        timer->setInterval(RecheckRetryMs);
        timer->start();
        return;
    }
    timer->stop();
    if (Busy) {
        return;
    }
    const QString caption = MMessage[static_cast<std::size_t>(slot)]->text();
    if (caption == kNotPresent || caption == kModuleGood) {
        return;
    }
    {
        LinkInUse guard(QStringLiteral("MonitorForm.tmrMod%1").arg(slot));
        const QScopedValueRollback<bool> timed(m_timedRead, true);
        const DisabledMeanwhile unitButtons(inMonitorMode(), {GOutputBtn, GroupBtn});
        refreshHoldingLink();
    }
    finishLeavingMonitorMode();
}

void MonitorForm::monitorGetModuleGoodStatusByte()
{
    static_cast<void>(readModuleGood());
}

bool MonitorForm::readModuleGood()
{
    Int16Array a(1, 8);
    const QString result = link("GetModuleGoodStatusByte", m_unitId.toStdString(), byRef(a));
    kivo::desktop::letEventsRun();
    G::ModuleGoodBits = bitString(a, 8);
    return result == kOk;
}
} // namespace KivoSoft
