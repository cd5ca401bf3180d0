// Widget tests: acting on a modal window that a call under test is blocked on.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace kivo::testsupport {

// Runs `act` on the next modal window as soon as it shows and has the keyboard (the calls under
// test block in exec()). Gives up quietly after about ten seconds, so a modal that never comes
// fails the test's own expectations instead of hanging it here.
inline void whenModalShows(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && !modal->isActiveWindow() && *tries < 2000) {
            ++*tries; // shown, but the window system has not activated it yet
            return;
        }
        if (modal || ++*tries > 2000) {
            timer->stop();
            timer->deleteLater();
            if (modal) {
                act(modal);
            }
        }
    });
    timer->start(5);
}

} // namespace kivo::testsupport
