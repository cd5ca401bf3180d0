// The serial devices present on the machine, for the windows' port lists.
#pragma once

#include <string>
#include <vector>

namespace kivo::serial {

// The device paths under `devRoot`: ttyS*, ttyUSB*, ttyACM* in that order, each group by number
// (ttyS2 before ttyS10), then serial/by-id/* by name. Left out are names whose rest is not a
// number ("ttySAC0" is no ttyS port), a by-id name whose device is gone, and a ttyS* node whose
// driver reports no port behind it (`sysRoot`/class/tty/<name>/type reads 0, as for the unused
// nodes of a standard PC).
std::vector<std::string> presentDevices(const std::string& devRoot = "/dev",
                                        const std::string& sysRoot = "/sys");

} // namespace kivo::serial
