// The entry fields while the user edits them: the checks made when a field is left, the key
// filters, the set point and its slider, the current limit and its scroll bar, and what an edit
// marks. Module 1 carries a 12 V type (10 to 14 V, 10 A) set up without a unit.
#include "KivoSoft/config/tests/config_fixture.h"

#include <QClipboard>
#include <QTest>

using namespace KivoSoft;
using namespace KivoSoft::testing;
namespace G = KivoSoft::KivoGlobals;

namespace {

class ConfigFields : public ConfigTest {
protected:
    void SetUp() override
    {
        ConfigTest::SetUp();
        fitModule(1, 10, 14, 10);
        // The module tabs as a read shows them: a field out of sight is not checked.
        window->SSTab1->show();
        window->SSTab1->setCurrentIndex(tabOf(1));
        desktop.clear();
    }

    // What the window's read of the module type sets: its scaling and the ranges of its
    // controls.
    void fitModule(int m, double minVolts, double maxVolts, double maxAmps)
    {
        clsScalability& scaling = window->ReadScaling[static_cast<std::size_t>(m)];
        scaling.MinVoltage = minVolts;
        scaling.MaxVoltage = maxVolts;
        scaling.MaxCurrent = maxAmps;
        scaling.VoltageScaleFactor = 100;
        scaling.CurrentScaleFactor = 100;
        window->setConfigSetPointMinimum(m, 0);
        window->setConfigSetPointMaximum(m, static_cast<int>(maxVolts * 10));
        window->setConfigSetPointMinimum(m, static_cast<int>(minVolts * 10));
        window->setConfigCurrentLimitMinimum(m, 0);
        window->setConfigCurrentLimitMaximum(m, kivo::basic::CInt(maxAmps).value());
    }

    void clearMarks()
    {
        for (QPushButton* apply : window->cmdApplyCLM) {
            apply->setEnabled(false);
        }
        window->cmdApply->setEnabled(false);
        window->cmdSave->setEnabled(false);
        G::UnitSettingEdited = G::ModuleSettingEdited = false;
    }

