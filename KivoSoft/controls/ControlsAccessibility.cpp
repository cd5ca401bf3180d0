#include "KivoSoft/controls/ControlsAccessibility.h"

#include "KivoSoft/controls/Label3D.h"
#include "KivoSoft/controls/PellarosDisplay.h"
#include "KivoSoft/controls/TwoPictureIndicators.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeySequence>
#include <QWidget>

namespace KivoSoft {

namespace {

// A readout's name: what its window calls it, then what it shows. Qt's bridge to the bus carries
// no value text for such controls, so a screen reader that reads the name hears both.
QString withShown(const QString& name, const QString& shown)
{
    if (name.isEmpty() || shown.isEmpty()) {
        return name.isEmpty() ? shown : name;
    }
    return name + QStringLiteral(": ") + shown;
}

// One object on the bus for the whole control: its pictures and layers are parts of how it
// looks, not controls of their own.
class WholeControl : public QAccessibleWidget {
public:
    WholeControl(QWidget* control, QAccessible::Role role) : QAccessibleWidget(control, role) {}
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
};

// The text a readout shows, read-only: no caret to move and nothing to select.
class ShownText : public QAccessibleTextInterface {
public:
    void selection(int, int* startOffset, int* endOffset) const override
    {
        *startOffset = 0;
        *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override
    {
        const QString all = shown();
        const auto size = static_cast<int>(all.size());
        const int from = qBound(0, startOffset, size);
        const int to = endOffset < 0 ? size : qBound(from, endOffset, size);
        return all.mid(from, to - from);
    }
    int characterCount() const override { return static_cast<int>(shown().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

protected:
    virtual QString shown() const = 0;
};

class IndicatorAccessible : public WholeControl, public ShownText {
public:
    explicit IndicatorAccessible(TwoPictureIndicator* indicator)
        : WholeControl(indicator,
                       indicator->isSwitch() ? QAccessible::CheckBox : QAccessible::StaticText)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = indicator()->isSwitch();
        state.checked = indicator()->Status();
        return state;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) {
            return indicator()->stateText();
        }
        if (t == QAccessible::Name && !indicator()->isSwitch()) {
            return withShown(QAccessibleWidget::text(t), indicator()->stateText());
        }
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (indicator()->isSwitch() && widget()->isEnabled()) {
            names << pressAction();
        }
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override
    {
        if (actionName != pressAction()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        // The call is answered at once: what the click starts (a device action, perhaps a
        // message box) runs once it has returned, so its caller is never left waiting.
        QMetaObject::invokeMethod(indicator(), &TwoPictureIndicator::activate,
                                  Qt::QueuedConnection);
    }

    QStringList keyBindingsForAction(const QString& actionName) const override
    {
        if (actionName == pressAction() && indicator()->isSwitch()) {
            return {QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText)};
        }
        return QAccessibleWidget::keyBindingsForAction(actionName);
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        // A lamp's state is what it shows; a switch tells it by its checked state.
        if (type == QAccessible::TextInterface && !indicator()->isSwitch()) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

protected:
    QString shown() const override { return indicator()->stateText(); }

private:
    TwoPictureIndicator* indicator() const { return static_cast<TwoPictureIndicator*>(widget()); }
};

class DisplayAccessible : public WholeControl, public ShownText {
public:
    explicit DisplayAccessible(PellarosDisplay* display)
        : WholeControl(display, QAccessible::StaticText)
    {
    }

    // No value interface: Qt would offer Increase and Decrease actions with it, and a readout
    // takes no value from outside. As Qt's digit display has it, one without a name of its own is
    // called by the number it shows.
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) {
            return shown();
        }
        if (t == QAccessible::Name) {
            return withShown(QAccessibleWidget::text(t), shown());
        }
        return QAccessibleWidget::text(t);
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

protected:
    QString shown() const override { return static_cast<PellarosDisplay*>(widget())->shownText(); }
};

class CaptionAccessible : public WholeControl {
public:
    explicit CaptionAccessible(Label3D* caption) : WholeControl(caption, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return static_cast<Label3D*>(widget())->Caption();
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* controlsFactory(const QString&, QObject* object)
{
    if (auto* indicator = qobject_cast<TwoPictureIndicator*>(object)) {
        return new IndicatorAccessible(indicator);
    }
    if (auto* display = qobject_cast<PellarosDisplay*>(object)) {
        return new DisplayAccessible(display);
    }
    if (auto* caption = qobject_cast<Label3D*>(object)) {
        return new CaptionAccessible(caption);
    }
    return nullptr;
}

} // namespace

void installControlsAccessibility()
{
    // Qt keeps one entry a factory, however often it is installed.
    QAccessible::installFactory(controlsFactory);
}

void notifyShownChanged(QWidget* control, const QString& before)
{
    if (!QAccessible::isActive()) {
        return;
    }
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
    if (!iface) {
        return;
    }
    if (qobject_cast<TwoPictureIndicator*>(control)) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(control, changed);
        QAccessible::updateAccessibility(&event);
    }
    if (QAccessibleTextInterface* text = iface->textInterface()) {
        QAccessibleTextUpdateEvent event(control, 0, before, text->text(0, -1));
        QAccessible::updateAccessibility(&event);
    }
    const auto* indicator = qobject_cast<TwoPictureIndicator*>(control);
    if (!indicator || !indicator->isSwitch()) {
        // The names of lamps, displays and captions tell what they show.
        QAccessibleEvent event(control, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace KivoSoft
