// The window driven through its buttons against a fake link object, with waits that take no
// real time.
#include "Tambel/Form1.h"
#include "Tambel/tests/fake_link.h"
#include "Tambel/tests/form1_support.h"

#include "platform/automation/call.h"
#include "platform/automation/tests/test_support.h"
#include "platform/desktop/recording_desktop.h"
#include "tests/support/access.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

namespace Tambel::testing {
namespace {

using kivo::desktop::DesktopCall;
using kivo::desktop::RecordingDesktop;
using kivo::desktop::ScopedDesktop;
using kivo::desktop::vbCritical;
using kivo::desktop::vbOKOnly;
using kivo::testsupport::accessibleName;
using kivo::testsupport::tabWalk;

class TambelForm : public ::testing::Test {
protected:
    TambelForm()
    {
        writeFile(folder.path() + "/scale.ini", kScaleIni);
        link->trace = &trace;
        link->types = {0, 1, 2, 3, 1, 1};
    }

    Form1& form()
    {
        if (!form_) {
            Form1Setup setup;
            setup.createLink = [state = link](std::string*) { return createFakeLink(state); };
            setup.waits = &waits;
            setup.programFolder = folder.path();
            setup.ports = QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1"};
            form_ = std::make_unique<Form1>(setup);
            form_->show();
        }
        return *form_;
    }

    void openPort()
    {
        form().OpenCommunications->click();
        ASSERT_EQ(form().lastResult(), "CMD_OK");
        trace.clear();
    }

    // Clicks Stop through the event loop while the `n`-th wait of the run lets events run.
    void stopInWait(int n)
    {
        waits.onWait = [this, n](int count) {
            if (count == n) {
                QMetaObject::invokeMethod(form().Stop, &QPushButton::click, Qt::QueuedConnection);
            }
        };
    }

    // The one message box shown, or a failure.
    DesktopCall onlyMessage() const
    {
        const auto boxes = desktop.calls(DesktopCall::Kind::MsgBox);
        EXPECT_EQ(boxes.size(), 1u);
        return boxes.empty() ? DesktopCall{} : boxes.front();
    }

