// Timed monitoring: the mode switch, the logging tick's screen line and CSV row against the
// simulator's values, the unit a row names, a unit that goes silent, ticks whose read fails or
// does not reach the modules, autosave that appends and refuses, and the file name checks. Ticks
// are run by calling the timer's handler, so no case waits for a period.
#include "KivoSoft/model/tests/fake_link.h"
#include "KivoSoft/monitor/tests/monitor_fixture.h"

#include <QApplication>
#include <QDir>
#include <QScrollBar>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::desktop::vbCritical;
using kivo::desktop::vbOKOnly;
using kivo::unitsim::Fault;

namespace {

// The screen line and the CSV row of unit 3 of the default bus at 10:15:30 on 11 January 2027:
// slots 1 and 3 on and good, slot 5 off (so global DC fails).
const QString kScreenLine = "\n11/01,10:15:30  3     Ok    Fail  Ok   1  12.00    5.00\n" +
                            QString(63, u' ') + "3    5.00  10.00\n" + QString(63, u' ');
const QString kRow = "11/01/2027,10:15:30,3,Ok,Ok,Ok,Ok,Fail,Ok,Fail,258,Ok,12.00,5.00,Fail,0,0,"
                     "Ok,5.00,10.00,Fail,0,0,Fail,0,0.00,";

class Logging : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        selectUnitThree();
        requests();
    }

    void startMonitorMode()
    {
        form->Check1->setChecked(true);
        ASSERT_TRUE(form->Timer2->isActive());
        requests();
    }
    // One logging tick of the 5-second period.
    void tick()
    {
        form->Timer2_Timer();
        clock = clock.addSecs(5);
    }
    QStringList rows() const
    {
        QStringList all = form->rtbNewLog->text().split("\r\n");
        all.removeFirst(); // the header
        return all;
    }
};

TEST_F(Logging, MonitorModeLocksTheWindowAndEachTickLogsWhatTheUnitReports)
{
    form->Check1->setChecked(true);
    EXPECT_EQ(requests(), refreshFrames());
    EXPECT_EQ(form->windowTitle(), MonitorForm::MonitorCaption);
    EXPECT_EQ(form->Timer2->interval(), 5000);
    EXPECT_TRUE(form->Timer2->isActive());
    EXPECT_EQ(form->rtbNewLog->text(), MonitorForm::monitorLogHeader());
    EXPECT_TRUE(form->Check1->isEnabled()); // so the user can leave
    for (QWidget* w : std::initializer_list<QWidget*>{
             form->cmdSelectUnit, form->cmdRefresh, form->cmdClose, form->cmdEeprom, form->cmdClear,
             form->txtFileName, form->Combo1, form->cmdComSettings, form->txtSP[1],
             form->cmdSetVoltage[1], form->cmdInc[1]}) {
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    }
    EXPECT_FALSE(form->PellarosOS[1]->isEnabled());

    QWidget* focused = QApplication::focusWidget();
    tick();
    EXPECT_EQ(requests(), refreshFrames());
    EXPECT_EQ(form->RichTextBox1->toPlainText(), kScreenLine);
    EXPECT_EQ(rows(), QStringList{kRow});
    EXPECT_EQ(kRow.split(',').size(), 27); // 26 fields, each followed by ","
    EXPECT_EQ(MonitorForm::monitorLogHeader().split(',').size(), 27);
    // The end of the log in view, without the focus moving.
    EXPECT_EQ(QApplication::focusWidget(), focused);
    EXPECT_FALSE(form->RichTextBox1->hasFocus());
    const QScrollBar* bar = form->RichTextBox1->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    // Still locked after the tick's refresh; the set-point controls too.
    EXPECT_FALSE(form->txtSP[1]->isEnabled());
    EXPECT_FALSE(form->cmdSetVoltage[3]->isEnabled());
    EXPECT_FALSE(KivoGlobals::LoggingInProgress);

    tick();
    EXPECT_EQ(rows().size(), 2);
    EXPECT_TRUE(rows()[1].startsWith("11/01/2027,10:15:35,3,"));
    form->show();
    savePicture("monitor-mode.png");
    form->hide();

    // Leaving: four pauses, the commands back, no second header at the next switch.
    pauses.clear();
    form->Check1->setChecked(false);
    EXPECT_EQ(pauses, (std::vector<double>{0.1, 0.1, 0.1, 0.1}));
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_EQ(form->windowTitle(), MonitorForm::InteractiveCaption);
    EXPECT_TRUE(form->cmdSelectUnit->isEnabled());
    EXPECT_TRUE(form->txtFileName->isEnabled());
    EXPECT_TRUE(form->txtSP[1]->isEnabled());
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ReadyText);
    EXPECT_EQ(form->rtbNewLog->text().count("Date,Time"), 1);
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(portFree());
}

