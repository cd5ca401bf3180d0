// The link-in-use guard: timer ticks and clicks that come while an action has the port never
// open it again under that action; and the recovery paths leave a window that still works.
#include "KivoSoft/model/INI.h"
#include "KivoSoft/monitor/tests/monitor_fixture.h"
#include "KivoSoft/shell/CommParamsForm.h"
#include "KivoSoft/shell/MainForm.h"
#include "tests/support/modal.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <stdexcept>

using namespace KivoSoft;
using namespace KivoSoft::testing;

namespace {

class Guard : public MonitorTest {
protected:
    // Runs `during` once, at the first turn of the event loop while `holder` has the port and
    // the bus has seen a request of the action.
    void onceDuring(const QString& holder, std::function<void()> during)
    {
        auto done = std::make_shared<bool>(false);
        kivo::desktop::setEventsRunHook([this, holder, during, done] {
            if (!*done && LinkInUse::holder() == holder && !sim().server().log().empty()) {
                *done = true;
                during();
            }
            QCoreApplication::processEvents();
        });
    }
    // What the window's timers do when they fire in the middle of an action.
    void ticksFire()
    {
        KivoGlobals::LogPeriodSeconds = 5;
        form->Timer2->setInterval(5000);
        skippedBefore = form->skippedTicks();
        form->tmrMod1_Timer();
        form->tmrMod5_Timer();
        form->Timer2_Timer();
        retriedAfter = form->tmrMod[1]->isActive() && form->tmrMod[5]->isActive() &&
                       form->tmrMod[5]->interval() == MonitorForm::RecheckRetryMs;
        ++fired;
    }
    int fired = 0;
    int skippedBefore = 0;
    bool retriedAfter = false;
};

TEST_F(Guard, TicksDuringTheSelectionLeaveThePortToIt)
{
    // A timer an earlier selection armed is stopped before this one reads.
    form->tmrMod[3]->setInterval(60000);
    form->tmrMod[3]->start();
    bool leftRunning = true;
    onceDuring("MonitorForm.cmdSelectUnit", [this, &leftRunning] {
        leftRunning = form->tmrMod[3]->isActive();
        ticksFire();
    });
    select(3);
    kivo::desktop::setEventsRunHook({});
    EXPECT_FALSE(leftRunning);
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(retriedAfter);
    EXPECT_EQ(form->skippedTicks(), skippedBefore + 1);
    EXPECT_EQ(requests(), selectionFrames()); // nothing nested, nothing extra
    EXPECT_TRUE(messages().empty());
    EXPECT_FALSE(KivoGlobals::ErrorFlag) << KivoGlobals::LastErrorText.toStdString();
    EXPECT_TRUE(KivoGlobals::UnitSelected);
    // The selection armed the timers afresh: slot 5 waits its delay again.
    EXPECT_EQ(form->tmrMod[5]->interval(), 400);
    EXPECT_TRUE(portFree());
}

TEST_F(Guard, TicksDuringASwitchAndAnApplyLeaveThePortToThem)
{
    selectUnitThree();
    requests();
    onceDuring("MonitorForm.PellarosOS", [this] { ticksFire(); });
    form->PellarosOS_MouseClick(3);
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(retriedAfter);
    const Frames switched = requests();
    EXPECT_EQ(Frames(switched.begin(), switched.begin() + 3),
              (Frames{"03 01 01", "03 03", "03 02"}));
    EXPECT_EQ(Frames(switched.begin() + 3, switched.end()), refreshFrames());
    EXPECT_FALSE(sim().bus().unit(3)->module(3).outputOn);

    fired = 0;
    onceDuring("MonitorForm.cmdSetVoltage", [this] { ticksFire(); });
    form->txtSP[1]->setText("12.50");
    form->cmdSetVoltage_Click(1);
    kivo::desktop::setEventsRunHook({});
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(retriedAfter);
    EXPECT_EQ(requests(), (Frames{"01 07 E2 04", "01 03", "01 02", "1F 09", "1F 0B"}));
    EXPECT_EQ(sim().bus().unit(3)->module(1).setPoint, 1250);
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(portFree());
}

TEST_F(Guard, TheCloseBoxUnderARunningActionClosesOnceTheActionIsDone)
{
    // The title-bar close reaches the window while its action pumps events; the unload's reset
    // would take the unit and the selection from under the action still on the stack, so the
    // close waits for the action's end, and is not lost.
    struct Case {
        const char* holder;
        std::function<void(MonitorForm&)> run;
    };
    const Case cases[] = {
        {"MonitorForm.Timer2", [](MonitorForm& f) { f.Timer2_Timer(); }},
        {"MonitorForm.cmdRefresh", [](MonitorForm& f) { f.cmdRefresh_Click(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.holder);
        form->show();
        selectUnitThree();
        requests();
        KivoGlobals::LogPeriodSeconds = 5;
        KivoGlobals::LogElapsedMs = 0;
        form->Timer2->setInterval(5000);
        bool asked = false;
        bool closedUnderTheAction = false;
        kivo::desktop::setEventsRunHook([&] {
            if (!asked && LinkInUse::holder() == c.holder && !sim().server().log().empty()) {
                asked = true;
                form->close();
            }
            QCoreApplication::processEvents();
            if (asked && LinkInUse::holder() == c.holder && !form->isVisible()) {
                closedUnderTheAction = true;
            }
        });
        c.run(*form);
        kivo::desktop::setEventsRunHook({});
        ASSERT_TRUE(asked);
        EXPECT_FALSE(closedUnderTheAction);
        // The action ran to its end, undisturbed.
        EXPECT_EQ(requests(), refreshFrames());
        EXPECT_TRUE(messages().empty()) << messageTexts().join(" | ").toStdString();
        EXPECT_FALSE(KivoGlobals::ErrorFlag) << KivoGlobals::LastErrorText.toStdString();
        EXPECT_FALSE(form->lastRefreshFailed());
        EXPECT_TRUE(portFree());

        // Then the close is carried out.
        QCoreApplication::processEvents();
        EXPECT_FALSE(form->isVisible());
        EXPECT_FALSE(form->CurrentUnit);
        EXPECT_TRUE(Forms::mainForm().isVisible());
        Forms::mainForm().hide();
    }
}

TEST_F(Guard, WhileAnotherWindowHasThePortNothingHereTouchesIt)
{
    selectUnitThree();
    requests();
    form->Check1->setChecked(false);
    {
        LinkInUse configuration(QStringLiteral("SupplyConfig.SelectButton"));
        form->tmrMod5_Timer();
        EXPECT_TRUE(form->tmrMod[5]->isActive());
        EXPECT_EQ(form->tmrMod[5]->interval(), MonitorForm::RecheckRetryMs);
        KivoGlobals::LogPeriodSeconds = 5;
        form->Timer2->setInterval(5000);
        form->Timer2_Timer();
        EXPECT_EQ(form->skippedTicks(), 1);
        form->cmdRefresh_Click();
        form->cmdSelectUnit_Click();
        form->PellarosOS_MouseClick(1);
        form->PellarosOutputOnOff_MouseClick();
        form->GOutputBtn_Click();
        form->cmdSetVoltage_Click(1);
        form->cmdInc_Click(1);
        form->Check1->setChecked(true);
        EXPECT_FALSE(form->Check1->isChecked()); // the mode did not change
        EXPECT_FALSE(form->Timer2->isActive());
        EXPECT_TRUE(requests().empty());
        EXPECT_TRUE(form->PellarosOS[1]->Status());
        EXPECT_EQ(form->txtSP[1]->text(), "12.00");
        EXPECT_EQ(form->GOutputBtn->text(), "Off");
    }
    // Free again: the retried recheck refreshes.
    form->tmrMod5_Timer();
    EXPECT_EQ(requests(), refreshFrames());
    EXPECT_FALSE(form->tmrMod[5]->isActive());
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(portFree());
}

// ---- Recovery

class Recovery : public MonitorTest {
protected:
    // The window offers the interactive commands again and nothing is left busy.
    void expectUsable(bool unitRead = true)
    {
        EXPECT_FALSE(form->Busy);
        EXPECT_FALSE(KivoGlobals::LoggingInProgress);
        for (QWidget* w : std::initializer_list<QWidget*>{form->UnitList, form->cmdSelectUnit,
                                                          form->cmdClose, form->cmdEeprom}) {
            EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
        }
        // Monitor mode needs a unit that was read.
        EXPECT_EQ(form->Check1->isEnabled(), unitRead);
        EXPECT_FALSE(LinkInUse::taken());
        EXPECT_TRUE(portFree());
    }
};

TEST_F(Recovery, AModuleTypeWithoutScalingLeavesItsSlotBlankAndTheOthersShown)
{
    sim().bus().unit(3)->module(3).type = 9; // no section in scale.ini
    select(3);

    // The same exchanges as for a type the program knows, and no failure.
    EXPECT_EQ(requests(), selectionFrames());
    EXPECT_TRUE(KivoGlobals::UnitSelected) << KivoGlobals::LastErrorText.toStdString();
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ReadyText);
    EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
    struct Slot {
        int slot;
        const char *message, *volts, *amps, *vll, *vlh, *cl;
    };
    const Slot panels[] = {
        {1, "Module Good", "12.00", "5.00", "11.4", "12.6", "Current Limit = 10"},
        {3, "Module Good", "", "", "", "", "Current Limit = "},
        {5, "Module Off", "0", "0.00", "22.8", "25.2", "Current Limit = 6"},
    };
    for (const Slot& s : panels) {
        SCOPED_TRACE(s.slot);
        const auto i = static_cast<std::size_t>(s.slot);
        EXPECT_EQ(form->MMessage[i]->text(), s.message); // slot 3: no limit verdict
        EXPECT_EQ(form->PellarosDisplay[i]->strValue(), s.volts);
        EXPECT_EQ(form->PellarosDisplayCurr[i]->strValue(), s.amps);
        EXPECT_EQ(form->VLL[i]->text(), s.vll);
        EXPECT_EQ(form->VLH[i]->text(), s.vlh);
        EXPECT_EQ(form->CL[i]->text(), s.cl);
    }
    EXPECT_EQ(form->Module[3]->BorderWidth(), 4); // fitted
    EXPECT_TRUE(form->PellarosOS[3]->Status());
    // One line per read: the selection's full read and its refresh.
    const QString named = "Module in slot 3 of Unit 3: no scaling record for TYPE9 in scale.ini";
    EXPECT_EQ(logMessages(), QStringList({named, named}));
    expectUsable();

    // Switching the slot goes out and is not reported as a failure; its meters stay blank.
    form->PellarosOS_MouseClick(3);
    EXPECT_FALSE(sim().bus().unit(3)->module(3).outputOn);
    EXPECT_TRUE(messages().empty()) << messageTexts().join('|').toStdString();
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ReadyText);
    EXPECT_FALSE(logMessages().join('|').contains("Run-time error"));
    expectUsable();
    form->PellarosOS_MouseClick(3);
    EXPECT_TRUE(sim().bus().unit(3)->module(3).outputOn);

    // A logged tick writes the slot's values as blank fields, not as 0.
    form->Check1->setChecked(true);
    KivoGlobals::LogPeriodSeconds = 5;
    form->Timer2->setInterval(5000);
    form->Timer2_Timer();
    const QStringList rows = form->rtbNewLog->text().split("\r\n");
    ASSERT_EQ(rows.size(), 2);
    const QStringList fields = rows[1].split(',');
    ASSERT_EQ(fields.size(), 27);
    EXPECT_EQ(fields.mid(11, 9),
              QStringList({"Ok", "12.00", "5.00", "Fail", "0", "0", "Ok", "", ""}));
    EXPECT_TRUE(form->RichTextBox1->toPlainText().contains("1  12.00    5.00\n" +
                                                           QString(63, u' ') + "3    \n"));
    EXPECT_TRUE(messages().empty());
    form->show();
    savePicture("monitor-unscaled-slot.png");
    form->hide();
}

TEST_F(Recovery, APanelWithoutAScaleFactorShowsNoLimitsAndSkipsTheirTest)
{
    selectUnitThree();
    KivoData unit;
    {
        LinkInUse reading(QStringLiteral("test"));
        unit.ReadKivoMonitor("3");
    }
    ASSERT_FALSE(KivoGlobals::ErrorFlag);
    form->ReadScaling[3].VoltageScaleFactor = 0;
    QFile::remove(KivoGlobals::ErrorLogPath);
    form->loadMonitorPanels(unit);
    EXPECT_EQ(form->VLH[3]->text(), "");
    EXPECT_EQ(form->VLL[3]->text(), "");
    EXPECT_EQ(form->VLH[1]->text(), "12.6");
    // The read names a missing record; the fill writes no second line.
    EXPECT_TRUE(logMessages().isEmpty());
    requests();
    form->cmdRefresh_Click(); // the slot's message stays as the fill left it
    EXPECT_EQ(requests(), refreshFrames());
    EXPECT_EQ(form->MMessage[3]->text(), "Module Good");
    EXPECT_EQ(form->MMessage[1]->text(), "Module Good");
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ReadyText);
}

