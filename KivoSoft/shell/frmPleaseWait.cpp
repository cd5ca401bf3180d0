#include "KivoSoft/shell/frmPleaseWait.h"

#include "KivoSoft/shell/ShellPictures.h"
#include "platform/desktop/let_events_run.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QIcon>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace KivoSoft {

frmPleaseWait::frmPleaseWait(QWidget* parent)
    : QWidget(parent, Qt::Dialog), lblMain(new QLabel(this)), Frame1(new QGroupBox(this)),
      lblProgress(new QLabel(Frame1))
{
    setObjectName(QStringLiteral("frmPleaseWait"));
    // No caption text: the box only asks for patience. An empty title would not do: the window
    // system shows the program's name in its place, so the title is one blank.
    setWindowTitle(QStringLiteral(" "));
    // A screen reader names the box by what it asks for, not by the blank title.
    setAccessibleName(QStringLiteral("Please wait"));
    setWindowIcon(QIcon(QPixmap::fromImage(ShellPictures::programIcon())));

    lblMain->setObjectName(QStringLiteral("lblMain"));
    lblMain->setText(QStringLiteral("Please be patient, this may take from 1second to 10 minutes"));
    lblMain->setWordWrap(true);
    lblMain->setAlignment(Qt::AlignCenter);
    QFont emphasis = lblMain->font();
    emphasis.setBold(true);
    lblMain->setFont(emphasis);

    Frame1->setObjectName(QStringLiteral("Frame1"));
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setAlignment(Qt::AlignCenter);
    lblProgress->setWordWrap(true);
    auto* frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addWidget(lblProgress);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblMain);
    layout->addWidget(Frame1);
    // 5055 x 1800 twips.
    setFixedSize(337, 120);
}

void frmPleaseWait::showNow()
{
    show();
    raise();
    // Until the window system has mapped the box, nothing drawn reaches the screen: it would stay
    // an empty frame through the first blocking call. The wait runs no input: the scan's window
    // is busy, and a click would only wait for the scan anyway.
    const QDeadlineTimer deadline(1000);
    QTimer wake;
    wake.start(20);
    const kivo::desktop::EventsRunning running;
    while (windowHandle() && !windowHandle()->isExposed() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    }
    repaint();
}

void frmPleaseWait::showProgress(const QString& text)
{
    lblProgress->setText(text);
    // A click on the busy window behind it may have covered the box; it comes to the front again
    // for each ID, drawn once it is there.
    raise();
    repaint();
}

} // namespace KivoSoft
