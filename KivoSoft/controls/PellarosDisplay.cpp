#include "KivoSoft/controls/PellarosDisplay.h"

#include "KivoSoft/controls/ControlPictures.h"
#include "KivoSoft/controls/ControlsAccessibility.h"
#include "KivoSoft/controls/EventCodes.h"
#include "KivoSoft/controls/Twips.h"
#include "platform/basic/basic.h"
#include "platform/desktop/let_events_run.h"

#include <QKeyEvent>
#include <QMetaMethod>
#include <QPointer>

#include <optional>

namespace KivoSoft {

using kivo::desktop::letEventsRun;

namespace {

using namespace ControlPictures;

// Layout in twips: the digits leave a margin of 30 at the panel's left and stand 240 apart.
constexpr int DigitLeftTwips = 30;
constexpr int DigitPitchTwips = 240;
constexpr int DigitWidthTwips = 240;
constexpr int DigitHeightTwips = 480;

// The five characters to draw, or nothing when every position shows the blank: an empty text, or
// one whose integer part alone is longer than the display.
std::optional<QString> fitToPositions(const QString& text, const QString& separator)
{
    if (text.isEmpty()) {
        return std::nullopt;
    }
    QString fitted = text;
    if (fitted.size() > PellarosDisplay::Positions) {
        const qsizetype at = separator.size() == 1 ? fitted.indexOf(separator) : -1;
        if (at < 0 || at > PellarosDisplay::Positions) {
            return std::nullopt;
        }
        // Decimals are cut, not rounded; a separator left with no decimals goes too.
        fitted.truncate(PellarosDisplay::Positions);
        if (fitted.endsWith(separator)) {
            fitted.chop(separator.size());
        }
    }
    return (QString("0000") + fitted).right(PellarosDisplay::Positions);
}

// The picture in the set (1..12) for position `i` (0-based) of the characters `c`.
int pictureInSet(int i, const std::array<QString, PellarosDisplay::Positions>& c,
                 const QString& separator)
{
    const QString& ch = c[i];
    if (ch.size() == 1 && ch[0] >= u'1' && ch[0] <= u'9') {
        return ch[0].unicode() - u'0';
    }
    if (ch == QLatin1String("0")) {
        // A leading zero is blank, unless it stands in front of the separator; the right-most
        // position always shows its zero.
        bool leading = i < PellarosDisplay::Positions - 1;
        for (int k = 0; k < i && leading; ++k) {
            leading = c[k] == QLatin1String("0");
        }
        if (leading && i < PellarosDisplay::Positions - 2 && c[i + 1] == separator) {
            leading = false;
        }
        return leading ? BlankInSet : ZeroInSet;
    }
    if (!ch.isEmpty() && ch == separator) {
        return SeparatorInSet;
    }
    return BlankInSet;
}

// The key codes of the original keyboard interface: letters and digits are their character codes,
// the rest as listed; anything else 0.
short keyCode(const QKeyEvent& event)
{
    const int key = event.key();
    if (event.modifiers() & Qt::KeypadModifier && key >= Qt::Key_0 && key <= Qt::Key_9) {
        return static_cast<short>(0x60 + key - Qt::Key_0);
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        return static_cast<short>(key);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return static_cast<short>(0x70 + key - Qt::Key_F1);
    }
    struct Pair {
        int qt;
        short code;
    };
    static constexpr Pair table[] = {
        {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09},    {Qt::Key_Return, 0x0D},
        {Qt::Key_Enter, 0x0D},     {Qt::Key_Shift, 0x10},  {Qt::Key_Control, 0x11},
        {Qt::Key_Alt, 0x12},       {Qt::Key_Pause, 0x13},  {Qt::Key_CapsLock, 0x14},
        {Qt::Key_Escape, 0x1B},    {Qt::Key_Space, 0x20},  {Qt::Key_PageUp, 0x21},
        {Qt::Key_PageDown, 0x22},  {Qt::Key_End, 0x23},    {Qt::Key_Home, 0x24},
        {Qt::Key_Left, 0x25},      {Qt::Key_Up, 0x26},     {Qt::Key_Right, 0x27},
        {Qt::Key_Down, 0x28},      {Qt::Key_Insert, 0x2D}, {Qt::Key_Delete, 0x2E},
        {Qt::Key_Comma, 0xBC},     {Qt::Key_Minus, 0xBD},  {Qt::Key_Period, 0xBE},
    };
    for (const Pair& pair : table) {
        if (pair.qt == key) {
            return pair.code;
        }
    }
    return 0;
}

} // namespace

PellarosDisplay::PellarosDisplay(QWidget* parent)
    : QWidget(parent), m_panel(new PictureElement(this))
{
    installControlsAccessibility();
    m_panel->setObjectName("Picture1");
    m_panel->setPicture(&displayPanelPicture());
    m_panel->setGeometry(QRect(QPoint(0, 0), displayPanelPicture().size()));
    for (int i = 0; i < Positions; ++i) {
        auto* image = new PictureElement(this);
        image->setObjectName(QString("Image1(%1)").arg(i + 1));
        image->setPicture(&initialDigitPicture());
        image->setGeometry(twipsToPixels(DigitLeftTwips + i * DigitPitchTwips), 0,
                           twipsToPixels(DigitWidthTwips), twipsToPixels(DigitHeightTwips));
        m_images[i] = image;
    }
    resize(sizeHint());
}

QSize PellarosDisplay::sizeHint() const
{
    return displayPanelPicture().size();
}

int PellarosDisplay::pictureAt(int position) const
{
    return position >= 1 && position <= Positions ? m_shown[position - 1] : 0;
}

PictureElement* PellarosDisplay::Image1(int position) const
{
    return position >= 1 && position <= Positions ? m_images[position - 1] : nullptr;
}

QString PellarosDisplay::shownText() const
{
    QString text;
    for (const int picture : m_shown) {
        const int inSet = picture == 0 ? BlankInSet : (picture - 1) % DigitSetSize + 1;
        if (inSet <= 9) {
            text += QChar(u'0' + inSet);
        } else if (inSet == ZeroInSet) {
            text += u'0';
        } else if (inSet == SeparatorInSet) {
            text += kivo::basic::programDecimalSeparator;
        } else if (!text.isEmpty()) {
            // A blank between characters, where the text had a character the display has no
            // picture for.
            text += u' ';
        }
    }
    return text.trimmed();
}

int PellarosDisplay::TextValue(short DigitsType, const QString& TextTodisplay)
{
    m_intDigitsType = DigitsType;
    // Local copies: the caller's text may change while events run, and a nested call must not
    // disturb the characters of this one.
    const QString text = TextTodisplay;
    const QString separator = kivo::basic::programDecimalSeparator;
    const int offset = DigitsType == 2 ? DigitSetSize : 0;
    const std::optional<QString> fitted = fitToPositions(text, separator);
    const QString before = shownText();

    QPointer<PellarosDisplay> alive(this);
    std::array<QString, Positions> c;
    for (int i = 0; i < Positions; ++i) {
        c[i] = fitted ? fitted->mid(i, 1) : QString();
        letEventsRun();
        if (!alive) {
            return 0;
        }
    }
    for (int i = 0; i < Positions; ++i) {
        const int picture = offset + (fitted ? pictureInSet(i, c, separator) : BlankInSet);
        m_shown[i] = picture;
        m_images[i]->setPicture(&digitPicture(picture));
        m_images[i]->repaint();
        m_strValue = text;
        letEventsRun();
        if (!alive) {
            return 0;
        }
    }
    notifyShownChanged(this, before);
    return 0;
}

void PellarosDisplay::connectNotify(const QMetaMethod& signal)
{
    if (signal == QMetaMethod::fromSignal(&PellarosDisplay::ControlsKeyUp)) {
        setFocusPolicy(Qt::StrongFocus);
    }
    QWidget::connectNotify(signal);
}

void PellarosDisplay::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat()) {
        return;
    }
    emit ControlsKeyUp(keyCode(*event), shiftCode(event->modifiers()));
}

} // namespace KivoSoft
