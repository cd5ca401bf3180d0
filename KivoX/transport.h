// The serial transport under one link object: open and configure the port, send one frame with
// RTS raised, turn the line round after the RTS delay and read one reply of a known length.
//
// The order on the line for one exchange: purge TX, purge RX, RTS on, write, wait until the frame
// has gone out, spin `rtsToggleInterval()` ms, RTS off, read with the time-out, purge RX. The
// send and receive routines take any line with the serial port's shape, so tests can watch that
// order.
#pragma once

#include "platform/serial/serial.h"
#include "platform/timing/timing.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kivox {

// The RTS delay in milliseconds, one value for the whole process: read once when the library is
// loaded and never again. 10 until it is set.
int rtsToggleInterval();
void setRtsToggleInterval(int ms);

// Where the library reads the RTS delay: relative to the current directory, not to the library.
inline constexpr const char* kIniPath = "./Kivo.ini";
// "RTSToggleInterval" of section "Serial COM Parameters" in `iniPath`; 10 when the file or the
// key is missing.
int readRtsToggleInterval(const std::string& iniPath = kIniPath);

// The port by its name exactly as given, opened exclusively with both buffers purged; nullptr
// when it cannot be opened.
std::unique_ptr<kivo::serial::Port> openPort(const std::string& name);

// 9600 baud, 8 data bits, no parity, no flow control, DTR and RTS on. 0 on success, -1 on failure
// (also without a port); the port stays open either way.
int setPortSettings(kivo::serial::Port* port, int baud = 9600);

template <class Line> void purgeRXBuffer(Line& line)
{
    line.purgeInput();
}

template <class Line> void purgeTXBuffer(Line& line)
{
    line.purgeOutput();
}

// Busy-waits: RTS has to drop within the clock's resolution of the delay, not at the scheduler's
// next tick.
inline void delayMilliseconds(kivo::timing::Timing& timing, int ms)
{
    timing.spinMilliseconds(ms);
}

// True when the whole frame went out. RTS stays raised until the read begins.
template <class Line> bool writeABuffer(Line* line, const std::uint8_t* frame, std::size_t length)
{
    if (!line) {
        return false;
    }
    purgeTXBuffer(*line);
    // What came in since the last read ended (a reply's late tail, a unit that sent its reply
    // twice, an adapter's echo) would be read as the start of this request's reply: a byte
    // register's reply names no register, so a stale one can pass every check.
    purgeRXBuffer(*line);
    // A pseudo-terminal has no RTS line; like the driver call it stands for, its failure changes
    // nothing.
    (void)line->setRts(true);
    return line->writeAll(frame, length);
}

// The count of bytes read into `buffer`, 0 when none came within `timeoutMs`. Whatever else
// arrives is dropped by the purge at the end.
template <class Line>
std::size_t readABuffer(Line* line, std::uint8_t* buffer, std::size_t expected,
                        std::uint32_t timeoutMs, kivo::timing::Timing& timing)
{
    if (!line) {
        return 0;
    }
    delayMilliseconds(timing, rtsToggleInterval());
    (void)line->setRts(false);
    const int timeout = timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(timeoutMs);
    const std::size_t count = line->read(buffer, expected, timeout);
    purgeRXBuffer(*line);
    return count;
}

} // namespace kivox
