#include "KivoSoft/shell/CommParamsForm.h"
#include "KivoSoft/shell/frmAboutKivo.h"
#include "KivoSoft/shell/frmPleaseWait.h"
#include "KivoSoft/shell/tests/shell_fixture.h"
#include "KivoX/kivo.h"
#include "platform/automation/registry.h"
#include "platform/profile/profile.h"

#include <QTest>
#include <QWindow>

#include <optional>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::desktop::DesktopCall;

namespace {

// ---- Port dialog
// --------------------------------------------------------------------------------

class PortDialog : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("dev/serial/by-id")));
        dialog.setDeviceFolders(path("dev"), path("sys"));
        writeBytes(path("KivoGui.ini"), Ini);
        KivoGlobals::DefaultComPort = QStringLiteral("/dev/ttyS0");
    }

    // The port as the file holds it now.
    std::string storedPort() const
    {
        return kivo::profile::getString("PARAMS", "port", "(none)",
                                        path("KivoGui.ini").toStdString(), 255);
    }

    // Opens the dialog as the windows do, lets `act` work it, and returns once it is unloaded.
    void openAndDo(std::function<void(CommParamsForm&)> act)
    {
        whenModalShows([this, act](QWidget* modal) {
            ASSERT_EQ(modal, &dialog);
            act(dialog);
        });
        dialog.showModal();
    }

    static inline const QByteArray Ini = "; the program's own settings\r\n"
                                         "[PARAMS]\r\n"
                                         "port=/dev/ttyS0\r\n"
                                         "\r\n"
                                         "[DEV]\r\n"
                                         "Test=N\r\n";
    CommParamsForm dialog;
};

TEST_F(PortDialog, ControlsAndTexts)
{
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("COM Port Settings"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("CommParamsForm"));
    struct Text {
        const char* name;
        QString text;
    };
    const Text labels[] = {
        {"Label3", "Communication Parameters"},
        {"Label2", "Current COM Port :"},
        {"Portlabel", "Port Number :"},
        {"BaudRateLabel", "BaudRate : "},
        {"ParityLabel", "Parity :"},
        {"Label1", "Data Bits :"},
    };
    for (const Text& t : labels) {
        SCOPED_TRACE(t.name);
        auto* control = dialog.findChild<QLabel*>(QString::fromLatin1(t.name));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->text(), t.text);
    }
    const Text boxes[] = {{"Baud", "9600"}, {"Parity", "NO"}, {"Text1", "8"}, {"Com", ""}};
    for (const Text& t : boxes) {
        SCOPED_TRACE(t.name);
        auto* control = dialog.findChild<QLineEdit*>(QString::fromLatin1(t.name));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->text(), t.text);
        EXPECT_TRUE(control->isReadOnly());
    }
    EXPECT_TRUE(dialog.ComPort->isEditable());
    EXPECT_EQ(dialog.OKButton->text(), QStringLiteral("&Save"));
    EXPECT_EQ(dialog.CancelButton->text(), QStringLiteral("&Cancel"));
}

