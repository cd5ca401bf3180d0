// The small controls of the main window that the control kit has no counterpart for.
//
// A picture or a label that runs a command by a click is made a command of the keyboard and of a
// screen reader too:
//
//     offerAsCommand(*Image2, QStringLiteral("Kivo Interactive Program"));
//
// It then takes the focus by Tab (a click still leaves the focus where it was), Space and Enter
// raise Click as a click does, and a screen reader finds it by that name as a button (a label as a
// link) with a Press action. The action's call gets its answer first; Click follows once it has
// returned, so a modal box the command opens does not hold the screen reader's call.
#pragma once

#include "KivoSoft/controls/PictureElement.h"

#include <QLabel>
#include <QString>

namespace KivoSoft {

// An image or picture box: one of the shell's pictures with an optional single-line border, and
// its clicks and mouse moves as the window's handlers take them (X and Y in twips from the
// control's top left corner; Button and Shift as in the control kit's events).
class ImageControl : public PictureElement {
    Q_OBJECT
    Q_PROPERTY(int BorderStyle READ BorderStyle WRITE setBorderStyle)
public:
    // BorderStyle: 0 none, 1 fixed single.
    enum { BorderNone = 0, BorderFixedSingle = 1 };

    explicit ImageControl(const QImage* picture, QWidget* parent = nullptr);

    int BorderStyle() const { return m_borderStyle; }
    // Repaints when the style changes; any value other than 1 draws no border.
    void setBorderStyle(int style);

signals:
    void Click();
    void MouseMove(short Button, short Shift, float X, float Y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_borderStyle = BorderNone;
};

// A label that reports a left click released over it.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(const QString& text = {}, QWidget* parent = nullptr);

signals:
    void Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_pressed = false;
};

// See the top of this file. `control` is an ImageControl or a ClickLabel.
void offerAsCommand(QWidget& control, const QString& name);

} // namespace KivoSoft
