// Simulated power-supply units on a pseudo-terminal, for tests and for trying the programs
// without hardware.
//
// Start a simulated bus in-process:
//
//     #include "tools/unitsim/unitsim.h"
//     using namespace kivo::unitsim;
//
//     Bus bus = Bus::defaultBus();                 // or Bus{} and bus.add(unit) unit by unit
//     PtyServer server(bus);                       // opens a pty and serves it on a thread
//     std::string path = server.path();            // the terminal a program opens
//     server.faults().add({.uid = 3, .cid = 0x05, .kind = Fault::NoReply, .times = 2});
//     bus.unit(3)->module(1).outputOn = false;     // state, read and changed under the bus lock
//     auto log = server.log();                     // request and reply frames with their times
//
// bus.h has the units' state and what each register means, faults.h the scripted faults,
// pty_server.h the server, protocol.h the frame layout and CRC-8, module_types.h the module
// types (the same as ini/scale.ini), config.h the description file of kivo-unitsim.
#pragma once

#include "tools/unitsim/bus.h"
#include "tools/unitsim/config.h"
#include "tools/unitsim/faults.h"
#include "tools/unitsim/module_types.h"
#include "tools/unitsim/protocol.h"
#include "tools/unitsim/pty_server.h"
