// The main program's core against the real link library, registered as the registration tool
// registers it, talking to the simulated bus: start-up, the whole-unit reads with the frames they
// send, the first failure ending a read, and the apply-all member.
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/KivoData.h"
#include "KivoSoft/model/RecordingUnitWindows.h"
#include "KivoSoft/model/tests/model_fixture.h"
#include "KivoX/testing/simulated_link.h"

#include <QElapsedTimer>

#include <cstdio>
#include <optional>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::unitsim::Bus;
using kivo::unitsim::Fault;
using kivo::unitsim::LogEntry;

namespace {

using Frames = std::vector<std::string>;

// A request as "MID CID data...", in hexadecimal: "1F 04 C8".
std::string requestText(const kivo::unitsim::Bytes& frame)
{
    std::string text;
    for (std::size_t i = 2; i + 1 < frame.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", frame[i]);
        text += (text.empty() ? "" : " ") + std::string(hex);
    }
    return text;
}

// The same request for each of the slots, MID first: "01 04 CC", "03 04 CC", "05 04 CC".
Frames perSlot(const std::string& request, std::initializer_list<int> fitted = {1, 3, 5})
{
    Frames frames;
    for (const int slot : fitted) {
        frames.push_back("0" + std::to_string(slot) + " " + request);
    }
    return frames;
}

class EndToEnd : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        KivoGlobals::setClock([] { return QDateTime(QDate(2027, 1, 11), QTime(8, 0, 0)); });
        copyShippedScaleIni();
        write("Kivo.ini", "[Serial COM Parameters]\nReadTimeout=1\nRetryCount=1\n");
        write("KivoGui.ini", "[PARAMS]\nport=" + QString::fromStdString(sim.port()) + "\n");
        startUp();
        windows.progressText = "heading ...";
    }

    void TearDown() override
    {
        KivoGlobals::DeviceLink.reset();
        ProgramFolderTest::TearDown();
    }

    void startUp()
    {
        ASSERT_TRUE(KivoGlobals::InitializeGlobals());
        ASSERT_TRUE(desktop.calls().empty());
    }

    // The requests the bus received since the last call, as requestText gives them.
    Frames requests(bool allUnitThree = true)
    {
        Frames frames;
        for (const LogEntry& entry : sim.server().log()) {
            if (entry.direction == LogEntry::Request) {
                if (allUnitThree) {
                    EXPECT_EQ(entry.bytes.at(1), 3) << requestText(entry.bytes);
                }
                frames.push_back(requestText(entry.bytes));
            }
        }
        sim.server().clearLog();
        return frames;
    }

    // Whether the port is free again: the link opens and closes it once more.
    bool portFree() const
    {
        const std::string path = sim.port();
        const bool opened =
            kivo::automation::call(KivoGlobals::DeviceLink, "OpenPort", path).status == "CMD_OK";
        kivo::automation::call(KivoGlobals::DeviceLink, "ClosePort");
        return opened;
    }

    // Unit 3 of the default bus, with values that show how each field is read.
    static Bus unitThree()
    {
        Bus bus = Bus::defaultBus();
        {
            auto three = bus.unit(3);
            three->serial = {0x12, 0x34, 0x56, 0x78, 0x9A};
            three->signalPolarity = 0x09;
            three->module(1).goodLow = 0xFFFE;
            three->module(1).turnOnDelay = 50000;
            three->module(1).flags = 0x38;
            three->module(3).flags = 0x06;
            three->module(3).groupId = 2;
            three->module(5).flags = 0x03;
            three->module(5).groupId = 3;
            three->module(5).limitOnTime = 65535;
        }
        return bus;
    }

    kivox::testing::SimulatedLink sim{unitThree()};
    RecordingUnitWindows windows;
    ScopedUnitWindows installedWindows{windows};
};

const Frames kSetupFrames = joined<std::string>({
    {"1F 04 C8"},
    perSlot("04 CC"),
    {"1F 0B", "1F 04 CD", "1F 04 CE", "1F 04 CF", "1F 04 D0", "1F 04 D1", "1F 04 CC", "1F 04 01",
     "1F 04 01", "1F 04 01", "1F 04 04", "1F 04 04", "1F 04 04"},
    perSlot("04 CC"),
    {"01 04 CE", "01 04 CF", "01 04 D0", "01 04 D1", "01 04 D2", "03 04 CE", "03 04 CF", "03 04 D0",
     "03 04 D1", "03 04 D2", "05 04 CE", "05 04 CF", "05 04 D0", "05 04 D1", "05 04 D2"},
    perSlot("04 CD"),
    perSlot("04 10"),
    perSlot("04 10"),
    perSlot("04 10"),
    perSlot("13 03"),
    perSlot("13 01"),
    perSlot("13 07"),
    perSlot("13 05"),
    perSlot("04 10"),
    {"01 13 09", "01 04 CC", "03 13 09", "03 04 CC", "05 13 09", "05 04 CC"},
    perSlot("13 0B"),
    perSlot("13 0D"),
    {"1F 09"},
    perSlot("04 0F"),
});

