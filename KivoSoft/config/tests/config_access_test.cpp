// The window for a user at the keyboard and for a screen reader: which window an action makes
// busy and where the focus is afterwards, a refused entry while tabs change and the window
// reloads, the order of Tab, and what the accessibility interfaces say and do.
#include "KivoSoft/config/frmModuleGrouping.h"
#include "KivoSoft/config/tests/config_fixture.h"
#include "KivoSoft/shell/MainForm.h"
#include "tests/support/access.h"
#include "tests/support/modal.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QRadioButton>
#include <QTest>

using namespace KivoSoft;
using namespace KivoSoft::testing;
namespace G = KivoSoft::KivoGlobals;

namespace {

QAccessibleInterface* accessible(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

QString accessibleName(QObject* object)
{
    return accessible(object)->text(QAccessible::Name);
}

class ConfigAccess : public ConfigTest {
protected:
    void TearDown() override
    {
        Forms::mainForm().hide();
        ConfigTest::TearDown();
    }

    void showActive()
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }

    // As right after an input box closed: no window of the program is active.
    static void leaveNoWindowActive()
    {
        QWidget box;
        box.resize(100, 40);
        box.show();
        box.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        box.hide();
        QCoreApplication::processEvents();
        ASSERT_EQ(QApplication::activeWindow(), nullptr);
    }

    // The tab of module m as a screen reader reaches it.
    QAccessibleInterface* moduleTab(int m)
    {
        return accessible(window->SSTab1->tabBar())->child(tabOf(m));
    }

    // The object names the focus passes through when `key` is pressed `steps` times.
    QStringList walk(Qt::Key key, int steps)
    {
        QStringList names;
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), key);
            names << QApplication::focusWidget()->objectName();
        }
        return names;
    }
};

