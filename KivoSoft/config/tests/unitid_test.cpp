// The unit-ID utilities against the simulated bus through the real link library: the scan with
// its progress texts and results, the new-ID change and what the unit answers to afterwards, the
// replies of the input boxes that end an operation before the port, and the library's version.
#include "KivoSoft/config/UnitIdUtilities.h"
#include "KivoSoft/config/frmModuleGrouping.h"
#include "KivoSoft/config/tests/grouping_fixture.h"
#include "KivoSoft/model/LinkInUse.h"
#include "KivoSoft/shell/frmPleaseWait.h"
#include "platform/desktop/let_events_run.h"

#include <QApplication>
#include <QEvent>

#include <functional>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::desktop::DesktopCall;
using kivo::desktop::vbCancel;
using kivo::desktop::vbCritical;
using kivo::desktop::vbInformation;
using kivo::desktop::vbOKCancel;
using kivo::desktop::vbOKOnly;
using kivo::unitsim::Bus;
using kivo::unitsim::Module;
using kivo::unitsim::Unit;

namespace {

namespace G = KivoGlobals;
using Calls = std::vector<std::string>;

const QString kCurrentPrompt = "Please Enter UnitID to be changed (1-32): ";
const QString kNewPrompt = "Please Enter The NEW UnitID (1-32): ";
const QString kHighestPrompt = "Enter maximum number to Scan Unit ID (1 - 32) ?";
const QString kRecycleNotice = "The changes made will not take effect until the supply to the "
                               "unit is recycled.\r\nTo avoid unexpected operation please "
                               "recycle the supply before continuing.";

// Units with the given IDs and one module each: "one unit at the time" where a scan needs it.
Bus unitsWithIds(std::initializer_list<int> ids)
{
    Bus bus;
    for (const int id : ids) {
        Unit unit;
        unit.id = static_cast<std::uint8_t>(id);
        unit.fitted[0] = Module::ofType(2);
        bus.add(unit);
    }
    return bus;
}

std::string unitIdRead(int id)
{
    char frame[16];
    std::snprintf(frame, sizeof frame, "%02X 1F 04 07", id);
    return frame;
}

// Runs `painted` each time `widget` is drawn.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget* widget, std::function<void()> painted) : m_painted(std::move(painted))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            m_painted();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_painted;
};

// The scan as the table below starts it: from no window of its own.
void scanWithoutWindow()
{
    UnitIdUtilities::cmdDetectUnitID_Click();
}

class UnitIds : public SimulatorTest {
protected:
    std::vector<DesktopCall> inputBoxes() const
    {
        return desktop.calls(DesktopCall::Kind::InputBox);
    }
};

TEST(ScanProgress, GivesTheIdTheHighestAndThePercentageRoundedToTwoDecimalsHalvesToEven)
{
    const kivo::basic::ScopedUserLocale english(pointLocale);
    const std::pair<std::pair<int, int>, QString> cases[] = {
        {{1, 3}, "Scanning... Testing UnitID = 1 to 3  (33.33 %)"},
        {{2, 3}, "Scanning... Testing UnitID = 2 to 3  (66.67 %)"},
        {{3, 3}, "Scanning... Testing UnitID = 3 to 3  (100 %)"},
        {{1, 5}, "Scanning... Testing UnitID = 1 to 5  (20 %)"},
        {{2, 7}, "Scanning... Testing UnitID = 2 to 7  (28.57 %)"},
        {{1, 32}, "Scanning... Testing UnitID = 1 to 32  (3.12 %)"},
        {{3, 32}, "Scanning... Testing UnitID = 3 to 32  (9.38 %)"},
    };
    for (const auto& [ids, text] : cases) {
        EXPECT_EQ(UnitIdUtilities::scanProgressText(ids.first, ids.second), text);
    }
    const kivo::basic::ScopedUserLocale german(commaLocale);
    EXPECT_EQ(UnitIdUtilities::scanProgressText(1, 3),
              "Scanning... Testing UnitID = 1 to 3  (33,33 %)");
}

