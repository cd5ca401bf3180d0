// The monitor window by keyboard alone and through the accessibility bus: what the compact
// window offers, the tab order, the check boxes and switches worked by any means, the names a
// screen reader reads, ending monitor mode at any moment, the focus after a refused set point,
// and the unit list of a window loaded afresh.
#include "KivoSoft/model/tests/fake_link.h"
#include "KivoSoft/monitor/tests/monitor_fixture.h"
#include "tests/support/access.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCoreApplication>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace KivoSoft;
using namespace KivoSoft::testing;

namespace {

QAccessibleInterface* accessible(QObject* object)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    EXPECT_NE(iface, nullptr) << object->objectName().toStdString();
    return iface;
}

QString nameOf(QObject* object)
{
    return accessible(object)->text(QAccessible::Name);
}

class Keyboard : public ScriptedUnitThree {
protected:
    void TearDown() override
    {
        kivo::desktop::setEventsRunHook({});
        ScriptedUnitThree::TearDown();
    }

    void selectShown()
    {
        select(3);
        ASSERT_TRUE(KivoGlobals::UnitSelected) << KivoGlobals::LastErrorText.toStdString();
        showActive();
    }

    // Where the focus goes on `steps` presses of Tab (or Shift+Tab), from `start`.
    std::vector<QWidget*> walk(QWidget* start, std::size_t steps, bool back = false)
    {
        std::vector<QWidget*> visited =
            kivo::testsupport::tabWalk(start, static_cast<int>(steps), back);
        visited.erase(visited.begin());
        return visited;
    }

    int opens() const { return fake->opens; }
};

QStringList names(const std::vector<QWidget*>& widgets)
{
    QStringList list;
    for (QWidget* w : widgets) {
        list << (!w                          ? QStringLiteral("(none)")
                 : w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                             : w->objectName());
    }
    return list;
}

TEST_F(Keyboard, TheCompactWindowOffersOnlyTheUnitSelectionArea)
{
    showActive();
    const QRect compact = form->rect();
    auto offered = [&] {
        std::vector<QWidget*> outside;
        for (QWidget* w : form->findChildren<QWidget*>()) {
            // The picture boxes behind the areas are backgrounds, not controls.
            if (w->objectName().startsWith("Picture1")) {
                continue;
            }
            const QRect where(w->mapTo(form, QPoint(0, 0)), w->size());
            if (w->isVisible() && !compact.contains(where)) {
                outside.push_back(w);
            }
        }
        return outside;
    };
    // Nothing outside the window is there for the keyboard or for a screen reader.
    EXPECT_TRUE(offered().empty()) << names(offered()).join(' ').toStdString();
    EXPECT_TRUE(accessible(form->Check1)->state().invisible);
    EXPECT_TRUE(accessible(form->PellarosOS[1])->state().invisible);
    for (const bool back : {false, true}) {
        for (QWidget* w : walk(form->UnitList, 20, back)) {
            ASSERT_NE(w, nullptr);
            EXPECT_TRUE(compact.contains(QRect(w->mapTo(form, QPoint(0, 0)), w->size())))
                << w->objectName().toStdString();
        }
    }
    // Space on the unseen monitor-mode box can reach nothing.
    form->Check1->setFocus();
    EXPECT_FALSE(form->Check1->hasFocus());

    // A unit read shows the rest; a reload takes it away again.
    select(3);
    EXPECT_TRUE(form->Check1->isVisible());
    EXPECT_TRUE(form->PellarosOS[1]->isVisible());
    EXPECT_FALSE(form->PellarosGroupOnOff->isVisible()); // hidden at every load, still
    form->UnitList_Click();
    EXPECT_FALSE(form->Check1->isVisible());
    EXPECT_TRUE(offered().empty()) << names(offered()).join(' ').toStdString();
}

