// Every unit operation once against a simulated unit: the frames it sends, the replies it gets
// and what it makes of them; then the arrays, the read-modify-write setters, the port operations
// and the object's own state.
#include "KivoX/kivo.h"
#include "KivoX/transport.h"

#include "KivoX/tests/support.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <optional>

using namespace kivox;
using namespace kivox::testing;
using kivo::automation::byRef;
using kivo::automation::call;
using kivo::automation::CallResult;
using kivo::automation::E_FAIL;
using kivo::automation::E_UNEXPECTED;
using kivo::automation::IDispatch;
using kivo::automation::Int16Array;
using kivo::automation::S_OK;
using kivo::unitsim::Bus;
using kivo::unitsim::Bytes;
using kivo::unitsim::Fault;
using kivo::unitsim::Unit;

namespace {

using I2 = std::int16_t;
constexpr I2 kUnit = 3;
constexpr std::uint8_t U = 3;
constexpr std::uint8_t UNIT = 0x1F;

// Element 1 first: "10100000" for a byte 0x05.
std::string bits(const Int16Array& a)
{
    std::string text;
    for (const std::int16_t v : a.values()) {
        text += std::to_string(v);
    }
    return text;
}

std::string join(std::initializer_list<long> values)
{
    std::string text;
    for (const long v : values) {
        text += (text.empty() ? "" : " ") + std::to_string(v);
    }
    return text;
}

struct Outcome {
    CallResult result;
    std::string values; // the caller's variables (and, for a setter, the unit's state) after it
};

struct OpCase {
    const char* op;
    std::function<void(Bus&)> setup; // the unit's state before the call; may be empty
    std::function<Outcome(IDispatch*, Bus&)> run;
    std::vector<Bytes> requests;
    std::vector<Bytes> replies;
    std::string values;
};

// A getter of one 16-bit value: op(3, [1,] value).
std::function<Outcome(IDispatch*, Bus&)> get16(const char* op, bool withModule = true, I2 mid = 1)
{
    return [=](IDispatch* k, Bus&) {
        I2 v = -99;
        const CallResult r =
            withModule ? call(k, op, kUnit, mid, byRef(v)) : call(k, op, kUnit, byRef(v));
        return Outcome{r, std::to_string(v)};
    };
}

std::function<Outcome(IDispatch*, Bus&)> get32(const char* op)
{
    return [=](IDispatch* k, Bus&) {
        int v = -99;
        const CallResult r = call(k, op, kUnit, I2{1}, byRef(v));
        return Outcome{r, std::to_string(v)};
    };
}

// A setter of one value by reference, and the unit's state it should change.
template <class T>
std::function<Outcome(IDispatch*, Bus&)> set(const char* op, T value, bool withModule,
                                             std::function<long(Bus&)> state)
{
    return [=](IDispatch* k, Bus& bus) {
        T v = value;
        const CallResult r =
            withModule ? call(k, op, kUnit, I2{1}, byRef(v)) : call(k, op, kUnit, byRef(v));
        return Outcome{r, join({long(v), state(bus)})};
    };
}

std::function<Outcome(IDispatch*, Bus&)> getBits(const char* op)
{
    return [=](IDispatch* k, Bus&) {
        Int16Array a(1, 8);
        const CallResult r = call(k, op, kUnit, byRef(a));
        return Outcome{r, bits(a)};
    };
}

std::function<Outcome(IDispatch*, Bus&)> getText(const char* op, bool withModule = false)
{
    return [=](IDispatch* k, Bus&) {
        std::string text = "before";
        const CallResult r =
            withModule ? call(k, op, kUnit, I2{3}, byRef(text)) : call(k, op, kUnit, byRef(text));
        return Outcome{r, text};
    };
}

Bytes readByte(std::uint8_t mid, std::uint8_t reg)
{
    return frame(U, mid, 0x04, {reg});
}
Bytes byteValue(std::uint8_t mid, std::uint8_t value)
{
    return frame(U, mid, 0x04, {value});
}
Bytes writeByte(std::uint8_t mid, std::uint8_t reg, std::uint8_t value)
{
    return frame(U, mid, 0x05, {reg, value});
}
Bytes readWord(std::uint8_t mid, std::uint8_t reg)
{
    return frame(U, mid, 0x13, {reg});
}
Bytes wordValue(std::uint8_t mid, std::uint8_t low, std::uint8_t high)
{
    return frame(U, mid, 0x13, {low, high});
}
Bytes writeWord(std::uint8_t mid, std::uint8_t reg, std::uint8_t low, std::uint8_t high)
{
    return frame(U, mid, 0x14, {reg, low, high});
}
Bytes ack(std::uint8_t mid, std::uint8_t cid)
{
    return frame(U, mid, cid);
}

const std::vector<OpCase>& operations()
{
    static const std::vector<OpCase> cases = {
        // --- live state, switching and measurements
        {"GetModuleGoodStatusByte", {}, getBits("GetModuleGoodStatusByte"), {frame(U, UNIT, 0x0B)},
         {frame(U, UNIT, 0x0B, {0x05})}, "10100000"},
        {"GetOutputState", {}, getBits("GetOutputState"), {frame(U, UNIT, 0x09)},
         {frame(U, UNIT, 0x09, {0x05})}, "10100000"},
        {"SetOutputState", {},
         [](IDispatch* k, Bus& bus) {
             const CallResult r = call(k, "SetOutputState", kUnit, I2{5}, true);
             return Outcome{r, join({bus.unit(kUnit)->module(5).outputOn})};
         },
         {frame(U, 5, 0x01, {0x1F})}, {ack(5, 0x01)}, "1"},
        {"SetGroupOutputState", [](Bus& bus) { bus.unit(kUnit)->module(3).groupId = 2; },
         [](IDispatch* k, Bus& bus) {
             I2 group = 2;
             const CallResult r = call(k, "SetGroupOutputState", kUnit, byRef(group), false);
             return Outcome{r, join({group, bus.unit(kUnit)->module(1).outputOn, bus.unit(kUnit)->module(3).outputOn})};
         },
         {frame(U, 0x00, 0x01, {0x02, 0x01})}, {ack(0x00, 0x01)}, "2 1 0"},
        {"SetGroupVoltageSetpoint", [](Bus& bus) { bus.unit(kUnit)->module(3).groupId = 2; },
         [](IDispatch* k, Bus& bus) {
             I2 group = 2;
             I2 voltage = 1234;
             const CallResult r =
                 call(k, "SetGroupVoltageSetpoint", kUnit, byRef(group), byRef(voltage));
             return Outcome{r, join({group, voltage, bus.unit(kUnit)->module(3).setPoint})};
         },
         {frame(U, 0x00, 0x07, {0x02, 0xD2, 0x04})}, {ack(0x00, 0x07)}, "2 1234 1234"},
        {"GetPresentModules", {}, getBits("GetPresentModules"), {readByte(UNIT, 0xC8)},
         {byteValue(UNIT, 0x15)}, "10101000"},
        {"GetGlobalStatusByte", {}, getBits("GetGlobalStatusByte"), {frame(U, UNIT, 0x0C)},
         {frame(U, UNIT, 0x0C, {0x9F})}, "11111001"},
        {"GetGlobalOutputState", {}, get16("GetGlobalOutputState", false), {frame(U, UNIT, 0x15)},
         {frame(U, UNIT, 0x15, {0x02})}, "1"},
        {"SetGlobalOutputState", {},
         set<I2>("SetGlobalOutputState", 0, false, [](Bus& b) { return b.unit(kUnit)->globalOutputState; }),
         {frame(U, UNIT, 0x15), frame(U, UNIT, 0x0E, {0x00})},
         {frame(U, UNIT, 0x15, {0x02}), ack(UNIT, 0x0E)}, "0 0"},
        {"GetGroupState", {}, get16("GetGroupState", false), {frame(U, UNIT, 0x16)},
         {frame(U, UNIT, 0x16, {0x04})}, "1"},
        {"SetGroupState", [](Bus& bus) { bus.unit(kUnit)->groupState = 0x05; },
         set<I2>("SetGroupState", 0, false, [](Bus& b) { return b.unit(kUnit)->groupState; }),
         {frame(U, UNIT, 0x16), frame(U, UNIT, 0x10, {0x01})},
         {frame(U, UNIT, 0x16, {0x05}), ack(UNIT, 0x10)}, "0 1"},
        {"GetOutputVoltageSetpoint",
         [](Bus& bus) {
             bus.unit(kUnit)->module(1).setPoint = 1200;
             bus.unit(kUnit)->module(1).controlInputs = 0x81;
         },
         [](IDispatch* k, Bus&) {
             I2 setPoint = -99;
             Int16Array inputs(1, 8);
             const CallResult r =
                 call(k, "GetOutputVoltageSetpoint", kUnit, I2{1}, byRef(setPoint), byRef(inputs));
             return Outcome{r, std::to_string(setPoint) + " " + bits(inputs)};
         },
         {frame(U, 1, 0x0A)}, {frame(U, 1, 0x0A, {0xB0, 0x04, 0x81})}, "1200 10000001"},
        {"SetOutputVoltageSetpoint", {},
         set<I2>("SetOutputVoltageSetpoint", 1250, true, [](Bus& b) { return b.unit(kUnit)->module(1).setPoint; }),
         {frame(U, 1, 0x07, {0xE2, 0x04})}, {ack(1, 0x07)}, "1250 1250"},
        {"MeasureOutputCurrent",
         [](Bus& bus) {
             bus.unit(kUnit)->module(1).setPoint = 1200;
             bus.unit(kUnit)->module(1).loadOhms = 6.0;
         },
         get16("MeasureOutputCurrent"), {frame(U, 1, 0x03)}, {frame(U, 1, 0x03, {0xC8, 0x00})},
         "200"},
        {"MeasureOutputVoltage", [](Bus& bus) { bus.unit(kUnit)->module(1).setPoint = 1205; },
         get16("MeasureOutputVoltage"), {frame(U, 1, 0x02)}, {frame(U, 1, 0x02, {0xB5, 0x04})},
         "1205"},

        // --- configuration registers
        {"GetMasterSlaveMode", [](Bus& bus) { bus.unit(kUnit)->masterSlave = 0x0281; },
         [](IDispatch* k, Bus&) {
             Int16Array master(1, 8);
             Int16Array slave(0, 8);
             const CallResult r = call(k, "GetMasterSlaveMode", kUnit, byRef(master), byRef(slave));
             return Outcome{r, bits(master) + " " + bits(slave)};
         },
         {readWord(UNIT, 0x02)}, {wordValue(UNIT, 0x81, 0x02)}, "10000001 01000000"},
        {"SetMasterSlaveMode", {},
         [](IDispatch* k, Bus& bus) {
             Int16Array master(1, 8);
             Int16Array slave(1, 8);
             master[1] = 1;
             master[3] = 1;
             slave[8] = 1;
             const CallResult r = call(k, "SetMasterSlaveMode", kUnit, byRef(master), byRef(slave));
             return Outcome{r, join({bus.unit(kUnit)->masterSlave})};
         },
         {writeWord(UNIT, 0x02, 0x05, 0x80)}, {ack(UNIT, 0x14)}, "32773"},
        {"GetFanFailPolarity", [](Bus& bus) { bus.unit(kUnit)->signalPolarity = 0x0B; },
         get16("GetFanFailPolarity", false), {readByte(UNIT, 0x01)}, {byteValue(UNIT, 0x0B)}, "1"},
        {"SetFanFailPolarity", [](Bus& bus) { bus.unit(kUnit)->signalPolarity = 0x0B; },
         set<I2>("SetFanFailPolarity", 0, false, [](Bus& b) { return b.unit(kUnit)->signalPolarity; }),
         {readByte(UNIT, 0x01), writeByte(UNIT, 0x01, 0x0A)},
         {byteValue(UNIT, 0x0B), ack(UNIT, 0x05)}, "0 10"},
        {"GetGlobalDCGoodPolarity", [](Bus& bus) { bus.unit(kUnit)->signalPolarity = 0x09; },
         get16("GetGlobalDCGoodPolarity", false), {readByte(UNIT, 0x01)}, {byteValue(UNIT, 0x09)},
         "0"},
        {"SetGlobalDCGoodPolarity", [](Bus& bus) { bus.unit(kUnit)->signalPolarity = 0x09; },
         set<I2>("SetGlobalDCGoodPolarity", 1, false,
                 [](Bus& b) { return b.unit(kUnit)->signalPolarity; }),
         {readByte(UNIT, 0x01), writeByte(UNIT, 0x01, 0x0B)},
         {byteValue(UNIT, 0x09), ack(UNIT, 0x05)}, "1 11"},
        {"GetOTFailPolarity", [](Bus& bus) { bus.unit(kUnit)->signalPolarity = 0x08; },
         get16("GetOTFailPolarity", false), {readByte(UNIT, 0x01)}, {byteValue(UNIT, 0x08)}, "1"},
        {"SetOTFailPolarity", [](Bus& bus) { bus.unit(kUnit)->signalPolarity = 0x02; },
         set<I2>("SetOTFailPolarity", 1, false, [](Bus& b) { return b.unit(kUnit)->signalPolarity; }),
         {readByte(UNIT, 0x01), writeByte(UNIT, 0x01, 0x0A)},
         {byteValue(UNIT, 0x02), ack(UNIT, 0x05)}, "1 10"},
        {"GetDefaultOutputVoltage", [](Bus& bus) { bus.unit(kUnit)->module(1).defaultVoltage = 0xFFFE; },
         get16("GetDefaultOutputVoltage"), {readWord(1, 0x01)}, {wordValue(1, 0xFE, 0xFF)}, "-2"},
        {"SetDefaultOutputVoltage", {},
         set<I2>("SetDefaultOutputVoltage", 1200, true,
                 [](Bus& b) { return b.unit(kUnit)->module(1).defaultVoltage; }),
         {writeWord(1, 0x01, 0xB0, 0x04)}, {ack(1, 0x14)}, "1200 1200"},
        {"GetCurrentLimitMode", [](Bus& bus) { bus.unit(kUnit)->module(1).flags = 0x3E; },
         [](IDispatch* k, Bus&) {
             I2 mode = -99;
             I2 reset = -99;
             const CallResult r =
                 call(k, "GetCurrentLimitMode", kUnit, I2{1}, byRef(mode), byRef(reset));
             return Outcome{r, join({mode, reset})};
         },
         {readByte(1, 0x10)}, {byteValue(1, 0x3E)}, "2 1"},
        {"GetDefaultOutputOnOffPolarity", [](Bus& bus) { bus.unit(kUnit)->module(1).flags = 0x10; },
         get16("GetDefaultOutputOnOffPolarity"), {readByte(1, 0x10)}, {byteValue(1, 0x10)}, "1"},
        {"GetDefaultOutputOnOffState", [](Bus& bus) { bus.unit(kUnit)->module(1).flags = 0x1F; },
         get16("GetDefaultOutputOnOffState"), {readByte(1, 0x10)}, {byteValue(1, 0x1F)}, "0"},
        {"GetProgrammingMode", [](Bus& bus) { bus.unit(kUnit)->module(1).flags = 0x08; },
         get16("GetProgrammingMode"), {readByte(1, 0x10)}, {byteValue(1, 0x08)}, "1"},
        {"SetProgrammingMode", [](Bus& bus) { bus.unit(kUnit)->module(1).flags = 0x39; },
         set<I2>("SetProgrammingMode", 0, true, [](Bus& b) { return b.unit(kUnit)->module(1).flags; }),
         {readByte(1, 0x10), writeByte(1, 0x10, 0x31)}, {byteValue(1, 0x39), ack(1, 0x05)},
         "0 49"},
        {"GetOutputTurnONDelay", [](Bus& bus) { bus.unit(kUnit)->module(1).turnOnDelay = 0xC350; },
         get32("GetOutputTurnONDelay"), {readWord(1, 0x03)}, {wordValue(1, 0x50, 0xC3)}, "-15536"},
        {"SetOutputTurnONDelay", {},
         set<int>("SetOutputTurnONDelay", 50000, true, [](Bus& b) { return b.unit(kUnit)->module(1).turnOnDelay; }),
         {writeWord(1, 0x03, 0x50, 0xC3)}, {ack(1, 0x14)}, "50000 50000"},
        {"GetDefaultGlobalOutputState", [](Bus& bus) { bus.unit(kUnit)->defaults = 0x05; },
         get16("GetDefaultGlobalOutputState", false), {readByte(UNIT, 0x04)},
         {byteValue(UNIT, 0x05)}, "0"},
        {"SetDefaultGlobalOutputState", [](Bus& bus) { bus.unit(kUnit)->defaults = 0x05; },
         set<I2>("SetDefaultGlobalOutputState", 1, false, [](Bus& b) { return b.unit(kUnit)->defaults; }),
         {readByte(UNIT, 0x04), writeByte(UNIT, 0x04, 0x07)},
         {byteValue(UNIT, 0x05), ack(UNIT, 0x05)}, "1 7"},
        {"GetDefaultGlobalOutputPolarity", [](Bus& bus) { bus.unit(kUnit)->defaults = 0x05; },
         get16("GetDefaultGlobalOutputPolarity", false), {readByte(UNIT, 0x04)},
         {byteValue(UNIT, 0x05)}, "1"},
        {"SetDefaultGlobalOutputPolarity", [](Bus& bus) { bus.unit(kUnit)->defaults = 0x05; },
         set<I2>("SetDefaultGlobalOutputPolarity", 0, false,
                 [](Bus& b) { return b.unit(kUnit)->defaults; }),
         {readByte(UNIT, 0x04), writeByte(UNIT, 0x04, 0x04)},
         {byteValue(UNIT, 0x05), ack(UNIT, 0x05)}, "0 4"},
        {"GetDefaultGroupState", [](Bus& bus) { bus.unit(kUnit)->defaults = 0x04; },
         get16("GetDefaultGroupState", false), {readByte(UNIT, 0x04)}, {byteValue(UNIT, 0x04)},
         "1"},
        {"SetDefaultGroupState", [](Bus& bus) { bus.unit(kUnit)->defaults = 0x05; },
         set<I2>("SetDefaultGroupState", -1, false, [](Bus& b) { return b.unit(kUnit)->defaults; }),
         {readByte(UNIT, 0x04), writeByte(UNIT, 0x04, 0x01)},
         {byteValue(UNIT, 0x05), ack(UNIT, 0x05)}, "-1 1"},
        {"GetGroupTurnONDelay", [](Bus& bus) { bus.unit(kUnit)->groupTurnOnDelay = 750; },
         get16("GetGroupTurnONDelay", false), {readWord(UNIT, 0x05)}, {wordValue(UNIT, 0xEE, 0x02)},
         "750"},
        {"SetGroupTurnONDelay", {},
         set<I2>("SetGroupTurnONDelay", -1, false,
                 [](Bus& b) { return b.unit(kUnit)->groupTurnOnDelay; }),
         {writeWord(UNIT, 0x05, 0xFF, 0xFF)}, {ack(UNIT, 0x14)}, "-1 65535"},
        {"GetModuleGoodLowThreshold", [](Bus& bus) { bus.unit(kUnit)->module(1).goodLow = 1140; },
         get16("GetModuleGoodLowThreshold"), {readWord(1, 0x07)}, {wordValue(1, 0x74, 0x04)},
         "1140"},
        {"SetModuleGoodLowThreshold", {},
         set<I2>("SetModuleGoodLowThreshold", 1100, true, [](Bus& b) { return b.unit(kUnit)->module(1).goodLow; }),
         {writeWord(1, 0x07, 0x4C, 0x04)}, {ack(1, 0x14)}, "1100 1100"},
        {"GetModuleGoodHighThreshold", [](Bus& bus) { bus.unit(kUnit)->module(1).goodHigh = 1260; },
         get16("GetModuleGoodHighThreshold"), {readWord(1, 0x05)}, {wordValue(1, 0xEC, 0x04)},
         "1260"},
        {"SetModuleGoodHighThreshold", {},
         set<I2>("SetModuleGoodHighThreshold", 1300, true,
                 [](Bus& b) { return b.unit(kUnit)->module(1).goodHigh; }),
         {writeWord(1, 0x05, 0x14, 0x05)}, {ack(1, 0x14)}, "1300 1300"},
        {"GetCurrentLimit", [](Bus& bus) { bus.unit(kUnit)->module(1).currentLimit = 1000; },
         get16("GetCurrentLimit"), {readWord(1, 0x09)}, {wordValue(1, 0xE8, 0x03)}, "1000"},
        {"SetCurrentLimit", {},
         set<I2>("SetCurrentLimit", 800, true, [](Bus& b) { return b.unit(kUnit)->module(1).currentLimit; }),
         {writeWord(1, 0x09, 0x20, 0x03)}, {ack(1, 0x14)}, "800 800"},
        {"GetCurrentLimitONTime", [](Bus& bus) { bus.unit(kUnit)->module(1).limitOnTime = 0x8001; },
         get16("GetCurrentLimitONTime"), {readWord(1, 0x0B)}, {wordValue(1, 0x01, 0x80)},
         "-32767"},
        {"SetCurrentLimitONTime", {},
         set<I2>("SetCurrentLimitONTime", 300, true, [](Bus& b) { return b.unit(kUnit)->module(1).limitOnTime; }),
         {writeWord(1, 0x0B, 0x2C, 0x01)}, {ack(1, 0x14)}, "300 300"},
        {"GetCurrentLimitOFFTime", [](Bus& bus) { bus.unit(kUnit)->module(1).limitOffTime = 400; },
         get16("GetCurrentLimitOFFTime"), {readWord(1, 0x0D)}, {wordValue(1, 0x90, 0x01)}, "400"},
        {"SetCurrentLimitOFFTime", {},
         set<I2>("SetCurrentLimitOFFTime", 500, true,
                 [](Bus& b) { return b.unit(kUnit)->module(1).limitOffTime; }),
         {writeWord(1, 0x0D, 0xF4, 0x01)}, {ack(1, 0x14)}, "500 500"},
        {"GetGroupID", [](Bus& bus) { bus.unit(kUnit)->module(1).groupId = 0x06; }, get16("GetGroupID"),
         {readByte(1, 0x0F)}, {byteValue(1, 0x06)}, "2"},
        {"SetGroupID", [](Bus& bus) { bus.unit(kUnit)->module(1).groupId = 0xFF; },
         set<I2>("SetGroupID", 2, true, [](Bus& b) { return b.unit(kUnit)->module(1).groupId; }),
         {writeByte(1, 0x0F, 0x02)}, {ack(1, 0x05)}, "2 2"},
        {"SetCurrentLimitMode", [](Bus& bus) { bus.unit(kUnit)->module(1).flags = 0x39; },
         [](IDispatch* k, Bus& bus) {
             I2 mode = 2;
             I2 reset = 1;
             const CallResult r =
                 call(k, "SetCurrentLimitMode", kUnit, I2{1}, byRef(mode), byRef(reset));
             return Outcome{r, join({mode, reset, bus.unit(kUnit)->module(1).flags})};
         },
         {readByte(1, 0x10), writeByte(1, 0x10, 0x3E)}, {byteValue(1, 0x39), ack(1, 0x05)},
         "2 1 62"},
        {"SetDefaultOutputOnOffPolarity", [](Bus& bus) { bus.unit(kUnit)->module(1).flags = 0x39; },
         set<I2>("SetDefaultOutputOnOffPolarity", 0, true, [](Bus& b) { return b.unit(kUnit)->module(1).flags; }),
         {readByte(1, 0x10), writeByte(1, 0x10, 0x29)}, {byteValue(1, 0x39), ack(1, 0x05)},
         "0 41"},
        {"SetDefaultOutputOnOffState", [](Bus& bus) { bus.unit(kUnit)->module(1).flags = 0x39; },
         set<I2>("SetDefaultOutputOnOffState", 0, true, [](Bus& b) { return b.unit(kUnit)->module(1).flags; }),
         {readByte(1, 0x10), writeByte(1, 0x10, 0x19)}, {byteValue(1, 0x39), ack(1, 0x05)},
         "0 25"},
        {"GetOutputTurnONDelayExUShort", [](Bus& bus) { bus.unit(kUnit)->module(1).turnOnDelay = 0xC350; },
         get32("GetOutputTurnONDelayExUShort"), {readWord(1, 0x03)}, {wordValue(1, 0x50, 0xC3)},
         "50000"},
        {"SetOutputTurnONDelayExUShort", {},
         set<int>("SetOutputTurnONDelayExUShort", 50000, true,
                  [](Bus& b) { return b.unit(kUnit)->module(1).turnOnDelay; }),
         {writeWord(1, 0x03, 0x50, 0xC3)}, {ack(1, 0x14)}, "50000 50000"},
        {"GetCurrentLimitONTimeExUShort", [](Bus& bus) { bus.unit(kUnit)->module(1).limitOnTime = 0x8001; },
         get32("GetCurrentLimitONTimeExUShort"), {readWord(1, 0x0B)}, {wordValue(1, 0x01, 0x80)},
         "32769"},
        {"SetCurrentLimitONTimeExUShort", {},
         set<int>("SetCurrentLimitONTimeExUShort", 65535, true,
                  [](Bus& b) { return b.unit(kUnit)->module(1).limitOnTime; }),
         {writeWord(1, 0x0B, 0xFF, 0xFF)}, {ack(1, 0x14)}, "65535 65535"},
        {"GetCurrentLimitOFFTimeExUShort", [](Bus& bus) { bus.unit(kUnit)->module(1).limitOffTime = 0xFFFF; },
         get32("GetCurrentLimitOFFTimeExUShort"), {readWord(1, 0x0D)}, {wordValue(1, 0xFF, 0xFF)},
         "65535"},
        {"SetCurrentLimitOFFTimeExUShort", {},
         set<int>("SetCurrentLimitOFFTimeExUShort", 0x19C40, true,
                  [](Bus& b) { return b.unit(kUnit)->module(1).limitOffTime; }),
         {writeWord(1, 0x0D, 0x40, 0x9C)}, {ack(1, 0x14)}, "105536 40000"},

        // --- identity, versions and counters
        {"GetUnitID", {}, get16("GetUnitID", false), {readByte(UNIT, 0x07)},
         {byteValue(UNIT, 0x03)}, "3"},
        {"GetModuleType", [](Bus& bus) { bus.unit(kUnit)->module(1).type = 0xF0; }, get16("GetModuleType"),
         {readByte(1, 0xCC)}, {byteValue(1, 0xF0)}, "240"},
        {"GetModuleVersion", [](Bus& bus) { bus.unit(kUnit)->module(1).version = 0xFF; },
         [](IDispatch* k, Bus&) {
             I2 major = -99;
             I2 minor = -99;
             const CallResult r =
                 call(k, "GetModuleVersion", kUnit, I2{1}, byRef(major), byRef(minor));
             return Outcome{r, join({major, minor})};
         },
         {readByte(1, 0xCD)}, {byteValue(1, 0xFF)}, "7 31"},
        {"GetUnitVersion", [](Bus& bus) { bus.unit(kUnit)->version = 0x45; },
         [](IDispatch* k, Bus&) {
             I2 major = -99;
             I2 minor = -99;
             const CallResult r = call(k, "GetUnitVersion", kUnit, byRef(major), byRef(minor));
             return Outcome{r, join({major, minor})};
         },
         {readByte(UNIT, 0xCC)}, {byteValue(UNIT, 0x45)}, "2 5"},
        {"SetNewUnitID", {},
         [](IDispatch* k, Bus& bus) {
             I2 id = 7;
             const CallResult r = call(k, "SetNewUnitID", kUnit, byRef(id));
             return Outcome{r, join({id, bus.hasUnit(7), bus.hasUnit(3)})};
         },
         {{0x07, 0x03, 0x1F, 0x05, 0x07, 0x07, 0x72}}, {ack(UNIT, 0x05)}, "7 1 0"},
        {"GetOperatingHours", [](Bus& bus) { bus.unit(kUnit)->operatingHours = 0x01000F; },
         getText("GetOperatingHours"),
         {readByte(UNIT, 0xC9), readByte(UNIT, 0xCA), readByte(UNIT, 0xCB)},
         {byteValue(UNIT, 0x01), byteValue(UNIT, 0x00), byteValue(UNIT, 0x0F)}, "10F"},
        {"GetOperatingHoursString", [](Bus& bus) { bus.unit(kUnit)->operatingHours = 0x000100; },
         getText("GetOperatingHoursString"),
         {readByte(UNIT, 0xC9), readByte(UNIT, 0xCA), readByte(UNIT, 0xCB)},
         {byteValue(UNIT, 0x00), byteValue(UNIT, 0x01), byteValue(UNIT, 0x00)}, "256"},
        {"GetModuleSerialN",
         [](Bus& bus) { bus.unit(kUnit)->module(3).serial = {0x12, 0x34, 0x56, 0x78, 0x9A}; },
         getText("GetModuleSerialN", true),
         {frame(U, 3, 0x04, {0xCE}), frame(U, 3, 0x04, {0xCF}), frame(U, 3, 0x04, {0xD0}),
          frame(U, 3, 0x04, {0xD1}), frame(U, 3, 0x04, {0xD2})},
         {frame(U, 3, 0x04, {0x12}), frame(U, 3, 0x04, {0x34}), frame(U, 3, 0x04, {0x56}),
          frame(U, 3, 0x04, {0x78}), frame(U, 3, 0x04, {0x9A})},
         "21436587A9"},
        {"GetUnitSerialN", [](Bus& bus) { bus.unit(kUnit)->serial = {0x3A, 0x00, 0xFF, 0x10, 0x01}; },
         getText("GetUnitSerialN"),
         {readByte(UNIT, 0xCD), readByte(UNIT, 0xCE), readByte(UNIT, 0xCF), readByte(UNIT, 0xD0),
          readByte(UNIT, 0xD1)},
         {byteValue(UNIT, 0x3A), byteValue(UNIT, 0x00), byteValue(UNIT, 0xFF),
          byteValue(UNIT, 0x10), byteValue(UNIT, 0x01)},
         "A300FF0110"},
    };
    return cases;
}

class EveryOperation : public LinkOnBus, public ::testing::WithParamInterface<OpCase> {};

} // namespace

