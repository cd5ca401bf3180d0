// The unit object's single members on a scripted link: what each stores, how each reports a
// failure, the port members and the helpers.
#include "KivoSoft/model/INI.h"
#include "KivoSoft/model/tests/unit_fixture.h"

#include <functional>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::desktop::DesktopCall;
using kivo::desktop::vbCritical;
using kivo::desktop::vbOKOnly;

namespace {

class Members : public UnitTest {
protected:
    void SetUp() override
    {
        UnitTest::SetUp();
        // A read of unit 3 gives the object its unit; the members below then address it.
        unit.ReadKivo("3");
        unit.PresentModule = "10000000";
        link->calls.clear();
        link->arrayShapes.clear();
        desktop.clear();
    }
};

TEST_F(Members, EveryFailureTextForm)
{
    struct Case {
        const char* member;
        std::function<void(KivoData&)> run;
        const char* operation;
        const char* log;
        const char* lastError;
    };
    auto prepareModule = [](KivoData& u) {
        u.CL[1] = "2";
        u.CLM[1] = "Normal";
        u.ER[1] = "0";
        u.StartUpState[1] = "1";
        u.P[1] = "1";
        u.PM[1] = "0";
        u.StartUpDelay[1] = "100";
        u.VHL[1] = "1260";
        u.VLL[1] = "1140";
        u.VSP[1] = "12";
        u.ModuleGood = "10000000";
        KivoGlobals::moduleScaling(1).VoltageScaleFactor = 100;
    };
#define MEMBER(name)                                                                               \
#name, [&](KivoData& u) { prepareModule(u); u.name(); }
    const Case cases[] = {
        {MEMBER(GetModuleGoodStatusByte), "GetModuleGoodStatusByte",
         "Error in GetModuleGoodStatusByte for Unit 3",
         "Error in GetModuleGoodStatusByte for Unit 3 CMD_NORESPONSE"},
        {MEMBER(GetMasterSlaveMode), "GetMasterSlaveMode", "Error in GetMasterSlaveMode for Unit 3",
         "Error in GetMasterSlaveMode for Unit 3 CMD_NORESPONSE"},
        {MEMBER(GetOutputState), "GetOutputState", "Error in GetOutputState for Unit 3",
         "Error in GetOutputState for Unit 3 CMD_NORESPONSE"},
        {MEMBER(GetUnitSerialN), "GetUnitSerialN", "Error in GetUnitSerialNumber for Unit 3",
         "Error in GetUnitSerialNumber for Unit 3 "},
        {MEMBER(GetGlobalStatusByte), "GetGlobalStatusByte",
         "Error in GetGlobalStatusByte in Unit  3",
         "Error in GetGlobalStatusByte in Unit 3 CMD_NORESPONSE"},
        {MEMBER(GetFanFailPolarity), "GetFanFailPolarity", "Error in GetFanFailPolarity in Unit  3",
         "Error in GetFanFailPolarity in Unit 3 CMD_NORESPONSE"},
        {MEMBER(GetGlobalDCGoodPolarity), "GetGlobalDCGoodPolarity",
         "Error in GetGlobalDCGoodPolarity in Unit  3",
         "Error in GetGlobalDCGoodPolarity in Unit 3 CMD_NORESPONSE"},
        {MEMBER(GetGroupState), "GetGroupState", "Error in GetGroupState in Unit  3",
         "Error in GetGroupState in Unit 3 CMD_NORESPONSE"},
        {MEMBER(GetOTFailPolarity), "GetOTFailPolarity", "Error in GetOTFailPolarity in Unit  3",
         "Error in GetOTFailPolarity in Unit 3 CMD_NORESPONSE"},
        {MEMBER(GetDefaultGlobalOutputPolarity), "GetDefaultGlobalOutputPolarity",
         "Error in GetDefaultGlobalOutputPolarity in Unit  3",
         "Error in GetDefaultGlobalOutputPolarity in Unit 3 0"},
        {MEMBER(GetDefaultGlobalOutputState), "GetDefaultGlobalOutputState",
         "Error in GetDefaultGlobalOutputState in Unit  3",
         "Error in GetDefaultGlobalOutputState in Unit 3 0"},
        {MEMBER(GetDefaultGroupState), "GetDefaultGroupState",
         "Error in GetDefaultGroupState in Unit  3", "Error in GetDefaultGroupState in Unit 3 0"},
        {MEMBER(GetUnitVersion), "GetUnitVersion", "Error in GetUnitVersion for Unit 3",
         "Error in GetUnitVersion for Unit 3"},
        {MEMBER(GetGlobalOutputState), "GetGlobalOutputState",
         "Error in GetGlobalOutputState in Unit  3",
         "Error in GetGlobalOutputState in Unit 3 CMD_NORESPONSE"},
        {MEMBER(GetOperatingHours), "GetOperatingHoursString",
         "Error in GetOperatingHours in Unit  3",
         "Error in GetOperatingHours in Unit 3 CMD_NORESPONSE"},
        {"SetGlobalOutputState", [](KivoData& u) { u.SetGlobalOutputState(7, 1); },
         "SetGlobalOutputState", "Error in SetGlobalOutputState in Unit  7",
         "Error in SetGlobalOutputState in Unit 7 CMD_NORESPONSE"},
        {"SetGroupState", [](KivoData& u) { u.SetGroupState(7, 1); }, "SetGroupState",
         "Error in SetGroupState in Unit  7", "Error in SetGroupState in Unit 7"},
        {MEMBER(SetDefaultGlobalOutputPolarity), "SetDefaultGlobalOutputPolarity",
         "Error in  Unit 3", "Error in SetDefaultGlobalOutputPolarity for Unit 3 CMD_NORESPONSE"},
        {MEMBER(SetDefaultGlobalOutputState), "SetDefaultGlobalOutputState", "Error in  Unit 3",
         "Error in SetDefaultGlobalOutputState for Unit 3 CMD_NORESPONSE"},
        {MEMBER(SetDefaultGroupState), "SetDefaultGroupState", "Error in  Unit 3",
         "Error in SetDafaultGroupState for Unit 3 CMD_NORESPONSE"},
        {MEMBER(SetFanFailPolarity), "SetFanFailPolarity", "Error in  Unit 3",
         "Error in SetFanFailPolarity for Unit 3 CMD_NORESPONSE"},
        {MEMBER(SetGlobalDCGoodPolarity), "SetGlobalDCGoodPolarity",
         "Error in SetGlobalDCGoodPolarity in Unit  3",
         "Error in SetGlobalDCGoodPolarity in Unit 3 CMD_NORESPONSE"},
        {MEMBER(SetOTFailPolarity), "SetOTFailPolarity", "Error in SetOTFailPolarity in Unit  3",
         "Error in SetOTFailPolarity in Unit 3 CMD_NORESPONSE"},
        {MEMBER(GetModuleSerialN), "GetModuleSerialN",
         "Error in GetModuleSerialN in Unit  3 and Module 1",
         "Error in GetModuleSerialN in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetCurrentLimitMode), "GetCurrentLimitMode",
         "Error in GetCurrentLimitMode in Unit  3 and Module 1",
         "Error in GetCurrentLimitMode in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetDefaultOutputOnOffPolarity), "GetDefaultOutputOnOffPolarity",
         "Error in GetDefaultOutputOnOffPolarity in Unit  3 and Module 1",
         "Error in GetDefaultOutputOnOffPolarity in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetDefaultOutputOnOffState), "GetDefaultOutputOnOffState",
         "Error in GetDefaultOutputOnOffState in Unit  3 and Module 1",
         "Error in GetDefaultOutputOnOffState in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetProgrammingMode), "GetProgrammingMode",
         "Error in GetProgrammingMode in Unit  3 and Module 1",
         "Error in GetProgrammingMode in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetOutputTurnONDelay), "GetOutputTurnONDelayExUShort",
         "Error in GetOutputTurnONDelay in Unit  3 and Module 1",
         "Error in GetOutputTurnONDelay in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetModuleGoodLowThreshold), "GetModuleGoodLowThreshold",
         "Error in GetModuleGoodLowThreshold in Unit  3 and Module 1",
         "Error in GetModuleGoodLowThreshold in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetModuleGoodHighThreshold), "GetModuleGoodHighThreshold",
         "Error in GetModuleGoodHighThreshold in Unit  3 and Module 1",
         "Error in GetModuleGoodHighThreshold in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetCurrentLimit), "GetCurrentLimit",
         "Error in GetCurrentLimit in Unit  3 and Module 1",
         "Error in GetCurrentLimit in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetCurrentLimitONTime), "GetCurrentLimitONTimeExUShort",
         "Error in GetCurrentLimitONTime in Unit  3 and Module 1",
         "Error in GetCurrentLimitONTime in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetCurrentLimitOFFTime), "GetCurrentLimitOFFTimeExUShort",
         "Error in GetCurrentLimitOFFTime in Unit  3 and Module 1",
         "Error in GetCurrentLimitOFFTime in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetGroupID), "GetGroupID", "Error in GetGroupID in Unit  3 and Module 1",
         "Error in GetGroupID in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetModuleVersion), "GetModuleVersion",
         "Error in GetModuleVersion in Unit  3 and Module 1",
         "Error in GetModuleVersion in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(GetOutputVoltageSetpoint), "GetDefaultOutputVoltage",
         "Error in GetOutputVoltageSetpoint in Unit  3 and Module 1",
         "Error in GetOutputVoltageSetpoint in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(MeasureOutputCurrent), "MeasureOutputCurrent",
         "Error in MeasureOutputCurrent in Unit  3 and Module 1",
         "Error in MeasureOutputCurrent in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(MeasureOutputVoltage), "MeasureOutputVoltage",
         "Error in MeasureOutputVoltage in Unit  3 and Module 1",
         "Error in MeasureOutputVoltage in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(SetCurrentLimit), "SetCurrentLimit",
         "Error in SetCurrentLimit in Unit  3 and Module 1",
         "Error in SetCurrentLimit in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(SetCurrentLimitMode), "SetCurrentLimitMode",
         "Error in SetCurrentLimitMode in Unit  3 and Module 1",
         "Error in SetCurrentLimitMode in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(SetDefaultOutputOnOffState), "SetDefaultOutputOnOffState",
         "Error in SetDefaultOutputOnOffState in Unit  3 and Module 1",
         "Error in SetDefaultOutputOnOffState in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(SetDefaultOutputOnOffPolarity), "SetDefaultOutputOnOffPolarity", "Error in  Unit 3",
         "Error in SetDefaultOutputOnOffPolarity for Unit 3 CMD_NORESPONSE"},
        {MEMBER(SetProgrammingMode), "SetProgrammingMode",
         "Error in SetProgrammingMode in Unit  3 and Module 1",
         "Error in SetProgrammingMode in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(SetOutputTurnONDelay), "SetOutputTurnONDelay",
         "Error in SetOutputTurnONDelay in Unit  3 and Module 1",
         "Error in SetOutputTurnONDelay in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(SetModuleGoodHighThreshold), "SetModuleGoodHighThreshold",
         "Error in SetModuleGoodHighThreshold in Unit  3 and Module 1",
         "Error in SetModuleGoodHighThreshold in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(SetModuleGoodLowThreshold), "SetModuleGoodLowThreshold",
         "Error in SetModuleGoodLowThreshold in Unit  3 and Module 1",
         "Error in SetModuleGoodLowThreshold in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(SetAllOutputVoltageSetpoint), "SetDefaultOutputVoltage",
         "Error in SetOutputVoltageSetpoint in Unit  3 and Module 1",
         "Error in SetOutputVoltageSetpoint in Unit 3 and Module 1 CMD_NORESPONSE"},
        {MEMBER(SetGroupID), "SetOutputVoltageSetpoint",
         "Error in SetOutputVoltageSetpoint in Unit  3 and Module 1",
         "Error in SetOutputVoltageSetpoint in Unit 3 and Module 1 CMD_NORESPONSE"},
        {"SetOutputState", [](KivoData& u) { u.SetOutputState(3, 2, 1); }, "SetOutputState",
         "Error in SetOuputState in Unit  3 and Module 2",
         "Error in SetOuputState in Unit 3 and Module 2 CMD_NORESPONSE"},
    };
#undef MEMBER
    link->reply("GetModuleType", 1, {2});
    int lines = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member);
        KivoGlobals::ErrorFlag = false;
        KivoGlobals::LastErrorText.clear();
        link->fail(c.operation, "CMD_NORESPONSE", 0, 1);
        c.run(unit);
        ASSERT_EQ(logMessages().size(), ++lines);
        EXPECT_EQ(logMessages().last(), c.log);
        EXPECT_EQ(KivoGlobals::LastErrorText, c.lastError);
        EXPECT_TRUE(KivoGlobals::ErrorFlag);
        EXPECT_EQ(unit.lastResult(), "CMD_NORESPONSE");
    }
    // Only the set point read shows a message of its own.
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Error#2303");
    EXPECT_EQ(messages()[0].title, "Error Handler");
    EXPECT_EQ(messages()[0].style, vbCritical);
}

