// Kivo: monitors and configures the power-supply units on the serial line. It takes no
// arguments.
#include "KivoSoft/model/UnitWindows.h"
#include "KivoSoft/monitor/MonitorForm.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoSoft/shell/MainForm.h"

#include <QApplication>

namespace {

// What a unit read writes into the windows, forwarded to the one instance of each. Only the
// monitor side exists so far; the configuration window's side joins it with that window.
class ProgramWindows final : public KivoSoft::UnitWindows {
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

    using KivoSoft::MainForm;
    MainForm& window = KivoSoft::Forms::mainForm();
    // The configuration window installs its instance here with Forms::setSupplyConfigInstance()
    // once it exists.
    KivoSoft::Forms::setMonitorFormInstance([] { return &KivoSoft::monitorFormInstance(); });
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
    KivoSoft::deleteMonitorForm();
    KivoSoft::Forms::deleteAll();
    return status;
}
