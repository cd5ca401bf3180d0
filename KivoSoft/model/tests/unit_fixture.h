// A unit object on a scripted link in a fixture program folder: the shipped scale.ini, an error
// log, a port name, recorded windows and message boxes.
#pragma once

#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/KivoData.h"
#include "KivoSoft/model/RecordingUnitWindows.h"
#include "KivoSoft/model/tests/fake_link.h"
#include "KivoSoft/model/tests/model_fixture.h"

#include <QStringList>

namespace KivoSoft::testing {

class UnitTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        copyShippedScaleIni();
        KivoGlobals::ErrorLogPath = path("error11.txt");
        KivoGlobals::setClock([] { return QDateTime(QDate(2027, 1, 1), QTime(9, 30, 0)); });
        KivoGlobals::DefaultComPort = "/dev/ttyFAKE0";
        KivoGlobals::DeviceLink = link->dispatchOf();
    }

    void TearDown() override
    {
        KivoGlobals::DeviceLink.reset();
        ProgramFolderTest::TearDown();
    }

    // Unit 3 with modules in slots 1, 3 and 5 of the types 2, 1 and 3 (KM-12V-10A, KM-5V-20A,
    // KM-24V-6A).
    void scriptUnitWithSlots135()
    {
        link->reply("GetPresentModules", {0x15});
        link->reply("GetModuleType", 1, {2});
        link->reply("GetModuleType", 3, {1});
        link->reply("GetModuleType", 5, {3});
    }

    // Unit 3 as the configuration window reads it: modules in slots 1, 3 and 5 and the default
    // global output state on.
    void scriptFullUnit()
    {
        scriptUnitWithSlots135();
        link->reply("GetModuleGoodStatusByte", {0x15});
        link->replyText("GetUnitSerialN", 0, "21436587A9");
        link->reply("GetUnitVersion", {2, 1});
        link->reply("GetFanFailPolarity", {1});
        link->reply("GetGlobalDCGoodPolarity", {0});
        link->reply("GetOTFailPolarity", {1});
        link->reply("GetDefaultGlobalOutputPolarity", {1});
        link->reply("GetDefaultGroupState", {0});
        link->reply("GetDefaultGlobalOutputState", {1});
        struct Module {
            int slot;
            const char* serial;
            int pm, polarity, state, delay, setPoint, low, high, mode, reset, limit, onTime,
                offTime, group;
        };
        const Module modules[] = {
            {1, "0A1B2C3D4E", 0, 1, 1, 0, 1200, 1140, 1260, 0, 1, 1000, 100, 65535, 1},
            {3, "1122334455", 1, 1, 1, 250, 5000, -2, 5250, 2, 0, 2000, 40000, 200, 2},
            {5, "A1B2C3D4E5", 0, 0, 0, 50000, 2400, 2280, 2520, 3, 1, 6000, 10, 20, 3},
        };
        for (const Module& m : modules) {
            link->replyText("GetModuleSerialN", m.slot, m.serial);
            link->reply("GetModuleVersion", m.slot, {1, m.slot});
            link->reply("GetProgrammingMode", m.slot, {m.pm});
            link->reply("GetDefaultOutputOnOffPolarity", m.slot, {m.polarity});
            link->reply("GetDefaultOutputOnOffState", m.slot, {m.state});
            link->reply("GetOutputTurnONDelayExUShort", m.slot, {m.delay});
            link->reply("GetDefaultOutputVoltage", m.slot, {m.setPoint});
            link->reply("GetModuleGoodLowThreshold", m.slot, {m.low});
            link->reply("GetModuleGoodHighThreshold", m.slot, {m.high});
            link->reply("GetCurrentLimitMode", m.slot, {m.mode, m.reset});
            link->reply("GetCurrentLimit", m.slot, {m.limit});
            link->reply("GetCurrentLimitONTimeExUShort", m.slot, {m.onTime});
            link->reply("GetCurrentLimitOFFTimeExUShort", m.slot, {m.offTime});
            link->reply("GetGroupID", m.slot, {m.group});
        }
        link->reply("GetOutputState", {0x05});
    }

    // The call before the read's own ClosePort.
    std::string lastStep() const
    {
        EXPECT_GE(link->calls.size(), 2u);
        EXPECT_EQ(link->calls.back(), "ClosePort");
        return link->calls.size() >= 2 ? link->calls[link->calls.size() - 2] : "";
    }

    // The recorded calls of one operation, or all of them.
    std::vector<std::string> callsOf(const std::string& operation) const
    {
        std::vector<std::string> found;
        for (const std::string& c : link->calls) {
            if (c == operation || c.rfind(operation + " ", 0) == 0) {
                found.push_back(c);
            }
        }
        return found;
    }

    FakeLink::Ptr link = FakeLink::create();
    RecordingUnitWindows windows;
    ScopedUnitWindows installedWindows{windows};
    KivoData unit;
};

} // namespace KivoSoft::testing
