#include "KivoSoft/monitor/ElidingButton.h"

#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace KivoSoft {

QString ElidingButton::shownText() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const int room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).width();
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, room);
}

void ElidingButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text = shownText();
    painter.drawControl(QStyle::CE_PushButton, option);
}
} // namespace KivoSoft
