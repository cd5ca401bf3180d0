#include "platform/desktop/fixed_size.h"

#include <QEvent>
#include <QWidget>

namespace kivo::desktop {

void keepFixedSize(QWidget& window, QSize size)
{
    const Qt::WindowStates enlarged = Qt::WindowMaximized | Qt::WindowFullScreen;
    if (window.windowState() & enlarged) {
        window.setWindowState(window.windowState() & ~enlarged);
    }
    if (window.windowState() & Qt::WindowMinimized) {
        return;
    }
    window.setFixedSize(size);
    // setFixedSize() leaves a window alone whose limits were already `size`, even when something
    // outside has given it another size since.
    if (window.size() != size) {
        window.resize(size);
    }
}

FixedSizeRule::FixedSizeRule(QWidget& window, std::function<void()> sizeRule)
    : QObject(&window), sizeRule_(std::move(sizeRule))
{
    window.installEventFilter(this);
}

bool FixedSizeRule::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::Resize || type == QEvent::WindowStateChange) && !pending_) {
        pending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                pending_ = false;
                sizeRule_();
            },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kivo::desktop
