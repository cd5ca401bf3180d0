// The unit parameter file: what WriteKivoFile writes (against golden files), how a save of
// several units meets an older file, and ReadKivoFile reading it back.
#include "KivoSoft/model/tests/unit_fixture.h"

using namespace KivoSoft;
using namespace KivoSoft::testing;

namespace {

QString golden(const char* name)
{
    return readText(QStringLiteral(KIVO_SOURCE_DIR "/KivoSoft/model/tests/golden/") + name);
}

class ParameterFile : public UnitTest {
protected:
    void SetUp() override
    {
        UnitTest::SetUp();
        KivoGlobals::ParameterFilePath = path("units.ini");
        KivoGlobals::ParameterLoadPath = path("units.ini");
    }

    // Unit 3 after a configuration read in the user's notation: a set point and a current limit
    // with a decimal comma, and master/slave settings the window gave it.
    KivoData readUnit()
    {
        scriptFullUnit();
        link->reply("GetDefaultOutputVoltage", 1, {1250});
        link->reply("GetCurrentLimit", 3, {250});
        KivoData read;
        read.ReadKivoSetup("3");
        EXPECT_FALSE(KivoGlobals::ErrorFlag);
        read.MMaster[1] = "1";
        read.MSlave[1] = "2";
        read.MDelay[3] = "100";
        read.MState[3] = "1";
        return read;
    }

    QString written() const { return readText(KivoGlobals::ParameterFilePath); }
};

TEST_F(ParameterFile, AReadUnitIsWrittenWithNumbersInPointNotation)
{
    useLocale(commaLocale);
    KivoData read = readUnit();
    ASSERT_EQ(read.VSP[1], "12,5");
    read.WriteKivoFile("3");
    EXPECT_EQ(written(), golden("read_unit.ini"));
    EXPECT_TRUE(messages().empty());
}

TEST_F(ParameterFile, ABlankObjectWritesItsUnitSectionOnly)
{
    KivoData blank;
    blank.InitElements();
    blank.WriteKivoFile("7");
    EXPECT_EQ(written(), golden("blank_unit.ini"));
}

TEST_F(ParameterFile, ModulesWithoutASerialNumberAreNotWritten)
{
    KivoData u = readUnit();
    u.MS[1] = "N/A";
    u.MS[3] = "";
    u.WriteKivoFile("3");
    const QString text = written();
    EXPECT_FALSE(text.contains("[PS3MODULE1]"));
    EXPECT_FALSE(text.contains("[PS3MODULE3]"));
    EXPECT_TRUE(text.contains("[PS3MODULE5]"));
    EXPECT_EQ(text, golden("unserialised_modules.ini"));
}

TEST_F(ParameterFile, SavingUnitsSetsTheirKeysAndKeepsEveryOtherKeyAndSection)
{
    // Keys are set where they stand or added to their section; a key of the user's own and the
    // section of a module not written now stay.
    write("units.ini", "; saved for the test rack\n"
                       "[PS1]\n"
                       "PowerSupplyID=1\n"
                       "\n"
                       "[PS3]\n"
                       "PowerSupplyID=3\n"
                       "Note=mine\n"
                       "SerialNumber=OLDSERIAL\n"
                       "\n"
                       "[ps3module2]\n"
                       "SerialNumber=STALE\n"
                       "\n"
                       "[PS4]\n"
                       "PowerSupplyID=4\n");
    KivoData u = readUnit();
    u.MS[3] = u.MS[5] = "";
    KivoData blank;
    blank.InitElements();
    blank.WriteKivoFile("1");
    u.WriteKivoFile("3");
    blank.WriteKivoFile("2");
    EXPECT_EQ(written(), golden("kept_sections.ini"));
}

TEST_F(ParameterFile, AnUnwritableFileIsReportedOnceAndLeftAsItWas)
{
    write("units.ini", "[PS3]\nPowerSupplyID=3\n");
    ASSERT_TRUE(QFile::setPermissions(path("units.ini"), QFileDevice::ReadOwner));
    KivoData u = readUnit();
    u.WriteKivoFile("3");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text,
              "Error: Writing to INI file failed! Check the file path!" + path("units.ini"));
    EXPECT_EQ(messages()[0].title, "Error");
    EXPECT_EQ(written(), "[PS3]\nPowerSupplyID=3\n");
}

TEST_F(ParameterFile, ReadKivoFileReadsEveryKeyBackIntoItsField)
{
    useLocale(commaLocale);
    KivoData original = readUnit();
    original.GlobalOutput = true;
    original.WriteKivoFile("3");

    for (const QLocale& locale : {commaLocale, pointLocale}) {
        SCOPED_TRACE(locale.name().toStdString());
        useLocale(locale);
        KivoData back;
        back.ReadKivoFile("3");
        EXPECT_EQ(back.UnitID, original.UnitID);
        EXPECT_EQ(back.SerialNumber, original.SerialNumber);
        EXPECT_EQ(back.Version1, original.Version1);
        EXPECT_EQ(back.Version2, original.Version2);
        EXPECT_EQ(back.FanFail, original.FanFail);
        EXPECT_EQ(back.GlobalDC, original.GlobalDC);
        EXPECT_EQ(back.OverTemp, original.OverTemp);
        EXPECT_EQ(back.GlobalOnOff, original.GlobalOnOff);
        EXPECT_EQ(back.Group, original.Group);
        EXPECT_TRUE(back.GlobalOutput);
        EXPECT_FALSE(back.GlobalOutputState);
        EXPECT_EQ(back.PresentModule, original.PresentModule);
        for (const int slot : {1, 3, 5}) {
            SCOPED_TRACE(slot);
            for (auto field : {&KivoData::MC, &KivoData::MS, &KivoData::MMV, &KivoData::MMinV,
                               &KivoData::P, &KivoData::StartUpState, &KivoData::VHL,
                               &KivoData::VLL, &KivoData::CLM, &KivoData::StartUpDelay,
                               &KivoData::AT, &KivoData::RT, &KivoData::ER, &KivoData::PM}) {
                EXPECT_EQ((back.*field)[slot], (original.*field)[slot]);
            }
            EXPECT_EQ(back.GID[slot], original.GID[slot]);
        }
        EXPECT_EQ(back.MMaster[1], "1");
        EXPECT_EQ(back.MSlave[1], "2");
        EXPECT_EQ(back.MDelay[3], "100");
        EXPECT_EQ(back.MState[3], "1");
        // Numbers come back in the notation of the reader's locale.
        const QString sep = kivo::basic::decimalSeparator();
        EXPECT_EQ(back.VSP[1], "12" + sep + "5");
        EXPECT_EQ(back.CL[3], "2" + sep + "5");
        // A module section that was never written reads as missing keys.
        EXPECT_EQ(back.MS[2], "N/A");
        EXPECT_EQ(back.GID[2], 0);
    }
}

} // namespace
