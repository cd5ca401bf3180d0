#include "KivoSoft/shell/ShellControls.h"

#include "KivoSoft/controls/EventCodes.h"
#include "KivoSoft/controls/Twips.h"

#include <QMouseEvent>
#include <QPainter>

namespace KivoSoft {

ImageControl::ImageControl(const QImage* picture, QWidget* parent) : PictureElement(parent)
{
    setPicture(picture);
    // Mouse moves arrive without a button held, as the hover feedback needs them.
    setMouseTracking(true);
    connect(this, &PictureElement::clicked, this, &ImageControl::Click);
}

void ImageControl::setBorderStyle(int style)
{
    if (style == m_borderStyle) {
        return;
    }
    m_borderStyle = style;
    update();
}

void ImageControl::paintEvent(QPaintEvent* event)
{
    PictureElement::paintEvent(event);
    if (m_borderStyle != BorderFixedSingle) {
        return;
    }
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ImageControl::mouseMoveEvent(QMouseEvent* event)
{
    emit MouseMove(mouseButtonCode(event->buttons()), shiftCode(event->modifiers()),
                   static_cast<float>(event->position().x() * TwipsPerPixel),
                   static_cast<float>(event->position().y() * TwipsPerPixel));
}

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
}

void ClickLabel::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click) {
        emit Click();
    }
}

} // namespace KivoSoft
