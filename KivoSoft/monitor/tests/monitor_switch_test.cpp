// Switching and set points against the simulated bus: what the unit ends up with, what is sent
// and what is not, and the failures the window reports.
#include "KivoSoft/monitor/tests/monitor_fixture.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::desktop::vbCritical;
using kivo::desktop::vbInformation;
using kivo::desktop::vbOKOnly;
using kivo::unitsim::Fault;

namespace {

class Switch : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        selectUnitThree();
        requests();
    }
    // The frames that came before the redraw that ends a switch.
    Frames before(const Frames& frames, const Frames& redraw)
    {
        EXPECT_GE(frames.size(), redraw.size());
        EXPECT_EQ(Frames(frames.end() - static_cast<long>(redraw.size()), frames.end()), redraw);
        return Frames(frames.begin(), frames.end() - static_cast<long>(redraw.size()));
    }
};

TEST_F(Switch, AModuleSwitchSendsTheStateMeasuresAndRedraws)
{
    form->PellarosOS_MouseClick(3); // on -> off
    EXPECT_EQ(before(requests(), refreshFrames()), (Frames{"03 01 01", "03 03", "03 02"}));
    EXPECT_FALSE(sim().bus().unit(3)->module(3).outputOn);
    EXPECT_TRUE(messages().empty());
    EXPECT_FALSE(form->PellarosOS[3]->Status());
    EXPECT_EQ(form->MMessage[3]->text(), "Module Off");
    EXPECT_FALSE(form->txtSP[3]->isEnabled());
    EXPECT_TRUE(form->PellarosOS[3]->isEnabled());
    EXPECT_TRUE(form->cmdRefresh->isEnabled());
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ReadyText);

    form->PellarosOS_MouseClick(3); // off -> on
    EXPECT_EQ(before(requests(), refreshFrames()), (Frames{"03 01 1F", "03 03", "03 02"}));
    EXPECT_TRUE(sim().bus().unit(3)->module(3).outputOn);
    EXPECT_TRUE(form->PellarosOS[3]->Status());
    EXPECT_TRUE(portFree());
}

TEST_F(Switch, AFailedSetIsReportedEvenWhenTheMeasurementWorks)
{
    sim().server().faults().add(
        {.uid = 3, .mid = 3, .cid = 0x01, .kind = Fault::ErrorReply, .times = Fault::always});
    form->PellarosOS_MouseClick(3);

    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, MonitorForm::PortFailureText);
    EXPECT_EQ(messages()[0].style, vbCritical + vbOKOnly);
    EXPECT_EQ(messages()[0].title, "Kivo Monitor");
    EXPECT_TRUE(logMessages().contains("Error in SetOuputState in Unit  3 and Module 3"));
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ErrorText);
    // The unit refused the reply but not the switch: the redraw shows what it has, off.
    EXPECT_FALSE(sim().bus().unit(3)->module(3).outputOn);
    EXPECT_FALSE(form->PellarosOS[3]->Status());
    EXPECT_TRUE(portFree());
}

// The read of unit 3 while its global output is off: the unit answers, its modules do not, so
// each module-type query stops at slot 1 unanswered.
Frames inhibitedReadFrames()
{
    return {"1F 04 C8", "01 04 CC", "1F 0B",    "01 04 CC", "1F 09", "1F 0C",
            "1F 04 C9", "1F 04 CA", "1F 04 CB", "1F 15",    "1F 16", "01 04 CC"};
}

