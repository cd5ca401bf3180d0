// A stand-in for the link object: the operations the program calls, declared with their
// capitalised names (the program sends them in lower case), each recorded with its arguments and
// answered from a script.
#pragma once

#include "platform/automation/interfaces.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Tambel::testing {

struct LinkCall {
    // As declared: "SetOutputState".
    std::string name;
    // The port name of OpenPort.
    std::string text;
    // The numbers passed in, in order: unit, module, state or set point.
    std::vector<int> numbers;

    // "SetOutputState 1 3 1", "OpenPort /dev/ttyUSB0".
    std::string str() const;
};

// What the fake does and what it saw; it outlives the object.
struct FakeLinkState {
    // Bit k-1 set: slot k fitted.
    std::uint8_t presentSlots = 0x01;
    // The type code of each slot, [1] to [5].
    std::array<std::int16_t, 6> types{0, 1, 1, 1, 1, 1};
    // The status string of a call; "CMD_OK" when not set. Outputs are written only for "CMD_OK".
    std::function<std::string(const LinkCall&)> answer;
    // The member whose calls fail with E_FAIL instead of returning a status.
    std::string raiseOn;
    // Every call, and every line a test adds in between (the waits), in order.
    std::vector<std::string>* trace = nullptr;
    std::vector<LinkCall> calls;
    bool released = false;
};

kivo::automation::ComPtr<kivo::automation::IDispatch>
createFakeLink(std::shared_ptr<FakeLinkState> state);

} // namespace Tambel::testing
