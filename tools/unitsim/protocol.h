// The units' framed byte protocol as the units see it.
//
// A frame on the line is [LEN][UID][MID][CID][DATA...][CRC]: LEN counts the whole frame (LEN and
// CRC included), the CRC is CRC-8/SMBUS over every byte before it, and words travel low byte
// first. The PC sends one request; the addressed unit answers with one reply of the same layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kivo::unitsim {

using Bytes = std::vector<std::uint8_t>;

// CRC-8/SMBUS: polynomial 0x07, initial value 0, not reflected, no final XOR.
std::uint8_t crc8(std::span<const std::uint8_t> bytes);
// The 256-entry table behind crc8(); built once, never changed afterwards.
const std::array<std::uint8_t, 256>& crc8Table();

// Module IDs with a meaning of their own.
inline constexpr std::uint8_t kMidGroup = 0x00; // a group: the group number is the first data byte
inline constexpr std::uint8_t kMidUnit = 0x1F;  // the whole unit

// Command codes.
namespace cid {
inline constexpr std::uint8_t kSwitchOutput = 0x01;    // data: state (0x1F on, 0x01 off)
inline constexpr std::uint8_t kMeasureVoltage = 0x02;  // reply: word
inline constexpr std::uint8_t kMeasureCurrent = 0x03;  // reply: word
inline constexpr std::uint8_t kReadByte = 0x04;        // data: register; reply: value
inline constexpr std::uint8_t kWriteByte = 0x05;       // data: register, value
inline constexpr std::uint8_t kSetSetPoint = 0x07;     // data: word
inline constexpr std::uint8_t kOutputStates = 0x09;    // reply: one bit per slot
inline constexpr std::uint8_t kSetPointInputs = 0x0A;  // reply: set-point word, control inputs
inline constexpr std::uint8_t kModuleGood = 0x0B;      // reply: one bit per slot
inline constexpr std::uint8_t kGlobalStatus = 0x0C;    // reply: status byte
inline constexpr std::uint8_t kSetGlobalOutput = 0x0E; // data: state byte
inline constexpr std::uint8_t kSetGroupState = 0x10;   // data: state byte
inline constexpr std::uint8_t kReadWord = 0x13;        // data: register; reply: word
inline constexpr std::uint8_t kWriteWord = 0x14;       // data: register, word
inline constexpr std::uint8_t kGlobalOutput = 0x15;    // reply: state byte
inline constexpr std::uint8_t kGroupState = 0x16;      // reply: state byte
inline constexpr std::uint8_t kError = 0x18;           // reply only: the unit refused the request
} // namespace cid

// The state byte of kSwitchOutput.
inline constexpr std::uint8_t kStateOn = 0x1F;
inline constexpr std::uint8_t kStateOff = 0x01;

// A frame without data is 5 bytes; the PC's message record holds at most 100 data bytes.
inline constexpr std::size_t kMinFrame = 5;
inline constexpr std::size_t kMaxFrame = 105;

// A frame's fields, without LEN and CRC.
struct Frame {
    std::uint8_t uid = 0;
    std::uint8_t mid = 0;
    std::uint8_t cid = 0;
    Bytes data = {};
};

// The bytes of a frame with its LEN and CRC (data beyond 100 bytes is not sent).
Bytes pack(const Frame& frame);

// True when `bytes` is one whole frame: 5 to 105 bytes, LEN equal to its size, CRC right.
bool isValidFrame(std::span<const std::uint8_t> bytes);

// The fields of a frame that isValidFrame() accepts.
Frame unpack(std::span<const std::uint8_t> bytes);

// Words travel low byte first.
inline std::uint16_t joinWord(std::uint8_t low, std::uint8_t high)
{
    return static_cast<std::uint16_t>(low | (high << 8));
}
inline void appendWord(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

} // namespace kivo::unitsim