TEST_F(UnitIds, TheScanTriesEachIdUpToTheOneThatAnswers)
{
    start(unitsWithIds({3}));
    frmPleaseWait& wait = Forms::pleaseWait();
    QStringList progress;
    bool waitShown = true;
    kivo::desktop::setEventsRunHook([&] {
        waitShown = waitShown && wait.isVisible();
        if (progress.isEmpty() || progress.back() != wait.lblProgress->text()) {
            progress << wait.lblProgress->text();
        }
        QCoreApplication::processEvents();
    });
    desktop.queueInputBoxAnswer("5");

    UnitIdUtilities::cmdDetectUnitID_Click();

    EXPECT_EQ(requests(), (Frames{unitIdRead(1), unitIdRead(2), unitIdRead(3)}));
    EXPECT_EQ(progress, QStringList({"", "Scanning... Testing UnitID = 1 to 5  (20 %)",
                                     "Scanning... Testing UnitID = 2 to 5  (40 %)",
                                     "Scanning... Testing UnitID = 3 to 5  (60 %)"}));
    EXPECT_TRUE(waitShown);
    EXPECT_FALSE(wait.isVisible());

    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[0].text, "Please make sure only the proper unit is connected (One unit "
                                  "at the time) and click Ok when ready...");
    EXPECT_EQ(messages()[0].style, vbOKCancel);
    EXPECT_EQ(messages()[0].title, "Utility: Detect Unit ID");
    EXPECT_EQ(messages()[1].text, "Unit Id for this Unit is = 3");
    EXPECT_EQ(messages()[1].style, vbInformation + vbOKOnly);
    EXPECT_EQ(messages()[1].title, "Utilities, Kivo Unit Detect UnitID");
    ASSERT_EQ(inputBoxes().size(), 1u);
    EXPECT_EQ(inputBoxes()[0].text, kHighestPrompt);
    EXPECT_EQ(inputBoxes()[0].title, "Utility: Detect Unit ID");
    EXPECT_EQ(inputBoxes()[0].defaultText, "3");
    EXPECT_EQ(calls(), (Calls{"OpenPort", "GetUnitID", "GetUnitID", "GetUnitID", "ClosePort"}));
    EXPECT_FALSE(LinkInUse::taken());
    EXPECT_TRUE(portFree());
}

// Each try blocks for as long as the unit takes to answer or time out, with no event processed:
// the box must be on the screen with the ID being tried before the call, not one ID behind.
TEST_F(UnitIds, TheWaitBoxIsDrawnWithTheIdBeingTriedBeforeEachTry)
{
    start(unitsWithIds({3}));
    frmPleaseWait& wait = Forms::pleaseWait();
    QString drawn = "(not drawn)";
    PaintWatch watch(wait.lblProgress, [&] { drawn = wait.lblProgress->text(); });
    QStringList drawnAtEachTry;
    KivoGlobals::DeviceLink =
        RecordingLink::wrap(KivoGlobals::DeviceLink, linkCalls, [&](const QString& operation) {
            if (operation == "GetUnitID") {
                drawnAtEachTry << drawn;
            }
        });
    desktop.queueInputBoxAnswer("3");

    UnitIdUtilities::cmdDetectUnitID_Click();

    EXPECT_EQ(drawnAtEachTry, QStringList({"Scanning... Testing UnitID = 1 to 3  (33.33 %)",
                                           "Scanning... Testing UnitID = 2 to 3  (66.67 %)",
                                           "Scanning... Testing UnitID = 3 to 3  (100 %)"}));
}

TEST_F(UnitIds, AScanThatFindsNoUnitSaysSoWithTheProgramsTitle)
{
    start(unitsWithIds({3}));
    desktop.queueInputBoxAnswer("1");
    UnitIdUtilities::cmdDetectUnitID_Click();
    EXPECT_EQ(requests(), Frames{unitIdRead(1)});
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[1].text, "Unit did not respond from UnitID 1 to 1");
    EXPECT_EQ(messages()[1].style, vbOKOnly);
    EXPECT_EQ(messages()[1].title, "");
    EXPECT_FALSE(Forms::pleaseWait().isVisible());
    EXPECT_FALSE(LinkInUse::taken());
}

