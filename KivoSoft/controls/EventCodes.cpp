#include "KivoSoft/controls/EventCodes.h"

#include <QKeyEvent>

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

bool isClickKey(const QKeyEvent& event)
{
    const int key = event.key();
    return (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) &&
           (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace KivoSoft