TEST_F(Logging, TheCsvRowKeepsItsFieldsInACommaLocale)
{
    useLocale(commaLocale);
    sim().bus().unit(3)->operatingHours = 1234;
    startMonitorMode();
    tick();
    EXPECT_EQ(form->OH->text(), "1.234");
    ASSERT_EQ(rows().size(), 1);
    const QStringList fields = rows()[0].split(',');
    ASSERT_EQ(fields.size(), 27);
    EXPECT_EQ(fields[10], "1234");
    EXPECT_EQ(fields[12], "12.00");
    EXPECT_EQ(fields[13], "5.00");
    EXPECT_EQ(fields[25], "0.00");
    EXPECT_EQ(form->PellarosDisplay[1]->strValue(), "12,00");
}

TEST_F(Logging, ATickWhoseReadFailedWritesNoRow)
{
    startMonitorMode();
    tick();
    ASSERT_EQ(rows().size(), 1);
    const QString screen = form->RichTextBox1->toPlainText();

    sim().server().faults().add({.uid = 3, .kind = Fault::NoReply, .times = Fault::always});
    QFile::remove(KivoGlobals::ErrorLogPath);
    tick();
    EXPECT_EQ(rows().size(), 1);
    EXPECT_EQ(form->RichTextBox1->toPlainText(), screen);
    EXPECT_TRUE(form->lastRefreshFailed());
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ErrorText);
    EXPECT_FALSE(form->PellarosErrorPicture->Status());
    EXPECT_FALSE(logMessages().isEmpty());
    // The panels keep the state last read rather than one the unit never reported.
    EXPECT_EQ(form->MMessage[1]->text(), "Module Good");
    EXPECT_EQ(form->OH->text(), "258");
    EXPECT_FALSE(form->Busy);
    EXPECT_FALSE(KivoGlobals::LoggingInProgress);

    sim().server().faults().clear();
    desktop.clear();
    tick();
    EXPECT_EQ(rows().size(), 2);
    EXPECT_FALSE(form->lastRefreshFailed());
    EXPECT_TRUE(portFree());
}

TEST_F(Logging, AutosaveAppendsToAnEarlierLogAndNeverRemovesRows)
{
    write("Log.csv", "earlier session header\r\nearlier row");
    startMonitorMode();
    form->Check2->setChecked(true);
    EXPECT_FALSE(form->txtFileName->isEnabled());
    tick();
    EXPECT_EQ(readText(path("Log.csv")), "earlier session header\r\nearlier row\r\n" + kRow);

    // A clear empties the window's logs, not the file.
    form->Check1->setChecked(false);
    form->cmdClear_Click();
    EXPECT_EQ(form->rtbNewLog->text(), "");
    startMonitorMode();
    tick();
    const QString file = readText(path("Log.csv"));
    EXPECT_TRUE(file.startsWith("earlier session header\r\nearlier row\r\n" + kRow + "\r\n"));
    EXPECT_EQ(file.count("\r\n"), 3);

    // A new file starts with the header.
    form->Check1->setChecked(false);
    form->Check2->setChecked(false);
    form->txtFileName->setText("day2.txt");
    form->Check2->setChecked(true);
    startMonitorMode();
    tick();
    const QString day2 = readText(path("day2.txt"));
    EXPECT_TRUE(day2.startsWith(MonitorForm::monitorLogHeader() + "\r\n11/01/2027,"));
    EXPECT_EQ(day2.count("\r\n"), 1);
    EXPECT_TRUE(messages().empty());
}

