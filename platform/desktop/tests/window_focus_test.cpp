// Where the keyboard focus goes around an action run through the busy state, whatever started it
// (a key, a click, a screen reader's action), and what a window behind a modal window takes.
#include "platform/desktop/busy_state.h"
#include "platform/desktop/let_events_run.h"
#include "platform/desktop/window_focus.h"

#include "tests/support/eventually.h"
#include "tests/support/modal.h"
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QVBoxLayout>
#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <string>

using namespace kivo::desktop;

namespace {

using kivo::testsupport::eventually;

void pressByScreenReader(QWidget* control)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
    ASSERT_NE(iface, nullptr);
    ASSERT_NE(iface->actionInterface(), nullptr);
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

std::string nameOf(const QWidget* w)
{
    return w ? w->objectName().toStdString() : "(none)";
}

// A field and three buttons in a row; the first button's click runs an action the way the
// windows' handlers do: the button disables itself first, then the busy state, events run
// throughout (timers, the events of the window system), and the button comes back at the end.
class FocusAroundActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        field = new QLineEdit(&window);
        field->setObjectName(QStringLiteral("field"));
        layout->addWidget(field);
        for (int i = 0; i < 3; ++i) {
            buttons[i] = new QPushButton(QStringLiteral("Button %1").arg(i), &window);
            buttons[i]->setObjectName(QStringLiteral("button%1").arg(i));
            layout->addWidget(buttons[i]);
        }
        QObject::connect(buttons[0], &QPushButton::clicked, [this] { action(); });
        window.resize(200, 200);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        setEventsRunHook([] { QCoreApplication::processEvents(); });
    }

    void TearDown() override { setEventsRunHook({}); }

    void action()
    {
        ++actions;
        buttons[0]->setEnabled(false);
        busy.set(1, &window);
        pump();
        busy.set(0);
        // The handler goes on after the busy state has ended: its own pumping must not hand the
        // focus on meanwhile.
        pump();
        duringAction();
        pump();
        buttons[0]->setEnabled(true);
    }

    static void pump()
    {
        for (int i = 0; i < 5; ++i) {
            QTest::qSleep(5);
            letEventsRun();
        }
    }

    QWidget window;
    QLineEdit* field = nullptr;
    std::array<QPushButton*, 3> buttons{};
    BusyState busy;
    int actions = 0;
    std::function<void()> duringAction = [] {};
};

