// The pictures of the main window and the about box, drawn in code and made once per process.
//
// Each function returns a picture that lives for the rest of the process, in 24-bit colour at the
// size of the control that shows it, so nothing is stretched.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

namespace KivoSoft::ShellPictures {

// The main window's surface below its menu bar: white, with the title band at the top and the
// help badge that `Label1` lies over.
const QImage& mainBackground();
// Where the help badge lies on the background, in pixels.
QRect helpBadgeRect();

// `Image2`: the front of a unit with its five module panels lit (the live interaction).
const QImage& monitorPicture();
// `Picture1`: an EEPROM chip beside a row of setting sliders (the stored configuration).
const QImage& configuratorPicture();
// `cmdExit`: the power symbol.
const QImage& exitPicture();
// `Image3`: the product mark in the title band.
const QImage& productMark();
// `picIcon` and the windows' icon: a white flash on a blue tile.
const QImage& programIcon();

inline constexpr QSize MonitorPictureSize{280, 190};
inline constexpr QSize ConfiguratorPictureSize{280, 190};
inline constexpr QSize ExitPictureSize{40, 40};
inline constexpr QSize ProductMarkSize{54, 54};
inline constexpr QSize ProgramIconSize{48, 48};

} // namespace KivoSoft::ShellPictures
