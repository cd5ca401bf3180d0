#include "KivoSoft/model/LinkInUse.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <utility>
#include <vector>

namespace KivoSoft {

namespace {

bool guardTaken = false;
QString guardHolder;

// What whenFree() was given while the guard was taken, until its release.
struct Waiting {
    QPointer<QObject> context;
    std::function<void()> action;
};
std::vector<Waiting> waiting;

} // namespace

LinkInUse::LinkInUse(const QString& holder)
{
    if (guardTaken) {
        return;
    }
    guardTaken = true;
    guardHolder = holder;
    m_held = true;
}

LinkInUse::~LinkInUse()
{
    release();
}

void LinkInUse::release()
{
    if (!m_held) {
        return;
    }
    m_held = false;
    guardTaken = false;
    guardHolder.clear();
    for (Waiting& w : std::exchange(waiting, {})) {
        if (w.context) {
            whenFree(w.context, std::move(w.action));
        }
    }
}

void LinkInUse::whenFree(QObject* context, std::function<void()> action)
{
    if (guardTaken) {
        waiting.push_back({context, std::move(action)});
        return;
    }
    // Queued on `context`: dropped with it, and run by the event loop, not by this caller.
    QMetaObject::invokeMethod(
        context,
        [context, action = std::move(action)]() mutable {
            if (guardTaken) {
                waiting.push_back({context, std::move(action)});
                return;
            }
            action();
        },
        Qt::QueuedConnection);
}

bool LinkInUse::taken()
{
    return guardTaken;
}

QString LinkInUse::holder()
{
    return guardHolder;
}

} // namespace KivoSoft
