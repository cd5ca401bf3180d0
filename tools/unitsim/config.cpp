#include "tools/unitsim/config.h"

#include "tools/unitsim/module_types.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace kivo::unitsim {

namespace {

std::string trim(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return std::string(s.substr(first, last - first + 1));
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

[[noreturn]] void fault(int line, const std::string& message)
{
    throw ConfigError("line " + std::to_string(line) + ": " + message);
}

// Drops a comment: ";" or "#" at the start or after a blank.
std::string_view withoutComment(std::string_view line)
{
    for (std::size_t i = 0; i < line.size(); ++i)
        if ((line[i] == ';' || line[i] == '#') &&
            (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t'))
            return line.substr(0, i);
    return line;
}

// A decimal or 0x-hexadecimal integer, all of the text.
bool parseInteger(const std::string& text, long long& out)
{
    std::string_view s = text;
    bool negative = false;
    if (!s.empty() && s[0] == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty())
        return false;
    unsigned long long v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || end != s.data() + s.size() || v > (1ULL << 40))
        return false;
    out = negative ? -static_cast<long long>(v) : static_cast<long long>(v);
    return true;
}

long long integer(const IniEntry& e, long long min, long long max)
{
    long long v = 0;
    if (!parseInteger(e.value, v) || v < min || v > max)
        fault(e.line, "'" + e.key + "' needs a whole number from " + std::to_string(min) + " to " +
                          std::to_string(max) + ", not '" + e.value + "'");
    return v;
}

std::uint8_t byteValue(const IniEntry& e)
{
    return static_cast<std::uint8_t>(integer(e, 0, 255));
}

// Words are raw counts; negative counts are taken as their 16-bit pattern.
std::uint16_t wordValue(const IniEntry& e)
{
    return static_cast<std::uint16_t>(integer(e, -32768, 65535) & 0xFFFF);
}

bool flag(const IniEntry& e)
{
    const std::string v = lower(e.value);
    if (v == "on" || v == "yes" || v == "true" || v == "1")
        return true;
    if (v == "off" || v == "no" || v == "false" || v == "0")
        return false;
    fault(e.line, "'" + e.key + "' needs on or off, not '" + e.value + "'");
}

double number(const IniEntry& e)
{
    double v = 0;
    const auto* begin = e.value.data();
    const auto* end = begin + e.value.size();
    const auto [stop, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || stop != end || !(v >= 0))
        fault(e.line, "'" + e.key + "' needs a number of 0 or more, not '" + e.value + "'");
    return v;
}

// Ten hexadecimal digits, the five register bytes in register order.
std::array<std::uint8_t, 5> serialValue(const IniEntry& e)
{
    std::array<std::uint8_t, 5> out{};
    const std::string s = e.value;
    bool ok = s.size() == 10;
    for (std::size_t i = 0; ok && i < 5; ++i) {
        unsigned v = 0;
        const auto [end, ec] = std::from_chars(s.data() + 2 * i, s.data() + 2 * i + 2, v, 16);
        ok = ec == std::errc() && end == s.data() + 2 * i + 2;
        out[i] = static_cast<std::uint8_t>(v);
    }
    if (!ok)
        fault(e.line, "'" + e.key + "' needs ten hexadecimal digits, not '" + e.value + "'");
    return out;
}

void setBit(std::uint8_t& byte, int bit, bool on)
{
    byte = static_cast<std::uint8_t>(on ? byte | (1 << bit) : byte & ~(1 << bit));
}

template <class T> using Setters = std::map<std::string, std::function<void(T&, const IniEntry&)>>;

const Setters<Unit>& unitSetters()
{
    static const Setters<Unit> s = {
        {"version", [](Unit& u, const IniEntry& e) { u.version = byteValue(e); }},
        {"serial", [](Unit& u, const IniEntry& e) { u.serial = serialValue(e); }},
        {"hours",
         [](Unit& u, const IniEntry& e) {
             u.operatingHours = std::uint32_t(integer(e, 0, 0xFFFFFF));
         }},
        {"signal-polarity", [](Unit& u, const IniEntry& e) { u.signalPolarity = byteValue(e); }},
        {"master-slave", [](Unit& u, const IniEntry& e) { u.masterSlave = wordValue(e); }},
        {"defaults", [](Unit& u, const IniEntry& e) { u.defaults = byteValue(e); }},
        {"group-delay", [](Unit& u, const IniEntry& e) { u.groupTurnOnDelay = wordValue(e); }},
        {"global-output",
         [](Unit& u, const IniEntry& e) { setBit(u.globalOutputState, 1, flag(e)); }},
        {"group-state", [](Unit& u, const IniEntry& e) { setBit(u.groupState, 2, flag(e)); }},
        {"over-temperature",
         [](Unit& u, const IniEntry& e) { u.status.overTemperature = flag(e); }},
        {"fan-fail", [](Unit& u, const IniEntry& e) { u.status.fanFail = flag(e); }},
        {"fan-warning", [](Unit& u, const IniEntry& e) { u.status.fanWarning = flag(e); }},
        {"ac-fail", [](Unit& u, const IniEntry& e) { u.status.acFail = flag(e); }},
        {"error", [](Unit& u, const IniEntry& e) { u.status.error = flag(e); }},
        {"over-voltage", [](Unit& u, const IniEntry& e) { u.status.overVoltage = flag(e); }},
    };
    return s;
}

const Setters<Module>& moduleSetters()
{
    static const Setters<Module> s = {
        {"version", [](Module& m, const IniEntry& e) { m.version = byteValue(e); }},
        {"serial", [](Module& m, const IniEntry& e) { m.serial = serialValue(e); }},
        {"output", [](Module& m, const IniEntry& e) { m.outputOn = flag(e); }},
        {"set-point", [](Module& m, const IniEntry& e) { m.setPoint = wordValue(e); }},
        {"default-voltage", [](Module& m, const IniEntry& e) { m.defaultVoltage = wordValue(e); }},
        {"turn-on-delay", [](Module& m, const IniEntry& e) { m.turnOnDelay = wordValue(e); }},
        {"good-high", [](Module& m, const IniEntry& e) { m.goodHigh = wordValue(e); }},
        {"good-low", [](Module& m, const IniEntry& e) { m.goodLow = wordValue(e); }},
        {"current-limit", [](Module& m, const IniEntry& e) { m.currentLimit = wordValue(e); }},
        {"limit-on-time", [](Module& m, const IniEntry& e) { m.limitOnTime = wordValue(e); }},
        {"limit-off-time", [](Module& m, const IniEntry& e) { m.limitOffTime = wordValue(e); }},
        {"group", [](Module& m, const IniEntry& e) { m.groupId = byteValue(e); }},
        {"flags", [](Module& m, const IniEntry& e) { m.flags = byteValue(e); }},
        {"control-inputs", [](Module& m, const IniEntry& e) { m.controlInputs = byteValue(e); }},
        {"load", [](Module& m, const IniEntry& e) { m.loadOhms = number(e); }},
    };
    return s;
}

template <class T>
void applyEntries(T& target, const IniSection& section, const Setters<T>& setters,
                  std::string_view skip = {})
{
    for (const auto& e : section.entries) {
        const std::string key = lower(e.key);
        if (key == skip)
            continue;
        const auto it = setters.find(key);
        if (it == setters.end())
            fault(e.line, "unknown key '" + e.key + "' in [" + section.name + "]");
        it->second(target, e);
    }
}

// "unit N" or "unit N module M"; slot 0 for a unit section.
struct SectionName {
    int unit = 0;
    int slot = 0;
};

SectionName sectionName(const IniSection& s)
{
    std::istringstream words(lower(s.name));
    std::string unitWord, unitId, moduleWord, slot, rest;
    words >> unitWord >> unitId >> moduleWord >> slot >> rest;
    long long id = 0, m = 0;
    const bool unitOk = unitWord == "unit" && parseInteger(unitId, id) && id >= 0 && id <= 255;
    if (unitOk && moduleWord.empty())
        return {int(id), 0};
    if (unitOk && moduleWord == "module" && parseInteger(slot, m) && m >= 1 && m <= 5 &&
        rest.empty())
        return {int(id), int(m)};
    fault(s.line, "a section is [unit N] or [unit N module M] (N 0 to 255, M 1 to 5), not [" +
                      s.name + "]");
}

} // namespace

std::vector<IniSection> parseIni(std::string_view text)
{
    std::vector<IniSection> sections;
    int number = 0;
    while (!text.empty()) {
        const auto eol = text.find('\n');
        const std::string_view raw = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        ++number;
        const std::string line = trim(withoutComment(raw));
        if (line.empty())
            continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                fault(number, "a section line ends with ']'");
            sections.push_back(
                {trim(std::string_view(line).substr(1, line.size() - 2)), number, {}});
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            fault(number, "expected 'key = value' or '[section]'");
        if (sections.empty())
            fault(number, "a key before the first section");
        const std::string key = trim(std::string_view(line).substr(0, eq));
        if (key.empty())
            fault(number, "a key without a name");
        sections.back().entries.push_back(
            {key, trim(std::string_view(line).substr(eq + 1)), number});
    }
    return sections;
}

Bus busFromConfig(std::string_view text)
{
    const auto sections = parseIni(text);
    std::vector<Unit> units;
    auto unitFor = [&units](int id) -> Unit& {
        for (auto& u : units)
            if (u.id == id)
                return u;
        units.emplace_back().id = static_cast<std::uint8_t>(id);
        return units.back();
    };
    std::map<int, int> unitLine;
    std::map<std::pair<int, int>, int> moduleLine;
    for (const auto& s : sections) {
        const SectionName n = sectionName(s);
        Unit& unit = unitFor(n.unit);
        if (n.slot == 0) {
            if (!unitLine.emplace(n.unit, s.line).second)
                fault(s.line, "unit " + std::to_string(n.unit) + " is already described on line " +
                                  std::to_string(unitLine[n.unit]));
            applyEntries(unit, s, unitSetters());
            continue;
        }
        if (!moduleLine.emplace(std::pair(n.unit, n.slot), s.line).second)
            fault(s.line, "this module is already described on line " +
                              std::to_string(moduleLine[{n.unit, n.slot}]));
        int type = 1;
        for (const auto& e : s.entries)
            if (lower(e.key) == "type") {
                type = int(integer(e, 0, 255));
                if (!findModuleType(type))
                    fault(e.line, "no module type " + e.value + " (see ini/scale.ini)");
            }
        Module m = Module::ofType(type);
        applyEntries(m, s, moduleSetters(), "type");
        unit.fitted[n.slot - 1] = std::move(m);
    }
    if (units.empty())
        throw ConfigError("no units described");
    Bus bus;
    for (auto& u : units)
        bus.add(std::move(u));
    return bus;
}

Bus loadBusFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ConfigError(path + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    try {
        return busFromConfig(text.str());
    } catch (const ConfigError& e) {
        throw ConfigError(path + ": " + e.what());
    }
}

} // namespace kivo::unitsim
