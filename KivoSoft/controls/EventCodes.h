// The codes the controls' events carry for buttons and modifier keys, as the windows' handlers
// expect them: bit 1 left (Shift), bit 2 right (Ctrl), bit 4 middle (Alt).
#pragma once

#include <Qt>

class QKeyEvent;

namespace KivoSoft {

short mouseButtonCode(Qt::MouseButtons buttons);
short shiftCode(Qt::KeyboardModifiers modifiers);

// Whether `event` is a key that works a control drawn as a picture as a click does: Space, Return
// or the keypad's Enter, with no modifier.
bool isClickKey(const QKeyEvent& event);

} // namespace KivoSoft