TEST_F(EndToEnd, StartUpHandsTheReadTimeoutAndRetryCountToTheLink)
{
    write("Kivo.ini", "[Serial COM Parameters]\nReadTimeout=1\nRetryCount=3\n");
    startUp();
    sim.server().faults().add(
        {.uid = 3, .cid = 0x0B, .kind = Fault::NoReply, .times = Fault::always});
    requests();

    KivoData unit;
    QElapsedTimer timer;
    timer.start();
    unit.ReadKivo("3");
    const qint64 elapsed = timer.elapsed();

    EXPECT_EQ(requests(), (Frames{"1F 0B", "1F 0B", "1F 0B"})); // three attempts
    EXPECT_GE(elapsed, 2900);                                   // of one second each
    EXPECT_LT(elapsed, 30000);
    EXPECT_EQ(KivoGlobals::LastErrorText,
              "Error in GetModuleGoodStatusByte for Unit 3 CMD_NORESPONSE");
    EXPECT_EQ(KivoGlobals::ErrorLogPath, path("error111.txt"));
}

TEST_F(EndToEnd, SetupReadOfAUnitWithModulesInSlotsOneThreeAndFive)
{
    KivoData unit;
    unit.ReadKivoSetup("3");

    EXPECT_EQ(requests(), kSetupFrames);
    EXPECT_FALSE(KivoGlobals::ErrorFlag) << KivoGlobals::LastErrorText.toStdString();
    EXPECT_TRUE(desktop.calls().empty());
    EXPECT_TRUE(portFree());

    EXPECT_EQ(unit.UnitID, "3");
    EXPECT_EQ(unit.PresentModule, "10101000");
    EXPECT_EQ(unit.SerialNumber, "21436587A9");
    EXPECT_EQ(unit.Version1, "2");
    EXPECT_EQ(unit.Version2, "5");
    EXPECT_TRUE(unit.FanFail);
    EXPECT_FALSE(unit.GlobalDC);
    EXPECT_TRUE(unit.OverTemp);
    EXPECT_TRUE(unit.GlobalOnOff);
    EXPECT_TRUE(unit.GlobalOutputState);
    EXPECT_FALSE(unit.Group);
    EXPECT_EQ(unit.outputstate, "10100000");

    struct Fields {
        int slot;
        const char *mc, *ms, *pm, *p, *state, *delay, *vsp, *vll, *vhl, *clm, *er, *cl, *at;
        std::int16_t gid;
    };
    const Fields fields[] = {
        {1, "KM-12V-10A", "1626364656", "1", "1", "1", "50000", "12", "-2", "1260", "Normal", "0",
         "10", "100", 1},
        {3, "KM-5V-20A", "1727374757", "0", "0", "0", "200", "5", "4750", "5250", "Hiccup", "1",
         "20", "100", 2},
        {5, "KM-24V-6A", "1828384858", "0", "0", "0", "400", "24", "2280", "2520", "CurrentShare",
         "0", "6", "65535", 3},
    };
    for (const Fields& f : fields) {
        SCOPED_TRACE(f.slot);
        EXPECT_EQ(unit.MC[f.slot], f.mc);
        EXPECT_EQ(unit.MS[f.slot], f.ms);
        EXPECT_EQ(unit.MMV[f.slot], "1");
        EXPECT_EQ(unit.MMinV[f.slot], "2");
        EXPECT_EQ(unit.PM[f.slot], f.pm);
        EXPECT_EQ(unit.P[f.slot], f.p);
        EXPECT_EQ(unit.StartUpState[f.slot], f.state);
        EXPECT_EQ(unit.StartUpDelay[f.slot], f.delay);
        EXPECT_EQ(unit.VSP[f.slot], f.vsp);
        EXPECT_EQ(unit.VLL[f.slot], f.vll);
        EXPECT_EQ(unit.VHL[f.slot], f.vhl);
        EXPECT_EQ(unit.CLM[f.slot], f.clm);
        EXPECT_EQ(unit.ER[f.slot], f.er);
        EXPECT_EQ(unit.CL[f.slot], f.cl);
        EXPECT_EQ(unit.AT[f.slot], f.at);
        EXPECT_EQ(unit.RT[f.slot], "1000");
        EXPECT_EQ(unit.GID[f.slot], f.gid);
    }
    EXPECT_EQ(windows.progressText, "heading ..." + setupProgress(25) + "Ok\r\n");
    EXPECT_TRUE(windows.calls.contains("setConfigModuleId 3 KM-5V-20A"));
    EXPECT_TRUE(windows.calls.contains("setConfigSetPointMaximum 5 280"));
}

