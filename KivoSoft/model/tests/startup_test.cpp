// The start-up routine on a fixture program folder: a link library that cannot be created is
// reported with the way to register it and ends the program; with a registered stand-in for the
// library, the INI files, paths, settings and the serial values handed to the link.
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/tests/model_fixture.h"
#include "platform/automation/activation.h"
#include "platform/automation/tests/test_support.h"

#include <cstdio>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::desktop::vbCritical;
using kivo::desktop::vbExclamation;

namespace {

class Startup : public ProgramFolderTest {
protected:
    void TearDown() override
    {
        KivoGlobals::DeviceLink.reset();
        ProgramFolderTest::TearDown();
    }

    // The registry file as the object model reads it; the cases write it or register into it.
    void writeRegistry(const QString& text)
    {
        writeText(QString::fromStdString(registry.path()), text);
    }

    kivo::automation::testing::TempRegistry registry;
};

TEST_F(Startup, AnUnregisteredLinkLibraryIsReportedWithHowToRegisterIt)
{
    writeRegistry("KIVO REGISTRY 1\nEND\n");
    EXPECT_FALSE(KivoGlobals::InitializeGlobals());

    EXPECT_FALSE(KivoGlobals::DeviceLink);
    ASSERT_EQ(messages().size(), 1u);
    const auto message = messages()[0];
    EXPECT_EQ(message.title, "Kivo");
    EXPECT_EQ(message.style, vbCritical);
    EXPECT_TRUE(message.text.contains("could not be started")) << message.text.toStdString();
    EXPECT_TRUE(message.text.contains("kivo-regsvr " + folder.path() + "/libKivoX.so"))
        << message.text.toStdString();
}

TEST_F(Startup, AMissingLibraryFileIsReportedTheSameWay)
{
    writeRegistry("KIVO REGISTRY 1\n"
                  "[HKEY_CLASSES_ROOT\\KivoX.Kivo.1\\CLSID]\n"
                  "@=\"{11111111-2222-3333-4444-555555555555}\"\n"
                  "[HKEY_CLASSES_ROOT\\CLSID\\{11111111-2222-3333-4444-555555555555}\\"
                  "InprocServer32]\n"
                  "@=\"" +
                  path("gone/libKivoX.so") +
                  "\"\n"
                  "END\n");
    EXPECT_FALSE(KivoGlobals::InitializeGlobals());
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(messages()[0].text.contains("kivo-regsvr " + folder.path() + "/libKivoX.so"));
}

TEST_F(Startup, ADamagedRegistryIsReportedWithItsLineAndHowToStartAfresh)
{
    writeRegistry("KIVO REGISTRY 1\n[HKEY_CLASSES_ROOT\\Half\n");
    EXPECT_FALSE(KivoGlobals::InitializeGlobals());
    ASSERT_EQ(messages().size(), 1u);
    const QString text = messages()[0].text;
    const QString file = QString::fromStdString(registry.path());
    EXPECT_TRUE(text.contains(file + " is damaged, line 2")) << text.toStdString();
    // Registering again as it stands would be refused: the damaged file goes aside first.
    const QString steps = "    mv " + file + " " + file + ".damaged\n" + "    kivo-regsvr " +
                          folder.path() + "/libKivoX.so";
    EXPECT_TRUE(text.contains(steps)) << text.toStdString();

    // The advice leads somewhere: moved aside and registered anew, the program starts.
    ASSERT_EQ(std::rename(registry.path().c_str(), (registry.path() + ".damaged").c_str()), 0);
    std::string message;
    ASSERT_EQ(kivo::automation::registerServerLibrary(STARTUP_LINK_STUB, false, &message),
              kivo::automation::S_OK)
        << message;
    EXPECT_TRUE(KivoGlobals::InitializeGlobals());
}

class StartupWithLink : public Startup {
protected:
    void SetUp() override
    {
        Startup::SetUp();
        std::string message;
        ASSERT_EQ(kivo::automation::registerServerLibrary(STARTUP_LINK_STUB, false, &message),
                  kivo::automation::S_OK)
            << message;
        KivoGlobals::setClock([] { return QDateTime(QDate(2026, 12, 9), QTime(23, 59, 59)); });
        write("Kivo.ini", "[Serial COM Parameters]\nReadTimeout=2\nRetryCount=5\n"
                          "RTSToggleInterval=10\n");
    }

