// Kivo: monitors and configures the power-supply units on the serial line. It takes no
// arguments.
#include "KivoSoft/config/SupplyConfig.h"
#include "KivoSoft/model/UnitWindows.h"
#include "KivoSoft/monitor/MonitorForm.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoSoft/shell/MainForm.h"
#include "platform/desktop/window_rules.h"

#include <QApplication>

namespace {

// What a unit read writes into the windows: the configuration side goes to the configuration
// window while its own read runs, the monitor side to the monitor window.
class ProgramWindows final : public KivoSoft::ConfigUnitWindows {
public:
    void monitorUnitDoesNotRespond(int heightTwips, int widthTwips, const QString& caption) override
    {
        KivoSoft::monitorFormInstance().monitorUnitDoesNotRespond(heightTwips, widthTwips, caption);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kivo"));
    kivo::desktop::installWindowRules();

    using KivoSoft::MainForm;
    MainForm& window = KivoSoft::Forms::mainForm();
    KivoSoft::Forms::setMonitorFormInstance([] { return &KivoSoft::monitorFormInstance(); });
    KivoSoft::Forms::setSupplyConfigInstance([] { return &KivoSoft::supplyConfigInstance(); });
    ProgramWindows windows;
    const KivoSoft::ScopedUnitWindows installedWindows(windows);
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
    KivoSoft::deleteMonitorForm();
    KivoSoft::Forms::deleteAll();
    return status;
}
