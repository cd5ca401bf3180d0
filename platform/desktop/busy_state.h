// The busy state of the windows: the hourglass with the window of the running action disabled,
// and the hidden mouse cursor.
//
//     setBusyState(1, this);   // hourglass; this window no longer takes input (timers still run)
//     ... a device action ...
//     setBusyState(0);         // normal pointer; the windows disabled by mode 1 take input again
//
// Modes:
//   0  normal pointer; re-enables exactly the windows that mode 1 disabled, also when another
//      window is active by then (a window a modal dialog still blocks waits for the dialog). Each
//      window gets the keyboard focus back on the control that had it when the action began, as
//      window_focus.h keeps it: also when the action disabled that control before mode 1 and
//      enables it again after mode 0, unless the user or the action has put the focus elsewhere
//      in the window since.
//   1  hourglass; disables the window of the running action, `window` (the top-level window of
//      the widget given), whether or not it is active at that moment, and the active window
//      as well: right after an input box closes no window may be active until the window manager
//      hands the focus back, and a timer tick of a hidden window keeps the one in use off the
//      port's action too. Windows that other code has disabled are left alone.
//      Repeated 1s keep one hourglass, and every window they disabled waits for the next 0.
//   2  hides the mouse cursor (a blank cursor over every window of the program).
//   3  shows it again.
//   Each of these returns true; any other mode changes nothing and returns false.
// The pointer is a state, not a count: 1, 1, 0 gives the normal pointer, 2, 2, 3 a visible one.
// A hidden cursor stays hidden while the hourglass comes and goes. Everything goes through one
// entry of Qt's override cursor stack, which the busy state owns.
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

namespace kivo::desktop {

class BusyState {
public:
    BusyState() = default;
    // Gives back what it still holds: its cursor entry and the windows it disabled.
    ~BusyState();
    BusyState(const BusyState&) = delete;
    BusyState& operator=(const BusyState&) = delete;

    // `window` counts for mode 1 only; any widget of the window will do.
    bool set(int mode, QWidget* window = nullptr);

    bool hourglass() const { return hourglass_; }
    bool cursorHidden() const { return hidden_; }

private:
    void applyCursor();
    void disable(QWidget* window);

    bool hourglass_ = false;
    bool hidden_ = false;
    bool cursorPushed_ = false;
    std::vector<QPointer<QWidget>> disabled_;
};

// The program's one busy state.
BusyState& busyState();

// busyState().set(mode, window).
bool setBusyState(int mode, QWidget* window = nullptr);

} // namespace kivo::desktop
