// The main window, the monitor window and the configuration window lead to one another through
// their one instances, as the program installs them; a window left hidden comes back as it was.
#include "KivoSoft/config/SupplyConfig.h"
#include "KivoSoft/config/tests/recording_link.h"
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/tests/model_fixture.h"
#include "KivoSoft/monitor/MonitorForm.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoSoft/shell/MainForm.h"
#include "KivoX/testing/simulated_link.h"

#include <QTest>

#include <memory>

using namespace KivoSoft;
using namespace KivoSoft::testing;

namespace {

class Navigation : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        Forms::setMonitorFormInstance([] { return &monitorFormInstance(); });
        Forms::setSupplyConfigInstance([] { return &supplyConfigInstance(); });
    }

    void TearDown() override
    {
        Forms::setMonitorFormInstance({});
        Forms::setSupplyConfigInstance({});
        deleteSupplyConfig();
        deleteMonitorForm();
        Forms::deleteAll();
        ProgramFolderTest::TearDown();
    }

    // Which of the three windows are visible, in the order main, monitor, configuration.
    static std::vector<bool> visible()
    {
        return {Forms::mainForm().isVisible(), monitorFormInstance().isVisible(),
                supplyConfigInstance().isVisible()};
    }
};

TEST_F(Navigation, EachWindowLeadsToTheNextAndTheMainWindowComesBack)
{
    MainForm& main = Forms::mainForm();
    main.show();

    QTest::mouseClick(main.Image2, Qt::LeftButton);
    EXPECT_EQ(visible(), (std::vector<bool>{false, true, false}));

    QTest::mouseClick(monitorFormInstance().cmdEeprom, Qt::LeftButton);
    EXPECT_EQ(visible(), (std::vector<bool>{false, false, true}));

    QTest::mouseClick(supplyConfigInstance().cmdMonitor, Qt::LeftButton);
    EXPECT_EQ(visible(), (std::vector<bool>{false, true, false}));

    QTest::mouseClick(monitorFormInstance().cmdClose, Qt::LeftButton);
    EXPECT_EQ(visible(), (std::vector<bool>{true, false, false}));

    // A menu command runs once the choosing has returned.
    main.Default->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(visible(), (std::vector<bool>{false, false, true}));

    QTest::mouseClick(supplyConfigInstance().Cancel, Qt::LeftButton);
    EXPECT_EQ(visible(), (std::vector<bool>{true, false, false}));
}

TEST_F(Navigation, TheConfigurationWindowComesBackFromTheMonitorAsItWasLeft)
{
    SupplyConfig& config = supplyConfigInstance();
    config.show();
    config.UnitList->setCurrentIndex(config.UnitList->findText(QStringLiteral("5")));
    config.RichTextBox1->setPlainText(QStringLiteral("left here"));

    config.cmdMonitor_Click();
    monitorFormInstance().cmdEeprom_Click();

    EXPECT_TRUE(config.isVisible());
    EXPECT_EQ(config.UnitList->currentText(), QStringLiteral("5"));
    EXPECT_EQ(config.RichTextBox1->toPlainText(), QStringLiteral("left here"));
}

// The windows on a simulated bus, with what a unit read writes into them forwarded as the
// program forwards it.
class NavigationOnTheBus : public Navigation {
protected:
    class ProgramWindows final : public ConfigUnitWindows {
    public:
        void monitorUnitDoesNotRespond(int heightTwips, int widthTwips,
                                       const QString& caption) override
        {
            monitorFormInstance().monitorUnitDoesNotRespond(heightTwips, widthTwips, caption);
        }
    };

    void SetUp() override
    {
        Navigation::SetUp();
        kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
        bus.unit(3)->defaults = 0x03; // "Normally On" with "Normal (Inhibit)": modules shown
        // Unit 5 has in slot 1 a type with other scale factors than unit 3's module there.
        bus.unit(5)->module(1).type = 1;
        sim = std::make_unique<kivox::testing::SimulatedLink>(std::move(bus));
        copyShippedScaleIni();
        write("Kivo.ini", "[Serial COM Parameters]\nReadTimeout=1\nRetryCount=1\n");
        write("KivoGui.ini", "[PARAMS]\nport=" + QString::fromStdString(sim->port()) + "\n");
        ASSERT_TRUE(KivoGlobals::InitializeGlobals());
        KivoGlobals::DeviceLink = RecordingLink::wrap(KivoGlobals::DeviceLink, ops);
    }

    void TearDown() override
    {
        Navigation::TearDown();
        KivoGlobals::DeviceLink.reset();
        sim.reset();
    }

    std::unique_ptr<kivox::testing::SimulatedLink> sim;
    std::shared_ptr<QStringList> ops = std::make_shared<QStringList>();
    ProgramWindows windows;
    ScopedUnitWindows installedWindows{windows};
};

