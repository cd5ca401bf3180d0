// The monitor window: one unit's live state in five module panels and the unit-wide lamps,
// switching of the module outputs, the global output and the group, set-point entry, timed
// monitoring with the screen log and the CSV monitor log, and the module recheck timers.
//
// There is one instance for the life of the program; the main window hides itself and shows it:
//
//     Forms::setMonitorFormInstance([] { return &monitorFormInstance(); });
//     ...
//     deleteMonitorForm();   // once the event loop has returned, before Forms::deleteAll()
//
// Closing the window "unloads" it: every timer stops, the window goes back to its state after
// load and hides; the object stays, so no handler still on the stack loses it. A close asked for
// while one of the window's actions has the port is carried out once that action is done.
//
// The window has two sizes, and what it shows follows the size it has, whichever path gave it:
// the full size shows everything, the compact one the unit selection area alone.
//
// Every handler that talks to the unit takes the program-wide LinkInUse guard for as long as it
// may touch the port. A timer tick that finds it taken leaves the port alone (a recheck timer
// tries again shortly, a logging tick counts as skipped); a click that finds it taken is ignored.
// The handlers keep the names of the events they answer, so tests call them directly.
#pragma once

#include "KivoSoft/controls/Label3D.h"
#include "KivoSoft/controls/PellarosDisplay.h"
#include "KivoSoft/controls/TwoPictureIndicators.h"
#include "KivoSoft/model/KivoData.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/monitor/ElidingButton.h"
#include "KivoSoft/monitor/ModuleShape.h"
#include "KivoSoft/monitor/TextBuffer.h"
#include "platform/desktop/fixed_size.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace KivoSoft {

class MonitorForm : public QWidget {
    Q_OBJECT
public:
    // Window sizes in twips.
    static constexpr int CompactWidthTwips = 2690;
    static constexpr int CompactHeightTwips = 2750;
    static constexpr int FullWidthTwips = 12075;
    static constexpr int FullHeightTwips = 8850;
    // How soon a recheck timer that found the port in use tries again, in milliseconds.
    static constexpr int RecheckRetryMs = 250;

    static inline const QString InteractiveCaption = QStringLiteral(
        "   I n t e r a c t i v e   M o d e  (By Placing mouse cursor on the function, a Help box "
        "will appear)");
    static inline const QString MonitorCaption = QStringLiteral(
        "   M o n i t o r   M o d e  (By Placing mouse cursor on the function, a Help box will "
        "appear)");
    static inline const QString PleaseWait = QStringLiteral("P l e a s e   w a i t . . .");
    static inline const QString ReadyText = QStringLiteral("R e a d y");
    static inline const QString MonitorModeText = QStringLiteral("M o n i t o r   M o d e . . .");
    static inline const QString ErrorText = QStringLiteral("Error, Click error file button");
    static inline const QString OutputFault = QStringLiteral("O u t p u t   F a u l t !");
    static inline const QString PortFailureText =
        QStringLiteral("I could not open COM port, may be because is already open, close the "
                       "program and try again.");
    static inline const QString LogHeading =
        QStringLiteral("TimeStamp            UID  Fan  GDC  OT  MID Volt    Curr");

    explicit MonitorForm(QWidget* parent = nullptr);
    ~MonitorForm() override;

    // ---- Frame and navigation
    void Form_Load();
    void ReloadForm() { Form_Load(); }
    void UnitList_Click();
    void UnitList_KeyDown(int& keyCode) { keyCode = 0; }
    void UnitList_KeyPress(int& keyAscii) { keyAscii = 0; }
    void Form_Resize();
    void Form_QueryUnload() {}
    // Stops every timer, puts the window back to its state after load, hides it and shows the
    // main window.
    void Form_Unload();
    void cmdComSettings_Click();
    void cmdComSettings_LostFocus();
    void cmdEeprom_Click();
    void cmdEeprom_LostFocus();
    void cmdHelp_Click();
    void cmdModuleNumering_Click();
    void cmdErrorfile_Click();
    void cmdClose_Click();

    // ---- Unit selection, refresh and recheck timers
    void cmdSelectUnit_Click();
    void cmdRefresh_Click();
    void tmrMod1_Timer() { recheckTick(1); }
    void tmrMod2_Timer() { recheckTick(2); }
    void tmrMod3_Timer() { recheckTick(3); }
    void tmrMod4_Timer() { recheckTick(4); }
    void tmrMod5_Timer() { recheckTick(5); }
    void recheckTick(int slot);
    // Reads the module-good byte into ModuleGoodBits; the port must be open.
    void monitorGetModuleGoodStatusByte();
    // Whether monitor mode is in effect: its box is ticked, or it was cleared while another
    // action had the port and the mode is left once that action is done.
    bool inMonitorMode() const { return Check1->isChecked() || m_leavePending; }

    // ---- Switching
    void PellarosOS_MouseClick(int slot);
    void PellarosOutputOnOff_MouseClick();
    void GOutputBtn_Click();
    void GroupBtn_Click();