TEST_F(Logging, AnUnwritableFileIsRefusedAndItsRowsWaitInTheBuffer)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir("Log.csv")); // no program can write a file there
    startMonitorMode();
    form->Check2->setChecked(true);
    tick();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, path("Log.csv") +
                                      " is not accessible or read only.\r\nPlease close this "
                                      "file if it is open.");
    EXPECT_EQ(messages()[0].style, vbCritical + vbOKOnly);
    EXPECT_EQ(rows().size(), 1);
    EXPECT_TRUE(form->Timer2->isActive());

    ASSERT_TRUE(QDir(folder.path()).rmdir("Log.csv"));
    tick();
    const QString file = readText(path("Log.csv"));
    EXPECT_EQ(file.count("\r\n"), 2); // the header, the row refused before and this one
    EXPECT_TRUE(file.startsWith(MonitorForm::monitorLogHeader() + "\r\n" + kRow + "\r\n"));
}

TEST_F(Logging, TheFileNameStaysLockedWhileAutosaveIsOnAndIsCheckedBeforeEachSave)
{
    form->Check2->setChecked(true);
    ASSERT_FALSE(form->txtFileName->isEnabled());
    // A switch ends by enabling its commands, but not the name autosave writes to.
    form->PellarosOS_MouseClick(3);
    EXPECT_FALSE(form->txtFileName->isEnabled());
    form->PellarosOS_MouseClick(3);

    startMonitorMode();
    form->txtFileName->setText("../elsewhere.csv");
    tick();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(messages()[0].text.startsWith("Invalid log file name or path.\r\nLog file can be "
                                              "saved only in "));
    EXPECT_FALSE(form->Check2->isChecked());
    EXPECT_FALSE(QFile::exists(path("../elsewhere.csv")));
    EXPECT_FALSE(form->txtFileName->isEnabled()); // still monitor mode
}

// The rows of a log file after its header.
QStringList fileRows(const QString& file)
{
    QStringList all = readText(file).split("\r\n");
    all.removeFirst();
    return all;
}

// Good, volts and amps of a slot in a monitor log row.
QStringList slotFields(const QString& row, int slot)
{
    return row.split(',').mid(11 + 3 * (slot - 1), 3);
}

TEST_F(Logging, ARowNamesTheUnitReadNotTheOneTheListShows)
{
    // Unit 5 picked in the list but not selected: the window reloads, and still reads unit 3.
    form->UnitList->setCurrentIndex(4);
    form->UnitList_Click();
    startMonitorMode();
    tick();
    EXPECT_FALSE(requests().empty()); // every one to unit 3
    ASSERT_EQ(rows().size(), 1);
    EXPECT_EQ(rows()[0].split(',')[2], "3");
    EXPECT_EQ(form->RichTextBox1->toPlainText().mid(17, 6), "3     ");
}

TEST_F(Logging, ATickWhoseTypeOrVoltageReadFailsIsAFailedReadAndWritesNoRow)
{
    struct Case {
        const char* what;
        Fault fault;
        const char* member;
        const char* status;
    };
    const Case cases[] = {
        {"type read answered with an error",
         {.uid = 3, .mid = 3, .cid = 0x04, .reg = 0xCC, .kind = Fault::ErrorReply},
         "GetModuleType",
         "CMD_ERROR"},
        {"type read with a bad CRC",
         {.uid = 3, .mid = 3, .cid = 0x04, .reg = 0xCC, .kind = Fault::BadCrc},
         "GetModuleType",
         "CMD_CRCERROR"},
        {"voltage measurement answered with an error",
         {.uid = 3, .mid = 3, .cid = 0x02, .kind = Fault::ErrorReply},
         "MeasureOutputVoltage",
         "CMD_ERROR"},
    };
    startMonitorMode();
    form->Check2->setChecked(true);
    form->Check2_Click();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim().server().faults().clear();
        desktop.clear();
        tick();
        const int before = rows().size();
        ASSERT_EQ(fileRows(path("Log.csv")).size(), before);
        QFile::remove(KivoGlobals::ErrorLogPath);

        Fault fault = c.fault;
        fault.times = Fault::always;
        sim().server().faults().add(fault);
        tick();

        EXPECT_EQ(rows().size(), before);
        EXPECT_EQ(fileRows(path("Log.csv")).size(), before);
        const QString failure = QStringLiteral("Error in %1 in Unit 3 and Module 3 %2")
                                    .arg(QLatin1String(c.member), QLatin1String(c.status));
        EXPECT_EQ(messageTexts(),
                  QStringList{failure + " for details check file " + KivoGlobals::ErrorLogPath});
        EXPECT_EQ(logMessages(),
                  QStringList{QStringLiteral("Error in %1 in Unit  3 and Module 3").arg(c.member)});
        EXPECT_TRUE(form->lastRefreshFailed());
        EXPECT_EQ(form->lblReady->text(), MonitorForm::ErrorText);
        EXPECT_FALSE(form->PellarosErrorPicture->Status());
        // The panels keep what the unit last reported; no failed reading is shown.
        EXPECT_EQ(form->MMessage[3]->text(), "Module Good");
        EXPECT_EQ(form->PellarosDisplay[3]->strValue(), "5.00");
        EXPECT_FALSE(form->Busy);
    }
    EXPECT_TRUE(portFree());
}