    SupplyConfig& w() { return *window; }
};

using Validate = void (SupplyConfig::*)(int, bool&);

bool waitUntilFocus(QWidget* widget)
{
    for (int i = 0; i < 400 && QApplication::focusWidget() != widget; ++i) {
        QTest::qWait(5);
    }
    return QApplication::focusWidget() == widget;
}

struct CheckCase {
    const char* what;
    std::function<QLineEdit*(SupplyConfig&)> field;
    Validate validate;
    const char* other; // the other limit's text, for hl and ll
    const char* text;
    bool accepted;
    const char* message; // "" for none
    const char* after;   // the field's text afterwards
};

TEST_F(ConfigFields, EveryFieldCheckAtItsBounds)
{
    auto vspBox = [](SupplyConfig& s) { return s.vsp[1]; };
    auto hlBox = [](SupplyConfig& s) { return s.hl[1]; };
    auto llBox = [](SupplyConfig& s) { return s.ll[1]; };
    auto delayBox = [](SupplyConfig& s) { return s.startupdelay[1]; };
    auto limitBox = [](SupplyConfig& s) { return s.CurrentLimit[1]; };
    const char* highTail = " (+12.5% of Max. Volt.)  And greater than Low-Limit [Or 0 to Disable]";
    const char* lowTail = " (+12.5% of Max. Volt.)  And smaller than High-Limit [Or 0 to Disable]";
    const QString window812 =
        "  is invalid value, should be between 8.75 (-12.5% of Min. Volt.) and "
        "15.75";
    const std::string high1576 = ("15.76" + window812 + highTail).toStdString();
    const std::string high114 = ("11.4" + window812 + highTail).toStdString();
    const std::string low126 = ("12.6" + window812 + lowTail).toStdString();
    const std::string low874 = ("8.74" + window812 + lowTail).toStdString();
    const CheckCase cases[] = {
        {"set point at the minimum", vspBox, &SupplyConfig::vsp_Validate, "", "10", true, "", "10"},
        {"set point at the maximum", vspBox, &SupplyConfig::vsp_Validate, "", "14", true, "", "14"},
        {"set point under the minimum", vspBox, &SupplyConfig::vsp_Validate, "", "9.99", false,
         "9.99 is out of range, please enter value between 10 and 14", "9.99"},
        {"set point over the maximum", vspBox, &SupplyConfig::vsp_Validate, "", "14.01", false,
         "14.01 is out of range, please enter value between 10 and 14", "14.01"},
        {"set point not a number", vspBox, &SupplyConfig::vsp_Validate, "", "1a", false,
         "Please enter numeric value.", "1a"},
        {"blank set point takes the slider", vspBox, &SupplyConfig::vsp_Validate, "", "", true, "",
         "12.3"},
        {"high limit 0 disables", hlBox, &SupplyConfig::hl_Validate, "11.4", "0", true, "", "0"},
        {"blank high limit", hlBox, &SupplyConfig::hl_Validate, "11.4", "", true, "", "0"},
        {"high limit not a number", hlBox, &SupplyConfig::hl_Validate, "11.4", "x", true, "", "0"},
        {"high limit at +12.5 %", hlBox, &SupplyConfig::hl_Validate, "11.4", "15.75", true, "",
         "15.75"},
        {"high limit over +12.5 %", hlBox, &SupplyConfig::hl_Validate, "11.4", "15.76", false,
         high1576.c_str(), "15.76"},
        {"high limit equal to the low one", hlBox, &SupplyConfig::hl_Validate, "11.4", "11.4",
         false, high114.c_str(), "11.4"},
        {"high limit at -12.5 % with the low one off", hlBox, &SupplyConfig::hl_Validate, "0",
         "8.75", true, "", "8.75"},
        {"low limit equal to the high one", llBox, &SupplyConfig::ll_Validate, "12.6", "12.6",
         false, low126.c_str(), "12.6"},
        {"low limit just under the high one", llBox, &SupplyConfig::ll_Validate, "12.6", "12.59",
         true, "", "12.59"},
        {"low limit under -12.5 %", llBox, &SupplyConfig::ll_Validate, "12.6", "8.74", false,
         low874.c_str(), "8.74"},
        {"low limit with a blank high one", llBox, &SupplyConfig::ll_Validate, "", "9", true, "",
         "9"},
        {"delay 65000", delayBox, &SupplyConfig::startupdelay_Validate, "", "65000", true, "",
         "65000"},
        {"delay 65001", delayBox, &SupplyConfig::startupdelay_Validate, "", "65001", false,
         "65001 is out of range, please enter value between 0ms and 65000ms", "65001"},
        {"delay with a fraction", delayBox, &SupplyConfig::startupdelay_Validate, "", "12.5", true,
         "", "12.5"},
        {"blank delay", delayBox, &SupplyConfig::startupdelay_Validate, "", "", false,
         "Please enter numeric value.", ""},
        {"current limit at the rating", limitBox, &SupplyConfig::CurrentLimit_Validate, "", "10",
         true, "", "10"},
        {"current limit over the rating", limitBox, &SupplyConfig::CurrentLimit_Validate, "",
         "10.01", false, "10.01 is out of range, please enter value between 0 and 10", "10.01"},
        {"a lone decimal separator", limitBox, &SupplyConfig::CurrentLimit_Validate, "", ".", false,
         "Please enter numeric value.", "."},
        {"blank current limit takes the scroll bar", limitBox, &SupplyConfig::CurrentLimit_Validate,
         "", "", true, "", "7"},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.what);
        desktop.clear();
        w().slrVsp[1]->setProgramValue(123);
        w().hscrollCurrentLimit[1]->setValue(7);
        QLineEdit* box = c.field(w());
        (box == w().hl[1] ? w().ll[1] : w().hl[1])->setText(c.other);
        box->setText(c.text);
        bool cancel = false;
        (w().*c.validate)(1, cancel);
        EXPECT_EQ(!cancel, c.accepted);
        EXPECT_EQ(messageTexts(), *c.message ? QStringList{c.message} : QStringList{});
        EXPECT_EQ(box->text(), c.after);
        if (!messages().empty()) {
            EXPECT_EQ(messages()[0].title, "Dravon Electronics");
        }
    }
}

