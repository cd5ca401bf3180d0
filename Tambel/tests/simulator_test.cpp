// The window with the real link library, registered in a registry of the test's own, against a
// simulated unit on a pseudo-terminal (KivoX/testing). The waits' clock is substituted, so a pass
// of a program takes only the time of its exchanges.
#include "Tambel/Form1.h"
#include "Tambel/tests/form1_support.h"

#include "KivoX/testing/simulated_link.h"
#include "platform/automation/call.h"
#include "platform/desktop/recording_desktop.h"
#include "tools/unitsim/unitsim.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <iomanip>
#include <memory>
#include <sstream>

namespace Tambel::testing {
namespace {

using kivo::automation::ComPtr;
using kivo::automation::HRESULT;
using kivo::automation::IDispatch;
using kivo::automation::S_OK;
using kivo::desktop::DesktopCall;
using kivo::desktop::RecordingDesktop;
using kivo::desktop::ScopedDesktop;
using kivo::desktop::vbOKOnly;
namespace sim = kivo::unitsim;

constexpr std::uint8_t kUnit = 7;
// The module type of each slot, [1] to [5], as the fake link's tests have them.
constexpr std::array<std::uint8_t, 6> kTypes{0, 1, 2, 3, 1, 1};

// A request frame as the operation that sends it, in the fake link's words.
std::string operationOf(const sim::Bytes& bytes)
{
    if (!sim::isValidFrame(bytes)) {
        return "invalid frame";
    }
    const sim::Frame f = sim::unpack(bytes);
    std::ostringstream out;
    const int uid = f.uid;
    const int mid = f.mid;
    const auto& d = f.data;
    if (f.cid == sim::cid::kReadByte && d.size() == 1 && d[0] == 0xC8 && mid == sim::kMidUnit) {
        out << "GetPresentModules " << uid;
    } else if (f.cid == sim::cid::kReadByte && d.size() == 1 && d[0] == 0xCC) {
        out << "GetModuleType " << uid << ' ' << mid;
    } else if (f.cid == sim::cid::kMeasureVoltage && d.empty()) {
        out << "MeasureOutputVoltage " << uid << ' ' << mid;
    } else if (f.cid == sim::cid::kMeasureCurrent && d.empty()) {
        out << "MeasureOutputCurrent " << uid << ' ' << mid;
    } else if (f.cid == sim::cid::kModuleGood && d.empty() && mid == sim::kMidUnit) {
        out << "GetModuleGoodStatusByte " << uid;
    } else if (f.cid == sim::cid::kSwitchOutput && d.size() == 1 &&
               (d[0] == sim::kStateOn || d[0] == sim::kStateOff)) {
        out << "SetOutputState " << uid << ' ' << mid << ' ' << (d[0] == sim::kStateOn ? 1 : 0);
    } else if (f.cid == sim::cid::kSetSetPoint && d.size() == 2) {
        out << "SetOutputVoltageSetpoint " << uid << ' ' << mid << ' '
            << static_cast<std::int16_t>(sim::joinWord(d[0], d[1]));
    } else {
        out << "frame" << std::hex << std::setfill('0');
        for (std::uint8_t b : bytes) {
            out << ' ' << std::setw(2) << int(b);
        }
    }
    return out.str();
}

// Creates the link object by its ProgID; with `quickFailures` a unit that does not answer is
// given up after one attempt of 1 s (the program itself keeps the library's defaults).
LinkFactory linkByProgId(bool quickFailures)
{
    return [quickFailures](std::string* why) {
        HRESULT hr = S_OK;
        ComPtr<IDispatch> link = kivo::automation::createObject(kLinkProgId, &hr, why);
        if (link && quickFailures) {
            kivo::automation::call(link, "SetINIParams", std::int16_t{1}, std::int16_t{1});
        }
        return link;
    };
}

class TambelSimulator : public ::testing::Test {
protected:
    void SetUp() override { writeFile(folder.path() + "/scale.ini", kScaleIni); }

