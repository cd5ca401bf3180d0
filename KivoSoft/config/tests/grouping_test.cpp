// The grouping dialog against unit 3 of the simulated bus through the real link library: the
// reads of the fitted slots, the writes of an Apply frame by frame with the unit's registers
// afterwards, the failures of a write and of a start-up read, the delay check, and the port held
// from the load to the unload.
#include "KivoSoft/config/frmModuleGrouping.h"
#include "KivoSoft/config/tests/grouping_fixture.h"
#include "KivoSoft/model/LinkInUse.h"
#include "tests/support/access.h"
#include "tests/support/modal.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QTest>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::desktop::DesktopCall;
using kivo::desktop::vbCritical;
using kivo::desktop::vbInformation;
using kivo::desktop::vbOKOnly;
using kivo::unitsim::Bus;
using kivo::unitsim::Fault;

namespace {

namespace G = KivoGlobals;

const std::string kCheck = "03 1F 04 C8";
const Frames kGroupReads = {"03 01 04 0F", "03 03 04 0F", "03 05 04 0F"};
const QString kSoftwareTitle = "Kivo, Software. Dravon Electronics";

// Unit 3 of the default bus: slots 1 and 3 in group 1, module 1 normally off, module 3 normally
// on; slot 5 in group 3, normally on after 400 ms.
Bus unitThree()
{
    Bus bus = Bus::defaultBus();
    auto three = bus.unit(3);
    three->module(1).flags = 0x00;
    three->module(3).flags = 0x20;
    three->module(5).groupId = 3;
    three->module(5).flags = 0x20;
    three->module(5).turnOnDelay = 400;
    return bus;
}

QStringList entries(const QListWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row) {
        texts << list->item(row)->text();
    }
    return texts;
}

struct Registers {
    int group;
    int flags;
    int delay;
    bool operator==(const Registers&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Registers& r)
{
    return os << "{group " << r.group << ", flags " << r.flags << ", delay " << r.delay << "}";
}

class Grouping : public SimulatorTest {
protected:
    void TearDown() override
    {
        dialog.reset();
        SimulatorTest::TearDown();
    }

    // The dialog loaded on unit 3, the bus's log cleared afterwards.
    void load(Bus bus = unitThree())
    {
        start(std::move(bus));
        G::PresentModuleBits = "10101000";
        host.unitId = "3";
        host.loadForm = [this] {
            ++loadForms;
            portFreeAtLoadForm = portFree();
            linkCalls->push_back("LoadForm");
        };
        dialog = std::make_unique<frmModuleGrouping>();
        ASSERT_TRUE(dialog->Form_Load(host));
        loadFrames = requests();
        calls();
    }

    void showGroup(int group)
    {
        dialog->cboGroup->setCurrentIndex(group - 1);
        dialog->cboGroup_Click();
    }