TEST_F(ConfigFields, TheCurrentLimitIsBoundedByTheRatingItself)
{
    struct Case {
        double rating;
        const char* text;
        bool accepted;
        int scroll;
    };
    const Case cases[] = {
        {12.5, "12.5", true, 12}, // the scroll range is 0 to 12, the rating 12.5
        {12.5, "12.4", true, 12}, {12.6, "12.9", false, 0},
        {12.6, "12.6", true, 13}, {25, "25.4", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        desktop.clear();
        fitModule(1, 10, 14, c.rating);
        w().hscrollCurrentLimit[1]->setValue(0);
        w().CurrentLimit[1]->setText(c.text);
        bool cancel = false;
        w().CurrentLimit_Validate(1, cancel);
        EXPECT_EQ(!cancel, c.accepted);
        EXPECT_EQ(w().hscrollCurrentLimit[1]->value(), c.scroll);
        EXPECT_EQ(w().CurrentLimit[1]->text(), c.text);
    }
    EXPECT_EQ(messageTexts(),
              QStringList{"25.4 is out of range, please enter value between 0 and 25"});
}

TEST_F(ConfigFields, TimeListsAtTheirBoundsAndWhenLeft)
{
    QComboBox* list = w().cboxActivationTime[1];
    struct Case {
        const char* text;
        bool accepted;
        bool arms;
        const char* leftAs;  // the text after the focus-lost step
        const char* warning; // "" for none
    };
    const Case cases[] = {
        {"65535", true, true, "65535", ""},
        {"65536", false, false, "65536",
         "65536 is out of range, please enter value between 0ms "
         "and 65536ms"},
        {"0", true, true, "0", "0 is a short time span, this may lead to unexpected operation"},
        {"2.5", true, true, "2.5",
         "2.5 is a short time span, this may lead to unexpected "
         "operation"},
        {"3", true, true, "3", ""},
        {"", true, false, "0", ""},
        {".", true, false, "0", ""}, // not a number: as an empty text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        desktop.clear();
        clearMarks();
        list->setEditText(c.text);
        EXPECT_EQ(w().cmdApplyCLM[tabOf(1)]->isEnabled() && w().cmdSave->isEnabled(), c.arms);
        bool cancel = false;
        w().cboxActivationTime_Validate(1, cancel);
        EXPECT_EQ(!cancel, c.accepted);
        if (!cancel) {
            w().cboxActivationTime_LostFocus(1);
        }
        EXPECT_EQ(list->currentText(), c.leftAs);
        const QStringList expected = *c.warning ? QStringList{c.warning} : QStringList{};
        EXPECT_EQ(messageTexts(), expected);
    }
}

TEST_F(ConfigFields, KeyFilters)
{
    QComboBox* list = w().cboxResetTime[1];
    list->setEditText("12345");
    std::int16_t key = '6';
    w().cboxResetTime_KeyPress(1, key);
    EXPECT_EQ(key, 0); // a sixth digit is dropped silently
    EXPECT_TRUE(messages().empty());
    key = 'a';
    w().cboxResetTime_KeyPress(1, key);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(messageTexts(), QStringList{"Please enter numeric values"});
    list->setEditText("1234");
    key = '5';
    w().cboxResetTime_KeyPress(1, key);
    EXPECT_EQ(key, '5');

    // Typed keys reach the filters through the boxes themselves.
    desktop.clear();
    w().vsp[1]->clear();
    QTest::keyClicks(w().vsp[1], "1x2.5");
    EXPECT_EQ(w().vsp[1]->text(), "12.5");
    EXPECT_EQ(messageTexts(), QStringList{"Please enter numeric values"});

    // Keys that type no character are no KeyPress: Tab, Escape and the editing shortcuts keep
    // their meaning and bring up no message. Each comes with the text X11 gives it.
    desktop.clear();
    struct Quiet {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString text;
    };
    const Quiet quiet[] = {{Qt::Key_Tab, Qt::NoModifier, "\t"},
                           {Qt::Key_Backtab, Qt::ShiftModifier, ""},
                           {Qt::Key_Escape, Qt::NoModifier, QString(QChar(27))},
                           {Qt::Key_A, Qt::ControlModifier, QString(QChar(1))},
                           {Qt::Key_C, Qt::ControlModifier, QString(QChar(3))},
                           {Qt::Key_Left, Qt::NoModifier, ""}};
    for (const Quiet& q : quiet) {
        for (QWidget* box : std::initializer_list<QWidget*>{w().vsp[1], w().CurrentLimit[1],
                                                            w().cboxResetTime[1]}) {
            QKeyEvent press(QEvent::KeyPress, q.key, q.modifiers, q.text);
            QApplication::sendEvent(box, &press);
        }
        EXPECT_TRUE(messages().empty())
            << QKeySequence(q.key | q.modifiers).toString().toStdString();
    }
    QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
    QApplication::sendEvent(w().vsp[1], &selectAll);
    EXPECT_EQ(w().vsp[1]->selectedText(), "12.5");
}

TEST_F(ConfigFields, TheTimeListsKeepWhatIsTyped)
{
    // "25", "5" and "1" begin entries of the lists (250, 500, 1000). Typed into the list that has
    // the focus they stay as typed, so leaving the list with "1" brings the short-time warning.
    w().show();
    w().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
    for (int m = 1; m <= 5; ++m) {
        const auto i = static_cast<std::size_t>(m);
        w().SSTab1->setCurrentIndex(tabOf(m));
        w().optCurrentLimit[3 * i]->setChecked(true); // "Hiccup" shows both lists
        for (QComboBox* list : {w().cboxActivationTime[i], w().cboxResetTime[i]}) {
            SCOPED_TRACE(list->objectName().toStdString());
            list->setFocus();
            ASSERT_TRUE(waitUntilFocus(list));
            for (const char* typed : {"25", "5", "1"}) {
                list->setEditText({});
                QTest::keyClicks(list, typed);
                EXPECT_EQ(list->currentText(), typed);
            }
            desktop.clear();
            w().SelectButton->setFocus();
            ASSERT_TRUE(waitUntilFocus(w().SelectButton));
            EXPECT_EQ(messageTexts(),
                      QStringList{"1 is a short time span, this may lead to unexpected operation"});
        }
    }
}

// Unit 3 read into the shown, active window, module 3 in "Latching" with the focus in its delay
// list, which holds the typed `typed`.
class ConfigFieldLeave : public ConfigFields {
protected:
    void SetUp() override
    {
        ConfigFields::SetUp();
        w().show();
        w().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
        readUnit("3");
        ASSERT_FALSE(G::ErrorFlag) << G::LastErrorText.toStdString();
    }

    QComboBox* delay() { return w().cboxActivationTime[3]; }

    void typeIntoTheDelay(const char* typed)
    {
        w().SSTab1->setCurrentIndex(tabOf(3));
        w().optCurrentLimit[8]->setChecked(true);
        delay()->setFocus();
        ASSERT_TRUE(waitUntilFocus(delay()));
        delay()->lineEdit()->selectAll();
        QTest::keyClicks(delay(), typed);
        ASSERT_EQ(delay()->currentText(), typed);
        desktop.clear();
    }

    // Lets a clicked button's delayed click, the write it starts and the focus the busy state
    // gives back afterwards run their course.
    static void settle() { QTest::qWait(250); }

    static QString shortSpan(const char* value)
    {
        return QString::fromLatin1(value) +
               " is a short time span, this may lead to unexpected operation";
    }
};

TEST_F(ConfigFieldLeave, EachWayOutOfAFieldWarnsOnce)
{
    struct Case {
        const char* how;
        std::function<void()> leave;
    };
    const Case cases[] = {
        {"Tab", [&] { QTest::keyClick(delay(), Qt::Key_Tab); }},
        {"a click on another field", [&] { QTest::mouseClick(w().vsp[3], Qt::LeftButton); }},
        {"a click on the tab's Apply",
         [&] { QTest::mouseClick(w().cmdApplyCLM[tabOf(3)], Qt::LeftButton); }},
        {"Ctrl+Tab to another module's tab",
         [&] { QTest::keyClick(delay(), Qt::Key_Tab, Qt::ControlModifier); }},
        // A mnemonic clicks its button without moving the focus; the write then takes the focus
        // away, gives it back and sends it to Start.
        {"the tab's Apply by Alt+P", [&] { QTest::keyClick(delay(), Qt::Key_P, Qt::AltModifier); }},
        {"the large Apply by Alt+A", [&] { QTest::keyClick(delay(), Qt::Key_A, Qt::AltModifier); }},
        // The write fails at its first step: the focus comes back into the list and stays there
        // until Tab takes it out.
        {"Alt+P failing, then Tab",
         [&] {
             sim->server().faults().add(
                 {.uid = 3, .mid = 3, .cid = 0x04, .reg = 0x10, .kind = Fault::ErrorReply});
             QTest::keyClick(delay(), Qt::Key_P, Qt::AltModifier);
             settle();
             ASSERT_EQ(QApplication::focusWidget(), delay());
             QTest::keyClick(delay(), Qt::Key_Tab);
         }},
        // As a change of tab does before it is made: the list is left in place.
        {"Start given the focus after a leave in place",
         [&] {
             EXPECT_TRUE(w().checks()->leave());
             w().SelectButton->setFocus();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        typeIntoTheDelay("2");
        c.leave();
        settle();
        EXPECT_NE(QApplication::focusWidget(), delay());
        EXPECT_EQ(messageTexts().count(shortSpan("2")), 1)
            << messageTexts().join(" | ").toStdString();
    }
}

TEST_F(ConfigFieldLeave, AFieldEditedAfterALeaveInPlaceIsCheckedAgainAtItsNextLeave)
{
    struct Case {
        const char* typed;
        QStringList messages; // at the leave after the edit
    };
    const Case cases[] = {
        {"1", {shortSpan("1")}},
        {"2", {shortSpan("2")}}, // typed again, the same value is a new leave too
        {"65536", {"65536 is out of range, please enter value between 0ms and 65536ms"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        typeIntoTheDelay("2");
        ASSERT_TRUE(w().checks()->leave());
        ASSERT_EQ(messageTexts(), QStringList{shortSpan("2")});
        desktop.clear();
        delay()->lineEdit()->selectAll();
        QTest::keyClicks(delay(), c.typed);
        QTest::keyClick(delay(), Qt::Key_P, Qt::AltModifier);
        settle();
        EXPECT_EQ(messageTexts(), c.messages);
        if (QApplication::focusWidget() == delay()) {
            // Refused: the list keeps the focus until it holds a time that may stand.
            delay()->setEditText("250");
            QTest::keyClick(delay(), Qt::Key_Tab);
        }
        EXPECT_NE(QApplication::focusWidget(), delay());
    }
}

// Ctrl+V with the text X11 gives it.
void pasteKeys(QWidget* field)
{
    QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QString(QChar(22)));
    QApplication::sendEvent(field, &paste);
}

TEST_F(ConfigFields, APasteMeetsTheKeyFilterOfEveryField)
{
    for (int m : {1, 5}) {
        const auto i = static_cast<std::size_t>(m);
        const std::initializer_list<QWidget*> fields{w().vsp[i],          w().hl[i],
                                                     w().ll[i],           w().startupdelay[i],
                                                     w().CurrentLimit[i], w().cboxActivationTime[i],
                                                     w().cboxResetTime[i]};
        for (QWidget* field : fields) {
            SCOPED_TRACE(field->objectName().toStdString());
            auto* list = qobject_cast<QComboBox*>(field);
            QLineEdit* line = list ? list->lineEdit() : static_cast<QLineEdit*>(field);
            // "1,2" in a "." locale: the comma is refused as a typed one would be, and nothing
            // of the text goes in.
            line->setText("7");
            desktop.clear();
            QGuiApplication::clipboard()->setText("1,2");
            pasteKeys(field);
            EXPECT_EQ(line->text(), "7");
            EXPECT_EQ(messageTexts(), QStringList{"Please enter numeric values"});
            line->clear();
            QGuiApplication::clipboard()->setText("12.5");
            pasteKeys(field);
            EXPECT_EQ(line->text(), "12.5");
        }
    }
}

TEST_F(ConfigFields, ArmingRulesAndTheEditFlags)
{
    const int shown = tabOf(1);
    struct Case {
        const char* what;
        std::function<void(SupplyConfig&)> edit;
        bool applyArmed, saveArmed, unitApply, moduleFlag, unitFlag;
    };
    const Case cases[] = {
        {"set point", [](SupplyConfig& s) { s.vsp[1]->setText("12"); }, true, true, false, true,
         false},
        {"high limit", [](SupplyConfig& s) { s.hl[1]->setText("13"); }, true, true, false, false,
         false},
        {"start-up delay", [](SupplyConfig& s) { s.startupdelay[1]->setText("5"); }, true, true,
         false, true, false},
        {"polarity", [](SupplyConfig& s) { s.optPolarity[1]->setChecked(true); }, true, true, false,
         true, false},
        {"programming mode", [](SupplyConfig& s) { s.OptProgMode[2]->setChecked(true); }, true,
         true, false, true, false},
        {"start-up state", [](SupplyConfig& s) { s.optStartupState[2]->setChecked(true); }, true,
         true, false, true, false},
        {"current limit", [](SupplyConfig& s) { s.CurrentLimit[1]->setText("5"); }, true, true,
         false, false, false},
        {"a mode", [](SupplyConfig& s) { s.optCurrentLimit[2]->setChecked(true); }, true, true,
         false, false, false},
        {"enable reset", [](SupplyConfig& s) { s.EnableReset[1]->setChecked(true); }, true, true,
         false, false, false},
        {"tracking", [](SupplyConfig& s) { s.cmdTracking_Click(1); }, true, true, false, false,
         false},
        {"another module's field arms the tab shown",
         [](SupplyConfig& s) { s.vsp[3]->setText("5"); }, true, true, false, true, false},
        {"fan fail", [](SupplyConfig& s) { s.optFanFail[0]->setChecked(true); }, false, true, true,
         false, true},
        {"global", [](SupplyConfig& s) { s.optGlobal[1]->setChecked(true); }, false, true, true,
         false, true},
        {"the on/off polarity pair marks nothing",
         [](SupplyConfig& s) { s.optOnOffPolarity[8]->setChecked(true); }, false, false, false,
         false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clearMarks();
        c.edit(w());
        EXPECT_EQ(w().cmdApplyCLM[shown]->isEnabled(), c.applyArmed);
        EXPECT_EQ(w().cmdSave->isEnabled(), c.saveArmed);
        EXPECT_EQ(w().cmdApply->isEnabled(), c.unitApply);
        EXPECT_EQ(G::ModuleSettingEdited, c.moduleFlag);
        EXPECT_EQ(G::UnitSettingEdited, c.unitFlag);
        for (int t = 0; t < 5; ++t) {
            if (t != shown) {
                EXPECT_FALSE(w().cmdApplyCLM[t]->isEnabled());
            }
        }
    }

    // Rule A leaves a disabled cmdSave alone once the tab's Apply is armed; rule B does not.
    clearMarks();
    w().cmdApplyCLM[shown]->setEnabled(true);
    w().CurrentLimit[1]->setText("6");
    w().EnableReset[1]->setChecked(!w().EnableReset[1]->isChecked());
    EXPECT_FALSE(w().cmdSave->isEnabled());
    w().cboxActivationTime[1]->setEditText("500");
    EXPECT_TRUE(w().cmdSave->isEnabled());
}

TEST_F(ConfigFields, PresetAndTrackingAndTheStartupDelay)
{
    w().hl[1]->setText("12.6");
    w().ll[1]->setText("11.4");
    w().cmdTracking_Click(1);
    EXPECT_EQ(w().hl[1]->text(), "0");
    EXPECT_EQ(w().ll[1]->text(), "0");
    EXPECT_FALSE(w().hl[1]->isEnabled());
    EXPECT_TRUE(w().hl[1]->styleSheet().contains("224, 224, 224"));
    w().cmdPreset_Click(1);
    EXPECT_TRUE(w().ll[1]->isEnabled());
    EXPECT_TRUE(w().ll[1]->styleSheet().contains("255, 255, 255"));

    w().optStartupState[2]->setChecked(true); // "Normally Off"
    EXPECT_FALSE(w().startupdelay[1]->isEnabled());
    EXPECT_FALSE(w().Label13[5]->isEnabled());
    EXPECT_FALSE(w().Label9[6]->isEnabled());
    w().optStartupState[1]->setChecked(true);
    EXPECT_TRUE(w().startupdelay[1]->isEnabled());
}

TEST_F(ConfigFields, TheSliderWritesTheSetPointOnlyOnTheUsersOwnMoves)
{
    SetPointSlider* slider = w().slrVsp[1];
    QLineEdit* text = w().vsp[1];
    slider->setProgramValue(120);
    text->setText("12");

    // A click that moves nothing, then a typed 12.34 that the check accepts: the check moves the
    // slider to 123, and that move of the program's keeps the typed text.
    w().slrVsp_Click(1);
    EXPECT_TRUE(G::SliderDragging);
    text->setText("12.34");
    bool cancel = false;
    w().vsp_Validate(1, cancel);
    ASSERT_FALSE(cancel);
    EXPECT_EQ(slider->value(), 123);
    EXPECT_EQ(text->text(), "12.34");
    EXPECT_FALSE(G::SliderDragging);

    // A halfway position goes to the even tenth.
    text->setText("12.25");
    w().vsp_LostFocus(1);
    EXPECT_EQ(slider->value(), 122);

    // The user's own step writes the slider's tenths.
    slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(slider->value(), 123);
    EXPECT_EQ(text->text(), "12.3");
    slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(text->text(), "12.4");

    // Leaving a set point that is no number keeps the slider where it is.
    text->setText("1x");
    w().vsp_LostFocus(1);
    EXPECT_EQ(slider->value(), 124);
}

TEST_F(ConfigFields, TheScrollBarAndTheTypedCurrentLimit)
{
    QScrollBar* bar = w().hscrollCurrentLimit[1];
    QLineEdit* text = w().CurrentLimit[1];
    G::CurrentLimitTextChanged = false;
    bar->setValue(7);
    EXPECT_EQ(text->text(), "7");
    EXPECT_FALSE(G::CurrentLimitTextChanged);

    // A typed limit that rounds to the scroll bar's value: the next move is taken back once.
    text->setText("7.4");
    bool cancel = false;
    w().CurrentLimit_Validate(1, cancel);
    EXPECT_TRUE(G::CurrentLimitTextChanged);
    bar->setValue(8);
    EXPECT_EQ(bar->value(), 7);
    EXPECT_EQ(text->text(), "7.4");
    EXPECT_FALSE(G::CurrentLimitTextChanged);
    bar->setValue(8);
    EXPECT_EQ(text->text(), "8");

    // Text the scroll bar cannot follow leaves it where the user put it.
    text->setText("abc");
    bar->setValue(9);
    EXPECT_EQ(bar->value(), 9);
    EXPECT_EQ(text->text(), "abc");
    text->setText("40");
    bar->setValue(3);
    EXPECT_EQ(bar->value(), 3);
}

TEST_F(ConfigFields, AClickIsRefusedWhileAFieldRefuses)
{
    w().show();
    w().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
    w().hl[1]->setText("12.6");
    QLineEdit* text = w().vsp[1];
    text->setFocus();
    ASSERT_TRUE(waitUntilFocus(text));
    text->setText("99");

    QTest::mouseClick(w().cmdTracking[1], Qt::LeftButton);
    EXPECT_EQ(messageTexts(),
              QStringList{"99 is out of range, please enter value between 10 and 14"});
    EXPECT_EQ(w().hl[1]->text(), "12.6"); // Tracking did not run
    EXPECT_EQ(QApplication::focusWidget(), text);
    EXPECT_EQ(w().checks()->refusing(), text);

    // Another field cannot take the focus either: the check runs again and keeps it.
    w().ll[1]->setFocus();
    EXPECT_EQ(QApplication::focusWidget(), text);
    EXPECT_EQ(messages().size(), 2u);

    // Once the value may stand the click goes through, after the field's focus-lost step.
    desktop.clear();
    text->setText("12.5");
    QTest::mouseClick(w().cmdTracking[1], Qt::LeftButton);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(w().hl[1]->text(), "0");
    EXPECT_EQ(w().slrVsp[1]->value(), 125);
    EXPECT_EQ(w().checks()->refusing(), nullptr);
}

TEST_F(ConfigFields, OutOfRangeValuesAreShownAtTheRangesEndAndLogged)
{
    auto record = std::make_shared<KivoData>();
    record->PresentModule = "10000000";
    record->VSP[1] = "5"; // under the 10 V minimum
    record->CL[1] = "30"; // over the 10 A rating
    record->CLM[1] = "Latching";
    G::PresentModuleBits = record->PresentModule;
    G::DefaultGlobalStateFlag = G::DefaultGlobalPolarityFlag = true;
    w().KivoColl["3"] = record;
    w().DisplayConfiguration("3");
    EXPECT_EQ(w().vsp[1]->text(), "5");
    EXPECT_EQ(w().slrVsp[1]->value(), 100);
    EXPECT_EQ(w().CurrentLimit[1]->text(), "30");
    EXPECT_EQ(w().hscrollCurrentLimit[1]->value(), 10);
    const QStringList log = logMessages();
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[0].startsWith("Set point 5 V of module 1 lies outside 10 V to 14 V"));
    EXPECT_TRUE(log[1].startsWith("Current limit 30 A of module 1 lies outside 0 A to 10 A"));
}

} // namespace
