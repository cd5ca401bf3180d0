// Unit selection and refresh against the simulated bus: the frames in their order, the panels,
// the window sizes, a unit that does not answer, and the unit the window addresses.
#include "KivoSoft/monitor/tests/monitor_fixture.h"

#include <QTest>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::unitsim::Fault;

namespace {

class Select : public MonitorTest {
protected:
    // Unit 3 with hours that need grouping, master and slave marks and its own group IDs.
    kivo::unitsim::Bus bus() const override
    {
        kivo::unitsim::Bus b = kivo::unitsim::Bus::defaultBus();
        auto three = b.unit(3);
        three->operatingHours = 1234567;
        three->masterSlave = 0x0301; // group 1: master slot 1, slave slot 3
        three->module(3).groupId = 2;
        return b;
    }
};

TEST_F(Select, UnitThreeFillsThePanelsInTheFrameOrderOfTheSequences)
{
    select(3);

    EXPECT_EQ(requests(), selectionFrames());
    EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
    EXPECT_TRUE(portFree());
    EXPECT_FALSE(form->Busy);
    EXPECT_TRUE(KivoGlobals::UnitSelected);
    EXPECT_EQ(KivoGlobals::SelectedUnitId, "3");
    EXPECT_EQ(form->size(), QSize(805, 590));
    EXPECT_EQ(form->Label3D3->Caption(), "Power supply Id: 3");
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ReadyText);
    EXPECT_EQ(form->windowTitle(), MonitorForm::InteractiveCaption);
    EXPECT_TRUE(form->cmdHelp->isHidden());
    EXPECT_FALSE(form->cmdModuleNumering->isHidden());
    EXPECT_TRUE(form->PellarosOutputOnOff->Status());
    EXPECT_EQ(form->OH->text(), "1,234,567");

    struct Slot {
        int slot;
        const char* message;
        uint colour;
        const char *volts, *amps, *vll, *vlh, *cl, *rv, *rc, *sp, *gid;
        bool switchOn;
    };
    const Slot panels[] = {
        {1, "Module Good", 0xFF00, "12.00", "5.00", "11.4", "12.6", "Current Limit = 10",
         "10.0 - 14.0", "10.0", "12.00", "M[1]", true},
        {2, "Not Present", 0, "0", "0", "-", "-", "-", "0.0 - 0.0", "0", "0", "0", false},
        {3, "Module Good", 0xFF00, "5.00", "10.00", "4.75", "5.25", "Current Limit = 20",
         "4.0 - 6.0", "20.0", "5.00", "S[2]", true},
        {4, "Not Present", 0, "0", "0", "-", "-", "-", "0.0 - 0.0", "0", "0", "0", false},
        {5, "Module Off", 255, "0", "0.00", "22.8", "25.2", "Current Limit = 6", "20.0 - 28.0",
         "6.0", "24.00", "1", false},
    };
    for (const Slot& s : panels) {
        SCOPED_TRACE(s.slot);
        const auto i = static_cast<std::size_t>(s.slot);
        EXPECT_EQ(form->MMessage[i]->text(), s.message);
        EXPECT_EQ(form->messageColor(s.slot), s.colour);
        EXPECT_EQ(form->PellarosDisplay[i]->strValue(), s.volts);
        EXPECT_EQ(form->PellarosDisplayCurr[i]->strValue(), s.amps);
        EXPECT_EQ(form->VLL[i]->text(), s.vll);
        EXPECT_EQ(form->VLH[i]->text(), s.vlh);
        EXPECT_EQ(form->CL[i]->text(), s.cl);
        EXPECT_EQ(form->RV[i]->text(), s.rv);
        EXPECT_EQ(form->RC[i]->text(), s.rc);
        EXPECT_EQ(form->txtSP[i]->text(), s.sp);
        EXPECT_EQ(form->GID[i]->text(), s.gid);
        EXPECT_EQ(form->PellarosOS[i]->Status(), s.switchOn);
        EXPECT_EQ(form->PellarosMG[i]->Status(), s.message == QStringLiteral("Module Good"));
        EXPECT_EQ(form->txtSP[i]->isEnabled(), s.switchOn);
        EXPECT_EQ(form->cmdSetVoltage[i]->isEnabled(), s.switchOn);
        EXPECT_EQ(form->LastSetPoint[i], kivo::basic::CDbl(QString(s.sp)).value());
    }
    // Present modules have the heavy outline, absent ones the hatched one.
    EXPECT_EQ(form->Module[1]->BorderWidth(), 4);
    EXPECT_EQ(form->Module[1]->FillStyle(), 1);
    EXPECT_EQ(form->Module[2]->BorderWidth(), 1);
    EXPECT_EQ(form->Module[2]->FillStyle(), 5);
    // Slot 5 is off: its recheck timer waits its turn-on delay; the good ones have none.
    EXPECT_TRUE(form->tmrMod[5]->isActive());
    EXPECT_EQ(form->tmrMod[5]->interval(), 400);
    EXPECT_FALSE(form->tmrMod[1]->isActive());
    EXPECT_FALSE(form->tmrMod[3]->isActive());
    // Global DC is off while a fitted module is off.
    EXPECT_FALSE(form->PellarosGlobalDC->Status());
    EXPECT_FALSE(form->PellarosErrorPicture->Status());
    EXPECT_TRUE(form->PellarosACFail->Status());

