// A push button that elides the middle of a text too long for it.
#pragma once

#include <QPushButton>
#include <QString>

namespace KivoSoft {

// A button whose text can be longer than the button is wide (the port button names a device
// path): it draws the middle elided, so the device's own name at the end stays in view, and
// keeps its whole text.
class ElidingButton final : public QPushButton {
public:
    using QPushButton::QPushButton;
    // The text as drawn.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace KivoSoft