TEST_F(NavigationOnTheBus, AUnitTheMonitorReadsLeavesTheConfigurationWindowWithItsOwnUnit)
{
    SupplyConfig& config = supplyConfigInstance();
    config.show();
    config.UnitList->setCurrentText(QStringLiteral("3"));
    config.SelectButton_Click();
    ASSERT_FALSE(KivoGlobals::ErrorFlag) << KivoGlobals::LastErrorText.toStdString();

    QTest::mouseClick(config.cmdMonitor, Qt::LeftButton);
    MonitorForm& monitor = monitorFormInstance();
    ASSERT_TRUE(monitor.isVisible());
    monitor.UnitList->setCurrentIndex(monitor.UnitList->findText(QStringLiteral("5")));
    monitor.cmdSelectUnit_Click();
    ASSERT_TRUE(KivoGlobals::UnitSelected) << KivoGlobals::LastErrorText.toStdString();
    QTest::mouseClick(monitor.cmdEeprom, Qt::LeftButton);
    ASSERT_TRUE(config.isVisible());

    // Unit 3 as the window read it: its module types and ranges, nothing pending.
    EXPECT_EQ(config.lblMain->text(), QStringLiteral("Settings of Power Supply ID: 3"));
    EXPECT_EQ(config.txtModuleID[1]->text(), QStringLiteral("KM-12V-10A"));
    EXPECT_EQ(config.txtModuleID[2]->text(), QString());
    EXPECT_EQ(config.slrVsp[1]->minimum(), 100);
    EXPECT_EQ(config.slrVsp[1]->maximum(), 140);
    EXPECT_EQ(config.hscrollCurrentLimit[1]->maximum(), 10);
    EXPECT_EQ(config.lblMaxCL[1]->text(), QStringLiteral("10"));
    EXPECT_FALSE(config.cmdSave->isEnabled());
    for (QPushButton* apply : config.cmdApplyCLM) {
        EXPECT_FALSE(apply->isEnabled());
    }

    // 12.34 V passes the module's own check and goes out in its own counts; the limits, as read,
    // are only read back.
    config.vsp[1]->setText(QStringLiteral("12.34"));
    bool refused = false;
    config.vsp_Validate(1, refused);
    EXPECT_FALSE(refused);
    ops->clear();
    config.cmdSave_Click(); // "Apply all": module 1 is the one pending
    EXPECT_EQ(takeOperations(*ops),
              (QStringList{"GetProgrammingMode 3 1", "GetDefaultOutputOnOffPolarity 3 1",
                           "GetDefaultOutputOnOffState 3 1", "GetOutputTurnONDelayExUShort 3 1",
                           "SetDefaultOutputVoltage 3 1 1234", "GetModuleGoodHighThreshold 3 1",
                           "GetModuleGoodLowThreshold 3 1", "GetCurrentLimitMode 3 1"}));
    EXPECT_EQ(sim->bus().unit(3)->module(1).defaultVoltage, 1234);
}

TEST_F(NavigationOnTheBus, TheConfigurationWindowsListGoesByTheUnitItReadNotTheMonitors)
{
    SupplyConfig& config = supplyConfigInstance();
    MonitorForm& monitor = monitorFormInstance();
    struct Case {
        const char* picked;
        bool reloads;
    };
    // 3 is the unit the window read and shows; 5 only the monitor selected.
    for (const Case& c : {Case{"3", false}, Case{"5", true}}) {
        SCOPED_TRACE(c.picked);
        config.show();
        config.UnitList->setCurrentText(QStringLiteral("3"));
        config.SelectButton_Click();
        ASSERT_TRUE(KivoGlobals::ConfigExpanded) << KivoGlobals::LastErrorText.toStdString();
        const std::shared_ptr<KivoData> unitThree = config.KivoColl.at(QStringLiteral("3"));
        QTest::mouseClick(config.cmdMonitor, Qt::LeftButton);
        monitor.UnitList->setCurrentIndex(monitor.UnitList->findText(QStringLiteral("5")));
        monitor.cmdSelectUnit_Click();
        ASSERT_TRUE(KivoGlobals::UnitSelected) << KivoGlobals::LastErrorText.toStdString();
        QTest::mouseClick(monitor.cmdEeprom, Qt::LeftButton);
        ASSERT_TRUE(config.isVisible());

        const int index = config.UnitList->findText(QString::fromLatin1(c.picked));
        config.UnitList->setCurrentIndex(index);
        emit config.UnitList->activated(index);

        EXPECT_EQ(config.UnitList->currentText(), QString::fromLatin1(c.picked));
        if (c.reloads) {
            // Collapsed, with the identity emptied and the container rebuilt blank.
            EXPECT_FALSE(KivoGlobals::ConfigExpanded);
            EXPECT_TRUE(config.PSID->text().isEmpty());
            EXPECT_NE(config.KivoColl.at(QStringLiteral("3")).get(), unitThree.get());
            EXPECT_TRUE(config.ReadUnitId.isEmpty());
        } else {
            EXPECT_TRUE(KivoGlobals::ConfigExpanded);
            EXPECT_EQ(config.lblMain->text(), QStringLiteral("Settings of Power Supply ID: 3"));
            EXPECT_EQ(config.PSID->text(), QStringLiteral("3"));
            EXPECT_EQ(config.KivoColl.at(QStringLiteral("3")).get(), unitThree.get());
            EXPECT_EQ(config.ReadUnitId, QStringLiteral("3"));
        }
    }
}

