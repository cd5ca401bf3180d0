#include "KivoSoft/monitor/ValueLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>

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

QAccessibleInterface* valueLabelFactory(const QString&, QObject* object)
{
    if (auto* label = qobject_cast<ValueLabel*>(object)) {
        return new ValueLabelAccessible(label);
    }
    return nullptr;
}

} // namespace

ValueLabel::ValueLabel(const QString& what, const QString& text, QWidget* parent)
    : QLabel(text, parent), m_what(what)
{
    // Qt keeps one entry a factory, however often it is installed.
    QAccessible::installFactory(valueLabelFactory);
}

} // namespace KivoSoft