TEST_F(Switch, AllOutputsGoOffAndOnAgainWithTheWindowShowingEachState)
{
    form->PellarosOutputOnOff_MouseClick(); // on -> off
    EXPECT_EQ(requests(), joined<std::string>({{"1F 15", "1F 0E 00"}, inhibitedReadFrames()}));
    EXPECT_FALSE(sim().bus().unit(3)->globalOutputOn());
    EXPECT_EQ(pauses, (std::vector<double>{0.1, 0.1, 0.1, 0.1, 0.1}));
    EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
    EXPECT_FALSE(KivoGlobals::ModuleTypeRead);
    EXPECT_FALSE(form->PellarosOutputOnOff->Status());
    EXPECT_TRUE(form->PellarosOutputOnOff->isEnabled());
    EXPECT_EQ(form->Label3D3->Caption(), "Kivo unit Id: 3, Modules OFF");
    EXPECT_EQ(form->lblReady->text(), "P/S Id: 3, Modules OFF");
    for (int k = 1; k <= 5; ++k) {
        SCOPED_TRACE(k);
        const auto i = static_cast<std::size_t>(k);
        EXPECT_FALSE(form->PellarosOS[i]->Status());
        EXPECT_FALSE(form->PellarosOS[i]->isEnabled());
        EXPECT_FALSE(form->txtSP[i]->isEnabled());
        EXPECT_EQ(form->PellarosDisplay[i]->strValue(), "0");
        EXPECT_EQ(form->VLH[i]->text(), "-");
    }
    EXPECT_EQ(form->MMessage[1]->text(), "Module Off");
    // Only the selection and the switch itself take input (and the ways out of the window).
    EXPECT_TRUE(form->cmdSelectUnit->isEnabled());
    for (QWidget* w : std::initializer_list<QWidget*>{form->UnitList, form->cmdRefresh,
                                                      form->Check1, form->cmdComSettings}) {
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    }
    EXPECT_FALSE(form->Busy);
    EXPECT_TRUE(portFree());

    form->PellarosOutputOnOff_MouseClick(); // off -> on: the unit is read afresh, in full
    EXPECT_EQ(requests(), joined<std::string>({{"1F 15", "1F 0E 02"}, selectionFrames()}));
    EXPECT_TRUE(sim().bus().unit(3)->globalOutputOn());
    EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
    EXPECT_TRUE(form->PellarosOutputOnOff->Status());
    EXPECT_EQ(form->Label3D3->Caption(), "Power supply Id: 3");
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ReadyText);
    EXPECT_TRUE(form->PellarosOS[1]->Status());
    EXPECT_EQ(form->MMessage[1]->text(), "Module Good");
    EXPECT_EQ(form->PellarosDisplay[1]->strValue(), "12.00");
    EXPECT_EQ(form->MMessage[2]->text(), "Not Present");
    EXPECT_FALSE(form->PellarosOS[5]->Status());
    EXPECT_TRUE(form->cmdRefresh->isEnabled());
    EXPECT_TRUE(portFree());

    form->PellarosOutputOnOff_MouseClick(); // and off once more: the switch works both ways
    EXPECT_EQ(requests(), joined<std::string>({{"1F 15", "1F 0E 00"}, inhibitedReadFrames()}));
    EXPECT_FALSE(form->PellarosOutputOnOff->Status());
}

TEST_F(Switch, AllOutputsThatTheUnitDoesNotConfirmLeaveAUsableWindow)
{
    sim().server().faults().add({.uid = 3, .cid = 0x0E, .kind = Fault::NoReply});
    form->PellarosOutputOnOff_MouseClick();
    EXPECT_EQ(requests(), (Frames{"1F 15", "1F 0E 00"})); // no read after it
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text,
              "ERROR ! PLEASE CHECK " + KivoGlobals::ErrorLogPath + " FOR DETAILS");
    EXPECT_FALSE(form->PellarosErrorPicture->Status());
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ErrorText);
    for (QWidget* w :
         std::initializer_list<QWidget*>{form->UnitList, form->cmdSelectUnit, form->cmdRefresh,
                                         form->cmdClose, form->Check1, form->PellarosOutputOnOff}) {
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    }
    EXPECT_TRUE(portFree());
}

TEST_F(Switch, TheGlobalOutputButtonOpensThePortAndFlipsOnlyOnSuccess)
{
    form->GOutputBtn_Click(); // the first click sends 0
    EXPECT_EQ(requests(), (Frames{"1F 15", "1F 0E 00"}));
    EXPECT_EQ(form->GOutputBtn->text(), "OFF");
    EXPECT_FALSE(sim().bus().unit(3)->globalOutputOn());
    form->GOutputBtn_Click();
    EXPECT_EQ(requests(), (Frames{"1F 15", "1F 0E 02"}));
    EXPECT_EQ(form->GOutputBtn->text(), "ON");
    EXPECT_TRUE(sim().bus().unit(3)->globalOutputOn());
    EXPECT_TRUE(messages().empty());

    sim().server().faults().add({.uid = 3, .cid = 0x0E, .kind = Fault::ErrorReply});
    form->GOutputBtn_Click();
    EXPECT_EQ(form->GOutputBtn->text(), "ON");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text,
              "ERROR ! PLEASE CHECK " + KivoGlobals::ErrorLogPath + " FOR DETAILS");
    EXPECT_FALSE(form->PellarosErrorPicture->Status());

    form->GroupBtn_Click();
    EXPECT_EQ(requests().back(), "1F 10 00");
    EXPECT_EQ(form->GroupBtn->text(), "OFF");
    EXPECT_TRUE(portFree());
}

