#include "KivoSoft/controls/ControlPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

namespace KivoSoft::ControlPictures {

namespace {

// Seven rows of five dots, the left-most dot in bit 4.
using Glyph = std::array<std::uint8_t, 7>;

// The ten digits in the order of the picture list: 1 to 9, then 0.
constexpr std::array<Glyph, 10> DigitGlyphs{{
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}, // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}, // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}, // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}, // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}, // 9
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, // 0
}};
constexpr Glyph BlankGlyph{0, 0, 0, 0, 0, 0, 0};
// 2 x 2 dots in the two bottom rows, second and third columns.
constexpr Glyph SeparatorGlyph{0, 0, 0, 0, 0, 0x0C, 0x0C};

// Letters of the rocker switch, same dot layout.
constexpr Glyph LetterO{0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E};
constexpr Glyph LetterN{0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11};
constexpr Glyph LetterF{0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10};

constexpr QSize DigitSize{16, 28};
// Dot pitch and the first dot's top left corner inside a digit cell.
constexpr int DotPitch = 3;
constexpr int DotSize = 2;
constexpr QPoint FirstDot{1, 4};

QImage blankPicture(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// ---- digit cells ------------------------------------------------------------------------------

struct DigitLook {
    QRgb background;
    QRgb lit;
    QRgb dark;
    bool topLine;
};

constexpr DigitLook Style1{qRgb(0, 0, 0), LitGreen, DigitDarkDot, true};
constexpr DigitLook Style2{DigitOlive, qRgb(0, 0, 0), DigitDarkDot, true};
constexpr DigitLook InitialLook{InitialOlive, qRgb(0, 0, 0), InitialDarkDot, true};

QImage drawDigit(const DigitLook& look, const Glyph& glyph)
{
    QImage image = blankPicture(DigitSize, look.background);
    const int w = DigitSize.width();
    const int h = DigitSize.height();
    // The thin edge: light grey at the top and left, white at the bottom and right.
    for (int x = 0; x < w; ++x) {
        image.setPixel(x, 0, DigitEdgeGrey);
        if (x > 0) {
            image.setPixel(x, h - 1, qRgb(255, 255, 255));
        }
    }
    for (int y = 1; y < h; ++y) {
        image.setPixel(0, y, DigitEdgeGrey);
        image.setPixel(w - 1, y, qRgb(255, 255, 255));
    }
    if (look.topLine) {
        for (int x = 1; x < w - 1; ++x) {
            image.setPixel(x, 1, qRgb(0, 0, 0));
        }
    }
    for (int row = 0; row < 7; ++row) {
        for (int column = 0; column < 5; ++column) {
            const bool lit = (glyph[row] >> (4 - column)) & 1;
            const QRect dot = digitDotRect(column, row);
            for (int y = dot.top(); y <= dot.bottom(); ++y) {
                for (int x = dot.left(); x <= dot.right(); ++x) {
                    image.setPixel(x, y, lit ? look.lit : look.dark);
                }
            }
        }
    }
    return image;
}

const Glyph& glyphInSet(int inSet)
{
    if (inSet == BlankInSet) {
        return BlankGlyph;
    }
    if (inSet == SeparatorInSet) {
        return SeparatorGlyph;
    }
    return DigitGlyphs[inSet - 1];
}

// ---- mottling ---------------------------------------------------------------------------------

// Blotchy brightness noise with a mean of exactly zero and values within -1..1. The engine and
// its seed are fixed (minstd_rand's sequence is laid down by the standard), so every run draws
// the same lamp.
std::vector<double> mottle(QSize size, unsigned seed)
{
    std::minstd_rand engine(seed);
    const int w = size.width();
    const int h = size.height();
    std::vector<double> raw(w * h);
    for (double& v : raw) {
        v = static_cast<double>(engine() % 2001) / 1000.0 - 1.0;
    }
    // A 3 x 3 box blur turns single-pixel grain into soft blotches.
    std::vector<double> noise(w * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double sum = 0;
            int count = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int xx = x + dx;
                    const int yy = y + dy;
                    if (xx >= 0 && xx < w && yy >= 0 && yy < h) {
                        sum += raw[yy * w + xx];
                        ++count;
                    }
                }
            }
            noise[y * w + x] = sum / count;
        }
    }
    double mean = 0;
    for (double v : noise) {
        mean += v;
    }
    mean /= noise.size();
    double peak = 0;
    for (double& v : noise) {
        v -= mean;
        peak = std::max(peak, std::abs(v));
    }
    if (peak > 0) {
        for (double& v : noise) {
            v /= peak;
        }
    }
    return noise;
}

// Fills `area` with `average` varied by up to `amplitude` units in every channel; the average of
// the area stays `average` to within rounding.
void fillMottled(QImage& image, const QRect& area, QRgb average, double amplitude, unsigned seed)
{
    const std::vector<double> noise = mottle(area.size(), seed);
    auto channel = [&](int base, double n) {
        return std::clamp(static_cast<int>(std::lround(base + amplitude * n)), 0, 255);
    };
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x) {
            const double n = noise[y * area.width() + x];
            image.setPixel(area.left() + x, area.top() + y,
                           qRgb(channel(qRed(average), n), channel(qGreen(average), n),
                                channel(qBlue(average), n)));
        }
    }
}

