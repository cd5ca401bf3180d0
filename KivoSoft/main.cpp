// Kivo: monitors and configures the power-supply units on the serial line. It takes no
// arguments.
#include "KivoSoft/shell/Forms.h"
#include "KivoSoft/shell/MainForm.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kivo"));

    using KivoSoft::MainForm;
    MainForm& window = KivoSoft::Forms::mainForm();
    // The monitor window and the configuration window install their instances here, with
    // Forms::setMonitorFormInstance() and Forms::setSupplyConfigInstance(), once they exist.
    int status = 0;
    switch (window.Form_Load()) {
    case MainForm::Loaded::Yes:
        window.show();
        status = QApplication::exec();
        break;
    case MainForm::Loaded::AnotherInstance:
        break;
    case MainForm::Loaded::StartupFailed:
        status = 1;
        break;
    }
    KivoSoft::Forms::deleteAll();
    return status;
}