TEST_P(EveryOperation, SendsItsFramesAndConvertsTheReply)
{
    const OpCase& c = GetParam();
    if (c.setup) {
        c.setup(bus);
    }
    const Outcome out = c.run(link.get(), bus);
    EXPECT_EQ(out.result.hr, S_OK) << out.result.error;
    EXPECT_EQ(out.result.status, kCmdOk);
    EXPECT_EQ(sent(), c.requests);
    EXPECT_EQ(replies(), c.replies);
    EXPECT_EQ(out.values, c.values);
}

INSTANTIATE_TEST_SUITE_P(Unit, EveryOperation, ::testing::ValuesIn(operations()),
                         [](const auto& info) { return std::string(info.param.op); });

TEST(Interface, EveryOperationInInterfaceOrderAndEachOnceInTheTable)
{
    const std::vector<std::string> order = {"OpenPort",
                                            "ClosePort",
                                            "WhoAmI",
                                            "SetINIParams",
                                            "GetModuleGoodStatusByte",
                                            "GetOutputState",
                                            "SetOutputState",
                                            "SetGroupOutputState",
                                            "SetGroupVoltageSetpoint",
                                            "GetPresentModules",
                                            "GetMasterSlaveMode",
                                            "SetMasterSlaveMode",
                                            "GetUnitID",
                                            "GetFanFailPolarity",
                                            "SetFanFailPolarity",
                                            "GetGlobalDCGoodPolarity",
                                            "SetGlobalDCGoodPolarity",
                                            "GetOTFailPolarity",
                                            "SetOTFailPolarity",
                                            "GetDefaultOutputVoltage",
                                            "SetDefaultOutputVoltage",
                                            "GetCurrentLimitMode",
                                            "GetDefaultOutputOnOffPolarity",
                                            "GetDefaultOutputOnOffState",
                                            "GetProgrammingMode",
                                            "SetProgrammingMode",
                                            "GetOutputTurnONDelay",
                                            "SetOutputTurnONDelay",
                                            "GetDefaultGlobalOutputState",
                                            "SetDefaultGlobalOutputState",
                                            "GetDefaultGlobalOutputPolarity",
                                            "SetDefaultGlobalOutputPolarity",
                                            "GetDefaultGroupState",
                                            "SetDefaultGroupState",
                                            "GetGroupTurnONDelay",
                                            "SetGroupTurnONDelay",
                                            "GetModuleGoodLowThreshold",
                                            "SetModuleGoodLowThreshold",
                                            "GetModuleGoodHighThreshold",
                                            "SetModuleGoodHighThreshold",
                                            "GetCurrentLimit",
                                            "SetCurrentLimit",
                                            "GetCurrentLimitONTime",
                                            "SetCurrentLimitONTime",
                                            "GetCurrentLimitOFFTime",
                                            "SetCurrentLimitOFFTime",
                                            "GetGroupID",
                                            "SetGroupID",
                                            "GetModuleType",
                                            "GetModuleVersion",
                                            "GetUnitVersion",
                                            "GetGlobalStatusByte",
                                            "GetGlobalOutputState",
                                            "SetGlobalOutputState",
                                            "GetGroupState",
                                            "SetGroupState",
                                            "GetOutputVoltageSetpoint",
                                            "SetOutputVoltageSetpoint",
                                            "MeasureOutputCurrent",
                                            "MeasureOutputVoltage",
                                            "SetCurrentLimitMode",
                                            "SetDefaultOutputOnOffPolarity",
                                            "SetDefaultOutputOnOffState",
                                            "SetNewUnitID",
                                            "GetOperatingHours",
                                            "GetOperatingHoursString",
                                            "GetModuleSerialN",
                                            "GetUnitSerialN",
                                            "GetOutputTurnONDelayExUShort",
                                            "SetOutputTurnONDelayExUShort",
                                            "GetCurrentLimitONTimeExUShort",
                                            "SetCurrentLimitONTimeExUShort",
                                            "GetCurrentLimitOFFTimeExUShort",
                                            "SetCurrentLimitOFFTimeExUShort"};
    std::vector<std::string> declared;
    for (const auto& m : ikivoInterface().methods()) {
        declared.push_back(m.name);
        EXPECT_EQ(m.id, static_cast<int>(declared.size())) << m.name;
    }
    EXPECT_EQ(declared, order);

    // The table above holds every unit operation: all but the first four.
    std::vector<std::string> tabled;
    for (const OpCase& c : operations()) {
        tabled.push_back(c.op);
    }
    std::sort(tabled.begin(), tabled.end());
    std::vector<std::string> unitOps(order.begin() + 4, order.end());
    std::sort(unitOps.begin(), unitOps.end());
    EXPECT_EQ(tabled, unitOps);
}