    QTemporaryDir folder;
    RecordingDesktop desktop;
    ScopedDesktop installed{desktop};
    std::vector<std::string> trace;
    std::shared_ptr<FakeLinkState> link = std::make_shared<FakeLinkState>();
    FakeWaits waits{[this](const std::string& line) { trace.push_back(line); }};
    std::unique_ptr<Form1> form_;
};

// ---- The window and the port

TEST_F(TambelForm, StartsWithTheControlsOfTheWindowLoad)
{
    Form1& f = form();
    EXPECT_EQ(f.objectName(), "Form1");
    EXPECT_EQ(f.windowTitle(), "Kivo Fyndel Output Cycling Program");
    EXPECT_EQ(f.size(), QSize(327, 435));
    EXPECT_EQ(f.Label1->text(), "Output Cycling Program");
    EXPECT_EQ(f.Label2->text(), "Serial Port Select");
    EXPECT_EQ(f.Label3->text(), "Unit ID Select");
    EXPECT_EQ(f.Label4->text(), "Select Cycling Program");
    EXPECT_EQ(f.CommunicationLabel->text(), "Communication Active");
    EXPECT_EQ(f.TambelLabel->text(), "Tambel Active");
    EXPECT_EQ(f.OpenCommunications->text(), "Open Communications");
    EXPECT_EQ(f.CloseCommunications->text(), "Close Communications");
    EXPECT_EQ(f.Start->text(), "Start");
    EXPECT_EQ(f.Stop->text(), "Stop");
    EXPECT_EQ(f.Reset->text(), "Reset");
    EXPECT_EQ(items(f.ComPortSelect), QStringList({"/dev/ttyUSB0", "/dev/ttyUSB1"}));
    EXPECT_EQ(f.ComPortSelect->currentText(), "/dev/ttyUSB0");
    EXPECT_EQ(items(f.UnitIDSelect).size(), 32);
    EXPECT_EQ(items(f.UnitIDSelect).front(), "1");
    EXPECT_EQ(items(f.UnitIDSelect).back(), "32");
    EXPECT_EQ(f.UnitIDSelect->currentText(), "1");
    EXPECT_EQ(items(f.SelectCycle), QStringList({"Program 1", "Program 2"}));
    EXPECT_EQ(f.SelectCycle->currentText(), "Program 1");
    for (QComboBox* list : {f.ComPortSelect, f.UnitIDSelect, f.SelectCycle}) {
        EXPECT_TRUE(list->isEditable()) << list->objectName().toStdString();
    }
    for (const char* name :
         {"Label1", "Label2", "Label3", "Label4", "ComPortSelect", "UnitIDSelect", "SelectCycle",
          "OpenCommunications", "CloseCommunications", "Start", "Stop", "Reset",
          "CommunicationLabel", "TambelLabel", "Image1", "Image2"}) {
        EXPECT_NE(f.findChild<QWidget*>(name), nullptr) << name;
    }
    EXPECT_EQ(controlsOf(f), kFirstLoad);
    // Nothing is sent at load.
    EXPECT_TRUE(link->calls.empty());
}

TEST_F(TambelForm, OpenCommunicationsPassesThePortAsTypedAndOpensTheWindow)
{
    form().ComPortSelect->setEditText("/dev/pts/77");
    form().OpenCommunications->click();
    EXPECT_EQ(trace, (std::vector<std::string>{"OpenPort /dev/pts/77"}));
    EXPECT_EQ(controlsOf(form()), kPortOpen);
    EXPECT_TRUE(desktop.calls().empty());
}

// Each list is labelled by the label before it, which names its edit field, and is named by what
// it shows; Tab goes down the window through what is enabled; Enter presses the button that has
// the focus.
TEST_F(TambelForm, ListsAreLabelledByTheirLabelsTabFollowsTheLayoutAndEnterPressesTheButton)
{
    Form1& f = form();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    const std::tuple<QComboBox*, QLabel*, const char*> lists[] = {
        {f.ComPortSelect, f.Label2, "Serial Port Select"},
        {f.UnitIDSelect, f.Label3, "Unit ID Select"},
        {f.SelectCycle, f.Label4, "Select Cycling Program"},
    };
    for (const auto& [list, label, name] : lists) {
        SCOPED_TRACE(name);
        const auto labels =
            QAccessible::queryAccessibleInterface(list)->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1);
        EXPECT_EQ(labels[0].first->object(), label);
        EXPECT_EQ(accessibleName(list->lineEdit()), name);
    }
    f.UnitIDSelect->setEditText(QStringLiteral("7"));
    EXPECT_EQ(accessibleName(f.UnitIDSelect), "7");
    EXPECT_EQ(kivo::testsupport::comboBoxFaults(&f), std::vector<std::string>{});

