#include "KivoSoft/controls/Label3D.h"
#include "KivoSoft/controls/Twips.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <set>

using namespace KivoSoft;

namespace {

QPoint twips(int x, int y)
{
    return {twipsToPixels(x), twipsToPixels(y)};
}

// A click where the user would click: on the topmost child under `at`, as the window system
// delivers it.
void clickAt(QWidget* control, QPoint at, Qt::KeyboardModifiers modifiers = {})
{
    QWidget* target = control->childAt(at);
    if (!target) {
        target = control;
    }
    QTest::mouseClick(target, Qt::LeftButton, modifiers, target->mapFrom(control, at));
}

void doubleClickAt(QWidget* control, QPoint at)
{
    QWidget* target = control->childAt(at) ? control->childAt(at) : control;
    const QPoint p = target->mapFrom(control, at);
    QTest::mousePress(target, Qt::LeftButton, {}, p);
    QTest::mouseRelease(target, Qt::LeftButton, {}, p);
    QTest::mouseDClick(target, Qt::LeftButton, {}, p);
    QTest::mouseRelease(target, Qt::LeftButton, {}, p);
}

// The caption on a shown window: a hidden widget is laid out only when it is shown.
class Caption3D : public ::testing::Test {
protected:
    Caption3D() : label(&window) { label.resize(150, 30); }