    form->show();
    savePicture("monitor-unit3.png");
    form->hide();
}

TEST_F(Select, TheHatchOfAnEmptySlotAndTheWhiteBacksShowOnTheWindow)
{
    selectUnitThree();
    form->show();
    const QColor background = form->palette().color(QPalette::Window);
    // Slots 2 and 4 are empty: their hatch and outline are drawn in a colour of their own.
    for (const int slot : {2, 4}) {
        SCOPED_TRACE(slot);
        const QImage shape = form->Module[static_cast<std::size_t>(slot)]->grab().toImage();
        int drawn = 0;
        for (int y = 0; y < shape.height(); ++y) {
            for (int x = 0; x < shape.width(); ++x) {
                drawn += shape.pixelColor(x, y) != background ? 1 : 0;
            }
        }
        EXPECT_GT(drawn, shape.width() * shape.height() / 20);
        EXPECT_NE(shape.pixelColor(0, 0), background); // the outline
    }
    // "Autosave" and the status bar have a white back.
    for (QWidget* w : std::initializer_list<QWidget*>{form->Check2, form->lblReady}) {
        const QImage picture = w->grab().toImage();
        EXPECT_EQ(picture.pixelColor(picture.width() - 3, 3), QColor(Qt::white))
            << w->objectName().toStdString();
    }
    form->hide();
}

TEST_F(Select, AUnitThatDoesNotAnswerLeavesTheCompactWindowAndSaysSo)
{
    form->UnitList->setCurrentIndex(6);
    form->cmdSelectUnit_Click();

    EXPECT_EQ(requests(false), (Frames{"1F 04 C8"}));
    const QString noResponse = "Unit 7 Does not Respond, make sure is properly connected and is "
                               "the correct UnitID Number";
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text,
              noResponse + " for details check file " + KivoGlobals::ErrorLogPath);
    EXPECT_EQ(messages()[0].title, KivoGlobals::ProgramTitle);
    EXPECT_EQ(windows.calls, QStringList{"2690 2750 Unit does not respond!"});
    EXPECT_EQ(form->size(), QSize(179, 183));
    EXPECT_FALSE(KivoGlobals::UnitSelected);
    EXPECT_EQ(form->Label3D3->Caption(), "Please Select Unit...");
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ErrorText);
    EXPECT_FALSE(form->cmdErrorfile->isHidden());
    EXPECT_TRUE(form->UnitList->isEnabled());
    EXPECT_TRUE(form->cmdSelectUnit->isEnabled());
    EXPECT_TRUE(form->cmdClose->isEnabled());
    EXPECT_FALSE(form->cmdRefresh->isEnabled());
    EXPECT_FALSE(form->Busy);
    EXPECT_TRUE(portFree());
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(form->LastSetPoint[static_cast<std::size_t>(k)], 0);
    }
    form->show();
    savePicture("monitor-compact.png");
    form->hide();

    // The next good selection offers everything again, the log commands included.
    select(3);
    EXPECT_TRUE(KivoGlobals::UnitSelected);
    for (QWidget* w :
         std::initializer_list<QWidget*>{form->cmdComSettings, form->cmdRefresh, form->cmdClear,
                                         form->txtFileName, form->Check1, form->UnitList}) {
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    }
    EXPECT_EQ(form->size(), QSize(805, 590));
}

