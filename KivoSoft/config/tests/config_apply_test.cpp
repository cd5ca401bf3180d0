// Writing back against the simulated bus: the operations each Apply sends for what was read and
// what was edited, and what the unit holds afterwards.
#include "KivoSoft/config/tests/config_fixture.h"

using namespace KivoSoft;
using namespace KivoSoft::testing;
namespace G = KivoSoft::KivoGlobals;

namespace {

const QString kWriting = "\r\nWriting into Kivo Eeprom.......";

QString failureText(const QString& step)
{
    return "I could not open COM port, may be because is already open, close the program and "
           "try again.\r\nThe step that failed: " +
           step;
}

class ConfigApply : public ConfigTest {
protected:
    void readUnitOrFail(const QString& unit)
    {
        readUnit(unit);
        ASSERT_FALSE(G::ErrorFlag) << G::LastErrorText.toStdString();
        ops->clear();
        desktop.clear();
    }

    // The module's operations: "GetProgrammingMode 3 1" for ("GetProgrammingMode", 1).
    static QStringList moduleOps(int unit, int m, std::initializer_list<const char*> ops)
    {
        QStringList list;
        for (const char* op : ops) {
            QString name = QString::fromLatin1(op);
            const qsizetype space = name.indexOf(' ');
            const QString rest = space < 0 ? QString() : name.mid(space);
            list << name.left(space < 0 ? name.size() : space) +
                        QString(" %1 %2").arg(unit).arg(m) + rest;
        }
        return list;
    }

