// The window's frame: the restart notice with the restart it offers, leaving the window by each
// of its ways, the unit list, the fixed size and the tool tips.
#include "KivoSoft/config/tests/config_fixture.h"

#include "KivoSoft/shell/MainForm.h"
#include "tests/support/eventually.h"
#include "tests/support/modal.h"


using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::desktop::vbNo;
using kivo::desktop::vbYes;
namespace G = KivoSoft::KivoGlobals;

namespace {

using kivo::testsupport::eventually;
using kivo::testsupport::whenModalShows;

class ConfigFrame : public ConfigTest {
protected:
    void TearDown() override
    {
        Forms::setMonitorFormInstance({});
        ConfigTest::TearDown();
    }

    // The window as after a read of unit 3 with the unit options given, nothing pending.
    void showUnitThree(bool normallyOn, bool normalInhibit)
    {
        window->ReadUnitId = "3";
        G::SelectedUnitId = "3";
        window->UnitList->setCurrentText("3");
        window->optGlobal[normallyOn ? 0 : 1]->setChecked(true);
        window->optGlobalOnOff[normalInhibit ? 0 : 1]->setChecked(true);
        G::UnitSettingEdited = G::ModuleSettingEdited = G::WrittenToUnit = false;
    }

    bool globalOutputOn(int unit) { return sim->bus().unit(unit)->globalOutputOn(); }
};

const QString kRecycle = "The changes made will not take effect until the supply to the unit is "
                         "recycled.\r\nTo avoid unexpected operation please recycle the supply "
                         "before continuing.";
const QString kRestart = "The changes made will not take effect until the outputs are "
                         "restarted.\r\n To avoid unexpected operation would you like to restart "
                         "the outputs now?";

TEST_F(ConfigFrame, TheRestartNoticeForEachFlagAnswerAndOption)
{
    struct Case {
        const char* what;
        bool unit, module, written;
        kivo::desktop::MsgBoxResult answer;
        bool normallyOn, normalInhibit;
        QString notice; // "" for none
        QStringList sent;
        bool flagsCleared;
    };
    const QStringList offOn = {"SetGlobalOutputState 3 0", "SetGlobalOutputState 3 1"};
    const QStringList off = {"SetGlobalOutputState 3 0"};
    const Case cases[] = {
        {"unit options written", true, false, true, vbYes, true, true, kRecycle, {}, true},
        {"unit and module settings written: only the recycle notice",
         true,
         true,
         true,
         vbYes,
         true,
         true,
         kRecycle,
         {},
         true},
        {"module settings written, No", false, true, true, vbNo, true, true, kRestart, {}, true},
        {"Yes, normally on with normal inhibit", false, true, true, vbYes, true, true, kRestart,
         offOn, true},
        {"Yes, normally off with inverted enable", false, true, true, vbYes, false, false, kRestart,
         offOn, true},
        {"Yes, normally off with normal inhibit: stays off", false, true, true, vbYes, false, true,
         kRestart, off, true},
        {"Yes, normally on with inverted enable: stays off", false, true, true, vbYes, true, false,
         kRestart, off, true},
        {"an edit never written", true, true, false, vbYes, true, true, "", {}, false},
        {"written, nothing edited", false, false, true, vbYes, true, true, "", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        showUnitThree(c.normallyOn, c.normalInhibit);
        sim->bus().unit(3)->globalOutputState = 0x02;
        G::UnitSettingEdited = c.unit;
        G::ModuleSettingEdited = c.module;
        G::WrittenToUnit = c.written;
        desktop.clear();
        desktop.queueMsgBoxAnswer(c.answer);
        ops->clear();

        window->UnitList_Click(); // the unit already selected: the notice only

        EXPECT_EQ(messageTexts(), c.notice.isEmpty() ? QStringList{} : QStringList{c.notice});
        if (!c.notice.isEmpty()) {
            EXPECT_EQ(messages()[0].title, "EEPROM Configurator");
        }
        EXPECT_EQ(takeOps(), c.sent);
        EXPECT_EQ(globalOutputOn(3), c.sent.isEmpty() || c.sent.size() == 2);
        EXPECT_EQ(!G::UnitSettingEdited && !G::ModuleSettingEdited && !G::WrittenToUnit,
                  c.flagsCleared || (!c.unit && !c.module && !c.written));
        EXPECT_EQ(window->KivoColl.size(), 32u); // no reload
    }
}

TEST_F(ConfigFrame, TheRestartGoesToTheUnitReadWhateverTheMonitorSelected)
{
    showUnitThree(false, true); // stays off after the restart
    G::SelectedUnitId = "5";    // the monitor picked unit 5 meanwhile
    G::ModuleSettingEdited = G::WrittenToUnit = true;
    window->cmdMonitor_Click();
    EXPECT_EQ(takeOps(), QStringList{"SetGlobalOutputState 3 0"});
    EXPECT_FALSE(globalOutputOn(3));
    EXPECT_TRUE(globalOutputOn(5));
    EXPECT_TRUE(window->isHidden());
}

TEST_F(ConfigFrame, AfterTheGroupingDialogsReloadTheRestartStillGoesToTheUnitRead)
{
    showUnitThree(false, true);
    G::ModuleSettingEdited = G::WrittenToUnit = true; // what the grouping dialog's Apply sets
    window->LoadForm();
    EXPECT_EQ(window->ReadUnitId, "3");
    window->UnitList->setCurrentText("4");
    window->UnitList_Click(); // the notice first, for unit 3; then unit 4's load
    EXPECT_EQ(messageTexts(), QStringList{kRestart});
    EXPECT_EQ(takeOps(), QStringList{"SetGlobalOutputState 3 0"});
    EXPECT_TRUE(window->ReadUnitId.isEmpty());
}

TEST_F(ConfigFrame, ARestartThatCannotSwitchTheOutputsBackOnSaysSo)
{
    showUnitThree(true, true);
    int switched = 0;
    beforeCall = [&](const QString& operation) {
        if (operation == "SetGlobalOutputState" && ++switched == 2) {
            sim->server().faults().add({.uid = 3, .cid = 0x0E, .kind = Fault::ErrorReply});
        }
    };
    window->RestartUnit();
    EXPECT_EQ(takeOps(), (QStringList{"SetGlobalOutputState 3 0", "SetGlobalOutputState 3 1"}));
    EXPECT_EQ(messageTexts(), QStringList{"The outputs of unit 3 were switched off but could not "
                                          "be switched back on."});

    // Switching off failing too: said, and nothing more is tried.
    desktop.clear();
    switched = 0;
    beforeCall = {};
    sim->server().faults().add({.uid = 3, .cid = 0x0E, .kind = Fault::ErrorReply});
    window->RestartUnit();
    EXPECT_EQ(takeOps(), QStringList{"SetGlobalOutputState 3 0"});
    EXPECT_EQ(messageTexts(), QStringList{"The outputs of unit 3 could not be restarted: they "
                                          "could not be switched off."});

    // While another action holds the link the restart leaves the port alone.
    desktop.clear();
    LinkInUse other(QStringLiteral("MonitorForm.recheck"));
    window->RestartUnit();
    EXPECT_TRUE(takeOps().isEmpty());
}

TEST_F(ConfigFrame, CloseUnloadsToTheLoadStateAndShowsTheMainWindow)
{
    showUnitThree(true, true);
    window->show();
    G::ConfigExpanded = true;
    window->Form_Resize();
    G::UnitSettingEdited = G::WrittenToUnit = true;
    window->Cancel_Click();
    EXPECT_EQ(messageTexts(), QStringList{kRecycle});
    EXPECT_TRUE(window->isHidden());
    EXPECT_TRUE(Forms::mainForm().isVisible());
    EXPECT_FALSE(window->isLoaded());
    EXPECT_TRUE(window->KivoColl.empty());
    EXPECT_TRUE(window->ReadUnitId.isEmpty());
    EXPECT_EQ(window->lblMain->text(), "Please select unit");
    EXPECT_FALSE(window->optGlobal[0]->isChecked());
    EXPECT_EQ(window->height(), 170);

    // Shown again it loads again: collapsed, 32 blank records, the list not doubled.
    window->show();
    EXPECT_TRUE(window->isLoaded());
    EXPECT_EQ(window->KivoColl.size(), 32u);
    EXPECT_EQ(window->UnitList->count(), 32);

    // The close box does the same.
    desktop.clear();
    Forms::mainForm().hide();
    window->close();
    EXPECT_TRUE(window->isHidden());
    EXPECT_TRUE(Forms::mainForm().isVisible());
}

TEST_F(ConfigFrame, TheMonitorButtonLeavesTheWindowAsItWas)
{
    QWidget monitor;
    Forms::setMonitorFormInstance([&monitor] { return &monitor; });
    Forms::setSupplyConfigInstance([this] { return window; });
    showUnitThree(true, true);
    window->show();
    window->cmdMonitor_Click();
    EXPECT_TRUE(window->isHidden());
    EXPECT_TRUE(monitor.isVisible());

    // The monitor's configurator button brings it back without a load.
    monitor.hide();
    Forms::supplyConfig()->show();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->ReadUnitId, "3");
    EXPECT_TRUE(window->optGlobal[0]->isChecked());
    Forms::setSupplyConfigInstance({});
}

TEST_F(ConfigFrame, PickingAUnitInTheList)
{
    showUnitThree(true, true);
    window->PSID->setText("3");
    const auto before = window->KivoColl.at("7");
    window->UnitList->setCurrentText("3");
    window->UnitList_Click();
    EXPECT_EQ(window->PSID->text(), "3"); // the same unit: nothing more
    EXPECT_EQ(window->KivoColl.at("7"), before);

    G::ConfigExpanded = true;
    window->UnitList->setCurrentText("7");
    window->UnitList_Click();
    EXPECT_TRUE(window->PSID->text().isEmpty());
    EXPECT_NE(window->KivoColl.at("7"), before);
    EXPECT_EQ(window->KivoColl.size(), 32u);
    EXPECT_EQ(window->UnitList->count(), 32);
    EXPECT_FALSE(G::ConfigExpanded);
    EXPECT_EQ(window->height(), 170);
    EXPECT_EQ(window->UnitList->currentText(), "7");
}

TEST_F(ConfigFrame, AReadOfAnotherWindowLeavesTheWindowAsItIs)
{
    // The monitor window's reads make the same calls; only the window's own read may show
    // anything, so a loaded window and one never loaded both stay as they are.
    SupplyConfig unloaded;
    for (SupplyConfig* target : {window, &unloaded}) {
        SCOPED_TRACE(target == window ? "loaded" : "not loaded");
        const bool loaded = target->isLoaded();
        WindowUnitWindows forwarded(target);
        forwarded.setConfigModuleId(2, "KM-5V-20A");
        forwarded.setConfigProgressText("Ok\r\nGet present modules");
        forwarded.setConfigCurrentLimitMinimum(2, 0);
        forwarded.setConfigCurrentLimitMaximum(2, 20);
        forwarded.setConfigMaxCurrentCaption(2, "20");
        forwarded.setConfigSetPointMinimum(2, 0);
        forwarded.setConfigSetPointMaximum(2, 60);
        forwarded.setConfigSetPointMinimum(2, 40);
        forwarded.setConfigModulesOffCaption("Modules OFF by GLOBAL INHIBIT");
        EXPECT_EQ(target->isLoaded(), loaded);
        EXPECT_EQ(forwarded.configProgressText(), "");
        EXPECT_EQ(target->RichTextBox1->toPlainText(), "");
        EXPECT_EQ(target->txtModuleID[2]->text(), "");
        EXPECT_EQ(target->hscrollCurrentLimit[2]->maximum(), 25);
        EXPECT_EQ(target->lblMaxCL[2]->text(), "25");
        EXPECT_EQ(target->slrVsp[2]->minimum(), 0);
        EXPECT_EQ(target->slrVsp[2]->maximum(), 10);
        EXPECT_EQ(target->lblModulesOFF->text(), "");
    }
}

TEST_F(ConfigFrame, TheSizeSnapsBack)
{
    window->show();
    window->showMaximized();
    EXPECT_TRUE(eventually([&] { return !window->isMaximized(); }, 5000));
    EXPECT_EQ(window->size(), QSize(790, 170));
    window->resize(900, 600);
    EXPECT_EQ(window->size(), QSize(790, 170));
    G::ConfigExpanded = true;
    window->Form_Resize();
    EXPECT_EQ(window->size(), QSize(790, 567));
}

TEST_F(ConfigFrame, ToolTipsWithoutTheirSectionShowNA)
{
    write("Tooltips.ini", "[MONITOR]\nSelectButton=Elsewhere\n");
    window->LoadForm();
    for (QWidget* control : std::initializer_list<QWidget*>{
             window->SelectButton, window->PSID, window->Load, window->optFanFail[1],
             window->OptProgMode[10], window->optCurrentLimit[20], window->slrVsp[5],
             window->EnableReset[2]}) {
        EXPECT_EQ(control->toolTip(), "N/A") << control->objectName().toStdString();
    }
    EXPECT_EQ(window->cmdMonitor->toolTip(), "Show interactive program");
}

TEST_F(ConfigFrame, HelpPortAndErrorLog)
{
    window->cmdModuleNumbering_Click();
    ASSERT_EQ(desktop.calls().size(), 1u);
    EXPECT_EQ(desktop.calls()[0].kind, DesktopCall::Kind::HelpTopic);
    EXPECT_EQ(desktop.calls()[0].text, "EC.html");
    desktop.clear();
    desktop.queueHelpTopicAnswer(false);
    window->cmdModuleNumbering_Click();
    EXPECT_EQ(messageTexts(), QStringList{"The required help file not properly installed in your "
                                          "machine. Contact system support."});

    desktop.clear();
    // The button shows after a failed read, which has logged its failure.
    ASSERT_TRUE(G::LogError("Error in GetPresentModules in Unit  3"));
    window->ErrorButton_Click();
    ASSERT_EQ(desktop.calls().size(), 1u);
    EXPECT_EQ(desktop.calls()[0].kind, DesktopCall::Kind::OpenFile);
    EXPECT_EQ(desktop.calls()[0].text, G::ErrorLogPath);

    EXPECT_EQ(window->cmdComSettings->text(), "Com. Port = " + G::DefaultComPort);
    whenModalShows([](QWidget* dialog) {
        auto* port = dialog->findChild<QComboBox*>("ComPort");
        port->setEditText("/dev/ttyUSB7");
        dialog->findChild<QPushButton*>("OKButton")->click();
    });
    window->cmdComSettings_Click();
    EXPECT_EQ(window->cmdComSettings->text(), "Com. Port = /dev/ttyUSB7");
}

} // namespace
