#include "KivoSoft/shell/ShellPictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>

namespace KivoSoft::ShellPictures {

namespace {

constexpr QSize BackgroundSize{749, 472};
constexpr int TitleBandHeight = 72;

constexpr QRgb Navy = qRgb(18, 44, 86);
constexpr QRgb SteelBlue = qRgb(52, 104, 160);
constexpr QRgb PanelGrey = qRgb(58, 62, 70);
constexpr QRgb SlotGrey = qRgb(88, 93, 102);
constexpr QRgb LitGreen = qRgb(40, 220, 90);
constexpr QRgb DigitGreen = qRgb(120, 255, 140);
constexpr QRgb Paper = qRgb(244, 247, 251);

QImage canvas(QSize size, QRgb fill)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

QFont pixelFont(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The flash of the product mark and the icon, inside `box`.
QPainterPath flash(const QRectF& box)
{
    const auto at = [&box](double x, double y) {
        return QPointF(box.left() + x * box.width(), box.top() + y * box.height());
    };
    QPainterPath path;
    path.moveTo(at(0.58, 0.05));
    path.lineTo(at(0.22, 0.56));
    path.lineTo(at(0.47, 0.56));
    path.lineTo(at(0.38, 0.95));
    path.lineTo(at(0.78, 0.40));
    path.lineTo(at(0.53, 0.40));
    path.closeSubpath();
    return path;
}

void drawTile(QPainter& painter, const QRectF& box, double radius)
{
    QLinearGradient fill(box.topLeft(), box.bottomRight());
    fill.setColorAt(0, QColor(SteelBlue).lighter(125));
    fill.setColorAt(1, QColor(Navy));
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1.5));
    painter.setBrush(fill);
    painter.drawRoundedRect(box, radius, radius);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255));
    painter.drawPath(flash(box.adjusted(box.width() * 0.12, box.height() * 0.1, -box.width() * 0.12,
                                        -box.height() * 0.1)));
}

