// The bus description file of kivo-unitsim (its format is in tools/unitsim/README.md).
#pragma once

#include "tools/unitsim/bus.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::unitsim {

class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A plain INI text: "[section]" lines, "key = value" lines, comments after ";" or "#" at the
// start of a line or after a blank. Names and values are trimmed; order is kept.
struct IniEntry {
    std::string key = {};
    std::string value = {};
    int line = 0;
};
struct IniSection {
    std::string name = {};
    int line = 0;
    std::vector<IniEntry> entries = {};
};
std::vector<IniSection> parseIni(std::string_view text); // throws ConfigError

// Builds a bus from a description; throws ConfigError naming the line of the first fault.
Bus busFromConfig(std::string_view text);
// The same from a file; the message names the file too.
Bus loadBusFile(const std::string& path);

} // namespace kivo::unitsim
