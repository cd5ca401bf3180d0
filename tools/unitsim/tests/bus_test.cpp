#include "tools/unitsim/bus.h"

#include "tools/unitsim/module_types.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kivo::unitsim;
using namespace std::chrono_literals;

namespace {

class BusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bus.setClock([this] { return now; });
    }

    // The data of an accepted request; a refusal or silence fails the test.
    Bytes ok(const Frame& request)
    {
        const auto reply = bus.handle(pack(request));
        if (!reply) {
            ADD_FAILURE() << "no reply to CID " << int(request.cid);
            return {};
        }
        const Frame r = unpack(*reply);
        EXPECT_TRUE(isValidFrame(*reply));
        EXPECT_EQ(r.cid, request.cid) << "refused";
        EXPECT_EQ(r.uid, request.uid);
        EXPECT_EQ(r.mid, request.mid);
        return r.data;
    }

    bool refused(const Frame& request)
    {
        const auto reply = bus.handle(pack(request));
        return reply && *reply == pack({request.uid, request.mid, cid::kError, {}});
    }

    std::uint8_t readByte(int uid, int mid, int cidCode)
    {
        const Bytes d = ok({std::uint8_t(uid), std::uint8_t(mid), std::uint8_t(cidCode), {}});
        return d.size() == 1 ? d[0] : 0xEE;
    }

    std::uint16_t readWord(int uid, int mid, int cidCode, Bytes data = {})
    {
        const Bytes d = ok({std::uint8_t(uid), std::uint8_t(mid), std::uint8_t(cidCode), data});
        return d.size() == 2 ? joinWord(d[0], d[1]) : 0xEEEE;
    }

    void switchOutput(int uid, int slot, bool on)
    {
        ok({std::uint8_t(uid),
            std::uint8_t(slot),
            cid::kSwitchOutput,
            {on ? kStateOn : kStateOff}});
    }

    Bus bus = Bus::defaultBus();
    Clock::time_point now{std::chrono::hours(1)};
};

// A unit 3 with all five slots fitted, as the worked frames assume.
Bus fullUnitThree()
{
    Bus bus;
    Unit u;
    u.id = 3;
    u.signalPolarity = 0x0A;
    for (int type = 1; type <= 5; ++type)
        u.fitted[type - 1] = Module::ofType(type);
    u.fitted[1]->outputOn = false;
    bus.add(u);
    return bus;
}

} // namespace

TEST(Bus, AnswersTheWorkedFrames)
{
    Bus bus = fullUnitThree();
    struct Case {
        const char* what;
        Bytes request;
        Bytes reply;
    };
    const Case cases[] = {
        {"switch module 2 on", {0x06, 0x03, 0x02, 0x01, 0x1F, 0xEF}, pack({3, 2, 0x01, {}})},
        {"read the signal polarities",
         {0x06, 0x03, 0x1F, 0x04, 0x01, 0xC7},
         pack({3, 0x1F, 0x04, {0x0A}})},
        {"read the module-good status",
         {0x05, 0x03, 0x1F, 0x0B, 0x56},
         pack({3, 0x1F, 0x0B, {0x1F}})},
        {"write master/slave 0x0001",
         {0x08, 0x03, 0x1F, 0x14, 0x02, 0x01, 0x00, 0x6F},
         pack({3, 0x1F, 0x14, {}})},
        {"new unit ID 7, answered as unit 3",
         {0x07, 0x03, 0x1F, 0x05, 0x07, 0x07, 0x72},
         pack({3, 0x1F, 0x05, {}})},
    };
    for (const auto& c : cases) {
        const auto reply = bus.handle(c.request);
        ASSERT_TRUE(reply) << c.what;
        EXPECT_EQ(*reply, c.reply) << c.what;
    }
    EXPECT_EQ(bus.unit(7)->masterSlave, 0x0001);
    EXPECT_TRUE(bus.unit(7)->module(2).outputOn);
}