namespace {

class Operations : public LinkOnBus {
protected:
    CallResult presentModules(Int16Array& a)
    {
        return call(link, "GetPresentModules", kUnit, byRef(a));
    }
};

} // namespace

// --- Module bit arrays
// -----------------------------------------------------------------------------

TEST_F(Operations, ArraysAreFilledFromTheirStartWhateverTheLowerBound)
{
    for (const std::int32_t lowerBound : {1, 0, -5}) {
        Int16Array a(lowerBound, 10);
        a[lowerBound + 8] = 7;
        a[lowerBound + 9] = 7;
        ASSERT_EQ(presentModules(a).status, kCmdOk);
        EXPECT_EQ(bits(a), "1010100077") << "lower bound " << lowerBound;
    }
    Int16Array byOne(1, 8);
    ASSERT_EQ(presentModules(byOne).status, kCmdOk);
    EXPECT_EQ(byOne[1], 1) << "element 1 carries bit 0";
    EXPECT_EQ(byOne[8], 0) << "element 8 carries bit 7";
}

TEST_F(Operations, AGetterRefusesAShortArrayAfterTheExchange)
{
    Int16Array seven(1, 7);
    const CallResult r = presentModules(seven);
    EXPECT_EQ(r.hr, E_FAIL);
    EXPECT_EQ(r.status, kCmdError) << "the last failure text, here the fresh object's";
    EXPECT_EQ(bits(seven), "0000000");
    EXPECT_EQ(sent().size(), 1u);
}