    void move(const QString& module)
    {
        const QList<QListWidgetItem*> found =
            dialog->lstAvailableModules->findItems(module, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << module.toStdString();
        dialog->lstAvailableModules->setCurrentItem(found.front());
        dialog->btnAssign_Click();
    }

    Registers registers(int slot)
    {
        auto unit = sim->bus().unit(3);
        const auto& module = unit->module(slot);
        return {module.groupId, module.flags, module.turnOnDelay};
    }

    bool flagsSet() const
    {
        EXPECT_EQ(G::ModuleSettingEdited, dialog->GroupingApplied);
        EXPECT_EQ(G::WrittenToUnit, dialog->GroupingApplied);
        return dialog->GroupingApplied;
    }

    std::unique_ptr<frmModuleGrouping> dialog;
    GroupingHost host;
    Frames loadFrames;
    int loadForms = 0;
    bool portFreeAtLoadForm = true;
};

TEST_F(Grouping, LoadReadsTheFittedSlotsAndHoldsThePortUntilTheUnload)
{
    load();
    EXPECT_EQ(loadFrames, joined<std::string>({{kCheck}, kGroupReads}));
    EXPECT_EQ(entries(dialog->lstGroupModules), QStringList({"Module 1", "Module 3"}));
    EXPECT_EQ(entries(dialog->lstAvailableModules), QStringList({"Module 5"}));
    EXPECT_EQ(dialog->GroupOfModule, (std::array<std::int16_t, 6>{0, 1, 0, 1, 0, 3}));
    EXPECT_EQ(dialog->cboGroup->currentText(), "Group 1 (Un-grouped)");
    EXPECT_EQ(dialog->lblGroupModules->text(), "Group1 Modules");
    EXPECT_FALSE(dialog->frmStartupState->isEnabled());
    EXPECT_FALSE(dialog->txtStartupDelay[0]->isEnabled());
    EXPECT_EQ(dialog->txtStartupDelay[0]->palette().color(QPalette::Base), QColor(224, 224, 224));
    EXPECT_FALSE(dialog->cmdApply->isEnabled());
    EXPECT_FALSE(dialog->cmdReset->isEnabled());
    EXPECT_TRUE(dialog->btnAssign->isEnabled());
    EXPECT_TRUE(desktop.calls().empty());

    // Held for the dialog's whole life: no other window's tick or action reaches the port.
    EXPECT_TRUE(LinkInUse::taken());
    EXPECT_EQ(LinkInUse::holder(), frmModuleGrouping::LinkHolder);
    EXPECT_FALSE(portFree());
    EXPECT_FALSE(LinkInUse(QStringLiteral("MonitorForm.tick")).held());

    dialog->cmdCancel_Click();
    EXPECT_FALSE(dialog->loaded());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(calls(), std::vector<std::string>{"ClosePort"});
    EXPECT_EQ(loadForms, 0);
    EXPECT_FALSE(LinkInUse::taken());
    EXPECT_TRUE(portFree());
    EXPECT_TRUE(requests().empty());
}

TEST_F(Grouping, TheSlotsReadAreThoseOfTheUnitTheWindowRead)
{
    // The window hands over its own unit's presence; the program-wide one may be another unit's.
    start(unitThree());
    G::PresentModuleBits = "11111000";
    host.unitId = "3";
    host.presentModuleBits = "10100000";
    dialog = std::make_unique<frmModuleGrouping>();
    ASSERT_TRUE(dialog->Form_Load(host));
    EXPECT_EQ(requests(), (Frames{kCheck, "03 01 04 0F", "03 03 04 0F"}));
    EXPECT_EQ(entries(dialog->lstGroupModules), QStringList({"Module 1", "Module 3"}));
    EXPECT_TRUE(entries(dialog->lstAvailableModules).isEmpty());
}

TEST_F(Grouping, AModuleWhoseGroupIsZeroOrUnreadIsInNeitherListAndNeverWritten)
{
    Bus bus = unitThree();
    bus.unit(3)->module(1).groupId = 0;
    start(std::move(bus));
    sim->server().faults().add(
        {.uid = 3, .mid = 3, .cid = 0x04, .reg = 0x0F, .kind = Fault::ErrorReply});
    host.unitId = "3";
    G::PresentModuleBits = "10101000";
    dialog = std::make_unique<frmModuleGrouping>();
    ASSERT_TRUE(dialog->Form_Load(host));
    EXPECT_EQ(dialog->GroupOfModule, (std::array<std::int16_t, 6>{0, 0, 0, 0, 0, 3}));
    EXPECT_TRUE(entries(dialog->lstGroupModules).isEmpty());
    EXPECT_EQ(entries(dialog->lstAvailableModules), QStringList({"Module 5"}));
    // Logged and kept as the last error, but not shown and not an error state.
    EXPECT_TRUE(desktop.calls().empty());
    EXPECT_EQ(logMessages(), QStringList{"Error in GetGroupID in Unit  3 and Module 3"});
    EXPECT_EQ(G::LastErrorText, "Error in GetGroupID in Unit 3 and Module 3 CMD_ERROR");
    EXPECT_FALSE(G::ErrorFlag);

    move("Module 5");
    requests();
    dialog->cmdApply_Click();
    EXPECT_EQ(requests(), (Frames{kCheck, "03 05 05 0F 01"}));
}

TEST_F(Grouping, ShowingAGroupListsTheOthersAsAvailableAndReadsItsFirstModule)
{
    load();
    showGroup(3);
    EXPECT_EQ(requests(),
              joined<std::string>({{kCheck}, kGroupReads, {"03 05 04 10", "03 05 13 03"}}));
    EXPECT_EQ(dialog->SelectedGroup, 3);
    EXPECT_EQ(dialog->lblGroupModules->text(), "Group3 Modules");
    EXPECT_EQ(entries(dialog->lstGroupModules), QStringList({"Module 5"}));
    EXPECT_EQ(entries(dialog->lstAvailableModules), QStringList({"Module 1", "Module 3"}));
    EXPECT_TRUE(dialog->optGrpStartupState[1]->isChecked());
    EXPECT_EQ(dialog->txtStartupDelay[0]->text(), "400");
    EXPECT_TRUE(dialog->txtStartupDelay[0]->isEnabled());
    EXPECT_EQ(dialog->txtStartupDelay[0]->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_FALSE(dialog->cmdApply->isEnabled());
    EXPECT_FALSE(dialog->cmdReset->isEnabled());

    // A normally-off group shows no delay and reads none.
    sim->bus().unit(3)->module(5).flags = 0x00;
    dialog->cboGroup_Click();
    EXPECT_EQ(requests(), joined<std::string>({{kCheck}, kGroupReads, {"03 05 04 10"}}));
    EXPECT_TRUE(dialog->optGrpStartupState[2]->isChecked());
    EXPECT_EQ(dialog->txtStartupDelay[0]->text(), "");
    EXPECT_FALSE(dialog->txtStartupDelay[0]->isEnabled());

    // An empty group: every grouped module is available, "Normally On" with an empty delay.
    showGroup(2);
    EXPECT_EQ(requests(), joined<std::string>({{kCheck}, kGroupReads}));
    EXPECT_EQ(entries(dialog->lstAvailableModules),
              QStringList({"Module 1", "Module 3", "Module 5"}));
    EXPECT_TRUE(entries(dialog->lstGroupModules).isEmpty());
    EXPECT_TRUE(dialog->optGrpStartupState[1]->isChecked());
    EXPECT_EQ(dialog->txtStartupDelay[0]->text(), "");
    EXPECT_TRUE(dialog->txtStartupDelay[0]->isEnabled());

    dialog->cmdApply_Click();
    EXPECT_EQ(requests(), Frames{kCheck});
    dialog->btnAssign_Click();
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[0].text, "Please select some modules for the group.");
    EXPECT_EQ(messages()[0].title, kSoftwareTitle);
    EXPECT_EQ(messages()[1].text, "Please select a module");
    EXPECT_EQ(messages()[1].style, vbInformation + vbOKOnly);
    EXPECT_FALSE(flagsSet());
}

TEST_F(Grouping, MovesAndStartupEditsArmApplyAndResetUndoesThem)
{
    load();
    showGroup(2);
    requests();
    move("Module 5");
    EXPECT_EQ(entries(dialog->lstGroupModules), QStringList({"Module 5"}));
    EXPECT_EQ(entries(dialog->lstAvailableModules), QStringList({"Module 1", "Module 3"}));
    EXPECT_TRUE(dialog->cmdApply->isEnabled());
    EXPECT_TRUE(dialog->cmdReset->isEnabled());

    dialog->cmdReset_Click();
    EXPECT_EQ(requests(), joined<std::string>({{kCheck}, kGroupReads}));
    EXPECT_TRUE(entries(dialog->lstGroupModules).isEmpty());
    EXPECT_FALSE(dialog->cmdApply->isEnabled());

    dialog->optGrpStartupState[2]->click();
    EXPECT_FALSE(dialog->txtStartupDelay[0]->isEnabled());
    EXPECT_TRUE(dialog->cmdApply->isEnabled());
    dialog->cmdReset_Click();
    dialog->txtStartupDelay[0]->setText("12");
    EXPECT_TRUE(dialog->cmdApply->isEnabled());
    EXPECT_TRUE(desktop.calls().empty());
}

// ---- Apply
// ------------------------------------------------------------------------------------------

struct ApplyCase {
    const char* name;
    int group;
    std::vector<QString> moves;
    int option; // 0: as shown
    QString delay;
    Frames frames; // after the unit check
    std::vector<std::pair<int, Registers>> after;
};

void PrintTo(const ApplyCase& c, std::ostream* os)
{
    *os << c.name;
}

class GroupingApply : public Grouping, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(GroupingApply, SendsOneSetOfOperationsPerListedModuleInListOrder)
{
    const ApplyCase& c = GetParam();
    load();
    if (c.group != 1) {
        showGroup(c.group);
    }
    for (const QString& module : c.moves) {
        move(module);
    }
    if (c.option != 0) {
        dialog->optGrpStartupState[c.option]->setChecked(true);
    }
    dialog->txtStartupDelay[0]->setText(c.delay);
    requests();