    // What the link object was handed by SetINIParams: "readTimeout retryCount", or "".
    std::string received() const
    {
        return kivo::automation::call(KivoGlobals::DeviceLink, "Received").status;
    }
};

TEST_F(StartupWithLink, BuildsThePathsReadsTheSettingsAndHandsTheSerialValuesOver)
{
    useLocale(commaLocale);
    KivoGlobals::DecimalSeparator.clear();
    write("KivoGui.ini", "[PARAMS]\nport=/dev/serial/by-id/usb-FTDI_1.2.3-if00\n[DEV]\nTest=Y\n");
    write("Kivo.ini", "[Serial COM Parameters]\nReadTimeout=1.0\nRetryCount=3\n");

    ASSERT_TRUE(KivoGlobals::InitializeGlobals());

    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(received(), "1 3"); // "1.0" is one second, not ten
    EXPECT_EQ(KivoGlobals::DefaultComPort, "/dev/serial/by-id/usb-FTDI_1.2.3-if00");
    EXPECT_TRUE(KivoGlobals::DeveloperMode);
    EXPECT_EQ(KivoGlobals::ScaleIniPath, path("scale.ini"));
    EXPECT_EQ(KivoGlobals::GuiIniPath, path("KivoGui.ini"));
    EXPECT_EQ(KivoGlobals::TooltipsIniPath, path("Tooltips.ini"));
    EXPECT_EQ(KivoGlobals::KivoIniPath, path("Kivo.ini"));
    EXPECT_EQ(KivoGlobals::ErrorLogPath, path("error129.txt"));
    EXPECT_EQ(KivoGlobals::SysColorDesktop, "-2147483647");
    EXPECT_EQ(KivoGlobals::SysColorWindowText, "-2147483640");
    EXPECT_EQ(KivoGlobals::FileDialogMode, "");
    EXPECT_EQ(KivoGlobals::ConfigMode, "");
    EXPECT_EQ(KivoGlobals::DecimalSeparator, ",");
    // One value: the one the five-digit display draws.
    EXPECT_EQ(kivo::basic::programDecimalSeparator, ",");
}

TEST_F(StartupWithLink, PortAndDeveloperSettingOfKivoGuiIni)
{
    struct Case {
        const char* gui; // nullptr: no KivoGui.ini
        const char* port;
        bool developer;
    };
    const Case cases[] = {
        {nullptr, "N/A", false},
        {"[DEV]\nTest=Y\n", "N/A", true},
        {"[PARAMS]\nport=/dev/ttyUSB0\n[DEV]\nTest=y\n", "/dev/ttyUSB0", false},
        {"[PARAMS]\nport=\n[DEV]\nTest=N\n", "N/A", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gui ? c.gui : "no file");
        QFile::remove(path("KivoGui.ini"));
        if (c.gui) {
            write("KivoGui.ini", c.gui);
        }
        ASSERT_TRUE(KivoGlobals::InitializeGlobals());
        EXPECT_EQ(KivoGlobals::DefaultComPort, c.port);
        EXPECT_EQ(KivoGlobals::DeveloperMode, c.developer);
        EXPECT_EQ(received(), "2 5");
    }
}

TEST_F(StartupWithLink, UnusableSerialSettingsAreReportedAndTheLinkKeepsItsDefaults)
{
    const char* cases[] = {
        "[Serial COM Parameters]\nRetryCount=5\n",
        "[Serial COM Parameters]\nReadTimeout=2\n",
        "[Serial COM Parameters]\nReadTimeout=abc\nRetryCount=5\n",
        "[Serial COM Parameters]\nReadTimeout=1.5\nRetryCount=5\n",
        "[Serial COM Parameters]\nReadTimeout=2\nRetryCount=40000\n",
        "",
    };
    for (const char* kivoIni : cases) {
        SCOPED_TRACE(kivoIni);
        desktop.clear();
        write("Kivo.ini", kivoIni);
        ASSERT_TRUE(KivoGlobals::InitializeGlobals());
        EXPECT_EQ(received(), "");
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0].title, "Kivo");
        EXPECT_EQ(messages()[0].style, vbExclamation);
        EXPECT_TRUE(messages()[0].text.contains(path("Kivo.ini")));
        EXPECT_TRUE(messages()[0].text.contains("ReadTimeout"));
    }
}

} // namespace
