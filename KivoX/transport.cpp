#include "KivoX/transport.h"

#include "platform/profile/profile.h"

namespace kivox {

namespace {

constexpr int kDefaultRtsToggleInterval = 10;

// Written while the library loads, before any object exists, and only read afterwards.
int rtsDelay = kDefaultRtsToggleInterval;

} // namespace

int rtsToggleInterval()
{
    return rtsDelay;
}

void setRtsToggleInterval(int ms)
{
    rtsDelay = ms;
}

int readRtsToggleInterval(const std::string& iniPath)
{
    return kivo::profile::getInt("Serial COM Parameters", "RTSToggleInterval",
                                 kDefaultRtsToggleInterval, iniPath);
}

std::unique_ptr<kivo::serial::Port> openPort(const std::string& name)
{
    auto port = kivo::serial::Port::open(name);
    if (port) {
        purgeTXBuffer(*port);
        purgeRXBuffer(*port);
    }
    return port;
}

int setPortSettings(kivo::serial::Port* port, int baud)
{
    return port && port->configure(baud) ? 0 : -1;
}

} // namespace kivox