TEST_F(BusTest, RepliesHaveTheLengthsThePcExpects)
{
    struct Case {
        Frame request;
        std::size_t length;
    };
    const Case cases[] = {
        {{1, 2, 0x01, {kStateOn}}, 5},
        {{1, 2, 0x02, {}}, 7},
        {{1, 2, 0x03, {}}, 7},
        {{1, 0x1F, 0x04, {0xC8}}, 6},
        {{1, 2, 0x04, {0xCC}}, 6},
        {{1, 0x1F, 0x05, {0x01, 0x00}}, 5},
        {{1, 2, 0x07, {0xB0, 0x04}}, 5},
        {{1, 0x1F, 0x09, {}}, 6},
        {{1, 2, 0x0A, {}}, 8},
        {{1, 0x1F, 0x0B, {}}, 6},
        {{1, 0x1F, 0x0C, {}}, 6},
        {{1, 0x1F, 0x0E, {0x02}}, 5},
        {{1, 0x1F, 0x10, {0x04}}, 5},
        {{1, 0x1F, 0x13, {0x05}}, 7},
        {{1, 2, 0x13, {0x03}}, 7},
        {{1, 0x1F, 0x14, {0x05, 0x00, 0x01}}, 5},
        {{1, 0x1F, 0x15, {}}, 6},
        {{1, 0x1F, 0x16, {}}, 6},
        {{1, 0x00, 0x01, {1, kStateOn}}, 5},
        {{1, 0x00, 0x07, {1, 0xB0, 0x04}}, 5},
    };
    for (const auto& c : cases) {
        const auto reply = bus.handle(pack(c.request));
        ASSERT_TRUE(reply) << "CID " << int(c.request.cid);
        EXPECT_TRUE(isValidFrame(*reply));
        EXPECT_EQ(reply->size(), c.length)
            << "CID " << int(c.request.cid) << " MID " << int(c.request.mid);
        EXPECT_EQ((*reply)[3], c.request.cid) << "CID " << int(c.request.cid);
    }
}

TEST_F(BusTest, RegistersRoundTripWordsLowByteFirst)
{
    struct Case {
        int mid;
        std::uint8_t reg;
        bool word;
        std::function<unsigned(Unit&)> field;
    };
    const Case cases[] = {
        {0x1F, 0x01, false, [](Unit& u) { return u.signalPolarity; }},
        {0x1F, 0x04, false, [](Unit& u) { return u.defaults; }},
        {2, 0x0F, false, [](Unit& u) { return u.module(2).groupId; }},
        {2, 0x10, false, [](Unit& u) { return u.module(2).flags; }},
        {0x1F, 0x02, true, [](Unit& u) { return u.masterSlave; }},
        {0x1F, 0x05, true, [](Unit& u) { return u.groupTurnOnDelay; }},
        {4, 0x01, true, [](Unit& u) { return u.module(4).defaultVoltage; }},
        {4, 0x03, true, [](Unit& u) { return u.module(4).turnOnDelay; }},
        {4, 0x05, true, [](Unit& u) { return u.module(4).goodHigh; }},
        {4, 0x07, true, [](Unit& u) { return u.module(4).goodLow; }},
        {4, 0x09, true, [](Unit& u) { return u.module(4).currentLimit; }},
        {4, 0x0B, true, [](Unit& u) { return u.module(4).limitOnTime; }},
        {4, 0x0D, true, [](Unit& u) { return u.module(4).limitOffTime; }},
    };
    for (const auto& c : cases) {
        const Bytes value = c.word ? Bytes{0x50, 0xC3} : Bytes{0xA5};
        Bytes write{c.reg};
        write.insert(write.end(), value.begin(), value.end());
        const auto mid = std::uint8_t(c.mid);
        ok({1, mid, c.word ? cid::kWriteWord : cid::kWriteByte, write});
        EXPECT_EQ(ok({1, mid, c.word ? cid::kReadWord : cid::kReadByte, {c.reg}}), value)
            << int(c.reg);
        EXPECT_EQ(c.field(*bus.unit(1)), c.word ? 0xC350u : 0xA5u) << int(c.reg);
    }
}