TEST_F(PortDialog, ListsTheSerialDevicesPresentAndShowsThePortInUse)
{
    for (const char* name :
         {"ttyS10", "ttyS2", "ttyS0", "ttyUSB0", "ttyACM1", "tty1", "null", "ttyUSB"}) {
        writeBytes(path("dev/") + QString::fromLatin1(name), {});
    }
    ASSERT_TRUE(QFile::link(QStringLiteral("../../ttyUSB0"),
                            path("dev/serial/by-id/usb-Adapter_A1-if00-port0")));
    ASSERT_TRUE(QFile::link(QStringLiteral("../../ttyUSB9"), path("dev/serial/by-id/usb-Gone")));
    KivoGlobals::DefaultComPort = QStringLiteral("/dev/pts/7");

    dialog.Form_Load();
    QStringList listed;
    for (int i = 0; i < dialog.ComPort->count(); ++i) {
        listed << dialog.ComPort->itemText(i);
    }
    const QString dev = path("dev/");
    EXPECT_EQ(listed,
              QStringList({dev + "ttyS0", dev + "ttyS2", dev + "ttyS10", dev + "ttyUSB0",
                           dev + "ttyACM1", dev + "serial/by-id/usb-Adapter_A1-if00-port0"}));
    EXPECT_EQ(dialog.Com->text(), QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(dialog.ComPort->currentText(), QStringLiteral("/dev/pts/7"));

    // Loaded again, the list is built afresh.
    dialog.Form_Load();
    EXPECT_EQ(dialog.ComPort->count(), listed.size());
}

TEST_F(PortDialog, SaveTakesAndStoresTheNameAsTypedWithoutItsBlanks)
{
    struct Case {
        QString typed;
        QString port;
    };
    const Case cases[] = {
        {"/dev/ttyUSB7", "/dev/ttyUSB7"},
        {"  /dev/pts/3 \t", "/dev/pts/3"},
        {"N/A", "N/A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        openAndDo([&](CommParamsForm& d) {
            d.ComPort->setEditText(c.typed);
            QTest::mouseClick(d.OKButton, Qt::LeftButton);
        });
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(KivoGlobals::DefaultComPort, c.port);
        EXPECT_EQ(dialog.Com->text(), c.port);
        EXPECT_EQ(storedPort(), c.port.toStdString());
        EXPECT_TRUE(messages().empty());
    }
    // The rest of the file is as it was, line endings included.
    EXPECT_EQ(readBytes(path("KivoGui.ini")), QByteArray(Ini).replace("/dev/ttyS0", "N/A"));
}

// Enter is Save: the name is kept as the user sees it, also when it is not in the list, and the
// list never rewrites what was typed (device names differ by case alone).
TEST_F(PortDialog, EnterSavesTheTextAsShownAndTypingIsNeverCompleted)
{
    for (const char* name : {"ttyS0", "ttyUSB0"}) {
        writeBytes(path("dev/") + QString::fromLatin1(name), {});
    }
    const QString dev = path("dev/");
    struct Case {
        const char* what;
        QString stored; // DefaultComPort when the dialog opens
        std::optional<QString> typed;
        QString saved;
    };
    const Case cases[] = {
        {"not in the list, untouched", "N/A", std::nullopt, "N/A"},
        {"simulator link, untouched", "build-run/bin/kivo-unitsim.tty", std::nullopt,
         "build-run/bin/kivo-unitsim.tty"},
        {"typed, not in the list", dev + "ttyS0", "build-run/bin/kivo-unitsim.tty",
         "build-run/bin/kivo-unitsim.tty"},
        {"typed, an entry in other letters", "N/A", dev.toUpper() + "TTYS0",
         dev.toUpper() + "TTYS0"},
        {"typed, the start of an entry", "N/A", dev + "ttyU", dev + "ttyU"},
        {"typed, the start of an entry in other letters", "N/A", dev.toUpper() + "TTYU",
         dev.toUpper() + "TTYU"},
        {"an entry typed whole", "N/A", dev + "ttyUSB0", dev + "ttyUSB0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KivoGlobals::DefaultComPort = c.stored;
        std::optional<QString> shown;
        openAndDo([&](CommParamsForm& d) {
            QLineEdit* edit = d.ComPort->lineEdit();
            if (c.typed) {
                edit->selectAll();
                QTest::keyClicks(edit, *c.typed);
            }
            shown = edit->text();
            QTest::keyClick(edit, Qt::Key_Return);
            if (d.isVisible()) {
                // A first Enter that did not save must not have changed the text either.
                EXPECT_EQ(edit->text(), *shown);
                d.CancelButton->click();
            }
        });
        EXPECT_EQ(shown, std::optional(c.saved));
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(KivoGlobals::DefaultComPort, c.saved);
        EXPECT_EQ(storedPort(), c.saved.toStdString());
    }
}

// The dialog does not check a name: one that is no terminal is stored, and the link itself
// refuses it with its own failure text when a window opens the port.
TEST_F(PortDialog, ANameThatIsNoTerminalIsStoredAndTheLinkRefusesIt)
{
    registerLinkLibrary();
    KivoGlobals::DeviceLink = kivo::automation::createObject(KivoGlobals::DeviceLinkProgId);
    ASSERT_TRUE(KivoGlobals::DeviceLink);
    writeBytes(path("not-a-terminal"), "plain file\n");

    openAndDo([this](CommParamsForm& d) {
        d.ComPort->setEditText(path("not-a-terminal"));
        d.OKButton->click();
    });
    EXPECT_EQ(KivoGlobals::DefaultComPort, path("not-a-terminal"));
    EXPECT_EQ(storedPort(), path("not-a-terminal").toStdString());
    EXPECT_TRUE(messages().empty());

    const QString opened = linkStatus(kivo::automation::call(
        KivoGlobals::DeviceLink, "OpenPort", KivoGlobals::DefaultComPort.toStdString()));
    EXPECT_EQ(opened, QStringLiteral("CMD_ERROR"));
    EXPECT_EQ(readBytes(path("not-a-terminal")), QByteArray("plain file\n"));
}

TEST_F(PortDialog, NoPortStoredOpensAndSavesNotAvailable)
{
    writeBytes(path("KivoGui.ini"), "[PARAMS]\n");
    KivoGlobals::DefaultComPort = QStringLiteral("N/A");
    openAndDo([](CommParamsForm& d) {
        EXPECT_EQ(d.Com->text(), QStringLiteral("N/A"));
        EXPECT_EQ(d.ComPort->currentText(), QStringLiteral("N/A"));
        d.OKButton->click();
    });
    EXPECT_EQ(KivoGlobals::DefaultComPort, QStringLiteral("N/A"));
    EXPECT_EQ(storedPort(), "N/A");
}

TEST_F(PortDialog, AnEmptyNameIsRefusedAndTheDialogStaysOpen)
{
    std::optional<bool> stillOpen;
    openAndDo([&](CommParamsForm& d) {
        d.ComPort->setEditText(QStringLiteral("   "));
        d.OKButton->click();
        stillOpen = d.isVisible();
        d.CancelButton->click();
    });
    EXPECT_EQ(stillOpen, std::optional(true));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].style, kivo::desktop::vbExclamation + kivo::desktop::vbOKOnly);
    EXPECT_EQ(KivoGlobals::DefaultComPort, QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(readBytes(path("KivoGui.ini")), Ini);
}

