// Tambel: switches a unit's module outputs on and off in fixed patterns until it is stopped.
#include "Tambel/Form1.h"
#include "platform/desktop/window_rules.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(Tambel::kProgramTitle));
    kivo::desktop::installWindowRules();
    Tambel::Form1 window;
    if (!window.hasLinkObject()) {
        // The user has been told why; the window closed at load.
        return 1;
    }
    window.show();
    return QApplication::exec();
}
