// Windows whose size the program alone decides. A window manager that ignores the fixed-size
// hints, `xdotool windowsize` with no window manager running, or a maximize still change it; the
// window's own size rule then puts it back:
//
//     FixedSizeRule m_sizeRule{*this, [this] { Form_Resize(); }};   // a member of the window
//
//     void Form_Resize() { keepFixedSize(*this, wantedSize()); }
#pragma once

#include <QObject>
#include <QSize>

#include <functional>

class QWidget;

namespace kivo::desktop {

// A maximized or full-screen window goes back to normal; then, unless it is minimized, the window
// gets exactly `size`, which also becomes its fixed size (the hints the window manager sees).
void keepFixedSize(QWidget& window, QSize size);

// Runs `sizeRule` after every change of `window`'s size or window state, once the change has been
// delivered in full: the window system may still report the state it is changing to, and a size
// set in the middle of it would be undone. Several changes in a row run it once.
class FixedSizeRule final : public QObject {
public:
    FixedSizeRule(QWidget& window, std::function<void()> sizeRule);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> sizeRule_;
    bool pending_ = false;
};

} // namespace kivo::desktop
