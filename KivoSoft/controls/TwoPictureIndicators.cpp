#include "KivoSoft/controls/TwoPictureIndicators.h"

#include "KivoSoft/controls/ControlsAccessibility.h"
#include "KivoSoft/controls/EventCodes.h"
#include "platform/desktop/let_events_run.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPointer>

namespace KivoSoft {

using kivo::desktop::letEventsRun;

TwoPictureIndicator::TwoPictureIndicator(const ControlPictures::PicturePair& pictures, Kind kind,
                                         QWidget* parent)
    : QWidget(parent), m_pictures(pictures), m_kind(kind), m_image(new PictureElement(this))
{
    installControlsAccessibility();
    // A switch is reached with Tab; a click leaves the focus where it was, as it always has.
    setFocusPolicy(kind == Kind::Switch ? Qt::TabFocus : Qt::NoFocus);
    m_image->setObjectName("Image1");
    m_image->setPicture(&m_pictures[0]);
    m_timer.setObjectName("Timer1");
    m_timer.setInterval(DefaultBlinkPeriod);
    connect(&m_timer, &QTimer::timeout, this, &TwoPictureIndicator::blinkTick);
    connect(m_image, &PictureElement::clicked, this, &TwoPictureIndicator::MouseClick);
    resize(sizeHint());
    m_image->setGeometry(rect());
}

QSize TwoPictureIndicator::sizeHint() const
{
    return m_pictures[0].size();
}

void TwoPictureIndicator::setEnable(bool enable)
{
    m_enable = enable;
    setEnabled(enable);
    m_image->setEnabled(enable);
    m_image->repaint();
    letEventsRun();
}

void TwoPictureIndicator::setBInterval(int milliseconds)
{
    if (milliseconds < MinBInterval || milliseconds > MaxBInterval) {
        return;
    }
    m_bInterval = milliseconds;
    m_timer.setInterval(milliseconds);
}

void TwoPictureIndicator::setBlinking(bool blinking)
{
    m_blinking = blinking;
    QPointer<TwoPictureIndicator> alive(this);
    if (blinking) {
        m_timer.start();
    } else {
        m_timer.stop();
        setStatus(false);
        // setStatus let events run; a handler may have deleted the control meanwhile.
        if (!alive) {
            return;
        }
    }
    m_image->repaint();
    letEventsRun();
}

void TwoPictureIndicator::setStatus(bool status)
{
    const bool changed = m_status != status;
    const QString before = stateText();
    m_status = status;
    showPictureForStatus();
    if (changed) {
        notifyShownChanged(this, before);
    }
    m_image->repaint();
    letEventsRun();
}

void TwoPictureIndicator::setStateTexts(const QString& on, const QString& off)
{
    const QString before = stateText();
    m_onText = on;
    m_offText = off;
    notifyShownChanged(this, before);
}

void TwoPictureIndicator::activate()
{
    if (isSwitch() && isEnabled()) {
        emit MouseClick();
    }
}

void TwoPictureIndicator::keyPressEvent(QKeyEvent* event)
{
    if (isSwitch() && isClickKey(*event)) {
        event->accept();
        if (!event->isAutoRepeat()) {
            activate();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void TwoPictureIndicator::focusInEvent(QFocusEvent* event)
{
    m_image->setFocusFrame(true);
    QWidget::focusInEvent(event);
}

void TwoPictureIndicator::focusOutEvent(QFocusEvent* event)
{
    m_image->setFocusFrame(false);
    QWidget::focusOutEvent(event);
}

void TwoPictureIndicator::blinkTick()
{
    setStatus(!Status());
}

void TwoPictureIndicator::showPictureForStatus()
{
    m_image->setPicture(&m_pictures[m_status ? 0 : 1]);
}

void TwoPictureIndicator::resizeEvent(QResizeEvent*)
{
    m_image->setGeometry(rect());
    m_image->repaint();
    letEventsRun();
}

PellarosLed::PellarosLed(QWidget* parent)
    : TwoPictureIndicator(ControlPictures::ledPictures(), Kind::Lamp, parent)
{
}

PellarosBigSquareLed::PellarosBigSquareLed(QWidget* parent)
    : TwoPictureIndicator(ControlPictures::bigSquareLedPictures(), Kind::Lamp, parent)
{
}

PellarosSunkenSwitch::PellarosSunkenSwitch(QWidget* parent)
    : TwoPictureIndicator(ControlPictures::sunkenSwitchPictures(), Kind::Switch, parent)
{
}

PellarosPushButton::PellarosPushButton(QWidget* parent)
    : TwoPictureIndicator(ControlPictures::pushButtonPictures(), Kind::Switch, parent)
{
    Image1()->setToolTip("Click to switch Module Output ON/OFF");
}

} // namespace KivoSoft