TEST_F(PortDialog, CancelLeavesThePortAndTheFileByteForByte)
{
    for (const bool byEscape : {false, true}) {
        SCOPED_TRACE(byEscape ? "Escape" : "Cancel");
        openAndDo([byEscape](CommParamsForm& d) {
            d.ComPort->setEditText(QStringLiteral("/dev/ttyUSB5"));
            if (byEscape) {
                QTest::keyClick(&d, Qt::Key_Escape);
            } else {
                QTest::mouseClick(d.CancelButton, Qt::LeftButton);
            }
        });
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(KivoGlobals::DefaultComPort, QStringLiteral("/dev/ttyS0"));
        EXPECT_EQ(dialog.Com->text(), QStringLiteral("/dev/ttyS0"));
        EXPECT_EQ(readBytes(path("KivoGui.ini")), Ini);
        EXPECT_TRUE(desktop.calls().empty());
    }
}

TEST_F(PortDialog, AnUnwritableFileIsReportedAndThePortStillTaken)
{
    // A file inside a plain file: no process, root included, can create it.
    writeBytes(path("plain"), "x");
    KivoGlobals::GuiIniPath = path("plain/KivoGui.ini");
    openAndDo([](CommParamsForm& d) {
        d.ComPort->setEditText(QStringLiteral("/dev/ttyUSB2"));
        d.OKButton->click();
    });
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(KivoGlobals::DefaultComPort, QStringLiteral("/dev/ttyUSB2"));
    EXPECT_EQ(dialog.Com->text(), QStringLiteral("/dev/ttyUSB2"));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text,
              QStringLiteral("Error: Writing to INI file failed! Check the file path!") +
                  path("plain/KivoGui.ini"));
    EXPECT_EQ(messages()[0].title, QStringLiteral("Error"));
    EXPECT_EQ(messages()[0].style, kivo::desktop::vbCritical + kivo::desktop::vbOKOnly);
}

