#include "KivoSoft/shell/frmAboutKivo.h"

#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/shell/ShellPictures.h"
#include "platform/automation/registry.h"
#include "platform/desktop/desktop.h"

#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QStandardPaths>

#include <string>

namespace KivoSoft {

namespace {

// The registry reads its value into a buffer of this many bytes, the terminating NUL included.
constexpr std::size_t ValueBufferSize = 1024;

} // namespace

const std::array<QString, 4> frmAboutKivo::SysInfoProgramsOnPath{
    QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
    QStringLiteral("gnome-system-monitor")};

frmAboutKivo::frmAboutKivo(QWidget* parent)
    : QDialog(parent), picIcon(new ImageControl(&ShellPictures::programIcon(), this)),
      lblTitle(new QLabel(this)), lblVersion(new QLabel(this)),
      lblDisclaimer(new QLabel(this)), Line1{new QFrame(this), new QFrame(this)},
      cmdOK(new QPushButton(this)), cmdSysInfo(new QPushButton(this))
{
    setObjectName(QStringLiteral("frmAboutKivo"));
    setWindowTitle(QStringLiteral("About Kivo Software"));
    setWindowIcon(QIcon(QPixmap::fromImage(ShellPictures::programIcon())));
    setModal(true);

    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(QRect(QPoint(16, 16), ShellPictures::ProgramIconSize));

    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setText(QStringLiteral("Kivo Software"));
    QFont titleFont = lblTitle->font();
    titleFont.setPixelSize(20);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblTitle->setGeometry(84, 16, 290, 28);

    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setText(QStringLiteral("Version 2.01"));
    lblVersion->setGeometry(84, 48, 290, 20);

    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setText(QStringLiteral("KivoX.dll: Version2.01"));
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDisclaimer->setGeometry(84, 80, 290, 60);

    // An etched rule: a dark line with a light one just below it.
    for (std::size_t i = 0; i < Line1.size(); ++i) {
        QFrame* line = Line1[i];
        line->setObjectName(QStringLiteral("Line1"));
        line->setProperty("Index", static_cast<int>(i));
        line->setFrameShape(QFrame::NoFrame);
        line->setAutoFillBackground(true);
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, i == 0 ? QColor(128, 128, 128) : QColor(255, 255, 255));
        line->setPalette(palette);
        line->setGeometry(16, 150 + static_cast<int>(i), 358, 1);
    }

    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setText(QStringLiteral("OK"));
    cmdOK->setDefault(true);
    cmdOK->setGeometry(262, 166, 112, 28);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setText(QStringLiteral("&System Info..."));
    cmdSysInfo->setGeometry(262, 200, 112, 28);

    connect(cmdOK, &QPushButton::clicked, this, &frmAboutKivo::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAboutKivo::cmdSysInfo_Click);

    // 5850 x 3690 twips.
    setFixedSize(390, 246);
}

void frmAboutKivo::showModal()
{
    Form_Load();
    exec();
}

void frmAboutKivo::Form_Load()
{
    // WhoAmI does not touch the serial port, so the text is there with no unit connected.
    lblDisclaimer->setText(linkStatus(kivo::automation::call(KivoGlobals::DeviceLink, "WhoAmI")));
}

void frmAboutKivo::cmdOK_Click()
{
    accept();
}

void frmAboutKivo::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAboutKivo::StartSysInfo()
{
    using kivo::desktop::desktop;
    const auto unavailable = [] {
        desktop().msgBox(QStringLiteral("System Information Is Unavailable At This Time"),
                         kivo::desktop::vbOKOnly, KivoGlobals::ProgramTitle);
    };
    const auto start = [&unavailable](const QString& program) {
        if (!desktop().startProgram(program)) {
            unavailable();
        }
    };

    QString path;
    // A program the registry names is started as named, without looking for its file first.
    if (GetKeyValue(LocalMachine, SysInfoPathKey, SysInfoPathValue, path)) {
        start(path);
        return;
    }
    QString folder;
    if (GetKeyValue(LocalMachine, SysInfoFolderKey, SysInfoFolderValue, folder)) {
        const QString program = folder + u'/' + SysInfoProgramName;
        if (QFileInfo::exists(program)) {
            start(program);
            return;
        }
    }
    for (const QString& name : SysInfoProgramsOnPath) {
        const QString program = QStandardPaths::findExecutable(name);
        if (!program.isEmpty()) {
            start(program);
            return;
        }
    }
    unavailable();
}

bool frmAboutKivo::GetKeyValue(const QString& KeyRoot, const QString& KeyName,
                               const QString& SubKeyRef, QString& KeyVal)
{
    KeyVal.clear();
    kivo::automation::Registry registry;
    std::string why;
    if (kivo::automation::failed(kivo::automation::RegistryFile().read(registry, &why))) {
        return false;
    }
    const std::string key = (KeyRoot + u'\\' + KeyName).toStdString();
    const std::optional<std::string> value = registry.value(key, SubKeyRef.toStdString());
    if (!value || value->size() >= ValueBufferSize) {
        return false;
    }
    const std::string text = value->substr(0, value->find('\0'));
    KeyVal = QString::fromStdString(text);
    return true;
}

} // namespace KivoSoft
