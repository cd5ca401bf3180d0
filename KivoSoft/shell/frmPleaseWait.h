// The wait box: shown modeless, without an owner, by a window that runs a long scan; that window
// writes its progress into lblProgress and hides the box when done. The box has no logic of its
// own: a key press on it or a click on its frame does nothing.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QWidget>

namespace KivoSoft {

class frmPleaseWait : public QWidget {
    Q_OBJECT
public:
    explicit frmPleaseWait(QWidget* parent = nullptr);

    QLabel* lblMain;
    QGroupBox* Frame1;
    // Empty until the window that shows the box writes into it.
    QLabel* lblProgress;
};

} // namespace KivoSoft
