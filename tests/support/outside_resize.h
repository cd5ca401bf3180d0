// Widget tests: a window resized by the window system, as a window manager that ignores the
// fixed-size hints or `xdotool windowsize` with none running does it.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QResizeEvent>
#include <QWidget>
#include <QWindow>

namespace kivo::testsupport {

// Asks the window system for `size` on `window` and returns once the window has been told of it
// (false if that did not happen within a few seconds). What the window does about it comes after.
inline bool resizeFromOutside(QWidget& window, QSize size)
{
    struct Watch : QObject {
        QSize wanted;
        bool told = false;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Resize &&
                static_cast<QResizeEvent*>(event)->size() == wanted) {
                told = true;
            }
            return false;
        }
    } watch;
    watch.wanted = size;
    // What the window system still has to deliver of the window's own changes comes first: a
    // change from outside lands on a window at rest.
    QCoreApplication::processEvents();
    window.installEventFilter(&watch);
    window.windowHandle()->resize(size);
    QElapsedTimer waited;
    waited.start();
    while (!watch.told && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    window.removeEventFilter(&watch);
    return watch.told;
}

} // namespace kivo::testsupport
