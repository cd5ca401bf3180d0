// What the grouping dialog's and the unit-ID utilities' tests share: the model's fixture program
// folder (globals reset, desktop effects recorded), the real link library registered in a
// registry of the test's own and talking to a simulated bus, the requests the bus received, and
// the names of the calls made on the link object, OpenPort and ClosePort among them.
#pragma once

#include "KivoSoft/config/tests/recording_link.h"
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/tests/model_fixture.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoX/testing/simulated_link.h"
#include "platform/automation/call.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace KivoSoft::testing {

using Frames = std::vector<std::string>;

// A request frame as "UID MID CID data..." in hexadecimal: "03 01 05 0F 02".
inline std::string requestText(const kivo::unitsim::Bytes& frame)
{
    std::string text;
    for (std::size_t i = 1; i + 1 < frame.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", frame[i]);
        text += (text.empty() ? "" : " ") + std::string(hex);
    }
    return text;
}

class SimulatorTest : public ProgramFolderTest {
protected:
    void TearDown() override
    {
        Forms::deleteAll();
        KivoGlobals::DeviceLink.reset();
        sim.reset();
        ProgramFolderTest::TearDown();
    }

    // Serves `bus` and makes the program's link object talk to it: one attempt of one second
    // for a unit that does not answer.
    void start(kivo::unitsim::Bus bus)
    {
        sim = std::make_unique<kivox::testing::SimulatedLink>(std::move(bus));
        auto link = sim->create();
        ASSERT_TRUE(link);
        kivo::automation::call(link, "SetINIParams", std::int16_t{1}, std::int16_t{1});
        KivoGlobals::DeviceLink = RecordingLink::wrap(link, linkCalls);
        KivoGlobals::DefaultComPort = QString::fromStdString(sim->port());
        KivoGlobals::ErrorLogPath = path("error.txt");
    }

    // The requests the bus received since the last call.
    Frames requests()
    {
        Frames frames;
        for (const kivo::unitsim::LogEntry& entry : sim->server().log()) {
            if (entry.direction == kivo::unitsim::LogEntry::Request) {
                frames.push_back(requestText(entry.bytes));
            }
        }
        sim->server().clearLog();
        return frames;
    }

    // The link calls made since the last call, by name.
    std::vector<std::string> calls()
    {
        std::vector<std::string> made;
        for (const QString& line : *linkCalls) {
            made.push_back(line.section(u' ', 0, 0).toStdString());
        }
        linkCalls->clear();
        return made;
    }

    // Whether the port is free: a second link object opens and closes it.
    bool portFree() const
    {
        auto other = sim->create();
        const bool opened =
            kivo::automation::call(other, "OpenPort", sim->port()).status == "CMD_OK";
        kivo::automation::call(other, "ClosePort");
        return opened;
    }

    std::unique_ptr<kivox::testing::SimulatedLink> sim;
    std::shared_ptr<QStringList> linkCalls = std::make_shared<QStringList>();
};

} // namespace KivoSoft::testing
