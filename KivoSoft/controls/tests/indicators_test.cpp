#include "KivoSoft/controls/TwoPictureIndicators.h"
#include "platform/desktop/let_events_run.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <utility>

using namespace KivoSoft;
using kivo::desktop::eventsRunCount;
using kivo::desktop::EventsRunHook;
using kivo::desktop::setEventsRunHook;

namespace {

struct IndicatorCase {
    const char* name;
    std::function<std::unique_ptr<TwoPictureIndicator>()> make;
    std::function<const ControlPictures::PicturePair&()> pictures;
};

void PrintTo(const IndicatorCase& c, std::ostream* out)
{
    *out << c.name;
}

template <typename T>
IndicatorCase indicatorCase(const char* name, const ControlPictures::PicturePair& (*pictures)())
{
    return {name, [] { return std::make_unique<T>(); }, pictures};
}

class Indicators : public ::testing::TestWithParam<IndicatorCase> {
protected:
    void SetUp() override
    {
        indicator = GetParam().make();
        pictures = &GetParam().pictures();
    }

    const QImage* shown() const { return indicator->Image1()->picture(); }

    std::unique_ptr<TwoPictureIndicator> indicator;
    const ControlPictures::PicturePair* pictures = nullptr;
};

TEST_P(Indicators, StartsShowingPicture1EnabledAndNotBlinking)
{
    EXPECT_EQ(QString(indicator->metaObject()->className()),
              QString("KivoSoft::") + GetParam().name);
    EXPECT_TRUE(indicator->Status());
    EXPECT_EQ(indicator->pictureIndex(), 1);
    EXPECT_EQ(shown(), &(*pictures)[0]);
    // Enable reads False although the control is enabled.
    EXPECT_FALSE(indicator->Enable());
    EXPECT_TRUE(indicator->isEnabled());
    EXPECT_TRUE(indicator->Image1()->isEnabled());
    EXPECT_EQ(indicator->BInterval(), 0);
    EXPECT_FALSE(indicator->Blinking());
    EXPECT_FALSE(indicator->Timer1()->isActive());
    EXPECT_EQ(indicator->Timer1()->interval(), 850);
    EXPECT_EQ(indicator->sizeHint(), (*pictures)[0].size());
    // The windows reach the same values by name.
    EXPECT_EQ(indicator->property("Status"), QVariant(true));
    EXPECT_EQ(indicator->property("Enable"), QVariant(false));
    EXPECT_EQ(indicator->property("BInterval"), QVariant(0));
    EXPECT_EQ(indicator->property("Blinking"), QVariant(false));
}

TEST_P(Indicators, BIntervalTakesOnly100To10000AndLetsNoEventsRun)
{
    struct Step {
        int value;
        int expected;
    };
    // Each step starts from the state the one before left.
    const Step steps[] = {{99, 0},     {100, 100}, {10000, 10000}, {10001, 10000},
                          {-5, 10000}, {500, 500}, {99999, 500}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.value);
        const auto runs = eventsRunCount();
        indicator->setBInterval(step.value);
        EXPECT_EQ(indicator->BInterval(), step.expected);
        EXPECT_EQ(indicator->Timer1()->interval(), step.expected == 0 ? 850 : step.expected);
        EXPECT_FALSE(indicator->Timer1()->isActive());
        EXPECT_EQ(eventsRunCount(), runs);
    }
    // By name as well; a dropped value leaves the last one.
    EXPECT_TRUE(indicator->setProperty("BInterval", 250));
    EXPECT_EQ(indicator->BInterval(), 250);
    indicator->setProperty("BInterval", 10001);
    EXPECT_EQ(indicator->BInterval(), 250);
}

TEST_P(Indicators, BIntervalLeavesARunningBlinkRunning)
{
    indicator->setBlinking(true);
    indicator->setBInterval(800);
    EXPECT_TRUE(indicator->Timer1()->isActive());
    EXPECT_EQ(indicator->Timer1()->interval(), 800);
    EXPECT_TRUE(indicator->Blinking());
}

TEST_P(Indicators, BlinkingStartsFromThePictureShownAndStopsOnPicture2)
{
    indicator->setBlinking(true);
    EXPECT_TRUE(indicator->Blinking());
    EXPECT_TRUE(indicator->Timer1()->isActive());
    EXPECT_TRUE(indicator->Status());
    EXPECT_EQ(shown(), &(*pictures)[0]);

    indicator->setProperty("Blinking", false);
    EXPECT_FALSE(indicator->Blinking());
    EXPECT_FALSE(indicator->Timer1()->isActive());
    EXPECT_FALSE(indicator->Status());
    EXPECT_EQ(indicator->pictureIndex(), 2);
    EXPECT_EQ(shown(), &(*pictures)[1]);
}

TEST_P(Indicators, EachTickTurnsStatusOver)
{
    indicator->setBlinking(true);
    for (bool expected : {false, true, false, true}) {
        indicator->blinkTick();
        EXPECT_EQ(indicator->Status(), expected);
        EXPECT_EQ(shown(), &(*pictures)[expected ? 0 : 1]);
    }
    // And the timer does the same on its own.
    indicator->setBInterval(100);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !indicator->Status(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return indicator->Status(); }, 5000));
}