// ---- indicators -------------------------------------------------------------------------------

QImage drawLed(QRgb lit)
{
    QImage image = blankPicture({23, 23}, Beige);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QPointF centre(11.5, 11.5);
    // Dark rim, lighter towards the bottom right as if lit from the top left.
    QLinearGradient rim(QPointF(2, 2), QPointF(21, 21));
    rim.setColorAt(0, QColor(40, 40, 40));
    rim.setColorAt(1, QColor(120, 120, 120));
    p.setBrush(rim);
    p.drawEllipse(centre, 11, 11);
    p.setBrush(QColor(30, 30, 30));
    p.drawEllipse(centre, 9.6, 9.6);
    // The lit glass: flat in the middle, so the centre shows the lamp's own colour, deeper at the
    // edge.
    QRadialGradient glass(centre, 9);
    glass.setColorAt(0, QColor(lit));
    glass.setColorAt(0.55, QColor(lit));
    glass.setColorAt(1, QColor(lit).darker(170));
    p.setBrush(glass);
    p.drawEllipse(centre, 9, 9);
    // The highlight, up and to the left of the centre.
    p.setBrush(QColor(255, 255, 255, 110));
    p.drawEllipse(QPointF(8.5, 8), 4, 3.2);
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(QPointF(7.8, 7.2), 2.2, 1.7);
    return image;
}

QImage drawBigSquareLed(int picture)
{
    QImage image = blankPicture({27, 20}, Beige);
    // Sunken frame, outer then inner edge; the top and left edges overlap the bottom and right
    // ones at the corners.
    auto line = [&](int x0, int y0, int x1, int y1, QRgb colour) {
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                image.setPixel(x, y, colour);
            }
        }
    };
    line(1, 18, 25, 18, qRgb(255, 255, 255));
    line(25, 1, 25, 18, qRgb(255, 255, 255));
    line(1, 1, 25, 1, OffGrey);
    line(1, 1, 1, 18, OffGrey);
    line(2, 17, 24, 17, FrameLightGrey);
    line(24, 2, 24, 17, FrameLightGrey);
    line(2, 2, 24, 2, qRgb(0, 0, 0));
    line(2, 2, 2, 17, qRgb(0, 0, 0));
    if (picture == 1) {
        fillMottled(image, bigSquareMottledArea(1), MottledGreen, 16, 1u);
    } else {
        line(3, 16, 23, 16, DarkRedEdge);
        line(23, 3, 23, 16, DarkRedEdge);
        fillMottled(image, bigSquareMottledArea(2), MottledRed, 16, 2u);
    }
    return image;
}

void drawGlyphs(QImage& image, QPoint topLeft, std::initializer_list<Glyph> glyphs, QRgb colour)
{
    int left = topLeft.x();
    for (const Glyph& glyph : glyphs) {
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 5; ++column) {
                if ((glyph[row] >> (4 - column)) & 1) {
                    image.setPixel(left + column, topLeft.y() + row, colour);
                }
            }
        }
        left += 6;
    }
}

// `up`: the cap is tipped towards the top (picture 1), else towards the bottom.
QImage drawSunkenSwitch(bool up)
{
    const int height = up ? 43 : 44;
    QImage image = blankPicture({36, height}, Beige);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The well: a grey rounded hollow, shadowed at the top left and lit at the bottom right.
    const QRectF well(1.5, 1.5, 33, height - 3);
    QLinearGradient wellEdge(well.topLeft(), well.bottomRight());
    wellEdge.setColorAt(0, QColor(90, 90, 90));
    wellEdge.setColorAt(0.5, QColor(140, 140, 140));
    wellEdge.setColorAt(1, QColor(255, 255, 255));
    QLinearGradient wellFloor(well.topLeft(), well.bottomLeft());
    wellFloor.setColorAt(0, QColor(120, 120, 120));
    wellFloor.setColorAt(1, QColor(170, 170, 170));
    p.setPen(QPen(QBrush(wellEdge), 1));
    p.setBrush(wellFloor);
    p.drawRoundedRect(well, 7, 7);

    // The cap: a disc with the raised end catching the light and throwing a shadow on the floor.
    const QPointF centre(18, height / 2.0);
    const double radius = 12.5;
    const double tip = up ? 1 : -1; // +1: the bottom end stands out
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 70, 70, 170));
    p.drawEllipse(centre + QPointF(0.6, 2.2 * tip), radius, radius);
    QLinearGradient face(centre - QPointF(0, radius * tip), centre + QPointF(0, radius * tip));
    face.setColorAt(0, QColor(150, 150, 150));
    face.setColorAt(0.45, QColor(205, 205, 205));
    face.setColorAt(1, QColor(245, 245, 245));
    p.setPen(QPen(QColor(80, 80, 80), 1));
    p.setBrush(face);
    p.drawEllipse(centre, radius, radius);
    // The ridge across the cap where it rocks.
    p.setPen(QPen(QColor(120, 120, 120, 160), 1));
    const double ridge = centre.y() - 4.5 * tip;
    p.drawLine(QPointF(centre.x() - 9, ridge), QPointF(centre.x() + 9, ridge));
    p.end();
    // The word on the raised half of the cap.
    const int textTop = static_cast<int>(centre.y()) + (up ? 0 : -7);
    if (up) {
        drawGlyphs(image, {13, textTop}, {LetterO, LetterN}, qRgb(0, 168, 0));
    } else {
        drawGlyphs(image, {10, textTop}, {LetterO, LetterF, LetterF}, OffGrey);
    }
    return image;
}

