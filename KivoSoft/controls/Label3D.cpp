#include "KivoSoft/controls/Label3D.h"

#include "KivoSoft/controls/ControlsAccessibility.h"
#include "KivoSoft/controls/EventCodes.h"
#include "KivoSoft/controls/Twips.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include <limits>

namespace KivoSoft {

namespace {

constexpr int LayerOffsetTwips = 15;
const QString DefaultCaption = QStringLiteral("Label3D");

// A value the layers take as a 16-bit integer, of which only first..last mean anything.
Label3D::SetError checkChoice(int value, int first, int last)
{
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max()) {
        return Label3D::SetError::Overflow;
    }
    return value < first || value > last ? Label3D::SetError::InvalidValue
                                         : Label3D::SetError::None;
}

// Only the colours that are the dialog background on this desktop too (button face, menu, menu
// bar) share the window's role; every other one is drawn on that background (outlines, hatches,
// captions, borders) and must stay visible on it.
QPalette::ColorRole systemColourRole(uint index)
{
    switch (index) {
    case 5: // window
        return QPalette::Base;
    case 6:  // window frame
    case 21: // 3-D dark shadow
        return QPalette::Shadow;
    case 7: // menu text
    case 9: // caption text
        return QPalette::WindowText;
    case 8: // window text
        return QPalette::Text;
    case 2:  // active caption
    case 13: // highlight
    case 27: // gradient of the active caption
    case 29: // menu highlight
        return QPalette::Highlight;
    case 14: // highlighted text
        return QPalette::HighlightedText;
    case 1:  // desktop
    case 16: // button shadow
        return QPalette::Dark;
    case 3:  // inactive caption
    case 10: // active border
    case 11: // inactive border
    case 12: // application workspace
    case 28: // gradient of the inactive caption
        return QPalette::Mid;
    case 0:  // scroll bar
    case 22: // 3-D light
        return QPalette::Midlight;
    case 17: // grey text
    case 19: // inactive caption text
        return QPalette::PlaceholderText;
    case 18: // button text
        return QPalette::ButtonText;
    case 20: // button highlight
        return QPalette::Light;
    case 23: // tool tip text
        return QPalette::ToolTipText;
    case 24: // tool tip background
        return QPalette::ToolTipBase;
    case 26: // hot-tracked item
        return QPalette::Link;
    default: // button face (15), menu (4), menu bar (30) and unknown indices: the dialog
             // background
        return QPalette::Window;
    }
}

} // namespace

