// Widget tests: waiting for what the event loop brings about.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace kivo::testsupport {

// Lets events run until `done` holds or `ms` milliseconds have passed; whether it holds.
inline bool eventually(const std::function<bool()>& done, int ms = 2000)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

} // namespace kivo::testsupport
