#include "KivoSoft/controls/TwoPictureIndicators.h"

#include "platform/desktop/let_events_run.h"

#include <QPointer>

namespace KivoSoft {

using kivo::desktop::letEventsRun;

TwoPictureIndicator::TwoPictureIndicator(const ControlPictures::PicturePair& pictures,
                                         QWidget* parent)
    : QWidget(parent), m_pictures(pictures), m_image(new PictureElement(this))
{
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
    m_status = status;
    showPictureForStatus();
    m_image->repaint();
    letEventsRun();
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
    : TwoPictureIndicator(ControlPictures::ledPictures(), parent)
{
}

PellarosBigSquareLed::PellarosBigSquareLed(QWidget* parent)
    : TwoPictureIndicator(ControlPictures::bigSquareLedPictures(), parent)
{
}

PellarosSunkenSwitch::PellarosSunkenSwitch(QWidget* parent)
    : TwoPictureIndicator(ControlPictures::sunkenSwitchPictures(), parent)
{
}

PellarosPushButton::PellarosPushButton(QWidget* parent)
    : TwoPictureIndicator(ControlPictures::pushButtonPictures(), parent)
{
    Image1()->setToolTip("Click to switch Module Output ON/OFF");
}

} // namespace KivoSoft