TEST_F(Operations, ASetterRefusesAShortArrayBeforeSendingAnything)
{
    object->link().statusText = kCmdCrcError;
    Int16Array master(1, 8);
    Int16Array slave(1, 7);
    const CallResult r = call(link, "SetMasterSlaveMode", kUnit, byRef(master), byRef(slave));
    EXPECT_EQ(r.hr, E_FAIL);
    EXPECT_EQ(r.status, kCmdCrcError);
    EXPECT_TRUE(sent().empty());
}

TEST_F(Operations, ArraysWithTheWrongShapeAreRefused)
{
    kivo::automation::SafeArrayBound bounds[2] = {{8, 1}, {2, 1}};
    kivo::automation::SafeArray* square =
        kivo::automation::SafeArrayCreate(kivo::automation::VT_I2, 2, bounds);
    kivo::automation::Variant arg[2] = {kivo::automation::Variant::i2(kUnit),
                                        kivo::automation::Variant::ref(&square)};
    const CallResult r = kivo::automation::invokeByName(link.get(), "GetOutputState", arg, 2);
    EXPECT_EQ(r.hr, E_FAIL);
    EXPECT_EQ(kivo::automation::SafeArrayDestroy(square), S_OK);

    kivo::automation::SafeArray* none = nullptr;
    kivo::automation::Variant nullArg[2] = {kivo::automation::Variant::i2(kUnit),
                                            kivo::automation::Variant::ref(&none)};
    EXPECT_EQ(kivo::automation::invokeByName(link.get(), "GetOutputState", nullArg, 2).hr, E_FAIL);
}

