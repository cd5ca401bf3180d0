#include "platform/serial/devices.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

namespace kivo::serial {

namespace fs = std::filesystem;

namespace {

// The number after `prefix` in a device name ("ttyUSB12" -> 12); -1 when the rest of the name is
// not a number.
long long deviceNumber(const std::string& name, const std::string& prefix)
{
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
        return -1;
    }
    const std::string rest = name.substr(prefix.size());
    if (rest.size() > 18 ||
        !std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return -1;
    }
    return std::stoll(rest);
}

bool uartPresent(const std::string& sysRoot, const std::string& name)
{
    std::ifstream type(sysRoot + "/class/tty/" + name + "/type");
    std::string value;
    if (!type || !(type >> value)) {
        return true; // nothing to judge by: offer it
    }
    return value != "0";
}

std::vector<fs::directory_entry> entries(const fs::path& folder)
{
    std::vector<fs::directory_entry> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        found.push_back(*it);
    }
    return found;
}

} // namespace

std::vector<std::string> presentDevices(const std::string& devRoot, const std::string& sysRoot)
{
    const auto devices = entries(devRoot);
    std::vector<std::string> ports;
    for (const std::string prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
        std::vector<std::pair<long long, std::string>> numbered;
        for (const auto& entry : devices) {
            const std::string name = entry.path().filename().string();
            const long long n = deviceNumber(name, prefix);
            std::error_code ec;
            if (n >= 0 && !entry.is_directory(ec) &&
                (prefix != "ttyS" || uartPresent(sysRoot, name))) {
                numbered.emplace_back(n, name);
            }
        }
        std::sort(numbered.begin(), numbered.end());
        for (const auto& [n, name] : numbered) {
            ports.push_back(devRoot + "/" + name);
        }
    }
    std::vector<std::string> byId;
    for (const auto& entry : entries(fs::path(devRoot) / "serial" / "by-id")) {
        std::error_code ec;
        // exists() follows the link: a name left behind by an unplugged adapter names nothing.
        if (fs::exists(entry.path(), ec) && !fs::is_directory(entry.path(), ec)) {
            byId.push_back(devRoot + "/serial/by-id/" + entry.path().filename().string());
        }
    }
    std::sort(byId.begin(), byId.end());
    ports.insert(ports.end(), byId.begin(), byId.end());
    return ports;
}

} // namespace kivo::serial
