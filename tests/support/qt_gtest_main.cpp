// main() for tests that need widgets: one QApplication on the offscreen platform for the whole run,
// with the keyboard and screen-reader rules that both programs install at start-up.
#include "platform/desktop/window_rules.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// Qt's raster engine fills large areas on threads of its own pool, which end only once the
// application is gone. The leak check runs right after main(); a pool thread still ending then
// holds its bookkeeping where the check does not look and is reported as a leak. So the run ends
// only when this thread is the last (or after a second, whatever is left).
void waitForOtherThreadsToEnd()
{
    QElapsedTimer waited;
    waited.start();
    while (QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size() > 1 &&
           waited.elapsed() < 1000) {
        QThread::msleep(5);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        kivo::desktop::installWindowRules();
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    waitForOtherThreadsToEnd();
    return result;
}
