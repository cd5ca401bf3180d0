// Scripted faults on the replies, for tests of the PC side's checks and retries.
//
//     server.faults().add({.uid = 3, .cid = 0x05, .kind = Fault::NoReply, .times = 2});
//
// A fault matches a request by the fields it names (UID, MID, CID and, for the register commands
// 0x04, 0x05, 0x13 and 0x14, the register in the first data byte). The unit still carries the
// request out; only what goes back on the line changes. The first matching fault with uses left
// applies; a request that no unit answers (bad CRC, unknown UID) never meets a fault.
#pragma once

#include "tools/unitsim/protocol.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

namespace kivo::unitsim {

struct Fault {
    enum Kind {
        NoReply,  // nothing is sent
        BadCrc,   // the CRC byte is wrong
        WrongUid, // UID, MID or CID echoed one off (CRC right for what is sent)
        WrongMid,
        WrongCid,
        ErrorReply,    // the 5-byte error reply (CID 0x18)
        WrongLength,   // `bytes` data bytes more (less when negative; default one more), with a
                       // LEN byte and CRC that fit the new length
        WrongLenByte,  // right length, LEN byte one off (CRC right for what is sent)
        Truncated,     // only the first `bytes` bytes (default all but the last)
        ExtraBytes,    // `bytes` bytes after the reply (default 1)
        Delay,         // the reply, after `delayMs` milliseconds
        RandomReply,   // a malformed frame of random length and content, from `seed`
        RepeatedReply, // the reply, then after `delayMs` the same reply once more
        LateTail,      // the first `bytes` bytes (default half), after `delayMs` the rest
    };
    static constexpr int always = -1;

    std::optional<int> uid = std::nullopt;
    std::optional<int> mid = std::nullopt;
    std::optional<int> cid = std::nullopt;
    std::optional<int> reg = std::nullopt;
    Kind kind = NoReply;
    int times = 1; // matching requests it applies to; `always` for every one
    int delayMs = 0;
    int bytes = 0;
    std::uint32_t seed = 1;
};

// What goes on the line for one answered request.
struct Outcome {
    Bytes bytes = {}; // empty: nothing is sent
    int delayMs = 0;
    Bytes later = {}; // sent `laterDelayMs` after `bytes`; empty: nothing more
    int laterDelayMs = 0;
};

// The fault list; thread-safe.
class Faults {
public:
    void add(const Fault& fault);
    void clear();
    // Faults that still have uses left.
    std::size_t active() const;

    // The bytes to send for `request`, whose true reply is `reply` (both whole frames).
    Outcome apply(const Bytes& request, const Bytes& reply);

private:
    struct Entry {
        Fault fault;
        int left;
        std::mt19937 random;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

// A malformed variant of `reply` drawn from `random`: random bytes, the reply with one byte
// changed, cut short or followed by more bytes, or a well-formed frame of a wrong length.
Bytes randomReply(const Bytes& reply, std::mt19937& random);

} // namespace kivo::unitsim