// A click that a pumped event delivers in the middle of the scan finds the link taken and does
// nothing: no box, no frame, and above all no ClosePort under the scan, which would make unit 1
// look silent. The window whose button started the scan takes no input meanwhile, although no
// window is active: the input box has just closed and the window manager has not yet handed the
// focus back.
TEST_F(UnitIds, ClicksDuringTheScanDoNothingAndTheWindowIsBusy)
{
    start(unitsWithIds({1}));
    QWidget window;
    window.setObjectName("SupplyConfig");
    window.show();
    QApplication::setActiveWindow(nullptr);
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    frmModuleGrouping grouping;
    GroupingHost host;
    host.unitId = "1";

    bool nested = false;
    bool windowTookInput = true;
    std::size_t boxesBefore = 0;
    kivo::desktop::setEventsRunHook([&] {
        windowTookInput = windowTookInput && window.isEnabled();
        if (!nested) {
            nested = true;
            boxesBefore = desktop.calls().size();
            UnitIdUtilities::cmdDetectUnitID_Click(&window);
            UnitIdUtilities::cmdChangeToNewUnitID_Click();
            EXPECT_FALSE(grouping.Form_Load(host));
            EXPECT_EQ(desktop.calls().size(), boxesBefore);
            EXPECT_EQ(LinkInUse::holder(), UnitIdUtilities::DetectHolder);
        }
        QCoreApplication::processEvents();
    });
    desktop.queueInputBoxAnswer("3");

    UnitIdUtilities::cmdDetectUnitID_Click(&window);

    EXPECT_TRUE(nested);
    EXPECT_FALSE(windowTookInput);
    EXPECT_TRUE(window.isEnabled());
    EXPECT_EQ(requests(), Frames{unitIdRead(1)});
    EXPECT_EQ(calls(), (Calls{"OpenPort", "GetUnitID", "ClosePort"}));
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[1].text, "Unit Id for this Unit is = 1");
    EXPECT_FALSE(Forms::pleaseWait().isVisible());
}

TEST_F(UnitIds, RepliesThatEndAnOperationOpenNoPort)
{
    start(unitsWithIds({1}));
    struct Case {
        const char* name;
        void (*handler)();
        QStringList replies;
        Calls calls;
    };
    const Case cases[] = {
        {"change: 0", UnitIdUtilities::cmdChangeToNewUnitID_Click, {"0"}, {}},
        {"change: Cancel or empty", UnitIdUtilities::cmdChangeToNewUnitID_Click, {""}, {}},
        {"change: letters", UnitIdUtilities::cmdChangeToNewUnitID_Click, {"abc"}, {}},
        {"change: 0.4 is 0", UnitIdUtilities::cmdChangeToNewUnitID_Click, {"0.4"}, {}},
        {"change: new ID 0", UnitIdUtilities::cmdChangeToNewUnitID_Click, {"1", "0"}, {}},
        {"change: new ID letters", UnitIdUtilities::cmdChangeToNewUnitID_Click, {"1", "x"}, {}},
        {"change: asked again",
         UnitIdUtilities::cmdChangeToNewUnitID_Click,
         {"33", "-1", "100", ""},
         {}},
        // Beyond 16 bits: ends silently, the port closed though never opened.
        {"change: 40000", UnitIdUtilities::cmdChangeToNewUnitID_Click, {"40000"}, {"ClosePort"}},
        {"change: new ID 40000",
         UnitIdUtilities::cmdChangeToNewUnitID_Click,
         {"1", "40000"},
         {"ClosePort"}},
        {"scan: 0", scanWithoutWindow, {"0"}, {}},
        {"scan: Cancel or empty", scanWithoutWindow, {""}, {}},
        {"scan: letters", scanWithoutWindow, {"none"}, {}},
        {"scan: asked again", scanWithoutWindow, {"-3", "33", "0"}, {}},
        {"scan: 40000", scanWithoutWindow, {"40000"}, {"ClosePort"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.clear();
        for (const QString& reply : c.replies) {
            desktop.queueInputBoxAnswer(reply);
        }
        c.handler();
        EXPECT_EQ(calls(), c.calls);
        EXPECT_TRUE(requests().empty());
        const auto boxes = inputBoxes();
        ASSERT_EQ(boxes.size(), static_cast<std::size_t>(c.replies.size()));
        const bool change = c.handler == UnitIdUtilities::cmdChangeToNewUnitID_Click;
        // A refused number asks the same box again; a taken current ID goes on to the new one.
        const bool newIdAsked = change && kivo::basic::Val(c.replies[0]) == 1;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const QString prompt = !change                ? kHighestPrompt
                                   : i == 1 && newIdAsked ? kNewPrompt
                                                          : kCurrentPrompt;
            EXPECT_EQ(boxes[i].text, prompt) << i;
            EXPECT_EQ(boxes[i].defaultText, change ? "1" : "3") << i;
        }
        // The scan's first box only; the change shows none.
        EXPECT_EQ(messages().size(), change ? 0u : 1u);
        EXPECT_FALSE(LinkInUse::taken());
    }

    // Cancel in the scan's first box ends it before any input box.
    desktop.clear();
    desktop.queueMsgBoxAnswer(vbCancel);
    UnitIdUtilities::cmdDetectUnitID_Click();
    EXPECT_EQ(desktop.calls().size(), 1u);
    EXPECT_TRUE(calls().empty());
}

TEST_F(UnitIds, ATypedIdIsReadFromItsLeadingNumberAndRoundedHalvesToEven)
{
    start(unitsWithIds({1, 2, 4, 5, 7, 32}));
    const std::pair<QString, int> cases[] = {
        {"1", 1}, {"32", 32}, {"2.5", 2}, {"3.5", 4}, {" 7abc", 7}, {"5", 5},
    };
    for (const auto& [typed, id] : cases) {
        SCOPED_TRACE(typed.toStdString());
        desktop.clear();
        // The same ID as the new one: still sent, and the unit keeps answering to it.
        desktop.queueInputBoxAnswer(typed);
        desktop.queueInputBoxAnswer(typed);
        UnitIdUtilities::cmdChangeToNewUnitID_Click();
        char frame[24];
        std::snprintf(frame, sizeof frame, "%02X 1F 05 07 %02X", id, id);
        EXPECT_EQ(requests(), Frames{frame});
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0].text, kRecycleNotice);
    }
}