TEST_F(Recovery, ARunTimeFailureInASwitchOrAnApplyLeavesAUsableWindow)
{
    selectUnitThree();
    requests();
    // A run-time failure right after the switch went out.
    kivo::desktop::setEventsRunHook([this] {
        if (LinkInUse::holder() == "MonitorForm.PellarosOS" && !sim().server().log().empty()) {
            kivo::desktop::setEventsRunHook({});
            throw std::runtime_error("Out of memory");
        }
        QCoreApplication::processEvents();
    });
    form->PellarosOS_MouseClick(1);
    kivo::desktop::setEventsRunHook({});
    EXPECT_EQ(requests(), (Frames{"01 01 01", "01 03", "01 02"}));
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ErrorText);
    EXPECT_TRUE(logMessages().contains(
        "Run-time error in MonitorForm.PellarosOS for Unit 3: Out of memory"));
    EXPECT_TRUE(form->PellarosOS[1]->isEnabled());
    expectUsable();

    form->ReadScaling[1] = clsScalability{};
    form->ReadScaling[1].MaxVoltage = 14;
    form->txtSP[1]->setText("12");
    form->cmdSetVoltage_Click(1);
    EXPECT_TRUE(requests().empty()); // 0 counts would have switched the output to 0 V
    EXPECT_TRUE(logMessages().contains(
        "Run-time error in MonitorForm.cmdSetVoltage for Unit 3: Division by zero"));
    expectUsable();

    form->cmdSelectUnit_Click(); // the read loads the scaling again
    EXPECT_TRUE(KivoGlobals::UnitSelected);
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ReadyText);
}

