#include "platform/desktop/entry_fields.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

namespace kivo::desktop {

void makeEditableList(QComboBox* list)
{
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    // An editable list comes with an inline completer, which would show and keep "250" for a
    // typed "25" and take the first Enter for itself.
    list->setCompleter(nullptr);
}

bool opensItemList(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers =
        event.modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    switch (event.key()) {
    case Qt::Key_F4:
    case Qt::Key_Space:
        return modifiers == Qt::NoModifier;
    case Qt::Key_Down:
    case Qt::Key_Up:
        return modifiers == Qt::AltModifier;
    default:
        return false;
    }
}

namespace {

QLineEdit* editOf(QWidget* field)
{
    if (auto* list = qobject_cast<QComboBox*>(field)) {
        return list->lineEdit();
    }
    return qobject_cast<QLineEdit*>(field);
}

} // namespace

PastedTextFilter::PastedTextFilter(QWidget* field, KeyFilter filter)
    : QObject(field), m_field(field), m_edit(editOf(field)), m_filter(std::move(filter))
{
    // An editable list takes the keys, the context menu and the input method itself and hands
    // them to its line edit directly; mouse and drops reach the line edit.
    field->installEventFilter(this);
    if (m_edit && m_edit != field) {
        m_edit->installEventFilter(this);
    }
}

bool PastedTextFilter::accepts(const QString& text, bool replacesSelection) const
{
    for (const QChar character : text) {
        std::int16_t code = static_cast<std::int16_t>(character.unicode());
        m_filter(code);
        if (code == 0 || !character.isPrint()) {
            return false;
        }
    }
    if (!m_edit) {
        return true;
    }
    const qsizetype replaced = replacesSelection ? m_edit->selectedText().size() : 0;
    return m_edit->text().size() - replaced + text.size() <= m_edit->maxLength();
}

bool PastedTextFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ContextMenu:
    case QEvent::MouseButtonRelease:
    case QEvent::Drop:
    case QEvent::InputMethod:
        // Only these bring text, and only into a field that takes it. (Other events reach the
        // filter also while the field is being destroyed, so the edit is not looked at for them.)
        if (m_edit && !m_edit->isReadOnly()) {
            return takeOnlyAccepted(watched, event);
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool PastedTextFilter::takeOnlyAccepted(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) {
            return !accepts(QGuiApplication::clipboard()->text());
        }
        break;
    case QEvent::ContextMenu:
        showContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (watched == m_edit && mouse->button() == Qt::MiddleButton &&
            clipboard->supportsSelection()) {
            return !accepts(clipboard->text(QClipboard::Selection));
        }
        break;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        // A move inside the field brings no new character.
        if (drop->source() != m_edit && drop->mimeData()->hasText() &&
            !accepts(drop->mimeData()->text(), false)) {
            drop->ignore();
            return true;
        }
        break;
    }
    case QEvent::InputMethod: {
        const QString committed = static_cast<QInputMethodEvent*>(event)->commitString();
        if (!committed.isEmpty() && !accepts(committed)) {
            return true;
        }
        break;
    }
    default:
        break;
    }
    return false;
}

void PastedTextFilter::showContextMenu(const QPoint& globalPos)
{
    QMenu* menu = m_edit->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The standard menu's Paste goes through the rule first. Its action is found by the slot it
    // calls: its text and place differ between Qt's versions and languages.
    for (QAction* action : menu->actions()) {
        if (QObject::disconnect(action, nullptr, m_edit, SLOT(paste()))) {
            connect(action, &QAction::triggered, m_edit, [this] {
                if (accepts(QGuiApplication::clipboard()->text())) {
                    m_edit->paste();
                }
            });
        }
    }
    menu->popup(globalPos);
}

} // namespace kivo::desktop
