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

void PictureElement::paintEvent(QPaintEvent*)
{
    if (!m_picture) {
        return;
    }
    QPainter painter(this);
    // Nearest-pixel stretching keeps the dots and edges of the small pictures crisp.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), *m_picture);
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
