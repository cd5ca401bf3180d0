#include "KivoSoft/monitor/AccessibleControls.h"

#include "platform/desktop/window_rules.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeySequence>
#include <QPointer>

namespace KivoSoft {

namespace {

class ValueLabelAccessible final : public QAccessibleWidget {
public:
    explicit ValueLabelAccessible(ValueLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const auto* label = static_cast<const ValueLabel*>(widget());
        if (t == QAccessible::Name) {
            return label->what() + QStringLiteral(": ") + label->text();
        }
        if (t == QAccessible::Value) {
            return label->text();
        }
        return QAccessibleWidget::text(t);
    }
};

class TogglingCheckBoxAccessible final : public QAccessibleWidget {
public:
    explicit TogglingCheckBoxAccessible(TogglingCheckBox* box)
        : QAccessibleWidget(box, QAccessible::CheckBox)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return kivo::desktop::withoutMnemonic(box()->text());
        }
        if (t == QAccessible::Accelerator) {
            return QKeySequence::mnemonic(box()->text()).toString(QKeySequence::NativeText);
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = box()->isChecked();
        return state;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (widget()->isEnabled()) {
            names << toggleAction();
        }
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override
    {
        if (actionName != toggleAction()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        QPointer<QCheckBox> target(box());
        QMetaObject::invokeMethod(
            box(),
            [target] {
                if (target && target->isEnabled()) {
                    target->toggle();
                }
            },
            Qt::QueuedConnection);
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QCheckBox* box() const { return static_cast<QCheckBox*>(widget()); }
};

QAccessibleInterface* monitorControlsFactory(const QString&, QObject* object)
{
    if (auto* label = qobject_cast<ValueLabel*>(object)) {
        return new ValueLabelAccessible(label);
    }
    if (auto* box = qobject_cast<TogglingCheckBox*>(object)) {
        return new TogglingCheckBoxAccessible(box);
    }
    return nullptr;
}

void installFactory()
{
    // Qt keeps one entry a factory, however often it is installed.
    QAccessible::installFactory(monitorControlsFactory);
}

} // namespace

ValueLabel::ValueLabel(const QString& what, const QString& text, QWidget* parent)
    : QLabel(text, parent), m_what(what)
{
    installFactory();
}

TogglingCheckBox::TogglingCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent)
{
    installFactory();
}

} // namespace KivoSoft