    EXPECT_EQ(tabWalk(f.ComPortSelect, 3),
              (std::vector<QWidget*>{f.ComPortSelect, f.UnitIDSelect, f.OpenCommunications,
                                     f.ComPortSelect}));
    f.OpenCommunications->setFocus();
    QTest::keyClick(f.OpenCommunications, Qt::Key_Return);
    EXPECT_EQ(trace, (std::vector<std::string>{"OpenPort /dev/ttyUSB0"}));
    EXPECT_EQ(controlsOf(f), kPortOpen);
    EXPECT_EQ(tabWalk(f.UnitIDSelect, 5),
              (std::vector<QWidget*>{f.UnitIDSelect, f.SelectCycle, f.CloseCommunications, f.Start,
                                     f.Reset, f.UnitIDSelect}));
    f.CloseCommunications->setFocus();
    QTest::keyClick(f.CloseCommunications, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(controlsOf(f), kPortClosed);
}

// What the user types stays as typed: no list completes it to an entry of other letters, neither
// while typing nor on Enter (device names and program names differ by case alone).
TEST_F(TambelForm, TypedTextIsNeverCompletedToAnEntry)
{
    const auto type = [](QComboBox* list, const QString& text) {
        QLineEdit* edit = list->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        return edit->text().toStdString();
    };
    EXPECT_EQ(type(form().ComPortSelect, "/DEV/TTYUSB1"), "/DEV/TTYUSB1");
    EXPECT_EQ(type(form().ComPortSelect, "/dev/ttyU"), "/dev/ttyU");
    EXPECT_EQ(type(form().ComPortSelect, "/DEV/TTYUSB0"), "/DEV/TTYUSB0");
    form().OpenCommunications->click();
    EXPECT_EQ(trace, (std::vector<std::string>{"OpenPort /DEV/TTYUSB0"}));
    trace.clear();

    EXPECT_EQ(type(form().UnitIDSelect, "3"), "3");
    EXPECT_EQ(type(form().SelectCycle, "Prog"), "Prog");
    EXPECT_EQ(type(form().SelectCycle, "program 1"), "program 1");
    stopInWait(1000); // a program that did start would show as a trace 1000 waits long
    form().Start->click();
    EXPECT_EQ(onlyMessage().text, "\"program 1\" is neither Program 1 nor Program 2");
    EXPECT_EQ(programTrace(trace), "");
    EXPECT_EQ(trace.front(), "GetPresentModules 3");
}

TEST_F(TambelForm, OpenCommunicationsThatFailsSaysSoAndChangesNoControl)
{
    for (const char* status : {"CMD_ERROR", "CMD_NORESPONSE", "", "Ok"}) {
        SCOPED_TRACE(status);
        desktop.clear();
        link->answer = [&](const LinkCall&) { return std::string(status); };
        const Controls before = controlsOf(form());
        form().OpenCommunications->click();
        EXPECT_EQ(controlsOf(form()), before);
        const DesktopCall box = onlyMessage();
        EXPECT_EQ(box.text, "Could not open Port");
        EXPECT_EQ(box.title, "Tambel");
        EXPECT_EQ(box.style, vbOKOnly);
    }
    // A call the object refuses counts as a failed open too.
    desktop.clear();
    link->answer = {};
    link->raiseOn = "OpenPort";
    form().OpenCommunications->click();
    EXPECT_EQ(controlsOf(form()), kFirstLoad);
    EXPECT_EQ(onlyMessage().text, "Could not open Port");
}

TEST_F(TambelForm, CloseCommunicationsClosesThePortWhateverItAnswers)
{
    openPort();
    link->answer = [](const LinkCall&) { return std::string("CMD_ERROR"); };
    form().CloseCommunications->click();
    EXPECT_EQ(trace, (std::vector<std::string>{"ClosePort"}));
    EXPECT_EQ(controlsOf(form()), kPortClosed);
    EXPECT_TRUE(desktop.calls().empty());
}

TEST_F(TambelForm, ControlsFollowTheEnablingTableAcrossOpenRunStopResetAndClose)
{
    std::vector<std::pair<std::string, Controls>> seen;
    const auto snap = [&](const std::string& when) { seen.emplace_back(when, controlsOf(form())); };
    snap("load");
    openPort();
    snap("open");
    waits.onWait = [&](int) {
        snap("running");
        QMetaObject::invokeMethod(form().Stop, &QPushButton::click, Qt::QueuedConnection);
    };
    form().Start->click();
    snap("stopped");
    // A reset lets no events run: look at the controls while it sends.
    link->answer = [&](const LinkCall& call) {
        if (call.name == "SetOutputState") {
            snap("resetting");
        }
        return std::string("CMD_OK");
    };
    form().Reset->click();
    link->answer = {};
    snap("reset");
    EXPECT_EQ(form().running(), 1);
    form().Stop->click();
    EXPECT_EQ(form().running(), 0);
    snap("stop after reset");
    form().CloseCommunications->click();
    snap("closed");
    form().OpenCommunications->click();
    snap("open again");

    const std::vector<std::pair<std::string, Controls>> expected{
        {"load", kFirstLoad},
        {"open", kPortOpen},
        {"running", kStartRuns},
        {"stopped", kStartEnded},
        {"resetting", kResetRuns},
        {"reset", kResetEnded},
        {"stop after reset", kResetEnded},
        {"closed", kPortClosed},
        {"open again", kPortOpen},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(desktop.calls().empty());
}

// The unit calls of a command block the event loop, so the window shows the command's control
// states only because it repaints them before its first call; and a click made meanwhile on a
// control that was disabled then is dropped, not run once the command has ended.
class PaintedStates : public QObject {
public:
    explicit PaintedStates(const Form1& f)
        : painted{.start = f.Start->isEnabled(),
                  .reset = f.Reset->isEnabled(),
                  .stop = f.Stop->isEnabled(),
                  .tambel = f.TambelLabel->isVisible()},
          form_(f)
    {
        for (QWidget* w : {static_cast<QWidget*>(f.Start), static_cast<QWidget*>(f.Reset),
                           static_cast<QWidget*>(f.Stop), static_cast<QWidget*>(f.TambelLabel)}) {
            w->installEventFilter(this);
        }
    }

    // The states each control was last painted in, as controlsOf() names them; at first the
    // states they are in, which the window already shows.
    Controls painted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            const auto* w = static_cast<QWidget*>(watched);
            if (w == form_.Start) {
                painted.start = w->isEnabled();
            } else if (w == form_.Reset) {
                painted.reset = w->isEnabled();
            } else if (w == form_.Stop) {
                painted.stop = w->isEnabled();
            } else if (w == form_.TambelLabel) {
                painted.tambel = w->isVisible();
            }
        }
        return false;
    }

private:
    const Form1& form_;
};

TEST_F(TambelForm, ACommandShowsItsControlsBeforeItsFirstCallAndDropsClicksOnDisabledOnes)
{
    openPort();
    QCoreApplication::processEvents();
    PaintedStates states(form());
    std::optional<Controls> shownAtFirstCall;
    const auto clickLater = [](QWidget* w) {
        const QPointF at = QRectF(w->rect()).center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(w, new QMouseEvent(type, at, w->mapToGlobal(at),
                                                           Qt::LeftButton, Qt::LeftButton,
                                                           Qt::NoModifier));
        }
    };
    link->answer = [&](const LinkCall& call) {
        if (call.name == "GetPresentModules" && !shownAtFirstCall) {
            shownAtFirstCall = states.painted;
            // The user clicks Start and Reset, which the window shows disabled now.
            clickLater(form().Start);
            clickLater(form().Reset);
        }
        return std::string("CMD_OK");
    };
    stopInWait(1); // a run that did start ends at its first wait
    form().Reset->click();
    QCoreApplication::processEvents();