    // Unit 7 with modules in the slots whose bits are set, their outputs off.
    void startUnit(std::uint8_t present)
    {
        sim::Unit unit;
        unit.id = kUnit;
        for (int slot = 1; slot <= 5; ++slot) {
            if (present & (1 << (slot - 1))) {
                sim::Module module = sim::Module::ofType(kTypes[slot]);
                module.outputOn = false;
                unit.fitted[slot - 1] = module;
            }
        }
        sim::Bus bus;
        bus.add(unit);
        link = std::make_unique<kivox::testing::SimulatedLink>(std::move(bus));
    }

    Form1& form(bool quickFailures = false)
    {
        if (!form_) {
            Form1Setup setup;
            setup.createLink = linkByProgId(quickFailures);
            setup.waits = &waits;
            setup.programFolder = folder.path();
            setup.ports = QStringList{QString::fromStdString(link->port())};
            form_ = std::make_unique<Form1>(setup);
            form_->UnitIDSelect->setEditText(QString::number(kUnit));
            form_->show();
        }
        return *form_;
    }

    void openPort(bool quickFailures = false)
    {
        form(quickFailures).OpenCommunications->click();
        ASSERT_EQ(form().lastResult(), "CMD_OK");
        ASSERT_EQ(controlsOf(form()), kPortOpen);
    }

    // The requests the unit received since the last look, then `line`.
    void record(const std::string& line)
    {
        takeFrames();
        trace.push_back(line);
    }

    void takeFrames()
    {
        const std::vector<sim::LogEntry> log = link->server().log();
        for (; framesSeen < log.size(); ++framesSeen) {
            if (log[framesSeen].direction == sim::LogEntry::Request) {
                trace.push_back(operationOf(log[framesSeen].bytes));
            }
        }
    }

    void stopInWait(int n)
    {
        waits.onWait = [this, n](int count) {
            if (count == n) {
                QMetaObject::invokeMethod(form().Stop, &QPushButton::click, Qt::QueuedConnection);
            }
        };
    }

    std::uint8_t outputs() { return link->bus().unit(kUnit)->outputStates(); }
    std::uint16_t setPoint(int slot) { return link->bus().unit(kUnit)->module(slot).setPoint; }