TEST_F(BusTest, FactoryRegistersAreReadOnly)
{
    {
        auto u = bus.unit(1);
        u->operatingHours = 0x01000F;
        u->version = 0x45;
        u->serial = {0x12, 0x34, 0x56, 0x78, 0x9A};
        u->module(3).type = 3;
        u->module(3).version = 0x23;
        u->module(3).serial = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
    }
    struct Case {
        int mid;
        std::uint8_t reg;
        std::uint8_t value;
    };
    const Case cases[] = {
        {0x1F, 0xC8, 0x1F}, {0x1F, 0xC9, 0x01}, {0x1F, 0xCA, 0x00}, {0x1F, 0xCB, 0x0F},
        {0x1F, 0xCC, 0x45}, {0x1F, 0xCD, 0x12}, {0x1F, 0xCF, 0x56}, {0x1F, 0xD1, 0x9A},
        {3, 0xCC, 0x03},    {3, 0xCD, 0x23},    {3, 0xCE, 0xA1},    {3, 0xD2, 0xA5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ok({1, std::uint8_t(c.mid), cid::kReadByte, {c.reg}}), Bytes{c.value})
            << int(c.reg);
        EXPECT_TRUE(refused({1, std::uint8_t(c.mid), cid::kWriteByte, {c.reg, 0x00}}))
            << int(c.reg);
        EXPECT_EQ(ok({1, std::uint8_t(c.mid), cid::kReadByte, {c.reg}}), Bytes{c.value})
            << int(c.reg);
    }
}