TEST_F(UnitIds, TheChangeGivesTheUnitItsNewId)
{
    start(Bus::defaultBus());
    desktop.queueInputBoxAnswer("3");
    desktop.queueInputBoxAnswer("7");
    UnitIdUtilities::cmdChangeToNewUnitID_Click();

    EXPECT_EQ(requests(), Frames{"03 1F 05 07 07"});
    EXPECT_EQ(calls(), (Calls{"OpenPort", "SetNewUnitID", "ClosePort"}));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, kRecycleNotice);
    EXPECT_EQ(messages()[0].style, vbInformation + vbOKOnly);
    EXPECT_EQ(messages()[0].title, "EEPROM Configurator");
    ASSERT_EQ(inputBoxes().size(), 2u);
    EXPECT_EQ(inputBoxes()[1].text, kNewPrompt);
    EXPECT_EQ(inputBoxes()[1].title, "Unit ID Changer");
    EXPECT_EQ(inputBoxes()[1].defaultText, "1");
    EXPECT_FALSE(LinkInUse::taken());

    // The unit answers at its new ID, and no longer at the old one.
    auto link = sim->create();
    ASSERT_EQ(kivo::automation::call(link, "OpenPort", sim->port()).status, "CMD_OK");
    std::int16_t id = 0;
    EXPECT_EQ(
        kivo::automation::call(link, "GetUnitID", std::int16_t{7}, kivo::automation::byRef(id))
            .status,
        "CMD_OK");
    EXPECT_EQ(id, 7);
    EXPECT_FALSE(sim->bus().hasUnit(3));
    kivo::automation::call(link, "ClosePort");
}

TEST_F(UnitIds, AChangeTheUnitDoesNotConfirmShowsTheError)
{
    start(Bus::defaultBus());
    desktop.queueInputBoxAnswer("9");
    desktop.queueInputBoxAnswer("4");
    UnitIdUtilities::cmdChangeToNewUnitID_Click();
    EXPECT_EQ(requests(), Frames{"09 1F 05 07 04"});
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Error trying to change Unit ID, please make the unit is "
                                  "connected and the unit ID corresponds that specific unit");
    EXPECT_EQ(messages()[0].style, vbCritical + vbOKOnly);
    EXPECT_EQ(messages()[0].title, "Unit ID Changer");
    EXPECT_EQ(calls(), (Calls{"OpenPort", "SetNewUnitID", "ClosePort"}));
    EXPECT_TRUE(portFree());
}

TEST_F(UnitIds, TheVersionBoxShowsTheLibrarysOwnTextWithoutThePort)
{
    start(Bus::defaultBus());
    UnitIdUtilities::cmdDllFileVersion_Click();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text,
              "Kivo ActiveX DLL Unicode Release Version 2.01, Compiled on Feb 04 2004");
    EXPECT_EQ(messages()[0].style, vbInformation + vbOKOnly);
    EXPECT_EQ(messages()[0].title, "Dll file information");
    EXPECT_EQ(calls(), Calls{"WhoAmI"});
    EXPECT_TRUE(requests().empty());
}

} // namespace