    EXPECT_EQ(shownAtFirstCall, std::optional(Controls{.tambel = true}));
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "GetPresentModules 1"), 1);
    EXPECT_EQ(waits.count, 0);
    EXPECT_EQ(controlsOf(form()), kResetEnded);
}

// ---- The end of the window and the link object

TEST_F(TambelForm, EndingTheWindowClosesThePortAndReleasesTheLinkObject)
{
    // Whether or not the port was opened.
    for (bool open : {false, true}) {
        SCOPED_TRACE(open);
        link = std::make_shared<FakeLinkState>();
        link->trace = &trace;
        form_.reset();
        if (open) {
            openPort();
        }
        trace.clear();
        form().close();
        EXPECT_FALSE(form().isVisible());
        EXPECT_EQ(trace, (std::vector<std::string>{"ClosePort"}));
        EXPECT_TRUE(link->released);
        form_.reset();
        EXPECT_EQ(trace.size(), 1u);
    }
    // A window that is only destroyed ends the same way.
    link = std::make_shared<FakeLinkState>();
    link->trace = &trace;
    trace.clear();
    form();
    form_.reset();
    EXPECT_EQ(trace, (std::vector<std::string>{"ClosePort"}));
    EXPECT_TRUE(link->released);
}

TEST_F(TambelForm, ClosingTheWindowDuringARunStopsTheRunThenClosesThePort)
{
    link->presentSlots = 0x03;
    openPort();
    waits.onWait = [this](int count) {
        if (count == 3) {
            QMetaObject::invokeMethod(&form(), &QWidget::close, Qt::QueuedConnection);
        }
    };
    form().Start->click();
    EXPECT_EQ(programTrace(trace), "1+ 2+ w2 1- 2- w2 2+ w1.5");
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back(), "ClosePort");
    EXPECT_TRUE(link->released);
    EXPECT_FALSE(form().isVisible());
    EXPECT_EQ(form().running(), 0);
    EXPECT_TRUE(desktop.calls().empty());
}

