// The wait box: shown modeless, without an owner, by a window that runs a long scan; that window
// writes its progress into lblProgress and hides the box when done. The box has no logic of its
// own: a key press on it or a click on its frame does nothing.
//
// The scan blocks for seconds in each call on the unit, with no event processed, so the box is
// drawn before every such call, not when events run next:
//
//     wait.showNow();                   // on the screen, drawn
//     wait.showProgress(text);          // the text drawn before the blocking call
//     callLink("GetUnitID", ...);
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QWidget>

namespace KivoSoft {

class frmPleaseWait : public QWidget {
    Q_OBJECT
public:
    explicit frmPleaseWait(QWidget* parent = nullptr);

    // Shows the box and returns once the window system shows it (at most a second), drawn.
    void showNow();
    // Puts `text` into lblProgress and draws the box at once, in front of the other windows.
    void showProgress(const QString& text);

    QLabel* lblMain;
    QGroupBox* Frame1;
    // Empty until the window that shows the box writes into it.
    QLabel* lblProgress;
};

} // namespace KivoSoft
