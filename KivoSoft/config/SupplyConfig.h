// The configuration window: reads the defaults one unit keeps in its EEPROM, shows the unit
// options and five module tabs, checks every entry against the fitted module type, writes back
// what changed, and restarts the unit's outputs when the written settings need it.
//
//     SupplyConfig& window = supplyConfigInstance();   // one for the program's life
//     window.show();                                   // loads it on first show
//     window.UnitList->setCurrentText("3");
//     window.SelectButton_Click();                      // reads unit 3 and expands the window
//     window.vsp[1]->setText("12.5");                   // module 1's set point
//     window.cmdApplyCLM_Click(4);                      // tab 4 shows module 1: written
//
// The handlers keep the names of the events they answer, so tests and the other windows call
// them directly. Control arrays keep their element numbers: per-module arrays hold modules 1 to
// 5 (element 0 unused), option pairs elements 2m - 1 and 2m, the current-limit modes 3m - 2,
// 3m - 1, 3m and 15 + m; the module tab t (0 to 4) shows module 5 - t and holds cmdApplyCLM(t).
//
// Every device action holds the program's link-in-use guard while it may touch the port; a click
// that finds the guard taken does nothing. The window is never deleted while it is in use:
// unloading resets it to its load state and hides it.
#pragma once

#include "KivoSoft/config/ConfigControls.h"
#include "KivoSoft/config/FieldChecks.h"
#include "KivoSoft/controls/TwoPictureIndicators.h"
#include "KivoSoft/model/KivoData.h"
#include "KivoSoft/model/UnitWindows.h"
#include "KivoSoft/model/clsScalability.h"
#include "platform/desktop/fixed_size.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <cstdint>
#include <map>
#include <memory>

namespace KivoSoft {

class frmModuleGrouping;

class SupplyConfig : public QWidget {
    Q_OBJECT
public:
    // The caption: three blanks, the spaced words, three blanks before the bracket.
    static inline const QString Caption = QStringLiteral(
        "   E E P R O M   C o n f i g u r a t o r   (By Placing mouse cursor on the function, a "
        "Help box will appear)");
    // The fixed size, in twips: the width, and the heights without and with a unit shown.
    static constexpr int WidthTwips = 11850;
    static constexpr int CollapsedHeightTwips = 2550;
    static constexpr int ExpandedHeightTwips = 8510;

    explicit SupplyConfig(QWidget* parent = nullptr);
    ~SupplyConfig() override;

    // ---- Load, unload and the window frame
    // Runs the load sequence when the window is not loaded (first show, a touch of one of its
    // controls by a unit read, a show after an unload).
    void ensureLoaded();
    bool isLoaded() const { return m_loaded; }
    // The load sequence: collapsed, the unit list and a blank record per unit ID, the
    // current-limit controls, the tool tips, the port button.
    void Form_Load();
    // The load sequence again on the loaded window (the grouping dialog after an Apply).
    void LoadForm();
    // Maximized goes back to normal; the size goes back to its fixed width and height. It runs
    // after every change of the size or window state, also one made from outside.
    void Form_Resize();
    // The restart notice, then the window back to its load state, hidden, and the main window
    // shown. Never cancelled.
    void Form_Unload();
    void Form_QueryUnload() {}

    // ---- Buttons of the frame
    void Cancel_Click();
    // The port dialog, modal; the button then names the port in use.
    void cmdComSettings_Click();
    // The help topic "EC.html".
    void cmdModuleNumbering_Click();
    // The restart notice, this window hidden as it is, the monitor window shown.
    void cmdMonitor_Click();
    // The error log in the desktop's viewer.
    void ErrorButton_Click();
    // A unit picked in the list: the restart notice, and a load when it is another unit.
    void UnitList_Click();
    // The grouping dialog and the unit-ID utilities connect here.
    void cmdModueGrouping_Click();
    void cmdDetectUnitID_Click();
    void cmdChangeToNewUnitID_Click();
    void cmdDllFileVersion_Click();
    // Collapsed, the window sends the focus from the version button back to the unit list.
    void cmdDllFileVersion_LostFocus();

    // ---- Reading and showing a unit
    // Reads the unit picked in UnitList and shows it (expanded), or collapses on a failure.
    void SelectButton_Click();
    // Shows the record under `key` of KivoColl; talks to no unit.
    void DisplayConfiguration(const QString& key);
    // The start-up delay of every module whose start-up state is "Normally Off" is unavailable.
    void CheckIfDisableTurnOffDelay();
    // Identity boxes and the on/off polarity pair from any record.
    void DisplayKivoOnForm(const KivoData& record);