TEST_F(Keyboard, TabWalksTheWindowInItsLayoutOrderBothWays)
{
    selectShown();
    // Top to bottom and left to right: the selection area and the unit column, each module panel
    // in slot order, then monitoring. What is hidden or disabled is passed by.
    std::vector<QWidget*> layout{form->UnitList,
                                 form->cmdSelectUnit,
                                 form->cmdRefresh,
                                 form->cmdEeprom,
                                 form->cmdComSettings,
                                 form->cmdHelp,
                                 form->cmdModuleNumering,
                                 form->cmdErrorfile,
                                 form->cmdClose,
                                 form->PellarosOutputOnOff,
                                 form->PellarosGroupOnOff,
                                 form->GOutputBtn,
                                 form->GroupBtn};
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        layout.insert(layout.end(), {form->PellarosOS[i], form->txtSP[i], form->cmdDec[i],
                                     form->cmdInc[i], form->cmdSetVoltage[i]});
    }
    layout.insert(layout.end(), {form->Check1, form->Combo1, form->Check2, form->txtFileName,
                                 form->cmdClear, form->RichTextBox1});
    std::vector<QWidget*> expected;
    std::copy_if(layout.begin(), layout.end(), std::back_inserter(expected),
                 [](QWidget* w) { return w->isVisible() && w->isEnabled(); });
    ASSERT_GE(expected.size(), 20u);
    // Each slot that has a module offers its switch and its set-point controls.
    EXPECT_NE(std::find(expected.begin(), expected.end(), form->PellarosOS[3]), expected.end());

    std::vector<QWidget*> forward(expected.begin() + 1, expected.end());
    forward.push_back(expected.front());
    EXPECT_EQ(names(walk(expected.front(), forward.size())), names(forward));

    std::vector<QWidget*> backward(expected.rbegin(), expected.rend());
    EXPECT_EQ(names(walk(expected.front(), backward.size(), true)), names(backward));
    // Passing through the set-point boxes sends nothing and says nothing.
    EXPECT_TRUE(std::none_of(fake->calls.begin(), fake->calls.end(), [](const std::string& c) {
        return c.rfind("SetOutputVoltageSetpoint", 0) == 0;
    }));
    EXPECT_TRUE(messages().empty());
}

TEST_F(Keyboard, TheFocusRulesOfTheTwoButtonsLeaveTheTabKeyAlone)
{
    showActive();
    // Compact: Tab goes on from the port button; a focus taken elsewhere by other means still
    // comes back to the unit list.
    form->cmdComSettings->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(form->cmdComSettings, Qt::Key_Tab);
    EXPECT_TRUE(form->cmdHelp->hasFocus());
    form->cmdComSettings->setFocus(Qt::OtherFocusReason);
    form->cmdClose->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(form->UnitList->hasFocus());

    // The configurator button: Shift+Tab goes back to the refresh button (offered once a unit is
    // selected); another way out goes to the select button.
    selectShown();
    form->cmdEeprom->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(form->cmdEeprom, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(form->cmdRefresh->hasFocus());
    form->cmdEeprom->setFocus(Qt::OtherFocusReason);
    form->cmdClose->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(form->cmdSelectUnit->hasFocus());
}

// The four ways a check box changes value; each is to run the box's handler once.
struct Means {
    const char* name;
    std::function<void(QCheckBox*)> change;
};

const Means kMeans[] = {
    {"mouse", [](QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton); }},
    {"Space", [](QCheckBox* box) { QTest::keyClick(box, Qt::Key_Space); }},
    {"accessible Toggle",
     [](QCheckBox* box) {
         // The call is answered first; the box changes, and its handler runs, right after.
         const bool was = box->isChecked();
         accessible(box)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
         EXPECT_EQ(box->isChecked(), was);
         QCoreApplication::processEvents();
     }},
    {"code", [](QCheckBox* box) { box->setChecked(!box->isChecked()); }},
};

