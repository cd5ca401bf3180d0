// Showing a unit's record on the window, without a unit: the option pairs, the set points and
// thresholds, each module's current-limit row, the group and the start-up delays.
#include "KivoSoft/config/tests/config_fixture.h"

using namespace KivoSoft;
using namespace KivoSoft::testing;
namespace G = KivoSoft::KivoGlobals;

namespace {

class ConfigDisplay : public ConfigTest {
protected:
    void SetUp() override
    {
        ConfigTest::SetUp();
        record = std::make_shared<KivoData>();
        record->UnitID = "3";
        record->PresentModule = "11111000";
        G::PresentModuleBits = record->PresentModule;
        G::DefaultGlobalStateFlag = G::DefaultGlobalPolarityFlag = true;
        for (int m = 1; m <= 5; ++m) {
            window->ReadScaling[static_cast<std::size_t>(m)].VoltageScaleFactor = 200;
            record->GID[m] = 1;
        }
        window->KivoColl["3"] = record;
    }

    void show() { window->DisplayConfiguration("3"); }

    std::shared_ptr<KivoData> record;
};

TEST_F(ConfigDisplay, EachModulesCurrentLimitRow)
{
    struct Row {
        const char* mode;
        const char* enableReset;
        int button; // offset: 0 Normal, 1 Latching, 2 Hiccup, 3 Current Share
        bool limit, delay, reset, resetBox, enable, range;
        bool ticked;
    };
    const Row rows[] = {
        {"Normal", "0", 0, false, false, false, false, false, true, false},
        {"Latching", "1", 1, true, true, false, false, true, true, true},
        {"Latching", "0", 1, true, true, false, false, true, true, false},
        {"Hiccup", "0", 2, true, true, true, true, false, true, false},
        {"CurrentShare", "0", 3, false, false, false, false, false, false, false},
    };
    for (const Row& row : rows) {
        for (int m = 1; m <= 5; ++m) {
            SCOPED_TRACE(
                QString("%1 %2 module %3").arg(row.mode, row.enableReset).arg(m).toStdString());
            const auto i = static_cast<std::size_t>(m);
            record->CLM[m] = row.mode;
            record->ER[m] = row.enableReset;
            record->AT[m] = QString::number(100 * m);
            record->RT[m] = QString::number(1000 * m);
            window->EnableReset[i]->setChecked(false);
            show();
            const int index = row.button == 3 ? 15 + m : 3 * m - 2 + row.button;
            EXPECT_TRUE(window->optCurrentLimit[static_cast<std::size_t>(index)]->isChecked());
            EXPECT_EQ(!window->CurrentLimit[i]->isHidden(), row.limit);
            EXPECT_EQ(!window->LabelCurrentLimit[i]->isHidden(), row.limit);
            EXPECT_EQ(!window->hscrollCurrentLimit[i]->isHidden(), row.range && row.limit);
            EXPECT_EQ(!window->lblMaxCL[i]->isHidden(), row.range && row.limit);
            EXPECT_EQ(!window->Label5[i]->isHidden(), row.range && row.limit);
            EXPECT_EQ(!window->cboxActivationTime[i]->isHidden(), row.delay);
            EXPECT_EQ(!window->LabelActivationTime[i]->isHidden(), row.delay);
            EXPECT_EQ(!window->LabelAT[i]->isHidden(), row.delay);
            EXPECT_EQ(!window->LabelResetTime[i]->isHidden(), row.reset);
            EXPECT_EQ(!window->cboxResetTime[i]->isHidden(), row.resetBox);
            EXPECT_EQ(!window->EnableReset[i]->isHidden(), row.enable);
            EXPECT_EQ(window->EnableReset[i]->isChecked(), row.ticked);
            if (row.delay || row.button == 3) {
                EXPECT_EQ(window->cboxActivationTime[i]->currentText(), record->AT[m]);
            }
            if (row.reset || row.button == 3) {
                EXPECT_EQ(window->cboxResetTime[i]->currentText(), record->RT[m]);
            }
        }
    }
}

TEST_F(ConfigDisplay, OptionsSetPointsAndThresholds)
{
    record->PresentModule = "10100000";
    G::PresentModuleBits = record->PresentModule;
    record->FanFail = true;
    record->GlobalOutputState = true;
    record->PM[1] = "1";
    record->P[1] = "1";
    record->StartUpState[1] = "1";
    record->VSP[1] = "12.5";
    record->VHL[1] = "1000";
    record->VLL[1] = "800";
    record->VHL[3] = "0";
    record->VLL[3] = "0";
    record->CL[1] = "12.7";
    record->MMV[1] = "1";
    record->MMinV[1] = "2";
    record->GID[1] = 1;
    show();
    EXPECT_TRUE(window->optFanFail[0]->isChecked());
    EXPECT_TRUE(window->optGlobalDC[1]->isChecked());
    EXPECT_TRUE(window->optGlobal[0]->isChecked());
    EXPECT_TRUE(window->optGlobalOnOff[0]->isChecked());
    const bool available[] = {false, false, true, false, true};
    for (int t = 0; t < 5; ++t) {
        EXPECT_EQ(window->SSTab1->isTabEnabled(t), available[t]) << t;
    }
    EXPECT_TRUE(window->OptProgMode[1]->isChecked());
    EXPECT_TRUE(window->optPolarity[1]->isChecked());
    EXPECT_TRUE(window->optStartupState[1]->isChecked());
    EXPECT_TRUE(window->OptProgMode[6]->isChecked()); // blank: the second of the pair
    EXPECT_EQ(window->vsp[1]->text(), "12.5");
    EXPECT_EQ(window->slrVsp[1]->value(), 10); // the design range 0 to 10: shown at its end
    window->setConfigSetPointMaximum(1, 140);
    show();
    EXPECT_EQ(window->slrVsp[1]->value(), 125);
    EXPECT_EQ(window->vsp[2]->text(), "0");
    EXPECT_EQ(window->hl[1]->text(), "5");
    EXPECT_EQ(window->ll[1]->text(), "4");
    EXPECT_TRUE(window->hl[1]->isEnabled());
    EXPECT_EQ(window->hl[3]->text(), "0");
    EXPECT_FALSE(window->hl[3]->isEnabled());
    EXPECT_FALSE(window->ll[3]->isEnabled());
    EXPECT_TRUE(window->ll[3]->styleSheet().contains("224, 224, 224"));
    EXPECT_EQ(window->hl[2]->text(), ""); // not fitted: left as it was
    EXPECT_EQ(window->CurrentLimit[1]->text(), "12.7");
    EXPECT_EQ(window->hscrollCurrentLimit[1]->value(), 13);
    EXPECT_EQ(window->txtVersionMajor[1]->text(), "1");
    EXPECT_EQ(window->GroupID[1]->text(), "1");
    EXPECT_EQ(window->GroupID[2]->text(), "1");

    // The same record again gives the same window.
    const QString high = window->hl[1]->text();
    show();
    EXPECT_EQ(window->hl[1]->text(), high);
    EXPECT_EQ(window->hscrollCurrentLimit[1]->value(), 13);
}

TEST_F(ConfigDisplay, ACurrentLimitInTheUsersNotation)
{
    useLocale(commaLocale);
    record->CL[1] = "2,7";
    show();
    EXPECT_EQ(window->CurrentLimit[1]->text(), "2,7");
    EXPECT_EQ(window->hscrollCurrentLimit[1]->value(), 3);
}

TEST_F(ConfigDisplay, GroupedModulesAndTheStartupDelays)
{
    record->GID[4] = 2;
    record->StartUpState[4] = "1";
    record->StartUpState[2] = "0";
    show();
    EXPECT_FALSE(window->Frame3[11]->isEnabled());
    EXPECT_FALSE(window->Frame4[9]->isEnabled());
    EXPECT_FALSE(window->optPolarity[7]->isEnabled());
    EXPECT_FALSE(window->startupdelay[4]->isEnabled());
    EXPECT_TRUE(window->startupdelay[4]->styleSheet().contains("224, 224, 224"));
    EXPECT_TRUE(window->OptProgMode[7]->isEnabled()); // not a group setting
    window->CheckIfDisableTurnOffDelay();
    EXPECT_TRUE(window->startupdelay[4]->isEnabled()); // "Normally On" frees it, still grey
    EXPECT_TRUE(window->startupdelay[4]->styleSheet().contains("224, 224, 224"));
    EXPECT_FALSE(window->startupdelay[2]->isEnabled()); // "Normally Off"
    EXPECT_FALSE(window->Label13[8]->isEnabled());
    EXPECT_FALSE(window->Label9[8]->isEnabled());
}

TEST_F(ConfigDisplay, TheGlobalFlagsDecideHowFarTheDisplayGoes)
{
    window->hl[1]->setText("9");
    window->startupdelay[1]->setText("77");
    record->VHL[1] = "1000";
    record->StartUpDelay[1] = "5";
    record->CLM[1] = "Latching";

    // Both off: options shown, thresholds and delays kept, modes still shown.
    G::DefaultGlobalStateFlag = G::DefaultGlobalPolarityFlag = false;
    show();
    EXPECT_TRUE(window->optGlobal[1]->isChecked());
    EXPECT_TRUE(window->optGlobalOnOff[1]->isChecked());
    EXPECT_EQ(window->hl[1]->text(), "9");
    EXPECT_EQ(window->startupdelay[1]->text(), "77");
    EXPECT_TRUE(window->optCurrentLimit[2]->isChecked());

    // Mixed: the options, and nothing from the thresholds on.
    record->CLM[1] = "Hiccup";
    G::DefaultGlobalStateFlag = true;
    G::ModuleTypeRead = true;
    show();
    EXPECT_TRUE(window->optGlobal[0]->isChecked());
    EXPECT_TRUE(window->optGlobalOnOff[1]->isChecked());
    EXPECT_FALSE(G::ModuleTypeRead);
    EXPECT_TRUE(window->optCurrentLimit[2]->isChecked());
    EXPECT_EQ(window->hl[1]->text(), "9");
}

TEST_F(ConfigDisplay, AnyRecordsIdentityAndOnOffPolarity)
{
    KivoData other;
    other.UnitID = "12";
    other.SerialNumber = "ABC";
    other.Version1 = "4";
    other.Version2 = "7";
    other.SignalPolarity = "1";
    window->DisplayKivoOnForm(other);
    EXPECT_EQ(window->PSID->text(), "12");
    EXPECT_EQ(window->SerialNumber->text(), "ABC");
    EXPECT_EQ(window->MinVersion->text(), "7");
    EXPECT_TRUE(window->optOnOffPolarity[8]->isChecked());
    other.SignalPolarity = "0";
    window->DisplayKivoOnForm(other);
    EXPECT_TRUE(window->optOnOffPolarity[9]->isChecked());
    EXPECT_FALSE(window->cmdApply->isEnabled()); // the pair marks nothing
}

} // namespace