TEST_F(Operations, ALockedArrayIsStillFilledAndAnUnlockableOneIsNot)
{
    Int16Array held(1, 8);
    ASSERT_EQ(kivo::automation::SafeArrayLock(held.get()), S_OK);
    EXPECT_EQ(presentModules(held).hr, S_OK);
    EXPECT_EQ(bits(held), "10101000");
    EXPECT_EQ(held.get()->cLocks, 1u) << "the caller's lock is left as it was";
    ASSERT_EQ(kivo::automation::SafeArrayUnlock(held.get()), S_OK);

    Int16Array full(1, 8);
    full.get()->cLocks = 0xFFFF; // no further lock can be taken
    const CallResult r = presentModules(full);
    EXPECT_EQ(r.hr, E_UNEXPECTED);
    EXPECT_EQ(r.status, kCmdError);
    full.get()->cLocks = 0;
    EXPECT_EQ(bits(full), "00000000");
}

TEST_F(Operations, ARefusedSecondArrayLeavesTheFirstResult)
{
    bus.unit(kUnit)->masterSlave = 0x0003;
    Int16Array master(1, 8);
    Int16Array slave(1, 7);
    const CallResult r = call(link, "GetMasterSlaveMode", kUnit, byRef(master), byRef(slave));
    EXPECT_EQ(r.hr, E_FAIL);
    EXPECT_EQ(bits(master), "11000000");

    bus.unit(kUnit)->module(1).setPoint = 1111;
    I2 setPoint = 0;
    Int16Array inputs(1, 3);
    EXPECT_EQ(
        call(link, "GetOutputVoltageSetpoint", kUnit, I2{1}, byRef(setPoint), byRef(inputs)).hr,
        E_FAIL);
    EXPECT_EQ(setPoint, 1111);
}

