// Reading a unit into the window against the simulated bus: what the window shows after a good
// read, a silent unit, a failure partway, and units whose modules are not read.
#include "KivoSoft/config/tests/config_fixture.h"
#include "KivoSoft/shell/MainForm.h"
#include "platform/desktop/let_events_run.h"

#include <QCoreApplication>

using namespace KivoSoft;
using namespace KivoSoft::testing;

namespace {

class ConfigRead : public ConfigTest {
protected:
    QString heading() const
    {
        return "Reading Kivo Configuration\r\nOpenning " + QString::fromStdString(sim->port()) +
               ", Bauds: 9600, Parity: NO, Databits: 8, ...";
    }
};

TEST_F(ConfigRead, UnitThreeIsShownOnItsTabsAndNothingIsPending)
{
    readUnit("3");
    ASSERT_FALSE(KivoGlobals::ErrorFlag) << KivoGlobals::LastErrorText.toStdString();
    EXPECT_TRUE(messages().empty());

    // The progress text line by line: the heading, each step closed by the next one's "Ok".
    EXPECT_EQ(window->configProgressText(), heading() + setupProgress(25) + "Ok\r\n" +
                                                "\r\nClosing Communication..............Ok\r\n");
    EXPECT_TRUE(
        window->RichTextBox1->toPlainText().endsWith("Closing Communication..............Ok\n"));

    // The record is kept under its key; every other key has a blank record of its own.
    EXPECT_EQ(window->KivoColl.at("3"), window->CurrentUnit);
    EXPECT_EQ(window->ReadUnitId, "3");
    EXPECT_NE(window->KivoColl.at("4"), window->KivoColl.at("5"));
    EXPECT_TRUE(window->KivoColl.at("4")->UnitID.isEmpty());

    // Expanded, identity shown, tabs of the fitted modules available, module 1 in front.
    EXPECT_TRUE(KivoGlobals::ConfigExpanded);
    EXPECT_EQ(window->height(), 567);
    EXPECT_EQ(window->width(), 790);
    EXPECT_EQ(window->lblMain->text(), "Settings of Power Supply ID: 3");
    EXPECT_EQ(window->PSID->text(), "3");
    EXPECT_EQ(window->SerialNumber->text(), "0313233343");
    EXPECT_FALSE(window->SSTab1->isHidden());
    EXPECT_FALSE(window->Frame5->isHidden());
    EXPECT_TRUE(window->Frame6->isHidden());
    EXPECT_TRUE(window->ErrorButton->isHidden());
    EXPECT_FALSE(window->cmdModuleNumbering->isHidden());
    const bool available[] = {true, false, true, false, true}; // tabs 0 to 4: modules 5 to 1
    for (int t = 0; t < 5; ++t) {
        EXPECT_EQ(window->SSTab1->isTabEnabled(t), available[t]) << t;
        EXPECT_EQ(window->SSTab1->tabText(t), QString("Module-%1").arg(5 - t));
    }
    EXPECT_EQ(window->SSTab1->currentIndex(), tabOf(1));

    // Unit options: no signal polarity bit set; global state and polarity both 1.
    EXPECT_TRUE(window->optFanFail[1]->isChecked());
    EXPECT_TRUE(window->optGlobalDC[1]->isChecked());
    EXPECT_TRUE(window->optOverTemp[1]->isChecked());
    EXPECT_TRUE(window->optGlobalOnOff[0]->isChecked());
    EXPECT_TRUE(window->optGlobal[0]->isChecked());

    struct Slot {
        int m;
        const char *type, *vsp;
        int position, minimum, maximum;
        const char *high, *low, *delay, *limit;
        int scroll;
        bool normallyOn;
        const char *minLabel, *maxLabel, *typeLabel;
    };
    const Slot fitted[] = {
        {1, "KM-12V-10A", "12", 120, 100, 140, "12.6", "11.4", "200", "10", 10, true, "Min. 10",
         "Max. 14", "Module Type: KM-12V-10A Max. Current: 10 Amp."},
        {3, "KM-5V-20A", "5", 50, 40, 60, "5.25", "4.75", "200", "20", 20, true, "Min. 4", "Max. 6",
         "Module Type: KM-5V-20A Max. Current: 20 Amp."},
        {5, "KM-24V-6A", "24", 240, 200, 280, "25.2", "22.8", "400", "6", 6, false, "Min. 20",
         "Max. 28", "Module Type: KM-24V-6A Max. Current: 6 Amp."},
    };
    for (const Slot& s : fitted) {
        SCOPED_TRACE(s.m);
        const auto i = static_cast<std::size_t>(s.m);
        EXPECT_EQ(window->txtModuleID[i]->text(), s.type);
        EXPECT_EQ(window->txtVersionMajor[i]->text(), "1");
        EXPECT_EQ(window->TxtVersionMinor[i]->text(), "2");
        EXPECT_EQ(window->GroupID[i]->text(), "1");
        EXPECT_EQ(window->vsp[i]->text(), s.vsp);
        EXPECT_EQ(window->slrVsp[i]->value(), s.position);
        EXPECT_EQ(window->slrVsp[i]->minimum(), s.minimum);
        EXPECT_EQ(window->slrVsp[i]->maximum(), s.maximum);
        EXPECT_EQ(window->hl[i]->text(), s.high);
        EXPECT_EQ(window->ll[i]->text(), s.low);
        EXPECT_TRUE(window->hl[i]->isEnabled());
        EXPECT_EQ(window->startupdelay[i]->text(), s.delay);
        EXPECT_EQ(window->startupdelay[i]->isEnabled(), s.normallyOn);
        EXPECT_TRUE(window->OptProgMode[2 * i]->isChecked()); // resistance programming
        EXPECT_TRUE(window->optPolarity[2 * i]->isChecked()); // inverted
        EXPECT_EQ(window->optStartupState[2 * i - 1]->isChecked(), s.normallyOn);
        // Normal mode hides every current-limit control; the values stay behind them.
        EXPECT_TRUE(window->optCurrentLimit[3 * i - 2]->isChecked());
        EXPECT_TRUE(window->CurrentLimit[i]->isHidden());
        EXPECT_TRUE(window->cboxActivationTime[i]->isHidden());
        EXPECT_TRUE(window->EnableReset[i]->isHidden());
        EXPECT_EQ(window->CurrentLimit[i]->text(), s.limit);
        EXPECT_EQ(window->hscrollCurrentLimit[i]->maximum(), s.scroll);
        EXPECT_EQ(window->hscrollCurrentLimit[i]->value(), s.scroll);
        EXPECT_EQ(window->lblMaxCL[i]->text(), s.limit);
        EXPECT_EQ(window->lblMinVoltage[i - 1]->text(), s.minLabel);
        EXPECT_EQ(window->lblMaxVoltage[i - 1]->text(), s.maxLabel);
        EXPECT_EQ(window->lblMaxCurrent[i - 1]->text(), s.typeLabel);
    }
    // Empty slots name no type and no range.
    for (const int empty : {2, 4}) {
        EXPECT_EQ(window->lblMinVoltage[empty - 1]->text(), "Min. ");
        EXPECT_EQ(window->lblMaxVoltage[empty - 1]->text(), "Max. ");
        EXPECT_EQ(window->lblMaxCurrent[empty - 1]->text(), "");
    }

    // The display marked edits as it went; the read clears them all.
    EXPECT_FALSE(window->cmdApply->isEnabled());
    EXPECT_FALSE(window->cmdSave->isEnabled());
    for (QPushButton* apply : window->cmdApplyCLM) {
        EXPECT_FALSE(apply->isEnabled());
    }
    EXPECT_FALSE(KivoGlobals::UnitSettingEdited);
    EXPECT_FALSE(KivoGlobals::ModuleSettingEdited);
    EXPECT_FALSE(KivoGlobals::WrittenToUnit);
    EXPECT_FALSE(KivoGlobals::SliderDragging);

    // Lamps steady, every button usable again, the guard free.
    EXPECT_FALSE(window->PellarosTx->Blinking());
    EXPECT_TRUE(window->PellarosTx->Status());
    EXPECT_TRUE(window->PellarosRx->Status());
    EXPECT_TRUE(window->SelectButton->isEnabled());
    EXPECT_TRUE(window->Cancel->isEnabled());
    EXPECT_TRUE(window->UnitList->isEnabled());
    EXPECT_FALSE(LinkInUse::taken());

    // Tool tips from [CONFIG] of Tooltips.ini.
    EXPECT_EQ(window->PSID->toolTip(), "Unit ID of the power supply");
    EXPECT_EQ(window->slrVsp[3]->toolTip(), window->vsp[3]->toolTip());
    EXPECT_EQ(window->UnitList->toolTip(), "Select power supply Id number");
}

TEST_F(ConfigRead, AnEarlierUnitLeavesNothingInTheEmptySlots)
{
    readUnit("1"); // modules in all five slots
    ASSERT_FALSE(KivoGlobals::ErrorFlag) << KivoGlobals::LastErrorText.toStdString();
    ASSERT_EQ(window->txtModuleID[2]->text(), "KM-12V-10A");
    readUnit("3"); // modules in slots 1, 3 and 5
    ASSERT_FALSE(KivoGlobals::ErrorFlag) << KivoGlobals::LastErrorText.toStdString();
    for (const int empty : {2, 4}) {
        SCOPED_TRACE(empty);
        EXPECT_EQ(window->txtModuleID[static_cast<std::size_t>(empty)]->text(), "");
        EXPECT_EQ(window->lblMaxCurrent[empty - 1]->text(), "");
        EXPECT_EQ(window->readScaling(empty), clsScalability{});
    }
    EXPECT_EQ(window->txtModuleID[3]->text(), "KM-5V-20A");
    // No set point was read for the empty slots, so none is reported as out of range.
    EXPECT_EQ(logMessages(), QStringList{});
}

TEST_F(ConfigRead, AModuleTypeWithoutScalingIsShownWithoutItsValues)
{
    sim->bus().unit(3)->module(3).type = 9; // no section in scale.ini
    readUnit("3");

    // A good read: the record is kept and the other modules are shown as always.
    ASSERT_FALSE(KivoGlobals::ErrorFlag) << KivoGlobals::LastErrorText.toStdString();
    EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
    EXPECT_EQ(window->KivoColl.at("3"), window->CurrentUnit);
    EXPECT_TRUE(window->ErrorButton->isHidden());
    EXPECT_EQ(window->configProgressText(), heading() + setupProgress(25) + "Ok\r\n" +
                                                "\r\nClosing Communication..............Ok\r\n");
    EXPECT_EQ(window->vsp[1]->text(), "12");
    EXPECT_EQ(window->hl[5]->text(), "25.2");
    EXPECT_EQ(window->CurrentLimit[5]->text(), "6");
    EXPECT_TRUE(window->SSTab1->isTabEnabled(tabOf(3)));
    // Slot 3: the type named as missing, no limit, the set point box at its blank rule.
    EXPECT_EQ(window->txtModuleID[3]->text(), "N/A");
    EXPECT_EQ(window->CurrentUnit->VSP[3], "");
    EXPECT_EQ(window->vsp[3]->text(), "0");
    EXPECT_EQ(window->CurrentLimit[3]->text(), "");
    EXPECT_FALSE(window->CurrentUnit->MS[3].isEmpty()); // its other settings were read
    EXPECT_EQ(logMessages(),
              QStringList{"Module in slot 3 of Unit 3: no scaling record for TYPE9 in scale.ini"});
    EXPECT_FALSE(LinkInUse::taken());
}

TEST_F(ConfigRead, ASilentUnitThenAFailurePartwayNamesNoOldUnit)
{
    readUnit("9"); // no unit answers to 9
    ASSERT_EQ(messageTexts(),
              QStringList{"Unit 9 Does not Respond, make sure is properly connected and is the "
                          "correct UnitID Number"});
    EXPECT_EQ(messages()[0].title, KivoGlobals::ProgramTitle);
    EXPECT_FALSE(KivoGlobals::ConfigExpanded);
    EXPECT_EQ(window->height(), 170);
    EXPECT_FALSE(window->ErrorButton->isHidden());
    EXPECT_TRUE(window->ErrorButton->isEnabled());
    EXPECT_TRUE(window->KivoColl.at("9")->UnitID.isEmpty()); // the blank record stays
    EXPECT_EQ(window->CurrentUnit->UnitID, "9");
    EXPECT_TRUE(window->ReadUnitId.isEmpty());
    EXPECT_FALSE(KivoGlobals::ErrorFlag);
    EXPECT_EQ(window->configProgressText(), heading() + setupProgress(1));
    EXPECT_TRUE(window->SelectButton->isEnabled());
    EXPECT_FALSE(window->PellarosTx->Blinking());

    // A failure of another kind next: no message names the silent unit again.
    desktop.clear();
    sim->server().faults().add(
        {.uid = 3, .mid = 3, .cid = 0x13, .reg = 0x05, .times = Fault::always});
    readUnit("3");
    EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
    EXPECT_EQ(window->configProgressText(), heading() + setupProgress(20));
    EXPECT_FALSE(KivoGlobals::ConfigExpanded);
    EXPECT_FALSE(window->ErrorButton->isHidden());
    EXPECT_FALSE(LinkInUse::taken());
}

TEST_F(ConfigRead, AFailedReadAfterAGoodOneKeepsTheGoodRecord)
{
    readUnit("3");
    ASSERT_FALSE(KivoGlobals::ErrorFlag);
    const std::shared_ptr<KivoData> good = window->KivoColl.at("3");
    sim->server().faults().add(
        {.uid = 3, .mid = 5, .cid = 0x04, .reg = 0x10, .times = Fault::always});
    readUnit("3");
    EXPECT_EQ(window->KivoColl.at("3"), good);
    EXPECT_NE(window->CurrentUnit, good);
    EXPECT_FALSE(KivoGlobals::ConfigExpanded);
    EXPECT_EQ(window->height(), 170);
    EXPECT_FALSE(window->ErrorButton->isHidden());
    EXPECT_TRUE(window->ErrorButton->isEnabled());
    EXPECT_TRUE(window->SelectButton->isEnabled());
    EXPECT_TRUE(window->ReadUnitId.isEmpty()); // nothing shown to write into
}

TEST_F(ConfigRead, DefaultGlobalOutputStateOffShowsNoModulesAndFillsTheLimitsInVolts)
{
    sim->bus().unit(3)->defaults = 0x00;
    readUnit("3");
    ASSERT_FALSE(KivoGlobals::ErrorFlag);
    EXPECT_TRUE(window->SSTab1->isHidden());
    EXPECT_TRUE(window->Text1->isHidden());
    EXPECT_TRUE(window->optGlobal[1]->isChecked());
    EXPECT_TRUE(window->optGlobalOnOff[1]->isChecked());
    EXPECT_EQ(window->lblMinVoltage[0]->text(), "Min. 10");
    // The empty limit boxes take the slider's bounds in volts, not in its tenths.
    EXPECT_EQ(window->ll[1]->text(), "10");
    EXPECT_EQ(window->hl[1]->text(), "14");
    EXPECT_EQ(window->ll[5]->text(), "20");
    EXPECT_EQ(window->hl[5]->text(), "28");
}

class ConfigReadMixedFlags : public ConfigRead {
protected:
    // Unit 3 with its default global output state on but its remote on/off polarity inverted.
    Bus makeBus() override
    {
        Bus bus = Bus::defaultBus();
        bus.unit(3)->defaults = 0x02;
        return bus;
    }
};

TEST_F(ConfigReadMixedFlags, MixedGlobalFlagsShowTheOptionsAndHideTheModules)
{
    readUnit("3");
    ASSERT_FALSE(KivoGlobals::ErrorFlag);
    EXPECT_TRUE(window->optGlobal[0]->isChecked());      // "Normally On"
    EXPECT_TRUE(window->optGlobalOnOff[1]->isChecked()); // "Inverted(Enable)"
    EXPECT_FALSE(KivoGlobals::ModuleTypeRead);
    EXPECT_TRUE(window->SSTab1->isHidden());
    EXPECT_TRUE(KivoGlobals::ConfigExpanded);
    // Nothing from the thresholds on was shown: no mode selected.
    EXPECT_FALSE(window->optCurrentLimit[1]->isChecked());
    EXPECT_EQ(window->vsp[1]->text(), "12");
}

TEST_F(ConfigReadMixedFlags, RemoteOnOffNormalInhibitAppliedBringsTheModulesOnShow)
{
    readUnit("3");
    ASSERT_TRUE(window->SSTab1->isHidden());
    window->optGlobalOnOff[0]->setChecked(true); // "Normal (Inhibit)"
    window->cmdApply_Click();
    EXPECT_EQ(sim->bus().unit(3)->defaults & 0x03, 0x03);
    readUnit("3");
    ASSERT_FALSE(KivoGlobals::ErrorFlag);
    EXPECT_FALSE(window->SSTab1->isHidden());
    EXPECT_TRUE(window->optCurrentLimit[1]->isChecked());
    EXPECT_EQ(window->hl[1]->text(), "12.6");
}

TEST_F(ConfigRead, ATypeReadAnsweredWithAnErrorOrDamagedIsAFailedReadNotTheInhibit)
{
    struct Case {
        const char* what;
        Fault::Kind kind;
        const char* status;
    };
    for (const Case& c : {Case{"an error reply", Fault::ErrorReply, "CMD_ERROR"},
                          Case{"a bad CRC", Fault::BadCrc, "CMD_CRCERROR"}}) {
        SCOPED_TRACE(c.what);
        QFile::remove(KivoGlobals::ErrorLogPath);
        window->lblModulesOFF->clear();
        sim->server().faults().clear();
        sim->server().faults().add(
            {.uid = 3, .mid = 3, .cid = 0x04, .reg = 0xCC, .kind = c.kind, .times = Fault::always});
        readUnit("3");

        EXPECT_EQ(logMessages(), QStringList{"Error in GetModuleType in Unit  3 and Module 3"});
        EXPECT_EQ(KivoGlobals::LastErrorText,
                  QString("Error in GetModuleType in Unit 3 and Module 3 ") + c.status);
        // The failure path: collapsed, the error file offered, no module said to be off.
        EXPECT_FALSE(KivoGlobals::ConfigExpanded);
        EXPECT_FALSE(window->ErrorButton->isHidden());
        EXPECT_TRUE(window->ReadUnitId.isEmpty());
        EXPECT_EQ(window->lblModulesOFF->text(), "");
        EXPECT_FALSE(window->configProgressText().contains("GLOBAL INHIBIT"));
        EXPECT_TRUE(window->configProgressText().endsWith("Get Module Type...................."));
    }
}

TEST_F(ConfigRead, ModulesThatDoNotAnswerAreOffByGlobalInhibit)
{
    sim->server().faults().add({.uid = 3,
                                .mid = 1,
                                .cid = 0x04,
                                .reg = 0xCC,
                                .kind = Fault::NoReply,
                                .times = Fault::always});
    readUnit("3");
    ASSERT_FALSE(KivoGlobals::ErrorFlag);
    EXPECT_EQ(window->lblModulesOFF->text(), "Modules OFF by GLOBAL INHIBIT");
    EXPECT_TRUE(window->configProgressText().contains("Modules OFF by GLOBAL INHIBIT."));
    EXPECT_TRUE(window->SSTab1->isHidden());
}

TEST_F(ConfigRead, AUnitWithItsGlobalOutputOffShowsItsOptionsAndModulesOffByGlobalInhibit)
{
    // What the monitor's "All Outputs" switch leaves behind: the unit answers, its modules not.
    sim->bus().unit(3)->globalOutputState = 0x00;
    readUnit("3");
    ASSERT_FALSE(KivoGlobals::ErrorFlag) << KivoGlobals::LastErrorText.toStdString();
    EXPECT_TRUE(messages().empty()) << messageTexts().join(" | ").toStdString();
    EXPECT_EQ(window->configProgressText(), heading() + setupProgress(11) +
                                                "Ok\r\n\r\nModules OFF by GLOBAL INHIBIT.Ok\r\n" +
                                                "\r\nClosing Communication..............Ok\r\n");
    EXPECT_EQ(window->lblModulesOFF->text(), "Modules OFF by GLOBAL INHIBIT");
    EXPECT_FALSE(KivoGlobals::ModuleTypeRead);
    // The unit's own part is shown; the module tabs are not.
    EXPECT_TRUE(KivoGlobals::ConfigExpanded);
    EXPECT_EQ(window->PSID->text(), "3");
    EXPECT_EQ(window->SerialNumber->text(), "0313233343");
    EXPECT_TRUE(window->optGlobal[0]->isChecked());      // "Normally On"
    EXPECT_TRUE(window->optGlobalOnOff[0]->isChecked()); // "Normal (Inhibit)"
    EXPECT_TRUE(window->SSTab1->isHidden());
    EXPECT_TRUE(window->Text1->isHidden());
    EXPECT_FALSE(window->cmdApply->isEnabled());
    EXPECT_TRUE(window->ErrorButton->isHidden());
    EXPECT_FALSE(LinkInUse::taken());

    // Once the output is on again, Start shows the modules.
    sim->bus().unit(3)->globalOutputState = 0x02;
    readUnit("3");
    EXPECT_TRUE(KivoGlobals::ModuleTypeRead);
    EXPECT_FALSE(window->SSTab1->isHidden());
    EXPECT_EQ(window->vsp[1]->text(), "12");
}

TEST_F(ConfigRead, NoUnitPickedAsksForOne)
{
    // The list starts with no unit picked, and so does the window loaded again after an unload.
    for (const char* load : {"first load", "load after an unload"}) {
        SCOPED_TRACE(load);
        desktop.clear();
        EXPECT_EQ(window->UnitList->currentIndex(), -1);
        EXPECT_EQ(window->UnitList->count(), 32);
        window->SelectButton_Click();
        EXPECT_EQ(messageTexts(), QStringList{"Please select a valid unit."});
        EXPECT_TRUE(ops->isEmpty());
        window->UnitList->setCurrentText("4");
        window->Form_Unload();
        Forms::mainForm().hide();
        window->Form_Load();
    }
}

TEST_F(ConfigRead, TheCloseBoxDoesNothingWhileAReadRuns)
{
    // The title-bar close arrives while the read pumps events; unloading then would free the
    // unit record whose read is still on the stack.
    window->show();
    bool closed = false;
    bool stayed = false;
    kivo::desktop::setEventsRunHook([&] {
        if (!closed && LinkInUse::holder() == QStringLiteral("SupplyConfig.SelectButton") &&
            window->CurrentUnit != nullptr) {
            closed = true;
            window->close();
            stayed = window->isVisible();
        }
        QCoreApplication::processEvents();
    });
    readUnit("3");
    kivo::desktop::setEventsRunHook({});
    EXPECT_TRUE(closed);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(window->ReadUnitId, "3");
    EXPECT_TRUE(messages().empty()) << messageTexts().join(" | ").toStdString();

    // Once the read is done the close box unloads as before.
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->ReadUnitId.isEmpty());
    Forms::mainForm().hide();
}

TEST_F(ConfigRead, AReadWhileAnotherActionHoldsTheLinkIsIgnored)
{
    LinkInUse other(QStringLiteral("MonitorForm.recheck"));
    readUnit("3");
    EXPECT_TRUE(ops->isEmpty());
    EXPECT_TRUE(window->CurrentUnit == nullptr);
}

} // namespace
