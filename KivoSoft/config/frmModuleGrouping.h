// The grouping dialog of the configuration window: the modules of one unit go into one of three
// groups, and groups 2 and 3 get a start-up state (normally on or off) and a turn-on delay. Group 1
// holds the ungrouped modules.
//
// The dialog is modal over the configuration window and keeps the port open, under the
// program-wide link-in-use guard, from its load to its unload, so no other window's timer touches
// the port in between. The configuration window hands over what the dialog needs of it:
//
//     GroupingHost host;
//     host.unitId = m_readUnitId;                     // the unit this window read, not the
//                                                     // program-wide SelectedUnitId
//     host.presentModuleBits = CurrentUnit->PresentModule;
//     host.loadForm = [this] { LoadForm(); };         // after an Apply, before the port closes
//     m_grouping->showModal(host);                    // cmdModueGrouping_Click
//
// The window keeps one dialog for its whole life (a child of itself) and never deletes it while a
// handler may run; each show loads the dialog afresh.
//
// The edit flags ModuleSettingEdited and WrittenToUnit live in KivoGlobals and are set there, and
// only for writes the unit confirmed; GroupingApplied is the dialog's own.
#pragma once

#include "KivoSoft/model/LinkInUse.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace KivoSoft {

// What the grouping dialog needs of the window that opens it.
struct GroupingHost {
    // The unit the dialog addresses, as decimal text ("3").
    QString unitId;
    // The unit's presence digits as its read left them ("10101000": character m is "1" when slot
    // m is fitted). Empty: KivoGlobals::PresentModuleBits.
    QString presentModuleBits;
    // Runs the opening window's load sequence; called at unload when an Apply wrote something,
    // while the port is still open. May be empty.
    std::function<void()> loadForm;
};

class frmModuleGrouping : public QDialog {
    Q_OBJECT
public:
    // The item texts of cboGroup and the text it shows at load (which is none of them).
    static inline const QString GroupItems[3] = {QStringLiteral("Group 1 (Ungrouped)"),
                                                 QStringLiteral("Group 2"),
                                                 QStringLiteral("Group 3")};
    static inline const QString GroupTextAtLoad = QStringLiteral("Group 1 (Un-grouped)");
    static inline const QString HelpTopic = QStringLiteral("GroupingOverview.html");
    // The name under which the dialog holds the link-in-use guard.
    static inline const QString LinkHolder = QStringLiteral("frmModuleGrouping");

    explicit frmModuleGrouping(QWidget* parent = nullptr);
    ~frmModuleGrouping() override;

    // Form_Load, then the dialog modal until it is unloaded (Close, Escape or the title bar's
    // close). Returns false, showing nothing, when another action holds the link.
    bool showModal(const GroupingHost& host);

    // The load: the guard, the port, the unit check and the reads. Returns false, loading nothing,
    // when another action holds the link or the dialog is loaded already.
    bool Form_Load(const GroupingHost& host);
    // The unload: the opening window's load sequence after an Apply, then the port closed and the
    // guard given back. Runs once per load; refused while one of the dialog's handlers runs.
    void Form_Unload();
    bool loaded() const { return m_loaded; }

    // The group change, Apply and Reset do nothing while one of them runs.
    void cboGroup_Click();
    // Every character typed into cboGroup is discarded.
    void cboGroup_KeyPress(std::int16_t& keyAscii);
    void btnAssign_Click();
    void optGrpStartupState_Click(int index);
    void txtStartupDelay_Change();
    void txtStartupDelay_KeyPress(std::int16_t& keyAscii);
    void cmdApply_Click();
    void cmdReset_Click();
    // Unloads the dialog.
    void cmdCancel_Click();
    void cmdHelp_Click();

    // "Module 1" to "Module 5" give 1 to 5, any other text 0.
    static std::int16_t ModuleNumberFromName(const QString& name);

    // The group ID each slot 1 to 5 reported at the last reading (index 0 unused); 0 for a slot
    // that is not fitted or whose reading failed.
    std::array<std::int16_t, 6> GroupOfModule{};
    // The group shown, 1 to 3.
    std::int16_t SelectedGroup = 1;
    // An Apply wrote at least one setting since the load.
    bool GroupingApplied = false;

    QGroupBox* Frame1;
    QLabel* Label1;
    QComboBox* cboGroup;
    QGroupBox* Frame2;
    QLabel* lblAvailableModules;
    QListWidget* lstAvailableModules;
    QPushButton* btnAssign;
    QLabel* lblGroupModules;
    QListWidget* lstGroupModules;
    QGroupBox* frmStartupState;
    // Elements 1 ("Normally On") and 2 ("Normally Off").
    std::array<QRadioButton*, 3> optGrpStartupState{};
    // Element 5 only.
    std::array<QLabel*, 6> lblStartupDelay{};
    // Element 0 only.
    std::array<QLineEdit*, 1> txtStartupDelay{};
    QLabel* lblCaption;
    QPushButton* cmdApply;
    QPushButton* cmdReset;
    QPushButton* cmdCancel;
    QPushButton* cmdHelp;

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool OpenGroupingPort();
    void CloseGroupingPort();
    bool CheckUnitResponds();
    void ReadGroupIDs();
    void FillModuleLists();
    void ShowGroupStartup();

    // The state a fresh load starts from: the lists, texts and buttons as designed.
    void resetToDesign();
    // "Group1 Modules" above the group's list, which a screen reader names after it.
    void showGroupCaption(int group);
    void enableStartupControls(bool enabled);
    void setDelayBoxEnabled(bool enabled);
    // Neither start-up option selected.
    void clearStartupOptions();
    void selectStartupOption(int index);
    // An edit enables Reset, and Apply too unless the shown group's start-up settings could not
    // be read.
    void edited();
    // A failed operation on a module: logged, kept as the last error and shown.
    void reportModuleFailure(const char* operation, int module, const QString& status);
    std::string unitArg() const;

    GroupingHost m_host;
    QString m_presence;
    std::unique_ptr<LinkInUse> m_link;
    bool m_loaded = false;
    // Handlers running now (the unload waits for none).
    int m_handlersRunning = 0;
    // The shown group's start-up state and delay were read (or there was nothing to read).
    bool m_startupKnown = true;
};

} // namespace KivoSoft
