#include "KivoSoft/controls/EventCodes.h"

namespace KivoSoft {

short mouseButtonCode(Qt::MouseButtons buttons)
{
    return static_cast<short>((buttons & Qt::LeftButton ? 1 : 0) |
                              (buttons & Qt::RightButton ? 2 : 0) |
                              (buttons & Qt::MiddleButton ? 4 : 0));
}

short shiftCode(Qt::KeyboardModifiers modifiers)
{
    return static_cast<short>((modifiers & Qt::ShiftModifier ? 1 : 0) |
                              (modifiers & Qt::ControlModifier ? 2 : 0) |
                              (modifiers & Qt::AltModifier ? 4 : 0));
}

} // namespace KivoSoft