QColor Label3D::toColor(uint colour, const QPalette& palette)
{
    if (colour & 0x80000000u) {
        return palette.color(QPalette::Active, systemColourRole(colour & 0xFFu));
    }
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

Label3D::Label3D(QWidget* parent)
    : QWidget(parent), m_back(new QLabel(DefaultCaption, this)),
      m_front(new QLabel(DefaultCaption, this))
{
    installControlsAccessibility();
    // The front layer is created last, so it lies above the back one.
    m_back->setObjectName("Label1");
    m_front->setObjectName("Label2");
    for (QLabel* label : {m_back, m_front}) {
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        // Without this a framed label indents its text by half an 'x'.
        label->setIndent(0);
        // No background of their own: the control's colour shows behind both.
        label->setAutoFillBackground(false);
    }
    m_back->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_front->setMouseTracking(true);
    m_front->installEventFilter(this);
    applyForeColor(m_back, m_foreColor1);
    applyForeColor(m_front, m_foreColor2);
    applyAlignment(m_alignment);
    applyBorderStyle(m_borderStyle);
    const int minimum = twipsToPixels(MinimumSideTwips);
    setMinimumSize(minimum, minimum);
    layOut();
}

bool Label3D::Enabled() const
{
    return m_back->isEnabled();
}

void Label3D::setLayersEnabled(bool enabled)
{
    m_back->setEnabled(enabled);
    m_front->setEnabled(enabled);
    if (!enabled) {
        m_frontPressed = false;
    }
    emit PropertyChanged("Enabled");
}

QFont Label3D::Font() const
{
    return m_back->font();
}

void Label3D::setLayersFont(const QFont& font)
{
    m_back->setFont(font);
    m_front->setFont(font);
    emit PropertyChanged("Font");
}

void Label3D::setForeColor1(uint colour)
{
    m_foreColor1 = colour;
    applyForeColor(m_back, colour);
    emit PropertyChanged("ForeColor1");
}

void Label3D::setForeColor2(uint colour)
{
    m_foreColor2 = colour;
    applyForeColor(m_front, colour);
    emit PropertyChanged("ForeColor2");
}

QString Label3D::Caption() const
{
    return m_back->text();
}

void Label3D::setCaption(const QString& caption)
{
    const QString before = Caption();
    m_back->setText(caption);
    m_front->setText(caption);
    notifyShownChanged(this, before);
    emit PropertyChanged("Caption");
}

Label3D::SetError Label3D::setAlignment(int alignment)
{
    const SetError error = checkChoice(alignment, AlignLeft, AlignCenter);
    if (error != SetError::None) {
        return error;
    }
    m_alignment = alignment;
    applyAlignment(alignment);
    emit PropertyChanged("Alignment");
    return SetError::None;
}

Label3D::SetError Label3D::setPhase(int phase)
{
    if (phase < 0 || phase > 255) {
        return SetError::Overflow;
    }
    m_phase = phase;
    layOut();
    emit PropertyChanged("Phase");
    return SetError::None;
}

void Label3D::setBackColor(uint colour)
{
    m_backColor = colour;
    update();
    emit PropertyChanged("BackColor");
}

Label3D::SetError Label3D::setBorderStyle(int style)
{
    const SetError error = checkChoice(style, BorderNone, BorderSingle);
    if (error != SetError::None) {
        return error;
    }
    m_borderStyle = style;
    applyBorderStyle(style);
    emit PropertyChanged("BorderStyle");
    return SetError::None;
}

void Label3D::Refresh()
{
    repaint();
}

void Label3D::ReadProperties(const QVariantMap& properties)
{
    auto value = [&](const char* key, const QVariant& fallback) {
        return properties.value(QString::fromLatin1(key), fallback);
    };
    const bool enabled = value("Enabled", true).toBool();
    m_back->setEnabled(enabled);
    m_front->setEnabled(enabled);
    m_foreColor1 = value("ForeColor1", 0u).toUInt();
    applyForeColor(m_back, m_foreColor1);
    m_foreColor2 = value("ForeColor2", 0x00FFFFFFu).toUInt();
    applyForeColor(m_front, m_foreColor2);
    const QString caption = value("Caption", DefaultCaption).toString();
    const QString before = Caption();
    m_back->setText(caption);
    m_front->setText(caption);
    notifyShownChanged(this, before);
    // A stored value the layers would refuse keeps the default rather than breaking the load.
    const int alignment = value("Alignment", AlignLeft).toInt();
    m_alignment = alignment >= AlignLeft && alignment <= AlignCenter ? alignment : AlignLeft;
    applyAlignment(m_alignment);
    if (properties.contains("Font")) {
        const QFont font = properties.value("Font").value<QFont>();
        m_back->setFont(font);
        m_front->setFont(font);
    } else {
        // An unresolved font: the layers follow the container's.
        m_back->setFont(QFont());
        m_front->setFont(QFont());
    }
    const int border = value("BorderStyle", BorderNone).toInt();
    m_borderStyle = border == BorderSingle ? BorderSingle : BorderNone;
    applyBorderStyle(m_borderStyle);
    const int phase = value("Phase", 0).toInt();
    m_phase = phase >= 0 && phase <= 255 ? phase : 0;
    m_backColor = value("BackColor", SystemButtonFace).toUInt();
    update();
    layOut();
}

QVariantMap Label3D::WriteProperties() const
{
    QVariantMap properties;
    auto write = [&](const char* key, const QVariant& current, const QVariant& fallback) {
        if (current != fallback) {
            properties.insert(QString::fromLatin1(key), current);
        }
    };
    write("Enabled", Enabled(), true);
    write("Font", Font(), ambientFont());
    write("ForeColor1", ForeColor1(), 0u);
    write("ForeColor2", ForeColor2(), 0x00FFFFFFu);
    write("Caption", Caption(), DefaultCaption);
    write("Alignment", Alignment(), int(AlignLeft));
    write("Phase", Phase(), 0);
    write("BackColor", BackColor(), SystemButtonFace);
    write("BorderStyle", BorderStyle(), int(BorderNone));
    return properties;
}

QSize Label3D::sizeHint() const
{
    const int offset = twipsToPixels(LayerOffsetTwips);
    const QSize text = m_back->sizeHint();
    return QSize(text.width() + offset, text.height() + offset).expandedTo(minimumSize());
}

void Label3D::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), toColor(m_backColor, palette()));
}

