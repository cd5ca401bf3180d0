// Simulated units and the bus they share.
//
// A `Bus` holds the units; `handle()` takes one whole request frame and gives the reply frame the
// addressed unit sends, or nothing when no unit answers. The state is plain data that tests read
// and change through `Bus::unit()`, which locks the bus for as long as the returned handle lives:
//
//     kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
//     bus.unit(3)->module(1).outputOn = false;          // one locked statement
//     const auto good = bus.unit(3)->moduleGood(now);    // what the unit would report
//
// Hold a handle only briefly: while it lives the bus answers nobody.
#pragma once

#include "tools/unitsim/protocol.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace kivo::unitsim {

using Clock = std::chrono::steady_clock;

// One output module. Words are raw 16-bit counts (volts = count / the type's voltage factor,
// amperes = count / its current factor); times are milliseconds.
struct Module {
    // Factory data: read-only on the line.
    std::uint8_t type = 1;                // register 0xCC, the code of a ModuleType
    std::uint8_t version = 0x21;          // 0xCD: bits 7-5 major, 4-0 minor
    std::array<std::uint8_t, 5> serial{}; // 0xCE to 0xD2
    // EEPROM registers.
    std::uint16_t defaultVoltage = 0; // 0x01
    std::uint16_t turnOnDelay = 0;    // 0x03
    std::uint16_t goodHigh = 0;       // 0x05, module-good high threshold (voltage counts)
    std::uint16_t goodLow = 0;        // 0x07, module-good low threshold
    std::uint16_t currentLimit = 0;   // 0x09 (current counts)
    std::uint16_t limitOnTime = 0;    // 0x0B, current-limit ON time
    std::uint16_t limitOffTime = 0;   // 0x0D, current-limit OFF time
    std::uint8_t groupId = 1;         // 0x0F: group in bits 1-0 (1 is ungrouped)
    std::uint8_t flags = 0;           // 0x10: bits 1-0 current-limit mode, 2 enable reset,
                                      // 3 programming mode, 4 default output polarity,
                                      // 5 default output state
    // Live state.
    bool outputOn = false;          // the module's own switch
    std::uint16_t setPoint = 0;     // voltage set point (counts)
    std::uint8_t controlInputs = 0; // reported beside the set point
    double loadOhms = 0;            // resistive load on the output; 0 or less: none

    // When the live output last came on; kept up to date by Bus::handle(). A module the bus has
    // not seen yet counts as on for long enough when its output is on.
    struct Tracking {
        bool known = false;
        bool on = false;
        Clock::time_point since{};
    } tracking = {};

    // A module of a known type (throws std::invalid_argument otherwise) with its output on at
    // the middle of the type's range, thresholds 5 % either side, the current limit at the
    // type's maximum and a load that draws half of it.
    static Module ofType(int type);
};

// Faults a unit can report in its global status byte. All false is a healthy unit.
struct UnitStatus {
    bool overTemperature = false; // bit 0 clear
    bool fanFail = false;         // bit 1 clear
    bool acFail = false;          // bit 2 clear
    bool error = false;           // bit 5 set
    bool overVoltage = false;     // global OVP, bit 6 set
    bool fanWarning = false;      // bit 7 clear
};

struct Unit {
    std::uint8_t id = 1;                   // register 0x07, the UID it answers to
    std::uint8_t version = 0x41;           // 0xCC: bits 7-5 major, 4-0 minor
    std::array<std::uint8_t, 5> serial{};  // 0xCD to 0xD1
    std::uint32_t operatingHours = 0;      // 0xC9 (most significant) to 0xCB, 24 bits
    std::uint8_t signalPolarity = 0;       // 0x01: bit 0 fan fail, 1 global DC good, 3 over-temp.
    std::uint16_t masterSlave = 0;         // 0x02: low byte master bits, high byte slave bits
    std::uint8_t defaults = 0x03;          // 0x04: bit 0 global output polarity, 1 global output
                                           // state, 2 group state; a unit ships with its
                                           // output normally on and the remote on/off normal
    std::uint16_t groupTurnOnDelay = 0;    // 0x05
    std::uint8_t globalOutputState = 0x02; // bit 1: global output on
    std::uint8_t groupState = 0x04;        // bit 2: group on
    UnitStatus status = {};
    std::array<std::optional<Module>, 5> fitted = {}; // slot 1 is fitted[0]

    bool hasModule(int slot) const;
    Module& module(int slot); // throws std::out_of_range for a slot without a module
    const Module& module(int slot) const;

    bool globalOutputOn() const { return globalOutputState & 0x02; }
    // The global output off holds the modules off: a request addressed to a fitted module then
    // gets no reply and changes nothing, and a group command reaches none of them. The unit
    // itself answers as ever, and keeps the modules' switches and set points as they were.
    bool modulesInhibited() const { return !globalOutputOn(); }
    // The module's switch and the global output are both on.
    bool outputLive(int slot) const;

    // What the unit reports, bit k-1 for slot k.
    std::uint8_t presentModules() const;
    std::uint8_t outputStates() const; // the modules' own switches
    // Good: output live for at least its turn-on delay, voltage within the thresholds.
    std::uint8_t moduleGood(Clock::time_point now) const;
    // Bit set means healthy for bits 0 over-temperature, 1 fan fail, 2 AC OK, 3 global DC good
    // (every live output is good), 4 global current limit (no module in its limit), 7 fan
    // warning; bits 5 (error) and 6 (global OVP) are set on a fault.
    std::uint8_t globalStatus(Clock::time_point now) const;

    // Output counts: the set point into the load while the output is live, 0 otherwise. A load
    // that would draw more than the current limit is held at the limit and the voltage sags.
    std::uint16_t measuredVoltage(int slot) const;
    std::uint16_t measuredCurrent(int slot) const;
    bool inCurrentLimit(int slot) const;
};

// Access to one unit with the bus locked for the life of the handle.
template <class T> class Locked {
public:
    Locked(std::unique_lock<std::recursive_mutex> lock, T& value)
        : lock_(std::move(lock)), value_(&value)
    {
    }
    T* operator->() const { return value_; }
    T& operator*() const { return *value_; }

private:
    std::unique_lock<std::recursive_mutex> lock_;
    T* value_;
};

class Bus {
public:
    Bus();
    ~Bus();
    Bus(Bus&&) noexcept;
    Bus& operator=(Bus&&) noexcept;

    // Unit 1 with five modules, unit 3 with modules in slots 1, 3 and 5, unit 5 with two modules
    // of different types; outputs on, sensible set points, thresholds and delays.
    static Bus defaultBus();

    // Adds a unit; throws std::invalid_argument when a unit already answers to its ID.
    void add(Unit unit);
    bool hasUnit(int id) const;
    std::vector<int> unitIds() const; // in the order the units were added
    // The unit answering to `id` (throws std::out_of_range when there is none). Should an ID
    // change give two units one ID, the one added first answers to it.
    Locked<Unit> unit(int id);

    // The time source of the turn-on delays (steady_clock::now by default).
    void setClock(std::function<Clock::time_point()> clock);
    Clock::time_point now() const;

    // One complete request frame in; the reply frame out, or nothing when no unit answers (a
    // bad frame or CRC, a UID no unit has, or a module of a unit whose global output is off). A
    // command, register or module the unit does not have gets the 5-byte error reply. A new unit
    // ID takes effect after the reply.
    std::optional<Bytes> handle(std::span<const std::uint8_t> request);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace kivo::unitsim