// Enter presses the button that has the focus: Cancel never saves, and the default button, Save,
// takes Enter only from the port box.
TEST_F(PortDialog, EnterPressesTheFocusedButtonSoCancelNeverSaves)
{
    struct Case {
        const char* focus;
        std::function<QWidget*(CommParamsForm&)> control;
        bool saved;
    };
    const Case cases[] = {
        {"Cancel", [](CommParamsForm& d) -> QWidget* { return d.CancelButton; }, false},
        {"Save", [](CommParamsForm& d) -> QWidget* { return d.OKButton; }, true},
        {"the port box", [](CommParamsForm& d) -> QWidget* { return d.ComPort->lineEdit(); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.focus);
        KivoGlobals::DefaultComPort = QStringLiteral("/dev/ttyS0");
        writeBytes(path("KivoGui.ini"), Ini);
        openAndDo([&](CommParamsForm& d) {
            d.ComPort->setEditText(QStringLiteral("/dev/ttyUSB7"));
            QWidget* control = c.control(d);
            control->setFocus();
            QTest::keyClick(control, Qt::Key_Return);
            if (d.isVisible()) {
                d.reject();
            }
        });
        EXPECT_EQ(dialog.result(), c.saved ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(storedPort(), c.saved ? "/dev/ttyUSB7" : "/dev/ttyS0");
    }
}

// Every box is named by its label, the port list by the port it shows and labelled by its label;
// Tab goes down the dialog, then along its buttons.
TEST_F(PortDialog, EachBoxIsNamedByItsLabelAndTabFollowsTheLayout)
{
    // Showing no port yet, the list is named by its label; loaded, by the port in use.
    EXPECT_EQ(accessibleName(dialog.ComPort), "Port Number :");
    dialog.Form_Load();
    EXPECT_EQ(accessibleName(dialog.ComPort), "/dev/ttyS0");
    EXPECT_EQ(kivo::testsupport::comboBoxFaults(&dialog), std::vector<std::string>{});
    const std::pair<QWidget*, const char*> named[] = {
        {dialog.Com, "Current COM Port :"}, {dialog.ComPort->lineEdit(), "Port Number :"},
        {dialog.Baud, "BaudRate : "},       {dialog.Parity, "Parity :"},
        {dialog.Text1, "Data Bits :"},
    };
    for (const auto& [control, name] : named) {
        SCOPED_TRACE(name);
        EXPECT_EQ(accessibleName(control), name);
    }
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(tabWalk(dialog.ComPort, 3),
              (std::vector<QWidget*>{dialog.ComPort, dialog.OKButton, dialog.CancelButton,
                                     dialog.ComPort}));
    dialog.hide();
}

// ---- Wait box
// -----------------------------------------------------------------------------------

TEST_F(ShellTest, WaitBoxTexts)
{
    frmPleaseWait& wait = Forms::pleaseWait();
    EXPECT_EQ(&wait, &Forms::pleaseWait());
    EXPECT_EQ(wait.objectName(), QStringLiteral("frmPleaseWait"));
    // No caption text. The window system puts the program's name in place of an empty title,
    // so the caption is a blank, also once the box is on screen.
    EXPECT_FALSE(wait.windowTitle().isEmpty());
    EXPECT_TRUE(wait.windowTitle().trimmed().isEmpty());
    wait.show();
    ASSERT_NE(wait.windowHandle(), nullptr);
    EXPECT_FALSE(wait.windowHandle()->title().isEmpty());
    EXPECT_TRUE(wait.windowHandle()->title().trimmed().isEmpty());
    wait.hide();
    EXPECT_EQ(wait.lblMain->objectName(), QStringLiteral("lblMain"));
    EXPECT_EQ(wait.lblMain->text(),
              QStringLiteral("Please be patient, this may take from 1second to 10 minutes"));
    EXPECT_EQ(wait.Frame1->objectName(), QStringLiteral("Frame1"));
    EXPECT_EQ(wait.lblProgress->objectName(), QStringLiteral("lblProgress"));
    EXPECT_EQ(wait.lblProgress->parentWidget(), wait.Frame1);
    EXPECT_TRUE(wait.lblProgress->text().isEmpty());
    EXPECT_FALSE(wait.isModal());
    // A screen reader names the box by what it asks, not by the blank caption.
    EXPECT_EQ(accessibleName(&wait), "Please wait");
}

// ---- About box
// ----------------------------------------------------------------------------------

class AboutBox : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        savedPath = qgetenv("PATH");
        qputenv("PATH", path("bin").toUtf8());
        ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("bin")));
    }

    void TearDown() override
    {
        qputenv("PATH", savedPath);
        ShellTest::TearDown();
    }

    void setRegistryValue(const QString& key, const QString& name, const std::string& value)
    {
        std::string why;
        const auto hr = kivo::automation::RegistryFile().update(
            [&](kivo::automation::Registry& registry, std::string*) {
                registry.setValue(("HKEY_LOCAL_MACHINE\\" + key).toStdString(), name.toStdString(),
                                  value);
                return kivo::automation::S_OK;
            },
            &why);
        ASSERT_EQ(hr, kivo::automation::S_OK) << why;
    }

    void makeExecutable(const QString& file)
    {
        writeBytes(file, "#!/bin/sh\n");
        ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner));
    }

    QByteArray savedPath;
    frmAboutKivo box;
};

