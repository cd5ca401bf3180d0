#include "KivoSoft/controls/ControlPictures.h"
#include "KivoSoft/controls/PellarosDisplay.h"
#include "KivoSoft/controls/Twips.h"
#include "platform/basic/basic.h"
#include "platform/desktop/let_events_run.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <ostream>
#include <utility>

using namespace KivoSoft;
using namespace KivoSoft::ControlPictures;
using kivo::basic::programDecimalSeparator;
using kivo::desktop::eventsRunCount;
using kivo::desktop::setEventsRunHook;

namespace {

// The five positions as text: a digit, "." for the separator picture, "B" for the blank, "?" for
// a picture of the other style or the initial blank.
QString shown(const PellarosDisplay& display, int offset = 0)
{
    QStringList tokens;
    for (int position = 1; position <= PellarosDisplay::Positions; ++position) {
        const int inSet = display.pictureAt(position) - offset;
        if (inSet >= 1 && inSet <= 9) {
            tokens << QString::number(inSet);
        } else if (inSet == ZeroInSet) {
            tokens << "0";
        } else if (inSet == BlankInSet) {
            tokens << "B";
        } else if (inSet == SeparatorInSet) {
            tokens << ".";
        } else {
            tokens << "?";
        }
    }
    return tokens.join(' ');
}

class Display : public ::testing::Test {
protected:
    void SetUp() override { programDecimalSeparator = "."; }
    void TearDown() override { setEventsRunHook({}); }

