// One request/reply exchange with a unit, its checks, the retry loop around it, and the module bit
// arrays that carry a unit's status bytes to a caller.
#pragma once

#include "KivoX/protocol.h"

#include "platform/automation/safearray.h"
#include "platform/serial/serial.h"
#include "platform/timing/timing.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kivox {

// The status strings every unit operation returns; only exactly kCmdOk means success.
inline constexpr const char* kCmdOk = "CMD_OK";
inline constexpr const char* kCmdError = "CMD_ERROR";
inline constexpr const char* kCmdNoResponse = "CMD_NORESPONSE";
inline constexpr const char* kCmdCrcError = "CMD_CRCERROR";

// The state of one link object and the exchange over its port.
class Link {
public:
    explicit Link(kivo::timing::Timing& timing = kivo::timing::systemTiming()) : timing_(timing) {}

    // Longest wait for the first byte of a reply, in milliseconds.
    std::uint32_t readTimeout = 2000;
    // Attempts per transaction; 0 or less sends nothing.
    std::int16_t retryCount = 5;
    // The port opened by OpenPort, or none.
    std::unique_ptr<kivo::serial::Port> portHandle;
    // The last failure text: set only by a failed SendMessage or CheckMessage, never reset by a
    // success, so it always holds one of the three failure strings.
    std::string statusText = kCmdError;

    // Writes the request and reads a reply of `expectedLength` bytes into `reply`: 0, or -1 with
    // the failure text set (the write failed, nothing came, the length or the LEN byte is wrong).
    int SendMessage(const Message& request, Message& reply, std::size_t expectedLength);

    // Checks a received reply against its request, in this order: error reply, echoed UID, MID
    // and CID, CRC-8. False with the failure text set.
    bool CheckMessage(const Message& request, const Message& reply);

    // Up to retryCount attempts, each followed by a 100 ms pause whatever its outcome; true as
    // soon as one passes both steps. After the last failed attempt statusText holds its failure.
    bool transactMessage(const Message& request, Message& reply, std::size_t expectedLength);

    kivo::timing::Timing& timing() const { return timing_; }

private:
    bool fail(const char* text);

    kivo::timing::Timing& timing_;
};

// The pause after every attempt, passed or not.
inline constexpr double kAttemptPauseMs = 100;

// S_OK for a one-dimensional array of 2-byte elements with at least 8 of them, else E_FAIL.
kivo::automation::HRESULT checkModuleArray(const kivo::automation::SafeArray* array);

// Elements 1 to 8 from the array's start get bits 0 to 7 of `byte` as 0 or 1, whatever the lower
// bound; later elements are left alone. E_FAIL for a wrong shape, the lock's HRESULT with nothing
// written, or the unlock's after the elements were written.
kivo::automation::HRESULT bitsToArray(kivo::automation::SafeArray* array, std::uint8_t byte);

// ORs bit k-1 into `byte` for each of the first 8 elements that is not 0. Failures as above.
kivo::automation::HRESULT arrayToBits(kivo::automation::SafeArray* array, std::uint8_t& byte);

} // namespace kivox