TEST_F(BusTest, RefusesWhatTheUnitDoesNotKnow)
{
    struct Case {
        const char* what;
        Frame request;
    };
    const Case cases[] = {
        {"unknown command", {1, 0x1F, 0x06, {}}},
        {"error code as a request", {1, 0x1F, 0x18, {}}},
        {"command 0xFF", {1, 2, 0xFF, {}}},
        {"byte read without its register", {1, 0x1F, 0x04, {}}},
        {"unknown unit byte register", {1, 0x1F, 0x04, {0x03}}},
        {"unknown module word register", {1, 2, 0x13, {0x02}}},
        {"byte read of a word register", {1, 0x1F, 0x04, {0x02}}},
        {"word read of a byte register", {1, 2, 0x13, {0x0F}}},
        {"word write of a byte register", {1, 0x1F, 0x14, {0x01, 0x00, 0x00}}},
        {"unit register on a module", {1, 2, 0x04, {0xC8}}},
        {"module command on the unit", {1, 0x1F, 0x01, {kStateOn}}},
        {"unit command on a module", {1, 2, 0x09, {}}},
        {"switch without its state", {1, 2, 0x01, {}}},
        {"switch with an unknown state", {1, 2, 0x01, {0x00}}},
        {"set point of one byte", {1, 2, 0x07, {0x10}}},
        {"status read with data", {1, 0x1F, 0x0C, {0x00}}},
        {"global output without its byte", {1, 0x1F, 0x0E, {}}},
        {"module slot not fitted", {3, 2, 0x02, {}}},
        {"module slot 6", {1, 6, 0x02, {}}},
        {"group read", {1, 0x00, 0x02, {1}}},
        {"group switch without its state", {1, 0x00, 0x01, {1}}},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(refused(c.request)) << c.what;
}

TEST_F(BusTest, SilentWhenNoUnitShouldAnswer)
{
    Bytes badCrc = pack({1, 0x1F, 0x0B, {}});
    badCrc.back() ^= 0x01;
    Bytes lenTooLong = pack({1, 0x1F, 0x0B, {}});
    lenTooLong[0] = 6;
    EXPECT_FALSE(bus.handle(pack({2, 0x1F, 0x0B, {}})));
    EXPECT_FALSE(bus.handle(pack({0, 0x1F, 0x0B, {}})));
    EXPECT_FALSE(bus.handle(badCrc));
    EXPECT_FALSE(bus.handle(lenTooLong));
    EXPECT_FALSE(bus.handle(Bytes{}));
}

TEST_F(BusTest, OutputStatesFollowTheSwitches)
{
    EXPECT_EQ(readByte(1, 0x1F, cid::kOutputStates), 0x1F);
    switchOutput(1, 2, false);
    switchOutput(1, 5, false);
    EXPECT_EQ(readByte(1, 0x1F, cid::kOutputStates), 0x0D);
    switchOutput(1, 5, true);
    EXPECT_EQ(readByte(1, 0x1F, cid::kOutputStates), 0x1D);
    EXPECT_FALSE(bus.unit(1)->module(2).outputOn);
    // Unit 3 has slots 1, 3 and 5; the one in slot 5 is off.
    EXPECT_EQ(readByte(3, 0x1F, cid::kOutputStates), 0x05);
    EXPECT_EQ(readByte(3, 0x1F, cid::kGlobalStatus) & 0x08, 0x08);
}

TEST_F(BusTest, GlobalOutputAndGroupStateFollowTheirWrites)
{
    EXPECT_EQ(readByte(1, 0x1F, cid::kGlobalOutput), 0x02);
    EXPECT_EQ(readByte(1, 0x1F, cid::kGroupState), 0x04);
    ok({1, 0x1F, cid::kSetGlobalOutput, {0x81}});
    ok({1, 0x1F, cid::kSetGroupState, {0x03}});
    EXPECT_EQ(readByte(1, 0x1F, cid::kGlobalOutput), 0x81);
    EXPECT_EQ(readByte(1, 0x1F, cid::kGroupState), 0x03);

    // The global output off holds every output at 0 (the modules themselves no longer answer);
    // the modules' own switches stay as they are.
    EXPECT_EQ(bus.unit(1)->measuredVoltage(1), 0);
    EXPECT_EQ(bus.unit(1)->measuredCurrent(1), 0);
    EXPECT_EQ(readByte(1, 0x1F, cid::kModuleGood), 0x00);
    EXPECT_EQ(readByte(1, 0x1F, cid::kOutputStates), 0x1F);

    ok({1, 0x1F, cid::kSetGlobalOutput, {0x02}});
    EXPECT_EQ(readWord(1, 1, cid::kMeasureVoltage), bus.unit(1)->module(1).setPoint);
    // The other units are not touched.
    EXPECT_EQ(readByte(3, 0x1F, cid::kGlobalOutput), 0x02);
}

TEST_F(BusTest, ModulesHeldOffByTheGlobalOutputDoNotAnswer)
{
    // Unit 3: slots 1, 3 and 5 fitted, 1 and 3 in group 1.
    ok({3, 0x1F, cid::kSetGlobalOutput, {0x00}});
    const Unit before = *bus.unit(3);
    struct Case {
        const char* what;
        Frame request;
    };
    const Case toAModule[] = {
        {"module type", {3, 1, cid::kReadByte, {0xCC}}},
        {"serial number", {3, 3, cid::kReadByte, {0xCE}}},
        {"group ID", {3, 5, cid::kReadByte, {0x0F}}},
        {"group ID written", {3, 1, cid::kWriteByte, {0x0F, 0x02}}},
        {"turn-on delay", {3, 1, cid::kReadWord, {0x03}}},
        {"current limit written", {3, 3, cid::kWriteWord, {0x09, 0x10, 0x00}}},
        {"switch", {3, 5, cid::kSwitchOutput, {kStateOn}}},
        {"voltage", {3, 1, cid::kMeasureVoltage, {}}},
        {"current", {3, 1, cid::kMeasureCurrent, {}}},
        {"set point written", {3, 3, cid::kSetSetPoint, {0x10, 0x00}}},
        {"set point read", {3, 3, cid::kSetPointInputs, {}}},
        {"a request it would refuse", {3, 1, 0x09, {}}},
    };
    for (const auto& c : toAModule)
        EXPECT_FALSE(bus.handle(pack(c.request))) << c.what;

    // The unit itself answers, the empty slots included; a group command is acknowledged and
    // reaches no module.
    EXPECT_TRUE(refused({3, 0x1F, cid::kReadByte, {0x03}})) << "no such register";
    EXPECT_EQ(ok({3, 0x1F, cid::kReadByte, {0xC8}}), Bytes{0x15});
    EXPECT_EQ(readByte(3, 0x1F, cid::kOutputStates), 0x05);
    EXPECT_EQ(readByte(3, 0x1F, cid::kModuleGood), 0x00);
    EXPECT_EQ(readByte(3, 0x1F, cid::kGlobalOutput), 0x00);
    EXPECT_TRUE(refused({3, 2, cid::kMeasureVoltage, {}})) << "slot 2 is empty";
    ok({3, 0x00, cid::kSwitchOutput, {1, kStateOff}});
    ok({3, 0x00, cid::kSetSetPoint, {1, 0x10, 0x00}});
    EXPECT_TRUE(refused({3, 0x00, cid::kSwitchOutput, {1}}));
    // Another unit's modules are not held off.
    EXPECT_EQ(readWord(1, 1, cid::kMeasureVoltage), bus.unit(1)->module(1).setPoint);

    // Back on, the modules answer with what they held.
    ok({3, 0x1F, cid::kSetGlobalOutput, {0x02}});
    for (int slot : {1, 3, 5}) {
        const Module& was = before.module(slot);
        auto u = bus.unit(3);
        EXPECT_EQ(u->module(slot).outputOn, was.outputOn) << slot;
        EXPECT_EQ(u->module(slot).setPoint, was.setPoint) << slot;
        EXPECT_EQ(u->module(slot).groupId, was.groupId) << slot;
        EXPECT_EQ(u->module(slot).currentLimit, was.currentLimit) << slot;
    }
    EXPECT_EQ(ok({3, 1, cid::kReadByte, {0xCC}}), Bytes{before.module(1).type});
    EXPECT_EQ(readWord(3, 1, cid::kMeasureVoltage), before.module(1).setPoint);
}

TEST_F(BusTest, MeasurementsFollowTheSetPointIntoTheLoad)
{
    // Slot 2 of unit 1: 12 V type, 100 counts per volt and per ampere, 2.4 ohm load.
    ASSERT_EQ(bus.unit(1)->module(2).type, 2);
    bus.unit(1)->module(2).controlInputs = 0x06;
    EXPECT_EQ(ok({1, 2, cid::kSetPointInputs, {}}), (Bytes{0xB0, 0x04, 0x06})); // 1200
    EXPECT_EQ(readWord(1, 2, cid::kMeasureVoltage), 1200);
    EXPECT_EQ(readWord(1, 2, cid::kMeasureCurrent), 500); // 12 V / 2.4 ohm

    ok({1, 2, cid::kSetSetPoint, {0xE8, 0x03}}); // 1000: 10 V
    EXPECT_EQ(ok({1, 2, cid::kSetPointInputs, {}}), (Bytes{0xE8, 0x03, 0x06}));
    EXPECT_EQ(readWord(1, 2, cid::kMeasureVoltage), 1000);
    EXPECT_EQ(readWord(1, 2, cid::kMeasureCurrent), 417);

    switchOutput(1, 2, false);
    EXPECT_EQ(readWord(1, 2, cid::kMeasureVoltage), 0);
    EXPECT_EQ(readWord(1, 2, cid::kMeasureCurrent), 0);
    EXPECT_EQ(ok({1, 2, cid::kSetPointInputs, {}}), (Bytes{0xE8, 0x03, 0x06}));
}

TEST_F(BusTest, AnOverloadIsHeldAtTheCurrentLimit)
{
    bus.unit(1)->module(2).loadOhms = 0.6; // 20 A wanted, the limit is 10 A (1000 counts)
    EXPECT_EQ(readWord(1, 2, cid::kMeasureCurrent), 1000);
    EXPECT_EQ(readWord(1, 2, cid::kMeasureVoltage), 600); // 10 A into 0.6 ohm
    const auto status = readByte(1, 0x1F, cid::kGlobalStatus);
    EXPECT_EQ(status & 0x10, 0) << "global current limit";
    EXPECT_EQ(status & 0x08, 0) << "global DC good";
    EXPECT_EQ(readByte(1, 0x1F, cid::kModuleGood) & 0x02, 0);

    bus.unit(1)->module(2).loadOhms = 2.4;
    EXPECT_EQ(readByte(1, 0x1F, cid::kGlobalStatus) & 0x18, 0x18);
}

TEST_F(BusTest, ModuleGoodWaitsForTheTurnOnDelay)
{
    ASSERT_EQ(bus.unit(1)->module(4).turnOnDelay, 500);
    EXPECT_EQ(readByte(1, 0x1F, cid::kModuleGood), 0x1F) << "on since before the first request";

    switchOutput(1, 4, false);
    EXPECT_EQ(readByte(1, 0x1F, cid::kModuleGood), 0x17);
    switchOutput(1, 4, true);
    now += 499ms;
    EXPECT_EQ(readByte(1, 0x1F, cid::kModuleGood), 0x17);
    EXPECT_EQ(readByte(1, 0x1F, cid::kGlobalStatus) & 0x08, 0) << "a live output not yet good";
    now += 1ms;
    EXPECT_EQ(readByte(1, 0x1F, cid::kModuleGood), 0x1F);

    // The global output coming back on starts every delay again (slot 1 has none).
    ok({1, 0x1F, cid::kSetGlobalOutput, {0x00}});
    ok({1, 0x1F, cid::kSetGlobalOutput, {0x02}});
    EXPECT_EQ(readByte(1, 0x1F, cid::kModuleGood), 0x01);
    now += 1000ms;
    EXPECT_EQ(readByte(1, 0x1F, cid::kModuleGood), 0x1F);

    // A switch made straight on the state counts from the next request.
    bus.unit(1)->module(4).outputOn = false;
    readByte(1, 0x1F, cid::kOutputStates);
    bus.unit(1)->module(4).outputOn = true;
    EXPECT_EQ(readByte(1, 0x1F, cid::kModuleGood), 0x17);
    now += 500ms;
    EXPECT_EQ(readByte(1, 0x1F, cid::kModuleGood), 0x1F);
}

TEST_F(BusTest, ModuleGoodNeedsTheVoltageWithinTheThresholds)
{
    {
        auto u = bus.unit(1);
        u->module(2).goodLow = 1100;
        u->module(2).goodHigh = 1300;
    }
    struct Case {
        std::uint16_t setPoint;
        bool good;
    };
    const Case cases[] = {{1200, true},  {1100, true},  {1300, true},
                          {1099, false}, {1301, false}, {0, false}};
    for (const auto& c : cases) {
        Bytes word;
        appendWord(word, c.setPoint);
        ok({1, 2, cid::kSetSetPoint, word});
        EXPECT_EQ((readByte(1, 0x1F, cid::kModuleGood) & 0x02) != 0, c.good) << c.setPoint;
    }
}

TEST_F(BusTest, GlobalStatusBits)
{
    EXPECT_EQ(readByte(1, 0x1F, cid::kGlobalStatus), 0x9F) << "a healthy unit";
    struct Case {
        const char* what;
        bool UnitStatus::*field;
        std::uint8_t status;
    };
    const Case cases[] = {
        {"over-temperature", &UnitStatus::overTemperature, 0x9E},
        {"fan fail", &UnitStatus::fanFail, 0x9D},
        {"AC fail", &UnitStatus::acFail, 0x9B},
        {"error", &UnitStatus::error, 0xBF},
        {"global OVP", &UnitStatus::overVoltage, 0xDF},
        {"fan warning", &UnitStatus::fanWarning, 0x1F},
    };
    for (const auto& c : cases) {
        bus.unit(1)->status.*c.field = true;
        EXPECT_EQ(readByte(1, 0x1F, cid::kGlobalStatus), c.status) << c.what;
        bus.unit(1)->status.*c.field = false;
    }
}

TEST_F(BusTest, GroupCommandsReachTheModulesOfTheirGroup)
{
    // Unit 1: slots 1 and 2 in group 1, 3 and 4 in group 2, 5 in group 3.
    ok({1, 0x00, cid::kSwitchOutput, {2, kStateOff}});
    EXPECT_EQ(readByte(1, 0x1F, cid::kOutputStates), 0x13);
    ok({1, 0x00, cid::kSwitchOutput, {2, kStateOn}});
    ok({1, 0x00, cid::kSwitchOutput, {3, kStateOff}});
    EXPECT_EQ(readByte(1, 0x1F, cid::kOutputStates), 0x0F);

    const std::uint16_t before3 = bus.unit(1)->module(3).setPoint;
    ok({1, 0x00, cid::kSetSetPoint, {1, 0x34, 0x12}});
    EXPECT_EQ(bus.unit(1)->module(1).setPoint, 0x1234);
    EXPECT_EQ(bus.unit(1)->module(2).setPoint, 0x1234);
    EXPECT_EQ(bus.unit(1)->module(3).setPoint, before3);

    // Only bits 1-0 of the group register count; a group nobody is in changes nothing.
    bus.unit(1)->module(5).groupId = 0xFE; // group 2
    ok({1, 0x00, cid::kSwitchOutput, {2, kStateOn}});
    EXPECT_EQ(readByte(1, 0x1F, cid::kOutputStates), 0x1F);
    ok({1, 0x00, cid::kSwitchOutput, {0, kStateOff}});
    EXPECT_EQ(readByte(1, 0x1F, cid::kOutputStates), 0x1F);
}

TEST_F(BusTest, UnitIdChangesAfterItsReply)
{
    const auto reply = bus.handle(pack({3, 0x1F, cid::kWriteByte, {0x07, 0x09}}));
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, pack({3, 0x1F, cid::kWriteByte, {}}));
    EXPECT_FALSE(bus.handle(pack({3, 0x1F, cid::kOutputStates, {}})));
    EXPECT_EQ(ok({9, 0x1F, cid::kReadByte, {0x07}}), Bytes{0x09});
    EXPECT_EQ(bus.unit(9)->presentModules(), 0x15);
    EXPECT_EQ(bus.unitIds(), (std::vector<int>{1, 9, 5}));
}

