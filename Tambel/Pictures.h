// The window's two fixed pictures, drawn in code.
#pragma once

#include <QPixmap>
#include <QSize>

namespace Tambel {

// A unit seen from the front: a chassis with five module slots and their output lamps.
QPixmap unitPicture(QSize size);
// Outputs switched on and off over time: a row of square pulses.
QPixmap cyclingPicture(QSize size);

} // namespace Tambel