    dialog->cmdApply_Click();
    EXPECT_EQ(requests(), joined<std::string>({{kCheck}, c.frames}));
    for (const auto& [slot, expected] : c.after) {
        EXPECT_EQ(registers(slot), expected) << "slot " << slot;
    }
    EXPECT_TRUE(desktop.calls().empty());
    EXPECT_TRUE(flagsSet());
    EXPECT_FALSE(dialog->cmdApply->isEnabled());
    EXPECT_FALSE(dialog->cmdReset->isEnabled());

    dialog->cmdCancel_Click();
    EXPECT_EQ(loadForms, 1);
    EXPECT_TRUE(portFree());
}

INSTANTIATE_TEST_SUITE_P(
    Groups, GroupingApply,
    ::testing::Values(
        ApplyCase{"GroupOneWritesOnlyTheGroupIds",
                  1,
                  {"Module 5"},
                  0,
                  "",
                  {"03 01 05 0F 01", "03 03 05 0F 01", "03 05 05 0F 01"},
                  {{1, {1, 0x00, 200}}, {3, {1, 0x20, 200}}, {5, {1, 0x20, 400}}}},
        // List order: module 3 was moved first.
        ApplyCase{"GroupTwoNormallyOnWith65000",
                  2,
                  {"Module 3", "Module 1"},
                  1,
                  "65000",
                  {"03 03 05 0F 02", "03 03 04 10", "03 03 14 03 E8 FD", "03 01 05 0F 02",
                   "03 01 04 10", "03 01 05 10 20", "03 01 14 03 E8 FD"},
                  {{1, {2, 0x20, 65000}}, {3, {2, 0x20, 65000}}, {5, {3, 0x20, 400}}}},
        ApplyCase{"GroupThreeNormallyOffSendsZeroWhateverTheDelayText",
                  3,
                  {"Module 1"},
                  2,
                  "1234",
                  {"03 05 05 0F 03", "03 05 04 10", "03 05 05 10 00", "03 05 14 03 00 00",
                   "03 01 05 0F 03", "03 01 04 10", "03 01 14 03 00 00"},
                  {{1, {3, 0x00, 0}}, {3, {1, 0x20, 200}}, {5, {3, 0x00, 0}}}},
        ApplyCase{"NormallyOnWithAnEmptyDelaySendsZero",
                  2,
                  {"Module 1"},
                  1,
                  " ",
                  {"03 01 05 0F 02", "03 01 04 10", "03 01 05 10 20", "03 01 14 03 00 00"},
                  {{1, {2, 0x20, 0}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Grouping, TheDelayIsANumberFrom0To65000BeforeAnythingIsWritten)
{
    load();
    showGroup(2);
    move("Module 1");
    dialog->optGrpStartupState[1]->setChecked(true);
    const QString tooLong = "Startup delay value should be less then 65000 ms.";
    const QString notADelay = "Startup delay value should be a number from 0 to 65000 ms.";
    struct Case {
        QString text;
        int sent; // -1: refused
        QString message;
    };
    const Case cases[] = {
        {"65001", -1, tooLong},   {"12345678901", -1, tooLong},
        {"-5", -1, notADelay},    {"12abc", -1, notADelay},
        {"1.2.3", -1, notADelay}, {"65000.5", 65000, ""},
        {"100.5", 100, ""},       {"101.5", 102, ""},
        {" 250 ", 250, ""},       {"0", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        dialog->txtStartupDelay[0]->setText(c.text);
        requests();
        desktop.clear();
        sim->bus().unit(3)->module(1).turnOnDelay = 7;
        dialog->cmdApply_Click();
        const Frames frames = requests();
        if (c.sent < 0) {
            EXPECT_EQ(frames, Frames{kCheck});
            ASSERT_EQ(messages().size(), 1u);
            EXPECT_EQ(messages()[0].text, c.message);
            EXPECT_EQ(messages()[0].style, vbInformation + vbOKOnly);
            EXPECT_EQ(messages()[0].title, kSoftwareTitle);
            EXPECT_EQ(registers(1).delay, 7);
        } else {
            ASSERT_FALSE(frames.empty());
            char delayFrame[32];
            std::snprintf(delayFrame, sizeof delayFrame, "03 01 14 03 %02X %02X", c.sent & 0xFF,
                          c.sent >> 8);
            EXPECT_EQ(frames.back(), delayFrame);
            EXPECT_TRUE(messages().empty());
            EXPECT_EQ(registers(1).delay, c.sent);
        }
    }

    // What the user types is read with the user's decimal separator.
    useLocale(commaLocale);
    dialog->txtStartupDelay[0]->setText("100,5");
    requests();
    dialog->cmdApply_Click();
    EXPECT_EQ(requests().back(), "03 01 14 03 64 00");
}

// ---- Failures
// ---------------------------------------------------------------------------------------

struct WriteFailure {
    const char* name;
    Fault fault;
    Frames frames; // after the unit check
    QString message;
    bool written;
    // Module 1 afterwards: a spoiled reply still leaves the unit's write carried out.
    Registers moduleOne;
};

void PrintTo(const WriteFailure& c, std::ostream* os)
{
    *os << c.name;
}

class GroupingWriteFailure : public Grouping, public ::testing::WithParamInterface<WriteFailure> {};

TEST_P(GroupingWriteFailure, StopsShowsAndLogsTheModuleAndOperationAndFlagsOnlyWhatWasWritten)
{
    const WriteFailure& c = GetParam();
    load();
    showGroup(2);
    move("Module 3");
    move("Module 1");
    dialog->txtStartupDelay[0]->setText("2500");
    sim->server().faults().add(c.fault);
    requests();

    dialog->cmdApply_Click();
    EXPECT_EQ(requests(), joined<std::string>({{kCheck}, c.frames}));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, c.message + " CMD_ERROR");
    EXPECT_EQ(messages()[0].style, vbCritical + vbOKOnly);
    EXPECT_EQ(logMessages(), QStringList{QString(c.message).replace(" Unit ", " Unit  ")});
    EXPECT_EQ(G::LastErrorText, c.message + " CMD_ERROR");
    EXPECT_TRUE(G::ErrorFlag);
    EXPECT_EQ(flagsSet(), c.written);
    EXPECT_TRUE(dialog->cmdApply->isEnabled());
    EXPECT_EQ(registers(1), c.moduleOne);

    // The window reloads only when the unit holds something new.
    dialog->cmdCancel_Click();
    EXPECT_EQ(loadForms, c.written ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, GroupingWriteFailure,
    ::testing::Values(
        WriteFailure{"FirstGroupId",
                     {.uid = 3, .mid = 3, .cid = 0x05, .reg = 0x0F, .kind = Fault::ErrorReply},
                     {"03 03 05 0F 02"},
                     "Error in SetGroupID in Unit 3 and Module 3",
                     false,
                     {1, 0x00, 200}},
        WriteFailure{"FirstDelay",
                     {.uid = 3, .mid = 3, .cid = 0x14, .reg = 0x03, .kind = Fault::ErrorReply},
                     {"03 03 05 0F 02", "03 03 04 10", "03 03 14 03 C4 09"},
                     "Error in SetOutputTurnONDelay in Unit 3 and Module 3",
                     true,
                     {1, 0x00, 200}},
        WriteFailure{
            "SecondStartupState",
            {.uid = 3, .mid = 1, .cid = 0x04, .reg = 0x10, .kind = Fault::ErrorReply},
            {"03 03 05 0F 02", "03 03 04 10", "03 03 14 03 C4 09", "03 01 05 0F 02", "03 01 04 10"},
            "Error in SetDefaultOutputOnOffState in Unit 3 and Module 1",
            true,
            {2, 0x00, 200}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Grouping, AFailedStartupReadShowsNoSettingsAndKeepsApplyOffUntilAGoodRead)
{
    load();
    struct Read {
        Fault fault;
        QString message;
    };
    const Read reads[] = {
        {{.uid = 3, .mid = 5, .cid = 0x04, .reg = 0x10, .kind = Fault::ErrorReply},
         "Error in GetDefaultOutputOnOffState in Unit 3 and Module 5 CMD_ERROR"},
        {{.uid = 3, .mid = 5, .cid = 0x13, .reg = 0x03, .kind = Fault::ErrorReply},
         "Error in GetOutputTurnONDelayExUShort in Unit 3 and Module 5 CMD_ERROR"},
    };
    for (const Read& read : reads) {
        SCOPED_TRACE(read.message.toStdString());
        desktop.clear();
        sim->server().faults().add(read.fault);
        showGroup(3);
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0].text, read.message);
        EXPECT_EQ(messages()[0].style, vbCritical + vbOKOnly);
        EXPECT_FALSE(dialog->optGrpStartupState[1]->isChecked());
        EXPECT_FALSE(dialog->optGrpStartupState[2]->isChecked());
        EXPECT_EQ(dialog->txtStartupDelay[0]->text(), "");

        // Edits arm Reset only; Apply would write guesses to the whole group.
        move("Module 1");
        dialog->optGrpStartupState[2]->click();
        dialog->txtStartupDelay[0]->setText("5");
        EXPECT_TRUE(dialog->cmdReset->isEnabled());
        EXPECT_FALSE(dialog->cmdApply->isEnabled());
        requests();
        dialog->cmdApply_Click();
        EXPECT_TRUE(requests().empty());
        EXPECT_FALSE(flagsSet());

        // A good read gives Apply back.
        dialog->cmdReset_Click();
        EXPECT_TRUE(dialog->optGrpStartupState[1]->isChecked());
        EXPECT_EQ(dialog->txtStartupDelay[0]->text(), "400");
        move("Module 1");
        EXPECT_TRUE(dialog->cmdApply->isEnabled());
        dialog->cmdReset_Click();
    }
}

TEST_F(Grouping, AUnitThatDoesNotRespondLeavesTheDesignedListsAndEveryCheckRepeats)
{
    Bus bus = unitThree();
    start(std::move(bus));
    sim->server().faults().add(
        {.uid = 3, .cid = 0x04, .reg = 0xC8, .kind = Fault::ErrorReply, .times = Fault::always});
    host.unitId = "3";
    G::PresentModuleBits = "10101000";
    dialog = std::make_unique<frmModuleGrouping>();
    ASSERT_TRUE(dialog->Form_Load(host));

    const QString noResponse = "Unit 3 Does not Respond, make sure is properly connected and is "
                               "the correct UnitID Number";
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, noResponse);
    EXPECT_EQ(messages()[0].title, "Dravon Electronics");
    EXPECT_EQ(messages()[0].style, vbCritical + vbOKOnly);
    EXPECT_EQ(entries(dialog->lstAvailableModules),
              QStringList({"Module 3", "Module 4", "Module 5"}));
    EXPECT_EQ(entries(dialog->lstGroupModules), QStringList({"Module 1", "Module 2"}));
    EXPECT_TRUE(dialog->cmdApply->isEnabled());
    EXPECT_TRUE(dialog->cmdReset->isEnabled());
    EXPECT_FALSE(dialog->btnAssign->isEnabled());
    EXPECT_FALSE(dialog->frmStartupState->isEnabled());
    EXPECT_EQ(requests(), Frames{kCheck});

    dialog->cmdApply_Click();
    dialog->cmdReset_Click();
    EXPECT_EQ(requests(), (Frames{kCheck, kCheck}));
    EXPECT_EQ(messages().size(), 3u);
    EXPECT_FALSE(flagsSet());

    // Once the unit answers, a check with group 1 shown keeps btnAssign off (the group change
    // checks before it changes the group); a check with group 2 or 3 shown gives it back.
    sim->server().faults().clear();
    dialog->cmdReset_Click();
    EXPECT_EQ(entries(dialog->lstGroupModules), QStringList({"Module 1", "Module 3"}));
    EXPECT_FALSE(dialog->btnAssign->isEnabled());
    showGroup(2);
    EXPECT_FALSE(dialog->btnAssign->isEnabled());
    dialog->cmdReset_Click();
    EXPECT_TRUE(dialog->btnAssign->isEnabled());
}

TEST_F(Grouping, APortThatDoesNotOpenIsReportedAndLogged)
{
    start(unitThree());
    G::DefaultComPort = path("no-such-port");
    host.unitId = "3";
    dialog = std::make_unique<frmModuleGrouping>();
    ASSERT_TRUE(dialog->Form_Load(host));
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[0].text,
              "I could not open COM port, make sure you selected the proper COM port.");
    EXPECT_EQ(messages()[0].title, kSoftwareTitle);
    EXPECT_EQ(messages()[1].text.left(7), "Unit 3 ");
    const QString logged = "Can not open Com port, make sure you selected the correct Com port "
                           "(COM1, COM2 ...)" +
                           G::DefaultComPort;
    EXPECT_EQ(logMessages(), QStringList{logged});
    EXPECT_EQ(G::LastErrorText, logged);
    EXPECT_TRUE(G::ErrorFlag);
    EXPECT_TRUE(requests().empty());

    dialog->cmdCancel_Click();
    EXPECT_FALSE(LinkInUse::taken());
}

TEST_F(Grouping, ClosingAfterAnApplyRunsTheWindowsLoadFormBeforeThePortCloses)
{
    load();
    move("Module 5");
    dialog->cmdApply_Click();
    calls();
    dialog->cmdCancel_Click();
    EXPECT_EQ(loadForms, 1);
    EXPECT_FALSE(portFreeAtLoadForm);
    EXPECT_EQ(calls(), (std::vector<std::string>{"LoadForm", "ClosePort"}));
    EXPECT_TRUE(portFree());
    EXPECT_FALSE(LinkInUse::taken());

    // The next load starts afresh: nothing applied yet, so closing only closes the port.
    ASSERT_TRUE(dialog->Form_Load(host));
    EXPECT_FALSE(dialog->GroupingApplied);
    calls();
    dialog->cmdCancel_Click();
    EXPECT_EQ(loadForms, 1);
    EXPECT_EQ(calls(), std::vector<std::string>{"ClosePort"});
}

TEST_F(Grouping, EscapeAndTheTitleBarCloseUnloadTheModalDialog)
{
    start(unitThree());
    host.unitId = "3";
    G::PresentModuleBits = "10101000";
    dialog = std::make_unique<frmModuleGrouping>();
    const std::function<void(QWidget*)> ways[] = {
        [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); },
        [](QWidget* modal) { modal->close(); },
    };
    for (const auto& close : ways) {
        bool heldWhileShown = false;
        kivo::testsupport::whenModalShows([&](QWidget* modal) {
            heldWhileShown = modal == dialog.get() && !portFree();
            close(modal);
        });
        EXPECT_TRUE(dialog->showModal(host));
        EXPECT_TRUE(heldWhileShown);
        EXPECT_FALSE(dialog->loaded());
        EXPECT_FALSE(LinkInUse::taken());
        EXPECT_TRUE(portFree());
    }
}

TEST_F(Grouping, NothingRunsUnderAnApplyThatWaitsForTheUnit)
{
    load();
    move("Module 5");
    requests();
    bool nested = false;
    kivo::desktop::setEventsRunHook([&] {
        if (!nested) {
            nested = true;
            dialog->cmdApply_Click();
            dialog->cmdReset_Click();
            dialog->cboGroup_Click();
            dialog->close();
            EXPECT_TRUE(dialog->loaded());
        }
        QCoreApplication::processEvents();
    });
    dialog->cmdApply_Click();
    kivo::desktop::setEventsRunHook({});
    EXPECT_TRUE(nested);
    EXPECT_EQ(requests(), (Frames{kCheck, "03 01 05 0F 01", "03 03 05 0F 01", "03 05 05 0F 01"}));
    EXPECT_TRUE(dialog->loaded());
    EXPECT_TRUE(desktop.calls().empty());
}

TEST_F(Grouping, WhileAnotherActionHoldsTheLinkTheDialogStaysClosed)
{
    start(unitThree());
    host.unitId = "3";
    dialog = std::make_unique<frmModuleGrouping>();
    LinkInUse other(QStringLiteral("SupplyConfig.SelectButton"));
    EXPECT_FALSE(dialog->showModal(host));
    EXPECT_FALSE(dialog->loaded());
    EXPECT_TRUE(requests().empty());
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(desktop.calls().empty());
    EXPECT_EQ(LinkInUse::holder(), "SupplyConfig.SelectButton");
}

TEST_F(Grouping, TypingIsDiscardedInTheGroupBoxAndFilteredInTheDelayBox)
{
    load();
    showGroup(2);
    dialog->show();
    QTest::keyClicks(dialog->cboGroup->lineEdit(), "Group 3");
    EXPECT_EQ(dialog->cboGroup->currentText(), "Group 2");
    std::int16_t key = 'x';
    dialog->cboGroup_KeyPress(key);
    EXPECT_EQ(key, 0);

    dialog->txtStartupDelay[0]->clear();
    QTest::keyClicks(dialog->txtStartupDelay[0], "12a5");
    EXPECT_EQ(dialog->txtStartupDelay[0]->text(), "125");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Please enter numeric values");
    // A pasted text meets the same filter: "1a" is refused whole.
    desktop.clear();
    QGuiApplication::clipboard()->setText("1a");
    QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QString(QChar(22)));
    QApplication::sendEvent(dialog->txtStartupDelay[0], &paste);
    EXPECT_EQ(dialog->txtStartupDelay[0]->text(), "125");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Please enter numeric values");
    // Enter passes the filter but presses no button.
    requests();
    QTest::keyClick(dialog->txtStartupDelay[0], Qt::Key_Return);
    EXPECT_TRUE(requests().empty());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(Grouping, HelpShowsTheGroupingTopic)
{
    load();
    dialog->cmdHelp_Click();
    const auto topics = desktop.calls(DesktopCall::Kind::HelpTopic);
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].text, "GroupingOverview.html");
}

TEST_F(Grouping, EveryCaptionFitsItsControlAndNoControlsOverlap)
{
    load();
    dialog->show();
    // KIVO_GRAB_DIR keeps pictures of the dialog for a look by eye: at load and with group 3.
    const QByteArray grabs = qgetenv("KIVO_GRAB_DIR");
    if (!grabs.isEmpty()) {
        dialog->grab().save(
            QDir(QString::fromLocal8Bit(grabs)).filePath("frmModuleGrouping-1.png"));
    }
    showGroup(3);
    if (!grabs.isEmpty()) {
        dialog->grab().save(
            QDir(QString::fromLocal8Bit(grabs)).filePath("frmModuleGrouping-3.png"));
    }
    const QList<QWidget*> controls = dialog->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        if (control->objectName().isEmpty() || control->objectName().startsWith("qt_")) {
            continue;
        }
        SCOPED_TRACE(control->objectName().toStdString());
        if (qobject_cast<QLabel*>(control) || qobject_cast<QRadioButton*>(control)) {
            EXPECT_LE(control->sizeHint().width(), control->width());
            EXPECT_LE(control->sizeHint().height(), control->height());
        } else if (auto* button = qobject_cast<QPushButton*>(control)) {
            const QFontMetrics metrics(button->font());
            EXPECT_LE(metrics.horizontalAdvance(button->text()) + 16, button->width());
            EXPECT_LE(metrics.height() + 8, button->height());
        } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
            EXPECT_LE(QFontMetrics(frame->font()).horizontalAdvance(frame->title()) + 16,
                      frame->width());
        }
        EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry()));
        for (QWidget* other : controls) {
            if (other != control && other->parentWidget() == control->parentWidget() &&
                !other->objectName().isEmpty() && !other->objectName().startsWith("qt_")) {
                EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                    << other->objectName().toStdString();
            }
        }
    }
}

