#include "KivoSoft/controls/PictureElement.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace KivoSoft {

PictureElement::PictureElement(QWidget* parent) : QWidget(parent)
{
    // The picture covers every pixel; nothing behind it needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureElement::setPicture(const QImage* picture)
{
    m_picture = picture;
}

void PictureElement::setFocusFrame(bool on)
{
    if (m_focusFrame != on) {
        m_focusFrame = on;
        update();
    }
}

void PictureElement::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_picture) {
        // Nearest-pixel stretching keeps the dots and edges of the small pictures crisp.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(rect(), *m_picture);
    }
    if (m_focusFrame) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void PictureElement::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
    }
    event->accept();
}

void PictureElement::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressed) {
        return;
    }
    m_pressed = false;
    if (rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void PictureElement::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Swallowed, so that the release that follows raises no second click.
    m_pressed = false;
    event->accept();
}

} // namespace KivoSoft