TEST_F(Recovery, AFailedRefreshNeverLeavesTheWindowBusy)
{
    selectUnitThree();
    form->Check1->setChecked(true);
    requests();
    // A run-time failure in the middle of a tick's refresh, once its data read is done.
    auto thrown = std::make_shared<bool>(false);
    kivo::desktop::setEventsRunHook([this, thrown] {
        if (!*thrown && form->Busy && !KivoGlobals::LoggingInProgress &&
            LinkInUse::holder() == "MonitorForm.Timer2") {
            *thrown = true;
            throw std::runtime_error("Out of memory");
        }
        QCoreApplication::processEvents();
    });
    form->Timer2_Timer();
    kivo::desktop::setEventsRunHook({});
    ASSERT_TRUE(*thrown);
    EXPECT_FALSE(form->Busy);
    EXPECT_FALSE(KivoGlobals::LoggingInProgress);
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ErrorText);
    EXPECT_TRUE(form->Check1->isEnabled());
    EXPECT_TRUE(logMessages().contains(
        "Run-time error in MonitorForm.cmdRefresh for Unit 3: Out of memory"));
    EXPECT_TRUE(portFree());
    requests();

    // The next tick is not skipped for a Busy left behind, and logs.
    const int skipped = form->skippedTicks();
    const int rows = static_cast<int>(form->rtbNewLog->text().count("\r\n"));
    form->Timer2_Timer();
    EXPECT_EQ(form->skippedTicks(), skipped);
    EXPECT_EQ(requests(), refreshFrames());
    EXPECT_EQ(form->rtbNewLog->text().count("\r\n"), rows + 1);
    EXPECT_FALSE(LinkInUse::taken());
}