TEST_P(Indicators, StatusTrueWhileBlinkingShowsPicture1AtOnce)
{
    indicator->setBlinking(true);
    indicator->blinkTick();
    ASSERT_FALSE(indicator->Status());
    indicator->setStatus(true);
    EXPECT_EQ(shown(), &(*pictures)[0]);
    EXPECT_TRUE(indicator->Blinking());
    indicator->blinkTick();
    EXPECT_EQ(shown(), &(*pictures)[1]);
}

TEST_P(Indicators, SettersRepaintAndLetEventsRun)
{
    using Setter = std::function<void(TwoPictureIndicator&)>;
    const Setter setters[] = {
        [](TwoPictureIndicator& i) { i.setStatus(true); },
        [](TwoPictureIndicator& i) { i.setStatus(false); },
        [](TwoPictureIndicator& i) { i.setEnable(true); },
        [](TwoPictureIndicator& i) { i.setBlinking(true); },
        [](TwoPictureIndicator& i) { i.setBlinking(false); },
        [](TwoPictureIndicator& i) { i.resize(40, 40); },
    };
    indicator->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(indicator.get()));
    for (const Setter& set : setters) {
        bool ran = false;
        QMetaObject::invokeMethod(
            indicator.get(), [&] { ran = true; }, Qt::QueuedConnection);
        const auto runs = eventsRunCount();
        set(*indicator);
        EXPECT_GT(eventsRunCount(), runs);
        // The queued call ran inside the setter.
        EXPECT_TRUE(ran);
    }
}

TEST_P(Indicators, ClicksRaiseMouseClickOnlyWhileEnabled)
{
    indicator->resize(40, 30);
    indicator->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(indicator.get()));
    QSignalSpy clicks(indicator.get(), &TwoPictureIndicator::MouseClick);
    QWidget* image = indicator->Image1();

    QTest::mouseClick(image, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1); // a new instance, Enable reading False, takes clicks

    indicator->setEnable(false);
    EXPECT_FALSE(indicator->isEnabled());
    QTest::mouseClick(image, Qt::LeftButton);
    QTest::mouseClick(indicator.get(), Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);

    indicator->setProperty("Enable", true);
    EXPECT_TRUE(indicator->Enable());
    QTest::mouseClick(image, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 2);

    // A double click (press, release, double-click press, release) is one click; the right
    // button none.
    QTest::mousePress(image, Qt::LeftButton);
    QTest::mouseRelease(image, Qt::LeftButton);
    QTest::mouseDClick(image, Qt::LeftButton);
    QTest::mouseRelease(image, Qt::LeftButton);
    QTest::mouseClick(image, Qt::RightButton);
    EXPECT_EQ(clicks.count(), 3);
}

TEST_P(Indicators, ResizingStretchesThePictureOverTheWholeControl)
{
    const QImage& picture = (*pictures)[0];
    const int sx = 3;
    const int sy = 2;
    indicator->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(indicator.get()));
    indicator->resize(picture.width() * sx, picture.height() * sy);
    EXPECT_EQ(indicator->Image1()->geometry(), indicator->rect());
    const QImage drawn = indicator->grab().toImage();
    ASSERT_EQ(drawn.size(), indicator->size());
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            ASSERT_EQ(drawn.pixel(x * sx + sx / 2, y * sy + sy / 2), picture.pixel(x, y))
                << "picture pixel " << x << "," << y;
        }
    }
}

TEST_P(Indicators, AllInstancesShareTheirPictures)
{
    auto other = GetParam().make();
    other->setStatus(false);
    indicator->setStatus(false);
    EXPECT_EQ(other->Image1()->picture(), indicator->Image1()->picture());
}

TEST_P(Indicators, SurvivesBeingDeletedWhileItLetsEventsRun)
{
    TwoPictureIndicator* raw = indicator.release();
    QPointer<TwoPictureIndicator> alive(raw);
    const EventsRunHook previous = setEventsRunHook([&] { delete std::exchange(raw, nullptr); });
    // Blinking False sets Status, whose event run deletes the control; the rest of the setter must
    // not touch it.
    raw->setBlinking(false);
    setEventsRunHook(previous);
    EXPECT_TRUE(alive.isNull());
}

INSTANTIATE_TEST_SUITE_P(
    All, Indicators,
    ::testing::Values(indicatorCase<PellarosLed>("PellarosLed", &ControlPictures::ledPictures),
                      indicatorCase<PellarosBigSquareLed>("PellarosBigSquareLed",
                                                          &ControlPictures::bigSquareLedPictures),
                      indicatorCase<PellarosSunkenSwitch>("PellarosSunkenSwitch",
                                                          &ControlPictures::sunkenSwitchPictures),
                      indicatorCase<PellarosPushButton>("PellarosPushButton",
                                                        &ControlPictures::pushButtonPictures)),
    [](const ::testing::TestParamInfo<IndicatorCase>& info) { return info.param.name; });

TEST(Indicators, OnlyThePushButtonHasAToolTip)
{
    EXPECT_EQ(PellarosPushButton().Image1()->toolTip(), "Click to switch Module Output ON/OFF");
    EXPECT_TRUE(PellarosLed().Image1()->toolTip().isEmpty());
    EXPECT_TRUE(PellarosBigSquareLed().Image1()->toolTip().isEmpty());
    EXPECT_TRUE(PellarosSunkenSwitch().Image1()->toolTip().isEmpty());
}

} // namespace