TEST_F(Operations, ANonZeroElementSetsOnlyItsOwnBit)
{
    Int16Array master(1, 8);
    Int16Array slave(1, 8);
    master[2] = -1; // a caller's True
    slave[1] = 3;
    ASSERT_EQ(call(link, "SetMasterSlaveMode", kUnit, byRef(master), byRef(slave)).status, kCmdOk);
    EXPECT_EQ(bus.unit(kUnit)->masterSlave, 0x0102);
}

TEST_F(Operations, SwitchingSendsTheStateByteNeverTheBoolean)
{
    bus.unit(kUnit)->fitted[1] = kivo::unitsim::Module::ofType(1);
    const Bytes on = {0x06, 0x03, 0x02, 0x01, 0x1F, 0xEF};
    EXPECT_EQ(call(link, "SetOutputState", kUnit, I2{2}, true).status, kCmdOk);
    EXPECT_EQ(call(link, "SetOutputState", kUnit, I2{2}, I2{-1}).status, kCmdOk);
    EXPECT_EQ(call(link, "SetOutputState", kUnit, I2{2}, I2{1}).status, kCmdOk);
    EXPECT_EQ(call(link, "SetOutputState", kUnit, I2{2}, "7").status, kCmdOk);
    EXPECT_EQ(call(link, "SetOutputState", kUnit, I2{2}, false).status, kCmdOk);
    EXPECT_EQ(sent(), (std::vector<Bytes>{on, on, on, on, frame(U, 2, 0x01, {0x01})}));
}

// --- Read-modify-write setters
// ---------------------------------------------------------------------

// Where a setter's byte lives in the simulated unit.
enum class Byte { Polarity, Defaults, GlobalOutput, GroupState, ModuleFlags };

struct BitCase {
    const char* op;
    Byte where;
    I2 value;
    std::uint8_t before;
    std::optional<std::uint8_t> written; // nothing: no write
};

class ReadModifyWrite : public LinkOnBus, public ::testing::WithParamInterface<BitCase> {
protected:
    std::uint8_t& byteIn(Unit& u) const
    {
        switch (GetParam().where) {
        case Byte::Polarity:
            return u.signalPolarity;
        case Byte::Defaults:
            return u.defaults;
        case Byte::GlobalOutput:
            return u.globalOutputState;
        case Byte::GroupState:
            return u.groupState;
        case Byte::ModuleFlags:
            break;
        }
        return u.module(1).flags;
    }
};

