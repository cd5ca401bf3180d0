#include "platform/desktop/window_focus.h"

#include "platform/desktop/let_events_run.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QKeyEvent>
#include <QPointer>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <list>
#include <vector>

namespace kivo::desktop {

namespace {

// A control that can hold the focus of `window` now.
bool canTakeFocus(const QWidget* control, const QWidget* window)
{
    return control && window && control->window() == window && window->isEnabled() &&
           control->isVisible() && control->isEnabled() && control->focusPolicy() != Qt::NoFocus;
}

// Whether `control` had to give up the focus: it went disabled or hidden while its window stays.
bool forcedOff(const QWidget* control)
{
    return control->window()->isVisible() && (!control->isEnabled() || !control->isVisible());
}

// Whether `shown` is the item list of a combo box that takes no input. Qt's interface opens the
// list on a screen reader's action whatever the state of the box.
QComboBox* listOfBoxOutOfUse(QWidget* shown)
{
    auto* box = shown->isWindow() ? qobject_cast<QComboBox*>(shown->parentWidget()) : nullptr;
    if (!box || box->view()->window() != shown) {
        return nullptr;
    }
    return !box->isEnabled() || !box->isVisible() ? box : nullptr;
}

int loopLevel()
{
    return QThread::currentThread()->loopLevel();
}

// The option buttons that one choice spans with `button`: its exclusive group, or the checkable
// buttons beside it that exclude each other. Empty for any other control.
std::vector<QAbstractButton*> optionGroup(QWidget* control)
{
    auto* button = qobject_cast<QRadioButton*>(control);
    if (!button) {
        return {};
    }
    std::vector<QAbstractButton*> members;
    if (QButtonGroup* group = button->group()) {
        if (group->exclusive()) {
            const QList<QAbstractButton*> buttons = group->buttons();
            members.assign(buttons.begin(), buttons.end());
        }
    } else if (button->autoExclusive() && button->parentWidget()) {
        for (QAbstractButton* sibling :
             button->parentWidget()->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly)) {
            if (sibling->autoExclusive() && sibling->isCheckable() && !sibling->group()) {
                members.push_back(sibling);
            }
        }
    }
    return members.size() > 1 ? members : std::vector<QAbstractButton*>{};
}

bool contains(const std::vector<QAbstractButton*>& group, const QWidget* control)
{
    return std::find(group.begin(), group.end(), control) != group.end();
}

class FocusKeeper final : public QObject {
public:
    FocusKeeper()
    {
        settleTimer_.setSingleShot(true);
        connect(&settleTimer_, &QTimer::timeout, this, [this] { settle(); });
        connect(qApp, &QApplication::focusChanged, this,
                [this](QWidget* old, QWidget* now) { focusChanged(old, now); });
        qApp->installEventFilter(this);
    }

    bool lock(QWidget* window, WindowLock lock);
    void unlock(QWidget* window, WindowLock lock);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Record {
        QPointer<QWidget> window;
        // The control the focus was last put on.
        QPointer<QWidget> chosen;
        // Where the focus was left since it was taken from `chosen` (nothing: no control).
        QPointer<QWidget> placed;
        // `chosen` is owed the focus.
        bool owed = false;
        // The event loop level of the handler that took the focus away.
        int level = 0;
        int locks = 0;
    };

    Record& record(QWidget* window)
    {
        if (Record* r = find(window)) {
            return *r;
        }
        records_.push_back(Record{window, {}, {}, false, 0, 0});
        return records_.back();
    }
    Record* find(const QWidget* window)
    {
        for (Record& r : records_) {
            if (r.window == window) {
                return &r;
            }
        }
        return nullptr;
    }

    void owe(Record& r, QWidget* control)
    {
        r.owed = true;
        r.chosen = control;
        r.placed = nullptr;
        r.level = loopLevel();
        settleLater();
    }

    bool giveBack(Record& r);
    void settleLater()
    {
        if (!settleTimer_.isActive()) {
            settleTimer_.start(0);
        }
    }
    void settle();
    void passOn(Record& r);
    void focusChanged(QWidget* old, QWidget* now);
    void userActed(QWidget* target);
    void tabIntoOptionGroup(QWidget* old, QWidget* now, Qt::FocusReason reason);
    void setFocusOurselves(QWidget* control, Qt::FocusReason reason);
    void blocked(QWidget* window);

