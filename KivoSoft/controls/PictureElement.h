// A picture element: shows one shared picture stretched to its own size, and reports clicks.
//
// It is the `Image1` of the indicators and the digit positions and panel of the display. The
// picture is not owned: the controls point it at the pictures that all instances share.
#pragma once

#include <QImage>
#include <QWidget>

namespace KivoSoft {

class PictureElement : public QWidget {
    Q_OBJECT
public:
    explicit PictureElement(QWidget* parent = nullptr);

    // Shows `picture` (which must outlive the element) from the next paint on; nullptr shows
    // nothing. Does not repaint by itself.
    void setPicture(const QImage* picture);
    const QImage* picture() const { return m_picture; }

    // Draws a focus frame over the picture while on: the control it belongs to has the keyboard
    // focus. Repaints.
    void setFocusFrame(bool on);
    bool focusFrame() const { return m_focusFrame; }

signals:
    // A left-button press and release over the element. The second press of a double click is no
    // click of its own.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    const QImage* m_picture = nullptr;
    bool m_pressed = false;
    bool m_focusFrame = false;
};

} // namespace KivoSoft