QImage drawPushButton(bool pressed)
{
    QImage image = blankPicture({29, 20}, Beige);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF oval(1, 1, 27, 18);
    // Pressed: shadowed at the top, darker overall. Raised: lit at the top, lighter overall.
    QLinearGradient body(oval.topLeft(), oval.bottomLeft());
    if (pressed) {
        body.setColorAt(0, QColor(110, 110, 110));
        body.setColorAt(0.5, QColor(150, 150, 150));
        body.setColorAt(1, QColor(185, 185, 185));
    } else {
        body.setColorAt(0, QColor(250, 250, 250));
        body.setColorAt(0.5, QColor(218, 218, 218));
        body.setColorAt(1, QColor(170, 170, 170));
    }
    p.setPen(QPen(pressed ? QColor(60, 60, 60) : QColor(100, 100, 100), 1));
    p.setBrush(body);
    p.drawEllipse(oval);
    // The lamp on the right half.
    const QPointF lamp(PushButtonLampCentre.x() + 0.5, PushButtonLampCentre.y() + 0.5);
    p.setPen(Qt::NoPen);
    p.setBrush(pressed ? QColor(0, 90, 0) : QColor(70, 80, 70));
    p.drawEllipse(lamp, 4.5, 4.5);
    p.setBrush(pressed ? QColor(LitGreen) : QColor(30, 70, 30));
    p.drawEllipse(lamp, 3.3, 3.3);
    if (pressed) {
        p.setBrush(QColor(220, 255, 220));
        p.drawEllipse(lamp + QPointF(-1.3, -1.4), 1, 0.8);
    }
    return image;
}

} // namespace

QRect digitDotRect(int column, int row)
{
    return {FirstDot.x() + DotPitch * column, FirstDot.y() + DotPitch * row, DotSize, DotSize};
}

QRect bigSquareMottledArea(int picture)
{
    return picture == 1 ? QRect(3, 3, 21, 14) : QRect(3, 3, 20, 13);
}

const PicturePair& ledPictures()
{
    static const PicturePair pictures{drawLed(LitGreen), drawLed(LitYellow)};
    return pictures;
}

const PicturePair& bigSquareLedPictures()
{
    static const PicturePair pictures{drawBigSquareLed(1), drawBigSquareLed(2)};
    return pictures;
}

const PicturePair& sunkenSwitchPictures()
{
    static const PicturePair pictures{drawSunkenSwitch(true), drawSunkenSwitch(false)};
    return pictures;
}

const PicturePair& pushButtonPictures()
{
    static const PicturePair pictures{drawPushButton(true), drawPushButton(false)};
    return pictures;
}

const QImage& digitPicture(int index)
{
    static const std::array<QImage, DigitPictureCount> pictures = [] {
        std::array<QImage, DigitPictureCount> list;
        for (int inSet = 1; inSet <= DigitSetSize; ++inSet) {
            list[inSet - 1] = drawDigit(Style1, glyphInSet(inSet));
            list[DigitSetSize + inSet - 1] = drawDigit(Style2, glyphInSet(inSet));
        }
        return list;
    }();
    Q_ASSERT(index >= 1 && index <= DigitPictureCount);
    return pictures[std::clamp(index, 1, DigitPictureCount) - 1];
}

const QImage& initialDigitPicture()
{
    static const QImage picture = drawDigit(InitialLook, BlankGlyph);
    return picture;
}

const QImage& displayPanelPicture()
{
    static const QImage picture = blankPicture({89, 37}, PanelOlive);
    return picture;
}

std::vector<NamedPicture> catalogue()
{
    std::vector<NamedPicture> list;
    auto addPair = [&](const QString& control, const PicturePair& pair) {
        list.push_back({control + "-1", &pair[0]});
        list.push_back({control + "-2", &pair[1]});
    };
    addPair("PellarosLed", ledPictures());
    addPair("PellarosBigSquareLed", bigSquareLedPictures());
    addPair("PellarosSunkenSwitch", sunkenSwitchPictures());
    addPair("PellarosPushButton", pushButtonPictures());
    for (int index = 1; index <= DigitPictureCount; ++index) {
        list.push_back({QString("PellarosDisplay-%1").arg(index), &digitPicture(index)});
    }
    list.push_back({"PellarosDisplay-initial", &initialDigitPicture()});
    list.push_back({"PellarosDisplay-panel", &displayPanelPicture()});
    return list;
}

} // namespace KivoSoft::ControlPictures
