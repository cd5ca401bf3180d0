// The monitor window in a program folder of its own, on the recording desktop, with the pauses
// recorded instead of waited for, against the simulated bus through the registered link library
// (or, for cases that need no unit, a scripted link).
#pragma once

#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/LinkInUse.h"
#include "KivoSoft/model/UnitWindows.h"
#include "KivoSoft/model/tests/fake_link.h"
#include "KivoSoft/model/tests/model_fixture.h"
#include "KivoSoft/monitor/MonitorForm.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoX/testing/simulated_link.h"
#include "platform/desktop/let_events_run.h"

#include <QTest>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace KivoSoft::testing {

using Frames = std::vector<std::string>;

// A request as "MID CID data...", in hexadecimal: "1F 04 C8".
inline std::string requestText(const kivo::unitsim::Bytes& frame)
{
    std::string text;
    for (std::size_t i = 2; i + 1 < frame.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", frame[i]);
        text += (text.empty() ? "" : " ") + std::string(hex);
    }
    return text;
}

// The same request for each fitted slot, MID first: "01 04 CC", "03 04 CC", "05 04 CC".
inline Frames perSlot(const std::string& request, std::initializer_list<int> fitted = {1, 3, 5})
{
    Frames frames;
    for (const int slot : fitted) {
        frames.push_back("0" + std::to_string(slot) + " " + request);
    }
    return frames;
}

// The monitor side of a unit read, forwarded to the window under test.
class MonitorWindows final : public UnitWindows {
public:
    explicit MonitorWindows(MonitorForm*& form) : form_(form) {}
    void monitorUnitDoesNotRespond(int heightTwips, int widthTwips, const QString& caption) override
    {
        calls << QStringLiteral("%1 %2 %3").arg(heightTwips).arg(widthTwips).arg(caption);
        form_->monitorUnitDoesNotRespond(heightTwips, widthTwips, caption);
    }
    QStringList calls;

private:
    MonitorForm*& form_;
};

// The frames of the live read of unit 3 (slots 1, 3 and 5), full and while logging.
inline Frames fullReadFrames()
{
    const Frames types = perSlot("04 CC");
    return joined<std::string>(
        {{"1F 04 C8"},
         types,
         {"1F 0B"},
         types,
         {"1F 09", "1F 0C", "1F 04 C9", "1F 04 CA", "1F 04 CB", "1F 15", "1F 16"},
         types,
         perSlot("13 01"),
         perSlot("03"),
         perSlot("02"),
         {"1F 13 02"},
         perSlot("04 0F"),
         perSlot("13 07"),
         perSlot("13 05"),
         {"01 13 09", "01 04 CC", "03 13 09", "03 04 CC", "05 13 09", "05 04 CC"}});
}

inline Frames quickReadFrames()
{
    const Frames types = perSlot("04 CC");
    return joined<std::string>({{"1F 04 C8"},
                                types,
                                {"1F 0B"},
                                types,
                                {"1F 0C", "1F 04 C9", "1F 04 CA", "1F 04 CB", "1F 15"},
                                types,
                                perSlot("03"),
                                perSlot("02")});
}

// A refresh after the selection: the quick read, the output states, the operating hours.
inline Frames refreshFrames()
{
    return joined<std::string>({quickReadFrames(), {"1F 09", "1F 04 C9", "1F 04 CA", "1F 04 CB"}});
}

// The selection: the full read, then its refresh, which reads the turn-on delays instead of the
// hours.
inline Frames selectionFrames()
{
    return joined<std::string>({fullReadFrames(), quickReadFrames(), {"1F 09"}, perSlot("13 03")});
}

class MonitorTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        KivoGlobals::setClock([this] { return clock; });
        copyShippedScaleIni();
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(KIVO_SOURCE_DIR "/ini/Tooltips.ini"), path("Tooltips.ini")));
        write("Kivo.ini", "[Serial COM Parameters]\nReadTimeout=1\nRetryCount=1\n");
        write("KivoGui.ini", "[PARAMS]\nport=" + QString::fromStdString(sim().port()) + "\n");
        ASSERT_TRUE(KivoGlobals::InitializeGlobals());
        KivoGlobals::setPauseHook([this](double seconds) { pauses.push_back(seconds); });
        form = &monitorFormInstance();
        form->Form_Load();
        requests();
    }

    void TearDown() override
    {
        deleteMonitorForm();
        Forms::deleteAll();
        KivoGlobals::DeviceLink.reset();
        ProgramFolderTest::TearDown();
    }

    // The simulator, started on first use; a case changes its bus before the window reads.
    kivox::testing::SimulatedLink& sim()
    {
        if (!link) {
            link = std::make_unique<kivox::testing::SimulatedLink>(bus());
        }
        return *link;
    }
    // The bus a case starts from.
    virtual kivo::unitsim::Bus bus() const { return kivo::unitsim::Bus::defaultBus(); }

    // The requests the bus received since the last call.
    Frames requests(bool allUnitThree = true)
    {
        Frames frames;
        for (const kivo::unitsim::LogEntry& entry : sim().server().log()) {
            if (entry.direction == kivo::unitsim::LogEntry::Request) {
                if (allUnitThree) {
                    EXPECT_EQ(entry.bytes.at(1), 3) << requestText(entry.bytes);
                }
                frames.push_back(requestText(entry.bytes));
            }
        }
        sim().server().clearLog();
        return frames;
    }

    // Whether the port is free again: the link opens and closes it once more.
    bool portFree()
    {
        const bool opened =
            kivo::automation::call(KivoGlobals::DeviceLink, "OpenPort", sim().port()).status ==
            "CMD_OK";
        kivo::automation::call(KivoGlobals::DeviceLink, "ClosePort");
        return opened;
    }

    void select(int unit)
    {
        form->UnitList->setCurrentIndex(unit - 1);
        form->cmdSelectUnit_Click();
    }

    // Selects unit 3 and expects the full window; the frames are left for the case.
    void selectUnitThree()
    {
        select(3);
        ASSERT_TRUE(KivoGlobals::UnitSelected) << KivoGlobals::LastErrorText.toStdString();
        ASSERT_FALSE(form->Busy);
    }

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const auto& call : messages()) {
            texts << call.text;
        }
        return texts;
    }

    // The window on screen and active, so that the keyboard reaches it and a busy state would
    // disable it.
    void showActive()
    {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    }

    // The window as a picture, for looking at it.
    void savePicture(const QString& name)
    {
        form->grab().save(QStringLiteral("%1/%2").arg(QDir::tempPath(), name));
    }

    std::unique_ptr<kivox::testing::SimulatedLink> link;
    QDateTime clock{QDate(2027, 1, 11), QTime(10, 15, 30)};
    std::vector<double> pauses;
    MonitorForm* form = nullptr;
    MonitorWindows windows{form};
    ScopedUnitWindows installedWindows{windows};
};

// Unit 3 on a scripted link that answers at once: 12 V modules (10 to 14 V) in slots 1 and 3,
// both on and good; slots 2, 4 and 5 empty.
class ScriptedUnitThree : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        fake = FakeLink::create();
        fake->reply("GetPresentModules", {0b00101});
        fake->reply("GetOutputState", {0b00101});
        fake->reply("GetModuleGoodStatusByte", {0b00101});
        for (const int slot : {1, 3}) {
            fake->reply("GetModuleType", slot, {2});
            fake->reply("MeasureOutputVoltage", slot, {1200});
            fake->reply("MeasureOutputCurrent", slot, {500});
            fake->reply("GetDefaultOutputVoltage", slot, {1200});
        }
        KivoGlobals::DeviceLink = fake->dispatchOf();
    }

    void TearDown() override
    {
        form->hide();
        MonitorTest::TearDown();
    }

    FakeLink::Ptr fake;
};

} // namespace KivoSoft::testing