TEST_P(ReadModifyWrite, WritesOnlyWhenTheBitDiffersAndOnlyThatBit)
{
    const BitCase& c = GetParam();
    byteIn(*bus.unit(kUnit)) = c.before;
    I2 value = c.value;
    const CallResult r = c.where == Byte::ModuleFlags ? call(link, c.op, kUnit, I2{1}, byRef(value))
                                                      : call(link, c.op, kUnit, byRef(value));
    EXPECT_EQ(r.status, kCmdOk);
    EXPECT_EQ(value, c.value) << "a setter only reads its argument";
    EXPECT_EQ(sent().size(), c.written ? 2u : 1u);
    EXPECT_EQ(byteIn(*bus.unit(kUnit)), c.written.value_or(c.before));
}

INSTANTIATE_TEST_SUITE_P(
    Setters, ReadModifyWrite,
    ::testing::Values(BitCase{"SetFanFailPolarity", Byte::Polarity, 1, 0x01, std::nullopt},
                      BitCase{"SetFanFailPolarity", Byte::Polarity, 1, 0xFE, 0xFF},
                      BitCase{"SetOTFailPolarity", Byte::Polarity, 1, 0x02, 0x0A},
                      BitCase{"SetOTFailPolarity", Byte::Polarity, 0, 0xF7, std::nullopt},
                      BitCase{"SetGlobalDCGoodPolarity", Byte::Polarity, 0, 0xFF, 0xFD},
                      BitCase{"SetDefaultGroupState", Byte::Defaults, -1, 0x04, 0x00},
                      BitCase{"SetDefaultGroupState", Byte::Defaults, -1, 0x00, 0x04},
                      BitCase{"SetDefaultGlobalOutputState", Byte::Defaults, 1, 0x02, std::nullopt},
                      BitCase{"SetDefaultGlobalOutputPolarity", Byte::Defaults, 1, 0xF0, 0xF1},
                      BitCase{"SetGlobalOutputState", Byte::GlobalOutput, 1, 0x02, std::nullopt},
                      BitCase{"SetGlobalOutputState", Byte::GlobalOutput, 2, 0x02, 0x00},
                      BitCase{"SetGlobalOutputState", Byte::GlobalOutput, 2, 0x00, 0x02},
                      BitCase{"SetGroupState", Byte::GroupState, 1, 0x00, 0x04},
                      BitCase{"SetProgrammingMode", Byte::ModuleFlags, 1, 0x08, std::nullopt},
                      BitCase{"SetProgrammingMode", Byte::ModuleFlags, 1, 0xF7, 0xFF},
                      BitCase{"SetDefaultOutputOnOffPolarity", Byte::ModuleFlags, 1, 0x00, 0x10},
                      BitCase{"SetDefaultOutputOnOffState", Byte::ModuleFlags, 0, 0xFF, 0xDF}),
    [](const auto& info) { return std::string(info.param.op) + std::to_string(info.index); });

TEST_F(Operations, CurrentLimitModeKeepsTheOtherFlags)
{
    struct Case {
        I2 mode;
        I2 reset;
        std::uint8_t before;
        std::uint8_t after;
        std::size_t frames;
    };
    for (const Case& c :
         {Case{2, 1, 0x39, 0x3E, 2}, Case{1, 0, 0x39, 0x39, 1}, Case{3, 1, 0x00, 0x07, 2},
          Case{7, 1, 0x38, 0x3F, 2}, Case{0, -1, 0xF8, 0xFC, 2}}) {
        server->clearLog();
        bus.unit(kUnit)->module(1).flags = c.before;
        I2 mode = c.mode;
        I2 reset = c.reset;
        EXPECT_EQ(call(link, "SetCurrentLimitMode", kUnit, I2{1}, byRef(mode), byRef(reset)).status,
                  kCmdOk);
        EXPECT_EQ(bus.unit(kUnit)->module(1).flags, c.after) << int(c.mode) << " " << int(c.reset);
        EXPECT_EQ(sent().size(), c.frames);
    }
}

TEST_F(Operations, AFailedReadWritesNothingAndAFailedWriteTellsItsOwnFailure)
{
    bus.unit(kUnit)->signalPolarity = 0x00;
    setParams(1, 2);
    server->faults().add({.cid = 0x04, .kind = Fault::NoReply, .times = Fault::always});
    I2 value = 1;
    EXPECT_EQ(call(link, "SetFanFailPolarity", kUnit, byRef(value)).status, kCmdNoResponse);
    EXPECT_EQ(sent().size(), 2u) << "two attempts at the read, no write";

    server->faults().clear();
    server->clearLog();
    server->faults().add({.cid = 0x05, .kind = Fault::BadCrc, .times = Fault::always});
    EXPECT_EQ(call(link, "SetFanFailPolarity", kUnit, byRef(value)).status, kCmdCrcError);
    EXPECT_EQ(sent().size(), 3u) << "one read, two attempts at the write";
}

// --- Getters that clear their value and reads of several registers
// ---------------------------------

TEST_F(Operations, TwoGettersClearTheirValueEvenWhenNoUnitAnswers)
{
    setParams(1, 1);
    server->faults().add({.kind = Fault::NoReply, .times = Fault::always});
    I2 setPoint = 1234;
    Int16Array inputs(1, 8);
    EXPECT_EQ(
        call(link, "GetOutputVoltageSetpoint", kUnit, I2{1}, byRef(setPoint), byRef(inputs)).status,
        kCmdNoResponse);
    EXPECT_EQ(setPoint, 0);
    I2 limit = 1234;
    EXPECT_EQ(call(link, "GetCurrentLimit", kUnit, I2{1}, byRef(limit)).status, kCmdNoResponse);
    EXPECT_EQ(limit, 0);
    I2 other = 1234;
    EXPECT_EQ(call(link, "GetCurrentLimitOFFTime", kUnit, I2{1}, byRef(other)).status,
              kCmdNoResponse);
    EXPECT_EQ(other, 1234) << "any other getter leaves it alone";
}

TEST_F(Operations, ATextComesBackOnlyWhenEveryRegisterWasRead)
{
    setParams(1, 1);
    server->faults().add({.reg = 0xCF, .kind = Fault::NoReply, .times = Fault::always});
    std::string serial = "unchanged";
    EXPECT_EQ(call(link, "GetUnitSerialN", kUnit, byRef(serial)).status, kCmdNoResponse);
    EXPECT_EQ(serial, "unchanged");
    EXPECT_EQ(sent().size(), 3u);
}

TEST_F(Operations, EachRegisterOfATextHasItsOwnRetries)
{
    for (std::uint8_t reg = 0xCD; reg <= 0xD1; ++reg) {
        server->faults().add({.reg = reg, .kind = Fault::BadCrc, .times = 1});
    }
    std::string serial;
    EXPECT_EQ(call(link, "GetUnitSerialN", kUnit, byRef(serial)).status, kCmdOk);
    EXPECT_EQ(serial.size(), 10u);
    EXPECT_EQ(sent().size(), 10u);
}

