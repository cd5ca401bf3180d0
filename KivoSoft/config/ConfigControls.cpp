#include "KivoSoft/config/ConfigControls.h"

#include "platform/desktop/entry_fields.h"

#include <QKeyEvent>
#include <QWheelEvent>

namespace KivoSoft {

void PickOnlyList::keyPressEvent(QKeyEvent* event)
{
    event->accept();
}

void PickOnlyList::wheelEvent(QWheelEvent* event)
{
    event->accept();
}

SetPointSlider::SetPointSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    // The value changes once, when the thumb is let go; Scroll follows the drag.
    setTracking(false);
    connect(this, &QSlider::sliderPressed, this, &SetPointSlider::Click);
    connect(this, &QSlider::sliderMoved, this, &SetPointSlider::Scroll);
    // Every change the user makes (keys, page clicks, a drag that ends) comes as an action first.
    connect(this, &QAbstractSlider::actionTriggered, this, [this] { m_userAction = true; });
    connect(this, &QSlider::valueChanged, this, [this] {
        const bool byUser = m_userAction;
        m_userAction = false;
        emit Change(byUser);
    });
}

void SetPointSlider::setProgramValue(int value)
{
    m_userAction = false;
    setValue(value);
}

std::optional<std::int16_t> keyAscii(const QKeyEvent& key)
{
    const QString text = key.text();
    if (text.isEmpty()) {
        return std::nullopt;
    }
    const char16_t code = text.front().unicode();
    if (code == 8 || code == 13 || (code >= 32 && code != 127)) {
        return static_cast<std::int16_t>(code);
    }
    return std::nullopt;
}

KeyPressFilter::KeyPressFilter(QWidget* widget, Filter filter)
    : QObject(widget), m_filter(std::move(filter))
{
    widget->installEventFilter(this);
    new kivo::desktop::PastedTextFilter(widget, m_filter);
}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        if (const std::optional<std::int16_t> typed = keyAscii(*static_cast<QKeyEvent*>(event))) {
            std::int16_t code = *typed;
            m_filter(code);
            if (code == 0) {
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace KivoSoft