TEST_F(ConfigAccess, EveryActionMakesItsWindowBusyAlsoWithNoWindowActive)
{
    window->show();
    bool enabledDuringACall = false;
    int calls = 0;
    beforeCall = [&](const QString&) {
        ++calls;
        enabledDuringACall = enabledDuringACall || window->isEnabled();
    };
    struct Case {
        const char* name;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"Start", [&] { readUnit("3"); }},
        {"the unit options' Apply",
         [&] {
             window->optFanFail[0]->setChecked(true);
             window->cmdApply_Click();
         }},
        {"a module's Apply",
         [&] {
             window->vsp[1]->setText("12.5");
             window->cmdApplyCLM_Click(tabOf(1));
         }},
        {"Detect Unit ID",
         [&] {
             desktop.queueInputBoxAnswer("1");
             window->cmdDetectUnitID_Click();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        leaveNoWindowActive();
        enabledDuringACall = false;
        calls = 0;
        c.act();
        EXPECT_GT(calls, 0);
        EXPECT_FALSE(enabledDuringACall);
        EXPECT_TRUE(window->isEnabled());
    }
    EXPECT_EQ(window->ReadUnitId, "3");
}

TEST_F(ConfigAccess, TheWindowTakesNoClickUntilTheGroupingDialogIsGone)
{
    readUnit("3");
    window->show();
    bool loading = false;
    bool enabledWhileLoading = true;
    beforeCall = [&](const QString& operation) {
        if (!loading && operation == "GetPresentModules" &&
            LinkInUse::holder() == frmModuleGrouping::LinkHolder) {
            // The dialog talks to the unit before it is up: the title bar's close box now.
            loading = true;
            enabledWhileLoading = window->isEnabled();
            window->close();
        }
    };
    bool stayedWhileShown = false;
    kivo::testsupport::whenModalShows([&](QWidget* dialog) {
        window->close();
        stayedWhileShown = window->isVisible() && window->isLoaded();
        dialog->close();
    });
    QTest::mouseClick(window->cmdModueGrouping, Qt::LeftButton);

    EXPECT_TRUE(loading);
    EXPECT_FALSE(enabledWhileLoading);
    EXPECT_TRUE(stayedWhileShown);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->ReadUnitId, "3");
    EXPECT_TRUE(window->isEnabled());
    EXPECT_FALSE(LinkInUse::taken());

    // Gone, the dialog holds nothing back: the close box unloads again.
    window->close();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ConfigAccess, TheFocusIsBackWhereItWasAfterAnActionUnlessTheActionMovesIt)
{
    showActive();
    readUnit("3");
    struct Case {
        const char* name;
        QAbstractButton* button;
        std::function<void()> before;
        QWidget* focusAfter;
    };
    const Case cases[] = {
        {"Start", window->SelectButton, [] {}, window->SelectButton},
        {"Detect Unit ID", window->cmdDetectUnitID, [&] { desktop.queueInputBoxAnswer("1"); },
         window->cmdDetectUnitID},
        {"Module Groups", window->cmdModueGrouping,
         [] { kivo::testsupport::whenModalShows([](QWidget* dialog) { dialog->close(); }); },
         window->cmdModueGrouping},
        // The unit options' Apply sends the focus to Start itself.
        {"Apply", window->cmdApply, [&] { window->optFanFail[0]->setChecked(true); },
         window->SelectButton},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.before();
        QTest::mouseClick(c.button, Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_EQ(window->focusWidget(), c.focusAfter);
    }
}

TEST_F(ConfigAccess, ARefusedEntryKeepsItsTabInFrontAndNoClickIsDroppedWithoutAWord)
{
    showActive();
    readUnit("3");
    ASSERT_EQ(window->SSTab1->currentIndex(), tabOf(1));
    QLineEdit* field = window->vsp[1];
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "99");
    const QString refusal = "99 is out of range, please enter value between 10 and 14";
    desktop.clear();

    // A button that takes the focus: its press leaves the field, which refuses and says why.
    // The press is answered: the button does not stay down, whether or not its release comes
    // (on a desktop the message box takes it).
    QTest::mousePress(window->Cancel, Qt::LeftButton);
    EXPECT_FALSE(window->Cancel->isDown());
    QTest::mouseRelease(window->Cancel, Qt::LeftButton);
    // One that takes none: the click itself leaves the field, and says so too.
    QTest::mouseClick(window->cmdMonitor, Qt::LeftButton);
    EXPECT_EQ(messageTexts(), QStringList({refusal, refusal}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), field);

    // Every way to another tab leaves the field: the refusal keeps its tab in front.
    desktop.clear();
    QTabBar* tabs = window->SSTab1->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tabOf(3)).center());
    moduleTab(3)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTest::keyClick(field, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(messageTexts(), QStringList({refusal, refusal, refusal}));
    EXPECT_EQ(window->SSTab1->currentIndex(), tabOf(1));
    EXPECT_EQ(QApplication::focusWidget(), field);

    // Another unit picked: the window collapses, and the refusal goes with the unit shown. The
    // field out of sight takes neither the focus nor typed keys, and Start reads.
    desktop.clear();
    window->UnitList->setCurrentText("5");
    window->UnitList_Click();
    EXPECT_FALSE(field->isVisible());
    EXPECT_EQ(window->checks()->refusing(), nullptr);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(focus->isVisible());
    QTest::keyClicks(focus, "7");
    EXPECT_EQ(field->text(), "99");
    ops->clear();
    QTest::mouseClick(window->SelectButton, Qt::LeftButton);
    EXPECT_TRUE(messages().empty()) << messageTexts().join(" | ").toStdString();
    EXPECT_FALSE(takeOps().isEmpty());
    EXPECT_EQ(window->ReadUnitId, "5");
}