    // ---- Set points
    void cmdInc_Click(int slot);
    void cmdDec_Click(int slot);
    void cmdSetVoltage_Click(int slot);
    void txtSP_KeyPress(int slot, std::int16_t& keyAscii);
    void txtSP_KeyDown(int slot, int keyCode, int shift);
    void txtSP_LostFocus(int slot);

    // ---- Timed monitoring
    void Check1_Click();
    void Timer2_Timer();
    void Check2_Click();
    bool ValidateLogFileName();
    void cmdClear_Click();
    // The rest of a switch back to interactive mode that waited for the port, once it is free;
    // the end of a timed read and the timer "LeaveRetry" run it.
    void finishLeavingMonitorMode();

    // The panels and lamps filled from a read (the full load while LoggingInProgress is False,
    // the quick one otherwise); public so a fill can be checked from a prepared unit.
    void loadMonitorPanels(const KivoData& unit);

    // ---- The monitor side of what a unit read writes into the windows
    void monitorUnitDoesNotRespond(int heightTwips, int widthTwips, const QString& caption);

    // ---- Rules shared by the sequences, public for their tables
    // The limit test of a slot: lo and hi as the limit captions, v as the voltmeter text, all in
    // the user's locale. Nothing when a limit is not a number (the test is then skipped).
    static std::optional<bool> limitTest(const QString& lo, const QString& hi, const QString& v);
    // A meter text as the screen log writes it.
    static QString screenMeterText(const QString& text);
    // Operating hours with the "##,###" pattern: thousands grouped, "0" for zero or nothing.
    static QString hoursText(std::int64_t hours);
    // The counts a set point in volts is sent as: volts x factor, halves to even, 16 bits.
    static std::int16_t setPointCounts(double volts, double factor);
    // The first line of the monitor log: its 26 field names, each followed by ",".
    static QString monitorLogHeader();

    // ---- State the Parts share (window fields)
    std::shared_ptr<KivoData> CurrentUnit;
    bool Busy = false;
    bool UnitChosen = false;
    bool ArmRecheckTimers = false;
    std::array<double, 6> LastSetPoint{};
    // The unit ID the last selection chose; every device call of the window addresses it.
    const QString& chosenUnit() const { return m_unitId; }
    // The scaling records of the window's last complete read of its unit (slots 1 to 5, index 0
    // unused). The window's range checks and conversions use these, never the program-wide
    // records that a read of the configuration window fills with another unit's.
    KivoGlobals::ScalingRecords ReadScaling{};
    const clsScalability& readScaling(int slot) const
    {
        return ReadScaling.at(static_cast<std::size_t>(slot));
    }
    // Whether the last refresh read the unit completely; a logging tick writes no row otherwise.
    bool lastRefreshFailed() const { return m_refreshFailed; }
    // Logging ticks that came due but found the window busy or the port in use.
    int skippedTicks() const { return m_skippedTicks; }
    // Text colour (&H00BBGGRR) of MMessage(slot).
    uint messageColor(int slot) const { return m_messageColor.at(static_cast<std::size_t>(slot)); }
    // The file the next autosave appends to.
    QString logFilePath() const;

    // ---- Controls (arrays by slot 1 to 5, index 0 unused)
    QComboBox* UnitList;
    QPushButton* cmdSelectUnit;
    QPushButton* cmdRefresh;
    Label3D* Label3D3;
    QLabel* Label6;
    QLabel* lblReady;
    QProgressBar* progressbar1;
    ElidingButton* cmdComSettings;
    QPushButton* cmdEeprom;
    QPushButton* cmdHelp;
    QPushButton* cmdModuleNumering;
    QPushButton* cmdErrorfile;
    QPushButton* cmdClose;
    QGroupBox* Frame7;
    PellarosBigSquareLed* PellarosACFail;
    PellarosBigSquareLed* PellarosFanFail;
    PellarosBigSquareLed* PellarosGlobalDC;
    PellarosBigSquareLed* PellarosOverTemp;
    PellarosBigSquareLed* PellarosErrorPicture;
    PellarosSunkenSwitch* PellarosOutputOnOff;
    PellarosSunkenSwitch* PellarosGroupOnOff;
    QGroupBox* Frame8;
    QPushButton* GOutputBtn;
    QGroupBox* Frame4;
    QPushButton* GroupBtn;
    QLabel* Label13;
    QLineEdit* OH;
    QCheckBox* Check1;
    QComboBox* Combo1;
    QTimer* Timer2;
    QCheckBox* Check2;
    QLineEdit* txtFileName;
    QLabel* Label11;
    QPlainTextEdit* RichTextBox1;
    TextBuffer* rtbNewLog;
    QPushButton* cmdClear;
    std::array<QGroupBox*, 6> s{};
    std::array<ModuleShape*, 6> Module{};
    std::array<QLabel*, 6> MMessage{};
    std::array<PellarosLed*, 6> PellarosMG{};
    std::array<PellarosPushButton*, 6> PellarosOS{};
    std::array<KivoSoft::PellarosDisplay*, 6> PellarosDisplay{};
    std::array<KivoSoft::PellarosDisplay*, 6> PellarosDisplayCurr{};
    std::array<QLineEdit*, 6> txtSP{};
    std::array<QPushButton*, 6> cmdInc{};
    std::array<QPushButton*, 6> cmdDec{};
    std::array<QPushButton*, 6> cmdSetVoltage{};
    std::array<QLineEdit*, 6> RV{};
    std::array<QLineEdit*, 6> RC{};
    std::array<QLineEdit*, 6> GID{};
    std::array<QLabel*, 6> VLL{};
    std::array<QLabel*, 6> VLH{};
    std::array<QLabel*, 6> CL{};
    std::array<QTimer*, 6> tmrMod{};
    std::array<QLabel*, 11> Picture1{};
    QLabel* Picture2;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildModulePanel(int slot);
    // The Tab key's way through the window: as it is laid out, top to bottom and left to right,
    // the selection area and the unit column first, then each module panel in slot order, then
    // monitoring and its log.
    void setTabChain();
    // The global output and group buttons are named by their frame and their caption, which
    // changes with each click.
    void nameUnitButtons();
    void connectControls();
    void InitModulePanels();
    void FillUnitList();
    void resetToFreshState();
    void stopAllTimers();
    // The one place the window gets a size, and with it what shows: the full size shows the
    // full-size area, any other size the unit selection area alone.
    void applySize(int widthTwips, int heightTwips);