TEST_F(TambelForm, ALinkObjectThatCannotBeCreatedIsReportedAndTheWindowCloses)
{
    Form1Setup setup;
    setup.createLink = [](std::string* why) {
        *why = "REGDB_E_CLASSNOTREG: Kivox.kivo.1 is not registered";
        return kivo::automation::ComPtr<kivo::automation::IDispatch>();
    };
    setup.waits = &waits;
    setup.programFolder = "/opt/kivo/bin";
    setup.ports = QStringList{};
    Form1 f(setup);
    EXPECT_FALSE(f.hasLinkObject());
    EXPECT_FALSE(f.isVisible());
    const DesktopCall box = onlyMessage();
    EXPECT_EQ(box.text.toStdString(),
              "The link object \"Kivox.kivo.1\" could not be created: REGDB_E_CLASSNOTREG: "
              "Kivox.kivo.1 is not registered.\n\n"
              "Register the link library with\n"
              "    kivo-regsvr /opt/kivo/bin/libKivoX.so\n"
              "and start Tambel again.");
    EXPECT_EQ(box.title, "Tambel");
    EXPECT_EQ(box.style, vbOKOnly + vbCritical);
}

TEST_F(TambelForm, ADamagedRegistryIsReportedWithItsLineAndHowToStartAfresh)
{
    kivo::automation::testing::TempRegistry registry;
    kivo::automation::testing::writeText(registry.path(),
                                         "KIVO REGISTRY 1\n[HKEY_CLASSES_ROOT\\Half\n");
    Form1Setup setup;
    setup.createLink = [](std::string* why) {
        return kivo::automation::createObject(kLinkProgId, nullptr, why);
    };
    setup.waits = &waits;
    setup.programFolder = "/opt/kivo/bin";
    setup.ports = QStringList{};
    Form1 f(setup);
    EXPECT_FALSE(f.hasLinkObject());
    const std::string file = registry.path();
    EXPECT_EQ(onlyMessage().text.toStdString(),
              "The link object \"Kivox.kivo.1\" could not be created: the registry file " + file +
                  " is damaged, line 2: a key line must end with ].\n\n"
                  "Move the registry file aside and register the link library again with\n"
                  "    mv " +
                  file + " " + file +
                  ".damaged\n"
                  "    kivo-regsvr /opt/kivo/bin/libKivoX.so\n"
                  "and start Tambel again (other servers that were registered in it need "
                  "registering again too).");
}

// ---- Reset

TEST_F(TambelForm, ResetSwitchesEachModuleOnAtItsMidSetPoint)
{
    openPort();
    form().UnitIDSelect->setEditText("7");
    for (const ResetCase& c : kResetCases) {
        SCOPED_TRACE(c.name);
        trace.clear();
        link->presentSlots = c.present;
        form().Reset->click();
        EXPECT_EQ(trace, c.calls);
        EXPECT_EQ(controlsOf(form()), kResetEnded);
    }
    EXPECT_TRUE(desktop.calls().empty());
}

// ---- The programs

class TambelProgramPass : public TambelForm, public ::testing::WithParamInterface<PassCase> {};

