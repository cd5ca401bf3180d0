#include "KivoSoft/config/ConfigControls.h"

#include "platform/desktop/entry_fields.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleWidget>
#include <QFocusEvent>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QWheelEvent>
#include <QWindow>

namespace KivoSoft {

namespace {

// One tab of a ModuleTabBar as a screen reader sees it: its caption, whether it is shown, whether
// it can be chosen, and Press, which chooses it as a click does.
class ModuleTabAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ModuleTabAccessible(ModuleTabBar* bar, int index) : m_bar(bar), m_index(index) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    bool isValid() const override { return m_bar && m_index < m_bar->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_bar ? m_bar->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override
    {
        return m_bar ? QAccessible::queryAccessibleInterface(m_bar.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QString text(QAccessible::Text which) const override
    {
        if (!isValid()) {
            return {};
        }
        switch (which) {
        case QAccessible::Name:
            return QString(m_bar->tabText(m_index)).remove(u'&');
        case QAccessible::Description:
            return m_bar->tabToolTip(m_index);
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!isValid()) {
            return {};
        }
        const QRect tab = m_bar->tabRect(m_index);
        return QRect(m_bar->mapToGlobal(tab.topLeft()), tab.size());
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const bool available = m_bar->isEnabled() && m_bar->isTabEnabled(m_index);
        const bool current = m_bar->currentIndex() == m_index;
        s.disabled = !available;
        s.invisible = !m_bar->isVisible() || !m_bar->isTabVisible(m_index);
        s.selectable = available;
        s.selected = current;
        s.focusable = available && m_bar->focusPolicy() != Qt::NoFocus;
        s.focused = current && m_bar->hasFocus();
        return s;
    }

    QStringList actionNames() const override
    {
        if (!isValid() || !m_bar->isEnabled() || !m_bar->isTabEnabled(m_index)) {
            return {};
        }
        return {pressAction()};
    }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && isValid()) {
            m_bar->tabs()->choose(m_index);
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<ModuleTabBar> m_bar;
    int m_index;
};

// The tab bar with those tabs as its children.
class ModuleTabBarAccessible : public QAccessibleWidget {
public:
    explicit ModuleTabBarAccessible(QWidget* bar) : QAccessibleWidget(bar, QAccessible::PageTabList)
    {
    }
    ~ModuleTabBarAccessible() override
    {
        for (const QAccessible::Id id : std::as_const(m_tabs)) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override { return bar()->count(); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= bar()->count()) {
            return nullptr;
        }
        if (const auto found = m_tabs.constFind(index); found != m_tabs.cend()) {
            return QAccessible::accessibleInterface(*found);
        }
        auto* tab = new ModuleTabAccessible(bar(), index);
        m_tabs.insert(index, QAccessible::registerAccessibleInterface(tab));
        return tab;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (auto it = m_tabs.cbegin(); it != m_tabs.cend(); ++it) {
            if (QAccessible::accessibleInterface(it.value()) == child) {
                return it.key();
            }
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const int index = bar()->tabAt(bar()->mapFromGlobal(QPoint(x, y)));
        return index >= 0 ? child(index) : nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        return bar()->hasFocus() ? child(bar()->currentIndex()) : nullptr;
    }

private:
    ModuleTabBar* bar() const { return static_cast<ModuleTabBar*>(widget()); }

    mutable QHash<int, QAccessible::Id> m_tabs;
};

QAccessibleInterface* moduleTabBarInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String(ModuleTabBar::staticMetaObject.className()) && object &&
        object->isWidgetType()) {
        return new ModuleTabBarAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

} // namespace

void PickOnlyList::keyPressEvent(QKeyEvent* event)
{
    // Typing picks nothing; the keys that open the item list do, so a unit can be picked from
    // the keyboard as from the mouse.
    if (kivo::desktop::opensItemList(*event)) {
        QComboBox::keyPressEvent(event);
        return;
    }
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
    connect(this, &QSlider::valueChanged, this, [this] { emit Change(!m_programChange); });
}

void SetPointSlider::setProgramValue(int value)
{
    const QScopedValueRollback program(m_programChange, true);
    setValue(value);
}

void SetPointSlider::setProgramMinimum(int value)
{
    const QScopedValueRollback program(m_programChange, true);
    setMinimum(value);
}

void SetPointSlider::setProgramMaximum(int value)
{
    const QScopedValueRollback program(m_programChange, true);
    setMaximum(value);
}

void SetPointSlider::setProgramRange(int minimum, int maximum)
{
    const QScopedValueRollback program(m_programChange, true);
    setRange(minimum, maximum);
}

ModuleTabs::ModuleTabs(QWidget* parent) : QTabWidget(parent)
{
    setTabBar(new ModuleTabBar(this));
}

void ModuleTabs::setMayLeave(MayLeave mayLeave)
{
    m_mayLeave = std::move(mayLeave);
}

bool ModuleTabs::mayLeave() const
{
    return !m_mayLeave || m_mayLeave();
}

bool ModuleTabs::choose(int index)
{
    if (index < 0 || index >= count() || !isTabEnabled(index) || !isEnabled()) {
        return false;
    }
    if (index != currentIndex() && !mayLeave()) {
        return false;
    }
    setCurrentIndex(index);
    return true;
}

void ModuleTabs::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+Tab and Ctrl+Shift+Tab go to the next available tab.
    const bool nextTab = (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
                         (event->modifiers() & Qt::ControlModifier);
    if (nextTab && !mayLeave()) {
        event->accept();
        return;
    }
    QTabWidget::keyPressEvent(event);
}

ModuleTabBar::ModuleTabBar(ModuleTabs* tabs) : QTabBar(tabs), m_tabs(tabs)
{
    setObjectName(QStringLiteral("qt_tabwidget_tabbar"));
    static const bool installed = [] {
        QAccessible::installFactory(moduleTabBarInterface);
        return true;
    }();
    static_cast<void>(installed);
}

void ModuleTabBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int index = tabAt(event->position().toPoint());
        if (index >= 0 && index != currentIndex() && isTabEnabled(index) && !m_tabs->mayLeave()) {
            event->accept();
            return;
        }
    }
    QTabBar::mousePressEvent(event);
}

void ModuleTabBar::wheelEvent(QWheelEvent* event)
{
    if (!m_tabs->mayLeave()) {
        event->accept();
        return;
    }
    QTabBar::wheelEvent(event);
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

TabLeaveFilter::TabLeaveFilter(QWidget* widget, std::function<void()> step)
    : QObject(widget), m_step(std::move(step))
{
    widget->installEventFilter(this);
}

bool TabLeaveFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() == Qt::TabFocusReason) {
        m_step();
    }
    return QObject::eventFilter(watched, event);
}

void setTabChain(std::initializer_list<QWidget*> controls)
{
    QWidget* previous = nullptr;
    for (QWidget* control : controls) {
        if (previous) {
            QWidget::setTabOrder(previous, control);
        }
        previous = control;
    }
}

} // namespace KivoSoft
