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
#pragma once

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

// Deletes every instance. The program calls it once its event loop has returned; tests call it
// after each case. A QApplication must still exist.
void deleteAll();

} // namespace Forms

} // namespace KivoSoft
