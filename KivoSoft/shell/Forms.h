// The one instance of each of the shell's windows, created on first use and kept until the
// program ends. A window that is unloaded is hidden and loaded again when next shown, so no
// window is deleted while one of its handlers may still run.
//
//     Forms::commParamsForm().showModal();   // the monitor's and configuration window's port
//                                            // button; then read KivoGlobals::DefaultComPort
//     frmPleaseWait& wait = Forms::pleaseWait();
//     wait.show();
//     wait.lblProgress->setText(QStringLiteral("Unit 7"));
//     wait.hide();
//     Forms::mainForm().show();              // a window that closes shows the main window again
//
// The monitor window and the configuration window are built on top of the shell, so the program
// installs how each one's instance is reached; every window then finds them here:
//
//     Forms::setMonitorFormInstance([] { return &monitorFormInstance(); });
//     if (QWidget* config = Forms::supplyConfig()) { hide(); config->show(); }
#pragma once

#include <functional>

class QWidget;

namespace KivoSoft {

class MainForm;
class CommParamsForm;
class frmAboutKivo;
class frmPleaseWait;

namespace Forms {

MainForm& mainForm();
CommParamsForm& commParamsForm();
frmAboutKivo& aboutKivo();
frmPleaseWait& pleaseWait();

// The monitor and configuration windows' one instance each, or nullptr while the program has
// installed none (the commands that lead to them then do nothing).
using WindowInstance = std::function<QWidget*()>;
void setMonitorFormInstance(WindowInstance instance);
void setSupplyConfigInstance(WindowInstance instance);
QWidget* monitorForm();
QWidget* supplyConfig();

// Deletes every instance. The program calls it once its event loop has returned; tests call it
// after each case. A QApplication must still exist.
void deleteAll();

} // namespace Forms

} // namespace KivoSoft
