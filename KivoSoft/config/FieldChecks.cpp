#include "KivoSoft/config/FieldChecks.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QWidget>

namespace KivoSoft {

FieldChecks::FieldChecks(QWidget* window) : QObject(window), m_window(window)
{
}

void FieldChecks::add(QWidget* field, Check check, Step lostFocus)
{
    m_fields.push_back({field, std::move(check), std::move(lostFocus)});
    field->installEventFilter(this);
}

void FieldChecks::guardClick(QAbstractButton* button, std::function<void()> handler)
{
    // A press (the mouse's, a key's or an accessibility action's) comes before its click; a
    // mouse press that takes the focus moves it out of the field before the button sees it.
    connect(button, &QAbstractButton::pressed, this, [this, button] {
        m_clickRefused = m_refusedBy == button ? button : nullptr;
        m_refusedBy = nullptr;
        if (m_clickRefused) {
            // The press has been answered by the refusal: the button comes up again instead of
            // staying down (its release went to the message box).
            button->setDown(false);
        }
    });
    connect(button, &QAbstractButton::clicked, this, [this, button, handler = std::move(handler)] {
        const bool refusedByItsPress = m_clickRefused == button;
        m_clickRefused = nullptr;
        // A button that takes no focus on a click still has to wait for the field being left.
        if (refusedByItsPress || !leave()) {
            return;
        }
        handler();
    });
}

const FieldChecks::Field* FieldChecks::find(const QObject* widget) const
{
    for (const Field& field : m_fields) {
        if (field.widget == widget) {
            return &field;
        }
    }
    return nullptr;
}

bool FieldChecks::leave()
{
    if (!m_current) {
        return true;
    }
    const Field* field = find(m_current);
    if (field && !field->widget->isVisible()) {
        // Out of sight it is no longer being edited, and its message could not show where.
        reset();
        return true;
    }
    return !field || runLeave(*field);
}

bool FieldChecks::runLeave(const Field& field, QWidget* takenBy)
{
    if (m_checking) {
        return false;
    }
    m_checking = true;
    const bool accepted = !field.check || field.check();
    m_checking = false;
    if (!accepted) {
        m_refusing = field.widget;
        m_current = field.widget;
        m_refusedBy = takenBy;
        field.widget->setFocus(Qt::OtherFocusReason);
        return false;
    }
    m_refusing = nullptr;
    m_refusedBy = nullptr;
    // A leave that did not move the focus (a click on a button that takes none, a change of tab
    // refused later) leaves the field being edited: its next leave is checked again.
    m_current = field.widget->hasFocus() ? field.widget : nullptr;
    if (field.lostFocus) {
        field.lostFocus();
    }
    return true;
}

void FieldChecks::reset()
{
    m_current = nullptr;
    m_refusing = nullptr;
    m_refusedBy = nullptr;
    m_clickRefused = nullptr;
}

bool FieldChecks::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (const Field* field = find(watched)) {
            if (m_refusing && m_refusing != field->widget) {
                if (m_refusing->isVisible()) {
                    // The refusing field keeps the focus until its value may stand.
                    QWidget* back = m_refusing;
                    back->setFocus(Qt::OtherFocusReason);
                    return false;
                }
                // A field out of sight never takes the focus (nor the keys typed).
                m_refusing = nullptr;
            }
            m_current = field->widget;
        }
    } else if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        const Field* field = find(watched);
        QWidget* next = QApplication::focusWidget();
        // Only a move to another control of this window is a leave; a message box, a popup or
        // another window taking the focus is not, nor is the field being hidden.
        const bool withinWindow = next && next != watched && m_window->isAncestorOf(next);
        if (field && m_current == field->widget && !m_checking && withinWindow &&
            field->widget->isVisible() && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason) {
            runLeave(*field, reason == Qt::MouseFocusReason ? next : nullptr);
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace KivoSoft
