// The four two-picture indicators of the windows: PellarosLed, PellarosBigSquareLed,
// PellarosSunkenSwitch and PellarosPushButton.
//
// Each shows picture 1 while `Status` is True and picture 2 otherwise, stretched over the whole
// control; it can blink by turning `Status` over on its timer, and raises `MouseClick` when it is
// clicked. The four behave alike and differ only in their pictures (and the push-button's tool
// tip). Windows set the properties through the typed setters or by name:
//
//     led->setStatus(false);                    // or led->setProperty("Status", false)
//     connect(button, &PellarosPushButton::MouseClick, this, &MonitorForm::...);
//
// `Enable`, `Blinking` and `Status` repaint at once and then let the event loop run
// (kivo::desktop::letEventsRun()), so a caller must expect clicks, ticks and other events between
// two of its property sets. Nothing is kept with a window's layout: every instance starts from the
// creation values below.
//
// The two kinds the windows use as switches (PellarosSunkenSwitch, PellarosPushButton) are
// worked without a mouse too: they take the focus from the Tab key, and Space, Enter or the
// accessible Press action raise `MouseClick` as a click does. A screen reader finds every
// indicator under the name its window gives it, with `Status` as its checked state and
// stateText() as its value; a lamp tells it in its name and its text as well.
#pragma once

#include "KivoSoft/controls/ControlPictures.h"
#include "KivoSoft/controls/PictureElement.h"

#include <QTimer>
#include <QWidget>

namespace KivoSoft {

class TwoPictureIndicator : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Enable READ Enable WRITE setEnable)
    Q_PROPERTY(int BInterval READ BInterval WRITE setBInterval)
    Q_PROPERTY(bool Blinking READ Blinking WRITE setBlinking)
    Q_PROPERTY(bool Status READ Status WRITE setStatus)
public:
    // The blink period until one is set.
    static constexpr int DefaultBlinkPeriod = 850;
    static constexpr int MinBInterval = 100;
    static constexpr int MaxBInterval = 10000;

    // The last value given to setEnable(); False at creation although the control starts enabled.
    bool Enable() const { return m_enable; }
    // Enables or disables the control and its picture (a disabled one raises no MouseClick),
    // repaints, lets events run.
    void setEnable(bool enable);

    // The last period accepted by setBInterval(), in milliseconds; 0 at creation, while the timer
    // runs at DefaultBlinkPeriod.
    int BInterval() const { return m_bInterval; }
    // Sets the blink period. Values outside 100..10000 are dropped silently. Neither starts nor
    // stops blinking, and lets no events run.
    void setBInterval(int milliseconds);

    // Whether blinking was last started; False at creation.
    bool Blinking() const { return m_blinking; }
    // True starts the timer from the picture shown; False stops it and sets Status False, so
    // picture 2 shows. Repaints, lets events run.
    void setBlinking(bool blinking);

    // Which picture shows: True picture 1; True at creation.
    bool Status() const { return m_status; }
    // Shows picture 1 for True, picture 2 otherwise (loaded again even when unchanged), repaints,
    // lets events run.
    void setStatus(bool status);

    // The picture Image1 shows: 1 or 2.
    int pictureIndex() const { return m_status ? 1 : 2; }
    PictureElement* Image1() const { return m_image; }
    const QTimer* Timer1() const { return &m_timer; }

    // The size of picture 1: the natural size of the control.
    QSize sizeHint() const override;

    // Whether the control is worked as a switch (keyboard, Press action) or only shows a state.
    bool isSwitch() const { return m_kind == Kind::Switch; }

    // What a screen reader is told the control shows: `on` while Status is True, `off`
    // otherwise; "On" and "Off" until a window says what its instance means.
    void setStateTexts(const QString& on, const QString& off);
    QString stateText() const { return m_status ? m_onText : m_offText; }

public slots:
    // One blink: Status turns over. The timer calls it every period while blinking.
    void blinkTick();
    // What a click does, for the keyboard and the Press action: raises MouseClick, unless the
    // control is disabled or is no switch.
    void activate();

signals:
    void MouseClick();

protected:
    enum class Kind { Lamp, Switch };
    TwoPictureIndicator(const ControlPictures::PicturePair& pictures, Kind kind, QWidget* parent);
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showPictureForStatus();

    const ControlPictures::PicturePair& m_pictures;
    const Kind m_kind;
    QString m_onText = QStringLiteral("On");
    QString m_offText = QStringLiteral("Off");
    PictureElement* m_image;
    QTimer m_timer;
    bool m_enable = false;
    int m_bInterval = 0;
    bool m_blinking = false;
    bool m_status = true;
};

// Round lamp: green for True, yellow otherwise (module-good lamps, traffic lamps).
class PellarosLed : public TwoPictureIndicator {
    Q_OBJECT
public:
    explicit PellarosLed(QWidget* parent = nullptr);
};

// Square lamp in a sunken frame: green for True, red otherwise (the unit lamps).
class PellarosBigSquareLed : public TwoPictureIndicator {
    Q_OBJECT
public:
    explicit PellarosBigSquareLed(QWidget* parent = nullptr);
};

// Rocker switch: ON for True, OFF otherwise (group and global output switches).
class PellarosSunkenSwitch : public TwoPictureIndicator {
    Q_OBJECT
public:
    explicit PellarosSunkenSwitch(QWidget* parent = nullptr);
};

// Push-button with a lamp: pressed and lit for True, raised and dark otherwise (module output
// switches). Its picture carries the tool tip "Click to switch Module Output ON/OFF".
class PellarosPushButton : public TwoPictureIndicator {
    Q_OBJECT
public:
    explicit PellarosPushButton(QWidget* parent = nullptr);
};

} // namespace KivoSoft