TEST_F(Members, AFailureThatCannotBeLoggedStillSetsTheErrorState)
{
    KivoGlobals::ErrorLogPath = path("no/such/folder/error11.txt");
    link->fail("GetFanFailPolarity", "CMD_CRCERROR");
    unit.GetFanFailPolarity();
    EXPECT_TRUE(KivoGlobals::ErrorFlag);
    EXPECT_EQ(KivoGlobals::LastErrorText, "Error in GetFanFailPolarity in Unit 3 CMD_CRCERROR");
}

TEST_F(Members, ModuleMembersAddressOnlyThePresentSlots)
{
    unit.PresentModule = "10100000";
    unit.GetProgrammingMode();
    EXPECT_EQ(link->calls,
              (std::vector<std::string>{"GetProgrammingMode 3 1", "GetProgrammingMode 3 3"}));
    EXPECT_EQ(unit.currentModule(), 6);

    // A failure in one slot does not stop the next.
    link->calls.clear();
    link->fail("GetProgrammingMode", "CMD_ERROR", 1);
    link->reply("GetProgrammingMode", 3, {1});
    unit.GetProgrammingMode();
    EXPECT_EQ(link->calls.size(), 2u);
    EXPECT_EQ(unit.PM[3], "1");
}

TEST_F(Members, UnitValuesAreStoredAsTheirFlags)
{
    struct Case {
        const char* operation;
        int value;
        void (KivoData::*member)();
        bool KivoData::*flag;
        bool expected;
    };
    const Case cases[] = {
        {"GetFanFailPolarity", 1, &KivoData::GetFanFailPolarity, &KivoData::FanFail, true},
        {"GetFanFailPolarity", 2, &KivoData::GetFanFailPolarity, &KivoData::FanFail, false},
        {"GetGlobalDCGoodPolarity", 1, &KivoData::GetGlobalDCGoodPolarity, &KivoData::GlobalDC,
         true},
        {"GetOTFailPolarity", 1, &KivoData::GetOTFailPolarity, &KivoData::OverTemp, true},
        {"GetGroupState", 1, &KivoData::GetGroupState, &KivoData::Group, true},
        {"GetDefaultGroupState", 0, &KivoData::GetDefaultGroupState, &KivoData::Group, false},
        {"GetDefaultGlobalOutputPolarity", 1, &KivoData::GetDefaultGlobalOutputPolarity,
         &KivoData::GlobalOnOff, true},
        {"GetDefaultGlobalOutputState", 1, &KivoData::GetDefaultGlobalOutputState,
         &KivoData::GlobalOutputState, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.operation << " " << c.value);
        unit.*c.flag = !c.expected;
        link->reply(c.operation, {c.value});
        (unit.*c.member)();
        EXPECT_EQ(unit.*c.flag, c.expected);
    }
    EXPECT_TRUE(KivoGlobals::DefaultGlobalPolarityFlag);
    EXPECT_TRUE(KivoGlobals::DefaultGlobalStateFlag);
    EXPECT_FALSE(KivoGlobals::ErrorFlag);
}