TEST_F(Select, TheFailureMessageIsThisReadsOwnText)
{
    // Unit 7 does not answer; then unit 3 fails in another way: its message must not begin
    // with unit 7's text.
    select(7);
    desktop.clear();
    sim().server().faults().add({.uid = 3, .cid = 0x0C, .times = Fault::always});
    requests(false);
    select(3);

    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Error in GetGlobalStatusByte in Unit 3 CMD_NORESPONSE for "
                                  "details check file " +
                                      KivoGlobals::ErrorLogPath);
    EXPECT_FALSE(KivoGlobals::UnitSelected);
    EXPECT_TRUE(portFree());
}

TEST_F(Select, EveryCallAddressesTheUnitTheSelectionChose)
{
    selectUnitThree();
    requests();
    // The configuration window writes the global ID, and the list may show another unit.
    KivoGlobals::SelectedUnitId = "5";
    form->UnitList->setCurrentIndex(4);
    form->cmdRefresh_Click();
    EXPECT_EQ(requests(), refreshFrames()); // every one to unit 3
    EXPECT_EQ(form->chosenUnit(), "3");
}

TEST_F(Select, ClickingTheListReloadsAndStopsTheRecheckTimers)
{
    selectUnitThree();
    ASSERT_TRUE(form->tmrMod[5]->isActive());
    form->Combo1->setCurrentIndex(0);
    form->UnitList->setCurrentIndex(9);
    form->UnitList_Click();

    EXPECT_FALSE(form->tmrMod[5]->isActive());
    EXPECT_EQ(form->size(), QSize(179, 183));
    EXPECT_EQ(form->Combo1->currentText(), "5   Sec.");
    EXPECT_EQ(form->UnitList->count(), 32);
    EXPECT_EQ(form->UnitList->currentText(), "10");
    EXPECT_EQ(form->MMessage[1]->text(), "Module Off");
    EXPECT_EQ(form->txtSP[1]->text(), "0");
    EXPECT_FALSE(form->UnitChosen);
}

TEST_F(Select, ARecheckTimerRefreshesOnceForASlotThatIsNotGood)
{
    selectUnitThree();
    requests();
    form->tmrMod1_Timer(); // slot 1 is good: nothing
    EXPECT_TRUE(requests().empty());
    EXPECT_FALSE(form->tmrMod[1]->isActive());

    form->tmrMod5_Timer(); // slot 5 is off: one refresh, and the timer stops
    EXPECT_EQ(requests(), refreshFrames());
    EXPECT_FALSE(form->tmrMod[5]->isActive());
    for (int k = 1; k <= 5; ++k) {
        EXPECT_FALSE(form->tmrMod[static_cast<std::size_t>(k)]->isActive()) << k;
    }
}

TEST_F(Select, TheModuleGoodByteReachesTheGlobalDigits)
{
    selectUnitThree();
    sim().bus().unit(3)->module(3).setPoint = 0; // slot 3 out of its window: not good
    requests();
    ASSERT_EQ(kivo::automation::call(KivoGlobals::DeviceLink, "OpenPort", sim().port()).status,
              "CMD_OK");
    form->monitorGetModuleGoodStatusByte();
    kivo::automation::call(KivoGlobals::DeviceLink, "ClosePort");
    EXPECT_EQ(requests(), Frames{"1F 0B"});
    EXPECT_EQ(KivoGlobals::ModuleGoodBits, "10000000");
}

// The busy state gives the keyboard focus back where it was: after a selection on the select
// button, after a refresh on the refresh button, so the next Tab goes on from there.
TEST_F(Select, TheFocusIsBackOnTheButtonAfterTheSelectionAndTheRefresh)
{
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    form->cmdSelectUnit->setFocus();
    selectUnitThree();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->focusWidget(), form->cmdSelectUnit);

    form->cmdRefresh->setFocus();
    form->cmdRefresh_Click();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->focusWidget(), form->cmdRefresh);
    form->hide();
}

} // namespace