    // ---- Writing
    // The five unit options (and the default group state as read) into the unit read.
    void cmdApply_Click();
    // Everything pending: the unit options, then every module tab whose Apply is enabled.
    void cmdSave_Click();
    // The module shown on tab Index (module 5 - Index) into the unit read.
    void cmdApplyCLM_Click(int Index);
    // The unit's global output off and, where the unit options say so, on again.
    void RestartUnit();

    // ---- Parameter file (its frame is never shown)
    void Save_Click();
    void Load_Click();

    // ---- Edit marking shared by the field handlers
    void MarkModuleChanged();
    void MarkUnitOptionsChanged();

    // ---- Field handlers (Index: the module 1 to 5, or the option button's element)
    void vsp_Change(int Index);
    void vsp_KeyPress(int Index, std::int16_t& KeyAscii);
    void vsp_Validate(int Index, bool& Cancel);
    void vsp_LostFocus(int Index);
    void slrVsp_Click(int Index);
    void slrVsp_Scroll(int Index);
    // byUser: the user's own move (keys, mouse); a value set by the program is not copied.
    void slrVsp_Change(int Index, bool byUser = true);
    void hl_Change(int Index);
    void hl_KeyPress(int Index, std::int16_t& KeyAscii);
    void hl_Validate(int Index, bool& Cancel);
    void ll_Change(int Index);
    void ll_KeyPress(int Index, std::int16_t& KeyAscii);
    void ll_Validate(int Index, bool& Cancel);
    void cmdPreset_Click(int Index);
    void cmdTracking_Click(int Index);
    void startupdelay_Change(int Index);
    void startupdelay_KeyPress(int Index, std::int16_t& KeyAscii);
    void startupdelay_Validate(int Index, bool& Cancel);
    void optPolarity_Click(int Index);
    void OptProgMode_Click(int Index);
    void optStartupState_Click(int Index);
    void optFanFail_Click(int Index);
    void optOverTemp_Click(int Index);
    void optGlobalDC_Click(int Index);
    void optGlobal_Click(int Index);
    void optGlobalOnOff_Click(int Index);
    void optCurrentLimit_Click(int Index);
    void CurrentLimit_Change(int Index);
    void CurrentLimit_KeyPress(int Index, std::int16_t& KeyAscii);
    void CurrentLimit_Validate(int Index, bool& Cancel);
    void hscrollCurrentLimit_Change(int Index);
    void cboxActivationTime_Change(int Index);
    void cboxActivationTime_KeyPress(int Index, std::int16_t& KeyAscii);
    void cboxActivationTime_Validate(int Index, bool& Cancel);
    void cboxActivationTime_LostFocus(int Index);
    void cboxResetTime_Change(int Index);
    void cboxResetTime_KeyPress(int Index, std::int16_t& KeyAscii);
    void cboxResetTime_Validate(int Index, bool& Cancel);
    void cboxResetTime_LostFocus(int Index);
    void EnableReset_Click(int Index);

    // ---- What a unit read writes into the window (the configuration side of UnitWindows)
    // True while this window's own read runs: only that read writes into these controls.
    bool readingOwnUnit() const { return m_readingOwnUnit; }
    QString configProgressText() const { return m_progressText; }
    void setConfigProgressText(const QString& text);
    void selectConfigProgress();
    void setConfigModuleId(int slot, const QString& name);
    void setConfigCurrentLimitMinimum(int slot, std::int16_t value);
    void setConfigCurrentLimitMaximum(int slot, std::int16_t value);
    void setConfigMaxCurrentCaption(int slot, const QString& caption);
    void setConfigSetPointMinimum(int slot, std::int32_t value);
    void setConfigSetPointMaximum(int slot, std::int32_t value);
    void setConfigModulesOffCaption(const QString& caption);

    // ---- State
    // One record per unit ID "1" to "32"; a good read puts the unit's new record in place.
    std::map<QString, std::shared_ptr<KivoData>> KivoColl;
    // The record of the last read attempt, good or not; empty until the first read.
    std::shared_ptr<KivoData> CurrentUnit;
    // The ID of the unit the window read last; its writes, its restart notice, the restart and
    // the grouping dialog address this unit, whatever another window selected since. It stays
    // through LoadForm (the grouping dialog's edits still belong to it) and is cleared when
    // another unit is picked, by a failed read and by the unload.
    QString ReadUnitId;
    // The scaling records of the unit this window read, slots 1 to 5 (element 0 unused), copied
    // when its read ends; a slot without a module holds an empty record (every value 0). The
    // display, the field checks and the writes use these, never the program-wide records that
    // a read of the monitor window fills with another unit's.
    std::array<clsScalability, 6> ReadScaling{};
    const clsScalability& readScaling(int m) const
    {
        return ReadScaling.at(static_cast<std::size_t>(m));
    }
    // The file the parameter dialog chose last.
    QString CommonDialog1FileName;
    // The checks of the entry fields, in the order of the forms runtime.
    FieldChecks* checks() const { return m_checks; }

