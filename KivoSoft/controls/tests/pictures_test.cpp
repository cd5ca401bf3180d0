#include "KivoSoft/controls/ControlPictures.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace KivoSoft::ControlPictures;

namespace {

QRgb rgb(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

struct Average {
    double red = 0, green = 0, blue = 0;
};

Average average(const QImage& image, const QRect& area)
{
    Average a;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            a.red += qRed(p);
            a.green += qGreen(p);
            a.blue += qBlue(p);
        }
    }
    const double n = area.width() * area.height();
    return {a.red / n, a.green / n, a.blue / n};
}

TEST(Pictures, EveryPictureHasItsSizeAndNoAlpha)
{
    std::map<QString, QSize> expected = {
        {"PellarosLed-1", {23, 23}},           {"PellarosLed-2", {23, 23}},
        {"PellarosBigSquareLed-1", {27, 20}},  {"PellarosBigSquareLed-2", {27, 20}},
        {"PellarosSunkenSwitch-1", {36, 43}},  {"PellarosSunkenSwitch-2", {36, 44}},
        {"PellarosPushButton-1", {29, 20}},    {"PellarosPushButton-2", {29, 20}},
        {"PellarosDisplay-initial", {16, 28}}, {"PellarosDisplay-panel", {89, 37}},
    };
    for (int index = 1; index <= 24; ++index) {
        expected[QString("PellarosDisplay-%1").arg(index)] = {16, 28};
    }
    const auto list = catalogue();
    ASSERT_EQ(list.size(), expected.size());
    for (const auto& [name, picture] : list) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(expected.count(name));
        EXPECT_EQ(picture->size(), expected[name]);
        EXPECT_FALSE(picture->hasAlphaChannel());
    }
}

TEST(Pictures, IndicatorsLieOnTheBeigeBackground)
{
    for (const PicturePair* pair : {&ledPictures(), &bigSquareLedPictures(),
                                    &sunkenSwitchPictures(), &pushButtonPictures()}) {
        for (const QImage& picture : *pair) {
            const int r = picture.width() - 1;
            const int b = picture.height() - 1;
            for (QPoint corner : {QPoint(0, 0), QPoint(r, 0), QPoint(0, b), QPoint(r, b)}) {
                EXPECT_EQ(rgb(picture, corner.x(), corner.y()), Beige & 0xFFFFFF)
                    << picture.width() << "x" << picture.height() << " at " << corner.x() << ","
                    << corner.y();
            }
        }
    }
}

TEST(Pictures, LampsShowTheirLitColourAtTheCentre)
{
    EXPECT_EQ(rgb(ledPictures()[0], 11, 11), LitGreen & 0xFFFFFF);
    EXPECT_EQ(rgb(ledPictures()[1], 11, 11), LitYellow & 0xFFFFFF);
    const QPoint lamp = PushButtonLampCentre;
    EXPECT_EQ(rgb(pushButtonPictures()[0], lamp.x(), lamp.y()), LitGreen & 0xFFFFFF);
    // Raised, the lamp is dark.
    EXPECT_LT(qGreen(pushButtonPictures()[1].pixel(lamp)), 128);
    // ... and the raised button is lighter than the pressed one.
    const QRect body(4, 4, 10, 12);
    const Average pressed = average(pushButtonPictures()[0], body);
    const Average raised = average(pushButtonPictures()[1], body);
    EXPECT_GT(raised.red, pressed.red + 20);
}

TEST(Pictures, SquareLampIsMottledAroundItsAverageInASunkenFrame)
{
    struct LampCase {
        int picture;
        QRgb average;
    };
    for (const LampCase& c : {LampCase{1, MottledGreen}, LampCase{2, MottledRed}}) {
        SCOPED_TRACE(c.picture);
        const QImage& picture = bigSquareLedPictures()[c.picture - 1];
        const QRect area = bigSquareMottledArea(c.picture);
        const Average a = average(picture, area);
        EXPECT_NEAR(a.red, qRed(c.average), 2.0);
        EXPECT_NEAR(a.green, qGreen(c.average), 2.0);
        EXPECT_NEAR(a.blue, qBlue(c.average), 2.0);
        // Mottled, not flat.
        int differing = 0;
        for (int x = area.left(); x <= area.right(); ++x) {
            differing += picture.pixel(x, area.center().y()) != picture.pixel(area.center());
        }
        EXPECT_GT(differing, area.width() / 2);
        // Inner border: black at the top and left, light grey at the bottom and right.
        EXPECT_EQ(rgb(picture, 10, area.top() - 1), 0u);
        EXPECT_EQ(rgb(picture, area.left() - 1, 10), 0u);
        EXPECT_EQ(rgb(picture, 10, 17), FrameLightGrey & 0xFFFFFF);
        EXPECT_EQ(rgb(picture, 24, 10), FrameLightGrey & 0xFFFFFF);
    }
    // The red lamp's dark red inner edge at the bottom and right.
    const QImage& red = bigSquareLedPictures()[1];
    EXPECT_EQ(rgb(red, 10, 16), DarkRedEdge & 0xFFFFFF);
    EXPECT_EQ(rgb(red, 23, 10), DarkRedEdge & 0xFFFFFF);
}

