// The parameter file: the window copied into the unit's record and every unit ID's record written
// into the file chosen, read back as the file's reader reads it.
#include "KivoSoft/config/tests/config_fixture.h"

using namespace KivoSoft;
using namespace KivoSoft::testing;
namespace G = KivoSoft::KivoGlobals;

namespace {

class ConfigSave : public ConfigTest {
protected:
    // The file read back for `unit`, as the program's file reader reads it.
    KivoData readBack(const QString& unit)
    {
        G::ParameterLoadPath = file;
        KivoData record;
        record.ReadKivoFile(unit);
        return record;
    }

    QString file = path("params.txt");
};

TEST_F(ConfigSave, UnitThreeIsSavedWithAllOtherUnitIDs)
{
    readUnit("3");
    ASSERT_FALSE(G::ErrorFlag);
    desktop.clear();
    window->optCurrentLimit[2]->setChecked(true); // module 1 latching
    window->CurrentLimit[1]->setText("8");
    window->EnableReset[1]->setChecked(true);
    window->hl[1]->setText("13");
    desktop.queueFileDialogAnswer(file);

    window->Save_Click();

    ASSERT_EQ(desktop.calls().size(), 1u) << messageTexts().join('|').toStdString();
    const kivo::desktop::FileDialogRequest& request = desktop.calls()[0].fileDialog;
    EXPECT_EQ(request.mode, kivo::desktop::FileDialogMode::Save);
    EXPECT_EQ(request.title, "Save Kivo Parameters to a file");
    EXPECT_EQ(request.filter, "Text files (*.txt)|*.txt|All files (*.*)|*.*");
    EXPECT_EQ(G::ParameterFilePath, file);
    EXPECT_EQ(G::FileDialogMode, "SAVE");
    EXPECT_EQ(G::ConfigMode, "CONFIG");

    const KivoData three = readBack("3");
    EXPECT_EQ(three.UnitID, "3");
    EXPECT_EQ(three.SerialNumber, "0313233343");
    EXPECT_EQ(three.PresentModule, "10101000");
    EXPECT_TRUE(three.GlobalOnOff);
    EXPECT_TRUE(three.GlobalOutput);
    EXPECT_FALSE(three.FanFail);
    EXPECT_EQ(three.MC[1], "KM-12V-10A");
    EXPECT_EQ(three.MS[1], "1626364656");
    EXPECT_EQ(three.CLM[1], "Latching");
    EXPECT_EQ(three.CL[1], "8");
    EXPECT_EQ(three.ER[1], "1");
    EXPECT_EQ(three.VHL[1], "13"); // the window's volts
    EXPECT_EQ(three.VSP[1], "12"); // as read: the set point is not copied
    EXPECT_EQ(three.StartUpState[5], "0");
    EXPECT_EQ(three.GID[3], 1);
    // A unit never read has its own blank sections.
    EXPECT_EQ(readBack("7").UnitID, "N/A");
    EXPECT_TRUE(readText(file).contains("[PS32]"));
}

class ConfigSaveWithoutUnit : public ConfigSave {
protected:
    void SetUp() override
    {
        ConfigSave::SetUp();
        auto record = std::make_shared<KivoData>();
        record->UnitID = "3";
        record->PresentModule = "11000000";
        record->ModuleType[1] = "TYPE2"; // 10 A
        record->ModuleType[2] = "TYPE1"; // 20 A
        record->MS[1] = "111";
        record->MS[2] = "222";
        for (int m = 1; m <= 5; ++m) {
            record->GID[m] = 1;
        }
        G::PresentModuleBits = record->PresentModule;
        G::DefaultGlobalStateFlag = G::DefaultGlobalPolarityFlag = true;
        window->KivoColl["3"] = record;
        window->DisplayConfiguration("3");
        window->setConfigModuleId(1, "KM-12V-10A");
        window->setConfigModuleId(2, "KM-5V-20A");
        window->PSID->setText("3");
        window->UnitList->setCurrentText("3");
        desktop.clear();
    }
};

TEST_F(ConfigSaveWithoutUnit, ALimitOverTheRatingWritesNothing)
{
    window->CurrentLimit[1]->setText("10");
    window->CurrentLimit[2]->setText("20.5");
    window->cboxActivationTime[1]->setEditText("777");
    desktop.queueFileDialogAnswer(file);
    window->Save_Click();
    EXPECT_EQ(messageTexts(),
              QStringList{"Current Limit Out Of Range For Module2 or Module Type not defined"});
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(window->KivoColl.at("3")->CL[1].isEmpty()); // not half-copied
    EXPECT_TRUE(window->KivoColl.at("3")->AT[1].isEmpty());

    // A type without a rating, and a limit that is no number, say the same.
    desktop.clear();
    window->CurrentLimit[2]->setText("20");
    window->KivoColl.at("3")->ModuleType[1] = "TYPE9";
    desktop.queueFileDialogAnswer(file);
    window->Save_Click();
    EXPECT_EQ(messageTexts(),
              QStringList{"Current Limit Out Of Range For Module1 or Module Type not defined"});
    EXPECT_FALSE(QFile::exists(file));

    desktop.clear();
    window->KivoColl.at("3")->ModuleType[1] = "TYPE2";
    window->optCurrentLimit[17]->setChecked(true); // module 2 current share
    desktop.queueFileDialogAnswer(file);
    window->Save_Click();
    EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
    const KivoData three = readBack("3");
    EXPECT_EQ(three.CL[1], "10");
    EXPECT_EQ(three.CL[2], "20");
    EXPECT_EQ(three.CLM[2], "CurrentShare");
    EXPECT_EQ(three.AT[1], "777");
    EXPECT_EQ(three.PresentModule, "11000000");
}

TEST_F(ConfigSaveWithoutUnit, AUnitNeverReadGetsTheWindowInItsOwnRecord)
{
    // Nothing read yet: no module types in the window.
    window->setConfigModuleId(1, "");
    window->setConfigModuleId(2, "");
    window->UnitList->setCurrentText("7");
    desktop.queueFileDialogAnswer(file);
    window->Save_Click();
    EXPECT_EQ(G::SelectedUnitId, "7");
    EXPECT_EQ(window->KivoColl.at("7")->UnitID, "3"); // what the window shows
    EXPECT_TRUE(window->KivoColl.at("8")->UnitID.isEmpty());
    EXPECT_EQ(readBack("7").UnitID, "3");
    EXPECT_EQ(readBack("8").UnitID, "N/A");
}

TEST_F(ConfigSaveWithoutUnit, ACancelOrAFailedDialogWritesNothing)
{
    desktop.queueFileDialogAnswer(std::nullopt);
    window->Save_Click();
    EXPECT_EQ(G::FileDialogMode, "CANCEL");
    EXPECT_FALSE(QFile::exists(file));

    // A dialog that fails does not go on with the name chosen before.
    window->CommonDialog1FileName = file;
    desktop.queueFileDialogAnswer(QString());
    window->Save_Click();
    EXPECT_EQ(G::FileDialogMode, "SAVE");
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(G::ConfigMode.isEmpty());
}

TEST_F(ConfigSaveWithoutUnit, LoadOnlyShowsItsNotice)
{
    const auto before = window->KivoColl.at("3");
    window->Load_Click();
    EXPECT_EQ(messageTexts(), QStringList{"under correction ..."});
    EXPECT_EQ(messages()[0].title, G::ProgramTitle);
    EXPECT_EQ(window->KivoColl.at("3"), before);
    // The frame that holds the two buttons is never shown.
    EXPECT_TRUE(window->Frame6->isHidden());
}

} // namespace