TEST_F(Logging, ModulesThatDoNotAnswerAreLoggedOffWithoutAnEarlierTicksReadings)
{
    startMonitorMode();
    tick();
    ASSERT_EQ(slotFields(rows()[0], 1), (QStringList{"Ok", "12.00", "5.00"}));

    // A module that does not answer its type read is off by the unit's inhibit, as ever: no
    // failure, but nothing of it was measured.
    sim().server().faults().add({.uid = 3,
                                 .mid = 3,
                                 .cid = 0x04,
                                 .reg = 0xCC,
                                 .kind = Fault::NoReply,
                                 .times = Fault::always});
    QFile::remove(KivoGlobals::ErrorLogPath);
    desktop.clear();
    tick();

    ASSERT_EQ(rows().size(), 2);
    for (const int slot : {1, 3, 5}) {
        SCOPED_TRACE(slot);
        const auto i = static_cast<std::size_t>(slot);
        EXPECT_EQ(slotFields(rows()[1], slot), (QStringList{"Fail", "", ""}));
        EXPECT_EQ(form->MMessage[i]->text(), "Module Off");
        EXPECT_EQ(form->PellarosDisplay[i]->strValue(), "");
        EXPECT_EQ(form->PellarosDisplayCurr[i]->strValue(), "");
    }
    EXPECT_EQ(slotFields(rows()[1], 2), (QStringList{"Fail", "0", "0"})); // not fitted
    EXPECT_TRUE(rows()[1].startsWith("11/01/2027,10:15:35,3,"));
    EXPECT_FALSE(form->lastRefreshFailed());
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(logMessages().isEmpty());
}

// ---- Cases that need no unit: a scripted link answers at once.

class Periods : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        fake = FakeLink::create();
        KivoGlobals::DeviceLink = fake->dispatchOf();
        // Monitor mode needs a unit the window selected; this one answers with no modules.
        select(3);
    }
    FakeLink::Ptr fake;
};

TEST_F(Periods, EachPeriodSetsTheTimerAndWhichTicksLog)
{
    struct Case {
        const char* item;
        int interval;
        double seconds;
        int ticks;  // run
        int logged; // of which log
    };
    const Case cases[] = {
        {"2   Sec.", 2000, 2, 3, 3},      {"5   Sec.", 5000, 5, 2, 2},
        {"10  Sec.", 10000, 10, 3, 3},    {"50  Sec.", 50000, 50, 1, 1},
        {"1   Min.", 60000, 60, 3, 3},    {"2   Min.", 60000, 120, 4, 2},
        {"5   Min.", 60000, 300, 10, 2},  {"30  Min.", 60000, 1800, 60, 2},
        {"1   Hr.", 60000, 3600, 120, 2}, {"24  Hr.", 60000, 86400, 1440, 1},
    };
    ASSERT_EQ(form->Combo1->count(), 22);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        const int index = form->Combo1->findText(c.item);
        ASSERT_GE(index, 0);
        form->Combo1->setCurrentIndex(index);
        form->Check1->setChecked(true);
        EXPECT_EQ(form->Timer2->interval(), c.interval);
        EXPECT_TRUE(form->Timer2->isActive());
        EXPECT_EQ(KivoGlobals::LogPeriodSeconds, c.seconds);
        // With the port held elsewhere every tick that comes due is counted as skipped.
        const int before = form->skippedTicks();
        {
            LinkInUse elsewhere(QStringLiteral("test"));
            for (int n = 0; n < c.ticks; ++n) {
                form->Timer2_Timer();
            }
        }
        EXPECT_EQ(form->skippedTicks() - before, c.logged);
        form->Check1->setChecked(false);
        EXPECT_FALSE(form->Timer2->isActive());
    }
    // Each of the 22 items is a period the mode understands.
    for (int n = 0; n < form->Combo1->count(); ++n) {
        form->Combo1->setCurrentIndex(n);
        form->Check1->setChecked(true);
        EXPECT_TRUE(form->Timer2->isActive()) << form->Combo1->currentText().toStdString();
        form->Check1->setChecked(false);
    }
}

