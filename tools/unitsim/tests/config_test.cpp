#include "tools/unitsim/config.h"

#include "tools/unitsim/module_types.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

using namespace kivo::unitsim;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(Config, TheExampleBus)
{
    Bus bus = loadBusFile(KIVO_SOURCE_DIR "/tools/unitsim/example-bus.ini");
    EXPECT_EQ(bus.unitIds(), (std::vector<int>{2, 9}));
    {
        auto u = bus.unit(2);
        EXPECT_EQ(u->version, 0x45);
        EXPECT_EQ(u->serial, (std::array<std::uint8_t, 5>{0x12, 0x34, 0x56, 0x78, 0x9A}));
        EXPECT_EQ(u->operatingHours, 2572u);
        EXPECT_EQ(u->defaults, 0x07);
        EXPECT_EQ(u->groupTurnOnDelay, 500);
        EXPECT_EQ(u->presentModules(), 0x09);
        const Module& m = u->module(1);
        EXPECT_EQ(m.type, 2);
        EXPECT_EQ(m.setPoint, 1200);
        EXPECT_EQ(m.goodHigh, 1260);
        EXPECT_EQ(m.goodLow, 1140);
        EXPECT_EQ(m.currentLimit, 800);
        EXPECT_EQ(m.turnOnDelay, 250);
        EXPECT_DOUBLE_EQ(m.loadOhms, 3.0);
        EXPECT_EQ(u->measuredCurrent(1), 400);
        EXPECT_FALSE(u->module(4).outputOn);
        EXPECT_EQ(u->module(4).groupId, 2);
    }
    EXPECT_TRUE(bus.unit(9)->status.fanWarning);
    EXPECT_EQ(bus.unit(9)->presentModules(), 0x02);
}

TEST(Config, MissingKeysComeFromTheModuleType)
{
    Bus bus = busFromConfig("[unit 4 module 3]\ntype = 3\n");
    const Module expected = Module::ofType(3);
    auto u = bus.unit(4);
    const Module& m = u->module(3);
    EXPECT_EQ(m.setPoint, expected.setPoint);
    EXPECT_EQ(m.goodHigh, expected.goodHigh);
    EXPECT_EQ(m.currentLimit, expected.currentLimit);
    EXPECT_TRUE(m.outputOn);
    EXPECT_EQ(u->globalOutputState, 0x02);
    EXPECT_EQ(u->defaults, 0x03);
    // Hexadecimal, negative counts, names in any case, comments after a blank.
    Bus other =
        busFromConfig("[Unit 0x10 MODULE 1]\nSet-Point = -2 ; below zero\nflags=0x3F\t# all\n");
    EXPECT_EQ(other.unit(16)->module(1).setPoint, 0xFFFE);
    EXPECT_EQ(other.unit(16)->module(1).flags, 0x3F);
    // A "#" inside a value is part of it.
    EXPECT_THROW(busFromConfig("[unit 1]\nhours = 12#3\n"), ConfigError);
}

TEST(Config, FaultsNameTheirLine)
{
    struct Case {
        const char* text;
        const char* message; // part of it
    };
    const Case cases[] = {
        {"[unit 1]\nvolume = 3\n", "line 2: unknown key 'volume'"},
        {"[unit 1]\nhours = lots\n", "line 2: 'hours' needs a whole number"},
        {"[unit 1]\nhours = 16777216\n", "line 2"},
        {"[unit 1]\nversion = 256\n", "line 2"},
        {"[unit 1 module 1]\nset-point = 65536\n", "line 2"},
        {"[unit 1 module 1]\ntype = 99\n", "line 2: no module type 99"},
        {"[unit 1 module 1]\nload = -1\n", "line 2"},
        {"[unit 1 module 1]\noutput = maybe\n", "line 2: 'output' needs on or off"},
        {"[unit 1]\nserial = 12345\n", "line 2: 'serial' needs ten hexadecimal digits"},
        {"[unit 1 module 6]\n", "line 1: a section is"},
        {"[unit 256]\n", "line 1"},
        {"[power supply]\n", "line 1"},
        {"[unit 1\n", "line 1"},
        {"hours = 3\n", "line 1: a key before the first section"},
        {"[unit 1]\nhours\n", "line 2: expected 'key = value'"},
        {"[unit 1]\n\n[unit 1]\n", "line 3: unit 1 is already described on line 1"},
        {"[unit 1 module 2]\n[unit 1 module 2]\n", "line 2"},
        {"; nothing\n", "no units"},
    };
    for (const auto& c : cases) {
        try {
            busFromConfig(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ConfigError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.text << " gave: " << e.what();
        }
    }
    try {
        loadBusFile("/nonexistent/bus.ini");
        ADD_FAILURE();
    } catch (const ConfigError& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/bus.ini"), std::string::npos);
    }
}

// The simulator's module types are the ones the programs read from the shipped scale.ini.
TEST(ScaleIni, MatchesTheModuleTypes)
{
    const auto sections = parseIni(readFile(KIVO_SOURCE_DIR "/ini/scale.ini"));
    ASSERT_EQ(sections.size(), moduleTypes().size());
    for (const ModuleType& t : moduleTypes()) {
        const std::string name = "TYPE" + std::to_string(t.code);
        const auto s = std::find_if(sections.begin(), sections.end(),
                                    [&](const IniSection& x) { return x.name == name; });
        ASSERT_NE(s, sections.end()) << name;
        std::map<std::string, std::string> keys;
        for (const auto& e : s->entries)
            keys[e.key] = e.value;
        EXPECT_EQ(keys["Type"], t.name) << name;
        const std::pair<const char*, double> numbers[] = {
            {"MinVoltage", t.minVoltage},
            {"MaxVoltage", t.maxVoltage},
            {"MaxCurrent", t.maxCurrent},
            {"VoltageScaleFactor", t.voltageScale},
            {"CurrentScaleFactor", t.currentScale},
            {"MaxMeasuredVoltage", t.maxMeasuredVoltage},
            {"MaxMeasuredCurrent", t.maxMeasuredCurrent},
            {"VAScaleFactor", t.vaScale},
        };
        EXPECT_EQ(keys.size(), 9u) << name;
        for (const auto& [key, value] : numbers) {
            ASSERT_TRUE(keys.count(key)) << name << " " << key;
            EXPECT_NE(keys[key].find('.'), std::string::npos) << name << " " << key;
            double read = -1;
            const std::string& text = keys[key];
            std::from_chars(text.data(), text.data() + text.size(), read);
            EXPECT_DOUBLE_EQ(read, value) << name << " " << key;
        }
        // Whole factors, and counts that fit a signed 16-bit value at the measured maxima.
        EXPECT_EQ(t.voltageScale, std::round(t.voltageScale)) << name;
        EXPECT_EQ(t.currentScale, std::round(t.currentScale)) << name;
        EXPECT_LE(t.maxMeasuredVoltage * t.voltageScale, 32767) << name;
        EXPECT_LE(t.maxMeasuredCurrent * t.currentScale, 32767) << name;
        EXPECT_GE(t.maxMeasuredVoltage, t.maxVoltage) << name;
        EXPECT_GE(t.maxMeasuredCurrent, t.maxCurrent) << name;
    }
    ASSERT_NE(findModuleType(0), nullptr);
    EXPECT_EQ(findModuleType(0)->name, "Not Present");
    std::set<double> ranges;
    for (const ModuleType& t : moduleTypes())
        if (t.code != 0)
            ranges.insert(t.maxVoltage);
    EXPECT_GE(ranges.size(), 4u) << "types of different voltage ranges";
}