TEST(SwitchBeforeSelection, TheUnitButtonsAskForAUnitFirst)
{
    kivo::desktop::RecordingDesktop desktop;
    kivo::desktop::ScopedDesktop installed(desktop);
    MonitorForm form;
    form.Form_Load();
    form.GOutputBtn_Click();
    form.GroupBtn_Click();
    ASSERT_EQ(desktop.calls().size(), 2u);
    EXPECT_EQ(desktop.calls()[0].text, "Please Select Unit First");
    EXPECT_EQ(form.GOutputBtn->text(), "Off");
}

// ---- Set points

class SetPoint : public Switch {
protected:
    void SetUp() override
    {
        Switch::SetUp();
        desktop.clear();
    }
    void setBox(int slot, const QString& text)
    {
        form->txtSP[static_cast<std::size_t>(slot)]->setText(text);
    }
    QString box(int slot) const { return form->txtSP[static_cast<std::size_t>(slot)]->text(); }
    // An apply of slot 1: the set point, the measurements, the states.
    static Frames applyFrames(const std::string& setPoint)
    {
        return {"01 07 " + setPoint, "01 03", "01 02", "1F 09", "1F 0B"};
    }
};

TEST_F(SetPoint, AVoltageGoesAsCountsOfTheSlotsFactor)
{
    // 12.005 V with 200 counts a volt: 2401.0 counts.
    form->ReadScaling[1].VoltageScaleFactor = 200;
    setBox(1, "12.005");
    form->cmdSetVoltage_Click(1);
    EXPECT_EQ(requests(), applyFrames("61 09"));
    EXPECT_EQ(sim().bus().unit(3)->module(1).setPoint, 2401);
    EXPECT_EQ(form->LastSetPoint[1], 12.005);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ReadyText);
    EXPECT_TRUE(portFree());

    EXPECT_EQ(MonitorForm::setPointCounts(12.005, 200), 2401);
    EXPECT_EQ(MonitorForm::setPointCounts(2.5, 1), 2);
    EXPECT_EQ(MonitorForm::setPointCounts(3.5, 1), 4);
    EXPECT_THROW(MonitorForm::setPointCounts(400, 100), kivo::basic::RuntimeError);
}

TEST_F(SetPoint, AValueOutOfRangeSendsNothing)
{
    setBox(1, "15");
    form->cmdSetVoltage_Click(1);
    EXPECT_TRUE(requests().empty());
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text,
              "15 is Invalid Voltage Setpoint Value!, Should be between 10 and 14");
    EXPECT_EQ(messages()[0].title, "Dravon Electronics");
    EXPECT_EQ(messages()[0].style, vbInformation + vbOKOnly);
    EXPECT_EQ(form->LastSetPoint[1], 12);
    EXPECT_TRUE(form->txtSP[1]->isEnabled());
    EXPECT_TRUE(form->cmdSetVoltage[1]->isEnabled());
    EXPECT_TRUE(portFree());
}

TEST_F(SetPoint, TheStepButtonsClampToTheModulesRange)
{
    // Slot 1 is a 10 to 14 V module.
    struct Case {
        const char* start;
        bool up;
        const char* shown;
        bool sent;
    };
    const Case cases[] = {
        {"14.00", true, "14.00", false}, // the step is taken back
        {"9.00", true, "10.00", true},   // up to the minimum
        {"15.00", false, "14.00", true}, // down to the maximum
        {"10.00", false, "10.00", false}, {"12.00", true, "12.01", true},
        {"12.00", false, "11.99", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start) + (c.up ? " up" : " down"));
        setBox(1, c.start);
        if (c.up) {
            form->cmdInc_Click(1);
        } else {
            form->cmdDec_Click(1);
        }
        EXPECT_EQ(box(1), c.shown);
        const Frames frames = requests();
        EXPECT_EQ(!frames.empty(), c.sent);
        if (c.sent) {
            const std::int16_t counts =
                kivo::basic::CInt(kivo::basic::CDbl(box(1)).value() * 100).value();
            EXPECT_EQ(sim().bus().unit(3)->module(1).setPoint, counts);
        }
    }
    setBox(1, "abc");
    form->cmdInc_Click(1);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Invalid Value!, Should be between 10 and 14");
    EXPECT_TRUE(requests().empty());
}