    // ---- Controls of the frame
    PickOnlyList* UnitList;
    QPushButton* SelectButton;
    QPushButton* Cancel;
    QPushButton* ErrorButton;
    QToolButton* cmdMonitor;
    QPushButton* cmdModuleNumbering;
    QPushButton* cmdComSettings;
    QGroupBox* Frame1; // "Utilities"
    QPushButton* cmdDetectUnitID;
    QPushButton* cmdChangeToNewUnitID;
    QPushButton* cmdDllFileVersion;
    QTextEdit* RichTextBox1;
    PellarosLed* PellarosTx;
    PellarosLed* PellarosRx;
    QLabel* lblMain;
    std::array<QGroupBox*, 2> FieldsFrame{};
    QLabel* Label7;
    QLabel* Label1;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* PSID;
    QLineEdit* SerialNumber;
    QLineEdit* MajVersion;
    QLineEdit* MinVersion;
    QGroupBox* Frame6; // "File Options"
    QPushButton* Save;
    QPushButton* Load;

    // ---- Unit options
    QGroupBox* Frame5; // "Global Options"
    // Unit option frames at 0 to 3 and 6; module polarity frames at 5, 7, 8, 9 and 10.
    std::array<QGroupBox*, 11> Frame4{};
    std::array<QRadioButton*, 2> optFanFail{};
    std::array<QRadioButton*, 2> optGlobalDC{};
    std::array<QRadioButton*, 2> optOverTemp{};
    std::array<QRadioButton*, 2> optGlobalOnOff{};
    std::array<QRadioButton*, 2> optGlobal{};
    QGroupBox* Frame10; // "On/Off Polarity"
    std::array<QRadioButton*, 10> optOnOffPolarity{};
    QPushButton* cmdApply;
    QPushButton* cmdSave;
    QGroupBox* Frame7; // "Group"
    QPushButton* cmdModueGrouping;
    QLabel* lblModulesOFF;
    QLineEdit* Text1;

    // ---- Module tabs
    ModuleTabs* SSTab1;
    std::array<QWidget*, 5> ModuleTab{};
    std::array<QLabel*, 5> lblMinVoltage{};
    std::array<QLabel*, 5> lblMaxVoltage{};
    std::array<QLabel*, 5> lblMaxCurrent{};
    std::array<QPushButton*, 5> cmdApplyCLM{};
    std::array<QLineEdit*, 6> txtModuleID{};
    std::array<QLineEdit*, 6> txtVersionMajor{};
    std::array<QLineEdit*, 6> TxtVersionMinor{};
    std::array<QLineEdit*, 6> GroupID{};
    std::array<QGroupBox*, 6> FrameVoltage{};
    std::array<QLineEdit*, 6> vsp{};
    std::array<SetPointSlider*, 6> slrVsp{};
    std::array<QLineEdit*, 6> hl{};
    std::array<QLineEdit*, 6> ll{};
    std::array<QPushButton*, 6> cmdPreset{};
    std::array<QPushButton*, 6> cmdTracking{};
    std::array<QLineEdit*, 6> startupdelay{};
    // Start-up frames at 4, 6, 9, 11, 13; delay labels at 5, 8, 13, 15, 17 and 6, 8, 13, 15, 17.
    std::array<QGroupBox*, 14> Frame3{};
    std::array<QLabel*, 18> Label13{};
    std::array<QLabel*, 18> Label9{};
    std::array<QRadioButton*, 11> optStartupState{};
    std::array<QRadioButton*, 11> optPolarity{};
    std::array<QGroupBox*, 6> FrameProgMode{};
    std::array<QRadioButton*, 11> OptProgMode{};
    std::array<QGroupBox*, 6> FrameCurrentLimit{};
    std::array<QRadioButton*, 21> optCurrentLimit{};
    std::array<QLabel*, 6> LabelCurrentLimit{};
    std::array<QLineEdit*, 6> CurrentLimit{};
    std::array<QScrollBar*, 6> hscrollCurrentLimit{};
    std::array<QLabel*, 6> lblMinCL{};
    std::array<QLabel*, 6> lblMaxCL{};
    std::array<QLabel*, 6> Label5{};
    std::array<QLabel*, 6> LabelActivationTime{};
    std::array<QComboBox*, 6> cboxActivationTime{};
    std::array<QLabel*, 6> LabelAT{};
    std::array<QLabel*, 6> LabelResetTime{};
    std::array<QComboBox*, 6> cboxResetTime{};
    std::array<QLabel*, 6> LabelRT{};
    std::array<QCheckBox*, 6> EnableReset{};

