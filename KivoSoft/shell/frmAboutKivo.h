// The about box: the program's name and version, the link library's own version text, and the
// System Info button.
//
//     Forms::aboutKivo().showModal();   // loads the box (asks the link for its version) and
//                                       // returns when the user has closed it
#pragma once

#include "KivoSoft/shell/ShellControls.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QString>

#include <array>

namespace KivoSoft {

class frmAboutKivo : public QDialog {
    Q_OBJECT
public:
    // Where an installation names its system-information program, under HKEY_LOCAL_MACHINE of
    // the program's registry: the program's full path, or the folder that holds it.
    static inline const QString SysInfoPathKey =
        QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
    static inline const QString SysInfoPathValue = QStringLiteral("PATH");
    static inline const QString SysInfoFolderKey =
        QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
    static inline const QString SysInfoFolderValue = QStringLiteral("MSINFO");
    static inline const QString SysInfoProgramName = QStringLiteral("MSINFO32.EXE");
    // Looked for on PATH, in this order, when the registry names no program.
    static const std::array<QString, 4> SysInfoProgramsOnPath;

    static inline const QString LocalMachine = QStringLiteral("HKEY_LOCAL_MACHINE");

    explicit frmAboutKivo(QWidget* parent = nullptr);

    // Form_Load, then the box modal until it is unloaded.
    void showModal();

    // lblDisclaimer shows what WhoAmI on the link object returns (or the call's failure text).
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    // Starts the system-information program: the registry's program path, else MSINFO32.EXE in
    // the registry's folder, else the first known program on PATH. When there is none, or it
    // cannot be started, says "System Information Is Unavailable At This Time".
    void StartSysInfo();

    // Reads the text value `SubKeyRef` ("" for the default value) of key `KeyName` under the root
    // `KeyRoot` ("HKEY_LOCAL_MACHINE") into `KeyVal`, cut at its first NUL. False, with `KeyVal`
    // emptied, when the registry cannot be read, the key or the value is missing, or the value
    // does not fit the 1024-byte buffer the box reads it into.
    static bool GetKeyValue(const QString& KeyRoot, const QString& KeyName,
                            const QString& SubKeyRef, QString& KeyVal);

    ImageControl* picIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDisclaimer;
    std::array<QFrame*, 2> Line1;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;
};

} // namespace KivoSoft