TEST_F(NavigationOnTheBus, AUnitTheConfigurationWindowReadsLeavesTheMonitorWithItsOwnUnit)
{
    // Unit 5's modules are read in full as unit 3's are, so its read reaches every record the
    // windows share.
    sim->bus().unit(5)->defaults = 0x03;
    MonitorForm& monitor = monitorFormInstance();
    SupplyConfig& config = supplyConfigInstance();
    monitor.show();
    monitor.UnitList->setCurrentIndex(monitor.UnitList->findText(QStringLiteral("3")));
    monitor.cmdSelectUnit_Click();
    ASSERT_TRUE(KivoGlobals::UnitSelected) << KivoGlobals::LastErrorText.toStdString();

    QTest::mouseClick(monitor.cmdEeprom, Qt::LeftButton);
    ASSERT_TRUE(config.isVisible());
    config.UnitList->setCurrentText(QStringLiteral("5"));
    config.SelectButton_Click();
    ASSERT_EQ(config.lblMain->text(), QStringLiteral("Settings of Power Supply ID: 5"));
    ops->clear();
    QTest::mouseClick(config.cmdMonitor, Qt::LeftButton);
    ASSERT_TRUE(monitor.isVisible());
    EXPECT_TRUE(takeOperations(*ops).isEmpty()); // back as it was left, without a read

    // Unit 3's slot 1 is a 10 to 14 V module of 100 counts a volt; unit 5's a 4 to 6 V one of
    // 1000.
    struct Case {
        const char* how;
        const char* box;
        std::function<void()> apply;
        int counts;
        const char* metered;
    };
    QLineEdit* box = monitor.txtSP[1];
    const Case cases[] = {
        {"Enter", "12.5", [&] { QTest::keyClick(box, Qt::Key_Return); }, 1250, "12.50"},
        {"the apply button", "12.4",
         [&] { QTest::mouseClick(monitor.cmdSetVoltage[1], Qt::LeftButton); }, 1240, "12.40"},
        {"the step up", "12.00", [&] { QTest::mouseClick(monitor.cmdInc[1], Qt::LeftButton); },
         1201, "12.01"},
        {"the step down", "12.00", [&] { QTest::mouseClick(monitor.cmdDec[1], Qt::LeftButton); },
         1199, "11.99"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        desktop.clear();
        box->setText(QString::fromLatin1(c.box));
        c.apply();
        EXPECT_TRUE(messages().empty());
        QStringList setPoints = takeOperations(*ops).filter(QStringLiteral("SetOutputVoltage"));
        EXPECT_EQ(setPoints,
                  QStringList{QStringLiteral("SetOutputVoltageSetpoint 3 1 %1").arg(c.counts)});
        EXPECT_EQ(sim->bus().unit(3)->module(1).setPoint, c.counts);
        EXPECT_EQ(monitor.PellarosDisplay[1]->strValue(), QString::fromLatin1(c.metered));
        // The panels after the apply are unit 3's: slots 1, 3 and 5 fitted, 5 switched off.
        EXPECT_EQ(monitor.MMessage[2]->text(), QStringLiteral("Not Present"));
        EXPECT_EQ(monitor.MMessage[3]->text(), QStringLiteral("Module Good"));
        EXPECT_EQ(monitor.MMessage[5]->text(), QStringLiteral("Module Off"));
        for (const int slot : {1, 3}) {
            EXPECT_TRUE(monitor.cmdSetVoltage[static_cast<std::size_t>(slot)]->isEnabled());
        }
        EXPECT_FALSE(monitor.cmdSetVoltage[2]->isEnabled());
    }

    // A value out of unit 3's range is refused by that range, and the controls come back as
    // the panels show the unit.
    desktop.clear();
    box->setText(QStringLiteral("15"));
    QTest::mouseClick(monitor.cmdSetVoltage[1], Qt::LeftButton);
    EXPECT_TRUE(takeOperations(*ops).isEmpty());
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text,
              QStringLiteral("15 is Invalid Voltage Setpoint Value!, Should be between 10 and 14"));
    EXPECT_TRUE(monitor.cmdSetVoltage[3]->isEnabled());
    EXPECT_FALSE(monitor.cmdSetVoltage[2]->isEnabled());
}

} // namespace