TEST_F(AboutBox, Texts)
{
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Kivo Software"));
    EXPECT_EQ(box.lblTitle->text(), QStringLiteral("Kivo Software"));
    EXPECT_EQ(box.lblVersion->text(), QStringLiteral("Version 2.01"));
    EXPECT_EQ(box.lblDisclaimer->text(), QStringLiteral("KivoX.dll: Version2.01"));
    EXPECT_EQ(box.cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(box.cmdSysInfo->text(), QStringLiteral("&System Info..."));
    EXPECT_EQ(box.findChildren<QFrame*>(QStringLiteral("Line1")).size(), 2);
    EXPECT_EQ(box.Line1[1]->property("Index"), QVariant(1));
    EXPECT_EQ(box.picIcon->objectName(), QStringLiteral("picIcon"));
}

// Enter presses the button that has the focus: System Info does not close the box, OK does.
TEST_F(AboutBox, EnterPressesTheFocusedButton)
{
    std::optional<bool> openAfterSysInfo;
    std::vector<QWidget*> tabs;
    whenModalShows([&](QWidget* modal) {
        ASSERT_EQ(modal, &box);
        tabs = tabWalk(box.cmdOK, 2);
        box.cmdSysInfo->setFocus();
        QTest::keyClick(box.cmdSysInfo, Qt::Key_Return);
        openAfterSysInfo = box.isVisible();
        box.cmdOK->setFocus();
        QTest::keyClick(box.cmdOK, Qt::Key_Return);
    });
    box.showModal();
    EXPECT_EQ(openAfterSysInfo, std::optional(true));
    // Nothing to start on this PATH: System Info said so.
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, QStringLiteral("System Information Is Unavailable At This Time"));
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_EQ(tabs, (std::vector<QWidget*>{box.cmdOK, box.cmdSysInfo, box.cmdOK}));
}

TEST_F(AboutBox, TheLineFromARegisteredKivoX)
{
    registerLinkLibrary();
    KivoGlobals::DeviceLink = kivo::automation::createObject(KivoGlobals::DeviceLinkProgId);
    ASSERT_TRUE(KivoGlobals::DeviceLink);

    // No port is open, and no unit is needed.
    box.Form_Load();
    EXPECT_EQ(box.lblDisclaimer->text(), QString::fromStdString(kivox::versionText()));
    EXPECT_EQ(box.lblVersion->text(), QStringLiteral("Version 2.01"));
}

TEST_F(AboutBox, WithoutTheLinkObjectTheLineSaysWhatFailed)
{
    box.Form_Load();
    EXPECT_FALSE(box.lblDisclaimer->text().isEmpty());
    EXPECT_NE(box.lblDisclaimer->text(), QStringLiteral("KivoX.dll: Version2.01"));
}

