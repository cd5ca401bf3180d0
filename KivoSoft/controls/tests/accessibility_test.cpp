// The controls as a screen reader and a keyboard user meet them: one object each, named by its
// window, its state or reading as value and text, the switches worked by Space, Enter and the
// Press action while enabled.
#include "KivoSoft/controls/Label3D.h"
#include "KivoSoft/controls/PellarosDisplay.h"
#include "KivoSoft/controls/TwoPictureIndicators.h"
#include "platform/basic/basic.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

using namespace KivoSoft;

namespace {

QAccessibleInterface* accessible(QObject* object)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    EXPECT_NE(iface, nullptr);
    return iface;
}

QStringList actions(QObject* object)
{
    QAccessibleActionInterface* action = accessible(object)->actionInterface();
    return action ? action->actionNames() : QStringList();
}

struct KindCase {
    const char* name;
    bool isSwitch;
    std::function<std::unique_ptr<TwoPictureIndicator>()> make;
};

template <typename T> KindCase kindCase(const char* name, bool isSwitch)
{
    return {name, isSwitch, [] { return std::make_unique<T>(); }};
}

class IndicatorKinds : public ::testing::TestWithParam<KindCase> {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        before = new QWidget(window.get());
        before->setFocusPolicy(Qt::TabFocus);
        indicator = GetParam().make().release();
        indicator->setParent(window.get());
        indicator->move(0, 20);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    std::unique_ptr<QWidget> window;
    QWidget* before = nullptr;
    TwoPictureIndicator* indicator = nullptr;
};

