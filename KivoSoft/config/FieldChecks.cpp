#include "KivoSoft/config/FieldChecks.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QWidget>

namespace KivoSoft {

namespace {

// What the user edits in a field: its user property (a line edit's text, a list's current text,
// a slider's value, a button's check state); invalid for a widget without one.
QVariant valueOf(const QWidget* widget)
{
    const QMetaProperty value = widget->metaObject()->userProperty();
    return value.isValid() ? value.read(widget) : QVariant();
}

} // namespace

FieldChecks::FieldChecks(QWidget* window) : QObject(window), m_window(window)
{
    // A field left in place may lose the focus to no control at all (its window made busy) and
    // the focus then go straight to another control: that ends its leave as well.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (m_left && old != m_left && now && now != m_left && m_window->isAncestorOf(now)) {
            if (m_current == m_left) {
                m_current = nullptr;
            }
            forgetLeave();
        }
    });
}

void FieldChecks::add(QWidget* field, Check check, Step lostFocus)
{
    m_fields.push_back({field, std::move(check), std::move(lostFocus)});
    field->installEventFilter(this);
    // Any change of the value, even back to the one left with, makes the field one being edited.
    const QMetaProperty value = field->metaObject()->userProperty();
    if (value.hasNotifySignal()) {
        const int edited = metaObject()->indexOfSlot("valueEdited()");
        connect(field, value.notifySignal(), this, metaObject()->method(edited));
    }
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
    if (field && hasBeenLeft(*field)) {
        return true;
    }
    return !field || runLeave(*field);
}

bool FieldChecks::hasBeenLeft(const Field& field) const
{
    return m_left == field.widget && valueOf(field.widget) == m_leftValue;
}

void FieldChecks::forgetLeave()
{
    m_left = nullptr;
    m_leftValue = QVariant();
}

void FieldChecks::valueEdited()
{
    if (sender() == m_left) {
        forgetLeave();
    }
}

bool FieldChecks::runLeave(const Field& field, QWidget* takenBy)
{
    if (m_checking) {
        return false;
    }
    forgetLeave();
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
    // A leave that did not move the focus (a click on a button that takes none, a mnemonic, a
    // change of tab refused later) keeps the field the one holding the focus, but its leave has
    // run for the value it holds: the focus going on from it later, whether the action moves it
    // or the busy state takes it away and gives it back first, is that same leave.
    const bool keepsFocus = field.widget->hasFocus();
    m_current = keepsFocus ? field.widget : nullptr;
    if (field.lostFocus) {
        field.lostFocus();
    }
    if (keepsFocus) {
        m_left = field.widget;
        m_leftValue = valueOf(field.widget);
    }
    return true;
}

void FieldChecks::reset()
{
    m_current = nullptr;
    m_refusing = nullptr;
    m_refusedBy = nullptr;
    m_clickRefused = nullptr;
    forgetLeave();
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
        const bool toAnotherControl = field && m_current == field->widget && !m_checking &&
                                      withinWindow && reason != Qt::ActiveWindowFocusReason &&
                                      reason != Qt::PopupFocusReason;
        if (toAnotherControl && hasBeenLeft(*field)) {
            // Its leave has run already, while the focus stayed (also when the field is being
            // hidden by the change of tab that left it): now the focus goes.
            forgetLeave();
            m_current = nullptr;
        } else if (toAnotherControl && field->widget->isVisible()) {
            runLeave(*field, reason == Qt::MouseFocusReason ? next : nullptr);
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace KivoSoft