TEST_F(FocusAroundActions, TheFocusIsBackWhereTheActionBegan)
{
    struct Case {
        const char* how;
        QWidget* focusBefore;
        std::function<void()> start;
    };
    const Case cases[] = {
        {"Space on the button", buttons[0], [this] { QTest::keyClick(buttons[0], Qt::Key_Space); }},
        {"a click on the button", field, [this] { QTest::mouseClick(buttons[0], Qt::LeftButton); }},
        {"a screen reader's Press", field, [this] { pressByScreenReader(buttons[0]); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        c.focusBefore->setFocus(Qt::TabFocusReason);
        const int before = actions;
        c.start();
        ASSERT_TRUE(eventually([&] { return actions == before + 1; }));
        QTest::qWait(50);
        // A click gives the button the focus; the others leave it where it was.
        QWidget* expected = c.focusBefore == field && std::string(c.how) == "a click on the button"
                                ? buttons[0]
                                : c.focusBefore;
        EXPECT_EQ(nameOf(QApplication::focusWidget()), nameOf(expected));
        EXPECT_TRUE(window.isEnabled());
    }
}

TEST_F(FocusAroundActions, WhatTheUserDoesMeanwhileStands)
{
    struct Case {
        const char* what;
        std::function<void()> act;
        QWidget* focusAfter;
    };
    const Case cases[] = {
        {"a click into the field", [this] { QTest::mouseClick(field, Qt::LeftButton); }, field},
        {"Tab", [this] { QTest::keyClick(&window, Qt::Key_Tab); }, nullptr},
        {"the action's own focus move", [this] { buttons[2]->setFocus(); }, buttons[2]},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        buttons[0]->setFocus(Qt::TabFocusReason);
        QWidget* tabbedTo = nullptr;
        duringAction = [&] {
            c.act();
            tabbedTo = QApplication::focusWidget();
        };
        QTest::keyClick(buttons[0], Qt::Key_Space);
        QTest::qWait(50);
        ASSERT_NE(tabbedTo, nullptr);
        EXPECT_EQ(nameOf(QApplication::focusWidget()),
                  nameOf(c.focusAfter ? c.focusAfter : tabbedTo));
        EXPECT_NE(QApplication::focusWidget(), buttons[0]);
    }
}

TEST_F(FocusAroundActions, AControlGoneForGoodPassesTheFocusOnOnceTheActionIsOver)
{
    // An action started from outside the window (a timer, say) hides the control that has the
    // focus while the window is busy, and lets events run afterwards.
    buttons[1]->setFocus(Qt::TabFocusReason);
    busy.set(1, &window);
    buttons[1]->hide();
    busy.set(0);
    pump();
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
    QTest::qWait(50);
    EXPECT_EQ(nameOf(QApplication::focusWidget()), nameOf(buttons[2]));
}

// A window behind a modal dialog: no click, key or screen-reader action of its controls acts
// while the dialog is up, the dialog's own controls do, and the window has its focus back once
// the dialog has gone.
TEST_F(FocusAroundActions, AWindowBehindAModalDialogTakesNothing)
{
    field->setFocus(Qt::TabFocusReason);
    QDialog dialog(&window);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    bool dialogEnabledWhileUp = false;
    bool windowEnabledWhileUp = true;
    kivo::testsupport::whenModalShows([&](QWidget*) {
        eventually([&] { return !window.isEnabled(); });
        windowEnabledWhileUp = window.isEnabled();
        pressByScreenReader(buttons[0]);
        QTest::qWait(200);
        dialogEnabledWhileUp = dialog.isEnabled();
        pressByScreenReader(ok);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_FALSE(windowEnabledWhileUp);
    EXPECT_TRUE(dialogEnabledWhileUp);
    EXPECT_EQ(actions, 0);
    EXPECT_TRUE(window.isEnabled());
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(nameOf(QApplication::focusWidget()), nameOf(field));

    // Busy when the dialog comes: still busy when it has gone, until the busy state ends.
    busy.set(1, &window);
    kivo::testsupport::whenModalShows([&](QWidget*) { pressByScreenReader(ok); });
    dialog.exec();
    EXPECT_FALSE(window.isEnabled());
    busy.set(0);
    EXPECT_TRUE(window.isEnabled());
}

// A screen reader can open a combo box's list whatever the state of the box; one that takes no
// input does not keep it open, so nothing can be picked from it.
TEST(OutOfUse, TheListOfABoxThatTakesNoInputDoesNotStayOpen)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* box = new QComboBox(&window);
    box->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    layout->addWidget(box);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    int picks = 0;
    QObject::connect(box, &QComboBox::activated, [&] { ++picks; });
    auto open = [&] {
        QAccessible::queryAccessibleInterface(box)->actionInterface()->doAction(
            QAccessibleActionInterface::showMenuAction());
        QTest::qWait(20);
        const bool shown = box->view()->isVisible();
        box->hidePopup();
        return shown;
    };
    EXPECT_TRUE(open()); // in use: it opens
    struct Case {
        const char* state;
        std::function<void(bool)> set;
    };
    const Case cases[] = {
        {"disabled", [&](bool on) { box->setEnabled(!on); }},
        {"hidden", [&](bool on) { box->setVisible(!on); }},
        {"its window busy",
         [&](bool on) {
             on ? static_cast<void>(lockWindow(&window, WindowLock::Busy))
                : unlockWindow(&window, WindowLock::Busy);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        c.set(true);
        EXPECT_FALSE(open());
        c.set(false);
    }
    EXPECT_EQ(picks, 0);
}

// Tab into a group of option buttons lands on the checked one, and Tab from there leaves it.
TEST(OptionGroups, TabLandsOnTheCheckedButtonAndLeavesTheGroup)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* before = new QLineEdit(&window);
    before->setObjectName(QStringLiteral("before"));
    layout->addWidget(before);
    std::array<QRadioButton*, 3> options{};
    for (int i = 0; i < 3; ++i) {
        options[i] = new QRadioButton(QStringLiteral("Option %1").arg(i), &window);
        options[i]->setObjectName(QStringLiteral("option%1").arg(i));
        layout->addWidget(options[i]);
    }
    auto* after = new QPushButton(QStringLiteral("After"), &window);
    after->setObjectName(QStringLiteral("after"));
    layout->addWidget(after);
    options[1]->setChecked(true);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    auto walk = [](QWidget* start, bool back) {
        start->setFocus(Qt::OtherFocusReason);
        std::vector<std::string> seen;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(QApplication::focusWidget(), back ? Qt::Key_Backtab : Qt::Key_Tab,
                            back ? Qt::ShiftModifier : Qt::NoModifier);
            seen.push_back(nameOf(QApplication::focusWidget()));
        }
        return seen;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(walk(before, false), (Names{"option1", "after", "before"}));
    EXPECT_EQ(walk(after, true), (Names{"option1", "before", "after"}));

    // The arrow keys move within the group and choose as they go; Tab then leaves from there.
    options[1]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(options[1], Qt::Key_Down);
    EXPECT_TRUE(options[2]->isChecked());
    EXPECT_EQ(walk(options[2], false), (Names{"after", "before", "option2"}));

    // Nothing checked: Tab enters where the focus left the group last.
    options[2]->setAutoExclusive(false);
    options[2]->setChecked(false);
    options[2]->setAutoExclusive(true);
    EXPECT_EQ(walk(before, false), (Names{"option2", "after", "before"}));
}

} // namespace
