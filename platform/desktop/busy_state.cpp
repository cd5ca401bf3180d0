#include "platform/desktop/busy_state.h"

#include <QApplication>
#include <QCursor>

namespace kivo::desktop {

BusyState::~BusyState()
{
    if (!QApplication::instance()) {
        return;
    }
    hourglass_ = false;
    hidden_ = false;
    applyCursor();
    for (const QPointer<QWidget>& window : disabled_) {
        if (window) {
            window->setEnabled(true);
        }
    }
}

bool BusyState::set(int mode)
{
    switch (mode) {
    case 0:
        hourglass_ = false;
        applyCursor();
        for (const QPointer<QWidget>& window : disabled_) {
            if (window) {
                window->setEnabled(true);
            }
        }
        disabled_.clear();
        return true;
    case 1:
        hourglass_ = true;
        applyCursor();
        if (QWidget* active = QApplication::activeWindow(); active && active->isEnabled()) {
            active->setEnabled(false);
            disabled_.emplace_back(active);
        }
        return true;
    case 2:
        hidden_ = true;
        applyCursor();
        return true;
    case 3:
        hidden_ = false;
        applyCursor();
        return true;
    default:
        return false;
    }
}

void BusyState::applyCursor()
{
    if (!hidden_ && !hourglass_) {
        if (cursorPushed_) {
            QGuiApplication::restoreOverrideCursor();
            cursorPushed_ = false;
        }
        return;
    }
    const QCursor wanted(hidden_ ? Qt::BlankCursor : Qt::WaitCursor);
    if (cursorPushed_) {
        QGuiApplication::changeOverrideCursor(wanted);
    } else {
        QGuiApplication::setOverrideCursor(wanted);
        cursorPushed_ = true;
    }
}

BusyState& busyState()
{
    static BusyState state;
    return state;
}

bool setBusyState(int mode)
{
    return busyState().set(mode);
}

} // namespace kivo::desktop
