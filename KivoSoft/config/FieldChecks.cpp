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
    connect(button, &QAbstractButton::clicked, this, [this, handler = std::move(handler)] {
        // A button that takes no focus on a click still has to wait for the field being left.
        if (m_refusing || (m_current && !leave())) {
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
    return !field || runLeave(*field);
}

bool FieldChecks::runLeave(const Field& field)
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
        field.widget->setFocus(Qt::OtherFocusReason);
        return false;
    }
    m_refusing = nullptr;
    m_current = nullptr;
    if (field.lostFocus) {
        field.lostFocus();
    }
    return true;
}

void FieldChecks::reset()
{
    m_current = nullptr;
    m_refusing = nullptr;
}

bool FieldChecks::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (const Field* field = find(watched)) {
            if (m_refusing && m_refusing != field->widget) {
                // The refusing field keeps the focus until its value may stand.
                QWidget* back = m_refusing;
                back->setFocus(Qt::OtherFocusReason);
                return false;
            }
            m_current = field->widget;
        }
    } else if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        const Field* field = find(watched);
        QWidget* next = QApplication::focusWidget();
        // Only a move to another control of this window is a leave; a message box, a popup or
        // another window taking the focus is not.
        const bool withinWindow = next && next != watched && m_window->isAncestorOf(next);
        if (field && m_current == field->widget && !m_checking && withinWindow &&
            reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            runLeave(*field);
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace KivoSoft