    PellarosDisplay display;
};

TEST_F(Display, StartsWithFiveOliveBlanksOnItsPanel)
{
    EXPECT_EQ(display.strValue(), "");
    EXPECT_EQ(display.intDigitsType(), 0);
    EXPECT_EQ(display.Picture1()->geometry(), QRect(0, 0, twipsToPixels(1335), twipsToPixels(555)));
    EXPECT_EQ(display.Picture1()->picture(), &displayPanelPicture());
    const int lefts[] = {30, 270, 510, 750, 990};
    for (int position = 1; position <= 5; ++position) {
        SCOPED_TRACE(position);
        EXPECT_EQ(display.pictureAt(position), 0);
        EXPECT_EQ(display.Image1(position)->picture(), &initialDigitPicture());
        EXPECT_EQ(
            display.Image1(position)->geometry(),
            QRect(twipsToPixels(lefts[position - 1]), 0, twipsToPixels(240), twipsToPixels(480)));
    }
}

struct TextCase {
    const char* separator;
    const char* text;
    const char* positions;
};

void PrintTo(const TextCase& c, std::ostream* out)
{
    *out << '"' << c.text << "\" with separator \"" << c.separator << '"';
}

class DisplayText : public Display, public ::testing::WithParamInterface<TextCase> {};

TEST_P(DisplayText, DrawsTheFivePositions)
{
    const TextCase& c = GetParam();
    programDecimalSeparator = c.separator;
    // Something else first, so a position that kept its old picture would show.
    display.TextValue(1, "88888");
    EXPECT_EQ(display.TextValue(1, c.text), 0);
    EXPECT_EQ(shown(display), c.positions);
    EXPECT_EQ(display.strValue(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DisplayText,
    ::testing::Values(
        // The worked examples.
        TextCase{".", "7", "B B B B 7"}, TextCase{".", "0", "B B B B 0"},
        TextCase{".", "12.35", "1 2 . 3 5"}, TextCase{".", "3.5", "B B 3 . 5"},
        TextCase{".", "0.05", "B 0 . 0 5"}, TextCase{".", "1000", "B 1 0 0 0"},
        TextCase{".", "0.25", "B 0 . 2 5"}, TextCase{".", "00.00", "B 0 . 0 0"},
        TextCase{".", "0000", "B B B B 0"}, TextCase{".", "10.0", "B 1 0 . 0"},
        TextCase{",", "12,35", "1 2 . 3 5"}, TextCase{",", "3,5", "B B 3 . 5"},
        TextCase{",", "0,05", "B 0 . 0 5"},
        // Only the user's separator is one; anything else that is no digit draws blank.
        TextCase{",", "3.5", "B B 3 B 5"}, TextCase{".", "3,5", "B B 3 B 5"},
        TextCase{".", "-0.5", "B B 0 . 5"}, TextCase{".", "-0.02", "B 0 . 0 2"},
        TextCase{".", "-12", "B B B 1 2"}, TextCase{".", "1 2", "B B 1 B 2"},
        TextCase{".", "abc", "B B B B B"}, TextCase{".", "", "B B B B B"},
        // A long text loses decimals, never integer digits.
        TextCase{".", "100.25", "1 0 0 . 2"}, TextCase{".", "123.40", "1 2 3 . 4"},
        TextCase{".", "99.999", "9 9 . 9 9"}, TextCase{".", "1234.5", "B 1 2 3 4"},
        TextCase{".", "12345.67", "1 2 3 4 5"}, TextCase{",", "100,25", "1 0 0 . 2"},
        TextCase{".", "-100.25", "B B 1 0 0"},
        // ... and when the integer part alone does not fit, nothing is shown.
        TextCase{".", "123456", "B B B B B"}, TextCase{".", "123456.7", "B B B B B"},
        TextCase{",", "100.25", "B B B B B"}));

TEST_F(Display, StyleTwoDrawsWithTheSecondSetAndEveryOtherStyleWithTheFirst)
{
    struct StyleCase {
        short style;
        int offset;
    };
    for (const StyleCase& c :
         {StyleCase{2, 12}, StyleCase{0, 0}, StyleCase{1, 0}, StyleCase{3, 0}, StyleCase{-1, 0}}) {
        SCOPED_TRACE(c.style);
        display.TextValue(c.style, "12.35");
        EXPECT_EQ(shown(display, c.offset), "1 2 . 3 5");
        EXPECT_EQ(display.intDigitsType(), c.style);
        display.TextValue(c.style, "");
        EXPECT_EQ(shown(display, c.offset), "B B B B B");
    }
    display.TextValue(2, "0.25");
    for (int position = 1; position <= 5; ++position) {
        EXPECT_EQ(display.Image1(position)->picture(), &digitPicture(display.pictureAt(position)));
    }
}

TEST_F(Display, WritingTheValuesChangesNoPicture)
{
    display.TextValue(2, "12.35");
    display.setStrValue("99.99");
    display.setProperty("intDigitsType", 1);
    EXPECT_EQ(display.strValue(), "99.99");
    EXPECT_EQ(display.intDigitsType(), 1);
    EXPECT_EQ(shown(display, 12), "1 2 . 3 5");
    EXPECT_TRUE(display.setProperty("strValue", "0.5"));
    EXPECT_EQ(shown(display, 12), "1 2 . 3 5");
    // The next call overwrites both.
    display.TextValue(2, "3.5");
    EXPECT_EQ(display.strValue(), "3.5");
    EXPECT_EQ(display.intDigitsType(), 2);
}

TEST_F(Display, IsCalledByName)
{
    int result = -1;
    ASSERT_TRUE(QMetaObject::invokeMethod(&display, "TextValue", Q_RETURN_ARG(int, result),
                                          Q_ARG(short, 2), Q_ARG(QString, "3.5")));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(shown(display, 12), "B B 3 . 5");
    EXPECT_EQ(display.property("strValue"), QVariant("3.5"));
}

TEST_F(Display, LetsEventsRunAfterEachCharacterAndEachPosition)
{
    for (const char* text : {"12.35", "", "123456"}) {
        const auto before = eventsRunCount();
        display.TextValue(1, text);
        EXPECT_EQ(eventsRunCount() - before, 10u) << text;
    }
}

// A click or timer that draws again while a call lets events run: the nested call draws all five
// positions, the outer one then goes on with its own characters, and strValue names the text of
// the call that drew last.
TEST_F(Display, ANestedCallDrawsCompletelyAndStrValueFollowsTheLastDrawing)
{
    struct NestedCase {
        int atRun; // the outer call's event run (1..10) during which the nested call comes
        const char* positions;
        const char* strValue;
    };
    const NestedCase cases[] = {
        {3, "1 2 . 3 5", "12.35"}, // while taking characters: the outer call redraws it all
        {8, "B 0 . 3 5", "12.35"}, // after three positions: the outer call draws the last two
        {10, "B 0 . 2 5", "0.25"}, // after the last position: the nested drawing stays
    };
    for (const NestedCase& c : cases) {
        SCOPED_TRACE(c.atRun);
        display.TextValue(1, "");
        int run = 0;
        setEventsRunHook([&] {
            if (++run == c.atRun) {
                display.TextValue(1, "0.25");
            }
        });
        display.TextValue(1, "12.35");
        setEventsRunHook({});
        EXPECT_EQ(shown(display), c.positions);
        EXPECT_EQ(display.strValue(), c.strValue);
    }
}

TEST_F(Display, SurvivesBeingDeletedWhileItLetsEventsRun)
{
    auto* doomed = new PellarosDisplay;
    QPointer<PellarosDisplay> alive(doomed);
    int run = 0;
    setEventsRunHook([&] {
        if (++run == 7) {
            delete std::exchange(doomed, nullptr);
        }
    });
    EXPECT_EQ(alive->TextValue(1, "12.35"), 0);
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(run, 7);
}

TEST_F(Display, ReportsKeysReleasedWhileItHasTheFocus)
{
    display.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
    display.setFocus();
    QSignalSpy keys(&display, &PellarosDisplay::ControlsKeyUp);
    struct KeyCase {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        short keyCode;
        short shift;
    };
    const KeyCase cases[] = {{Qt::Key_A, Qt::ShiftModifier, 65, 1},
                             {Qt::Key_7, {}, 55, 0},
                             {Qt::Key_Return, Qt::ControlModifier | Qt::AltModifier, 13, 6},
                             {Qt::Key_F1, {}, 112, 0}};
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.keyCode);
        keys.clear();
        // QTest releases the modifier keys afterwards; the first report is the key's own.
        QTest::keyRelease(&display, c.key, c.modifiers);
        ASSERT_GE(keys.count(), 1);
        EXPECT_EQ(keys.at(0).at(0).value<short>(), c.keyCode);
        EXPECT_EQ(keys.at(0).at(1).value<short>(), c.shift);
    }
}

} // namespace
