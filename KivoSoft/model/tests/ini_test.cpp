// INI access, the busy state, the module types' ranges and the locale's separator.
#include "KivoSoft/model/INI.h"
#include "KivoSoft/model/Locale.h"
#include "KivoSoft/model/tests/model_fixture.h"

#include <QApplication>
#include <QCursor>
#include <QTest>
#include <QWidget>

using namespace KivoSoft;
using namespace KivoSoft::INI;
using namespace KivoSoft::testing;
using kivo::desktop::vbCritical;

namespace {

class Ini : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        write("test.ini", "[PARAMS]\n"
                          "port=/dev/serial/by-id/usb-FTDI_FT232R_1.2.3-if00-port0\n"
                          "empty=\n"
                          "number=12.5\n"
                          "whole=10\n"
                          "negative=-0.5\n"
                          "twoPoints=1.2.3\n"
                          "na=N/A\n"
                          "long=" +
                              QString(300, 'x') + "\n");
    }

    QString ini() const { return path("test.ini"); }
};

TEST_F(Ini, GetIniValueReadsTextAsWrittenAndNumbersInTheUserNotation)
{
    struct Case {
        const QLocale& locale;
        const char* section;
        const char* key;
        QString expected;
    };
    const QString port = "/dev/serial/by-id/usb-FTDI_FT232R_1.2.3-if00-port0";
    const Case cases[] = {
        {pointLocale, "PARAMS", "number", "12.5"},
        {commaLocale, "PARAMS", "number", "12,5"},
        {commaLocale, "params", "NUMBER", "12,5"},
        {commaLocale, "PARAMS", "negative", "-0,5"},
        {commaLocale, "PARAMS", "whole", "10"},
        {commaLocale, "PARAMS", "port", port},
        {pointLocale, "PARAMS", "port", port},
        {commaLocale, "PARAMS", "twoPoints", "1.2.3"},
        {commaLocale, "PARAMS", "na", "N/A"},
        {commaLocale, "PARAMS", "empty", "N/A"},
        {commaLocale, "PARAMS", "missing", "N/A"},
        {commaLocale, "NOSECTION", "number", "N/A"},
        {pointLocale, "PARAMS", "long", QString(254, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.locale.name().toStdString() << " " << c.key);
        useLocale(c.locale);
        EXPECT_EQ(GetIniValue(c.section, c.key, ini()), c.expected);
    }
    EXPECT_EQ(GetIniValue("PARAMS", "number", path("missing.ini")), "N/A");
}

TEST_F(Ini, BeforeTheSeparatorIsKnownNumbersKeepTheirPoint)
{
    KivoGlobals::DecimalSeparator.clear();
    EXPECT_EQ(GetIniValue("PARAMS", "number", ini()), "12.5");
    EXPECT_EQ(GetIniText("PARAMS", "number", ini()), "12.5");
}

TEST_F(Ini, NotationsConvertOnlyNumbers)
{
    useLocale(commaLocale);
    const std::pair<const char*, const char*> fileToUser[] = {
        {"2.5", "2,5"}, {"-12.25", "-12,25"},   {"3", "3"}, {"N/A", "N/A"}, {"1.2.3", "1.2.3"},
        {"", ""},       {"KM-5.0V", "KM-5.0V"},
    };
    for (const auto& [file, user] : fileToUser) {
        SCOPED_TRACE(file);
        EXPECT_EQ(ToUserNotation(file), user);
        EXPECT_EQ(ToFileNotation(user), file);
    }
    useLocale(pointLocale);
    EXPECT_EQ(ToUserNotation("2.5"), "2.5");
    EXPECT_EQ(ToFileNotation("2,5"), "2,5");
}

TEST_F(Ini, WriteIniValueKeepsTheFileAndReportsAFailedWriteWithThePath)
{
    EXPECT_EQ(WriteIniValue("PARAMS", "port", "/dev/ttyUSB1", ini()), "1");
    EXPECT_EQ(GetIniValue("PARAMS", "port", ini()), "/dev/ttyUSB1");
    EXPECT_EQ(GetIniValue("PARAMS", "number", ini()), "12.5");
    EXPECT_TRUE(desktop.calls().empty());

    ASSERT_TRUE(QFile::setPermissions(ini(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    EXPECT_EQ(WriteIniValue("PARAMS", "port", "/dev/ttyUSB2", ini()), "0");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text,
              "Error: Writing to INI file failed! Check the file path!" + ini());
    EXPECT_EQ(messages()[0].title, "Error");
    EXPECT_EQ(messages()[0].style, vbCritical);
    EXPECT_EQ(GetIniValue("PARAMS", "port", ini()), "/dev/ttyUSB1");
}

TEST_F(Ini, VoltageRangeAndMaxCurrentComeFromScaleIniInTheUserNotation)
{
    copyShippedScaleIni();
    useLocale(commaLocale);
    EXPECT_EQ(GetVoltageRange("TYPE3"), "20,0 - 28,0");
    EXPECT_EQ(GetMaxCurrent("TYPE3"), "6,0");
    useLocale(pointLocale);
    EXPECT_EQ(GetVoltageRange("TYPE5"), "2.8 - 3.8");
    EXPECT_EQ(GetVoltageRange("TYPE9"), "N/A - N/A");
    EXPECT_EQ(GetMaxCurrent("TYPE9"), "N/A");
}

TEST_F(Ini, DecimalSpecifierIsTheUserLocalesSeparator)
{
    useLocale(commaLocale);
    EXPECT_EQ(Locale().GetDecimalSpecifier(), ",");
    useLocale(pointLocale);
    EXPECT_EQ(Locale().GetDecimalSpecifier(), ".");
}

TEST(BusyState, ModesOfSetBusyStateOnTheOffscreenPlatform)
{
    QWidget window;
    window.resize(200, 100);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto cursor = [] {
        const QCursor* top = QGuiApplication::overrideCursor();
        return top ? std::optional(top->shape()) : std::nullopt;
    };
    ASSERT_EQ(cursor(), std::nullopt);

    struct Step {
        int mode;
        bool result;
        std::optional<Qt::CursorShape> cursor;
        bool enabled;
    };
    const Step steps[] = {
        {1, true, Qt::WaitCursor, false}, {7, false, Qt::WaitCursor, false},
        {0, true, std::nullopt, true},    {2, true, Qt::BlankCursor, true},
        {3, true, std::nullopt, true},    {7, false, std::nullopt, true},
        {-1, false, std::nullopt, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.mode);
        EXPECT_EQ(SetBusyState(s.mode), s.result);
        EXPECT_EQ(cursor(), s.cursor);
        EXPECT_EQ(window.isEnabled(), s.enabled);
    }
}

} // namespace
