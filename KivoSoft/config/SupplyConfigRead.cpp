// Reading a unit into the window and showing the record of a unit.
#include "KivoSoft/config/SupplyConfig.h"

#include "KivoSoft/config/SupplyConfigShared.h"
#include "KivoSoft/model/INI.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/LinkInUse.h"
#include "platform/basic/basic.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/let_events_run.h"

#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextCursor>

namespace KivoSoft {

namespace G = KivoGlobals;
using namespace kivo::basic;
using namespace config;

namespace config {

std::optional<double> userNumber(const QString& text)
{
    const Result<double> value = CDbl(text);
    if (!value) {
        return std::nullopt;
    }
    return value.value();
}

std::optional<std::int16_t> unitNumber(const QString& text)
{
    const std::optional<double> value = userNumber(text);
    if (!value) {
        return std::nullopt;
    }
    const Result<std::int16_t> unit = CInt(*value);
    if (!unit) {
        return std::nullopt;
    }
    return unit.value();
}

QString boundText(double value)
{
    return CStr(value, QLocale::c());
}

} // namespace config

// ---- What a unit read writes into the window
// --------------------------------------------------------

void SupplyConfig::setConfigProgressText(const QString& text)
{
    m_progressText = text;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    RichTextBox1->setPlainText(shown);
    selectConfigProgress();
    RichTextBox1->repaint();
}

void SupplyConfig::selectConfigProgress()
{
    // The newest line in view: the selection carried to the end of the text.
    RichTextBox1->moveCursor(QTextCursor::End);
    RichTextBox1->ensureCursorVisible();
}

void SupplyConfig::appendProgress(const QString& text)
{
    setConfigProgressText(m_progressText + text);
    kivo::desktop::letEventsRun();
}

void SupplyConfig::setConfigModuleId(int slot, const QString& name)
{
    if (slot >= 1 && slot <= 5) {
        txtModuleID[static_cast<std::size_t>(slot)]->setText(name);
    }
}

void SupplyConfig::setConfigCurrentLimitMinimum(int slot, std::int16_t value)
{
    if (slot >= 1 && slot <= 5) {
        QScrollBar* bar = hscrollCurrentLimit[static_cast<std::size_t>(slot)];
        bar->setMinimum(value);
    }
}

void SupplyConfig::setConfigCurrentLimitMaximum(int slot, std::int16_t value)
{
    if (slot >= 1 && slot <= 5) {
        QScrollBar* bar = hscrollCurrentLimit[static_cast<std::size_t>(slot)];
        bar->setMaximum(std::max<int>(value, bar->minimum()));
    }
}

void SupplyConfig::setConfigMaxCurrentCaption(int slot, const QString& caption)
{
    if (slot >= 1 && slot <= 5) {
        lblMaxCL[static_cast<std::size_t>(slot)]->setText(caption);
    }
}

void SupplyConfig::setConfigSetPointMinimum(int slot, std::int32_t value)
{
    if (slot >= 1 && slot <= 5) {
        SetPointSlider* slider = slrVsp[static_cast<std::size_t>(slot)];
        // A minimum above the maximum moves the maximum along, as the slider's own rule does.
        slider->setProgramMinimum(value);
    }
}

void SupplyConfig::setConfigSetPointMaximum(int slot, std::int32_t value)
{
    if (slot >= 1 && slot <= 5) {
        slrVsp[static_cast<std::size_t>(slot)]->setProgramMaximum(value);
    }
}

void SupplyConfig::setConfigModulesOffCaption(const QString& caption)
{
    lblModulesOFF->setText(caption);
    lblModulesOFF->show();
}

// ---- Lamps
// ------------------------------------------------------------------------------------------

void SupplyConfig::setLamps(bool blinking)
{
    PellarosTx->setEnable(true);
    PellarosRx->setEnable(true);
    PellarosTx->setBInterval(800);
    PellarosRx->setBInterval(500);
    PellarosRx->setBlinking(blinking);
    PellarosTx->setBlinking(blinking);
}

void SupplyConfig::stopLamps(bool enabled)
{
    PellarosTx->setBlinking(false);
    PellarosRx->setBlinking(false);
    PellarosTx->setStatus(true);
    PellarosRx->setStatus(true);
    PellarosTx->setEnable(enabled);
    PellarosRx->setEnable(enabled);
}

// ---- Reading
// ----------------------------------------------------------------------------------------

void SupplyConfig::SelectButton_Click()
{
    using namespace kivo::desktop;
    ensureLoaded();
    if (Trim(UnitList->currentText()).isEmpty()) {
        desktop().msgBox(QStringLiteral("Please select a valid unit."), vbInformation + vbOKOnly,
                         FieldTitle);
        UnitList->setFocus();
        return;
    }
    LinkInUse link(QStringLiteral("SupplyConfig.SelectButton"));
    if (!link) {
        return;
    }
    INI::SetBusyState(1, this);
    ShowRestartNotice(true);
    QWidget* const actions[] = {SelectButton,         Cancel,           UnitList,
                                cmdMonitor,           cmdComSettings,   cmdDetectUnitID,
                                cmdChangeToNewUnitID, cmdDllFileVersion};
    for (QWidget* control : actions) {
        control->setEnabled(false);
    }
    setLamps(true);
    setConfigProgressText(QStringLiteral("Reading Kivo Configuration\r\nOpenning ") +
                          G::DefaultComPort +
                          QStringLiteral(", Bauds: 9600, Parity: NO, Databits: 8, ..."));
    kivo::desktop::letEventsRun();
    G::SliderDragging = false;
    G::SelectedUnitId = UnitList->currentText();
    const QString unit = G::SelectedUnitId;
    ErrorButton->setEnabled(false);
    ErrorButton->hide();
    // A failure of an earlier read names no unit in this one.
    G::NoResponseText.clear();
    // The read names the fitted slots' module types; an empty slot names none, whatever unit
    // was read before.
    for (int m = 1; m <= 5; ++m) {
        txtModuleID[static_cast<std::size_t>(m)]->clear();
    }
    CurrentUnit = std::make_shared<KivoData>();
    kivo::desktop::letEventsRun();
    {
        const QScopedValueRollback<bool> own(m_readingOwnUnit, true);
        CurrentUnit->ReadKivoSetup(unit);
    }

    if (G::ErrorFlag) {
        G::ConfigExpanded = false;
        ReadUnitId.clear();
        ErrorButton->setEnabled(true);
        ErrorButton->show();
        if (!Trim(G::NoResponseText).isEmpty()) {
            desktop().msgBox(G::NoResponseText, vbOKOnly, G::ProgramTitle);
        }
        G::ErrorFlag = false;
        setHeightTwips(2670);
        stopLamps(true);
        for (QWidget* control : actions) {
            control->setEnabled(true);
        }
        INI::SetBusyState(0);
        return;
    }

    KivoColl[unit] = CurrentUnit;
    ReadUnitId = unit;
    // The records this read loaded, before anything else can read another unit.
    const QString& present = CurrentUnit->PresentModule;
    ReadScaling = G::fittedScaling(present);
    DisplayConfiguration(unit);
    lblMain->setText(QStringLiteral("Settings of Power Supply ID: ") + UnitList->currentText());
    for (int m = 1; m <= 5; ++m) {
        const auto i = static_cast<std::size_t>(m);
        if (Mid(present, m, 1) != QStringLiteral("1")) {
            continue;
        }
        kivo::desktop::letEventsRun();
        // The boxes hold volts; the slider counts tenths of a volt.
        if (ll[i]->text().isEmpty()) {
            ll[i]->setText(CStr(slrVsp[i]->minimum() / 10.0));
        }
        if (hl[i]->text().isEmpty()) {
            hl[i]->setText(CStr(slrVsp[i]->maximum() / 10.0));
        }
        if (const std::optional<double> amps = userNumber(CurrentLimit[i]->text())) {
            if (const Result<std::int16_t> whole = CInt(*amps)) {
                setScrollValue(m, whole.value());
            }
        }
    }
    for (QWidget* shown : std::initializer_list<QWidget*>{
             Label7, Label1, PSID, Label3, SerialNumber, Label4, MajVersion, MinVersion}) {
        shown->show();
    }
    lblMain->repaint();
    kivo::desktop::letEventsRun();
    FieldsFrame[1]->show();
    Frame6->hide();
    Save->setEnabled(true);
    for (QWidget* shown :
         std::initializer_list<QWidget*>{Frame7, Frame4[3], Frame4[0], Frame4[2], Frame4[1],
                                         Frame4[6], Frame5, SSTab1, cmdSave, Text1}) {
        shown->show();
    }
    SelectButton->setEnabled(true);
    kivo::desktop::letEventsRun();
    G::ConfigExpanded = true;
    Form_Resize();
    appendProgress(QStringLiteral("\r\nClosing Communication..............Ok\r\n"));
    stopLamps(true);
    kivo::desktop::letEventsRun();
    cmdApply->setEnabled(false);
    ErrorButton->setEnabled(false);
    ErrorButton->hide();
    if (!G::DefaultGlobalStateFlag || !G::ModuleTypeRead) {
        SSTab1->hide();
        Text1->hide();
    }
    for (int k = 1; k <= 5; ++k) {
        const auto t = static_cast<std::size_t>(k - 1);
        if (Mid(present, k, 1) != QStringLiteral("1")) {
            // No module, so no type and no range to name.
            lblMinVoltage[t]->setText(QStringLiteral("Min. "));
            lblMaxVoltage[t]->setText(QStringLiteral("Max. "));
            lblMaxCurrent[t]->clear();
            continue;
        }
        const clsScalability& scaling = readScaling(k);
        lblMinVoltage[t]->setText(QStringLiteral("Min. ") + Trim(CStr(scaling.MinVoltage)));
        lblMaxVoltage[t]->setText(QStringLiteral("Max. ") + Trim(CStr(scaling.MaxVoltage)));
        lblMaxCurrent[t]->setText(QStringLiteral("Module Type: ") +
                                  Trim(txtModuleID[static_cast<std::size_t>(k)]->text()) +
                                  QStringLiteral(" Max. Current: ") +
                                  Trim(CStr(scaling.MaxCurrent)) + QStringLiteral(" Amp."));
    }
    cmdModuleNumbering->show();
    cmdSave->setEnabled(false);
    for (QPushButton* apply : cmdApplyCLM) {
        apply->setEnabled(false);
    }
    G::UnitSettingEdited = false;
    G::ModuleSettingEdited = false;
    G::WrittenToUnit = false;
    for (int m = 1; m <= 5; ++m) {
        if (Mid(present, m, 1) == QStringLiteral("1")) {
            SSTab1->setCurrentIndex(5 - m);
            break;
        }
    }
    INI::SetBusyState(0);
    for (QWidget* control : actions) {
        control->setEnabled(true);
    }
    CheckIfDisableTurnOffDelay();
}

// ---- Showing a record
// -------------------------------------------------------------------------------

void SupplyConfig::select(QRadioButton* button)
{
    if (button->isChecked()) {
        // Selecting a selected button raises its click as well.
        for (int k = 0; k < 2; ++k) {
            const auto ki = static_cast<std::size_t>(k);
            if (button == optFanFail[ki])
                return optFanFail_Click(k);
            if (button == optOverTemp[ki])
                return optOverTemp_Click(k);
            if (button == optGlobalDC[ki])
                return optGlobalDC_Click(k);
            if (button == optGlobal[ki])
                return optGlobal_Click(k);
            if (button == optGlobalOnOff[ki])
                return optGlobalOnOff_Click(k);
        }
        for (int k = 1; k <= 10; ++k) {
            const auto ki = static_cast<std::size_t>(k);
            if (button == optPolarity[ki])
                return optPolarity_Click(k);
            if (button == OptProgMode[ki])
                return OptProgMode_Click(k);
            if (button == optStartupState[ki])
                return optStartupState_Click(k);
        }
        for (int k = 1; k <= 20; ++k) {
            if (button == optCurrentLimit[static_cast<std::size_t>(k)]) {
                return optCurrentLimit_Click(k);
            }
        }
        return;
    }
    button->setChecked(true);
}

void SupplyConfig::setTextAvailable(QLineEdit* box, bool available)
{
    box->setEnabled(available);
    const QString colour =
        available ? QStringLiteral("rgb(255, 255, 255)") : QStringLiteral("rgb(224, 224, 224)");
    box->setStyleSheet(QStringLiteral("QLineEdit { background-color: %1; }").arg(colour));
}

void SupplyConfig::DisplayConfiguration(const QString& key)
{
    const auto found = KivoColl.find(key);
    if (found == KivoColl.end() || !found->second) {
        return;
    }
    const KivoData& r = *found->second;
    PSID->setText(r.UnitID);
    SerialNumber->setText(r.VSerialNumber());
    MajVersion->setText(r.Version1);
    MinVersion->setText(r.Version2);
    select(optFanFail[r.FanFail ? 0 : 1]);
    select(optGlobalDC[r.GlobalDC ? 0 : 1]);
    select(optOverTemp[r.OverTemp ? 0 : 1]);
    select(optGlobalOnOff[G::DefaultGlobalPolarityFlag ? 0 : 1]);
    select(optGlobal[r.GlobalOutputState ? 0 : 1]);

    for (int m = 1; m <= 5; ++m) {
        SSTab1->setTabEnabled(5 - m, Mid(r.PresentModule, m, 1) == QStringLiteral("1"));
    }
    for (int m = 1; m <= 5; ++m) {
        txtVersionMajor[static_cast<std::size_t>(m)]->setText(r.MMV[m]);
    }
    for (int m = 1; m <= 5; ++m) {
        TxtVersionMinor[static_cast<std::size_t>(m)]->setText(r.MMinV[m]);
    }
    for (int m = 1; m <= 5; ++m) {
        GroupID[static_cast<std::size_t>(m)]->setText(QString::number(r.GID[m]));
    }
    const QString one = QStringLiteral("1");
    for (int m = 1; m <= 5; ++m) {
        select(OptProgMode[static_cast<std::size_t>(r.PM[m] == one ? 2 * m - 1 : 2 * m)]);
    }
    for (int m = 1; m <= 5; ++m) {
        select(optPolarity[static_cast<std::size_t>(r.P[m] == one ? 2 * m - 1 : 2 * m)]);
    }
    for (int m = 1; m <= 5; ++m) {
        select(optStartupState[static_cast<std::size_t>(r.StartUpState[m] == one ? 2 * m - 1
                                                                                 : 2 * m)]);
    }
    for (int m = 1; m <= 5; ++m) {
        const auto i = static_cast<std::size_t>(m);
        const std::optional<double> volts =
            Trim(r.VSP[m]).isEmpty() ? std::optional<double>(0) : userNumber(r.VSP[m]);
        if (Trim(r.VSP[m]).isEmpty() || !volts) {
            vsp[i]->setText(QStringLiteral("0"));
            setSliderValue(m, 0);
        } else {
            vsp[i]->setText(CStr(Round(*volts, 2)));
            setSliderValue(m, CLng(Round(*volts, 1) * 10).valueOr(0), true);
        }
        slrVsp[i]->repaint();
    }

    const bool state = G::DefaultGlobalStateFlag;
    const bool polarity = G::DefaultGlobalPolarityFlag;
    if (state != polarity) {
        select(optGlobal[state ? 0 : 1]);
        select(optGlobalOnOff[polarity ? 0 : 1]);
        G::ModuleTypeRead = false;
        return;
    }
    select(optGlobal[state ? 0 : 1]);
    select(optGlobalOnOff[state ? 0 : 1]);
    if (state) {
        for (int m = 1; m <= 5; ++m) {
            const auto i = static_cast<std::size_t>(m);
            const double factor = readScaling(m).VoltageScaleFactor;
            if (Mid(r.PresentModule, m, 1) != one || factor == 0) {
                continue;
            }
            // The thresholds are whole counts as the unit reported them.
            const double high = Val(r.VHL[m]);
            const double low = Val(r.VLL[m]);
            hl[i]->setText(CStr(Round(high / factor, 2)));
            ll[i]->setText(CStr(Round(low / factor, 2)));
            if (high == 0 && low == 0) {
                setTextAvailable(ll[i], false);
                setTextAvailable(hl[i], false);
            }
        }
        for (int m = 1; m <= 5; ++m) {
            startupdelay[static_cast<std::size_t>(m)]->setText(r.StartUpDelay[m]);
        }
    }

    for (int m = 1; m <= 5; ++m) {
        const auto i = static_cast<std::size_t>(m);
        const QString& mode = r.CLM[m];
        auto select_ = [&](int index) { select(optCurrentLimit[static_cast<std::size_t>(index)]); };
        if (mode == QStringLiteral("Normal") || mode == QStringLiteral("CurrentShare")) {
            select_(3 * m - 2);
            for (QWidget* hidden : std::initializer_list<QWidget*>{
                     CurrentLimit[i], LabelCurrentLimit[i], cboxActivationTime[i],
                     LabelActivationTime[i], cboxResetTime[i], LabelResetTime[i], EnableReset[i],
                     LabelAT[i], LabelRT[i]}) {
                hidden->hide();
            }
        }
        if (mode == QStringLiteral("Latching")) {
            // Modules 4 and 5 show the delay with its text before their button is selected.
            if (m >= 4) {
                cboxActivationTime[i]->show();
                cboxActivationTime[i]->setEditText(r.AT[m]);
            }
            select_(3 * m - 1);
            for (QWidget* shown : std::initializer_list<QWidget*>{
                     cboxActivationTime[i], LabelActivationTime[i], LabelAT[i]}) {
                shown->show();
            }
            cboxActivationTime[i]->setEditText(r.AT[m]);
            EnableReset[i]->setChecked(r.ER[m] == one);
        }
        if (mode == QStringLiteral("Hiccup")) {
            if (m >= 4) {
                cboxActivationTime[i]->show();
                cboxActivationTime[i]->setEditText(r.AT[m]);
            }
            select_(3 * m);
            // Module 2's row leaves the delay box to its button's reaction.
            if (m != 2) {
                cboxActivationTime[i]->show();
            }
            for (QWidget* shown : std::initializer_list<QWidget*>{
                     LabelActivationTime[i], LabelAT[i], LabelResetTime[i], LabelRT[i]}) {
                shown->show();
            }
            cboxActivationTime[i]->setEditText(r.AT[m]);
            cboxResetTime[i]->setEditText(r.RT[m]);
        }
        if (mode == QStringLiteral("CurrentShare")) {
            if (m == 5) {
                cboxActivationTime[i]->hide();
            }
            select_(15 + m);
            for (QWidget* hidden : std::initializer_list<QWidget*>{
                     cboxActivationTime[i], LabelActivationTime[i], LabelAT[i], LabelResetTime[i],
                     LabelRT[i], lblMinCL[i], lblMaxCL[i], Label5[i]}) {
                hidden->hide();
            }
            if (m == 2) {
                cboxResetTime[i]->hide();
            }
            cboxActivationTime[i]->setEditText(r.AT[m]);
            cboxResetTime[i]->setEditText(r.RT[m]);
        }
    }

    for (int m = 1; m <= 5; ++m) {
        const auto i = static_cast<std::size_t>(m);
        CurrentLimit[i]->setText(r.CL[m]);
        // The limit is shown in the user's notation, and read back by the same rule.
        const std::optional<double> amps = userNumber(r.CL[m]);
        setScrollValue(m, CInt(amps.value_or(0)).valueOr(0), amps.has_value());
    }

    for (int m = 1; m <= 5; ++m) {
        const auto i = static_cast<std::size_t>(m);
        const bool ungrouped = r.GID[m] == 1;
        for (QWidget* control : std::initializer_list<QWidget*>{
                 Frame3[static_cast<std::size_t>(startupFrameIndex(m))], optStartupState[2 * i - 1],
                 optStartupState[2 * i], Frame4[static_cast<std::size_t>(polarityFrameIndex(m))],
                 optPolarity[2 * i - 1], optPolarity[2 * i]}) {
            control->setEnabled(ungrouped);
        }
        setTextAvailable(startupdelay[i], ungrouped);
    }
}

void SupplyConfig::CheckIfDisableTurnOffDelay()
{
    for (int m = 1; m <= 5; ++m) {
        const auto i = static_cast<std::size_t>(m);
        const bool available = !optStartupState[2 * i]->isChecked();
        Label13[static_cast<std::size_t>(delayLabelIndex(m))]->setEnabled(available);
        startupdelay[i]->setEnabled(available);
        Label9[static_cast<std::size_t>(delayUnitLabelIndex(m))]->setEnabled(available);
    }
}

void SupplyConfig::DisplayKivoOnForm(const KivoData& record)
{
    PSID->setText(record.UnitID);
    SerialNumber->setText(record.SerialNumber);
    MajVersion->setText(record.Version1);
    MinVersion->setText(record.Version2);
    // The first button of the pair for "1". Nothing reacts to this pair: the unit's own
    // on/off polarity is written from the Remote On/Off options.
    optOnOffPolarity[record.SignalPolarity == QStringLiteral("1") ? 8 : 9]->setChecked(true);
}

} // namespace KivoSoft