TEST_F(Operations, HoursAboveFifteenShowAsAQuestionMark)
{
    bus.unit(kUnit)->operatingHours = 0x10020F;
    std::string hours;
    EXPECT_EQ(call(link, "GetOperatingHours", kUnit, byRef(hours)).status, kCmdOk);
    EXPECT_EQ(hours, "?2F");
    EXPECT_EQ(call(link, "GetOperatingHoursString", kUnit, byRef(hours)).status, kCmdOk);
    EXPECT_EQ(hours, std::to_string(0x10020F));
}

// --- The object, its port and its identity
// ---------------------------------------------------------

TEST(Object, AFreshObjectHasTheDefaults)
{
    FakeTiming timing;
    auto link = Kivo::create(timing);
    Link& state = static_cast<Kivo*>(link.get())->link();
    EXPECT_EQ(state.readTimeout, 2000u);
    EXPECT_EQ(state.retryCount, 5);
    EXPECT_EQ(state.portHandle, nullptr);
    EXPECT_EQ(state.statusText, kCmdError);
    I2 id = 0;
    EXPECT_EQ(call(link, "GetUnitID", kUnit, byRef(id)).status, kCmdError);
    EXPECT_EQ(timing.sleeps.size(), 5u);
}

TEST(Object, SetIniParamsTakesSecondsAndAttempts)
{
    FakeTiming timing;
    auto link = Kivo::create(timing);
    Link& state = static_cast<Kivo*>(link.get())->link();
    struct Case {
        I2 seconds, retries;
        std::uint32_t timeout;
    };
    for (const Case& c :
         {Case{2, 3, 2000}, Case{0, 1, 0}, Case{32767, -4, 32767000}, Case{-1, 5, 0}}) {
        const CallResult r = call(link, "SetINIParams", c.seconds, c.retries);
        EXPECT_EQ(r.hr, S_OK);
        EXPECT_EQ(r.status, "") << "no result";
        EXPECT_EQ(state.readTimeout, c.timeout);
        EXPECT_EQ(state.retryCount, c.retries);
    }
    EXPECT_EQ(call(link, "setiniparams", "3", 2.0).hr, S_OK) << "by the automation rules";
    EXPECT_EQ(state.readTimeout, 3000u);
}

TEST(Object, WhoAmITouchesNeitherPortNorFailureText)
{
    kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
    kivo::unitsim::PtyServer server(bus);
    FakeTiming timing;
    auto link = Kivo::create(timing);
    const std::string text =
        "Kivo ActiveX DLL Unicode Release Version 2.01, Compiled on Feb 04 2004";
    EXPECT_EQ(call(link, "WhoAmI").status, text);
    ASSERT_EQ(call(link, "OpenPort", server.path()).status, kCmdOk);
    EXPECT_EQ(call(link, "whoami").status, text);
    EXPECT_TRUE(server.log().empty());
    EXPECT_EQ(static_cast<Kivo*>(link.get())->link().statusText, kCmdError);
}

TEST(Object, TwoObjectsShareOnlyTheRtsDelay)
{
    kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
    kivo::unitsim::PtyServer server(bus);
    FakeTiming timing;
    auto first = Kivo::create(timing);
    auto second = Kivo::create(timing);
    ASSERT_EQ(call(first, "OpenPort", server.path()).status, kCmdOk);
    ASSERT_TRUE(call(first, "SetINIParams", I2{1}, I2{1}).ok());
    static_cast<Kivo*>(first.get())->link().readTimeout = kShortReadTimeoutMs;
    server.faults().add({.kind = Fault::NoReply});
    I2 id = 0;
    EXPECT_EQ(call(first, "GetUnitID", kUnit, byRef(id)).status, kCmdNoResponse);

    const Link& other = static_cast<Kivo*>(second.get())->link();
    EXPECT_EQ(other.readTimeout, 2000u);
    EXPECT_EQ(other.retryCount, 5);
    EXPECT_EQ(other.portHandle, nullptr);
    EXPECT_EQ(other.statusText, kCmdError);
    EXPECT_NE(call(second, "OpenPort", server.path()).status, kCmdOk) << "the port is taken";

    timing.spins.clear();
    const int previous = rtsToggleInterval();
    setRtsToggleInterval(7);
    EXPECT_EQ(call(first, "GetUnitID", kUnit, byRef(id)).status, kCmdOk);
    ASSERT_EQ(call(first, "ClosePort").status, kCmdOk);
    ASSERT_EQ(call(second, "OpenPort", server.path()).status, kCmdOk);
    EXPECT_EQ(call(second, "GetUnitID", kUnit, byRef(id)).status, kCmdOk);
    setRtsToggleInterval(previous);
    EXPECT_EQ(timing.spins, (std::vector<double>{7, 7}));
}

TEST(Port, OpenAndCloseByName)
{
    kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
    kivo::unitsim::PtyServer server(bus);
    FakeTiming timing;
    auto link = Kivo::create(timing);
    Link& state = static_cast<Kivo*>(link.get())->link();

    EXPECT_EQ(call(link, "ClosePort").status, kCmdOk) << "without a port too";
    EXPECT_EQ(call(link, "OpenPort", "/dev/kivo-no-such-port").status, kCmdError);
    EXPECT_EQ(call(link, "OpenPort", "/dev/null").status, kCmdError) << "not a terminal";
    EXPECT_EQ(call(link, "OpenPort", static_cast<const char*>(nullptr)).status, kCmdError);
    EXPECT_EQ(state.portHandle, nullptr);

    EXPECT_EQ(call(link, "OPENPORT", server.path()).status, kCmdOk);
    I2 id = 0;
    EXPECT_EQ(call(link, "getunitid", kUnit, byRef(id)).status, kCmdOk);
    EXPECT_EQ(id, 3);
    EXPECT_EQ(call(link, "ClosePort").status, kCmdOk);
    EXPECT_EQ(state.portHandle, nullptr);
    EXPECT_EQ(call(link, "GetUnitID", kUnit, byRef(id)).status, kCmdError);
}

TEST(Port, OpeningAgainLetsTheHeldPortGoFirst)
{
    kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
    kivo::unitsim::PtyServer server(bus);
    FakeTiming timing;
    auto link = Kivo::create(timing);
    ASSERT_EQ(call(link, "OpenPort", server.path()).status, kCmdOk);
    EXPECT_EQ(call(link, "OpenPort", server.path()).status, kCmdOk) << "the same port again";
    I2 id = 0;
    EXPECT_EQ(call(link, "GetUnitID", kUnit, byRef(id)).status, kCmdOk);

    // A failed open lets the old port go as well, so another object can take it.
    EXPECT_EQ(call(link, "OpenPort", "/dev/kivo-no-such-port").status, kCmdError);
    auto other = Kivo::create(timing);
    EXPECT_EQ(call(other, "OpenPort", server.path()).status, kCmdOk);
}

TEST(Port, ReleasingTheObjectClosesTheLineBehindIt)
{
    kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
    kivo::unitsim::PtyServer server(bus);
    FakeTiming timing;
    {
        auto link = Kivo::create(timing);
        ASSERT_EQ(call(link, "OpenPort", server.path()).status, kCmdOk);
    }
    auto next = Kivo::create(timing);
    EXPECT_EQ(call(next, "OpenPort", server.path()).status, kCmdOk);
}