TEST_F(Keyboard, CheckBoxesRunTheirHandlerOnceWhateverChangesTheirValue)
{
    selectShown();
    // One refresh opens the port this many times.
    const int before = opens();
    form->cmdRefresh_Click();
    const int perRefresh = opens() - before;
    ASSERT_GT(perRefresh, 0);

    for (const Means& means : kMeans) {
        SCOPED_TRACE(means.name);
        // Into monitor mode: one mode switch, one refresh.
        int at = opens();
        means.change(form->Check1);
        EXPECT_TRUE(form->Check1->isChecked());
        EXPECT_TRUE(form->Timer2->isActive());
        EXPECT_EQ(form->windowTitle(), MonitorForm::MonitorCaption);
        EXPECT_EQ(opens() - at, perRefresh);
        // Out of it: four pauses, one refresh.
        pauses.clear();
        at = opens();
        means.change(form->Check1);
        EXPECT_FALSE(form->Check1->isChecked());
        EXPECT_FALSE(form->Timer2->isActive());
        EXPECT_EQ(form->windowTitle(), MonitorForm::InteractiveCaption);
        EXPECT_EQ(pauses, (std::vector<double>{0.1, 0.1, 0.1, 0.1}));
        EXPECT_EQ(opens() - at, perRefresh);

        // Autosave with a name it refuses: one check, one message, the box cleared again.
        desktop.clear();
        form->txtFileName->setText("log");
        means.change(form->Check2);
        EXPECT_EQ(messageTexts(),
                  QStringList{"Invalid log file name or path.\r\nYou can specify only text or csv "
                              "files to log power supply status."});
        EXPECT_FALSE(form->Check2->isChecked());
        EXPECT_TRUE(form->txtFileName->isEnabled());
        // With a name it takes, the box stays and the name is locked.
        desktop.clear();
        form->txtFileName->setText("data.csv");
        means.change(form->Check2);
        EXPECT_TRUE(messages().empty());
        EXPECT_TRUE(form->Check2->isChecked());
        EXPECT_FALSE(form->txtFileName->isEnabled());
        means.change(form->Check2);
        EXPECT_FALSE(form->Check2->isChecked());
        EXPECT_TRUE(form->txtFileName->isEnabled());
    }

    // Closing sets both boxes back without running either handler.
    form->Check1->setChecked(true);
    form->Check2->setChecked(true);
    pauses.clear();
    desktop.clear();
    const int at = opens();
    form->cmdClose_Click();
    EXPECT_FALSE(form->Check1->isChecked());
    EXPECT_FALSE(form->Check2->isChecked());
    EXPECT_EQ(opens(), at);
    EXPECT_TRUE(pauses.empty());
    EXPECT_TRUE(messages().empty());
}

TEST_F(Keyboard, EndingMonitorModeDuringATickTakesEffectAtOnce)
{
    selectShown();
    QTest::mouseClick(form->Check1, Qt::LeftButton);
    ASSERT_TRUE(form->Timer2->isActive());
    KivoGlobals::LogPeriodSeconds = 5;
    form->Timer2->setInterval(5000);
    KivoGlobals::LogElapsedMs = 0;

    // The click comes while the tick's read has the port.
    bool clicked = false;
    bool usable = false;
    bool unitButtonsWait = false;
    bool stoppedAtOnce = false;
    bool modeStillOn = false;
    kivo::desktop::setEventsRunHook([&] {
        if (!clicked && LinkInUse::holder() == "MonitorForm.Timer2" && form->Busy) {
            clicked = true;
            usable = form->isEnabled() && form->Check1->isEnabled();
            unitButtonsWait = !form->GOutputBtn->isEnabled() && !form->GroupBtn->isEnabled();
            QTest::mouseClick(form->Check1, Qt::LeftButton);
            stoppedAtOnce = !form->Timer2->isActive() && !form->Check1->isChecked();
            modeStillOn = form->windowTitle() == MonitorForm::MonitorCaption;
        }
        QCoreApplication::processEvents();
    });
    pauses.clear();
    form->Timer2_Timer();
    kivo::desktop::setEventsRunHook({});
    ASSERT_TRUE(clicked);
    EXPECT_TRUE(usable);
    EXPECT_TRUE(unitButtonsWait); // they would start an action of their own
    EXPECT_TRUE(stoppedAtOnce);
    EXPECT_TRUE(modeStillOn); // the tick finished its work first

    // As soon as the tick ended, the rest of the switch ran.
    EXPECT_FALSE(form->Check1->isChecked());
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_EQ(form->windowTitle(), MonitorForm::InteractiveCaption);
    EXPECT_EQ(pauses, (std::vector<double>{0.1, 0.1, 0.1, 0.1}));
    EXPECT_TRUE(form->cmdRefresh->isEnabled());
    EXPECT_TRUE(form->cmdClose->isEnabled());
    EXPECT_TRUE(form->PellarosOS[1]->isEnabled());
    EXPECT_TRUE(form->GOutputBtn->isEnabled());
    EXPECT_FALSE(LinkInUse::taken());
}

