// Kivo: monitors and configures the power-supply units on the serial line. It takes no
// arguments.
#include "KivoSoft/config/SupplyConfig.h"
#include "KivoSoft/model/UnitWindows.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoSoft/shell/MainForm.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kivo"));

    using KivoSoft::MainForm;
    MainForm& window = KivoSoft::Forms::mainForm();
    // The monitor window installs its instance here with Forms::setMonitorFormInstance() once it
    // exists.
    KivoSoft::Forms::setSupplyConfigInstance([] { return &KivoSoft::supplyConfigInstance(); });
    // What a unit read writes into the configuration window (loaded, not shown, when needed).
    KivoSoft::ConfigUnitWindows configWindows;
    KivoSoft::ScopedUnitWindows installedWindows(configWindows);
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
    KivoSoft::deleteSupplyConfig();
    KivoSoft::Forms::deleteAll();
    return status;
}
