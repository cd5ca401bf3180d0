#include "platform/desktop/window_rules.h"

#include "platform/desktop/window_focus.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace kivo::desktop {

namespace {

// The text of the label whose buddy `field` is, or nothing.
QString labelOf(const QWidget& field)
{
    const QWidget* parent = field.parentWidget();
    if (!parent) {
        return {};
    }
    for (const QObject* child : parent->children()) {
        const auto* label = qobject_cast<const QLabel*>(child);
        if (label && label->buddy() == &field) {
            return withoutMnemonic(label->text());
        }
    }
    return {};
}

class EnterPressesFocusedButton final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<const QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (!enter || modifiers != Qt::NoModifier) {
            return false;
        }
        // The key goes to the focus widget first and then up its parents: only the button itself
        // takes it.
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!button || !button->hasFocus() || !button->isEnabled()) {
            return false;
        }
        // As with Space, holding the key down presses the button once.
        if (!key->isAutoRepeat()) {
            button->click();
        }
        return true;
    }
};

// Qt's own combo box interface as a screen reader sees it, but named by what names the box.
class AccessibleComboBox final : public QAccessibleWidget {
public:
    explicit AccessibleComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    int childCount() const override { return box()->isEditable() ? 2 : 1; }

    // The list first, then the edit field of an editable box.
    QAccessibleInterface* child(int index) const override
    {
        if (index == 0) {
            return QAccessible::queryAccessibleInterface(box()->view());
        }
        if (index == 1 && box()->isEditable()) {
            return QAccessible::queryAccessibleInterface(box()->lineEdit());
        }
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child) {
            return -1;
        }
        if (child->object() == box()->view()) {
            return 0;
        }
        if (box()->isEditable() && child->object() == box()->lineEdit()) {
            return 1;
        }
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QLineEdit* edit = box()->isEditable() ? box()->lineEdit() : nullptr;
        if (edit && QRect(edit->mapToGlobal(QPoint(0, 0)), edit->size()).contains(x, y)) {
            return child(1);
        }
        return nullptr;
    }

    // An editable box passes its focus to its edit field, which a screen reader then follows.
    QAccessibleInterface* focusChild() const override
    {
        return box()->isEditable() ? child(1) : nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: {
            if (!box()->accessibleName().isEmpty()) {
                return box()->accessibleName();
            }
            const QString label = labelOf(*box());
            return label.isEmpty() ? shownText() : label;
        }
        case QAccessible::Value:
            return shownText();
        case QAccessible::Accelerator:
            return QKeySequence(Qt::Key_Down).toString(QKeySequence::NativeText);
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        s.editable = box()->isEditable();
        return s;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }

    QString localizedActionDescription(const QString& action) const override
    {
        return isOpenAction(action) ? QComboBox::tr("Open the combo box selection popup")
                                    : QString();
    }

    void doAction(const QString& action) override
    {
        if (!isOpenAction(action)) {
            return;
        }
        if (box()->view()->isVisible()) {
            box()->hidePopup();
        } else {
            box()->showPopup();
        }
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }

    QString shownText() const
    {
        return box()->isEditable() ? box()->lineEdit()->text() : box()->currentText();
    }

    static bool isOpenAction(const QString& action)
    {
        return action == showMenuAction() || action == pressAction();
    }
};

QAccessibleInterface* comboBoxInterface(const QString& className, QObject* object)
{
    if (className == u"QComboBox" && object && object->isWidgetType()) {
        return new AccessibleComboBox(static_cast<QComboBox*>(object));
    }
    return nullptr;
}

} // namespace

void installWindowRules()
{
    // One filter for the application's lifetime; it goes with the application.
    static QPointer<QObject> enterRule;
    if (!enterRule && qApp) {
        enterRule = new EnterPressesFocusedButton(qApp);
        qApp->installEventFilter(enterRule);
    }
    // Installing the same factory twice keeps one.
    QAccessible::installFactory(comboBoxInterface);
    installFocusKeeping();
}

void labelField(QLabel& label, QWidget& field)
{
    label.setBuddy(&field);
    if (auto* box = qobject_cast<QComboBox*>(&field); box && box->lineEdit()) {
        box->lineEdit()->setAccessibleName(withoutMnemonic(label.text()));
    }
}

QString withoutMnemonic(const QString& text)
{
    QString name;
    name.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') {
                name += u'&';
                ++i;
            }
            continue;
        }
        name += text[i];
    }
    return name;
}

} // namespace kivo::desktop