TEST_F(AboutBox, SystemInfoTable)
{
    const QString unavailable = QStringLiteral("System Information Is Unavailable At This Time");
    const QString folderKey = frmAboutKivo::SysInfoFolderKey;
    const QString pathKey = frmAboutKivo::SysInfoPathKey;
    struct Case {
        const char* what;
        std::function<void()> arrange;
        bool starts;
        // The program started (or tried), or "" for none.
        QString program;
        bool message;
    };
    const QString tools = path("tools");
    const Case cases[] = {
        {"the registry's program path, started without a file check",
         [&] { setRegistryValue(pathKey, "PATH", "/opt/sysinfo/run-me"); }, true,
         "/opt/sysinfo/run-me", false},
        {"the registry's program path that does not start",
         [&] { setRegistryValue(pathKey, "PATH", "/opt/sysinfo/run-me"); }, false,
         "/opt/sysinfo/run-me", true},
        {"the registry's folder holding the program",
         [&] {
             setRegistryValue(folderKey, "MSINFO", tools.toStdString());
             makeExecutable(tools + "/MSINFO32.EXE");
         },
         true, tools + "/MSINFO32.EXE", false},
        {"the registry's folder without the program, none on PATH",
         [&] { setRegistryValue(folderKey, "MSINFO", tools.toStdString()); }, true, "", true},
        {"the registry's folder without the program, one on PATH",
         [&] {
             setRegistryValue(folderKey, "MSINFO", tools.toStdString());
             makeExecutable(path("bin/gnome-system-monitor"));
         },
         true, path("bin/gnome-system-monitor"), false},
        {"nothing registered, the first known program on PATH",
         [&] {
             makeExecutable(path("bin/gnome-system-monitor"));
             makeExecutable(path("bin/hardinfo"));
         },
         true, path("bin/hardinfo"), false},
        {"nothing registered, nothing on PATH", [] {}, true, "", true},
        {"a damaged registry, nothing on PATH",
         [&] { writeBytes(registryPath(), "not a registry\n"); }, true, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(registryPath());
        QDir(tools).removeRecursively();
        QDir(path("bin")).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(tools));
        ASSERT_TRUE(QDir().mkpath(path("bin")));
        c.arrange();
        desktop.clear();
        desktop.queueStartProgramAnswer(c.starts);

        QTest::mouseClick(box.cmdSysInfo, Qt::LeftButton);

        const auto started = desktop.calls(DesktopCall::Kind::StartProgram);
        if (c.program.isEmpty()) {
            EXPECT_TRUE(started.empty());
        } else {
            ASSERT_EQ(started.size(), 1u);
            EXPECT_EQ(started[0].text, c.program);
            EXPECT_TRUE(started[0].arguments.isEmpty());
        }
        if (c.message) {
            ASSERT_EQ(messages().size(), 1u);
            EXPECT_EQ(messages()[0].text, unavailable);
            EXPECT_EQ(messages()[0].style, kivo::desktop::vbOKOnly);
            EXPECT_EQ(messages()[0].title, KivoGlobals::ProgramTitle);
        } else {
            EXPECT_TRUE(messages().empty());
        }
    }
}

TEST_F(AboutBox, RegistryValueReads)
{
    const QString key = QStringLiteral("SOFTWARE\\Kivo Test");
    setRegistryValue(key, "Cut", std::string("before\0after", 12));
    setRegistryValue(key, "Fits", std::string(1023, 'x'));
    setRegistryValue(key, "TooLong", std::string(1024, 'x'));
    setRegistryValue(key, "", "default value");
    struct Case {
        QString name;
        bool found;
        QString value;
    };
    const Case cases[] = {
        {"Cut", true, "before"}, {"fits", true, QString(1023, u'x')},
        {"TooLong", false, ""},  {"", true, "default value"},
        {"Missing", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QString value = QStringLiteral("left over");
        EXPECT_EQ(frmAboutKivo::GetKeyValue(frmAboutKivo::LocalMachine, key, c.name, value),
                  c.found);
        EXPECT_EQ(value, c.value);
    }
    QString value = QStringLiteral("left over");
    EXPECT_FALSE(frmAboutKivo::GetKeyValue(frmAboutKivo::LocalMachine,
                                           QStringLiteral("SOFTWARE\\No Such Key"), "", value));
    EXPECT_TRUE(value.isEmpty());
}

} // namespace