    // The sequences, run while the caller holds the link guard.
    void selectHoldingLink();
    void refreshHoldingLink();
    bool LoadMonitorData();
    void RefreshScreen() { m_readOk = LoadMonitorData(); }
    void panelPass(bool metersZeroWhenOff);
    void readDelaysAndArmTimers();
    bool readOperatingHours();
    bool readModuleGood();
    void switchModule(int slot);
    void switchAllOutputs();
    void unitButton(QPushButton* button, bool globalOutput);
    void applySetPoint(int slot);
    void enableSetPointControls();
    // One device action of a handler: `body` runs only while no other action has the port, and a
    // run-time failure goes through the window's recovery path, then `afterFailure`.
    template <class Body, class AfterFailure>
    void asDeviceAction(const char* handler, Body body, AfterFailure afterFailure);
    // A failed call for `slot`: the error log line and the last-error text.
    void logModuleFailure(const char* operation, int slot, const QString& status);
    // The measurements of a switch or an apply: each one that failed is logged as the reads log
    // it. True when both came back.
    bool measuredBoth(int slot, const QString& current, const QString& voltage);
    void stepSetPoint(int slot, bool up);
    void logTick();
    void saveLog();
    // Puts the header into the monitor log while the log is empty.
    void WriteLogHeader();

    // The recovery path of every long handler: the port closed, the busy state ended, the
    // window usable again and the failure in the status bar and the error log.
    void recover(const char* handler, const QString& description);

    void setProgress(int value);
    void setReady(const QString& text);
    void setMessage(int slot, const QString& caption, uint colour);
    void setBlank(int slot);
    void disableSlotCommands(int slot);
    void updateErrorPicture();
    void lockForMonitorMode();
    void enableInteractiveCommands();
    void fillToolTips();
    QString unitArg() const { return m_unitId; }

    // Everything outside the unit selection area, shown and enabled at the full size only.
    QWidget* m_fullSizeArea = nullptr;
    // A set-point box whose own focus-out is being delivered ahead of its handler.
    QObject* m_focusOutDelivering = nullptr;
    // Monitor mode was ended while another action had the port: its timer stopped at once, the
    // rest of the switch waits until the port is free (at the end of the window's own timed
    // read, or on m_leaveRetry for any other holder).
    bool m_leavePending = false;
    QTimer* m_leaveRetry = nullptr;
    // The close box was pressed while one of the window's actions had the port.
    bool m_closePending = false;
    // A read the window's timers started (a logging tick, a recheck). In monitor mode it keeps
    // the mode's check boxes usable, so a click that ends the mode is never lost.
    bool m_timedRead = false;
    QString m_unitId;
    bool m_loaded = false;
    bool m_readOk = false;
    // Whether the window's last complete read of its unit got the module types; the panels are
    // drawn from it. A read that failed, or another window's read, leaves it as it was.
    bool m_modulesAnswered = false;
    // The fitted slots (presence digits) that read found, kept for the same reason.
    QString m_readPresence;
    bool m_refreshFailed = false;
    int m_skippedTicks = 0;
    // Rows of the monitor log not yet appended to the log file.
    QStringList m_unsavedRows;
    std::array<uint, 6> m_messageColor{};
    // Form_Resize after every change of the size or window state, also one from outside.
    kivo::desktop::FixedSizeRule m_sizeRule{*this, [this] { Form_Resize(); }};
};

// The program's one monitor window, created on first use; deleteMonitorForm() deletes it once the
// event loop has returned (main), or after a test case.
MonitorForm& monitorFormInstance();
void deleteMonitorForm();

} // namespace KivoSoft