    std::list<Record> records_;
    QTimer settleTimer_;
    bool givingBack_ = false;
    bool unlocking_ = false;
    bool locking_ = false;
    // The reason of the focus-in that the next focus change reports.
    QPointer<QWidget> lastIn_;
    Qt::FocusReason lastInReason_ = Qt::OtherFocusReason;
    // Windows blocked by a modal window that are still active: they are locked once they have
    // lost the activation, so that their focus goes with the window, not with a control.
    std::vector<QPointer<QWidget>> blockedActive_;
    // Windows a modal window blocks now.
    std::vector<QPointer<QWidget>> blocked_;
    void lockIfStillBlocked(QWidget* window);
};

bool FocusKeeper::lock(QWidget* window, WindowLock lock)
{
    const int bit = static_cast<int>(lock);
    Record& r = record(window);
    if (r.locks & bit) {
        return true;
    }
    if (r.locks != 0) {
        r.locks |= bit;
        return true;
    }
    if (!window->isEnabled()) {
        return false;
    }
    if (QWidget* focus = window->focusWidget(); focus && !r.owed) {
        owe(r, focus);
    }
    r.locks |= bit;
    // Disabling a window disables the windows it owns as well, the modal dialog or message box
    // that blocks it among them: they stay as they were, with their focus.
    struct Owned {
        QWidget* window;
        QPointer<QWidget> focus;
    };
    std::vector<Owned> owned;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (child->isWindow() && child->isEnabled()) {
            owned.push_back({child, child->focusWidget()});
        }
    }
    {
        const bool wasLocking = std::exchange(locking_, true);
        window->setEnabled(false);
        for (const Owned& o : owned) {
            o.window->setEnabled(true);
        }
        locking_ = wasLocking;
    }
    for (const Owned& o : owned) {
        if (o.focus && !o.window->focusWidget() && canTakeFocus(o.focus, o.window)) {
            setFocusOurselves(o.focus, o.window->isActiveWindow() ? Qt::ActiveWindowFocusReason
                                                                  : Qt::OtherFocusReason);
        }
    }
    r.placed = window->focusWidget();
    return true;
}

void FocusKeeper::unlock(QWidget* window, WindowLock lock)
{
    const int bit = static_cast<int>(lock);
    Record* r = find(window);
    if (!r || !(r->locks & bit)) {
        return;
    }
    r->locks &= ~bit;
    if (r->locks != 0) {
        return;
    }
    unlocking_ = true;
    window->setEnabled(true);
    unlocking_ = false;
    if (!giveBack(*r)) {
        settleLater();
    }
}

bool FocusKeeper::giveBack(Record& r)
{
    if (!r.owed) {
        return true;
    }
    QWidget* window = r.window;
    if (!window || r.locks != 0) {
        return false;
    }
    if (QWidget* now = window->focusWidget(); now && now != r.placed) {
        // Put there by the user or by the program since: that stands.
        r.owed = false;
        r.chosen = now;
        return true;
    }
    if (!canTakeFocus(r.chosen, window)) {
        return false;
    }
    setFocusOurselves(r.chosen, Qt::OtherFocusReason);
    r.owed = false;
    return true;
}

void FocusKeeper::setFocusOurselves(QWidget* control, Qt::FocusReason reason)
{
    const bool wasGiving = std::exchange(givingBack_, true);
    control->setFocus(reason);
    givingBack_ = wasGiving;
}

void FocusKeeper::settle()
{
    bool later = false;
    for (Record& r : records_) {
        if (!r.owed || !r.window || giveBack(r) || r.locks != 0) {
            // A locked window settles once its last lock has gone.
            continue;
        }
        // Only once the handler that took the focus is over: it may enable the control again.
        if (eventsRunning() || loopLevel() > r.level) {
            later = true;
            continue;
        }
        passOn(r);
    }
    records_.remove_if([](const Record& r) { return !r.window; });
    if (later) {
        settleTimer_.start(10);
    }
}

void FocusKeeper::passOn(Record& r)
{
    r.owed = false;
    QWidget* window = r.window;
    if (!r.chosen || window->focusWidget() || !window->isVisible()) {
        return;
    }
    for (QWidget* next = r.chosen->nextInFocusChain(); next && next != r.chosen;
         next = next->nextInFocusChain()) {
        if (canTakeFocus(next, window) && (next->focusPolicy() & Qt::TabFocus)) {
            setFocusOurselves(next, Qt::OtherFocusReason);
            return;
        }
    }
}

void FocusKeeper::focusChanged(QWidget* old, QWidget* now)
{
    if (locking_) {
        // A lock takes the focus of its window itself, and keeps that of the windows it owns.
        lastIn_ = nullptr;
        return;
    }
    const Qt::FocusReason reason = now && now == lastIn_ ? lastInReason_ : Qt::OtherFocusReason;
    lastIn_ = nullptr;
    const bool oldForced = old && forcedOff(old);
    if (oldForced) {
        Record& r = record(old->window());
        if (!r.owed) {
            owe(r, old);
        }
    }
    if (!now) {
        return;
    }
    Record& r = record(now->window());
    if (givingBack_) {
        r.chosen = now;
        r.owed = false;
        return;
    }
    const bool automatic = reason == Qt::ActiveWindowFocusReason ||
                           reason == Qt::PopupFocusReason ||
                           (oldForced && old->window() == now->window());
    if (automatic) {
        if (!r.chosen) {
            r.chosen = now;
        }
        if (r.owed) {
            r.placed = now;
        }
        return;
    }
    r.chosen = now;
    r.owed = false;
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) {
        tabIntoOptionGroup(old, now, reason);
    }
}

