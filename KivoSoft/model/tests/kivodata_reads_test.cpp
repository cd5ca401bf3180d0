// Whole-unit reads, module presence and scaling, and the apply-all member on a scripted link.
#include "KivoSoft/model/tests/unit_fixture.h"

using namespace KivoSoft;
using namespace KivoSoft::testing;

namespace {

using Calls = std::vector<std::string>;

// "Op 3 1", "Op 3 3", "Op 3 5" for the slots 1, 3 and 5.
Calls perSlot(const std::string& operation, std::initializer_list<int> fitted = {1, 3, 5})
{
    Calls calls;
    for (const int slot : fitted) {
        calls.push_back(operation + " 3 " + std::to_string(slot));
    }
    return calls;
}

const QString kHeading = "Reading Kivo Configuration\r\nOpenning /dev/ttyFAKE0, Bauds: 9600, "
                         "Parity: NO, Databits: 8, ...";

class Reads : public UnitTest {
protected:
    void SetUp() override
    {
        UnitTest::SetUp();
        windows.progressText = kHeading;
    }
};

TEST_F(Reads, SetupReadOfAUnitWithModulesInSlotsOneThreeAndFive)
{
    scriptFullUnit();
    unit.ReadKivoSetup("3");

    const Calls expected = joined<std::string>({
        {"OpenPort /dev/ttyFAKE0", "GetPresentModules 3"},
        perSlot("GetModuleType"),
        {"GetModuleGoodStatusByte 3", "GetUnitSerialN 3", "GetUnitVersion 3",
         "GetFanFailPolarity 3", "GetGlobalDCGoodPolarity 3", "GetOTFailPolarity 3",
         "GetDefaultGlobalOutputPolarity 3", "GetDefaultGroupState 3",
         "GetDefaultGlobalOutputState 3"},
        perSlot("GetModuleType"),
        perSlot("GetModuleSerialN"),
        perSlot("GetModuleVersion"),
        perSlot("GetProgrammingMode"),
        perSlot("GetDefaultOutputOnOffPolarity"),
        perSlot("GetDefaultOutputOnOffState"),
        perSlot("GetOutputTurnONDelayExUShort"),
        perSlot("GetDefaultOutputVoltage"),
        perSlot("GetModuleGoodLowThreshold"),
        perSlot("GetModuleGoodHighThreshold"),
        perSlot("GetCurrentLimitMode"),
        {"GetCurrentLimit 3 1", "GetModuleType 3 1", "GetCurrentLimit 3 3", "GetModuleType 3 3",
         "GetCurrentLimit 3 5", "GetModuleType 3 5"},
        perSlot("GetCurrentLimitONTimeExUShort"),
        perSlot("GetCurrentLimitOFFTimeExUShort"),
        {"GetOutputState 3"},
        perSlot("GetGroupID"),
        {"ClosePort"},
    });
    EXPECT_EQ(link->calls, expected);
    EXPECT_EQ(link->opens, 1);
    EXPECT_EQ(link->closes, 1);
    EXPECT_FALSE(link->portOpen);
    for (const auto& shape : link->arrayShapes) {
        EXPECT_EQ(shape, std::make_pair(1, 8));
    }

    EXPECT_FALSE(KivoGlobals::ErrorFlag);
    EXPECT_TRUE(logMessages().isEmpty());
    EXPECT_FALSE(unit.linkOk());
    EXPECT_EQ(unit.UnitID, "3");
    EXPECT_EQ(unit.callUnitId(), "3");
    EXPECT_EQ(unit.PresentModule, "10101000");
    EXPECT_EQ(unit.ModuleGood, "10101000");
    EXPECT_EQ(unit.SerialNumber, "21436587A9");
    EXPECT_EQ(unit.Version1, "2");
    EXPECT_EQ(unit.Version2, "1");
    EXPECT_TRUE(unit.FanFail);
    EXPECT_FALSE(unit.GlobalDC);
    EXPECT_TRUE(unit.OverTemp);
    EXPECT_TRUE(unit.GlobalOnOff);
    EXPECT_FALSE(unit.Group);
    EXPECT_TRUE(unit.GlobalOutputState);
    EXPECT_EQ(unit.outputstate, "10100000");
    EXPECT_EQ(unit.SignalPolarity, "1");

    struct Fields {
        int slot;
        const char *mc, *type, *ms, *mmv, *mminv, *pm, *p, *state, *delay, *vsp, *vll, *vhl, *clm,
            *er, *cl, *at, *rt;
        std::int16_t gid;
    };
    const Fields fields[] = {
        {1, "KM-12V-10A", "TYPE2", "0A1B2C3D4E", "1", "1", "0", "1", "1", "0", "12", "1140", "1260",
         "Normal", "1", "10", "100", "65535", 1},
        {3, "KM-5V-20A", "TYPE1", "1122334455", "1", "3", "1", "1", "1", "250", "5", "-2", "5250",
         "Hiccup", "0", "20", "40000", "200", 2},
        {5, "KM-24V-6A", "TYPE3", "A1B2C3D4E5", "1", "5", "0", "0", "0", "50000", "24", "2280",
         "2520", "CurrentShare", "1", "6", "10", "20", 3},
    };
    for (const Fields& f : fields) {
        SCOPED_TRACE(f.slot);
        const int s = f.slot;
        EXPECT_EQ(unit.MC[s], f.mc);
        EXPECT_EQ(unit.ModuleType[s], f.type);
        EXPECT_EQ(unit.MS[s], f.ms);
        EXPECT_EQ(unit.MMV[s], f.mmv);
        EXPECT_EQ(unit.MMinV[s], f.mminv);
        EXPECT_EQ(unit.PM[s], f.pm);
        EXPECT_EQ(unit.P[s], f.p);
        EXPECT_EQ(unit.StartUpState[s], f.state);
        EXPECT_EQ(unit.StartUpDelay[s], f.delay);
        EXPECT_EQ(unit.VSP[s], f.vsp);
        EXPECT_EQ(unit.VLL[s], f.vll);
        EXPECT_EQ(unit.VHL[s], f.vhl);
        EXPECT_EQ(unit.CLM[s], f.clm);
        EXPECT_EQ(unit.ER[s], f.er);
        EXPECT_EQ(unit.CL[s], f.cl);
        EXPECT_EQ(unit.AT[s], f.at);
        EXPECT_EQ(unit.RT[s], f.rt);
        EXPECT_EQ(unit.GID[s], f.gid);
    }
    EXPECT_EQ(unit.MS[2], "");

    EXPECT_EQ(windows.progressText, kHeading + setupProgress(25) + "Ok\r\n");
    EXPECT_FALSE(
        windows.calls.contains("setConfigModulesOffCaption Modules OFF by GLOBAL INHIBIT"));
}

TEST_F(Reads, PresenceFillsTheScalingRecordsTheModuleIdsAndTheRangeControls)
{
    scriptFullUnit();
    KivoGlobals::moduleScaling(2).MaxVoltage = 99; // a slot without a module keeps its record
    unit.ReadKivoSetup("3");

    const clsScalability slot5{3, "KM-24V-6A", 20, 28, 6, 100, 30.8, 1000, 6.6, 10};
    EXPECT_EQ(KivoGlobals::moduleScaling(5), slot5);
    EXPECT_EQ(KivoGlobals::moduleScaling(1).ModuleCode, "KM-12V-10A");
    EXPECT_EQ(KivoGlobals::moduleScaling(2).MaxVoltage, 99);
    EXPECT_EQ(KivoGlobals::PresentModuleBits, "10101000");
    const char* presence[] = {"", "1", "0", "1", "0", "1", "0", "0", "0"};
    for (int i = 1; i <= 8; ++i) {
        EXPECT_EQ(KivoGlobals::ModulePresence[i], presence[i]) << i;
    }

    QStringList controls;
    for (const QString& call : windows.calls) {
        if (!call.startsWith("setConfigProgressText") && !call.startsWith("selectConfigProgress")) {
            controls << call;
        }
    }
    EXPECT_EQ(controls, QStringList({
                            "setConfigModuleId 1 KM-12V-10A",    "setConfigModuleId 3 KM-5V-20A",
                            "setConfigModuleId 5 KM-24V-6A",     "setConfigCurrentLimitMinimum 1 0",
                            "setConfigCurrentLimitMaximum 1 10", "setConfigMaxCurrentCaption 1 10",
                            "setConfigSetPointMinimum 1 0",      "setConfigSetPointMaximum 1 140",
                            "setConfigSetPointMinimum 1 100",    "setConfigCurrentLimitMinimum 3 0",
                            "setConfigCurrentLimitMaximum 3 20", "setConfigMaxCurrentCaption 3 20",
                            "setConfigSetPointMinimum 3 0",      "setConfigSetPointMaximum 3 60",
                            "setConfigSetPointMinimum 3 40",     "setConfigCurrentLimitMinimum 5 0",
                            "setConfigCurrentLimitMaximum 5 6",  "setConfigMaxCurrentCaption 5 6",
                            "setConfigSetPointMinimum 5 0",      "setConfigSetPointMaximum 5 280",
                            "setConfigSetPointMinimum 5 200",
                        }));
}

TEST_F(Reads, PresenceAddressesOnlyTheFittedSlotsOfTheUnitBeingRead)
{
    // Bits 5 to 7 are not slots; the window may have selected another unit meanwhile.
    KivoGlobals::SelectedUnitId = "7";
    for (const int byte : {0x05, 0xE5}) {
        SCOPED_TRACE(byte);
        link->calls.clear();
        link->reply("GetPresentModules", {byte});
        unit.ReadKivo("3");
        unit.GetPresentModules();
        EXPECT_EQ(unit.PresentModule, "10100000");
        EXPECT_EQ(link->calls,
                  (Calls{"OpenPort /dev/ttyFAKE0", "GetModuleGoodStatusByte 3", "ClosePort",
                         "GetPresentModules 3", "GetModuleType 3 1", "GetModuleType 3 3"}));
    }
}

TEST_F(Reads, PresenceOfUnknownAndEmptyTypesAndHalfTenthsOfAVolt)
{
    write("scale.ini", readText(KivoGlobals::ScaleIniPath) +
                           "\n[TYPE6]\nType=KM-5V25\nMinVoltage=4.75\nMaxVoltage=5.25\n"
                           "MaxCurrent=2.5\nVoltageScaleFactor=abc\n");
    link->reply("GetPresentModules", {0x07});
    link->reply("GetModuleType", 1, {9}); // no section
    link->reply("GetModuleType", 2, {0}); // "Not Present"
    link->reply("GetModuleType", 3, {6});
    unit.ReadKivo("3");
    windows.calls.clear();
    unit.GetPresentModules();

    EXPECT_EQ(KivoGlobals::moduleScaling(1), (clsScalability{9, "N/A"}));
    EXPECT_EQ(KivoGlobals::moduleScaling(2).ModuleCode, "Not Present");
    EXPECT_EQ(KivoGlobals::moduleScaling(2).VoltageScaleFactor, 100);
    EXPECT_EQ(KivoGlobals::moduleScaling(3).VoltageScaleFactor, 0); // not a number
    EXPECT_EQ(KivoGlobals::moduleScaling(3).MaxVoltage, 5.25);
    EXPECT_EQ(windows.calls.mid(0, 2),
              QStringList({"setConfigModuleId 1 N/A", "setConfigModuleId 3 KM-5V25"}));
    EXPECT_TRUE(windows.calls.contains("setConfigSetPointMaximum 1 0"));
    EXPECT_TRUE(windows.calls.contains("setConfigSetPointMaximum 3 52"));    // 52.5 to even
    EXPECT_TRUE(windows.calls.contains("setConfigSetPointMinimum 3 48"));    // 47.5 to even
    EXPECT_TRUE(windows.calls.contains("setConfigCurrentLimitMaximum 3 2")); // 2.5 to even
    EXPECT_TRUE(windows.calls.contains("setConfigMaxCurrentCaption 3 2.5"));
}

TEST_F(Reads, AUnitThatDoesNotAnswerIsReportedAndShrinksTheMonitor)
{
    link->fail("GetPresentModules", "CMD_NORESPONSE");
    unit.ReadKivoMonitor("7");

    const QString text = "Unit 7 Does not Respond, make sure is properly connected and is the "
                         "correct UnitID Number";
    EXPECT_EQ(logMessages(), QStringList{text});
    EXPECT_EQ(KivoGlobals::LastErrorText, text);
    EXPECT_EQ(KivoGlobals::NoResponseText, text);
    EXPECT_TRUE(KivoGlobals::ErrorFlag);
    EXPECT_EQ(unit.PresentModule, "00000000");
    EXPECT_EQ(windows.calls,
              QStringList{"monitorUnitDoesNotRespond 2690 2750 Unit does not respond!"});
    EXPECT_EQ(link->calls, (Calls{"OpenPort /dev/ttyFAKE0", "GetPresentModules 7", "ClosePort"}));
}

TEST_F(Reads, TheFirstFailureEndsTheSetupRead)
{
    struct Case {
        const char* step;
        const char* operation;
        int module;
        const char* log; // "" when the step reports no failure
        const char* lastError;
        const char* lastCall;
        QString progressEnd;
    };
    const Case cases[] = {
        {"presence", "GetPresentModules", 0,
         "Unit 3 Does not Respond, make sure is properly connected and is the correct UnitID "
         "Number",
         "Unit 3 Does not Respond, make sure is properly connected and is the correct UnitID "
         "Number",
         "GetPresentModules 3", setupProgress(1)},
        {"unit serial number", "GetUnitSerialN", 0, "Error in GetUnitSerialNumber for Unit 3",
         "Error in GetUnitSerialNumber for Unit 3 ", "GetUnitSerialN 3", setupProgress(3)},
        {"module type", "GetModuleType", 0, "", "", "GetModuleType 3 1",
         setupProgress(11) + "Ok\r\n\r\nModules OFF by GLOBAL INHIBIT.Ok\r\n"},
        {"a module register", "GetModuleGoodHighThreshold", 3,
         "Error in GetModuleGoodHighThreshold in Unit  3 and Module 3",
         "Error in GetModuleGoodHighThreshold in Unit 3 and Module 3 CMD_NORESPONSE",
         "GetModuleGoodHighThreshold 3 5", setupProgress(20)},
        {"group ID", "GetGroupID", 1, "Error in GetGroupID in Unit  3 and Module 1",
         "Error in GetGroupID in Unit 3 and Module 1 CMD_NORESPONSE", "GetGroupID 3 5",
         setupProgress(25)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        QFile::remove(KivoGlobals::ErrorLogPath);
        windows.progressText = kHeading;
        windows.calls.clear();
        link = FakeLink::create();
        KivoGlobals::DeviceLink = link->dispatchOf();
        scriptFullUnit();
        link->fail(c.operation, "CMD_NORESPONSE", c.module);
        KivoGlobals::LastErrorText.clear();

        unit = KivoData();
        unit.ReadKivoSetup("3");

        EXPECT_EQ(lastStep(), c.lastCall);
        EXPECT_EQ(link->closes, 1);
        EXPECT_FALSE(link->portOpen);
        EXPECT_EQ(logMessages(), *c.log ? QStringList{c.log} : QStringList{});
        EXPECT_EQ(KivoGlobals::LastErrorText, c.lastError);
        EXPECT_EQ(KivoGlobals::ErrorFlag, *c.log != 0);
        EXPECT_EQ(windows.progressText, kHeading + c.progressEnd);
    }
}

TEST_F(Reads, ModulesThatDoNotAnswerUnderGlobalInhibitAreNamedInTheWindow)
{
    scriptFullUnit();
    link->fail("GetModuleType", "CMD_NORESPONSE");
    unit.ReadKivoSetup("3");
    EXPECT_TRUE(windows.calls.contains("setConfigModulesOffCaption Modules OFF by GLOBAL INHIBIT"));
    EXPECT_FALSE(KivoGlobals::ModuleTypeRead);
    EXPECT_TRUE(callsOf("GetModuleSerialN").empty());
}

TEST_F(Reads, TheLiveReadTakesOnlySilentModulesForModulesOff)
{
    struct Case {
        const char* status;
        bool failed;
    };
    for (const Case& c :
         {Case{"CMD_NORESPONSE", false}, Case{"CMD_ERROR", true}, Case{"CMD_CRCERROR", true}}) {
        SCOPED_TRACE(c.status);
        QFile::remove(KivoGlobals::ErrorLogPath);
        link = FakeLink::create();
        KivoGlobals::DeviceLink = link->dispatchOf();
        scriptUnitWithSlots135();
        link->fail("GetModuleType", c.status, 3);
        unit = KivoData();
        unit.ReadKivoMonitor("3");

        EXPECT_FALSE(KivoGlobals::ModuleTypeRead);
        EXPECT_TRUE(callsOf("MeasureOutputVoltage").empty());
        EXPECT_EQ(KivoGlobals::ErrorFlag, c.failed);
        if (c.failed) {
            EXPECT_EQ(logMessages(), QStringList{"Error in GetModuleType in Unit  3 and Module 3"});
            EXPECT_EQ(KivoGlobals::LastErrorText,
                      QString("Error in GetModuleType in Unit 3 and Module 3 ") + c.status);
            EXPECT_EQ(link->calls.at(link->calls.size() - 2), "GetModuleType 3 3");
        } else {
            EXPECT_TRUE(logMessages().isEmpty());
            EXPECT_EQ(callsOf("GetGlobalStatusByte").size(), 1u); // the unit is read on
        }
        EXPECT_FALSE(link->portOpen);
    }
}

TEST_F(Reads, DefaultGlobalOutputStateOffReadsNoModules)
{
    scriptFullUnit();
    link->reply("GetDefaultGlobalOutputState", {0});
    unit.ReadKivoSetup("3");
    EXPECT_EQ(lastStep(), "GetDefaultGlobalOutputState 3");
    EXPECT_EQ(windows.progressText, kHeading + setupProgress(11) + "Ok\r\n");
    for (const QString& call : windows.calls) {
        EXPECT_FALSE(call.startsWith("setConfigModulesOffCaption")) << call.toStdString();
    }
    EXPECT_FALSE(KivoGlobals::ErrorFlag);
}

TEST_F(Reads, DeveloperModeOpensNoPortAndReadsNothing)
{
    KivoGlobals::DeveloperMode = true;
    scriptFullUnit();
    unit.PresentModule = "11111000";
    unit.ReadKivoSetup("3");
    EXPECT_EQ(link->calls, Calls{"ClosePort"});
    EXPECT_EQ(windows.progressText, kHeading);
    EXPECT_EQ(unit.UnitID, "3");
    EXPECT_EQ(unit.PresentModule, "00000000");
}

TEST_F(Reads, APortThatCannotOpenEndsTheReadBeforeAnyStep)
{
    scriptFullUnit();
    link->setOpenPortStatus("CMD_ERROR");
    unit.ReadKivoSetup("3");
    EXPECT_EQ(link->calls, (Calls{"OpenPort /dev/ttyFAKE0", "ClosePort", "ClosePort"}));
    EXPECT_EQ(messages().size(), 2u);
    EXPECT_EQ(logMessages().size(), 1);
    EXPECT_TRUE(KivoGlobals::ErrorFlag);
    EXPECT_EQ(windows.progressText, kHeading);
}

TEST_F(Reads, EachReadStartsWithoutTheStateOfAnEarlierOne)
{
    // Left by a read of another unit: its module types were not read, its default global
    // output state was on and it did not answer.
    KivoGlobals::DefaultGlobalStateFlag = true;
    KivoGlobals::ModuleTypeRead = false;
    KivoGlobals::NoResponseText = "Unit 9 Does not Respond, make sure is properly connected and is "
                                  "the correct UnitID Number";
    scriptFullUnit();
    link->fail("GetUnitSerialN", "CMD_NORESPONSE");
    unit.ReadKivoSetup("3");

    EXPECT_EQ(windows.progressText, kHeading + setupProgress(3));
    EXPECT_FALSE(KivoGlobals::DefaultGlobalStateFlag);
    EXPECT_EQ(KivoGlobals::NoResponseText, "");
    for (const QString& call : windows.calls) {
        EXPECT_FALSE(call.startsWith("setConfigModulesOffCaption")) << call.toStdString();
    }
}

TEST_F(Reads, ARunTimeFailureInsideAReadIsAFailedRead)
{
    write("scale.ini",
          readText(KivoGlobals::ScaleIniPath) + "\n[TYPE8]\nType=Big\nMaxCurrent=40000\n");
    scriptFullUnit();
    link->reply("GetModuleType", 5, {8});
    unit.ReadKivoSetup("3");

    const char* text = "Run-time error in ReadKivoSetup for Unit 3: Overflow";
    EXPECT_EQ(lastStep(), "GetModuleType 3 5");
    EXPECT_FALSE(link->portOpen);
    EXPECT_EQ(logMessages(), QStringList{text});
    EXPECT_EQ(KivoGlobals::LastErrorText, text);
    EXPECT_TRUE(KivoGlobals::ErrorFlag);
    EXPECT_FALSE(unit.linkOk());
}

TEST_F(Reads, ASlotWithoutScalingIsReadWithoutItsValuesAndTheReadGoesOn)
{
    // Slot 3 holds a type that scale.ini does not know; its counts are still asked for, so the
    // exchanges are those of a unit of known types.
    struct Case {
        const char* what;
        void (KivoData::*read)(const QString&);
        bool logging;
        std::vector<int> currents; // the current counts of slots 1, 3 and 5
    };
    const Case cases[] = {
        {"the configuration read", &KivoData::ReadKivoSetup, false, {}},
        {"the monitor's full read", &KivoData::ReadKivoMonitor, false, {500, 700, 300}},
        {"the monitor's read while logging", &KivoData::ReadKivoMonitor, true, {500, 700, 300}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Calls known;
        for (const int type : {1, 9}) {
            QFile::remove(KivoGlobals::ErrorLogPath);
            KivoGlobals::LoggingInProgress = c.logging;
            windows.progressText = kHeading;
            link = FakeLink::create();
            KivoGlobals::DeviceLink = link->dispatchOf();
            scriptFullUnit();
            link->reply("GetModuleType", 3, {type});
            if (!c.currents.empty()) {
                link->reply("MeasureOutputCurrent", 1, {c.currents[0]});
                link->reply("MeasureOutputCurrent", 3, {c.currents[1]});
                link->reply("MeasureOutputCurrent", 5, {c.currents[2]});
                link->reply("MeasureOutputVoltage", 1, {1200});
                link->reply("MeasureOutputVoltage", 3, {5000});
                link->reply("MeasureOutputVoltage", 5, {2400});
            }
            unit = KivoData();
            (unit.*c.read)("3");
            if (type == 1) {
                known = link->calls;
                continue;
            }

            EXPECT_EQ(link->calls, known);
            EXPECT_FALSE(link->portOpen);
            EXPECT_FALSE(KivoGlobals::ErrorFlag);
            EXPECT_EQ(KivoGlobals::LastErrorText, "");
            // One line for the slot, however many of its values had no factor.
            EXPECT_EQ(logMessages(),
                      QStringList{
                          "Module in slot 3 of Unit 3: no scaling record for TYPE9 in scale.ini"});
            EXPECT_EQ(unit.ModuleType[3], "TYPE9");
            EXPECT_EQ(unit.MC[3], "N/A");
            if (c.read == &KivoData::ReadKivoSetup) {
                EXPECT_EQ(windows.progressText, kHeading + setupProgress(25) + "Ok\r\n");
                EXPECT_EQ(unit.VSP[1], "12");
                EXPECT_EQ(unit.VSP[3], "");
                EXPECT_EQ(unit.VSP[5], "24");
                // The thresholds are counts: no factor needed.
                EXPECT_EQ(unit.VHL[3], "5250");
                EXPECT_EQ(unit.CL[1], "10");
                EXPECT_EQ(unit.CL[3], ""); // the type has no section: left as it was
                EXPECT_EQ(unit.CL[5], "6");
                EXPECT_EQ(unit.MS[3], "1122334455");
                EXPECT_EQ(unit.GID[5], 3);
            } else {
                EXPECT_EQ(unit.MCUR[1], "5.00");
                EXPECT_EQ(unit.MCUR[3], "");
                EXPECT_EQ(unit.MCUR[5], "0.30");
                EXPECT_EQ(unit.MV[1], "12.00");
                EXPECT_EQ(unit.MV[3], "");
                EXPECT_EQ(unit.MV[5], "24.00");
                EXPECT_EQ(unit.VSP[3], "");
                EXPECT_EQ(unit.VSP[5], c.logging ? "" : "24");
            }
        }
    }
    KivoGlobals::LoggingInProgress = false;
}

TEST_F(Reads, AFactorThatIsZeroOrNoNumberLeavesTheValueBlank)
{
    write("scale.ini",
          readText(KivoGlobals::ScaleIniPath) +
              "\n[TYPE6]\nType=KM-Zero\nVoltageScaleFactor=0\nCurrentScaleFactor=abc\n");
    scriptFullUnit();
    link->reply("GetModuleType", 3, {6});
    link->reply("MeasureOutputCurrent", 3, {700});
    link->reply("MeasureOutputVoltage", 3, {5000});
    unit.CL[3] = "20";
    unit.ReadKivoMonitor("3");

    EXPECT_FALSE(KivoGlobals::ErrorFlag);
    EXPECT_EQ(unit.VSP[3], "");
    EXPECT_EQ(unit.MCUR[3], "");
    EXPECT_EQ(unit.MV[3], "");
    EXPECT_EQ(unit.CL[3], ""); // a limit that could not be converted is not the old one
    EXPECT_EQ(logMessages(),
              QStringList{"Module in slot 3 of Unit 3: no scaling record for TYPE6 in scale.ini"});

    // The next read names it again.
    QFile::remove(KivoGlobals::ErrorLogPath);
    unit.ReadKivoMonitor("3");
    EXPECT_EQ(logMessages().size(), 1);
}

TEST_F(Reads, MonitorReadSkipsWhatTheRefreshReadsItselfWhileLogging)
{
    const Calls typed = perSlot("GetModuleType");
    const Calls limits = {"GetCurrentLimit 3 1", "GetModuleType 3 1",   "GetCurrentLimit 3 3",
                          "GetModuleType 3 3",   "GetCurrentLimit 3 5", "GetModuleType 3 5"};
    struct Case {
        bool logging;
        Calls calls;
    };
    const Case cases[] = {
        {false, joined<std::string>(
                    {{"OpenPort /dev/ttyFAKE0", "GetPresentModules 3"},
                     typed,
                     {"GetModuleGoodStatusByte 3"},
                     typed,
                     {"GetOutputState 3", "GetGlobalStatusByte 3", "GetOperatingHoursString 3",
                      "GetGlobalOutputState 3", "GetGroupState 3"},
                     typed,
                     perSlot("GetDefaultOutputVoltage"),
                     perSlot("MeasureOutputCurrent"),
                     perSlot("MeasureOutputVoltage"),
                     {"GetMasterSlaveMode 3"},
                     perSlot("GetGroupID"),
                     perSlot("GetModuleGoodLowThreshold"),
                     perSlot("GetModuleGoodHighThreshold"),
                     limits,
                     {"ClosePort"}})},
        {true, joined<std::string>({{"OpenPort /dev/ttyFAKE0", "GetPresentModules 3"},
                                    typed,
                                    {"GetModuleGoodStatusByte 3"},
                                    typed,
                                    {"GetGlobalStatusByte 3", "GetOperatingHoursString 3",
                                     "GetGlobalOutputState 3"},
                                    typed,
                                    perSlot("MeasureOutputCurrent"),
                                    perSlot("MeasureOutputVoltage"),
                                    {"ClosePort"}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logging);
        link->calls.clear();
        scriptFullUnit();
        link->replyText("GetOperatingHoursString", 0, "258");
        link->reply("MeasureOutputVoltage", 1, {1200});
        KivoGlobals::LoggingInProgress = c.logging;
        unit.outputstate = "11111000"; // kept only while logging
        unit.VSP[1] = "old";
        unit.ReadKivoMonitor("3");
        EXPECT_EQ(link->calls, c.calls);
        EXPECT_EQ(unit.OperatingHours, "258");
        EXPECT_EQ(unit.MV[1], "12.00");
        EXPECT_EQ(unit.outputstate, c.logging ? "11111000" : "10100000");
        EXPECT_EQ(unit.VSP[1], c.logging ? "old" : "12");
        EXPECT_EQ(unit.UnitID, "");
        EXPECT_FALSE(KivoGlobals::ErrorFlag);
    }
}

TEST_F(Reads, MonitorReadWithoutModuleTypesReadsNoModules)
{
    scriptFullUnit();
    link->fail("GetModuleType", "CMD_NORESPONSE");
    unit.ReadKivoMonitor("3");
    EXPECT_EQ(lastStep(), "GetModuleType 3 1");
    EXPECT_TRUE(callsOf("MeasureOutputVoltage").empty());
    EXPECT_TRUE(callsOf("GetGroupState").size() == 1);
}

TEST_F(Reads, ModuleGoodReadOpensReadsAndCloses)
{
    link->reply("GetModuleGoodStatusByte", {0x03});
    KivoGlobals::ErrorFlag = true;
    unit.ReadKivo("3");
    EXPECT_EQ(link->calls,
              (Calls{"OpenPort /dev/ttyFAKE0", "GetModuleGoodStatusByte 3", "ClosePort"}));
    EXPECT_EQ(unit.ModuleGood, "11000000");
    EXPECT_FALSE(KivoGlobals::ErrorFlag);
}

class Write : public UnitTest {
protected:
    // Slots 1 and 3 with the factors of types 2 and 1, settings in the user's notation.
    void SetUp() override
    {
        UnitTest::SetUp();
        useLocale(commaLocale);
        link->reply("GetModuleType", 1, {2});
        link->reply("GetModuleType", 3, {1});
        KivoGlobals::moduleScaling(1).VoltageScaleFactor = 100;
        KivoGlobals::moduleScaling(3).VoltageScaleFactor = 1000;
        unit.PresentModule = "10100000";
        unit.FanFail = true;
        unit.OverTemp = true;
        unit.GlobalOnOff = true;
        unit.GlobalOutputState = true;
        unit.PM[1] = "0";
        unit.PM[3] = "1";
        unit.P[1] = unit.P[3] = "1";
        unit.StartUpState[1] = "1";
        unit.StartUpState[3] = "0";
        unit.StartUpDelay[1] = "250";
        unit.StartUpDelay[3] = "50000";
        unit.VSP[1] = "12,5";
        unit.VSP[3] = "5,125";
        unit.VLL[1] = "1140";
        unit.VLL[3] = "4750";
        unit.VHL[1] = "1260";
        unit.VHL[3] = "5250";
        unit.CLM[1] = "Hiccup";
        unit.CLM[3] = "hiccup"; // not a mode name: left as the unit has it
        unit.ER[1] = unit.ER[3] = "1";
        unit.CL[1] = "7,5";
        unit.CL[3] = "20";
    }
};

TEST_F(Write, SendsEverySettingScaledToTheRegisterItWasReadFrom)
{
    KivoGlobals::ErrorFlag = true; // left by an earlier action
    unit.WriteKivo("3");
    EXPECT_EQ(link->calls, (Calls{"OpenPort /dev/ttyFAKE0",
                                  "SetFanFailPolarity 3 1",
                                  "SetGlobalDCGoodPolarity 3 0",
                                  "SetOTFailPolarity 3 1",
                                  "SetDefaultGlobalOutputPolarity 3 1",
                                  "SetDefaultGroupState 3 0",
                                  "SetDefaultGlobalOutputState 3 1",
                                  "SetProgrammingMode 3 1 0",
                                  "SetProgrammingMode 3 3 1",
                                  "SetDefaultOutputOnOffPolarity 3 1 1",
                                  "SetDefaultOutputOnOffPolarity 3 3 1",
                                  "SetDefaultOutputOnOffState 3 1 1",
                                  "SetDefaultOutputOnOffState 3 3 0",
                                  "SetOutputTurnONDelay 3 1 250",
                                  "SetOutputTurnONDelay 3 3 50000",
                                  "SetDefaultOutputVoltage 3 1 1250",
                                  "SetDefaultOutputVoltage 3 3 5125",
                                  "SetModuleGoodLowThreshold 3 1 1140",
                                  "SetModuleGoodLowThreshold 3 3 4750",
                                  "SetModuleGoodHighThreshold 3 1 1260",
                                  "SetModuleGoodHighThreshold 3 3 5250",
                                  "SetCurrentLimitMode 3 1 2 1",
                                  "GetModuleType 3 1",
                                  "SetCurrentLimit 3 1 750",
                                  "GetModuleType 3 3",
                                  "SetCurrentLimit 3 3 2000",
                                  "ClosePort"}));
    EXPECT_FALSE(KivoGlobals::ErrorFlag);
    EXPECT_EQ(unit.UnitID, "3");
}

TEST_F(Write, StopsAtTheFirstFailedSetting)
{
    link->fail("SetOTFailPolarity", "CMD_ERROR");
    unit.WriteKivo("3");
    EXPECT_EQ(lastStep(), "SetOTFailPolarity 3 1");
    EXPECT_EQ(KivoGlobals::LastErrorText, "Error in SetOTFailPolarity in Unit 3 CMD_ERROR");
}

TEST_F(Write, AValueBeyondTheRangeIsAFailedWrite)
{
    struct Case {
        const char* what;
        std::function<void(KivoData&)> change;
        const char* text;
        const char* lastCall;
    };
    const Case cases[] = {
        {"a current limit of 400 A is 40000 counts", [](KivoData& u) { u.CL[1] = "400"; },
         "Run-time error in WriteKivo for Unit 3: Overflow", "GetModuleType 3 1"},
        {"a turn-on delay beyond 65535 ms", [](KivoData& u) { u.StartUpDelay[3] = "70000"; },
         "Run-time error in WriteKivo for Unit 3: Overflow", "SetOutputTurnONDelay 3 1 250"},
        {"a set point without a number", [](KivoData& u) { u.VSP[1] = "N/A"; },
         "Run-time error in WriteKivo for Unit 3: Type mismatch", "SetOutputTurnONDelay 3 3 50000"},
        {"a slot without a voltage factor",
         [](KivoData&) { KivoGlobals::moduleScaling(3).VoltageScaleFactor = 0; },
         "Run-time error in WriteKivo for Unit 3: Division by zero",
         "SetDefaultOutputVoltage 3 1 1250"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(KivoGlobals::ErrorLogPath);
        link->calls.clear();
        KivoData copy = unit;
        c.change(copy);
        copy.WriteKivo("3");
        KivoGlobals::moduleScaling(3).VoltageScaleFactor = 1000;
        EXPECT_EQ(lastStep(), c.lastCall);
        EXPECT_EQ(logMessages(), QStringList{c.text});
        EXPECT_EQ(KivoGlobals::LastErrorText, c.text);
        EXPECT_TRUE(KivoGlobals::ErrorFlag);
    }
}

} // namespace
