// For tests of the programs that use the link library: libKivoX.so registered in a registry file
// of the test's own ($KIVO_REGISTRY points at it while the object lives) and a simulated bus on a
// pseudo-terminal.
//
//     kivox::testing::SimulatedLink sim;                 // the default bus; or pass one
//     auto link = sim.create();                          // by ProgID, as the programs do
//     call(link, "OpenPort", sim.port());
//     std::int16_t type = 0;
//     call(link, "GetModuleType", std::int16_t{3}, std::int16_t{1}, byRef(type));
//     sim.bus().unit(3)->module(1).outputOn = false;     // the unit's state, under its lock
//     sim.server().faults().add({.uid = 3, .kind = kivo::unitsim::Fault::NoReply});
//
// The library is the real one, with its real waits: every attempt costs the RTS delay (10 ms
// without ./Kivo.ini) and the 100 ms pause. It reads ./Kivo.ini of the current directory each
// time it is loaded; registering loads it once, creating the first object again.
#pragma once

#include "KivoX/identity.h"

#include "platform/automation/call.h"
#include "platform/automation/tests/test_support.h"
#include "tools/unitsim/unitsim.h"

#include <memory>
#include <string>
#include <string_view>

namespace kivox::testing {

class SimulatedLink {
public:
    // Registers the library (a failure is a test failure) and starts serving `bus`.
    explicit SimulatedLink(kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus(),
                           kivo::unitsim::ServerOptions options = {});
    ~SimulatedLink();
    SimulatedLink(const SimulatedLink&) = delete;
    SimulatedLink& operator=(const SimulatedLink&) = delete;

    // The terminal to open with OpenPort.
    const std::string& port() const { return server_->path(); }
    kivo::unitsim::Bus& bus() { return *bus_; }
    kivo::unitsim::PtyServer& server() { return *server_; }
    const std::string& registryPath() const { return registry_.path(); }

    // A new link object by ProgID through the registry; an empty pointer (and a test failure)
    // when it cannot be created.
    kivo::automation::ComPtr<kivo::automation::IDispatch>
    create(std::string_view progId = KIVOX_PROGID) const;

    // The library in the program folder.
    static std::string libraryPath();

private:
    kivo::automation::testing::TempRegistry registry_;
    std::unique_ptr<kivo::unitsim::Bus> bus_;
    std::unique_ptr<kivo::unitsim::PtyServer> server_;
};

} // namespace kivox::testing