TEST_F(EndToEnd, TheFirstFailureEndsTheSetupRead)
{
    struct Case {
        const char* step;
        Fault fault;
        const char* log; // "" when the step reports no failure
        const char* lastError;
        const char* lastFrame;
        QString progressEnd;
    };
    const char* noResponse = "Unit 3 Does not Respond, make sure is properly connected and is "
                             "the correct UnitID Number";
    const Case cases[] = {
        {"presence",
         {.uid = 3, .cid = 0x04, .reg = 0xC8, .times = Fault::always},
         noResponse,
         noResponse,
         "1F 04 C8",
         setupProgress(1)},
        {"a serial byte partway",
         {.uid = 3, .cid = 0x04, .reg = 0xCF, .times = Fault::always},
         "Error in GetUnitSerialNumber for Unit 3",
         "Error in GetUnitSerialNumber for Unit 3 ",
         "1F 04 CF",
         setupProgress(3)},
        {"module type not answered: off by the inhibit, no failure",
         {.uid = 3, .mid = 1, .cid = 0x04, .reg = 0xCC, .times = Fault::always},
         "",
         "",
         "01 04 CC",
         setupProgress(11) + "Ok\r\n\r\nModules OFF by GLOBAL INHIBIT.Ok\r\n"},
        {"module type answered with an error",
         {.uid = 3,
          .mid = 1,
          .cid = 0x04,
          .reg = 0xCC,
          .kind = Fault::ErrorReply,
          .times = Fault::always},
         "Error in GetModuleType in Unit  3 and Module 1",
         "Error in GetModuleType in Unit 3 and Module 1 CMD_ERROR",
         "01 04 CC",
         setupProgress(11)},
        {"module type answered damaged",
         {.uid = 3,
          .mid = 3,
          .cid = 0x04,
          .reg = 0xCC,
          .kind = Fault::BadCrc,
          .times = Fault::always},
         "Error in GetModuleType in Unit  3 and Module 3",
         "Error in GetModuleType in Unit 3 and Module 3 CMD_CRCERROR",
         "03 04 CC",
         setupProgress(11)},
        {"a module register",
         {.uid = 3, .mid = 3, .cid = 0x13, .reg = 0x05, .times = Fault::always},
         "Error in GetModuleGoodHighThreshold in Unit  3 and Module 3",
         "Error in GetModuleGoodHighThreshold in Unit 3 and Module 3 CMD_NORESPONSE",
         "05 13 05",
         setupProgress(20)},
        {"the group ID",
         {.uid = 3, .mid = 1, .cid = 0x04, .reg = 0x0F, .times = Fault::always},
         "Error in GetGroupID in Unit  3 and Module 1",
         "Error in GetGroupID in Unit 3 and Module 1 CMD_NORESPONSE",
         "05 04 0F",
         setupProgress(25)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        QFile::remove(KivoGlobals::ErrorLogPath);
        KivoGlobals::LastErrorText.clear();
        windows.progressText = "heading ...";
        sim.server().faults().clear();
        sim.server().faults().add(c.fault);
        requests();

        KivoData unit;
        unit.ReadKivoSetup("3");

        const Frames frames = requests();
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back(), c.lastFrame);
        EXPECT_EQ(logMessages(), *c.log ? QStringList{c.log} : QStringList{});
        EXPECT_EQ(KivoGlobals::LastErrorText, c.lastError);
        EXPECT_EQ(KivoGlobals::ErrorFlag, *c.log != 0);
        EXPECT_EQ(windows.progressText, "heading ..." + c.progressEnd);
        EXPECT_TRUE(portFree());
    }
}

TEST_F(EndToEnd, DefaultGlobalOutputStateOffAndDeveloperModeReadNoModules)
{
    sim.bus().unit(3)->defaults = 0x01;
    requests();
    KivoData unit;
    unit.ReadKivoSetup("3");
    const Frames frames = requests();
    EXPECT_EQ(frames, Frames(kSetupFrames.begin(), kSetupFrames.begin() + 17));
    EXPECT_EQ(windows.progressText, "heading ..." + setupProgress(11) + "Ok\r\n");

    KivoGlobals::DeveloperMode = true;
    KivoData developer;
    developer.ReadKivoSetup("3");
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(developer.UnitID, "3");
}

