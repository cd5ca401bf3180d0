// Where the keyboard focus is after each of the window's actions, whatever started it, and that
// the next key goes where the user left the focus.
#include "KivoSoft/model/tests/fake_link.h"
#include "KivoSoft/monitor/tests/monitor_fixture.h"
#include "tests/support/eventually.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCoreApplication>
#include <QTest>

#include <algorithm>
#include <functional>
#include <string>

using namespace KivoSoft;
using namespace KivoSoft::testing;

namespace {

using kivo::testsupport::eventually;

class Focus : public ScriptedUnitThree {
protected:
    void SetUp() override
    {
        ScriptedUnitThree::SetUp();
        select(3);
        ASSERT_TRUE(KivoGlobals::UnitSelected) << KivoGlobals::LastErrorText.toStdString();
        showActive();
    }

    int sent(const std::string& prefix) const
    {
        return static_cast<int>(
            std::count_if(fake->calls.begin(), fake->calls.end(),
                          [&](const std::string& call) { return call.rfind(prefix, 0) == 0; }));
    }

    // Lets the window's events run as the event loop does between two keys.
    static void settle()
    {
        for (int i = 0; i < 5; ++i) {
            QTest::qWait(10);
        }
    }
};

std::string nameOf(const QWidget* w)
{
    return w ? w->objectName().toStdString() : "(none)";
}

void pressByScreenReader(QWidget* control)
{
    QAccessible::queryAccessibleInterface(control)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
}

TEST_F(Focus, EveryActionLeavesTheFocusOnTheControlItWasStartedFrom)
{
    struct Case {
        const char* what;
        QWidget* control;
        QWidget* focusAfter;
    };
    // A step applies the new set point, and an apply ends on the slot's apply button.
    const Case cases[] = {
        {"slot 1's switch", form->PellarosOS[1], form->PellarosOS[1]},
        {"the All Outputs switch", form->PellarosOutputOnOff, form->PellarosOutputOnOff},
        {"the select button", form->cmdSelectUnit, form->cmdSelectUnit},
        {"the refresh button", form->cmdRefresh, form->cmdRefresh},
        {"slot 1's apply", form->cmdSetVoltage[1], form->cmdSetVoltage[1]},
        {"slot 1's up arrow", form->cmdInc[1], form->cmdSetVoltage[1]},
        {"slot 1's down arrow", form->cmdDec[1], form->cmdSetVoltage[1]},
    };
    for (const Case& c : cases) {
        for (const char* how : {"Space", "Return", "Press"}) {
            SCOPED_TRACE(std::string(c.what) + " by " + how);
            ASSERT_TRUE(c.control->isEnabled());
            c.control->setFocus(Qt::TabFocusReason);
            ASSERT_TRUE(c.control->hasFocus());
            const std::size_t before = fake->calls.size();
            if (std::string(how) == "Press") {
                pressByScreenReader(c.control);
            } else {
                QTest::keyClick(c.control,
                                std::string(how) == "Space" ? Qt::Key_Space : Qt::Key_Return);
            }
            // A screen reader's press shows the button down for a moment before the click.
            EXPECT_TRUE(eventually([&] { return fake->calls.size() > before; }));
            settle();
            EXPECT_EQ(nameOf(QApplication::focusWidget()), nameOf(c.focusAfter));
        }
    }
}

TEST_F(Focus, ASecondSpaceSwitchesTheSameModuleAgain)
{
    form->PellarosOS[1]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->PellarosOS[1], Qt::Key_Space);
    settle();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    settle();
    // (The scripted unit reports slot 1 on again after each switch.)
    EXPECT_EQ(sent("SetOutputState 3 1 "), 2);
    EXPECT_EQ(sent("SetOutputState 3 3 "), 0);
}

// Back from another window, a click into a set-point box takes the focus there: what is typed
// goes into the box, and Enter applies it.
TEST_F(Focus, AClickIntoASetPointBoxTakesTheFocusAfterTheWindowWasHiddenAndShown)
{
    form->cmdEeprom->setFocus(Qt::TabFocusReason);
    // The configuration window in its place meanwhile.
    form->hide();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    other.hide();
    showActive();
    ASSERT_TRUE(eventually([&] { return form->isActiveWindow(); }));
    QLineEdit* box = form->txtSP[1];
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(nameOf(QApplication::focusWidget()), nameOf(box));
    QTest::mouseDClick(box, Qt::LeftButton);
    EXPECT_EQ(nameOf(QApplication::focusWidget()), nameOf(box));
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("12.5"));
    EXPECT_EQ(box->text(), QStringLiteral("12.5"));
    QTest::keyClick(box, Qt::Key_Return);
    settle();
    EXPECT_EQ(sent("SetOutputVoltageSetpoint 3 1 1250"), 1);
    EXPECT_TRUE(form->isVisible()); // not the configurator button's command
}

} // namespace
