// PellarosDisplay: a five-position readout drawn with dot-matrix digit pictures.
//
// The monitor window shows a value with TextValue() and reads the text last drawn from strValue:
//
//     display->TextValue(2, "12.35");   // or QMetaObject::invokeMethod(display, "TextValue",
//                                       //        Q_RETURN_ARG(int, r), Q_ARG(short, 2), ...)
//
// The separator drawn is kivo::basic::programDecimalSeparator. Style 2 draws black dots on
// olive, every other style green dots on black. A new display shows five olive blanks.
//
// A text of up to five characters is padded with zeros on the left; leading zeros are drawn
// blank, except the zero in front of the separator and the right-most one ("0.25" shows blank,
// 0, separator, 2, 5). A longer text loses decimals from the right until it fits, never integer
// digits ("100.25" shows 100.2); when its integer part alone is longer than five, every position
// is blank. A character that is neither a digit nor the separator (a minus sign, a space, a
// letter, another separator) is drawn blank, as is every position of an empty text.
//
// TextValue() lets the event loop run after taking each of the five characters and after drawing
// each position, so a timer or click may call it again on the same display in the middle of a
// call; each call draws with its own characters, and strValue always holds the text of the call
// that drew last.
//
// A screen reader finds the display under the name its window gives it, followed by the text it
// shows ("Module 1 voltmeter: 12.00"); that text (shownText()) is its value and its text too. It is
// no input: it takes the keyboard focus only once a window listens to ControlsKeyUp, the one thing
// it offers there.
#pragma once

#include "KivoSoft/controls/PictureElement.h"

#include <QString>
#include <QWidget>

#include <array>

namespace KivoSoft {

class PellarosDisplay : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("TextValue", "TextValue, use format ##.##")
    Q_PROPERTY(QString strValue READ strValue WRITE setStrValue)
    Q_PROPERTY(short intDigitsType READ intDigitsType WRITE setIntDigitsType)
public:
    static constexpr int Positions = 5;

    explicit PellarosDisplay(QWidget* parent = nullptr);

    // Stores DigitsType in intDigitsType and draws TextTodisplay as described above; returns 0.
    Q_INVOKABLE int TextValue(short DigitsType, const QString& TextTodisplay);

    // The text last drawn; empty at creation. Writing it changes no picture.
    QString strValue() const { return m_strValue; }
    void setStrValue(const QString& value) { m_strValue = value; }

    // The style passed to the last TextValue() call, unchanged; 0 at creation. Writing it changes
    // no picture.
    short intDigitsType() const { return m_intDigitsType; }
    void setIntDigitsType(short value) { m_intDigitsType = value; }

    // The picture `position` (1..5, left to right) shows: 1..24 of the digit list, or 0 for the
    // olive blank of a new display.
    int pictureAt(int position) const;
    // What the five positions show, as a reader sees it: digits and the separator, without the
    // blank positions ("0.25", "12.00"; "" while every position is blank).
    QString shownText() const;
    PictureElement* Image1(int position) const;
    PictureElement* Picture1() const { return m_panel; }

    QSize sizeHint() const override;

signals:
    // A key released while the display itself has the keyboard focus: the key code of the key
    // (letters and digits as their upper-case character codes) and the shift state (1 Shift,
    // 2 Ctrl, 4 Alt).
    void ControlsKeyUp(short KeyCode, short Shift);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void connectNotify(const QMetaMethod& signal) override;

private:
    PictureElement* m_panel;
    std::array<PictureElement*, Positions> m_images{};
    std::array<int, Positions> m_shown{};
    QString m_strValue;
    short m_intDigitsType = 0;
};

} // namespace KivoSoft