void Label3D::resizeEvent(QResizeEvent*)
{
    layOut();
}

void Label3D::layOut()
{
    // The minimum size keeps the control at 100 twips or more each way.
    for (QLabel* label : {m_back, m_front}) {
        label->resize(size());
    }
    const int d = twipsToPixels(LayerOffsetTwips);
    switch (m_phase) {
    case 0:
        m_back->move(d, d);
        m_front->move(0, 0);
        break;
    case 1:
        m_back->move(0, d);
        m_front->move(d, 0);
        break;
    case 2:
        m_back->move(d, 0);
        m_front->move(0, d);
        break;
    case 3:
        m_back->move(0, 0);
        m_front->move(d, d);
        break;
    default:
        break;
    }
}

void Label3D::applyForeColor(QLabel* label, uint colour)
{
    QPalette palette = label->palette();
    const QColor c = toColor(colour, palette);
    // A disabled layer keeps the platform's greyed text.
    palette.setColor(QPalette::Active, QPalette::WindowText, c);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, c);
    label->setPalette(palette);
}

void Label3D::applyAlignment(int alignment)
{
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (alignment == AlignRight) {
        horizontal = Qt::AlignRight;
    } else if (alignment == AlignCenter) {
        horizontal = Qt::AlignHCenter;
    }
    m_back->setAlignment(horizontal | Qt::AlignTop);
    m_front->setAlignment(horizontal | Qt::AlignTop);
}

void Label3D::applyBorderStyle(int style)
{
    m_front->setFrameStyle(style == BorderSingle ? (QFrame::Panel | QFrame::Sunken)
                                                 : QFrame::NoFrame);
    m_front->setLineWidth(1);
}

QFont Label3D::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

bool Label3D::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_front && mouseEventFromFront(event)) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool Label3D::mouseEventFromFront(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        break;
    default:
        return false;
    }
    // A disabled layer receives no mouse events; the filter sees them first, so it checks.
    if (!m_front->isEnabled()) {
        return false;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    const short shift = shiftCode(mouse->modifiers());
    const float x = static_cast<float>(mouse->position().x() * TwipsPerPixel);
    const float y = static_cast<float>(mouse->position().y() * TwipsPerPixel);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        m_frontPressed = true;
        emit MouseDown(mouseButtonCode(mouse->button()), shift, x, y);
        break;
    case QEvent::MouseButtonDblClick:
        // The second press of a double click is no press of its own, and its release no click.
        m_frontPressed = false;
        emit DblClick();
        break;
    case QEvent::MouseButtonRelease: {
        const bool click = m_frontPressed && m_front->rect().contains(mouse->position().toPoint());
        m_frontPressed = false;
        emit MouseUp(mouseButtonCode(mouse->button()), shift, x, y);
        if (click) {
            emit Click();
        }
        break;
    }
    default:
        emit MouseMove(mouseButtonCode(mouse->buttons()), shift, x, y);
        break;
    }
    return true;
}

} // namespace KivoSoft
