#include "KivoSoft/monitor/ModuleShape.h"

#include "KivoSoft/controls/Label3D.h"

#include <QPainter>

namespace KivoSoft {

ModuleShape::ModuleShape(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ModuleShape::setStyle(uint borderColor, int fillStyle, int borderWidth)
{
    m_borderColor = borderColor;
    m_fillStyle = fillStyle;
    m_borderWidth = borderWidth;
}

void ModuleShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor colour = Label3D::toColor(m_borderColor, palette());
    if (m_fillStyle == 5) {
        painter.fillRect(rect(), QBrush(colour, Qt::BDiagPattern));
    }
    QPen pen(colour, m_borderWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    const int inset = m_borderWidth / 2;
    painter.drawRect(rect().adjusted(inset, inset, -inset - 1, -inset - 1));
}

} // namespace KivoSoft
