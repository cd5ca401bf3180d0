// The shared routines of the globals module: error log, result test, pause, key filter, programs.
#include "KivoSoft/model/tests/model_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <vector>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::desktop::DesktopCall;
using kivo::desktop::vbInformation;

namespace {

class Globals : public ProgramFolderTest {};

TEST(ErrorLogName, MonthAndDayWithoutLeadingZeros)
{
    struct Case {
        QDate date;
        const char* name;
    };
    const Case cases[] = {
        {QDate(2027, 1, 1), "error11.txt"},
        {QDate(2027, 1, 11), "error111.txt"},
        {QDate(2026, 11, 1), "error111.txt"},
        {QDate(2026, 12, 9), "error129.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(KivoGlobals::errorLogName(c.date), c.name);
    }
}

TEST_F(Globals, LogErrorAppendsOneDatedLinePerCall)
{
    KivoGlobals::ErrorLogPath = path("error129.txt");
    write("error129.txt", "earlier line\r\n");
    KivoGlobals::setClock([] { return QDateTime(QDate(2026, 12, 9), QTime(15, 4, 5)); });

    EXPECT_TRUE(KivoGlobals::LogError("Error in GetFanFailPolarity in Unit  3"));
    EXPECT_TRUE(KivoGlobals::LogError("second"));

    EXPECT_EQ(readText(KivoGlobals::ErrorLogPath),
              "earlier line\r\n"
              "12/9/2026 3:04:05 PM [Error in GetFanFailPolarity in Unit  3]\r\n"
              "12/9/2026 3:04:05 PM [second]\r\n");

    // The date and time follow the user's locale.
    useLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(KivoGlobals::LogError("third"));
    EXPECT_TRUE(
        readText(KivoGlobals::ErrorLogPath).endsWith("\r\n09.12.2026 15:04:05 [third]\r\n"));
}

TEST_F(Globals, LogErrorThatCannotAppendReportsItWithoutThrowing)
{
    for (const QString& unwritable :
         {path("missing/folder/error11.txt"), folder.path(), QString()}) {
        SCOPED_TRACE(unwritable.toStdString());
        KivoGlobals::ErrorLogPath = unwritable;
        EXPECT_FALSE(KivoGlobals::LogError("lost"));
    }
}

TEST_F(Globals, IsCmdOkAcceptsExactlyCmdOkAfterOneTurnOfTheEventLoop)
{
    const std::pair<const char*, bool> cases[] = {
        {"CMD_OK", true},     {"cmd_ok", false},         {"CMD_OK ", false},      {"", false},
        {"CMD_ERROR", false}, {"CMD_NORESPONSE", false}, {"CMD_CRCERROR", false},
    };
    int pumped = 0;
    kivo::desktop::setEventsRunHook([&] { ++pumped; });
    for (const auto& [result, ok] : cases) {
        SCOPED_TRACE(result);
        const int before = pumped;
        EXPECT_EQ(KivoGlobals::IsCmdOk(QString::fromLatin1(result)), ok);
        EXPECT_EQ(pumped, before + 1);
    }
}

TEST_F(Globals, PauseLetsEventsRunUntilTheTimeHasPassed)
{
    int pumped = 0;
    kivo::desktop::setEventsRunHook([&] { ++pumped; });
    QElapsedTimer timer;
    timer.start();
    KivoGlobals::Pause(0.1);
    EXPECT_GE(timer.elapsed(), 100);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_GE(pumped, 2);

    for (double none : {0.0, -1.0}) {
        pumped = 0;
        KivoGlobals::Pause(none);
        EXPECT_EQ(pumped, 1);
    }
}

TEST_F(Globals, APauseHookTakesThePauseInsteadOfTheWait)
{
    std::vector<double> pauses;
    int pumped = 0;
    kivo::desktop::setEventsRunHook([&] { ++pumped; });
    KivoGlobals::setPauseHook([&](double seconds) { pauses.push_back(seconds); });
    QElapsedTimer timer;
    timer.start();
    KivoGlobals::Pause(30);
    KivoGlobals::Pause(0.1);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(pauses, (std::vector<double>{30, 0.1}));
    EXPECT_EQ(pumped, 0);

    // ResetGlobals puts the real wait back.
    KivoGlobals::ResetGlobals();
    KivoGlobals::Pause(0);
    EXPECT_EQ(pauses.size(), 2u);
    EXPECT_EQ(pumped, 1);
}

TEST_F(Globals, NumericKeyFilterPassesDigitsTheSeparatorAndEditingKeys)
{
    struct Case {
        const QLocale& locale;
        std::int16_t key;
        bool passes;
    };
    const Case cases[] = {
        {pointLocale, '0', true},  {pointLocale, '9', true},  {pointLocale, '.', true},
        {pointLocale, ',', false}, {pointLocale, 8, true},    {pointLocale, 13, true},
        {pointLocale, 'a', false}, {pointLocale, '-', false}, {pointLocale, ' ', false},
        {commaLocale, ',', true},  {commaLocale, '.', false}, {commaLocale, '5', true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.locale.name().toStdString() << " key " << c.key);
        useLocale(c.locale);
        desktop.clear();
        std::int16_t key = c.key;
        KivoGlobals::NumericKeyFilter(key);
        if (c.passes) {
            EXPECT_EQ(key, c.key);
            EXPECT_TRUE(desktop.calls().empty());
        } else {
            EXPECT_EQ(key, 0);
            ASSERT_EQ(messages().size(), 1u);
            EXPECT_EQ(messages()[0].text, "Please enter numeric values");
            EXPECT_EQ(messages()[0].title, "Dravon Electronics");
            EXPECT_EQ(messages()[0].style, vbInformation);
        }
    }
}

TEST_F(Globals, ProgramsAndTheErrorLogStartThroughTheDesktopWithoutAShell)
{
    KivoGlobals::ErrorLogPath = path("error 1 1.txt; rm -rf x");
    write("error 1 1.txt; rm -rf x", "");
    KivoGlobals::ShowErrorLog();
    KivoGlobals::RunProgram("/usr/bin/true", {"one arg; with blanks"});

    ASSERT_EQ(desktop.calls().size(), 2u);
    EXPECT_EQ(desktop.calls()[0].kind, DesktopCall::Kind::OpenFile);
    EXPECT_EQ(desktop.calls()[0].text, KivoGlobals::ErrorLogPath);
    EXPECT_EQ(desktop.calls()[1].kind, DesktopCall::Kind::StartProgram);
    EXPECT_EQ(desktop.calls()[1].text, "/usr/bin/true");
    EXPECT_EQ(desktop.calls()[1].arguments, QStringList{"one arg; with blanks"});
}

// Whatever keeps the log from showing is said with the log's path; a viewer that starts needs no
// word.
TEST_F(Globals, ErrorLogThatCannotBeShownIsNamedInAMessage)
{
    using kivo::desktop::vbExclamation;
    struct Case {
        const char* what;
        bool logExists;
        bool opens;
        bool asksTheDesktop;
        const char* message; // "" for none
        int style;
    };
    const Case cases[] = {
        {"viewer starts", true, true, true, "", 0},
        {"no launcher", true, false, true,
         "The error log %1 could not be opened: the desktop's launcher xdg-open (package "
         "xdg-utils) is missing or did not start.",
         vbExclamation},
        {"no log yet", false, true, false,
         "No error has been logged yet: the error log %1 does not exist.", vbInformation},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        desktop.clear();
        KivoGlobals::ErrorLogPath = path("error129.txt");
        QFile::remove(KivoGlobals::ErrorLogPath);
        if (c.logExists) {
            write("error129.txt", "12/9/2026 3:04:05 PM [Error in GetFanFailPolarity]\r\n");
        }
        desktop.queueOpenFileAnswer(c.opens);

        KivoGlobals::ShowErrorLog();

        const auto opened = desktop.calls(DesktopCall::Kind::OpenFile);
        ASSERT_EQ(opened.size(), c.asksTheDesktop ? 1u : 0u);
        if (c.asksTheDesktop) {
            EXPECT_EQ(opened[0].text, KivoGlobals::ErrorLogPath);
        }
        if (*c.message == 0) {
            EXPECT_TRUE(messages().empty());
            continue;
        }
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0].text, QString(c.message).arg(KivoGlobals::ErrorLogPath));
        EXPECT_EQ(messages()[0].title, KivoGlobals::ProgramTitle);
        EXPECT_EQ(messages()[0].style, c.style);
    }
}

TEST_F(Globals, MissingScalingRecordsAreCreatedEmptyOnFirstUse)
{
    EXPECT_FALSE(KivoGlobals::ModuleScaling[3].has_value());
    EXPECT_EQ(KivoGlobals::moduleScaling(3), clsScalability{});
    EXPECT_TRUE(KivoGlobals::ModuleScaling[3].has_value());
    KivoGlobals::moduleScaling(3).MaxVoltage = 28;
    EXPECT_EQ(KivoGlobals::moduleScaling(3).MaxVoltage, 28);
}

TEST_F(Globals, ProgramFolderIsTheOverrideWithoutATrailingSlash)
{
    KivoGlobals::setProgramFolder(folder.path() + "/");
    EXPECT_EQ(KivoGlobals::programFolder(), folder.path());
    KivoGlobals::setProgramFolder({});
    EXPECT_EQ(KivoGlobals::programFolder(), QCoreApplication::applicationDirPath());
}

} // namespace