// ---- Navigation and the window's frame

class Frame : public MonitorTest {};

TEST_F(Frame, NavigationCommands)
{
    form->cmdHelp_Click();
    form->cmdModuleNumering_Click();
    ASSERT_TRUE(KivoGlobals::LogError("Error in GetPresentModules in Unit  3"));
    form->cmdErrorfile_Click();
    using Kind = kivo::desktop::DesktopCall::Kind;
    ASSERT_EQ(desktop.calls(Kind::HelpTopic).size(), 2u);
    EXPECT_EQ(desktop.calls(Kind::HelpTopic)[0].text, "KIP.html");
    ASSERT_EQ(desktop.calls(Kind::OpenFile).size(), 1u);
    EXPECT_EQ(desktop.calls(Kind::OpenFile)[0].text, KivoGlobals::ErrorLogPath);
    EXPECT_EQ(form->cmdComSettings->text(),
              "Default Com Port = " + QString::fromStdString(sim().port()));

    // Until the configuration window is installed the configurator button does nothing.
    form->show();
    form->cmdEeprom_Click();
    EXPECT_TRUE(form->isVisible());

    // Once it is, the monitor hides, with no timer left that could reach the port.
    QWidget config;
    Forms::setSupplyConfigInstance([&config] { return &config; });
    form->tmrMod[2]->start(60000);
    form->cmdEeprom_Click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(config.isVisible());
    EXPECT_FALSE(form->tmrMod[2]->isActive());
    config.hide();
    Forms::setSupplyConfigInstance({});
}

