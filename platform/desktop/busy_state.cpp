#include "platform/desktop/busy_state.h"

#include <QApplication>
#include <QCursor>
#include <QTimer>

#include <algorithm>

namespace kivo::desktop {

namespace {

// A control that can hold the focus of `window` now.
bool canTakeFocus(const QWidget* control, const QWidget* window)
{
    return control && control->window() == window && control->isVisible() && control->isEnabled() &&
           control->focusPolicy() != Qt::NoFocus;
}

} // namespace

BusyState::~BusyState()
{
    if (!QApplication::instance()) {
        return;
    }
    hourglass_ = false;
    hidden_ = false;
    applyCursor();
    for (const Held& held : disabled_) {
        if (held.window) {
            held.window->setEnabled(true);
        }
    }
}

bool BusyState::set(int mode, QWidget* window)
{
    switch (mode) {
    case 0: {
        hourglass_ = false;
        applyCursor();
        const std::vector<Held> held = std::exchange(disabled_, {});
        for (const Held& h : held) {
            if (h.window) {
                h.window->setEnabled(true);
            }
        }
        bool later = false;
        for (const Held& h : held) {
            if (h.window && !giveFocusBack(h, false)) {
                focusPending_.push_back(h);
                later = true;
            }
        }
        if (later) {
            giveFocusBackLater();
        }
        return true;
    }
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
    if (!window || !window->isEnabled()) {
        return;
    }
    Held held{window, window->focusWidget()};
    // A window made busy again before its focus came back keeps the control it is owed.
    const auto pending = std::find_if(focusPending_.begin(), focusPending_.end(),
                                      [window](const Held& h) { return h.window == window; });
    if (pending != focusPending_.end()) {
        if (!held.focus) {
            held.focus = pending->focus;
        }
        focusPending_.erase(pending);
    }
    // Disabling takes the focus away from the window's control; it is given back at mode 0.
    window->setEnabled(false);
    disabled_.push_back(held);
}

bool BusyState::giveFocusBack(const Held& held, bool passOn)
{
    QWidget* window = held.window;
    if (!window || !window->isEnabled() || !held.focus) {
        return true;
    }
    if (QWidget* now = window->focusWidget(); now && now != held.focus) {
        // Placed elsewhere since: that move stands.
        return true;
    }
    if (canTakeFocus(held.focus, window)) {
        held.focus->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (!passOn) {
        return false;
    }
    // Gone hidden or disabled for good: the next control of the tab chain takes it.
    for (QWidget* next = held.focus->nextInFocusChain(); next && next != held.focus;
         next = next->nextInFocusChain()) {
        if (canTakeFocus(next, window) && (next->focusPolicy() & Qt::TabFocus)) {
            next->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
    return true;
}

void BusyState::giveFocusBackLater()
{
    QTimer::singleShot(0, &pendingContext_, [this] {
        const std::vector<Held> pending = std::exchange(focusPending_, {});
        for (const Held& held : pending) {
            giveFocusBack(held, true);
        }
    });
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