TEST_P(IndicatorKinds, SwitchesTakeTheFocusAndRaiseMouseClickFromTheKeyboardAndThePressAction)
{
    const bool isSwitch = GetParam().isSwitch;
    EXPECT_EQ(indicator->isSwitch(), isSwitch);
    QSignalSpy clicks(indicator, &TwoPictureIndicator::MouseClick);

    // Tab reaches a switch; a lamp is passed by.
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    EXPECT_EQ(indicator->hasFocus(), isSwitch);
    EXPECT_EQ(indicator->Image1()->focusFrame(), isSwitch);

    // The keypad's Enter comes with the keypad modifier.
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_Space, Qt::NoModifier}, std::pair{Qt::Key_Return, Qt::NoModifier},
          std::pair{Qt::Key_Enter, Qt::KeypadModifier}}) {
        QTest::keyClick(indicator, key, modifiers);
    }
    QTest::keyClick(indicator, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(clicks.count(), isSwitch ? 3 : 0);

    // The Press action answers at once; the click comes when the event loop runs.
    clicks.clear();
    EXPECT_EQ(actions(indicator).contains(QAccessibleActionInterface::pressAction()), isSwitch);
    accessible(indicator)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks.count(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks.count(), isSwitch ? 1 : 0);

    // Disabled, none of it: no focus, no keys, no action, and a Press already on its way is
    // dropped too.
    clicks.clear();
    accessible(indicator)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    indicator->setEnable(false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(indicator->hasFocus());
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    EXPECT_FALSE(indicator->hasFocus());
    QTest::keyClick(indicator, Qt::Key_Space);
    EXPECT_TRUE(actions(indicator).isEmpty());
    accessible(indicator)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    indicator->activate();
    EXPECT_EQ(clicks.count(), 0);

    indicator->setEnable(true);
    indicator->activate();
    EXPECT_EQ(clicks.count(), isSwitch ? 1 : 0);
}

TEST_P(IndicatorKinds, AScreenReaderReadsTheNameAndTheStateAsItChanges)
{
    const bool isSwitch = GetParam().isSwitch;
    indicator->setAccessibleName("Module 2 output");
    indicator->setToolTip("What it is for");
    QAccessibleInterface* iface = accessible(indicator);
    EXPECT_EQ(iface->role(), isSwitch ? QAccessible::CheckBox : QAccessible::StaticText);
    EXPECT_EQ(iface->text(QAccessible::Description), "What it is for");
    // Its picture is no control of its own.
    EXPECT_EQ(iface->childCount(), 0);
    EXPECT_EQ(iface->state().checkable, isSwitch);

    struct Step {
        bool status;
        const char* text;
    };
    for (const Step& step : {Step{true, "On"}, Step{false, "Off"}, Step{true, "On"}}) {
        indicator->setStatus(step.status);
        EXPECT_EQ(iface->state().checked, step.status);
        EXPECT_EQ(iface->text(QAccessible::Value), step.text);
        // A switch says its state as a check box does; a lamp in its name as well.
        EXPECT_EQ(iface->text(QAccessible::Name),
                  isSwitch ? QString("Module 2 output") : "Module 2 output: " + QString(step.text));
        if (!isSwitch) {
            ASSERT_NE(iface->textInterface(), nullptr);
            EXPECT_EQ(iface->textInterface()->text(0, -1), step.text);
        }
    }
    indicator->setStateTexts("Good", "Not good");
    EXPECT_EQ(iface->text(QAccessible::Value), "Good");
    indicator->setBlinking(false);
    EXPECT_EQ(iface->text(QAccessible::Value), "Not good");
    EXPECT_FALSE(iface->state().checked);
    // Named by a label tied to it, as any control.
    QLabel caption("AC Fail", window.get());
    indicator->setAccessibleName({});
    caption.setBuddy(indicator);
    EXPECT_EQ(iface->text(QAccessible::Name),
              isSwitch ? QString("AC Fail") : QString("AC Fail: Not good"));
}

INSTANTIATE_TEST_SUITE_P(
    All, IndicatorKinds,
    ::testing::Values(kindCase<PellarosLed>("PellarosLed", false),
                      kindCase<PellarosBigSquareLed>("PellarosBigSquareLed", false),
                      kindCase<PellarosSunkenSwitch>("PellarosSunkenSwitch", true),
                      kindCase<PellarosPushButton>("PellarosPushButton", true)),
    [](const ::testing::TestParamInfo<KindCase>& info) { return info.param.name; });

TEST(DisplayAccessibility, ItsValueAndTextAreWhatItShows)
{
    PellarosDisplay display;
    QAccessibleInterface* iface = accessible(&display);
    EXPECT_EQ(iface->role(), QAccessible::StaticText);
    EXPECT_EQ(iface->childCount(), 0);
    ASSERT_NE(iface->textInterface(), nullptr);
    // A readout: no value to set, so no Increase or Decrease either.
    EXPECT_EQ(iface->valueInterface(), nullptr);

    // A comma separator, as a user's locale may give: the value is a number all the same.
    const QString sep = QStringLiteral(",");
    kivo::basic::programDecimalSeparator = sep;
    struct Case {
        QString text;
        QString shown;
    };
    const Case cases[] = {
        {"12" + sep + "00", "12" + sep + "00"},
        {"0" + sep + "25", "0" + sep + "25"},
        {"7", "7"},
        {"100" + sep + "25", "100" + sep + "2"}, // decimals cut to fit
        {"-0" + sep + "5", "0" + sep + "5"},     // no picture for the minus sign
        {"1a2", "1 2"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        display.TextValue(1, c.text);
        EXPECT_EQ(display.shownText(), c.shown);
        EXPECT_EQ(iface->text(QAccessible::Value), c.shown);
        EXPECT_EQ(iface->textInterface()->text(0, -1), c.shown);
        EXPECT_EQ(iface->textInterface()->characterCount(), c.shown.size());
    }

    // Unnamed, it is called by its reading, as Qt's digit display is; its window's name wins.
    display.TextValue(2, "5" + sep + "00");
    EXPECT_EQ(iface->text(QAccessible::Name), "5" + sep + "00");
    // Named by its window, the reading follows the name.
    display.setAccessibleName("Module 4 voltmeter");
    EXPECT_EQ(iface->text(QAccessible::Name), "Module 4 voltmeter: 5" + sep + "00");
    EXPECT_EQ(iface->text(QAccessible::Value), "5" + sep + "00");
    display.TextValue(1, "");
    EXPECT_EQ(iface->text(QAccessible::Name), "Module 4 voltmeter");
    kivo::basic::programDecimalSeparator = QStringLiteral(".");
}

TEST(DisplayAccessibility, TakesTheFocusOnlyOnceAWindowListensToItsKeys)
{
    PellarosDisplay display;
    EXPECT_EQ(display.focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(accessible(&display)->state().focusable);
    QSignalSpy keys(&display, &PellarosDisplay::ControlsKeyUp);
    EXPECT_EQ(display.focusPolicy(), Qt::StrongFocus);
    EXPECT_TRUE(accessible(&display)->state().focusable);
}

TEST(CaptionAccessibility, OneLabelNamedByItsCaption)
{
    QWidget window;
    auto* caption = new Label3D(&window);
    caption->setCaption("Please Select Unit...");
    QAccessibleInterface* iface = accessible(caption);
    EXPECT_EQ(iface->role(), QAccessible::StaticText);
    EXPECT_EQ(iface->childCount(), 0); // the two layers are one caption
    EXPECT_EQ(iface->text(QAccessible::Name), "Please Select Unit...");
    caption->setCaption("Power supply Id: 3");
    EXPECT_EQ(iface->text(QAccessible::Name), "Power supply Id: 3");
    // The window's own list of children shows it once.
    QAccessibleInterface* windowIface = accessible(&window);
    EXPECT_EQ(windowIface->childCount(), 1);
}

} // namespace
