// The port dialog: the serial port every later unit action opens, stored as [PARAMS] "port" of
// "KivoGui.ini" so that it is also the port at the next start.
//
//     Forms::commParamsForm().showModal();   // loads the dialog, returns once it is unloaded
//     ... KivoGlobals::DefaultComPort now holds the port in use ...
//
// The list offers the serial devices present on the machine; any other name can be typed (the
// simulator's terminal, a name under /dev/serial/by-path). A name is stored without a check that
// it opens: a wrong one fails with the link library's own text when a window opens the port.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

namespace KivoSoft {

class CommParamsForm : public QDialog {
    Q_OBJECT
public:
    explicit CommParamsForm(QWidget* parent = nullptr);

    // Form_Load, then the dialog modal until it is unloaded.
    void showModal();

    // Com and ComPort show DefaultComPort; the list holds the serial devices present.
    void Form_Load();
    // Takes the name in ComPort without its surrounding blanks as DefaultComPort, stores it in
    // "KivoGui.ini" (a failed write has said so; the name is still taken) and unloads. An empty
    // name is refused with a message and the dialog stays open.
    void OKButton_Click();
    // Unloads; nothing changes.
    void CancelButton_Click();

    // Where the list looks for serial devices and their drivers' reports: "/dev" and "/sys"
    // unless a test points them elsewhere.
    void setDeviceFolders(const QString& devFolder, const QString& sysFolder)
    {
        m_deviceFolder = devFolder;
        m_systemFolder = sysFolder;
    }

    QLabel* Label3;
    QLabel* Label2;
    QLineEdit* Com;
    QLabel* Portlabel;
    QComboBox* ComPort;
    QLabel* BaudRateLabel;
    QLineEdit* Baud;
    QLabel* ParityLabel;
    QLineEdit* Parity;
    QLabel* Label1;
    QLineEdit* Text1;
    QPushButton* OKButton;
    QPushButton* CancelButton;

private:
    QString m_deviceFolder = QStringLiteral("/dev");
    QString m_systemFolder = QStringLiteral("/sys");
};

} // namespace KivoSoft