TEST_F(ConfigAccess, TabFollowsTheLayoutAndLeavesTheCollapsedWindowForTheUnitList)
{
    showActive();
    window->UnitList->setFocus();
    EXPECT_EQ(
        walk(Qt::Key_Tab, 9),
        QStringList({"SelectButton", "Cancel", "cmdMonitor", "RichTextBox1", "cmdComSettings",
                     "cmdDetectUnitID", "cmdChangeToNewUnitID", "cmdDllFileVersion", "UnitList"}));
    // Back from the last control goes back, not to the unit list.
    window->cmdDllFileVersion->setFocus();
    EXPECT_EQ(walk(Qt::Key_Backtab, 2), QStringList({"cmdChangeToNewUnitID", "cmdDetectUnitID"}));

    // Expanded: the unit options frame by frame, the group and the tabs, then the tab shown. A
    // group of option buttons is one stop, at the option the unit holds.
    readUnit("3");
    window->cmdDllFileVersion->setFocus();
    const QStringList expanded = walk(Qt::Key_Tab, 19);
    EXPECT_EQ(expanded,
              QStringList({"optFanFail(1)", "optOverTemp(1)", "optGlobalDC(1)", "optGlobalOnOff(0)",
                           "optGlobal(0)", "cmdModueGrouping", "qt_tabwidget_tabbar", "vsp(1)",
                           "slrVsp(1)", "hl(1)", "ll(1)", "cmdPreset(1)", "cmdTracking(1)",
                           "optStartupState(1)", "startupdelay(1)", "optPolarity(2)",
                           "OptProgMode(2)", "optCurrentLimit(1)", "UnitList"}));
    for (const QString& name : expanded) {
        if (auto* option = window->findChild<QRadioButton*>(name)) {
            EXPECT_TRUE(option->isChecked()) << name.toStdString();
        }
    }
}

TEST_F(ConfigAccess, AnEmptySlotsTabCannotBeChosenByAnyMeans)
{
    showActive();
    readUnit("3"); // slots 2 and 4 are empty
    QTabBar* tabs = window->SSTab1->tabBar();
    QAccessibleInterface* empty = moduleTab(2);
    EXPECT_EQ(empty->text(QAccessible::Name), "Module-2");
    EXPECT_TRUE(empty->state().disabled);
    EXPECT_FALSE(empty->state().focusable);
    EXPECT_TRUE(empty->actionInterface()->actionNames().isEmpty());

    empty->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tabOf(2)).center());
    tabs->setFocus();
    QTest::keyClick(tabs, Qt::Key_Left);                 // from Module-1 to Module-2 would be left
    EXPECT_EQ(window->SSTab1->currentIndex(), tabOf(3)); // the next available one

    QAccessibleInterface* fitted = moduleTab(1);
    EXPECT_FALSE(fitted->state().disabled);
    EXPECT_EQ(fitted->actionInterface()->actionNames(),
              QStringList{QAccessibleActionInterface::pressAction()});
    fitted->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(window->SSTab1->currentIndex(), tabOf(1));
    EXPECT_TRUE(fitted->state().selected);
}

TEST_F(ConfigAccess, AccessibleActionsActAsTheUsersOwn)
{
    readUnit("3");
    ASSERT_FALSE(window->cmdApply->isEnabled());
    ASSERT_FALSE(window->cmdApplyCLM[tabOf(1)]->isEnabled());

    // A slider move through the value interface is the user's: the set point follows it and
    // the module's Apply is offered.
    accessible(window->slrVsp[1])->valueInterface()->setCurrentValue(125);
    EXPECT_EQ(window->vsp[1]->text(), "12.5");
    EXPECT_TRUE(window->cmdApplyCLM[tabOf(1)]->isEnabled());
    EXPECT_TRUE(G::ModuleSettingEdited);

    // Toggle on an option button or a check box runs its click.
    auto toggle = [](QWidget* control) {
        accessible(control)->actionInterface()->doAction(
            QAccessibleActionInterface::toggleAction());
    };
    toggle(window->optFanFail[0]);
    EXPECT_TRUE(window->optFanFail[0]->isChecked());
    EXPECT_TRUE(G::UnitSettingEdited);
    EXPECT_TRUE(window->cmdApply->isEnabled());
    toggle(window->optStartupState[2]); // module 1 normally off: its delay is unavailable
    EXPECT_FALSE(window->startupdelay[1]->isEnabled());
    toggle(window->optCurrentLimit[2]); // module 1 latching: its reset box shows
    EXPECT_TRUE(window->EnableReset[1]->isVisibleTo(window->ModuleTab[tabOf(1)]));
    window->cmdApplyCLM[tabOf(1)]->setEnabled(false);
    toggle(window->EnableReset[1]);
    EXPECT_TRUE(window->EnableReset[1]->isChecked());
    EXPECT_TRUE(window->cmdApplyCLM[tabOf(1)]->isEnabled());
}

