#include "KivoSoft/controls/PictureElement.h"

#include <QMouseEvent>
#include <QPainter>

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
    // As the styles do it: only once the keyboard has moved the focus in the window. It is drawn
    // in the highlight colour, as the pictures have no focused look of their own and a style's
    // faint focus rectangle is lost on them.
    if (m_focusFrame && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
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