void FocusKeeper::tabIntoOptionGroup(QWidget* old, QWidget* now, Qt::FocusReason reason)
{
    // Qt leaves one button of the group in the tab chain, the one that had the focus last, and
    // the arrow keys move within the group; the checked button is where Tab enters it.
    const std::vector<QAbstractButton*> group = optionGroup(now);
    if (group.empty() || contains(group, old)) {
        return;
    }
    const auto checked = std::find_if(group.begin(), group.end(), [](QAbstractButton* b) {
        return b->isChecked() && canTakeFocus(b, b->window());
    });
    if (checked != group.end() && *checked != now) {
        // Its own focus change comes from within the group, which this leaves alone.
        (*checked)->setFocus(reason);
    }
}

void FocusKeeper::blocked(QWidget* window)
{
    if (std::find(blocked_.begin(), blocked_.end(), window) == blocked_.end()) {
        blocked_.emplace_back(window);
    }
    if (!window->isActiveWindow()) {
        lock(window, WindowLock::Modal);
        return;
    }
    // The modal window has just come up and the window it blocks is still the active one. Locked
    // now, its focused control would lose the focus as a control does, not with its window (a
    // field would run its focus-lost step), so the lock waits until the window manager has
    // activated the modal window, or a moment where there is none.
    blockedActive_.emplace_back(window);
    QPointer<QWidget> guarded(window);
    QTimer::singleShot(250, this, [this, guarded] { lockIfStillBlocked(guarded); });
}

void FocusKeeper::lockIfStillBlocked(QWidget* window)
{
    const auto pending = std::find(blockedActive_.begin(), blockedActive_.end(), window);
    if (!window || pending == blockedActive_.end()) {
        return;
    }
    blockedActive_.erase(pending);
    if (std::find(blocked_.begin(), blocked_.end(), window) != blocked_.end()) {
        lock(window, WindowLock::Modal);
    }
}

void FocusKeeper::userActed(QWidget* target)
{
    QWidget* window = target->window();
    if (!target->isEnabled() || !window->isEnabled()) {
        return; // input the window does not take
    }
    Record* r = find(window);
    if (r && r->owed) {
        r->owed = false;
        if (QWidget* focus = window->focusWidget()) {
            r->chosen = focus;
        }
    }
}

bool FocusKeeper::eventFilter(QObject* watched, QEvent* event)
{
    if (!watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::FocusIn:
        lastIn_ = widget;
        lastInReason_ = static_cast<QFocusEvent*>(event)->reason();
        break;
    case QEvent::KeyPress:
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
            userActed(widget);
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        userActed(widget);
        break;
    case QEvent::Show:
        if (QComboBox* box = listOfBoxOutOfUse(widget)) {
            // Closed once its opening is over: no item can be picked from it.
            QPointer<QComboBox> guarded(box);
            QMetaObject::invokeMethod(
                this,
                [guarded] {
                    if (guarded) {
                        guarded->hidePopup();
                    }
                },
                Qt::QueuedConnection);
            break;
        }
        [[fallthrough]];
    case QEvent::EnabledChange:
        if (!unlocking_ && !locking_) {
            for (Record& r : records_) {
                if (r.owed && r.chosen == widget) {
                    giveBack(r);
                    break;
                }
            }
        }
        break;
    case QEvent::WindowBlocked:
        if (widget->isWindow()) {
            blocked(widget);
        }
        break;
    case QEvent::WindowDeactivate:
        if (widget->isWindow()) {
            // Once the activation has moved on, so that the window's focus goes with it.
            QPointer<QWidget> window(widget);
            QMetaObject::invokeMethod(
                this, [this, window] { lockIfStillBlocked(window); }, Qt::QueuedConnection);
        }
        break;
    case QEvent::WindowUnblocked:
        if (widget->isWindow()) {
            blocked_.erase(
                std::remove_if(blocked_.begin(), blocked_.end(),
                               [widget](const QPointer<QWidget>& w) { return !w || w == widget; }),
                blocked_.end());
            blockedActive_.erase(std::remove(blockedActive_.begin(), blockedActive_.end(), widget),
                                 blockedActive_.end());
            unlock(widget, WindowLock::Modal);
        }
        break;
    default:
        break;
    }
    return false;
}

FocusKeeper& keeper()
{
    static QPointer<FocusKeeper> instance;
    if (!instance) {
        // It goes with the application.
        instance = new FocusKeeper;
        instance->setParent(qApp);
    }
    return *instance;
}

} // namespace

void installFocusKeeping()
{
    if (qApp) {
        static_cast<void>(keeper());
    }
}

bool lockWindow(QWidget* window, WindowLock lock)
{
    return window && keeper().lock(window, lock);
}

void unlockWindow(QWidget* window, WindowLock lock)
{
    if (window) {
        keeper().unlock(window, lock);
    }
}

} // namespace kivo::desktop
