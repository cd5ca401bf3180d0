// The controls of the configuration window that Qt has no exact counterpart for.
#pragma once

#include <QComboBox>
#include <QObject>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>

#include <cstdint>
#include <functional>
#include <optional>

class QKeyEvent;

namespace KivoSoft {

// A drop-down list the user can only pick from: typed keys and the mouse wheel do nothing; the
// mouse and the keys that open its item list pick.
class PickOnlyList : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};

// The set-point slider: Click when the user presses it, Scroll while the thumb is dragged and
// Change after every change of its value, telling the user's own changes from the program's.
// Every change the program does not make through the calls below is the user's: the keys, the
// mouse, and a screen reader's or an outside tool's move through the accessibility bus.
class SetPointSlider : public QSlider {
    Q_OBJECT
public:
    explicit SetPointSlider(QWidget* parent = nullptr);

    // A value or bound set by the program; Change reports what it moves with byUser false.
    void setProgramValue(int value);
    void setProgramMinimum(int value);
    void setProgramMaximum(int value);
    void setProgramRange(int minimum, int maximum);

signals:
    void Click();
    void Scroll();
    void Change(bool byUser);

private:
    bool m_programChange = false;
};

// The module tabs. A disabled tab (an empty slot's) cannot be chosen by any means: the mouse,
// the keys, the wheel or the accessibility Press, which also reports it unavailable. Before the
// user's change of tab the window is asked whether the tab shown may be left, as a field's check
// is asked before the focus leaves it, so a refused entry keeps its tab in front:
//
//     SSTab1->setMayLeave([this] { return m_checks->leave(); });
class ModuleTabs : public QTabWidget {
    Q_OBJECT
public:
    using MayLeave = std::function<bool()>;
    explicit ModuleTabs(QWidget* parent = nullptr);

    void setMayLeave(MayLeave mayLeave);
    // The user's choice of tab `index`: true when that tab is shown afterwards.
    bool choose(int index);
    // Whether the tab shown may be left now (true when no check is set).
    bool mayLeave() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    MayLeave m_mayLeave;
};

// The tab bar of ModuleTabs; it asks its ModuleTabs before a click or the wheel changes the tab.
class ModuleTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit ModuleTabBar(ModuleTabs* tabs);
    ModuleTabs* tabs() const { return m_tabs; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    ModuleTabs* m_tabs;
};

// A key press as the forms runtime hands it to a KeyPress handler: its character code, or
// nothing for keys that raise no KeyPress there (arrows, Delete, function keys, Tab, Escape and
// the control shortcuts), so those keep their usual meaning in the box and the window.
std::optional<std::int16_t> keyAscii(const QKeyEvent& key);

// Passes every character typed into `widget` through `filter` first, as a KeyPress event with
// its character code; a code set to 0 drops the character. Keys for which `keyAscii` gives no
// code pass unseen. Text pasted or dropped into the widget meets the same filter
// (kivo::desktop::PastedTextFilter): a text with a character it refuses is not taken.
class KeyPressFilter : public QObject {
    Q_OBJECT
public:
    using Filter = std::function<void(std::int16_t& keyAscii)>;
    KeyPressFilter(QWidget* widget, Filter filter);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Filter m_filter;
};

// Runs `step` when the Tab key moves the focus from `widget` to the next control of its window
// (not Shift+Tab, a click or another window): a focus-leave rule that leads the focus on from
// the last control of a chain.
class TabLeaveFilter : public QObject {
    Q_OBJECT
public:
    TabLeaveFilter(QWidget* widget, std::function<void()> step);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_step;
};

// Sets the keyboard's order through `controls`, first to last.
void setTabChain(std::initializer_list<QWidget*> controls);

} // namespace KivoSoft