TEST(Pictures, MottlingIsTheSameInEveryRun)
{
    // The mottled fill is made from a fixed seed; a change here changes every lamp on screen.
    auto digest = [](const QImage& picture, const QRect& area) {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const QRgb p = picture.pixel(x, y);
                const char bytes[] = {char(qRed(p)), char(qGreen(p)), char(qBlue(p))};
                hash.addData(QByteArrayView(bytes, 3));
            }
        }
        return hash.result().toHex().left(16);
    };
    EXPECT_EQ(digest(bigSquareLedPictures()[0], bigSquareMottledArea(1)), "4fcf4df0c58de890");
    EXPECT_EQ(digest(bigSquareLedPictures()[1], bigSquareMottledArea(2)), "b9aa992beff87de6");
}

TEST(Pictures, RockerShowsOnInGreenAndOffInGrey)
{
    auto count = [](const QImage& picture, auto predicate) {
        int n = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                n += predicate(picture.pixel(x, y));
            }
        }
        return n;
    };
    auto green = [](QRgb p) { return qGreen(p) > 120 && qRed(p) < 40 && qBlue(p) < 40; };
    auto offGrey = [](QRgb p) { return (p & 0xFFFFFF) == (OffGrey & 0xFFFFFF); };
    const QImage& on = sunkenSwitchPictures()[0];
    const QImage& off = sunkenSwitchPictures()[1];
    EXPECT_GT(count(on, green), 20);
    EXPECT_EQ(count(off, green), 0);
    EXPECT_GT(count(off, offGrey), 20);
}

TEST(Pictures, DigitCellsHaveTheirDotsColoursAndEdge)
{
    struct StyleCase {
        int offset;
        QRgb background, lit, dark;
    };
    const StyleCase styles[] = {{0, qRgb(0, 0, 0), LitGreen, DigitDarkDot},
                                {12, DigitOlive, qRgb(0, 0, 0), DigitDarkDot}};
    for (const StyleCase& s : styles) {
        SCOPED_TRACE(s.offset);
        const QImage& separator = digitPicture(s.offset + SeparatorInSet);
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 5; ++column) {
                const bool lit = row >= 5 && (column == 1 || column == 2);
                const QRect dot = digitDotRect(column, row);
                for (QPoint p : {dot.topLeft(), dot.bottomRight()}) {
                    EXPECT_EQ(rgb(separator, p.x(), p.y()), (lit ? s.lit : s.dark) & 0xFFFFFF)
                        << column << "," << row;
                }
            }
        }
        // Between the dots, the background; the top line is black.
        EXPECT_EQ(rgb(separator, 3, 8), s.background & 0xFFFFFF);
        EXPECT_EQ(rgb(separator, 8, 1), 0u);
        // The thin light grey and white edge.
        EXPECT_EQ(rgb(separator, 0, 10), DigitEdgeGrey & 0xFFFFFF);
        EXPECT_EQ(rgb(separator, 8, 0), DigitEdgeGrey & 0xFFFFFF);
        EXPECT_EQ(rgb(separator, 15, 10), 0xFFFFFFu);
        EXPECT_EQ(rgb(separator, 8, 27), 0xFFFFFFu);
        // The blank has every dot dark.
        const QImage& blank = digitPicture(s.offset + BlankInSet);
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 5; ++column) {
                EXPECT_EQ(rgb(blank, digitDotRect(column, row).x(), digitDotRect(column, row).y()),
                          s.dark & 0xFFFFFF);
            }
        }
    }
}

TEST(Pictures, BothStylesDrawTwelveDistinctSymbolsWithTheSameDots)
{
    auto litDots = [](const QImage& picture, QRgb lit) {
        QString pattern;
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 5; ++column) {
                pattern += (picture.pixel(digitDotRect(column, row).topLeft()) & 0xFFFFFF) ==
                                   (lit & 0xFFFFFF)
                               ? '#'
                               : '.';
            }
        }
        return pattern;
    };
    std::set<QString> seen;
    for (int inSet = 1; inSet <= 12; ++inSet) {
        const QString first = litDots(digitPicture(inSet), LitGreen);
        EXPECT_EQ(litDots(digitPicture(12 + inSet), qRgb(0, 0, 0)), first) << inSet;
        seen.insert(first);
    }
    EXPECT_EQ(seen.size(), 12u);
    // The 8 and the 1 as they are meant to look.
    EXPECT_EQ(litDots(digitPicture(8), LitGreen), ".###.#...#"
                                                  "#...#.###."
                                                  "#...##...#"
                                                  ".###.");
    EXPECT_EQ(litDots(digitPicture(1), LitGreen), "..#...##.."
                                                  "..#....#.."
                                                  "..#....#.."
                                                  ".###.");
}

TEST(Pictures, NewDisplayBlankAndPanelAreOlive)
{
    const QImage& initial = initialDigitPicture();
    EXPECT_EQ(rgb(initial, 3, 8), InitialOlive & 0xFFFFFF);
    for (int row = 0; row < 7; ++row) {
        EXPECT_EQ(rgb(initial, digitDotRect(2, row).x(), digitDotRect(2, row).y()),
                  InitialDarkDot & 0xFFFFFF);
    }
    const QImage& panel = displayPanelPicture();
    for (QPoint p : {QPoint(0, 0), QPoint(44, 18), QPoint(88, 36)}) {
        EXPECT_EQ(rgb(panel, p.x(), p.y()), PanelOlive & 0xFFFFFF);
    }
}

} // namespace
