#include "Tambel/Pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace Tambel {

QPixmap unitPicture(QSize size)
{
    QPixmap picture(size);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF chassis = QRectF(picture.rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(QColor(0x40, 0x40, 0x48), 1.5));
    p.setBrush(QColor(0xB8, 0xBC, 0xC4));
    p.drawRoundedRect(chassis, 4, 4);

    const int slotCount = 5;
    const qreal gap = chassis.width() * 0.04;
    const qreal slotWidth = (chassis.width() - gap * (slotCount + 1)) / slotCount;
    for (int i = 0; i < slotCount; ++i) {
        const QRectF slot(chassis.left() + gap + i * (slotWidth + gap), chassis.top() + gap,
                          slotWidth, chassis.height() - 2 * gap);
        p.setPen(QPen(QColor(0x50, 0x50, 0x58), 1));
        p.setBrush(QColor(0x6A, 0x6E, 0x78));
        p.drawRect(slot);
        const qreal lamp = slotWidth * 0.45;
        p.setPen(Qt::NoPen);
        p.setBrush(i % 2 == 0 ? QColor(0x3C, 0xD0, 0x50) : QColor(0x2A, 0x50, 0x30));
        p.drawEllipse(QRectF(slot.center().x() - lamp / 2, slot.top() + lamp * 0.6, lamp, lamp));
        p.setBrush(QColor(0x20, 0x20, 0x24));
        const qreal post = lamp * 0.5;
        for (int k = 0; k < 2; ++k) {
            p.drawEllipse(QRectF(slot.center().x() - post / 2, slot.bottom() - (k + 1) * post * 1.8,
                                 post, post));
        }
    }
    return picture;
}

QPixmap cyclingPicture(QSize size)
{
    QPixmap picture(size);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);

    const qreal high = size.height() * 0.2;
    const qreal low = size.height() * 0.8;
    p.setPen(QPen(QColor(0xD0, 0xD4, 0xDA), 1));
    p.drawLine(QPointF(0, low + 0.5), QPointF(size.width(), low + 0.5));

    // On and off times in the rhythm of the programs' 2 s and 1.5 s steps.
    const qreal pattern[] = {2.0, 2.0, 1.5, 1.5, 2.0, 2.0, 1.5, 2.0, 2.0, 1.5, 2.0, 2.0};
    qreal total = 0;
    for (qreal t : pattern) {
        total += t;
    }
    const qreal scale = size.width() / total;
    QPainterPath trace;
    trace.moveTo(0, high);
    qreal x = 0;
    bool on = true;
    for (qreal t : pattern) {
        x += t * scale;
        trace.lineTo(x, on ? high : low);
        on = !on;
        trace.lineTo(x, on ? high : low);
    }
    p.setPen(QPen(QColor(0xC0, 0x10, 0x10), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);
    return picture;
}

} // namespace Tambel
