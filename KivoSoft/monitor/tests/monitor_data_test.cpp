// What the window shows is what the unit it selected reported: the panels after an apply, the
// text of a failed read, and Refresh and monitor mode before a selection.
#include "KivoSoft/monitor/tests/monitor_fixture.h"

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::unitsim::Fault;

namespace {

namespace G = KivoGlobals;

using Data = MonitorTest;

TEST_F(Data, AnApplyAfterAReadThatDidNotReachTheModulesShowsWhatTheUnitHolds)
{
    for (const bool ownRefresh : {true, false}) {
        SCOPED_TRACE(ownRefresh ? "the window's refresh finds no unit"
                                : "another window reads a unit that does not answer");
        selectUnitThree();
        if (ownRefresh) {
            sim().server().faults().add({.uid = 3, .times = Fault::always});
            form->cmdRefresh_Click();
            ASSERT_TRUE(form->lastRefreshFailed());
            sim().server().faults().clear();
        } else {
            // As the configuration window reads: holding the port, and no recheck of slot 5 in
            // between.
            form->tmrMod[5]->stop();
            LinkInUse configuration(QStringLiteral("SupplyConfig.SelectButton"));
            KivoData other;
            other.ReadKivoSetup("2");
            ASSERT_TRUE(G::ErrorFlag);
        }
        desktop.clear();
        requests(false);

        form->txtSP[1]->setText("12.5");
        form->txtSP_KeyDown(1, 13, 0);

        EXPECT_EQ(sim().bus().unit(3)->module(1).setPoint, 1250);
        EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
        for (const int slot : {1, 3}) {
            const auto i = static_cast<std::size_t>(slot);
            EXPECT_EQ(form->MMessage[i]->text(), "Module Good") << slot;
            EXPECT_TRUE(form->PellarosOS[i]->Status()) << slot;
            EXPECT_TRUE(form->cmdSetVoltage[i]->isEnabled()) << slot;
        }
        EXPECT_EQ(form->MMessage[5]->text(), "Module Off");
        EXPECT_FALSE(form->PellarosOS[5]->Status());
        EXPECT_EQ(form->lblReady->text(), MonitorForm::ReadyText);
        EXPECT_TRUE(portFree());
    }
}

TEST_F(Data, AReadFailedByTheUnitsErrorBitNamesThisUnitAndIsLogged)
{
    const QString reason = "Unit 3 reports an error in its global status byte";
    struct Case {
        const char* before;
        int earlierUnit; // selected first; 0: none since the program started
    };
    for (const Case& c : {Case{"right after the start", 0}, Case{"after unit 7 failed", 7}}) {
        SCOPED_TRACE(c.before);
        G::LastErrorText.clear();
        if (c.earlierUnit != 0) {
            select(c.earlierUnit);
            requests(false);
        }
        sim().bus().unit(3)->status.error = true;
        QFile::remove(G::ErrorLogPath);
        desktop.clear();

        select(3);

        EXPECT_EQ(messageTexts(),
                  QStringList{reason + " for details check file " + G::ErrorLogPath});
        EXPECT_EQ(logMessages(), QStringList{reason});
        EXPECT_FALSE(G::UnitSelected);
        EXPECT_EQ(form->lblReady->text(), MonitorForm::ErrorText);
        sim().bus().unit(3)->status.error = false;
    }
    EXPECT_TRUE(portFree());
}

TEST_F(Data, BeforeASelectionRefreshAndMonitorModeAreNotOfferedAndReadNothing)
{
    EXPECT_FALSE(form->cmdRefresh->isEnabled());
    EXPECT_FALSE(form->Check1->isEnabled());

    // Reached all the same (by a sequence, or a control enabled meanwhile): nothing happens.
    form->cmdRefresh_Click();
    form->Check1->setChecked(true);
    form->Check1_Click();
    EXPECT_FALSE(form->Check1->isChecked());
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_TRUE(requests(false).empty());
    EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
    EXPECT_TRUE(logMessages().isEmpty());
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ReadyText);
    EXPECT_TRUE(form->PellarosErrorPicture->Status());
    EXPECT_EQ(form->windowTitle(), "Monitor");

    // A selection offers them; a reload after it keeps them for the unit selected.
    selectUnitThree();
    EXPECT_TRUE(form->cmdRefresh->isEnabled());
    EXPECT_TRUE(form->Check1->isEnabled());
    form->UnitList_Click();
    EXPECT_TRUE(form->cmdRefresh->isEnabled());
}

} // namespace