    void SetUp() override
    {
        window.resize(200, 60);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QWidget window;
    Label3D label;
};

TEST_F(Caption3D, PhaseLaysTheBackLayerOutAlongADiagonal)
{
    struct PhaseCase {
        int phase;
        QPoint back;  // twips
        QPoint front; // twips
    };
    const PhaseCase cases[] = {
        {0, {15, 15}, {0, 0}},
        {1, {0, 15}, {15, 0}},
        {2, {15, 0}, {0, 15}},
        {3, {0, 0}, {15, 15}},
    };
    for (const PhaseCase& c : cases) {
        SCOPED_TRACE(c.phase);
        EXPECT_EQ(label.setPhase(c.phase), Label3D::SetError::None);
        EXPECT_EQ(label.Phase(), c.phase);
        EXPECT_EQ(label.Label1()->pos(), twips(c.back.x(), c.back.y()));
        EXPECT_EQ(label.Label2()->pos(), twips(c.front.x(), c.front.y()));
        EXPECT_EQ(label.Label1()->size(), label.size());
        EXPECT_EQ(label.Label2()->size(), label.size());
    }
}

TEST_F(Caption3D, PhasesFourTo255AreStoredWithoutMovingTheLayers)
{
    label.setPhase(2);
    for (int phase : {7, 4, 255}) {
        SCOPED_TRACE(phase);
        EXPECT_EQ(label.setPhase(phase), Label3D::SetError::None);
        EXPECT_EQ(label.Phase(), phase);
        EXPECT_EQ(label.Label1()->pos(), twips(15, 0));
        EXPECT_EQ(label.Label2()->pos(), twips(0, 15));
    }
    // A resize lays out again, still without moving them.
    label.resize(120, 40);
    EXPECT_EQ(label.Label1()->pos(), twips(15, 0));
    EXPECT_EQ(label.Label1()->size(), QSize(120, 40));
}

TEST_F(Caption3D, OutOfRangeValuesAreRefusedWithNothingChanged)
{
    label.setPhase(7);
    label.setAlignment(Label3D::AlignCenter);
    label.setBorderStyle(Label3D::BorderSingle);
    const Qt::Alignment backAlignment = label.Label1()->alignment();
    const int frontFrame = label.Label2()->frameStyle();
    QSignalSpy notices(&label, &Label3D::PropertyChanged);

    EXPECT_EQ(label.setPhase(256), Label3D::SetError::Overflow);
    EXPECT_EQ(label.setPhase(-1), Label3D::SetError::Overflow);
    EXPECT_EQ(label.Phase(), 7);
    label.setProperty("Phase", 300);
    EXPECT_EQ(label.Phase(), 7);

    EXPECT_EQ(label.setAlignment(40000), Label3D::SetError::Overflow);
    EXPECT_EQ(label.setAlignment(3), Label3D::SetError::InvalidValue);
    EXPECT_EQ(label.setAlignment(-1), Label3D::SetError::InvalidValue);
    EXPECT_EQ(label.Alignment(), Label3D::AlignCenter);
    EXPECT_EQ(label.Label1()->alignment(), backAlignment);
    EXPECT_EQ(label.Label2()->alignment(), backAlignment);

    EXPECT_EQ(label.setBorderStyle(-40000), Label3D::SetError::Overflow);
    EXPECT_EQ(label.setBorderStyle(2), Label3D::SetError::InvalidValue);
    EXPECT_EQ(label.BorderStyle(), Label3D::BorderSingle);
    EXPECT_EQ(label.Label2()->frameStyle(), frontFrame);

    EXPECT_EQ(notices.count(), 0);
}

TEST_F(Caption3D, NeverShrinksBelow100Twips)
{
    const int minimum = twipsToPixels(100);
    label.resize(twipsToPixels(50), twipsToPixels(50));
    EXPECT_EQ(label.size(), QSize(minimum, minimum));
    label.resize(twipsToPixels(50), twipsToPixels(300));
    EXPECT_EQ(label.size(), QSize(minimum, twipsToPixels(300)));
    EXPECT_EQ(label.Label2()->size(), label.size());
}

TEST_F(Caption3D, CaptionGoesOnBothLayersAndIsReadFromTheBackOne)
{
    EXPECT_EQ(label.Caption(), "Label3D");
    label.setCaption("Select a unit");
    EXPECT_EQ(label.Label1()->text(), "Select a unit");
    EXPECT_EQ(label.Label2()->text(), "Select a unit");
    label.Label2()->setText("front only");
    EXPECT_EQ(label.Caption(), "Select a unit");
    // Shown as it stands, never as markup.
    label.setCaption("<b>x</b>");
    EXPECT_EQ(label.Label1()->textFormat(), Qt::PlainText);
    EXPECT_EQ(label.Label2()->textFormat(), Qt::PlainText);
}

TEST_F(Caption3D, LayerPropertiesGoWhereTheyBelong)
{
    label.setForeColor1(0x000000FF);
    label.setForeColor2(0x0000FF00);
    EXPECT_EQ(label.Label1()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(label.Label2()->palette().color(QPalette::WindowText), QColor(0, 255, 0));

    label.setBorderStyle(Label3D::BorderSingle);
    EXPECT_NE(label.Label2()->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(label.Label1()->frameShape(), QFrame::NoFrame);

    label.setAlignment(Label3D::AlignRight);
    EXPECT_TRUE(label.Label1()->alignment() & Qt::AlignRight);
    EXPECT_TRUE(label.Label2()->alignment() & Qt::AlignRight);

    QFont font("DejaVu Serif", 15);
    label.setLayersFont(font);
    EXPECT_EQ(label.Label1()->font(), font);
    EXPECT_EQ(label.Label2()->font(), font);

    label.setLayersEnabled(false);
    EXPECT_FALSE(label.Label1()->isEnabled());
    EXPECT_FALSE(label.Label2()->isEnabled());
    EXPECT_TRUE(label.isEnabled());
    EXPECT_FALSE(label.Enabled());

    label.setBackColor(0x00FF0000);
    const QImage drawn = label.grab().toImage();
    EXPECT_EQ(QColor(drawn.pixel(label.width() - 2, label.height() - 2)), QColor(0, 0, 255));
}

TEST_F(Caption3D, EverySetNotifiesTheContainerWithThePropertyName)
{
    struct NoticeCase {
        const char* name;
        QVariant value;
    };
    const NoticeCase cases[] = {
        {"Enabled", false},
        {"Font", QFont("DejaVu Sans", 13)},
        {"ForeColor1", 0x808080u},
        {"ForeColor2", 0x00FF00u},
        {"Caption", "Ready"},
        {"Alignment", 2},
        {"Phase", 1},
        {"BackColor", 0x8000000Fu},
        {"BorderStyle", 1},
    };
    QSignalSpy notices(&label, &Label3D::PropertyChanged);
    for (const NoticeCase& c : cases) {
        SCOPED_TRACE(c.name);
        notices.clear();
        ASSERT_TRUE(label.setProperty(c.name, c.value));
        ASSERT_EQ(notices.count(), 1);
        EXPECT_EQ(notices.at(0).at(0).toString(), c.name);
        EXPECT_EQ(label.property(c.name), c.value);
    }
    // Also when the value does not change.
    notices.clear();
    label.setCaption("Ready");
    EXPECT_EQ(notices.count(), 1);
}

TEST_F(Caption3D, OnlyTheFrontLayerRaisesEvents)
{
    label.setPhase(3); // the front layer 15 twips right and down: a strip at top and left is not
    QSignalSpy clicks(&label, &Label3D::Click);
    QSignalSpy doubleClicks(&label, &Label3D::DblClick);
    QSignalSpy downs(&label, &Label3D::MouseDown);
    QSignalSpy ups(&label, &Label3D::MouseUp);

    const QPoint onFront(20, 10);
    clickAt(&label, onFront, Qt::ShiftModifier);
    EXPECT_EQ(clicks.count(), 1);
    ASSERT_EQ(downs.count(), 1);
    ASSERT_EQ(ups.count(), 1);
    // Button, shift and the position in twips within the front layer.
    const QPoint inFront = onFront - label.Label2()->pos();
    EXPECT_EQ(downs.at(0).at(0).value<short>(), 1);
    EXPECT_EQ(downs.at(0).at(1).value<short>(), 1);
    EXPECT_FLOAT_EQ(downs.at(0).at(2).toFloat(), inFront.x() * 15.0f);
    EXPECT_FLOAT_EQ(downs.at(0).at(3).toFloat(), inFront.y() * 15.0f);

    clickAt(&label, QPoint(0, 10));
    clickAt(&label, QPoint(20, 0));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(downs.count(), 1);

    doubleClickAt(&label, onFront);
    EXPECT_EQ(doubleClicks.count(), 1);
    EXPECT_EQ(clicks.count(), 2); // the first click of the pair only

    label.setLayersEnabled(false);
    const auto downsBefore = downs.count();
    clickAt(&label, onFront);
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(downs.count(), downsBefore);
}

TEST_F(Caption3D, LoadingTakesTheDefaultsForMissingKeysAndLaysOutOnce)
{
    window.setFont(QFont("DejaVu Sans", 11));
    label.setForeColor2(0x0000FF);
    label.setBackColor(0x00FF00);
    label.setCaption("old");
    label.setBorderStyle(1);
    label.setLayersEnabled(false);
    label.setLayersFont(QFont("DejaVu Serif", 20));
    QSignalSpy notices(&label, &Label3D::PropertyChanged);

    label.ReadProperties({{"Caption", "Hello"}, {"ForeColor1", 0x808080u}, {"Phase", 3}});

    EXPECT_EQ(notices.count(), 0);
    EXPECT_EQ(label.Caption(), "Hello");
    EXPECT_EQ(label.Label2()->text(), "Hello");
    EXPECT_EQ(label.ForeColor1(), 0x808080u);
    EXPECT_EQ(label.Phase(), 3);
    EXPECT_EQ(label.Label2()->pos(), twips(15, 15));
    // A white front layer on the button face.
    EXPECT_EQ(label.ForeColor2(), 0x00FFFFFFu);
    EXPECT_EQ(label.Label2()->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    EXPECT_EQ(label.BackColor(), Label3D::SystemButtonFace);
    const QImage drawn = label.grab().toImage();
    EXPECT_EQ(QColor(drawn.pixel(label.width() - 1, 0)), label.palette().color(QPalette::Window));
    EXPECT_TRUE(label.Enabled());
    EXPECT_EQ(label.Alignment(), 0);
    EXPECT_EQ(label.BorderStyle(), 0);
    EXPECT_EQ(label.Label2()->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(label.Font(), window.font());

    // Nothing stored: every default.
    label.ReadProperties({});
    EXPECT_EQ(label.Caption(), "Label3D");
    EXPECT_EQ(label.ForeColor1(), 0u);
    EXPECT_EQ(label.Phase(), 0);
    EXPECT_EQ(label.Label1()->pos(), twips(15, 15));
}

TEST_F(Caption3D, SavesWhatDiffersFromTheDefaultsAndLoadsItBack)
{
    EXPECT_TRUE(label.WriteProperties().isEmpty());

    label.setCaption("Ready");
    label.setForeColor1(0x404040);
    label.setPhase(2);
    label.setBorderStyle(1);
    label.setLayersFont(QFont("DejaVu Serif", 14));
    const QVariantMap saved = label.WriteProperties();
    EXPECT_EQ(saved.keys(), QStringList({"BorderStyle", "Caption", "Font", "ForeColor1", "Phase"}));

    Label3D loaded(&window);
    loaded.ReadProperties(saved);
    EXPECT_EQ(loaded.Caption(), "Ready");
    EXPECT_EQ(loaded.ForeColor1(), 0x404040u);
    EXPECT_EQ(loaded.Phase(), 2);
    EXPECT_EQ(loaded.BorderStyle(), 1);
    EXPECT_EQ(loaded.Font(), QFont("DejaVu Serif", 14));
    EXPECT_EQ(loaded.WriteProperties(), saved);
}

TEST(Label3DColours, ConvertsBgrValuesAndSystemColours)
{
    const QPalette palette = QApplication::palette();
    EXPECT_EQ(Label3D::toColor(0x000000FF, palette), QColor(255, 0, 0));
    EXPECT_EQ(Label3D::toColor(0x0000FF00, palette), QColor(0, 255, 0));
    EXPECT_EQ(Label3D::toColor(0x00FF0000, palette), QColor(0, 0, 255));
    EXPECT_EQ(Label3D::toColor(0x00123456, palette), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(Label3D::toColor(0x8000000F, palette), palette.color(QPalette::Window));
    EXPECT_EQ(Label3D::toColor(0x80000012, palette), palette.color(QPalette::ButtonText));
}

TEST(Label3DColours, OnlyTheBackgroundColoursVanishOnTheWindowBackground)
{
    // An empty module slot is outlined and hatched in the desktop colour on the window's
    // background; it, and every other colour drawn on that background, must show on it.
    const QPalette palette = QApplication::palette();
    const QColor background = palette.color(QPalette::Window);
    EXPECT_EQ(Label3D::toColor(0x80000001, palette), palette.color(QPalette::Dark));
    const std::set<uint> backgrounds = {4, 15, 25, 30}; // menu, button face, unused, menu bar
    for (uint index = 0; index <= 30; ++index) {
        const QColor c = Label3D::toColor(0x80000000u | index, palette);
        if (backgrounds.count(index)) {
            EXPECT_EQ(c, background) << index;
        } else {
            EXPECT_NE(c, background) << index;
        }
    }
}

} // namespace