TEST_F(Keyboard, EndingMonitorModeWhileAnotherWindowHasThePortWaitsForIt)
{
    selectShown();
    form->Check1->setChecked(true);
    ASSERT_TRUE(form->Timer2->isActive());
    auto* retry = form->findChild<QTimer*>("LeaveRetry");
    ASSERT_NE(retry, nullptr);
    {
        LinkInUse elsewhere(QStringLiteral("SupplyConfig.SelectButton"));
        form->Check1->setChecked(false);
        EXPECT_FALSE(form->Timer2->isActive());
        EXPECT_FALSE(form->Check1->isChecked());
        EXPECT_EQ(form->windowTitle(), MonitorForm::MonitorCaption);
        EXPECT_TRUE(retry->isActive());
        // Ticking the box again meanwhile cannot start the mode anew: it stays as it was left.
        form->Check1->setChecked(true);
        EXPECT_FALSE(form->Check1->isChecked());
        form->finishLeavingMonitorMode(); // the retry, still too early
        EXPECT_EQ(form->windowTitle(), MonitorForm::MonitorCaption);
        EXPECT_FALSE(form->cmdRefresh->isEnabled()); // the commands stay locked meanwhile
    }
    form->finishLeavingMonitorMode(); // the retry, once the port is free
    EXPECT_EQ(form->windowTitle(), MonitorForm::InteractiveCaption);
    EXPECT_FALSE(retry->isActive());
    EXPECT_TRUE(form->cmdRefresh->isEnabled());
    EXPECT_FALSE(form->Timer2->isActive());
}

TEST_F(Keyboard, TheOutputSwitchesWorkFromTheKeyboardAndThePressAction)
{
    selectShown();
    auto sent = [&](const std::string& call) {
        return std::count(fake->calls.begin(), fake->calls.end(), call);
    };
    PellarosPushButton* module1 = form->PellarosOS[1];
    module1->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(module1->hasFocus());
    QTest::keyClick(module1, Qt::Key_Space);
    EXPECT_EQ(sent("SetOutputState 3 1 0"), 1);

    accessible(module1)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(sent("SetOutputState 3 1 1"), 0); // the call is answered first
    QCoreApplication::processEvents();
    EXPECT_EQ(sent("SetOutputState 3 1 1") + sent("SetOutputState 3 1 0"), 2);

    // All outputs, by Enter.
    form->PellarosOutputOnOff->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->PellarosOutputOnOff, Qt::Key_Return);
    EXPECT_EQ(sent("SetGlobalOutputState 3 0"), 1);

    // In monitor mode the switches are locked: no key and no action reaches the unit.
    form->Check1->setChecked(true);
    fake->calls.clear();
    QTest::keyClick(form->PellarosOS[3], Qt::Key_Space);
    accessible(form->PellarosOS[3])
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_EQ(sent("SetOutputState 3 3 0") + sent("SetOutputState 3 3 1"), 0);
    EXPECT_FALSE(accessible(form->PellarosOS[3])
                     ->actionInterface()
                     ->actionNames()
                     .contains(QAccessibleActionInterface::pressAction()));
}