QImage drawBackground()
{
    QImage image = canvas(BackgroundSize, qRgb(255, 255, 255));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient band(0, 0, BackgroundSize.width(), 0);
    band.setColorAt(0, QColor(Navy));
    band.setColorAt(1, QColor(SteelBlue));
    painter.fillRect(QRect(0, 0, BackgroundSize.width(), TitleBandHeight), band);
    painter.fillRect(QRect(0, TitleBandHeight, BackgroundSize.width(), 3), QColor(LitGreen));

    painter.setPen(Qt::white);
    painter.setFont(pixelFont(26, true));
    painter.drawText(QRect(84, 10, 420, 34), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Kivo Power Supply Software"));
    painter.setFont(pixelFont(13));
    painter.setPen(QColor(210, 226, 245));
    painter.drawText(QRect(86, 44, 420, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Dravon Electronics"));

    // The help badge: a round "?" and the words beside it.
    const QRect badge = helpBadgeRect();
    painter.setPen(QPen(QColor(255, 255, 255, 160), 1));
    painter.setBrush(QColor(255, 255, 255, 40));
    painter.drawRoundedRect(QRectF(badge).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    const QRectF mark(badge.left() + 8, badge.top() + 7, 28, 28);
    painter.setBrush(QColor(255, 255, 255));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(mark);
    painter.setPen(QColor(Navy));
    painter.setFont(pixelFont(20, true));
    painter.drawText(mark, Qt::AlignCenter, QStringLiteral("?"));
    painter.setPen(Qt::white);
    painter.setFont(pixelFont(12, true));
    painter.drawText(QRect(badge.left() + 42, badge.top() + 4, badge.width() - 46, 17),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Help"));
    painter.setFont(pixelFont(11));
    painter.drawText(QRect(badge.left() + 42, badge.top() + 21, badge.width() - 46, 17),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Technical data"));

    // The rule above the bottom row.
    painter.fillRect(QRect(16, 398, BackgroundSize.width() - 32, 1), QColor(200, 208, 220));
    return image;
}

// One module panel of the unit front: a lamp, a reading and the output socket.
void drawModulePanel(QPainter& painter, const QRect& panel, const QString& reading)
{
    QLinearGradient face(panel.topLeft(), panel.bottomLeft());
    face.setColorAt(0, QColor(SlotGrey).lighter(115));
    face.setColorAt(1, QColor(SlotGrey));
    painter.setPen(QPen(QColor(30, 32, 36), 1));
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(panel).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);

    const QPointF lamp(panel.center().x() + 0.5, panel.top() + 14.5);
    QRadialGradient glow(lamp, 7);
    glow.setColorAt(0, QColor(220, 255, 220));
    glow.setColorAt(0.45, QColor(LitGreen));
    glow.setColorAt(1, QColor(LitGreen).darker(180));
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(lamp, 6, 6);

    const QRect display(panel.left() + 5, panel.top() + 30, panel.width() - 10, 20);
    painter.setBrush(QColor(8, 20, 10));
    painter.setPen(QPen(QColor(20, 20, 20), 1));
    painter.drawRect(display);
    painter.setPen(QColor(DigitGreen));
    painter.setFont(pixelFont(12, true));
    painter.drawText(display, Qt::AlignCenter, reading);

    for (int i = 0; i < 2; ++i) {
        const QPointF socket(panel.center().x() + 0.5, panel.bottom() - 34.5 + i * 20);
        painter.setPen(QPen(QColor(20, 20, 20), 1.5));
        painter.setBrush(i == 0 ? QColor(200, 40, 40) : QColor(30, 30, 30));
        painter.drawEllipse(socket, 6, 6);
        painter.setBrush(QColor(180, 180, 180));
        painter.drawEllipse(socket, 2, 2);
    }
}

QImage drawMonitor()
{
    QImage image = canvas(MonitorPictureSize, Paper);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRect chassis(14, 14, MonitorPictureSize.width() - 28, 136);
    QLinearGradient metal(chassis.topLeft(), chassis.bottomLeft());
    metal.setColorAt(0, QColor(PanelGrey).lighter(130));
    metal.setColorAt(1, QColor(PanelGrey));
    painter.setPen(QPen(QColor(20, 22, 26), 1.5));
    painter.setBrush(metal);
    painter.drawRoundedRect(QRectF(chassis), 6, 6);

    static const std::array<const char*, 5> readings{"5.00", "12.0", "24.0", "48.0", "3.30"};
    const int panelWidth = (chassis.width() - 24) / 5;
    for (int slot = 0; slot < 5; ++slot) {
        const QRect panel(chassis.left() + 12 + slot * panelWidth, chassis.top() + 10,
                          panelWidth - 6, chassis.height() - 20);
        drawModulePanel(painter, panel, QString::fromLatin1(readings[static_cast<size_t>(slot)]));
    }

    // A reading trace under the unit: the live values the window follows.
    QPainterPath trace;
    trace.moveTo(20, 174);
    for (int x = 20; x <= MonitorPictureSize.width() - 20; x += 10) {
        trace.lineTo(x, 170 + ((x / 10) % 3 == 0 ? -6 : (x / 10) % 3 == 1 ? 2 : -2));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(SteelBlue), 2));
    painter.drawPath(trace);
    return image;
}

QImage drawConfigurator()
{
    QImage image = canvas(ConfiguratorPictureSize, Paper);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // The chip: a dark body with eight legs on each long side and its notch.
    const QRect body(28, 46, 118, 84);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(170, 174, 180));
    for (int i = 0; i < 8; ++i) {
        const int x = body.left() + 6 + i * 14;
        painter.drawRect(x, body.top() - 12, 6, 12);
        painter.drawRect(x, body.bottom() + 1, 6, 12);
    }
    QLinearGradient black(body.topLeft(), body.bottomLeft());
    black.setColorAt(0, QColor(60, 62, 66));
    black.setColorAt(1, QColor(22, 23, 26));
    painter.setBrush(black);
    painter.setPen(QPen(QColor(10, 10, 10), 1));
    painter.drawRoundedRect(QRectF(body), 4, 4);
    painter.setBrush(QColor(12, 12, 14));
    painter.drawEllipse(QPointF(body.left() + 12, body.center().y()), 5, 5);
    painter.setPen(QColor(235, 235, 235));
    painter.setFont(pixelFont(17, true));
    painter.drawText(body.adjusted(12, 0, 0, 0), Qt::AlignCenter, QStringLiteral("EEPROM"));

    // Three setting sliders: voltage, current limit, turn-on delay.
    static const std::array<int, 3> knobs{72, 40, 92};
    for (int i = 0; i < 3; ++i) {
        const int y = 48 + i * 38;
        const QRectF groove(170, y, 88, 6);
        painter.setPen(QPen(QColor(120, 128, 140), 1));
        painter.setBrush(QColor(214, 220, 228));
        painter.drawRoundedRect(groove, 3, 3);
        painter.setBrush(QColor(SteelBlue));
        painter.drawRoundedRect(
            QRectF(groove.left(), groove.top(), knobs[static_cast<size_t>(i)], groove.height()), 3,
            3);
        painter.setBrush(QColor(255, 255, 255));
        painter.setPen(QPen(QColor(Navy), 2));
        painter.drawEllipse(QPointF(groove.left() + knobs[static_cast<size_t>(i)], y + 3.0), 7, 7);
    }

    // The stored values go into the chip.
    painter.setPen(QPen(QColor(LitGreen).darker(130), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(160, 160), QPointF(120, 160));
    QPainterPath head;
    head.moveTo(112, 160);
    head.lineTo(124, 153);
    head.lineTo(124, 167);
    head.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(LitGreen).darker(130));
    painter.drawPath(head);
    return image;
}

QImage drawExit()
{
    QImage image = canvas(ExitPictureSize, qRgb(240, 240, 240));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring(8, 9, 24, 24);
    painter.setPen(QPen(QColor(196, 32, 32), 4, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    // An open ring with its gap at the top, and the bar through the gap.
    painter.drawArc(ring, 120 * 16, 300 * 16);
    painter.drawLine(QPointF(20, 5), QPointF(20, 19));
    return image;
}

QImage drawProductMark()
{
    QImage image = canvas(ProductMarkSize, Navy);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawTile(painter, QRectF(2, 2, ProductMarkSize.width() - 4, ProductMarkSize.height() - 4), 9);
    return image;
}

QImage drawProgramIcon()
{
    QImage image = canvas(ProgramIconSize, qRgb(240, 240, 240));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawTile(painter, QRectF(2, 2, ProgramIconSize.width() - 4, ProgramIconSize.height() - 4), 8);
    return image;
}

// Each picture is drawn on first use and kept for the rest of the process.
template <QImage (*Draw)()> const QImage& drawnOnce()
{
    static const QImage picture = Draw();
    return picture;
}

} // namespace

QRect helpBadgeRect()
{
    return {BackgroundSize.width() - 172, 14, 156, 42};
}

const QImage& mainBackground()
{
    return drawnOnce<drawBackground>();
}

const QImage& monitorPicture()
{
    return drawnOnce<drawMonitor>();
}

const QImage& configuratorPicture()
{
    return drawnOnce<drawConfigurator>();
}

const QImage& exitPicture()
{
    return drawnOnce<drawExit>();
}

const QImage& productMark()
{
    return drawnOnce<drawProductMark>();
}

const QImage& programIcon()
{
    return drawnOnce<drawProgramIcon>();
}

} // namespace KivoSoft::ShellPictures