TEST_F(SetPoint, EnterAlwaysSendsAndALeftBoxOnlyWhenChanged)
{
    setBox(1, "12");
    form->txtSP_KeyDown(1, 13, 0);
    EXPECT_EQ(box(1), "12.00");
    EXPECT_EQ(requests(), applyFrames("B0 04"));

    form->txtSP_LostFocus(1); // same as last applied
    EXPECT_TRUE(requests().empty());
    setBox(1, "12.5");
    form->txtSP_LostFocus(1);
    EXPECT_EQ(box(1), "12.50");
    EXPECT_EQ(requests(), applyFrames("E2 04"));
    EXPECT_EQ(form->LastSetPoint[1], 12.5);
    EXPECT_TRUE(form->cmdRefresh->isEnabled());
    EXPECT_TRUE(form->cmdClose->isEnabled());

    setBox(1, "x");
    form->txtSP_LostFocus(1);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Please enter numeric value.");
    EXPECT_TRUE(requests().empty());

    // A letter typed into the box is refused by the key filter.
    desktop.clear();
    setBox(1, "12.50");
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(form->txtSP[1], &letter);
    EXPECT_EQ(box(1), "12.50");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Please enter numeric values");

    // So is the comma of a pasted "1,2" (the locale's separator is "."), and nothing of the text
    // goes in.
    desktop.clear();
    setBox(1, "");
    QGuiApplication::clipboard()->setText(QStringLiteral("1,2"));
    QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QString(QChar(22)));
    QCoreApplication::sendEvent(form->txtSP[1], &paste);
    EXPECT_EQ(box(1), "");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Please enter numeric values");
}

TEST_F(SetPoint, AFailedMeasurementOfAnApplyOrASwitchLeavesItsMeterWithTheLastReading)
{
    // Slot 1 reads 12 V and 5 A after the selection; its apply sends 12.5 V, its switch turns
    // it off. A failed measurement leaves a count of 0, which is no reading.
    struct Case {
        const char* what;
        int cid; // the measurement that fails every time
        bool apply;
        const char *volts, *amps;
        const char* logged;
    };
    const Case cases[] = {
        {"apply, voltage", 0x02, true, "12.00", "5.21",
         "Error in MeasureOutputVoltage in Unit  3 and Module 1"},
        {"apply, current", 0x03, true, "12.50", "5.00",
         "Error in MeasureOutputCurrent in Unit  3 and Module 1"},
        // The refresh after the switch fails at the same measurement, so the meter keeps
        // what the switch left; an output switched off draws no current.
        {"switch off, voltage", 0x02, false, "12.00", "0",
         "Error in MeasureOutputVoltage in Unit  3 and Module 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim().server().faults().clear();
        sim().bus().unit(3)->module(1).setPoint = 1200;
        sim().bus().unit(3)->module(1).outputOn = true;
        selectUnitThree();
        ASSERT_EQ(form->PellarosDisplay[1]->strValue(), "12.00");
        ASSERT_EQ(form->PellarosDisplayCurr[1]->strValue(), "5.00");
        requests();
        desktop.clear();
        QFile::remove(KivoGlobals::ErrorLogPath);
        sim().server().faults().add(
            {.uid = 3, .mid = 1, .cid = c.cid, .kind = Fault::ErrorReply, .times = Fault::always});

        if (c.apply) {
            setBox(1, "12.5");
            form->cmdSetVoltage_Click(1);
            EXPECT_EQ(sim().bus().unit(3)->module(1).setPoint, 1250);
        } else {
            form->PellarosOS_MouseClick(1);
            EXPECT_FALSE(sim().bus().unit(3)->module(1).outputOn);
        }

        EXPECT_EQ(form->PellarosDisplay[1]->strValue(), c.volts);
        EXPECT_EQ(form->PellarosDisplayCurr[1]->strValue(), c.amps);
        EXPECT_EQ(messageTexts().value(0), MonitorForm::PortFailureText);
        EXPECT_TRUE(logMessages().contains(c.logged));
        EXPECT_EQ(form->lblReady->text(), MonitorForm::ErrorText);
        EXPECT_TRUE(portFree());
    }
}

TEST_F(SetPoint, AFailedSetIsNotRecordedAsApplied)
{
    sim().server().faults().add({.uid = 3, .mid = 1, .cid = 0x07, .kind = Fault::ErrorReply});
    setBox(1, "13");
    form->cmdSetVoltage_Click(1);
    EXPECT_EQ(form->LastSetPoint[1], 12);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, MonitorForm::PortFailureText);
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ErrorText);
    EXPECT_TRUE(
        logMessages().contains("Error in SetOutputVoltageSetpoint in Unit  3 and Module 1"));
    // Leaving the box now sends again: the window never saw the unit take 13 V.
    requests();
    form->txtSP_LostFocus(1);
    EXPECT_EQ(requests(), applyFrames("14 05"));
    EXPECT_EQ(form->LastSetPoint[1], 13);
}

} // namespace
