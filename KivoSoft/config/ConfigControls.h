// The controls of the configuration window that Qt has no exact counterpart for.
#pragma once

#include <QComboBox>
#include <QObject>
#include <QSlider>

#include <cstdint>
#include <functional>
#include <optional>

class QKeyEvent;

namespace KivoSoft {

// A drop-down list the user can only pick from: typed keys and the mouse wheel do nothing.
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
class SetPointSlider : public QSlider {
    Q_OBJECT
public:
    explicit SetPointSlider(QWidget* parent = nullptr);

    // A value set by the program; Change reports it with byUser false.
    void setProgramValue(int value);

signals:
    void Click();
    void Scroll();
    void Change(bool byUser);

private:
    bool m_userAction = false;
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

} // namespace KivoSoft