TEST_F(Members, StatusBytesBecomeDigitsWithBitZeroFirst)
{
    link->reply("GetModuleGoodStatusByte", {0x05});
    link->reply("GetOutputState", {0x1E});
    unit.GetModuleGoodStatusByte();
    unit.GetOutputState();
    EXPECT_EQ(unit.ModuleGood, "10100000");
    EXPECT_EQ(KivoGlobals::ModuleGoodBits, "10100000");
    EXPECT_EQ(unit.outputstate, "01111000");
    EXPECT_EQ(KivoGlobals::OutputStates, "01111000");
    EXPECT_EQ(link->arrayShapes, (std::vector<std::pair<int, int>>{{1, 8}, {1, 8}}));

    // A failed read resets the digits.
    link->fail("GetOutputState", "CMD_ERROR");
    unit.GetOutputState();
    EXPECT_EQ(unit.outputstate, "00000000");
}

TEST_F(Members, GlobalStatusByteSetsTheLiveFlags)
{
    // Bits 0-4 and 7 are the flags; bit 5 sets the error flag, bit 6 clears the module-good digits.
    link->reply("GetGlobalStatusByte", {0b1001'0101});
    unit.ModuleGood = "11111000";
    unit.GetGlobalStatusByte();
    EXPECT_TRUE(unit.OverTemp);
    EXPECT_FALSE(unit.FanFail);
    EXPECT_TRUE(unit.ACFail);
    EXPECT_FALSE(unit.GlobalDC);
    EXPECT_TRUE(unit.GlobalCurrentLimit);
    EXPECT_TRUE(unit.FanWarning);
    EXPECT_FALSE(KivoGlobals::ErrorFlag);
    EXPECT_EQ(unit.ModuleGood, "11111000");

    link->reply("GetGlobalStatusByte", {0b0110'0000});
    unit.GetGlobalStatusByte();
    EXPECT_TRUE(KivoGlobals::ErrorFlag);
    // The error bit fails the read with a text of its own, in the log too.
    EXPECT_EQ(KivoGlobals::LastErrorText, "Unit 3 reports an error in its global status byte");
    EXPECT_EQ(logMessages(), QStringList{"Unit 3 reports an error in its global status byte"});
    EXPECT_EQ(unit.ModuleGood, "00000000");
    EXPECT_FALSE(unit.OverTemp);
    EXPECT_FALSE(unit.FanWarning);

    // A failed read keeps every flag.
    unit.OverTemp = true;
    link->fail("GetGlobalStatusByte", "CMD_ERROR");
    unit.GetGlobalStatusByte();
    EXPECT_TRUE(unit.OverTemp);
}

TEST_F(Members, MasterSlaveBytesDecodeIntoGroupCodes)
{
    // Master byte 0x53: low nibble 0011 = 3, high nibble 0101 = 5; slave 0x76 holds 6 and 7,
    // which are no group codes and read 0.
    link->reply("GetMasterSlaveMode", {0x7653});
    unit.GetMasterSlaveMode();
    EXPECT_EQ(unit.MasterGroup1, 3);
    EXPECT_EQ(unit.MasterGroup2, 5);
    EXPECT_EQ(unit.SlaveGroup1, 0);
    EXPECT_EQ(unit.SlaveGroup2, 0);
    EXPECT_EQ(unit.currentModule(), 9);
}

TEST_F(Members, TextsVersionsHoursAndModesAreKeptAsText)
{
    unit.PresentModule = "10000000";
    link->replyText("GetUnitSerialN", 0, "21436587A9");
    link->replyText("GetModuleSerialN", 1, "0A1B2C3D4E");
    link->reply("GetUnitVersion", {2, 5});
    link->reply("GetModuleVersion", 1, {1, 31});
    link->replyText("GetOperatingHoursString", 0, "");
    link->reply("GetCurrentLimitMode", 1, {4, 1});
    unit.CLM[1] = "Latching";
    link->reply("GetOutputTurnONDelayExUShort", 1, {50000});
    link->reply("GetModuleGoodLowThreshold", 1, {-2});

    unit.GetUnitSerialN();
    unit.GetModuleSerialN();
    unit.GetUnitVersion();
    unit.GetModuleVersion();
    unit.GetOperatingHours();
    unit.GetCurrentLimitMode();
    unit.GetOutputTurnONDelay();
    unit.GetModuleGoodLowThreshold();

    EXPECT_EQ(unit.SerialNumber, "21436587A9");
    EXPECT_EQ(unit.VSerialNumber(), "21436587A9");
    EXPECT_EQ(unit.MS[1], "0A1B2C3D4E");
    EXPECT_EQ(unit.Version1, "2");
    EXPECT_EQ(unit.Version2, "5");
    EXPECT_EQ(unit.MMV[1], "1");
    EXPECT_EQ(unit.MMinV[1], "31");
    EXPECT_EQ(unit.OperatingHours, "0");
    EXPECT_EQ(unit.CLM[1], "Latching"); // mode 4 has no name: the old one stays
    EXPECT_EQ(unit.ER[1], "1");
    EXPECT_EQ(unit.StartUpDelay[1], "50000");
    EXPECT_EQ(unit.VLL[1], "-2");
}

TEST_F(Members, GlobalOutputStateOneMeansTheOutputIsOn)
{
    link->reply("GetGlobalOutputState", {1});
    unit.Group = false;
    unit.GetGlobalOutputState();
    EXPECT_TRUE(unit.GlobalOutput);
    EXPECT_FALSE(unit.Group);

    link->reply("GetGlobalOutputState", {0});
    unit.GetGlobalOutputState();
    EXPECT_TRUE(unit.GlobalOutput); // never set back here
}

TEST_F(Members, CurrentLimitDividesByTheTypesFactorAsARealNumber)
{
    write("scale.ini", readText(KivoGlobals::ScaleIniPath) +
                           "\n[TYPE7]\nType=Half\nCurrentScaleFactor=0.5\n"
                           "[TYPE8]\nType=Zero\nCurrentScaleFactor=0\n");
    struct Case {
        const QLocale& locale;
        int type;
        int raw;
        const char* limit;
    };
    const Case cases[] = {
        {pointLocale, 2, 250, "2.5"},     {commaLocale, 2, 250, "2,5"},
        {pointLocale, 3, 12345, "12.34"}, {pointLocale, 7, 3, "6"},
        {pointLocale, 9, 250, "old"}, // no section for type 9: "N/A" leaves the limit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << c.type << " raw " << c.raw);
        useLocale(c.locale);
        unit.CL[1] = "old";
        link->reply("GetCurrentLimit", 1, {c.raw});
        link->reply("GetModuleType", 1, {c.type});
        unit.GetCurrentLimit();
        EXPECT_EQ(unit.CL[1], c.limit);
        EXPECT_EQ(unit.ModuleType[1], QString("TYPE%1").arg(c.type));
    }
    EXPECT_FALSE(KivoGlobals::ErrorFlag);
    // The type without a section is named once for its slot, however often it is read.
    EXPECT_EQ(logMessages(),
              QStringList{"Module in slot 1 of Unit 3: no scaling record for TYPE9 in scale.ini"});

    // A factor of 0: the count was read, the limit is blank rather than the old one.
    link->calls.clear();
    link->reply("GetModuleType", 1, {8});
    unit.GetCurrentLimit();
    EXPECT_EQ(unit.CL[1], "");
    EXPECT_EQ(link->calls, (std::vector<std::string>{"GetCurrentLimit 3 1", "GetModuleType 3 1"}));
    EXPECT_FALSE(KivoGlobals::ErrorFlag);
}

TEST_F(Members, AFailedCurrentLimitReadIsAFailureAndKeepsTheLimit)
{
    unit.CL[1] = "10";
    link->fail("GetCurrentLimit", "CMD_NORESPONSE");
    link->reply("GetModuleType", 1, {2});
    unit.GetCurrentLimit();
    EXPECT_EQ(unit.CL[1], "10");
    EXPECT_TRUE(KivoGlobals::ErrorFlag);
    EXPECT_EQ(KivoGlobals::LastErrorText,
              "Error in GetCurrentLimit in Unit 3 and Module 1 CMD_NORESPONSE");
    EXPECT_EQ(link->calls, std::vector<std::string>{"GetCurrentLimit 3 1"});
}

TEST_F(Members, MeasurementsAreScaledRoundedAndPadded)
{
    scriptUnitWithSlots135();
    unit.PresentModule = "10101000";
    unit.GetModuleType();
    link->reply("MeasureOutputVoltage", 1, {0});
    link->reply("MeasureOutputVoltage", 3, {5005}); // 5.005 V rounds half to even: 5.00
    link->reply("MeasureOutputVoltage", 5, {2415});
    link->reply("MeasureOutputCurrent", 1, {0}); // a reading of 0 shows one count
    link->reply("MeasureOutputCurrent", 3, {250});
    link->reply("MeasureOutputCurrent", 5, {1234});
    unit.MV[2] = unit.MV[4] = "untouched";

    unit.MeasureOutputVoltage();
    unit.MeasureOutputCurrent();

    EXPECT_EQ(unit.MV[1], "0");
    EXPECT_EQ(unit.MV[2], "untouched");
    EXPECT_EQ(unit.MV[3], "5.00");
    EXPECT_EQ(unit.MV[4], "untouched");
    EXPECT_EQ(unit.MV[5], "24.15");
    EXPECT_EQ(unit.MCUR[1], "0.01");
    EXPECT_EQ(unit.MCUR[3], "2.50");
    EXPECT_EQ(unit.MCUR[5], "1.23");
    EXPECT_EQ(callsOf("MeasureOutputVoltage").size(), 3u);
    EXPECT_FALSE(KivoGlobals::ErrorFlag);
}

TEST_F(Members, SetPointReadDividesByTheSlotsVoltageFactor)
{
    KivoGlobals::moduleScaling(1).VoltageScaleFactor = 1000;
    link->reply("GetDefaultOutputVoltage", 1, {5125});
    unit.GetOutputVoltageSetpoint();
    EXPECT_EQ(unit.VSP[1], "5.125");

    // No factor for the slot's type: the count is still read, the set point is blank.
    link->calls.clear();
    KivoGlobals::moduleScaling(1).VoltageScaleFactor = 0;
    KivoGlobals::moduleScaling(1).ModuleTypeNumber = 9;
    unit.GetOutputVoltageSetpoint();
    EXPECT_EQ(unit.VSP[1], "");
    EXPECT_EQ(link->calls, std::vector<std::string>{"GetDefaultOutputVoltage 3 1"});
    EXPECT_FALSE(KivoGlobals::ErrorFlag);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(logMessages(),
              QStringList{"Module in slot 1 of Unit 3: no scaling record for TYPE9 in scale.ini"});
}

TEST_F(Members, ModuleTypesNameTheSectionAndModelAndStopAtTheFirstSilentFailure)
{
    scriptUnitWithSlots135();
    unit.PresentModule = "10101000";
    unit.GetModuleType();
    EXPECT_TRUE(KivoGlobals::ModuleTypeRead);
    EXPECT_EQ(unit.ModuleType[3], "TYPE1");
    EXPECT_EQ(unit.MC[3], "KM-5V-20A");
    EXPECT_EQ(unit.MC[5], "KM-24V-6A");

    link->calls.clear();
    link->fail("GetModuleType", "CMD_ERROR", 3);
    unit.GetModuleType();
    EXPECT_FALSE(KivoGlobals::ModuleTypeRead);
    EXPECT_EQ(link->calls, (std::vector<std::string>{"GetModuleType 3 1", "GetModuleType 3 3"}));
    EXPECT_FALSE(KivoGlobals::ErrorFlag);
    EXPECT_TRUE(logMessages().isEmpty());
}

TEST_F(Members, OpenPortFailureShowsBothMessagesLogsAndClosesThePort)
{
    link->setOpenPortStatus("CMD_ERROR");
    EXPECT_FALSE(unit.OpenPort());

    const QString text = "Can not open Com port, make sure you selected the correct Com port "
                         "(COM1, COM2 ...)/dev/ttyFAKE0";
    EXPECT_EQ(logMessages(), QStringList{text});
    EXPECT_EQ(KivoGlobals::LastErrorText, text);
    EXPECT_TRUE(KivoGlobals::ErrorFlag);
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[0].text,
              "I could not open COM port, make sure you selected the proper COM port.");
    EXPECT_EQ(messages()[0].title, "Kivo, Software. Dravon Electronics");
    EXPECT_EQ(messages()[0].style, vbCritical);
    EXPECT_EQ(messages()[1].text, "ERROR " + text);
    EXPECT_EQ(messages()[1].title, "Kivo");
    EXPECT_EQ(messages()[1].style, vbOKOnly);
    EXPECT_EQ(link->calls, (std::vector<std::string>{"OpenPort /dev/ttyFAKE0", "ClosePort"}));
}

TEST_F(Members, GroupTurnOnDelayShowsItsResult)
{
    unit.GetGroupTurnONDelay();
    link->fail("GetGroupTurnONDelay", "CMD_ERROR");
    unit.GetGroupTurnONDelay();
    ASSERT_EQ(messages().size(), 3u);
    EXPECT_EQ(messages()[0].text, "CMD_OK");
    EXPECT_EQ(messages()[1].text, "Error Getting ModuleGood st");
    EXPECT_EQ(messages()[2].text, "CMD_ERROR");
    EXPECT_EQ(link->calls,
              (std::vector<std::string>{"GetGroupTurnONDelay 0", "GetGroupTurnONDelay 0"}));
}

TEST_F(Members, SetPointMemberOpensSendsAndClosesWithoutThrowing)
{
    unit.SetOutputVoltageSetpoint(3, 2, "1200");
    EXPECT_EQ(link->calls,
              (std::vector<std::string>{"OpenPort /dev/ttyFAKE0",
                                        "SetOutputVoltageSetpoint 3 2 1200", "ClosePort"}));
    EXPECT_FALSE(KivoGlobals::ErrorFlag);
    EXPECT_FALSE(unit.linkOk());
    EXPECT_EQ(unit.PresentModule, "00000000");

    // Text that is no 16-bit number is refused by the link's dispatch: a failed operation.
    link->calls.clear();
    unit.SetOutputVoltageSetpoint(3, 2, "40000");
    EXPECT_EQ(link->calls, (std::vector<std::string>{"OpenPort /dev/ttyFAKE0", "ClosePort"}));
    EXPECT_TRUE(KivoGlobals::ErrorFlag);
    EXPECT_TRUE(KivoGlobals::LastErrorText.startsWith(
        "Error in SetOutputVoltageSetpoint in Unit 3 and Module 2 SetOutputVoltageSetpoint:"))
        << KivoGlobals::LastErrorText.toStdString();
}

TEST_F(Members, LimitAndGroupSetPointsAreSentAsScaledCounts)
{
    unit.PresentModule = "10100000";
    unit.ModuleGood = "00100000";
    unit.CL[1] = "2.5";
    unit.CL[3] = "3";
    unit.VSP[3] = "5.25";
    KivoGlobals::moduleScaling(3).VoltageScaleFactor = 1000;
    link->reply("GetModuleType", 1, {2});
    link->fail("GetModuleType", "CMD_NORESPONSE", 3);

    unit.SetCurrentLimit();
    unit.SetGroupID();

    // Slot 3's type could not be read, so there is no factor to send its limit with.
    EXPECT_EQ(link->calls,
              (std::vector<std::string>{"GetModuleType 3 1", "SetCurrentLimit 3 1 250",
                                        "GetModuleType 3 3", "SetOutputVoltageSetpoint 3 3 5250"}));
    EXPECT_EQ(KivoGlobals::LastErrorText,
              "Error in SetCurrentLimit in Unit 3 and Module 3 CMD_NORESPONSE");
}

TEST_F(Members, SwitchingMembersPassTheirArguments)
{
    unit.SetOutputState(3, 2, 1);
    unit.SetGlobalOutputState(5, 0);
    unit.SetGroupState(5, 1);
    EXPECT_EQ(link->calls,
              (std::vector<std::string>{"SetOutputState 3 2 1", "SetGlobalOutputState 5 0",
                                        "SetGroupState 5 1"}));
}

TEST(KivoDataHelpers, InitElementsResetsStatesAndKeepsIdentity)
{
    KivoData u;
    u.UnitID = "4";
    u.GlobalCurrentLimit = u.GlobalOnOff = true;
    u.OverTemp = u.GlobalDC = u.FanFail = u.FanWarning = u.ACFail = u.GlobalOutput = u.Group = true;
    u.Line = "row";
    u.VSP[2] = "12";
    u.InitElements();
    EXPECT_EQ(u.ModuleGood, "00000000");
    EXPECT_EQ(u.outputstate, "00000000");
    EXPECT_EQ(u.PresentModule, "00000000");
    EXPECT_EQ(u.SignalPolarity, "1");
    EXPECT_FALSE(u.OverTemp || u.GlobalDC || u.FanFail || u.FanWarning || u.ACFail ||
                 u.GlobalOutput || u.Group);
    EXPECT_EQ(u.Line, "");
    EXPECT_TRUE(u.GlobalCurrentLimit);
    EXPECT_TRUE(u.GlobalOnOff);
    EXPECT_EQ(u.UnitID, "4");
    EXPECT_EQ(u.VSP[2], "12");
}

TEST(KivoDataHelpers, GroupCodesBetweenBitsAndNumbers)
{
    const char* codes[] = {"0000", "0001", "0010", "0011", "0100", "0101"};
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(KivoData::GetDecimalNumber(codes[n]), n);
        EXPECT_EQ(KivoData::GetBinaryNumber(QString::number(n)), QString(codes[n]));
    }
    for (const char* other : {"0110", "1111", "101", ""}) {
        EXPECT_EQ(KivoData::GetDecimalNumber(other), std::nullopt) << other;
    }
    for (const char* other : {"6", "-1", "", "01"}) {
        EXPECT_EQ(KivoData::GetBinaryNumber(other), std::nullopt) << other;
    }
}

TEST_F(Members, FormatDecimalsPadsToTwoDecimalsInTheUserNotation)
{
    const std::pair<const char*, const char*> point[] = {
        {"12", "12.00"},    {"12.", "12.00"},     {"12.5", "12.50"},
        {"12.25", "12.25"}, {"12.125", "12.125"}, {"", ".00"},
    };
    for (const auto& [in, out] : point) {
        EXPECT_EQ(KivoData::FormatDecimals(in), out) << in;
    }
    useLocale(commaLocale);
    const std::pair<const char*, const char*> comma[] = {
        {"3,4", "3,40"}, {"3.4", "3.4,00"}, {"12", "12,00"}, {"0,125", "0,125"}};
    for (const auto& [in, out] : comma) {
        EXPECT_EQ(KivoData::FormatDecimals(in), out) << in;
    }
}

TEST(KivoDataHelpers, LineDataAppendsTheRowWithATrailingComma)
{
    KivoData u;
    u.UnitID = "3";
    u.SerialNumber = "21436587A9";
    u.FanFail = true;
    u.OverTemp = true;
    u.PresentModule = "10101000";
    u.Line = "1/1/2027 9:30:00 AM,";
    u.GetLineData();
    EXPECT_EQ(u.Line, "1/1/2027 9:30:00 AM,3,21436587A9,True,False,True,True,False,10101000,");
}

} // namespace
