// The checks of a window's entry fields on their own: how often one leave of a field runs its
// check and its focus-lost step when an action takes the focus away and gives it back, at once
// or only once the action has returned.
#include "KivoSoft/config/FieldChecks.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using KivoSoft::FieldChecks;

namespace {

// A window with two checked fields and two buttons. The field's check and step count their runs;
// Apply is guarded, and its action makes the window busy as a write does.
class FieldChecksTest : public ::testing::Test {
protected:
    // How the action's busy state ends.
    enum class Busy {
        FocusBackAtOnce,       // the field gets the focus back as the window takes input again
        FocusBackOnceReturned, // ... only once the action has returned
    };

    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        for (QWidget* control : std::initializer_list<QWidget*>{field, other, apply, start}) {
            layout->addWidget(control);
        }
        checks = new FieldChecks(&window);
        checks->add(
            field,
            [this] {
                ++checked;
                return field->text() != "bad";
            },
            [this] { ++stepped; });
        checks->add(other, [] { return true; });
        checks->guardClick(apply, [this] { act(); });
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    void act()
    {
        QWidget* had = window.focusWidget();
        window.setEnabled(false); // takes the focus from the field
        window.setEnabled(true);
        if (busy == Busy::FocusBackAtOnce) {
            had->setFocus(Qt::OtherFocusReason);
        } else {
            QTimer::singleShot(0, &window, [this, had] {
                if (!window.focusWidget()) {
                    had->setFocus(Qt::OtherFocusReason);
                }
            });
        }
        if (moveFocus) {
            start->setFocus();
        }
    }

    // The field holds `text` and the focus; nothing has run yet.
    void editField(const char* text)
    {
        field->setFocus();
        ASSERT_TRUE(field->hasFocus());
        field->setText(text);
        checked = stepped = 0;
    }

    // Apply clicked without the focus moving (as by its mnemonic), then every event run.
    void applyInPlace()
    {
        apply->click();
        QTest::qWait(20);
    }

    QWidget window;
    QLineEdit* field = new QLineEdit;
    QLineEdit* other = new QLineEdit;
    QPushButton* apply = new QPushButton("Apply");
    QPushButton* start = new QPushButton("Start");
    FieldChecks* checks = nullptr;
    Busy busy = Busy::FocusBackAtOnce;
    bool moveFocus = true;
    int checked = 0;
    int stepped = 0;
};

TEST_F(FieldChecksTest, OneLeaveRunsOnceWhenTheFocusComesBackAtOnceOrLater)
{
    struct Case {
        const char* what;
        Busy busy;
        bool moveFocus; // the action sends the focus to Start
        std::function<void()> then;
    };
    const Case cases[] = {
        {"at once, the action moving it", Busy::FocusBackAtOnce, true, [] {}},
        {"later, the action moving it", Busy::FocusBackOnceReturned, true,
         [this] { applyInPlace(); }}, // Apply again, the field not edited
        {"at once, then Tab", Busy::FocusBackAtOnce, false,
         [this] { QTest::keyClick(field, Qt::Key_Tab); }},
        {"later, then a click elsewhere", Busy::FocusBackOnceReturned, false,
         [this] { QTest::mouseClick(other, Qt::LeftButton); }},
        {"at once, then Apply again", Busy::FocusBackAtOnce, false, [this] { applyInPlace(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        busy = c.busy;
        moveFocus = c.moveFocus;
        editField("good");
        applyInPlace();
        c.then();
        QTest::qWait(20);
        EXPECT_EQ(checked, 1);
        EXPECT_EQ(stepped, 1);
    }
}

TEST_F(FieldChecksTest, AFieldEditedOrEnteredAgainAfterItsLeaveIsCheckedAgain)
{
    struct Case {
        const char* what;
        bool moveFocus; // the action sends the focus to Start, the focus coming back later
        std::function<void()> again;
        int checks, steps; // at the leave that follows
    };
    const Case cases[] = {
        {"a new value", false, [this] { field->setText("better"); }, 1, 1},
        {"the same value typed again", false,
         [this] {
             field->selectAll();
             QTest::keyClicks(field, "good");
         },
         1, 1},
        {"a value that may not stand", false, [this] { field->setText("bad"); }, 1, 0},
        {"entered again by Shift+Tab, unedited", true,
         [this] {
             for (int i = 0; i < 3; ++i) {
                 QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
             }
         },
         1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        busy = c.moveFocus ? Busy::FocusBackOnceReturned : Busy::FocusBackAtOnce;
        moveFocus = c.moveFocus;
        editField("good");
        applyInPlace();
        ASSERT_EQ(checked, 1);
        c.again();
        ASSERT_TRUE(field->hasFocus());
        checked = stepped = 0;
        QTest::mouseClick(other, Qt::LeftButton);
        EXPECT_EQ(checked, c.checks);
        EXPECT_EQ(stepped, c.steps);
        if (checks->refusing() == field) {
            // Refused: the field keeps the focus until its value may stand.
            EXPECT_TRUE(field->hasFocus());
            field->setText("good");
        }
        other->setFocus();
        EXPECT_TRUE(other->hasFocus());
    }
}

} // namespace