TEST_F(Keyboard, AScreenReaderTellsEveryControlApartAndReadsWhatItShows)
{
    select(3);
    ASSERT_TRUE(KivoGlobals::UnitSelected);

    // The same control of each slot has a name of its own that says the slot.
    std::set<QString> seen;
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const QString module = QStringLiteral("Module %1 ").arg(k);
        EXPECT_EQ(nameOf(form->s[i]), QStringLiteral("Slot %1").arg(k));
        for (QWidget* w : std::initializer_list<QWidget*>{
                 form->MMessage[i], form->PellarosMG[i], form->PellarosOS[i],
                 form->PellarosDisplay[i], form->PellarosDisplayCurr[i], form->txtSP[i],
                 form->cmdDec[i], form->cmdInc[i], form->cmdSetVoltage[i], form->RV[i], form->RC[i],
                 form->GID[i], form->VLL[i], form->VLH[i], form->CL[i]}) {
            const QString name = nameOf(w);
            EXPECT_TRUE(name.startsWith(module)) << name.toStdString();
            EXPECT_TRUE(seen.insert(name).second) << name.toStdString();
        }
    }
    EXPECT_EQ(nameOf(form->txtSP[2]), "Module 2 set point");
    EXPECT_EQ(nameOf(form->RV[4]), "Module 4 Volt. Range");

    // What each one shows, as it changes.
    const QString sep = kivo::basic::programDecimalSeparator;
    EXPECT_EQ(accessible(form->PellarosDisplay[1])->text(QAccessible::Value), "12" + sep + "00");
    QAccessibleTextInterface* volts = accessible(form->PellarosDisplay[1])->textInterface();
    ASSERT_NE(volts, nullptr);
    EXPECT_EQ(volts->text(0, volts->characterCount()), "12" + sep + "00");
    EXPECT_EQ(accessible(form->PellarosDisplayCurr[3])->text(QAccessible::Value), "5" + sep + "00");
    EXPECT_EQ(nameOf(form->PellarosDisplay[1]), "Module 1 voltmeter: 12" + sep + "00");
    EXPECT_EQ(nameOf(form->PellarosMG[1]), "Module 1 good: Yes");
    EXPECT_EQ(nameOf(form->PellarosMG[2]), "Module 2 good: No");
    EXPECT_TRUE(accessible(form->PellarosOS[1])->state().checked);
    EXPECT_EQ(nameOf(form->MMessage[1]), "Module 1 status: Module Good");
    EXPECT_EQ(nameOf(form->MMessage[2]), "Module 2 status: Not Present");
    EXPECT_EQ(nameOf(form->RV[1]), "Module 1 Volt. Range");
    QAccessibleTextInterface* range = accessible(form->RV[1])->textInterface();
    EXPECT_EQ(range->text(0, range->characterCount()), form->RV[1]->text());

    // The unit's lamps and switch are named by their labels.
    struct Lamp {
        PellarosBigSquareLed* led;
        const char* name;
    };
    for (const Lamp& lamp :
         {Lamp{form->PellarosACFail, "AC Fail"}, Lamp{form->PellarosFanFail, "Fan Warning"},
          Lamp{form->PellarosOverTemp, "Over Temp"}, Lamp{form->PellarosGlobalDC, "Global DC"},
          Lamp{form->PellarosErrorPicture, "General Status Indicator"}}) {
        const QString state = lamp.led->Status() ? "Ok" : "Fail";
        EXPECT_EQ(nameOf(lamp.led), lamp.name + (": " + state));
        EXPECT_EQ(accessible(lamp.led)->text(QAccessible::Value), state);
    }
    EXPECT_EQ(nameOf(form->PellarosOutputOnOff), "All Outputs");
    // A list is named by the item it shows, and says what it is for.
    EXPECT_EQ(nameOf(form->UnitList), "3");
    EXPECT_EQ(nameOf(form->Combo1), "5   Sec.");
    EXPECT_EQ(kivo::testsupport::comboBoxFaults(form), std::vector<std::string>{});
    EXPECT_EQ(nameOf(form->OH), "Operating Hours");
    EXPECT_EQ(nameOf(form->Frame7), "Unit status");

    // The two unit buttons, both captioned "Off", by their frame and the caption as it changes.
    EXPECT_EQ(nameOf(form->GOutputBtn), "Global Output Off");
    EXPECT_EQ(nameOf(form->GroupBtn), "Group Off");
    form->GOutputBtn_Click();
    EXPECT_EQ(nameOf(form->GOutputBtn), "Global Output OFF");

    // And every control a user can work or read has a name (a list's own parts are Qt's).
    const auto inList = [](const QWidget* w) {
        for (const QWidget* up = w->parentWidget(); up; up = up->parentWidget()) {
            if (qobject_cast<const QComboBox*>(up)) {
                return true;
            }
        }
        return false;
    };
    for (QWidget* w : form->findChildren<QWidget*>()) {
        const bool works = w->focusPolicy() != Qt::NoFocus;
        const bool reads = qobject_cast<TwoPictureIndicator*>(w) ||
                           qobject_cast<KivoSoft::PellarosDisplay*>(w) ||
                           qobject_cast<QLineEdit*>(w);
        if ((works || reads) && w->parentWidget() && !inList(w)) {
            EXPECT_FALSE(nameOf(w).isEmpty()) << w->objectName().toStdString();
        }
    }
}

