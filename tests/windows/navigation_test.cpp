// The main window, the monitor window and the configuration window lead to one another through
// their one instances, as the program installs them; a window left hidden comes back as it was.
#include "KivoSoft/config/SupplyConfig.h"
#include "KivoSoft/model/tests/model_fixture.h"
#include "KivoSoft/monitor/MonitorForm.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoSoft/shell/MainForm.h"

#include <QTest>

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

} // namespace
