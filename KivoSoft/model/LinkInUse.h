// The program-wide "link in use" guard.
//
// The windows share one port and one UI thread. A device action opens the port, runs its calls
// and closes the port, and the event pumping in between lets timer ticks and clicks run. A second
// action started from such a tick would open the port again under the first, fail, and make the
// first one's remaining calls fail too. So every handler that talks to a unit takes this guard
// for as long as it may touch the port, and one that finds it taken leaves the port alone:
//
//     void MonitorForm::cmdRefresh_Click()
//     {
//         LinkInUse link(QStringLiteral("MonitorForm.cmdRefresh"));
//         if (!link.held()) {
//             return;          // another action has the port; the busy cursor is up
//         }
//         refreshHoldingLink();   // the routines it calls take no guard of their own
//     }
//
// The guard is not re-entrant on purpose: on one thread a pumped timer tick cannot be told from
// a nested call, so a routine that runs under an action that already holds the guard is written
// to take none. A window that keeps the port open for its whole life (the grouping dialog) keeps
// a LinkInUse as a member.
//
// What may not run under an action still on the stack (a window's unload) waits for the guard:
//
//     LinkInUse::whenFree(this, [this] { close(); });
#pragma once

#include <QString>

#include <functional>

class QObject;

namespace KivoSoft {

class LinkInUse {
public:
    // Takes the guard when it is free; `holder` names the action for diagnostics and tests.
    explicit LinkInUse(const QString& holder);
    // Gives the guard back if this scope took it.
    ~LinkInUse();
    LinkInUse(const LinkInUse&) = delete;
    LinkInUse& operator=(const LinkInUse&) = delete;

    // Whether this scope holds the guard (false: another action had it when this one was made).
    bool held() const { return m_held; }
    explicit operator bool() const { return m_held; }

    // Gives the guard back early; later calls do nothing.
    void release();

    // Whether any action holds the guard now, and which one (empty when free).
    static bool taken();
    static QString holder();

    // Runs `action` once no action holds the guard, always from the event loop: at its next turn
    // when the guard is free then, else at the turn after the guard's release, so never inside
    // the handler that gives it back, which may still be on the stack. An action that has taken
    // the guard again by that turn puts it off once more. Nothing runs once `context` is gone.
    static void whenFree(QObject* context, std::function<void()> action);

private:
    bool m_held = false;
};

} // namespace KivoSoft