    QTemporaryDir folder;
    RecordingDesktop desktop;
    ScopedDesktop installed{desktop};
    std::unique_ptr<kivox::testing::SimulatedLink> link;
    std::vector<std::string> trace;
    std::size_t framesSeen = 0;
    FakeWaits waits{[this](const std::string& line) { record(line); }};
    std::unique_ptr<Form1> form_;
};

// ---- Reset

class TambelSimulatorReset : public TambelSimulator,
                             public ::testing::WithParamInterface<ResetCase> {};

TEST_P(TambelSimulatorReset, SendsTheFramesOfTheResetAndLeavesTheModulesOn)
{
    const ResetCase& c = GetParam();
    startUnit(c.present);
    openPort();
    form().Reset->click();
    takeFrames();
    EXPECT_EQ(trace, c.calls);
    EXPECT_EQ(outputs(), c.present);
    EXPECT_EQ(controlsOf(form()), kResetEnded);
    EXPECT_TRUE(desktop.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Units, TambelSimulatorReset, ::testing::ValuesIn(kResetCases),
                         [](const auto& info) { return testName(info.param.name); });

TEST_F(TambelSimulator, ResetSendsTheMidSetPointAsASigned16BitCount)
{
    startUnit(0x07);
    openPort();
    form().Reset->click();
    // 0 to 5 V at 100 counts a volt: 250 (0x00FA), low byte first; halves go to the even count.
    EXPECT_EQ(setPoint(1), 250);
    EXPECT_EQ(setPoint(2), 4);
    EXPECT_EQ(setPoint(3), 6);
    const std::vector<sim::LogEntry> log = link->server().log();
    const sim::Bytes expected = sim::pack({kUnit, 1, sim::cid::kSetSetPoint, {0xFA, 0x00}});
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [&](const sim::LogEntry& e) { return e.bytes == expected; }),
              1);
}

// ---- The programs

class TambelSimulatorPass : public TambelSimulator,
                            public ::testing::WithParamInterface<PassCase> {};

TEST_P(TambelSimulatorPass, SwitchesTheUnitsOutputsStepByStep)
{
    const PassCase& c = GetParam();
    startUnit(c.present);
    openPort();
    form().SelectCycle->setEditText(c.program);
    const std::string expected = withoutBars(c.expected);
    stopInWait(static_cast<int>(std::count(expected.begin(), expected.end(), 'w')));
    form().Start->click();
    takeFrames();
    EXPECT_EQ(programTrace(trace), expected);
    EXPECT_EQ(controlsOf(form()), kStartEnded);
    EXPECT_TRUE(desktop.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Program1, TambelSimulatorPass, ::testing::ValuesIn(kProgram1Passes),
                         [](const auto& info) { return passName(info.param); });
INSTANTIATE_TEST_SUITE_P(Program2, TambelSimulatorPass, ::testing::ValuesIn(kProgram2Passes),
                         [](const auto& info) { return passName(info.param); });

TEST_F(TambelSimulator, StopInAWaitLeavesTheOutputsAsTheLastStepLeftThem)
{
    startUnit(0x1F);
    openPort();
    stopInWait(3);
    form().Start->click();
    takeFrames();
    EXPECT_EQ(programTrace(trace), "1+ 2+ 3+ 4+ 5+ w2 1- 2- 3- 4- 5- w2 4+ w1.5");
    EXPECT_EQ(trace.back(), "wait 1.5");
    // Only module 4, switched on by step 3, is on.
    EXPECT_EQ(outputs(), 0x08);
    EXPECT_EQ(controlsOf(form()), kStartEnded);
    EXPECT_TRUE(desktop.calls().empty());
}

// ---- Failures

struct SimFailureCase {
    const char* name;
    const char* program;
    bool reset;
    std::uint8_t present;
    sim::Fault fault;
    std::string message;
    // What the run switched and waited before it ended, in programTrace()'s notation.
    std::string switched;
    std::string lastCall;
};

void PrintTo(const SimFailureCase& c, std::ostream* out)
{
    *out << c.name;
}

class TambelSimulatorFailure : public TambelSimulator,
                               public ::testing::WithParamInterface<SimFailureCase> {};

TEST_P(TambelSimulatorFailure, EndsTheCommandWithTheUnitsAnswer)
{
    const SimFailureCase& c = GetParam();
    startUnit(c.present);
    link->server().faults().add(c.fault);
    openPort(true);
    form().SelectCycle->setEditText(c.program);
    stopInWait(1000);
    (c.reset ? form().Reset : form().Start)->click();
    takeFrames();

    const auto boxes = desktop.calls(DesktopCall::Kind::MsgBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.toStdString(), c.message);
    EXPECT_EQ(boxes[0].title, "Tambel");
    EXPECT_EQ(boxes[0].style, vbOKOnly);
    EXPECT_EQ(programTrace(trace), c.switched);
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back(), c.lastCall);
    EXPECT_EQ(controlsOf(form()), c.reset ? kResetEnded : kStartEnded);
}

constexpr int always = sim::Fault::always;

INSTANTIATE_TEST_SUITE_P(
    Answers, TambelSimulatorFailure,
    ::testing::Values(
        SimFailureCase{"preparation error reply", "Program 1", false, 0x03,
                       sim::Fault{.mid = 2,
                                  .cid = 0x04,
                                  .reg = 0xCC,
                                  .kind = sim::Fault::ErrorReply,
                                  .times = always},
                       "The Unit Returned CMD_ERROR", "", "GetModuleType 7 2"},
        SimFailureCase{
            "preparation no reply", "Program 2", false, 0x03,
            sim::Fault{.mid = 1, .cid = 0x02, .kind = sim::Fault::NoReply, .times = always},
            "The Unit Returned CMD_NORESPONSE", "", "MeasureOutputVoltage 7 1"},
        SimFailureCase{"reset bad crc", "Program 1", true, 0x03,
                       sim::Fault{.cid = 0x0B, .kind = sim::Fault::BadCrc, .times = always},
                       "The Unit Returned CMD_CRCERROR", "", "GetModuleGoodStatusByte 7"},
        SimFailureCase{
            "step error reply", "Program 1", false, 0x03,
            sim::Fault{.mid = 2, .cid = 0x01, .kind = sim::Fault::ErrorReply, .times = always},
            "The Unit Returned CMD_ERROR", "1+ 2+", "SetOutputState 7 2 1"},
        SimFailureCase{
            "step no reply", "Program 2", false, 0x03,
            sim::Fault{.mid = 2, .cid = 0x07, .kind = sim::Fault::NoReply, .times = always},
            "The Unit Returned CMD_NORESPONSE", "1- 2- w2 2=3", "SetOutputVoltageSetpoint 7 2 3"},
        SimFailureCase{
            "step bad crc", "Program 2", false, 0x01,
            sim::Fault{.mid = 1, .cid = 0x01, .kind = sim::Fault::BadCrc, .times = always},
            "The Unit Returned CMD_CRCERROR", "1-", "SetOutputState 7 1 0"}),
    [](const auto& info) { return testName(info.param.name); });

// ---- The port, the controls and the end of the window

TEST_F(TambelSimulator, OpenCommunicationsOfAMissingPortSaysSoAndChangesNoControl)
{
    startUnit(0x01);
    form().ComPortSelect->setEditText("/dev/tambel-no-such-port");
    form().OpenCommunications->click();
    EXPECT_NE(form().lastResult(), "CMD_OK");
    EXPECT_EQ(controlsOf(form()), kFirstLoad);
    const auto boxes = desktop.calls(DesktopCall::Kind::MsgBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not open Port");
    // The right port still opens afterwards.
    form().ComPortSelect->setEditText(QString::fromStdString(link->port()));
    form().OpenCommunications->click();
    EXPECT_EQ(controlsOf(form()), kPortOpen);
}

// Whether the port is free again: another link object can open it.
bool portIsFree(const std::string& path)
{
    HRESULT hr = S_OK;
    ComPtr<IDispatch> other = kivo::automation::createObject(kLinkProgId, &hr);
    const bool opened = other && kivo::automation::call(other, "OpenPort", path).status == "CMD_OK";
    if (opened) {
        kivo::automation::call(other, "ClosePort");
    }
    return opened;
}

TEST_F(TambelSimulator, ASessionFollowsTheEnablingTable)
{
    startUnit(0x03);
    EXPECT_EQ(controlsOf(form()), kFirstLoad);
    openPort();
    EXPECT_FALSE(portIsFree(link->port()));

    Controls running{};
    waits.onWait = [&](int count) {
        running = controlsOf(form());
        if (count == 2) {
            QMetaObject::invokeMethod(form().Stop, &QPushButton::click, Qt::QueuedConnection);
        }
    };
    form().Start->click();
    EXPECT_EQ(running, kStartRuns);
    EXPECT_EQ(controlsOf(form()), kStartEnded);
    EXPECT_EQ(outputs(), 0x00); // step 2 switched everything off

    form().Reset->click();
    EXPECT_EQ(controlsOf(form()), kResetEnded);
    EXPECT_EQ(outputs(), 0x03);
    EXPECT_EQ(setPoint(1), 250);
    EXPECT_EQ(setPoint(2), 4);

    form().CloseCommunications->click();
    EXPECT_EQ(controlsOf(form()), kPortClosed);
    EXPECT_TRUE(portIsFree(link->port()));
    EXPECT_TRUE(desktop.calls().empty());
}

TEST_F(TambelSimulator, ClosingTheWindowDuringARunStopsItAndClosesThePort)
{
    startUnit(0x03);
    openPort();
    waits.onWait = [this](int count) {
        if (count == 3) {
            QMetaObject::invokeMethod(&form(), &QWidget::close, Qt::QueuedConnection);
        }
    };
    form().Start->click();
    takeFrames();
    EXPECT_EQ(programTrace(trace), "1+ 2+ w2 1- 2- w2 2+ w1.5");
    EXPECT_FALSE(form().isVisible());
    EXPECT_FALSE(form().hasLinkObject());
    EXPECT_EQ(outputs(), 0x02);
    EXPECT_TRUE(portIsFree(link->port()));
    EXPECT_TRUE(desktop.calls().empty());
}

} // namespace
} // namespace Tambel::testing