    bool portFree()
    {
        const bool opened =
            kivo::automation::call(G::DeviceLink, "OpenPort", sim->port()).status == "CMD_OK";
        kivo::automation::call(G::DeviceLink, "ClosePort");
        ops->clear();
        return opened && !LinkInUse::taken();
    }
};

class ConfigApplyUnit : public ConfigApply {
protected:
    Bus makeBus() override
    {
        Bus bus = Bus::defaultBus();
        bus.unit(3)->defaults = 0x07; // the default group state is on as well
        return bus;
    }
};

TEST_F(ConfigApplyUnit, UnitOptionsAreReadFirstAndTheGlobalOnesAlwaysSent)
{
    readUnitOrFail("3");
    ASSERT_TRUE(window->KivoColl.at("3")->Group);

    // Everything as read: the three polarities and the group state only read back.
    window->cmdApply_Click();
    EXPECT_EQ(takeOps(), (QStringList{"GetFanFailPolarity 3", "GetGlobalDCGoodPolarity 3",
                                      "GetOTFailPolarity 3", "GetDefaultGroupState 3",
                                      "SetDefaultGlobalOutputPolarity 3 1",
                                      "SetDefaultGlobalOutputState 3 1"}));
    EXPECT_TRUE(window->configProgressText().endsWith(kWriting + "Ok"));
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(G::WrittenToUnit);
    EXPECT_FALSE(window->cmdApply->isEnabled());
    EXPECT_FALSE(window->PellarosTx->Blinking());
    EXPECT_FALSE(window->PellarosTx->Enable());
    EXPECT_TRUE(window->PellarosTx->Status());

    // "Low on Fail" sends 1 for fan fail, "High on Fail" 1 for global DC good; "Inverted(Enable)"
    // and "Normally Off" send 0.
    window->optFanFail[0]->setChecked(true);
    window->optGlobalDC[0]->setChecked(true);
    window->optGlobalOnOff[1]->setChecked(true);
    window->optGlobal[1]->setChecked(true);
    EXPECT_TRUE(window->cmdApply->isEnabled());
    EXPECT_TRUE(G::UnitSettingEdited);
    window->cmdApply_Click();
    EXPECT_EQ(
        takeOps(),
        (QStringList{"GetFanFailPolarity 3", "SetFanFailPolarity 3 1", "GetGlobalDCGoodPolarity 3",
                     "SetGlobalDCGoodPolarity 3 1", "GetOTFailPolarity 3", "GetDefaultGroupState 3",
                     "SetDefaultGlobalOutputPolarity 3 0", "SetDefaultGlobalOutputState 3 0"}));
    EXPECT_EQ(sim->bus().unit(3)->signalPolarity, 0x03);
    // The group state the unit had stays: the window sends what it read.
    EXPECT_EQ(sim->bus().unit(3)->defaults, 0x04);
    EXPECT_TRUE(portFree());
}

TEST_F(ConfigApply, TheFirstFailedStepEndsTheUnitOptionsWithOneMessage)
{
    readUnitOrFail("3");
    struct Case {
        const char* failing; // the operation whose reply is an error
        QStringList sent;
        const char* step;
    };
    const Case cases[] = {
        {"GetFanFailPolarity", {"GetFanFailPolarity 3"}, "Fan Fail Polarity"},
        {"GetOTFailPolarity",
         {"GetFanFailPolarity 3", "GetGlobalDCGoodPolarity 3", "GetOTFailPolarity 3"},
         "Over Temperature Polarity"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        desktop.clear();
        beforeCall = [&](const QString& operation) {
            if (operation == c.failing) {
                sim->server().faults().add(
                    {.uid = 3, .cid = 0x04, .reg = 0x01, .kind = Fault::ErrorReply});
            }
        };
        window->optGlobal[1]->setChecked(!window->optGlobal[1]->isChecked());
        window->cmdApply_Click();
        beforeCall = {};
        EXPECT_EQ(takeOps(), c.sent);
        EXPECT_EQ(messageTexts(), QStringList{failureText(c.step)});
        EXPECT_EQ(messages()[0].title, "Kivo Monitor");
        EXPECT_TRUE(window->configProgressText().endsWith(kWriting + "Failed (" + c.step + ")"));
        EXPECT_FALSE(window->PellarosTx->Blinking());
        EXPECT_FALSE(window->PellarosRx->Blinking());
        EXPECT_TRUE(window->cmdApply->isEnabled()); // still pending
        EXPECT_TRUE(portFree());
    }
}

TEST_F(ConfigApply, AFailedOptionReadIsComparedWithWhatTheReadBeforeItGave)
{
    // The reads of one Apply share their value. Over temperature is to be "Low on Fail" (1) and
    // its read fails: the value is then the one the global DC good read gave just before.
    struct Case {
        std::uint8_t polarity; // the unit's signal polarity bits
        QStringList sent;
        QStringList messages;
    };
    const QStringList reads{"GetFanFailPolarity 3", "GetGlobalDCGoodPolarity 3",
                            "GetOTFailPolarity 3"};
    const Case cases[] = {
        // Global DC good reads 1: as wanted, so nothing is set and the failed read is reported.
        {0x02, reads, {failureText("Over Temperature Polarity")}},
        // It reads 0: over temperature is set, and that Set decides the step.
        {0x00,
         reads + QStringList{"SetOTFailPolarity 3 1", "GetDefaultGroupState 3",
                             "SetDefaultGlobalOutputPolarity 3 1",
                             "SetDefaultGlobalOutputState 3 1"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.polarity);
        sim->bus().unit(3)->signalPolarity = c.polarity;
        readUnitOrFail("3");
        window->optOverTemp[0]->setChecked(true);
        beforeCall = [&](const QString& operation) {
            if (operation == "GetOTFailPolarity") {
                sim->server().faults().add(
                    {.uid = 3, .cid = 0x04, .reg = 0x01, .kind = Fault::ErrorReply});
            }
        };
        window->cmdApply_Click();
        beforeCall = {};
        EXPECT_EQ(takeOps(), c.sent);
        EXPECT_EQ(messageTexts(), c.messages);
    }
}

TEST_F(ConfigApply, AModuleForEachEditFromWhatWasRead)
{
    readUnitOrFail("3");
    const int tab = tabOf(1);
    ASSERT_EQ(window->SSTab1->currentIndex(), tab);
    struct Row {
        const char* what;
        std::function<void(SupplyConfig&)> edit;
        QStringList sent;
        std::function<void(const kivo::unitsim::Module&)> holds;
    };
    const Row rows[] = {
        {"nothing edited: reads, and the set point that is always sent", [](SupplyConfig&) {},
         moduleOps(3, 1,
                   {"GetProgrammingMode", "GetDefaultOutputOnOffPolarity",
                    "GetDefaultOutputOnOffState", "GetOutputTurnONDelayExUShort",
                    "SetDefaultOutputVoltage 1200", "GetModuleGoodHighThreshold",
                    "GetModuleGoodLowThreshold", "GetCurrentLimitMode"}),
         [](const kivo::unitsim::Module& m) { EXPECT_EQ(m.defaultVoltage, 1200); }},
        {"every setting, latching at 8.5 A with 65535 ms",
         [](SupplyConfig& s) {
             s.OptProgMode[1]->setChecked(true);
             s.optPolarity[1]->setChecked(true);
             s.startupdelay[1]->setText("65000");
             s.vsp[1]->setText("12.5");
             s.hl[1]->setText("13");
             s.optCurrentLimit[2]->setChecked(true);
             s.CurrentLimit[1]->setText("8.5");
             s.EnableReset[1]->setChecked(true);
             s.cboxActivationTime[1]->setEditText("65535");
         },
         moduleOps(3, 1,
                   {"GetProgrammingMode", "SetProgrammingMode 1", "GetDefaultOutputOnOffPolarity",
                    "SetDefaultOutputOnOffPolarity 1", "GetDefaultOutputOnOffState",
                    "GetOutputTurnONDelayExUShort", "SetOutputTurnONDelayExUShort 65000",
                    "SetDefaultOutputVoltage 1250", "GetModuleGoodHighThreshold",
                    "SetModuleGoodHighThreshold 1300", "GetModuleGoodLowThreshold",
                    "GetCurrentLimit", "SetCurrentLimit 850", "SetCurrentLimitMode 1 1",
                    "GetCurrentLimitONTimeExUShort", "SetCurrentLimitONTimeExUShort 65535"}),
         [](const kivo::unitsim::Module& m) {
             EXPECT_EQ(m.turnOnDelay, 65000);
             EXPECT_EQ(m.defaultVoltage, 1250);
             EXPECT_EQ(m.goodHigh, 1300);
             EXPECT_EQ(m.goodLow, 1140);
             EXPECT_EQ(m.currentLimit, 850);
             EXPECT_EQ(m.limitOnTime, 65535);
             EXPECT_EQ(m.flags, 0x3D); // latching, reset enabled, programming, polarity, on
         }},
        {"0.001 A off and 0.009 V: neither is sent; hiccup sends its mode and reset time",
         [](SupplyConfig& s) {
             s.vsp[1]->setText("0.009");
             s.optCurrentLimit[3]->setChecked(true);
             s.CurrentLimit[1]->setText("8.501");
             s.cboxResetTime[1]->setEditText("65535");
         },
         moduleOps(3, 1,
                   {"GetProgrammingMode", "GetDefaultOutputOnOffPolarity",
                    "GetDefaultOutputOnOffState", "GetOutputTurnONDelayExUShort",
                    "GetModuleGoodHighThreshold", "GetModuleGoodLowThreshold", "GetCurrentLimit",
                    "SetCurrentLimitMode 2 1", "GetCurrentLimitONTimeExUShort",
                    "GetCurrentLimitOFFTimeExUShort", "SetCurrentLimitOFFTimeExUShort 65535"}),
         [](const kivo::unitsim::Module& m) {
             EXPECT_EQ(m.defaultVoltage, 1250);
             EXPECT_EQ(m.currentLimit, 850);
             EXPECT_EQ(m.limitOffTime, 65535);
             EXPECT_EQ(m.flags & 0x03, 2);
         }},
        {"just over 0.001 A and 0.01 V are sent",
         [](SupplyConfig& s) {
             s.vsp[1]->setText("0.01");
             s.CurrentLimit[1]->setText("8.502");
         },
         moduleOps(3, 1,
                   {"GetProgrammingMode", "GetDefaultOutputOnOffPolarity",
                    "GetDefaultOutputOnOffState", "GetOutputTurnONDelayExUShort",
                    "SetDefaultOutputVoltage 1", "GetModuleGoodHighThreshold",
                    "GetModuleGoodLowThreshold", "GetCurrentLimit", "SetCurrentLimit 850",
                    "SetCurrentLimitMode 2 1", "GetCurrentLimitONTimeExUShort",
                    "GetCurrentLimitOFFTimeExUShort"}),
         [](const kivo::unitsim::Module& m) { EXPECT_EQ(m.defaultVoltage, 1); }},
        {"current share with an empty limit, empty limits and delay",
         [](SupplyConfig& s) {
             s.vsp[1]->setText("12");
             s.optCurrentLimit[16]->setChecked(true);
             s.CurrentLimit[1]->clear();
             s.hl[1]->clear();
             s.ll[1]->clear();
             s.startupdelay[1]->clear();
         },
         moduleOps(3, 1,
                   {"GetProgrammingMode", "GetDefaultOutputOnOffPolarity",
                    "GetDefaultOutputOnOffState", "GetOutputTurnONDelayExUShort",
                    "SetOutputTurnONDelayExUShort 0", "SetDefaultOutputVoltage 1200",
                    "GetModuleGoodHighThreshold", "SetModuleGoodHighThreshold 0",
                    "GetModuleGoodLowThreshold", "SetModuleGoodLowThreshold 0",
                    "GetCurrentLimitMode", "SetCurrentLimitMode 3 0"}),
         [](const kivo::unitsim::Module& m) {
             EXPECT_EQ(m.goodHigh, 0);
             EXPECT_EQ(m.goodLow, 0);
             EXPECT_EQ(m.turnOnDelay, 0);
             EXPECT_EQ(m.flags & 0x07, 3);
         }},
        {"normal again", [](SupplyConfig& s) { s.optCurrentLimit[1]->setChecked(true); },
         moduleOps(3, 1,
                   {"GetProgrammingMode", "GetDefaultOutputOnOffPolarity",
                    "GetDefaultOutputOnOffState", "GetOutputTurnONDelayExUShort",
                    "SetDefaultOutputVoltage 1200", "GetModuleGoodHighThreshold",
                    "GetModuleGoodLowThreshold", "GetCurrentLimitMode", "SetCurrentLimitMode 0 0"}),
         [](const kivo::unitsim::Module& m) { EXPECT_EQ(m.flags & 0x07, 0); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        desktop.clear();
        row.edit(*window);
        window->cmdApplyCLM_Click(tab);
        EXPECT_EQ(takeOps(), row.sent);
        EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
        row.holds(module(3, 1));
        EXPECT_TRUE(window->configProgressText().endsWith(kWriting + "Ok"));
        EXPECT_FALSE(window->cmdApplyCLM[tab]->isEnabled());
        EXPECT_FALSE(window->PellarosTx->Blinking());
    }
    // Empty fields read in the steps keep the "0" written into them.
    EXPECT_EQ(window->hl[1]->text(), "0");
    EXPECT_EQ(window->startupdelay[1]->text(), "0");
    EXPECT_EQ(window->CurrentLimit[1]->text(), "0");
    EXPECT_TRUE(G::WrittenToUnit);
    EXPECT_TRUE(portFree());
}

TEST_F(ConfigApply, EachModuleIsWrittenWithItsOwnScaling)
{
    readUnitOrFail("5");     // slot 1 a 12 V type (100 counts per ampere), slot 2 a 48 V one (1000)
    G::SelectedUnitId = "3"; // the monitor selected another unit meanwhile
    window->SSTab1->setCurrentIndex(tabOf(2));
    window->optCurrentLimit[5]->setChecked(true); // module 2 latching
    window->CurrentLimit[2]->setText("2.5");
    window->vsp[2]->setText("48.5");
    window->cmdApplyCLM_Click(tabOf(2));
    const QStringList sent = takeOps();
    EXPECT_TRUE(sent.contains("SetCurrentLimit 5 2 2500")) << sent.join('|').toStdString();
    EXPECT_TRUE(sent.contains("SetDefaultOutputVoltage 5 2 4850"));
    EXPECT_EQ(module(5, 2).currentLimit, 2500);

    // Module 1 can be written at all, with its own factors.
    window->SSTab1->setCurrentIndex(tabOf(1));
    window->optCurrentLimit[2]->setChecked(true);
    window->CurrentLimit[1]->setText("5");
    window->cmdApplyCLM_Click(tabOf(1));
    EXPECT_TRUE(takeOps().contains("SetCurrentLimit 5 1 500"));
    EXPECT_EQ(module(5, 1).currentLimit, 500);
    EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
}

TEST_F(ConfigApply, ACommaLocaleReadsAndWritesOneWay)
{
    useLocale(commaLocale);
    readUnitOrFail("3");
    EXPECT_EQ(window->hl[1]->text(), "12,6");
    window->optCurrentLimit[2]->setChecked(true);
    window->CurrentLimit[1]->setText("2,5");
    bool cancel = false;
    window->CurrentLimit_Validate(1, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(window->hscrollCurrentLimit[1]->value(), 2);
    window->vsp[1]->setText("12,5");
    window->cmdApplyCLM_Click(tabOf(1));
    const QStringList sent = takeOps();
    EXPECT_TRUE(sent.contains("SetCurrentLimit 3 1 250")) << sent.join('|').toStdString();
    EXPECT_TRUE(sent.contains("SetDefaultOutputVoltage 3 1 1250"));
    EXPECT_EQ(module(3, 1).currentLimit, 250);
}

TEST_F(ConfigApply, ApplyAllWritesModulesFiveToOneAndGoesOnAfterAFailure)
{
    readUnitOrFail("3");
    window->SSTab1->setCurrentIndex(tabOf(1));
    window->vsp[1]->setText("13");
    window->SSTab1->setCurrentIndex(tabOf(5));
    window->vsp[5]->setText("25");
    ASSERT_TRUE(window->cmdSave->isEnabled());
    ASSERT_FALSE(window->cmdApply->isEnabled());
    sim->server().faults().add(
        {.uid = 3, .mid = 5, .cid = 0x04, .reg = 0x10, .kind = Fault::ErrorReply});

    window->cmdSave_Click();

    const QStringList sent = takeOps();
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_EQ(sent.first(), "GetProgrammingMode 3 5");
    EXPECT_EQ(sent.mid(1), moduleOps(3, 1,
                                     {"GetProgrammingMode", "GetDefaultOutputOnOffPolarity",
                                      "GetDefaultOutputOnOffState", "GetOutputTurnONDelayExUShort",
                                      "SetDefaultOutputVoltage 1300", "GetModuleGoodHighThreshold",
                                      "GetModuleGoodLowThreshold", "GetCurrentLimitMode"}));
    EXPECT_EQ(messageTexts(), QStringList{failureText("Programming Mode")});
    EXPECT_EQ(module(3, 1).defaultVoltage, 1300);
    EXPECT_EQ(module(3, 5).defaultVoltage, 2400);
    EXPECT_FALSE(window->cmdSave->isEnabled());
    EXPECT_TRUE(window->cmdApplyCLM[tabOf(5)]->isEnabled()); // still pending
    EXPECT_FALSE(window->cmdApplyCLM[tabOf(1)]->isEnabled());
    EXPECT_TRUE(window->configProgressText().endsWith(kWriting + "Failed (Programming Mode)" +
                                                      kWriting + "Ok"));
}

TEST_F(ConfigApply, NothingIsSentWhenAValueCannotBeWritten)
{
    readUnitOrFail("3");
    const int tab = tabOf(1);
    struct Case {
        const char* what;
        std::function<void(SupplyConfig&)> edit;
        QString message;
    };
    const Case cases[] = {
        {"a limit that is no number", [](SupplyConfig& s) { s.hl[1]->setText("12.5abc"); },
         "Nothing was written to module 1: the Module Good High Limit \"12.5abc\" is not a "
         "number."},
        {"an on time beyond 65535 ms",
         [](SupplyConfig& s) {
             s.optCurrentLimit[2]->setChecked(true);
             s.cboxActivationTime[1]->setEditText("65536");
         },
         "Nothing was written to module 1: the Current Limit Delay \"65536\" is not a time from 0 "
         "to 65535 ms."},
        {"a set point beyond the unit's counts", [](SupplyConfig& s) { s.vsp[1]->setText("400"); },
         "Nothing was written to module 1: the Voltage Setpoint is out of the unit's range."},
        {"a module type without factors",
         [](SupplyConfig& s) { s.ReadScaling[1].VoltageScaleFactor = 0; },
         "Nothing was written to module 1: its module type has no voltage scale factor."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        desktop.clear();
        ops->clear();
        G::WrittenToUnit = false;
        const clsScalability scaling = window->ReadScaling[1];
        window->optCurrentLimit[1]->setChecked(true);
        window->vsp[1]->setText("12");
        window->hl[1]->setText("12.6");
        c.edit(*window);
        window->cmdApplyCLM[tab]->setEnabled(true);
        window->cmdApplyCLM_Click(tab);
        window->ReadScaling[1] = scaling;
        EXPECT_TRUE(ops->isEmpty()) << ops->join('|').toStdString(); // the port not even opened
        EXPECT_EQ(messageTexts(), QStringList{c.message});
        EXPECT_TRUE(window->cmdApplyCLM[tab]->isEnabled());
        EXPECT_FALSE(G::WrittenToUnit);
    }

    // A step that fails: the steps before stay written, one message names the step, the lamps
    // stop and the module's Apply stays offered.
    desktop.clear();
    window->hl[1]->setText("12.6");
    window->vsp[1]->setText("13.5");
    // A read that fails is followed by the write of the field's value when that differs from
    // the 0 the read left; here the write fails too.
    for (const int command : {0x13, 0x14}) {
        sim->server().faults().add(
            {.uid = 3, .mid = 1, .cid = command, .reg = 0x05, .kind = Fault::ErrorReply});
    }
    window->cmdApplyCLM_Click(tab);
    const QStringList sent = takeOps();
    ASSERT_GE(sent.size(), 2);
    EXPECT_EQ(sent.mid(sent.size() - 2), (QStringList{"GetModuleGoodHighThreshold 3 1",
                                                      "SetModuleGoodHighThreshold 3 1 1260"}));
    EXPECT_EQ(module(3, 1).defaultVoltage, 1350);
    EXPECT_EQ(messageTexts(), QStringList{failureText("Module Good High Limit")});
    EXPECT_FALSE(window->PellarosTx->Blinking());
    EXPECT_TRUE(window->cmdApplyCLM[tab]->isEnabled());
    EXPECT_TRUE(window->configProgressText().endsWith("Failed (Module Good High Limit)"));
    EXPECT_TRUE(portFree());

    // While another action holds the link, a click leaves the port alone.
    LinkInUse other(QStringLiteral("MonitorForm.recheck"));
    window->cmdApplyCLM_Click(tab);
    window->cmdApply_Click();
    EXPECT_TRUE(ops->isEmpty());
}

TEST_F(ConfigApply, ChangesAppliedAreReadBack)
{
    readUnitOrFail("3");
    window->vsp[1]->setText("13.2");
    window->hl[1]->setText("13.9");
    window->optCurrentLimit[3]->setChecked(true); // hiccup
    window->CurrentLimit[1]->setText("7.5");
    window->optFanFail[0]->setChecked(true);
    window->cmdSave_Click();
    EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
    EXPECT_EQ(module(3, 1).defaultVoltage, 1320);
    EXPECT_EQ(module(3, 1).goodHigh, 1390);
    EXPECT_EQ(module(3, 1).currentLimit, 750);
    EXPECT_EQ(sim->bus().unit(3)->signalPolarity & 0x01, 1);

    readUnitOrFail("3");
    EXPECT_EQ(window->vsp[1]->text(), "13.2");
    EXPECT_EQ(window->hl[1]->text(), "13.9");
    EXPECT_TRUE(window->optCurrentLimit[3]->isChecked());
    EXPECT_FALSE(window->cboxResetTime[1]->isHidden());
    EXPECT_EQ(window->CurrentLimit[1]->text(), "7.5");
    EXPECT_EQ(window->hscrollCurrentLimit[1]->value(), 8);
    EXPECT_TRUE(window->optFanFail[0]->isChecked());
}

} // namespace
