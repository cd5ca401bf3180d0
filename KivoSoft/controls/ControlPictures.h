// The pictures of the indicator control kit, drawn in code and made once for all instances.
//
// Every picture is 24-bit colour (no alpha) on the light beige background of the windows, except
// the digit cells, which are complete tiles of the display. The functions return references to
// pictures that live for the rest of the process; the controls hold pointers to them.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <vector>

namespace KivoSoft::ControlPictures {

// Picture 1 (shown while `Status` is True) and picture 2 of a two-picture indicator; element 0
// is picture 1.
using PicturePair = std::array<QImage, 2>;

// 23 x 23: round lamp with a dark rim and a white highlight, lit green / lit yellow.
const PicturePair& ledPictures();
// 27 x 20: square lamp in a sunken frame, mottled green / mottled red with a dark red inner edge.
const PicturePair& bigSquareLedPictures();
// 36 x 43 / 36 x 44: rocker cap in a sunken grey well, tipped up with ON / tipped down with OFF.
const PicturePair& sunkenSwitchPictures();
// 29 x 20: oval button pressed with its lamp lit / raised and lighter with its lamp dark.
const PicturePair& pushButtonPictures();

// The display's picture list: 24 digit cells of 16 x 28. Pictures 1 to 12 are style 1 (green on
// black), 13 to 24 style 2 (black on olive). Within a set: 1 to 9 the digits, 10 the zero, 11 the
// blank (every dot dark), 12 the decimal separator. `index` outside 1..24 is a programming error.
inline constexpr int DigitSetSize = 12;
inline constexpr int DigitPictureCount = 2 * DigitSetSize;
inline constexpr int ZeroInSet = 10;
inline constexpr int BlankInSet = 11;
inline constexpr int SeparatorInSet = 12;
const QImage& digitPicture(int index);
// The olive blank every position of a new display shows until its first value.
const QImage& initialDigitPicture();
// 89 x 37 (1335 x 555 twips): the olive-yellow panel behind the digits.
const QImage& displayPanelPicture();

// Colours the pictures are built from.
inline constexpr QRgb Beige = qRgb(236, 233, 216);
inline constexpr QRgb LitGreen = qRgb(0, 255, 0);
inline constexpr QRgb LitYellow = qRgb(255, 255, 0);
inline constexpr QRgb MottledGreen = qRgb(95, 239, 27);
inline constexpr QRgb MottledRed = qRgb(239, 27, 27);
inline constexpr QRgb DarkRedEdge = qRgb(128, 0, 0);
inline constexpr QRgb FrameLightGrey = qRgb(192, 192, 192);
inline constexpr QRgb OffGrey = qRgb(128, 128, 128);
inline constexpr QRgb DigitEdgeGrey = qRgb(198, 198, 198);
inline constexpr QRgb DigitDarkDot = qRgb(0, 132, 0);
inline constexpr QRgb DigitOlive = qRgb(132, 132, 0);
inline constexpr QRgb InitialDarkDot = qRgb(0, 128, 0);
inline constexpr QRgb InitialOlive = qRgb(128, 128, 0);
inline constexpr QRgb PanelOlive = qRgb(192, 192, 0);

// Where things lie inside the pictures.
// The 2 x 2 pixels of dot (column 0..4, row 0..6) of a digit cell.
QRect digitDotRect(int column, int row);
// The mottled fill of the square lamp's picture 1 or 2 (picture 2's excludes its dark red edge).
QRect bigSquareMottledArea(int picture);
// The lamp of the push-button (its centre pixel is lit green in picture 1).
inline constexpr QPoint PushButtonLampCentre{20, 10};

// Every picture of the kit with the name the gallery gives its file: "PellarosLed-1" ...
// "PellarosDisplay-24", "PellarosDisplay-initial", "PellarosDisplay-panel".
struct NamedPicture {
    QString name;
    const QImage* picture;
};
std::vector<NamedPicture> catalogue();

} // namespace KivoSoft::ControlPictures