TEST_P(TambelProgramPass, RunsTheStepsTheModuleCountAllowsWithTheirWaits)
{
    const PassCase& c = GetParam();
    link->presentSlots = c.present;
    openPort();
    form().SelectCycle->setEditText(c.program);
    const std::string expected = withoutBars(c.expected);
    stopInWait(static_cast<int>(std::count(expected.begin(), expected.end(), 'w')));
    form().Start->click();
    EXPECT_EQ(programTrace(trace), expected);
    EXPECT_EQ(controlsOf(form()), kStartEnded);
    EXPECT_TRUE(desktop.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Program1, TambelProgramPass, ::testing::ValuesIn(kProgram1Passes),
                         [](const auto& info) { return passName(info.param); });
INSTANTIATE_TEST_SUITE_P(Program2, TambelProgramPass, ::testing::ValuesIn(kProgram2Passes),
                         [](const auto& info) { return passName(info.param); });

TEST_F(TambelForm, StopInAWaitEndsTheRunInThatWaitAndLeavesTheOutputs)
{
    link->presentSlots = 0x1F;
    openPort();
    stopInWait(3);
    form().Start->click();
    // The third wait follows "4 on"; nothing is switched back afterwards.
    EXPECT_EQ(programTrace(trace), "1+ 2+ 3+ 4+ 5+ w2 1- 2- 3- 4- 5- w2 4+ w1.5");
    EXPECT_EQ(trace.back(), "wait 1.5");
    EXPECT_EQ(form().running(), 0);
    EXPECT_EQ(controlsOf(form()), kStartEnded);
    EXPECT_TRUE(desktop.calls().empty());
}

// ---- Failures

struct FailureCase {
    const char* name;
    const char* program;
    bool reset;
    std::uint8_t present;
    const char* unitId;
    // The call that answers `status`: its name and which of its calls (1 = the first).
    const char* failingCall;
    int nth;
    const char* status;
    std::int16_t type2;
    std::string message;
    // The last entry of the trace; "" for nothing sent after the port was opened.
    std::string lastCall;
};

void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.name;
}

class TambelFailure : public TambelForm, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(TambelFailure, EndsTheCommandWithItsMessageAndNothingMoreIsSent)
{
    const FailureCase& c = GetParam();
    link->presentSlots = c.present;
    link->types[2] = c.type2;
    if (std::string(c.status) == "E_FAIL") {
        link->raiseOn = c.failingCall;
    }
    std::map<std::string, int> counts;
    link->answer = [&](const LinkCall& call) {
        return (c.failingCall == call.name && ++counts[call.name] == c.nth) ? std::string(c.status)
                                                                            : "CMD_OK";
    };
    openPort();
    form().UnitIDSelect->setEditText(c.unitId);
    form().SelectCycle->setEditText(c.program);
    stopInWait(1000); // a failure that does not come would show as a trace 1000 waits long
    (c.reset ? form().Reset : form().Start)->click();

    const DesktopCall box = onlyMessage();
    EXPECT_EQ(box.text.toStdString(), c.message);
    EXPECT_EQ(box.title, "Tambel");
    EXPECT_EQ(box.style, vbOKOnly);
    EXPECT_EQ(trace.empty() ? std::string() : trace.back(), c.lastCall);
    EXPECT_EQ(controlsOf(form()), c.reset ? kResetEnded : kStartEnded);
}