TEST_F(ConfigAccess, EveryControlSaysWhatItIs)
{
    const auto m1 = static_cast<std::size_t>(1);
    const std::pair<QObject*, QString> names[] = {
        {window->hl[m1], "Module Good High Limit:"},
        {window->ll[m1], "Module Good Low Limit:"},
        {window->vsp[m1], "Voltage Setpoint"},
        {window->slrVsp[m1], "Voltage Setpoint"},
        {window->startupdelay[m1], "Startup Delay:"},
        {window->CurrentLimit[m1], "Current Limit:"},
        {window->hscrollCurrentLimit[m1], "Current Limit"},
        {window->txtModuleID[m1], "Module:"},
        {window->txtVersionMajor[m1], "Version:"},
        {window->TxtVersionMinor[m1], "Version: minor"},
        {window->GroupID[m1], "Group:"},
        {window->ModuleTab[tabOf(1)], "Module-1"},
        {window->PSID, "Unit ID:"},
        {window->SerialNumber, "Serial No.:"},
        {window->MajVersion, "Firmware Version:"},
        {window->MinVersion, "Firmware Version: minor"},
        {window->Frame4[0], "Fan Fail"},
        {window->Frame4[1], "Over Temperature"},
        {window->Frame4[2], "Global DC Good"},
        {window->Frame4[3], "Remote On/Off"},
        {window->Frame4[6], "Global"},
        {window->cmdApply, "Apply Global Options"},
        {window->cmdSave, "Apply all"},
        {window->cmdApplyCLM[tabOf(1)], "Apply Module-1"},
        {window->cmdApplyCLM[tabOf(5)], "Apply Module-5"},
        {window->RichTextBox1, "Communication window"},
        {window->cmdMonitor, "Monitor"},
    };
    for (const auto& [control, name] : names) {
        EXPECT_EQ(accessibleName(control), name) << control->objectName().toStdString();
    }
    // The traffic lamps are named after their labels; what else the name says is the lamp's.
    EXPECT_TRUE(accessibleName(window->PellarosTx).startsWith("Tx"));
    EXPECT_TRUE(accessibleName(window->PellarosRx).startsWith("Rx"));

    // A time list is labelled by the label before it, and the field a user types its time into
    // is named by it; every list is named by what it shows, the unit list by what it is for while
    // it shows no unit.
    const std::pair<QComboBox*, QString> lists[] = {
        {window->cboxActivationTime[m1], "Current Limit Delay:"},
        {window->cboxResetTime[m1], "Reset Time:"},
    };
    for (const auto& [list, name] : lists) {
        const auto labels = accessible(list)->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1) << list->objectName().toStdString();
        EXPECT_EQ(labels[0].first->text(QAccessible::Name), name);
        EXPECT_EQ(accessibleName(list->lineEdit()), name) << list->objectName().toStdString();
    }
    EXPECT_EQ(accessibleName(window->UnitList), "Unit ID");
    EXPECT_EQ(kivo::testsupport::comboBoxFaults(window), std::vector<std::string>{});
    window->UnitList->setCurrentIndex(4);
    window->cboxResetTime[m1]->setEditText(QStringLiteral("250"));
    EXPECT_EQ(accessibleName(window->UnitList), "5");
    EXPECT_EQ(accessibleName(window->cboxResetTime[m1]), "250");
    EXPECT_EQ(kivo::testsupport::comboBoxFaults(window), std::vector<std::string>{});
}

} // namespace
