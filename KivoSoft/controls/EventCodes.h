// The codes the controls' events carry for buttons and modifier keys, as the windows' handlers
// expect them: bit 1 left (Shift), bit 2 right (Ctrl), bit 4 middle (Alt).
#pragma once

#include <Qt>

namespace KivoSoft {

short mouseButtonCode(Qt::MouseButtons buttons);
short shiftCode(Qt::KeyboardModifiers modifiers);

} // namespace KivoSoft