TEST_F(Keyboard, ARefusedSetPointLeftByTheMouseKeepsTheFocusWithItsTextSelected)
{
    selectShown();
    QLineEdit* box = form->txtSP[1];
    box->setFocus(Qt::OtherFocusReason);
    box->setText("1");
    desktop.clear();
    QTest::mouseClick(form->txtSP[3], Qt::LeftButton);
    EXPECT_EQ(messageTexts(), QStringList{"1 is Invalid Voltage Setpoint Value!, Should be between "
                                          "10 and 14"});
    EXPECT_TRUE(box->hasFocus());
    EXPECT_EQ(box->selectedText(), box->text());
    EXPECT_EQ(box->text(), "1" + kivo::basic::programDecimalSeparator + "00");

    // As Enter does.
    box->setText("15");
    box->deselect();
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_TRUE(box->hasFocus());
    EXPECT_EQ(box->selectedText(), box->text());
}

// Also for a screen reader: the list, where unit 3 was picked, marks the first unit again.
TEST_F(Keyboard, AWindowLoadedAfreshOffersTheFirstUnit)
{
    showActive();
    QComboBox* units = form->UnitList;
    QTest::keyClick(units, Qt::Key_F4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return units->view()->isVisible(); }));
    units->view()->setCurrentIndex(units->model()->index(2, 0));
    QTest::keyClick(units->view(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !units->view()->isVisible(); }));
    ASSERT_EQ(units->currentText(), "3");
    form->cmdSelectUnit_Click();
    ASSERT_TRUE(KivoGlobals::UnitSelected);

    form->cmdClose_Click();
    form->show();
    EXPECT_EQ(form->UnitList->currentText(), "1");
    EXPECT_EQ(kivo::testsupport::comboBoxFaults(form), std::vector<std::string>{});
    // A reload from the list keeps what was picked there.
    form->UnitList->setCurrentIndex(4);
    form->UnitList_Click();
    EXPECT_EQ(form->UnitList->currentText(), "5");
    EXPECT_EQ(form->UnitList->count(), 32);
    EXPECT_EQ(kivo::testsupport::comboBoxFaults(form), std::vector<std::string>{});
}

} // namespace
