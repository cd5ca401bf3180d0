#include "KivoSoft/shell/CommParamsForm.h"

#include "KivoSoft/model/INI.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/shell/ShellPictures.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/entry_fields.h"
#include "platform/desktop/window_rules.h"
#include "platform/serial/devices.h"

#include <QAbstractItemView>
#include <QIcon>
#include <QPixmap>

namespace KivoSoft {

namespace {

// A label, text box or button with its name, text and place.
template <class Control>
Control* place(QWidget* parent, const char* name, const QString& text, const QRect& where)
{
    auto* control = new Control(text, parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(where);
    return control;
}

// A text box that only shows its text.
QLineEdit* display(QWidget* parent, const char* name, const QString& text, const QRect& where)
{
    auto* control = place<QLineEdit>(parent, name, text, where);
    control->setReadOnly(true);
    control->setFocusPolicy(Qt::NoFocus);
    return control;
}

constexpr int LabelLeft = 16;
constexpr int LabelWidth = 130;
constexpr int BoxLeft = 150;
constexpr int WideBox = 314;
constexpr int NarrowBox = 80;

} // namespace

CommParamsForm::CommParamsForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CommParamsForm"));
    setWindowTitle(QStringLiteral("COM Port Settings"));
    setWindowIcon(QIcon(QPixmap::fromImage(ShellPictures::programIcon())));
    setModal(true);

    Label3 = place<QLabel>(this, "Label3", QStringLiteral("Communication Parameters"),
                           QRect(LabelLeft, 12, 448, 24));
    QFont heading = Label3->font();
    heading.setBold(true);
    heading.setPixelSize(15);
    Label3->setFont(heading);

    Label2 = place<QLabel>(this, "Label2", QStringLiteral("Current COM Port :"),
                           QRect(LabelLeft, 48, LabelWidth, 24));
    Com = display(this, "Com", QString(), QRect(BoxLeft, 48, WideBox, 24));

    Portlabel = place<QLabel>(this, "Portlabel", QStringLiteral("Port Number :"),
                              QRect(LabelLeft, 80, LabelWidth, 24));
    ComPort = new QComboBox(this);
    ComPort->setObjectName(QStringLiteral("ComPort"));
    // A typed name stays a typed name: Enter saves, it never adds the name to the list, and no
    // completion changes it (device names differ by case alone).
    kivo::desktop::makeEditableList(ComPort);
    ComPort->setGeometry(BoxLeft, 80, WideBox, 26);
    // The stable names under /dev/serial/by-id are long; the open list shows them whole.
    ComPort->view()->setMinimumWidth(WideBox);
    ComPort->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    BaudRateLabel = place<QLabel>(this, "BaudRateLabel", QStringLiteral("BaudRate : "),
                                  QRect(LabelLeft, 116, LabelWidth, 24));
    Baud = display(this, "Baud", QStringLiteral("9600"), QRect(BoxLeft, 116, NarrowBox, 24));
    ParityLabel = place<QLabel>(this, "ParityLabel", QStringLiteral("Parity :"),
                                QRect(LabelLeft, 146, LabelWidth, 24));
    Parity = display(this, "Parity", QStringLiteral("NO"), QRect(BoxLeft, 146, NarrowBox, 24));
    Label1 = place<QLabel>(this, "Label1", QStringLiteral("Data Bits :"),
                           QRect(LabelLeft, 176, LabelWidth, 24));
    Text1 = display(this, "Text1", QStringLiteral("8"), QRect(BoxLeft, 176, NarrowBox, 24));

    OKButton =
        place<QPushButton>(this, "OKButton", QStringLiteral("&Save"), QRect(270, 214, 94, 28));
    OKButton->setDefault(true);
    CancelButton = place<QPushButton>(this, "CancelButton", QStringLiteral("&Cancel"),
                                      QRect(370, 214, 94, 28));

    // Each box is named by the label before it.
    using kivo::desktop::labelField;
    labelField(*Label2, *Com);
    labelField(*Portlabel, *ComPort);
    labelField(*BaudRateLabel, *Baud);
    labelField(*ParityLabel, *Parity);
    labelField(*Label1, *Text1);

    connect(OKButton, &QPushButton::clicked, this, &CommParamsForm::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &CommParamsForm::CancelButton_Click);

    // 7200 x 3855 twips.
    setFixedSize(480, 257);
}

void CommParamsForm::showModal()
{
    Form_Load();
    exec();
}

void CommParamsForm::Form_Load()
{
    Com->setText(KivoGlobals::DefaultComPort);
    ComPort->clear();
    for (const std::string& device :
         kivo::serial::presentDevices(m_deviceFolder.toStdString(), m_systemFolder.toStdString())) {
        ComPort->addItem(QString::fromStdString(device));
    }
    ComPort->setEditText(KivoGlobals::DefaultComPort);
    ComPort->setFocus();
}

void CommParamsForm::OKButton_Click()
{
    // The INI file trims a value on reading, so the name in use is the name stored.
    const QString port = ComPort->currentText().trimmed();
    if (port.isEmpty()) {
        kivo::desktop::desktop().msgBox(
            QStringLiteral("Please enter the serial port to use, for example /dev/ttyUSB0."),
            kivo::desktop::vbExclamation + kivo::desktop::vbOKOnly, KivoGlobals::ProgramTitle);
        ComPort->setFocus();
        return;
    }
    KivoGlobals::DefaultComPort = port;
    // A failed write has shown its own message; the port is still the one in use.
    INI::WriteIniValue(QStringLiteral("PARAMS"), QStringLiteral("port"), port,
                       KivoGlobals::GuiIniPath);
    Com->setText(port);
    accept();
}

void CommParamsForm::CancelButton_Click()
{
    reject();
}

} // namespace KivoSoft