TEST_F(Frame, TheMainWindowLeadsToTheOneInstanceAndBack)
{
    Forms::setMonitorFormInstance([] { return &monitorFormInstance(); });
    MainForm& main = Forms::mainForm();
    main.show();
    main.View_Click();
    EXPECT_FALSE(main.isVisible());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(Forms::monitorForm(), form);
    form->cmdClose_Click();
    EXPECT_TRUE(main.isVisible());
    main.Image2_Click();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->size(), QSize(179, 183)); // loaded afresh
    form->hide();
    main.hide();
    Forms::setMonitorFormInstance({});
}

TEST_F(Frame, CloseStopsEveryTimerAndGoesBackToTheLoadState)
{
    selectUnitThree();
    form->Check1->setChecked(true);
    form->show();
    ASSERT_TRUE(form->Timer2->isActive());
    KivoGlobals::SliderDragging = true;
    form->cmdClose_Click();
    EXPECT_FALSE(form->Timer2->isActive());
    for (int k = 1; k <= 5; ++k) {
        EXPECT_FALSE(form->tmrMod[static_cast<std::size_t>(k)]->isActive());
    }
    EXPECT_FALSE(KivoGlobals::SliderDragging);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(Forms::mainForm().isVisible());
    EXPECT_FALSE(form->CurrentUnit);
    EXPECT_FALSE(form->Check1->isChecked());
    EXPECT_EQ(form->rtbNewLog->text(), "");

    // Shown again it loads afresh.
    form->show();
    EXPECT_EQ(form->size(), QSize(179, 183));
    EXPECT_EQ(form->Label3D3->Caption(), "Please Select Unit...");
    EXPECT_TRUE(form->cmdSelectUnit->isEnabled());
    EXPECT_FALSE(form->cmdRefresh->isEnabled()); // no unit selected yet
    form->hide();
    Forms::mainForm().hide();
}