    // The element numbers of module m's frames and labels.
    static int startupFrameIndex(int m);
    static int polarityFrameIndex(int m);
    static int delayLabelIndex(int m);
    static int delayUnitLabelIndex(int m);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildFrame();
    void buildUnitOptions();
    void buildModuleTab(int m);
    void connectHandlers();
    // Every control back to how the window is designed (texts, ranges, choices, visibility).
    void designState();

    void InitUnitList();
    void LoadToolTips();
    void ShowCurrentLimitControls();
    // `linkHeld`: the caller already holds the link-in-use guard.
    void ShowRestartNotice(bool linkHeld = false);
    void restartHoldingLink();
    // Copies the window into the record under `key`; false (after its message) when a value
    // cannot be stored, and the record is then unchanged.
    bool StoreFormInKivo(const QString& key);
    // False when the dialog failed otherwise than by a cancel.
    bool ShowParameterFileDialog();

    // The end of a write whose step failed: the failure in the log, the lamps stopped, the port
    // closed, one message naming the step.
    void writeFailed(const QString& step);
    // A height below the expanded one collapses the window: the unit's frames are hidden.
    void setHeightTwips(int twips);
    void hideUnitView();
    // The keyboard's order through the window: top band row by row, then the unit's frames on
    // the left, then the module tabs, each tab's fields in reading order.
    void orderTabChain();
    void appendProgress(const QString& text);
    void setLamps(bool blinking);
    void stopLamps(bool enabled);
    // A value into a slider or scroll bar, clamped to its range. `read`: the value is one the
    // unit holds, and one outside the range is logged; a blank or default one is not.
    void setSliderValue(int m, int value, bool read = false);
    void setScrollValue(int m, int value, bool read = false);
    // Selects an option button and runs its click reaction, also when it was selected already.
    void select(QRadioButton* button);
    // The unit options' value: 1 when element 0 of the pair is selected.
    static std::int16_t pairValue(const std::array<QRadioButton*, 2>& pair);
    void armRuleA();
    void armRuleB();
    void timeKeyPress(QComboBox* box, std::int16_t& KeyAscii);
    void timeChange(QComboBox* box);
    void timeValidate(QComboBox* box, bool& Cancel);
    void timeLostFocus(QComboBox* box);
    void limitValidate(int m, bool high, bool& Cancel);
    void setTextAvailable(QLineEdit* box, bool available);
    // The unit argument of this window's device calls.
    std::string unitArg() const;

    bool m_loaded = false;
    bool m_readingOwnUnit = false;
    QString m_progressText;
    FieldChecks* m_checks;
    frmModuleGrouping* m_grouping = nullptr;
    kivo::desktop::FixedSizeRule m_sizeRule{*this, [this] { Form_Resize(); }};
};

// The program's one configuration window, created (not loaded) on first use.
SupplyConfig& supplyConfigInstance();
// Deletes it; main() calls it once the event loop has returned, before Forms::deleteAll().
void deleteSupplyConfig();

// The configuration side of UnitWindows, forwarded to the window while its own read runs; a read
// of another window (the monitor's) leaves the window as it is and finds an empty progress text.
// The program forwards to supplyConfigInstance(); tests to their own.
class ConfigUnitWindows : public UnitWindows {
public:
    using Window = std::function<SupplyConfig&()>;
    explicit ConfigUnitWindows(Window window = supplyConfigInstance) : m_window(std::move(window))
    {
    }

    QString configProgressText() override;
    void setConfigProgressText(const QString& text) override;
    void selectConfigProgress() override;
    void setConfigModuleId(int slot, const QString& name) override;
    void setConfigCurrentLimitMinimum(int slot, std::int16_t value) override;
    void setConfigCurrentLimitMaximum(int slot, std::int16_t value) override;
    void setConfigMaxCurrentCaption(int slot, const QString& caption) override;
    void setConfigSetPointMinimum(int slot, std::int32_t value) override;
    void setConfigSetPointMaximum(int slot, std::int32_t value) override;
    void setConfigModulesOffCaption(const QString& caption) override;

private:
    // The window when its own read runs, else nullptr.
    SupplyConfig* reading();
    template <class... Params, class... Args>
    void forward(void (SupplyConfig::*member)(Params...), Args&&... args)
    {
        if (SupplyConfig* window = reading()) {
            (window->*member)(std::forward<Args>(args)...);
        }
    }
    Window m_window;
};

} // namespace KivoSoft