TEST_F(EndToEnd, MonitorReadSkipsWhatTheRefreshReadsItselfWhileLogging)
{
    const Frames types = perSlot("04 CC");
    const Frames limits = {"01 13 09", "01 04 CC", "03 13 09", "03 04 CC", "05 13 09", "05 04 CC"};
    const Frames hours = {"1F 04 C9", "1F 04 CA", "1F 04 CB"};
    struct Case {
        bool logging;
        Frames frames;
    };
    const Case cases[] = {
        {false, joined<std::string>({{"1F 04 C8"},
                                     types,
                                     {"1F 0B"},
                                     types,
                                     {"1F 09", "1F 0C"},
                                     hours,
                                     {"1F 15", "1F 16"},
                                     types,
                                     perSlot("13 01"),
                                     perSlot("03"),
                                     perSlot("02"),
                                     {"1F 13 02"},
                                     perSlot("04 0F"),
                                     perSlot("13 07"),
                                     perSlot("13 05"),
                                     limits})},
        {true, joined<std::string>({{"1F 04 C8"},
                                    types,
                                    {"1F 0B"},
                                    types,
                                    {"1F 0C"},
                                    hours,
                                    {"1F 15"},
                                    types,
                                    perSlot("03"),
                                    perSlot("02")})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logging);
        requests();
        KivoGlobals::LoggingInProgress = c.logging;
        KivoData unit;
        unit.ReadKivoMonitor("3");
        EXPECT_EQ(requests(), c.frames);
        EXPECT_FALSE(KivoGlobals::ErrorFlag) << KivoGlobals::LastErrorText.toStdString();
        EXPECT_EQ(unit.OperatingHours, "258");
        // Slot 5 is switched off: its 0 is its own, the others keep their readings.
        EXPECT_EQ(unit.MV[1], "12.00");
        EXPECT_EQ(unit.MV[3], "5.00");
        EXPECT_EQ(unit.MV[5], "0");
        EXPECT_EQ(unit.MCUR[1], "5.00");
        EXPECT_TRUE(portFree());
    }
}

TEST_F(EndToEnd, PresenceAddressesTheFittedSlotsOfTheUnitBeingRead)
{
    sim.bus().unit(3)->fitted[4].reset(); // slots 1 and 3: presence 0x05
    KivoGlobals::SelectedUnitId = "5";
    requests();
    KivoData unit;
    unit.ReadKivoMonitor("3");
    const Frames frames = requests(); // every frame to unit 3
    EXPECT_EQ(Frames(frames.begin(), frames.begin() + 3),
              (Frames{"1F 04 C8", "01 04 CC", "03 04 CC"}));
    EXPECT_EQ(unit.PresentModule, "10100000");
    EXPECT_EQ(KivoGlobals::moduleScaling(3).ModuleCode, "KM-5V-20A");
}

TEST_F(EndToEnd, WriteKivoSendsTheSettingsScaledToTheirRegisters)
{
    useLocale(commaLocale);
    KivoData unit;
    unit.ReadKivoSetup("3");
    ASSERT_FALSE(KivoGlobals::ErrorFlag);
    unit.VSP[1] = "12,5";
    unit.CL[3] = "7,5";
    unit.CLM[5] = "Latching";
    unit.StartUpDelay[3] = "65535";
    requests();

    unit.WriteKivo("3");

    const Frames frames = requests();
    EXPECT_FALSE(KivoGlobals::ErrorFlag) << KivoGlobals::LastErrorText.toStdString();
    EXPECT_NE(std::find(frames.begin(), frames.end(), "01 14 01 E2 04"), frames.end());
    EXPECT_NE(std::find(frames.begin(), frames.end(), "03 14 09 EE 02"), frames.end());
    EXPECT_NE(std::find(frames.begin(), frames.end(), "03 14 03 FF FF"), frames.end());
    auto three = sim.bus().unit(3);
    EXPECT_EQ(three->module(1).defaultVoltage, 1250);
    EXPECT_EQ(three->module(3).currentLimit, 750);
    EXPECT_EQ(three->module(3).turnOnDelay, 65535);
    EXPECT_EQ(three->module(5).flags & 0x03, 1);
    EXPECT_EQ(three->module(5).currentLimit, 6000);
    EXPECT_EQ(three->defaults, 0x03);
}

} // namespace
