// What the module fields and option buttons do while the user edits them: the key filters, the
// checks made when a field is left, the coupling of the set point with its slider and of the
// current limit with its scroll bar, and the marking of pending edits.
#include "KivoSoft/config/SupplyConfig.h"

#include "KivoSoft/config/SupplyConfigShared.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "platform/basic/basic.h"
#include "platform/desktop/desktop.h"

#include <QCursor>
#include <QToolTip>

namespace KivoSoft {

namespace G = KivoGlobals;
using namespace kivo::basic;
using namespace config;

namespace {

void fieldMessage(const QString& text)
{
    using namespace kivo::desktop;
    desktop().msgBox(text, vbInformation + vbOKOnly, FieldTitle);
}

std::size_t at(int index)
{
    return static_cast<std::size_t>(index);
}

// The slider's position as the set point's text: tenths of a volt, in the user's notation.
QString sliderText(const QSlider* slider)
{
    return CStr(Round(slider->value() / 10.0, 2));
}

} // namespace

// ---- Marking pending edits
// ----------------------------------------------------------------------------

void SupplyConfig::armRuleA()
{
    QPushButton* apply = cmdApplyCLM[at(SSTab1->currentIndex())];
    if (!apply->isEnabled()) {
        apply->setEnabled(true);
        cmdSave->setEnabled(true);
    }
}

void SupplyConfig::armRuleB()
{
    cmdApplyCLM[at(SSTab1->currentIndex())]->setEnabled(true);
    cmdSave->setEnabled(true);
}

void SupplyConfig::MarkModuleChanged()
{
    armRuleA();
}

void SupplyConfig::MarkUnitOptionsChanged()
{
    G::UnitSettingEdited = true;
    cmdApply->setEnabled(true);
    cmdSave->setEnabled(true);
}

// ---- Values into the range controls
// -------------------------------------------------------------------

void SupplyConfig::setSliderValue(int m, int value, bool read)
{
    SetPointSlider* slider = slrVsp[at(m)];
    const int clamped = std::clamp(value, slider->minimum(), slider->maximum());
    if (read && clamped != value) {
        // A stored set point outside the module type's range is shown at the range's end.
        G::LogError(QStringLiteral("Set point %1 V of module %2 lies outside %3 V to %4 V; the "
                                   "slider shows %5 V")
                        .arg(boundText(value / 10.0), QString::number(m),
                             boundText(slider->minimum() / 10.0),
                             boundText(slider->maximum() / 10.0), boundText(clamped / 10.0)));
    }
    slider->setProgramValue(clamped);
}

void SupplyConfig::setScrollValue(int m, int value, bool read)
{
    QScrollBar* bar = hscrollCurrentLimit[at(m)];
    const int clamped = std::clamp(value, bar->minimum(), bar->maximum());
    if (read && clamped != value) {
        // A stored current limit above the module's rating is shown at the scroll bar's end.
        G::LogError(QStringLiteral("Current limit %1 A of module %2 lies outside %3 A to %4 A; "
                                   "the scroll bar shows %5 A")
                        .arg(QString::number(value), QString::number(m),
                             QString::number(bar->minimum()), QString::number(bar->maximum()),
                             QString::number(clamped)));
    }
    bar->setValue(clamped);
}

// ---- Set point and slider
// ------------------------------------------------------------------------------

void SupplyConfig::vsp_Change(int Index)
{
    static_cast<void>(Index);
    G::ModuleSettingEdited = true;
    MarkModuleChanged();
}

void SupplyConfig::vsp_KeyPress(int Index, std::int16_t& KeyAscii)
{
    static_cast<void>(Index);
    G::NumericKeyFilter(KeyAscii);
}

void SupplyConfig::vsp_Validate(int Index, bool& Cancel)
{
    QLineEdit* box = vsp[at(Index)];
    if (box->text().isEmpty()) {
        box->setText(sliderText(slrVsp[at(Index)]));
    }
    const std::optional<double> value = userNumber(box->text());
    if (!value) {
        fieldMessage(QStringLiteral("Please enter numeric value."));
        Cancel = true;
        return;
    }
    const clsScalability& scaling = readScaling(Index);
    if (scaling.MinVoltage <= *value && *value <= scaling.MaxVoltage) {
        setSliderValue(Index, CLng(*value * 10).valueOr(slrVsp[at(Index)]->value()));
        return;
    }
    fieldMessage(box->text() + QStringLiteral(" is out of range, please enter value between ") +
                 boundText(scaling.MinVoltage) + QStringLiteral(" and ") +
                 boundText(scaling.MaxVoltage));
    Cancel = true;
}

void SupplyConfig::vsp_LostFocus(int Index)
{
    // A text that is not a number leaves the slider where it is.
    if (const std::optional<double> value = userNumber(vsp[at(Index)]->text())) {
        if (const Result<std::int32_t> position = CLng(*value * 10)) {
            setSliderValue(Index, position.value());
        }
    }
}

void SupplyConfig::slrVsp_Click(int Index)
{
    G::SliderDragging = true;
    vsp[at(Index)]->setText(sliderText(slrVsp[at(Index)]));
}

void SupplyConfig::slrVsp_Scroll(int Index)
{
    SetPointSlider* slider = slrVsp[at(Index)];
    QToolTip::showText(QCursor::pos(), sliderText(slider), slider);
}

void SupplyConfig::slrVsp_Change(int Index, bool byUser)
{
    // Only the user's own move of the slider writes its tenths into the set point: a value the
    // program sets (a display, the text's own check) leaves a typed 12.34 as it is.
    QLineEdit* box = vsp[at(Index)];
    if (byUser && !box->text().isEmpty()) {
        box->setText(sliderText(slrVsp[at(Index)]));
    }
    G::SliderDragging = false;
}

// ---- Module-good limits
// --------------------------------------------------------------------------------

void SupplyConfig::hl_Change(int Index)
{
    static_cast<void>(Index);
    MarkModuleChanged();
}

void SupplyConfig::ll_Change(int Index)
{
    static_cast<void>(Index);
    MarkModuleChanged();
}

void SupplyConfig::hl_KeyPress(int Index, std::int16_t& KeyAscii)
{
    static_cast<void>(Index);
    G::NumericKeyFilter(KeyAscii);
}

void SupplyConfig::ll_KeyPress(int Index, std::int16_t& KeyAscii)
{
    static_cast<void>(Index);
    G::NumericKeyFilter(KeyAscii);
}

void SupplyConfig::hl_Validate(int Index, bool& Cancel)
{
    limitValidate(Index, true, Cancel);
}

void SupplyConfig::ll_Validate(int Index, bool& Cancel)
{
    limitValidate(Index, false, Cancel);
}

void SupplyConfig::limitValidate(int m, bool high, bool& Cancel)
{
    QLineEdit* box = (high ? hl : ll)[at(m)];
    QLineEdit* other = (high ? ll : hl)[at(m)];
    std::optional<double> value = userNumber(box->text());
    if (box->text().isEmpty() || !value) {
        box->setText(QStringLiteral("0"));
        value = 0;
    }
    if (*value == 0) {
        return;
    }
    const clsScalability& scaling = readScaling(m);
    const double lowest = 0.875 * scaling.MinVoltage;
    const double highest = 1.125 * scaling.MaxVoltage;
    // The other limit counts as 0 (disabled) while it holds no number.
    const double otherValue = userNumber(other->text()).value_or(0);
    const double low = high ? otherValue : *value;
    const double hi = high ? *value : otherValue;
    if (lowest <= *value && *value <= highest && (otherValue == 0 || low < hi)) {
        return;
    }
    fieldMessage(box->text() + QStringLiteral("  is invalid value, should be between ") +
                 boundText(lowest) + QStringLiteral(" (-12.5% of Min. Volt.) and ") +
                 boundText(highest) +
                 (high ? QStringLiteral(" (+12.5% of Max. Volt.)  And greater than Low-Limit [Or "
                                        "0 to Disable]")
                       : QStringLiteral(" (+12.5% of Max. Volt.)  And smaller than High-Limit [Or "
                                        "0 to Disable]")));
    Cancel = true;
}

void SupplyConfig::cmdPreset_Click(int Index)
{
    ll[at(Index)]->setText(QStringLiteral("0"));
    hl[at(Index)]->setText(QStringLiteral("0"));
    setTextAvailable(ll[at(Index)], true);
    setTextAvailable(hl[at(Index)], true);
    MarkModuleChanged();
}

void SupplyConfig::cmdTracking_Click(int Index)
{
    ll[at(Index)]->setText(QStringLiteral("0"));
    hl[at(Index)]->setText(QStringLiteral("0"));
    setTextAvailable(ll[at(Index)], false);
    setTextAvailable(hl[at(Index)], false);
    MarkModuleChanged();
}

// ---- Start-up delay and the module options
// ----------------------------------------------------------

void SupplyConfig::startupdelay_Change(int Index)
{
    static_cast<void>(Index);
    G::ModuleSettingEdited = true;
    MarkModuleChanged();
}

void SupplyConfig::startupdelay_KeyPress(int Index, std::int16_t& KeyAscii)
{
    static_cast<void>(Index);
    G::NumericKeyFilter(KeyAscii);
}

void SupplyConfig::startupdelay_Validate(int Index, bool& Cancel)
{
    QLineEdit* box = startupdelay[at(Index)];
    const std::optional<double> value = userNumber(box->text());
    if (!value) {
        fieldMessage(QStringLiteral("Please enter numeric value."));
        Cancel = true;
        return;
    }
    if (0 <= *value && *value <= 65000) {
        return;
    }
    fieldMessage(box->text() +
                 QStringLiteral(" is out of range, please enter value between 0ms and 65000ms"));
    Cancel = true;
}

void SupplyConfig::optPolarity_Click(int Index)
{
    static_cast<void>(Index);
    G::ModuleSettingEdited = true;
    MarkModuleChanged();
}

void SupplyConfig::OptProgMode_Click(int Index)
{
    static_cast<void>(Index);
    G::ModuleSettingEdited = true;
    MarkModuleChanged();
}

void SupplyConfig::optStartupState_Click(int Index)
{
    static_cast<void>(Index);
    G::ModuleSettingEdited = true;
    MarkModuleChanged();
    CheckIfDisableTurnOffDelay();
}

void SupplyConfig::optFanFail_Click(int Index)
{
    static_cast<void>(Index);
    MarkUnitOptionsChanged();
}

void SupplyConfig::optOverTemp_Click(int Index)
{
    static_cast<void>(Index);
    MarkUnitOptionsChanged();
}

void SupplyConfig::optGlobalDC_Click(int Index)
{
    static_cast<void>(Index);
    MarkUnitOptionsChanged();
}

void SupplyConfig::optGlobal_Click(int Index)
{
    static_cast<void>(Index);
    MarkUnitOptionsChanged();
}

void SupplyConfig::optGlobalOnOff_Click(int Index)
{
    static_cast<void>(Index);
    MarkUnitOptionsChanged();
}

// ---- Current limit
// ------------------------------------------------------------------------------------

void SupplyConfig::optCurrentLimit_Click(int Index)
{
    armRuleA();
    if (Index < 1 || Index > 20) {
        return;
    }
    const int m = Index <= 15 ? (Index + 2) / 3 : Index - 15;
    const int mode = Index <= 15 ? (Index - 1) % 3 : 3; // 0 Normal, 1 Latching, 2 Hiccup, 3 Share
    const bool limited = mode == 1 || mode == 2;
    const auto i = at(m);
    for (QWidget* control : std::initializer_list<QWidget*>{
             LabelCurrentLimit[i], CurrentLimit[i], hscrollCurrentLimit[i], lblMinCL[i],
             lblMaxCL[i], Label5[i], LabelActivationTime[i], cboxActivationTime[i], LabelAT[i]}) {
        control->setVisible(limited);
    }
    for (QWidget* control :
         std::initializer_list<QWidget*>{LabelResetTime[i], cboxResetTime[i], LabelRT[i]}) {
        control->setVisible(mode == 2);
    }
    EnableReset[i]->setVisible(mode == 1);
}

void SupplyConfig::CurrentLimit_Change(int Index)
{
    static_cast<void>(Index);
    armRuleA();
    G::CurrentLimitTextChanged = true;
}

void SupplyConfig::CurrentLimit_KeyPress(int Index, std::int16_t& KeyAscii)
{
    static_cast<void>(Index);
    G::NumericKeyFilter(KeyAscii);
}

void SupplyConfig::CurrentLimit_Validate(int Index, bool& Cancel)
{
    QLineEdit* box = CurrentLimit[at(Index)];
    QScrollBar* bar = hscrollCurrentLimit[at(Index)];
    if (box->text().isEmpty()) {
        box->setText(QString::number(bar->value()));
    }
    const std::optional<double> value = userNumber(box->text());
    if (!value) {
        fieldMessage(QStringLiteral("Please enter numeric value."));
        box->setFocus();
        Cancel = true;
        return;
    }
    // The module's rating itself bounds the limit; the scroll bar only counts whole amperes.
    const double rating = readScaling(Index).MaxCurrent;
    if (0 <= *value && *value <= rating) {
        setScrollValue(Index, CInt(*value).valueOr(bar->value()));
        return;
    }
    fieldMessage(box->text() +
                 QStringLiteral(" is out of range, please enter value between 0 and ") +
                 boundText(rating));
    Cancel = true;
}

void SupplyConfig::hscrollCurrentLimit_Change(int Index)
{
    QLineEdit* box = CurrentLimit[at(Index)];
    QScrollBar* bar = hscrollCurrentLimit[at(Index)];
    if (!G::CurrentLimitTextChanged) {
        box->setText(QString::number(bar->value()));
    } else if (box->text() != QStringLiteral("N/A") && !box->text().isEmpty()) {
        // The typed text leads; a text that is no whole number within the range moves nothing.
        if (const std::optional<double> amps = userNumber(box->text())) {
            const Result<std::int16_t> whole = CInt(*amps);
            if (whole && whole.value() >= bar->minimum() && whole.value() <= bar->maximum()) {
                bar->setValue(whole.value());
            }
        }
    }
    G::CurrentLimitTextChanged = false;
}

// ---- Activation and reset times
// ------------------------------------------------------------------------

void SupplyConfig::timeChange(QComboBox* box)
{
    const std::optional<double> value = userNumber(box->currentText());
    if (value && 0 <= *value && *value < 65536) {
        armRuleB();
    }
}

void SupplyConfig::timeKeyPress(QComboBox* box, std::int16_t& KeyAscii)
{
    G::NumericKeyFilter(KeyAscii);
    const bool digitOrPoint = (KeyAscii >= '0' && KeyAscii <= '9') || KeyAscii == '.';
    if (digitOrPoint && box->currentText().size() >= TimeTextLength) {
        KeyAscii = 0;
    }
}

void SupplyConfig::timeValidate(QComboBox* box, bool& Cancel)
{
    const std::optional<double> value = userNumber(box->currentText());
    if (value && *value > 65535) {
        // The limit is 65535 ms; the message has always named 65536.
        fieldMessage(
            box->currentText() +
            QStringLiteral(" is out of range, please enter value between 0ms and 65536ms"));
        Cancel = true;
    }
}

void SupplyConfig::timeLostFocus(QComboBox* box)
{
    const std::optional<double> value = userNumber(box->currentText());
    // A text that is no number counts as an empty one.
    if (Trim(box->currentText()).isEmpty() || !value) {
        box->setEditText(QStringLiteral("0"));
        return;
    }
    if (*value < 3) {
        fieldMessage(
            box->currentText() +
            QStringLiteral(" is a short time span, this may lead to unexpected operation"));
    }
}

void SupplyConfig::cboxActivationTime_Change(int Index)
{
    timeChange(cboxActivationTime[at(Index)]);
}

void SupplyConfig::cboxActivationTime_KeyPress(int Index, std::int16_t& KeyAscii)
{
    timeKeyPress(cboxActivationTime[at(Index)], KeyAscii);
}

void SupplyConfig::cboxActivationTime_Validate(int Index, bool& Cancel)
{
    timeValidate(cboxActivationTime[at(Index)], Cancel);
}

void SupplyConfig::cboxActivationTime_LostFocus(int Index)
{
    timeLostFocus(cboxActivationTime[at(Index)]);
}

void SupplyConfig::cboxResetTime_Change(int Index)
{
    timeChange(cboxResetTime[at(Index)]);
}

void SupplyConfig::cboxResetTime_KeyPress(int Index, std::int16_t& KeyAscii)
{
    timeKeyPress(cboxResetTime[at(Index)], KeyAscii);
}

void SupplyConfig::cboxResetTime_Validate(int Index, bool& Cancel)
{
    timeValidate(cboxResetTime[at(Index)], Cancel);
}

void SupplyConfig::cboxResetTime_LostFocus(int Index)
{
    timeLostFocus(cboxResetTime[at(Index)]);
}

void SupplyConfig::EnableReset_Click(int Index)
{
    static_cast<void>(Index);
    armRuleA();
}

} // namespace KivoSoft