// For a user at the keyboard and a screen reader: the focus is back where it was after a group
// change, Tab follows the layout, an accessibility Toggle is a click, every control says what it
// is.
TEST_F(Grouping, ForTheKeyboardAndAScreenReader)
{
    load();
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));

    dialog->cboGroup->setFocus();
    showGroup(2);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->focusWidget(), dialog->cboGroup);

    QStringList order;
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    // Group 2 holds no module yet: "Normally On" with the delay box open. Apply and Reset wait
    // for an edit.
    EXPECT_EQ(order, QStringList({"lstAvailableModules", "btnAssign", "lstGroupModules",
                                  "optGrpStartupState(1)", "txtStartupDelay(0)", "cmdCancel",
                                  "cmdHelp", "cboGroup", "lstAvailableModules", "btnAssign"}));

    QAccessibleInterface* off =
        QAccessible::queryAccessibleInterface(dialog->optGrpStartupState[2]);
    off->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(dialog->optGrpStartupState[2]->isChecked());
    EXPECT_FALSE(dialog->txtStartupDelay[0]->isEnabled());
    EXPECT_TRUE(dialog->cmdApply->isEnabled());

    auto name = [](QWidget* control) {
        return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(dialog->lstAvailableModules), "Available Modules");
    EXPECT_EQ(name(dialog->lstGroupModules), "Group2 Modules");
    EXPECT_EQ(name(dialog->txtStartupDelay[0]), "Startup Delay:");
    EXPECT_EQ(name(dialog->btnAssign), "Move modules to group");
    // The group list is named by the group it shows and labelled by the label before it, which
    // names its edit field too.
    EXPECT_EQ(name(dialog->cboGroup), "Group 2");
    const auto labels =
        QAccessible::queryAccessibleInterface(dialog->cboGroup)->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].first->object(), dialog->Label1);
    EXPECT_EQ(name(dialog->cboGroup->lineEdit()), "Select Group");
    EXPECT_EQ(kivo::testsupport::comboBoxFaults(dialog.get()), std::vector<std::string>{});
}

} // namespace
