// Windows taken out of use for a while, and the keyboard focus each of them gets back.
//
// A window is out of use while it holds a lock: the busy state's (an action runs from it) or a
// modal window's (a dialog or a message box that blocks it). Out of use it is disabled, so that
// nothing reaches it: Qt keeps the mouse and the keys from a window behind a modal one, but a
// screen reader's action calls the control directly, and only a disabled control refuses it. A
// window that was disabled by other code before its first lock is left alone. Once its last lock
// has gone it takes input again.
//
// Every window keeps the control its focus was last put on, by the user or by the program. When
// that control loses the focus because it goes disabled or hidden (a handler disables the switch
// just pressed, the window is locked), the window owes it the focus: the control gets it back as
// soon as it can take it again, while its window takes input. The debt is cancelled by what the
// user does in the window meanwhile (a key, a click, a focus move) and by a focus move of the
// program's own. Once the handler that took the focus has returned to its event loop, a debt
// still open is settled: the control still cannot take the focus, and if its window is left
// without one, the next control of the tab chain takes it.
//
// The item list of a combo box that takes no input (disabled, hidden, or in a window out of use)
// does not stay open, whoever opens it.
//
// Tab into a group of option buttons lands on the checked one, and Tab from there leaves the
// group, as the desktop has it; the arrow keys move within the group.
//
// installFocusKeeping() runs with the window rules (installWindowRules()); the first lock installs
// it as well.
#pragma once

class QWidget;

namespace kivo::desktop {

enum class WindowLock { Busy = 1, Modal = 2 };

void installFocusKeeping();

// Takes `window` (a top-level window) out of use for `lock`. False, changing nothing, when the
// window holds no lock and is disabled already.
bool lockWindow(QWidget* window, WindowLock lock);

// Gives up `lock` on `window`; with its last lock gone the window takes input again and its focus
// comes back.
void unlockWindow(QWidget* window, WindowLock lock);

} // namespace kivo::desktop