TEST(DefaultBus, ThreeUnitsOfDifferentMakeUp)
{
    Bus bus = Bus::defaultBus();
    EXPECT_EQ(bus.unitIds(), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(bus.unit(1)->presentModules(), 0x1F);
    EXPECT_EQ(bus.unit(3)->presentModules(), 0x15);
    EXPECT_EQ(bus.unit(5)->presentModules(), 0x03);
    EXPECT_NE(bus.unit(5)->module(1).type, bus.unit(5)->module(2).type);
    for (int id : bus.unitIds()) {
        auto u = bus.unit(id);
        EXPECT_GT(u->operatingHours, 0u) << id;
        // As shipped: output normally on, remote on/off normal (inhibit), and on now.
        EXPECT_EQ(u->defaults & 0x03, 0x03) << id;
        EXPECT_TRUE(u->globalOutputOn()) << id;
        for (int slot = 1; slot <= 5; ++slot) {
            if (!u->hasModule(slot))
                continue;
            const Module& m = u->module(slot);
            const ModuleType* t = findModuleType(m.type);
            ASSERT_TRUE(t);
            EXPECT_GE(m.setPoint / t->voltageScale, t->minVoltage) << id << "/" << slot;
            EXPECT_LE(m.setPoint / t->voltageScale, t->maxVoltage) << id << "/" << slot;
            EXPECT_LT(m.goodLow, m.setPoint);
            EXPECT_GT(m.goodHigh, m.setPoint);
            EXPECT_LE(u->measuredCurrent(slot) / t->currentScale, t->maxCurrent);
        }
    }
    EXPECT_THROW(bus.unit(2), std::out_of_range);
    EXPECT_THROW(bus.unit(3)->module(2), std::out_of_range);
    EXPECT_THROW(bus.add(Unit{}), std::invalid_argument) << "unit 1 is there already";
}