INSTANTIATE_TEST_SUITE_P(
    UnitAnswers, TambelFailure,
    ::testing::Values(
        FailureCase{"present modules", "Program 1", false, 0x03, "1", "GetPresentModules", 1,
                    "CMD_ERROR", 2, "The Unit Returned CMD_ERROR", "GetPresentModules 1"},
        FailureCase{"module type", "Program 1", false, 0x03, "1", "GetModuleType", 2,
                    "CMD_NORESPONSE", 2, "The Unit Returned CMD_NORESPONSE", "GetModuleType 1 2"},
        FailureCase{"measured current", "Program 2", false, 0x03, "1", "MeasureOutputCurrent", 1,
                    "CMD_CRCERROR", 2, "The Unit Returned CMD_CRCERROR",
                    "MeasureOutputCurrent 1 1"},
        FailureCase{"module good", "Program 1", true, 0x03, "1", "GetModuleGoodStatusByte", 2,
                    "CMD_ERROR", 2, "The Unit Returned CMD_ERROR", "GetModuleGoodStatusByte 1"},
        // Step 2 of Program 1 ends at its first call: module 2 stays on, no wait follows.
        FailureCase{"program 1 step", "Program 1", false, 0x03, "1", "SetOutputState", 3,
                    "CMD_ERROR", 2, "The Unit Returned CMD_ERROR", "SetOutputState 1 1 0"},
        FailureCase{"program 1 later pass", "Program 1", false, 0x01, "1", "SetOutputState", 12,
                    "CMD_NORESPONSE", 2, "The Unit Returned CMD_NORESPONSE",
                    "SetOutputState 1 1 0"},
        // Step 4 of Program 2: the set point fails, module 2 is not switched on.
        FailureCase{"program 2 set point", "Program 2", false, 0x03, "1",
                    "SetOutputVoltageSetpoint", 1, "CMD_CRCERROR", 2,
                    "The Unit Returned CMD_CRCERROR", "SetOutputVoltageSetpoint 1 2 3"},
        FailureCase{"reset set point", "Program 1", true, 0x03, "1", "SetOutputVoltageSetpoint", 2,
                    "CMD_NORESPONSE", 2, "The Unit Returned CMD_NORESPONSE",
                    "SetOutputVoltageSetpoint 1 2 4"},
        FailureCase{"reset switch", "Program 1", true, 0x01, "1", "SetOutputState", 1,
                    "CMD_CRCERROR", 2, "The Unit Returned CMD_CRCERROR", "SetOutputState 1 1 1"},
        // A call the object refuses instead of answering with a status.
        FailureCase{"link refuses", "Program 1", false, 0x01, "1", "MeasureOutputVoltage", 1,
                    "E_FAIL", 2,
                    "The link library failed: measureoutputvoltage: E_FAIL (0x80004005): "
                    "unspecified failure",
                    "MeasureOutputVoltage 1 1"}),
    [](const auto& info) { return testName(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    BadValues, TambelFailure,
    ::testing::Values(
        FailureCase{"unit id text", "Program 1", false, 0x01, "abc", "", 0, "", 2,
                    "Unit ID \"abc\" is not a whole number from -32768 to 32767", ""},
        FailureCase{"unit id fraction", "Program 1", true, 0x01, "2.5", "", 0, "", 2,
                    "Unit ID \"2.5\" is not a whole number from -32768 to 32767", ""},
        FailureCase{"unit id range", "Program 1", false, 0x01, "32768", "", 0, "", 2,
                    "Unit ID \"32768\" is not a whole number from -32768 to 32767", ""},
        FailureCase{"scale value not a number", "Program 1", false, 0x03, "1", "", 0, "", 4,
                    "MinVoltage of the module type 4 in scale.ini is not a number: \"abc\"",
                    "GetModuleType 1 2"},
        FailureCase{"scale value missing", "Program 2", false, 0x03, "1", "", 0, "", 5,
                    "scale.ini has no MaxVoltage for the module type 5 (section TYPE5)",
                    "GetModuleType 1 2"},
        FailureCase{"scale section missing", "Program 1", true, 0x03, "1", "", 0, "", 9,
                    "scale.ini has no VoltageScaleFactor for the module type 9 (section TYPE9)",
                    "GetModuleType 1 2"},
        FailureCase{"set point range", "Program 1", true, 0x03, "1", "", 0, "", 6,
                    "The set point of the module in slot 2 comes to 35000 counts, outside "
                    "-32768 to 32767",
                    "SetOutputState 1 2 1"},
        // Step 9 of Program 2 asks for 400 V at 100 counts a volt.
        FailureCase{"program 2 set point range", "Program 2", false, 0x03, "1", "", 0, "", 6,
                    "The set point of the module in slot 2 comes to 40000 counts, outside "
                    "-32768 to 32767",
                    "wait 2"},
        // Only the exact text selects a program; the preparation has run by then.
        FailureCase{"neither program", "program 1", false, 0x01, "1", "", 0, "", 2,
                    "\"program 1\" is neither Program 1 nor Program 2",
                    "GetModuleGoodStatusByte 1"}),
    [](const auto& info) { return testName(info.param.name); });

} // namespace
} // namespace Tambel::testing