TEST_F(Periods, TheLogFileNameTable)
{
    const QString folderText = "Invalid log file name or path.\r\nLog file can be saved only in " +
                               KivoGlobals::programFolder();
    const QString typeText = "Invalid log file name or path.\r\nYou can specify only text or csv "
                             "files to log power supply status.";
    struct Case {
        const char* name;
        QString message; // empty: accepted
    };
    const Case cases[] = {
        {"data.csv", {}},
        {"data.txt", {}},
        {"", "Please specify a log file name."},
        {"log.CSV", typeText},
        {"log", typeText},
        {"a.b.csv", typeText},
        {"c:\\log.csv", folderText},
        {"sub/log.csv", folderText},
        {"what?.csv", folderText},
        {"a|b.txt", folderText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.clear();
        form->txtFileName->setEnabled(true);
        form->txtFileName->setText(c.name);
        form->Check2->setChecked(true);
        EXPECT_EQ(form->ValidateLogFileName(), c.message.isEmpty());
        if (c.message.isEmpty()) {
            EXPECT_TRUE(messages().empty());
            EXPECT_TRUE(form->Check2->isChecked());
        } else {
            ASSERT_EQ(messages().size(), 1u);
            EXPECT_EQ(messages()[0].text, c.message);
            EXPECT_EQ(messages()[0].style, vbOKOnly);
            EXPECT_EQ(messages()[0].title, KivoGlobals::ProgramTitle);
            EXPECT_FALSE(form->Check2->isChecked());
            EXPECT_TRUE(form->txtFileName->isEnabled());
        }
    }
    form->Check2->setChecked(false);
    desktop.clear();
    EXPECT_FALSE(form->ValidateLogFileName());
    EXPECT_TRUE(messages().empty());
}

TEST(ScreenLog, MeterTextsAndHours)
{
    struct Meter {
        const char* text;
        const char* written;
    };
    for (const Meter& m : {Meter{"5.00", "  5.00"}, Meter{"0", "  0.00"}, Meter{"12.55", "12.55"},
                           Meter{"", ""}, Meter{"100.2", "100.2"}}) {
        EXPECT_EQ(MonitorForm::screenMeterText(m.text), m.written) << m.text;
    }
    const kivo::basic::ScopedUserLocale english(pointLocale);
    EXPECT_EQ(MonitorForm::hoursText(0), "0");
    EXPECT_EQ(MonitorForm::hoursText(999), "999");
    EXPECT_EQ(MonitorForm::hoursText(1234), "1,234");
    EXPECT_EQ(MonitorForm::hoursText(65535), "65,535");
    EXPECT_EQ(MonitorForm::hoursText(1234567), "1,234,567");
}

TEST(LimitTest, BoundsIncludedZeroLimitsPassNonNumbersAreNoTest)
{
    const kivo::basic::ScopedUserLocale english(pointLocale);
    struct Case {
        const char *lo, *hi, *v;
        std::optional<bool> good;
    };
    const Case cases[] = {
        {"4.75", "5.25", "5.00", true},      {"9.5", "10.5", "10.00", true},
        {"4.75", "5.25", "5.30", false},     {"4.75", "5.25", "4.75", true},
        {"4.75", "5.25", "5.25", true},      {"0", "0", "99", true},
        {"4.75", "5.25", "", false},         {"", "5.25", "5.00", std::nullopt},
        {"4.75", "-", "5.00", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MonitorForm::limitTest(c.lo, c.hi, c.v), c.good)
            << c.lo << " " << c.hi << " " << c.v;
    }
}

} // namespace
