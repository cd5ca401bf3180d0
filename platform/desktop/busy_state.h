// The busy state of the windows: the hourglass with the active window disabled, and the hidden
// mouse cursor.
//
//     setBusyState(1);   // hourglass; the active window no longer takes input (timers still run)
//     ... a device action ...
//     setBusyState(0);   // normal pointer; the windows disabled by mode 1 take input again
//
// Modes:
//   0  normal pointer; re-enables exactly the windows that mode 1 disabled, also when another
//      window is active by then; a window disabled by anyone else stays as it is.
//   1  hourglass; disables the active window when it is enabled (none active: only the hourglass).
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

    bool set(int mode);

    bool hourglass() const { return hourglass_; }
    bool cursorHidden() const { return hidden_; }

private:
    void applyCursor();

    bool hourglass_ = false;
    bool hidden_ = false;
    bool cursorPushed_ = false;
    std::vector<QPointer<QWidget>> disabled_;
};

// The program's one busy state.
BusyState& busyState();

// busyState().set(mode).
bool setBusyState(int mode);

} // namespace kivo::desktop