TEST_F(Frame, TheSizeSnapsBackAndTheListTakesNoKeys)
{
    form->show();
    form->showMaximized();
    QCoreApplication::processEvents();
    form->Form_Resize();
    EXPECT_FALSE(form->isMaximized());
    EXPECT_EQ(form->size(), QSize(179, 183));

    form->UnitList->setCurrentIndex(2);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(form->UnitList, &down);
    QKeyEvent digit(QEvent::KeyPress, Qt::Key_9, Qt::NoModifier, QStringLiteral("9"));
    QCoreApplication::sendEvent(form->UnitList, &digit);
    EXPECT_EQ(form->UnitList->currentText(), "3");
    form->hide();
}

TEST_F(Frame, ThePortDialogIsModalAndTheButtonNamesThePortAfter)
{
    kivo::testsupport::whenModalShows([](QWidget* modal) {
        auto* dialog = qobject_cast<CommParamsForm*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->ComPort->setEditText(QStringLiteral("/dev/ttyUSB4"));
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
    });
    form->cmdComSettings_Click();
    EXPECT_EQ(KivoGlobals::DefaultComPort, "/dev/ttyUSB4");
    EXPECT_EQ(form->cmdComSettings->text(), "Default Com Port = /dev/ttyUSB4");
    EXPECT_EQ(form->cmdComSettings->shownText(), form->cmdComSettings->text());

    // A path longer than the button keeps its whole text; the drawing keeps both ends in view.
    const QString longPort = QStringLiteral("/home/user/kivo/build-run/bin/kivo-unitsim.tty");
    form->cmdComSettings->setText("Default Com Port = " + longPort);
    const QString shown = form->cmdComSettings->shownText();
    EXPECT_EQ(form->cmdComSettings->text(), "Default Com Port = " + longPort);
    EXPECT_NE(shown, form->cmdComSettings->text());
    EXPECT_TRUE(shown.startsWith("Default")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(".tty")) << shown.toStdString();
    EXPECT_LE(form->cmdComSettings->fontMetrics().horizontalAdvance(shown),
              form->cmdComSettings->width());
}

TEST_F(Frame, FocusRulesAndTheListIgnoresTheWheel)
{
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    form->cmdComSettings->setFocus();
    form->cmdComSettings_LostFocus(); // compact, no port dialog: to the list
    EXPECT_TRUE(form->UnitList->hasFocus());
    form->cmdEeprom_LostFocus(); // no configuration window showing: to the select command
    EXPECT_TRUE(form->cmdSelectUnit->hasFocus());

    // The list swallows keys, but Tab and Shift+Tab still lead out of it.
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_Tab, Qt::NoModifier}, std::pair{Qt::Key_Backtab, Qt::ShiftModifier}}) {
        form->UnitList->setFocus();
        QTest::keyClick(form->UnitList, key, modifiers);
        EXPECT_FALSE(form->UnitList->hasFocus()) << QKeySequence(key).toString().toStdString();
    }

    form->UnitList->setCurrentIndex(4);
    QWheelEvent wheel(QPointF(5, 5), form->UnitList->mapToGlobal(QPointF(5, 5)), QPoint(0, -120),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(form->UnitList, &wheel);
    EXPECT_EQ(form->UnitList->currentText(), "5");
    form->hide();
}

TEST_F(Frame, ToolTipsComeFromTheMonitorSection)
{
    EXPECT_EQ(form->OH->toolTip(), INI::GetIniValue("MONITOR", "OH", KivoGlobals::TooltipsIniPath));
    EXPECT_NE(form->OH->toolTip(), "N/A");
    EXPECT_NE(form->txtSP[4]->toolTip(), "N/A");
    EXPECT_EQ(form->cmdSelectUnit->toolTip(), "Select Kivo unit Identification number");

    write("Tooltips.ini", "[CONFIG]\nOH=elsewhere\n");
    form->ReloadForm();
    for (QWidget* w : std::initializer_list<QWidget*>{
             form->OH, form->UnitList, form->GID[1], form->RV[2], form->RC[3], form->PellarosOS[4],
             form->MMessage[5], form->txtSP[1], form->PellarosDisplay[2],
             form->PellarosDisplayCurr[3], form->GroupBtn, form->GOutputBtn}) {
        EXPECT_EQ(w->toolTip(), "N/A") << w->objectName().toStdString();
    }
}

} // namespace
