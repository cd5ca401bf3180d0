#include "platform/desktop/busy_state.h"

#include "platform/desktop/window_focus.h"

#include <QApplication>
#include <QCursor>

#include <algorithm>

namespace kivo::desktop {

BusyState::~BusyState()
{
    if (!QApplication::instance()) {
        return;
    }
    hourglass_ = false;
    hidden_ = false;
    applyCursor();
    for (const QPointer<QWidget>& window : std::exchange(disabled_, {})) {
        unlockWindow(window, WindowLock::Busy);
    }
}

bool BusyState::set(int mode, QWidget* window)
{
    switch (mode) {
    case 0:
        hourglass_ = false;
        applyCursor();
        for (const QPointer<QWidget>& held : std::exchange(disabled_, {})) {
            unlockWindow(held, WindowLock::Busy);
        }
        return true;
    case 1:
        hourglass_ = true;
        applyCursor();
        if (window) {
            disable(window->window());
        }
        disable(QApplication::activeWindow());
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

void BusyState::disable(QWidget* window)
{
    if (!window || std::find(disabled_.begin(), disabled_.end(), window) != disabled_.end()) {
        return;
    }
    if (lockWindow(window, WindowLock::Busy)) {
        disabled_.emplace_back(window);
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

bool setBusyState(int mode, QWidget* window)
{
    return busyState().set(mode, window);
}

} // namespace kivo::desktop
