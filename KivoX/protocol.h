// The units' wire protocol as the link library speaks it: the frame layout, its CRC-8, the
// message record the exchange fills and reads, the command codes and the register map.
//
// A frame on the line is [LEN][UID][MID][CID][DATA...][CRC]. LEN counts the whole frame, LEN and
// CRC included; the CRC covers every byte before it; words travel low byte first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace kivox {

// One request or reply in memory. A request record starts all zero and is filled by the
// operation; a reply record is cleared before a received frame is unpacked into it.
struct Message {
    std::uint8_t uid = 0;
    std::uint8_t mid = 0;
    std::uint8_t cid = 0;
    std::int32_t count = 0; // data bytes
    std::array<std::uint8_t, 100> data = {};
    std::uint8_t crc = 0; // the CRC byte of a received frame; unused in a request
};

inline constexpr std::size_t kFrameOverhead = 5; // LEN, UID, MID, CID, CRC

// Module IDs with a meaning of their own.
inline constexpr std::uint8_t kMidGroup = 0x00; // the group number is the first data byte
inline constexpr std::uint8_t kMidUnit = 0x1F;

// Command codes.
namespace cid {
inline constexpr std::uint8_t kSwitchOutput = 0x01;
inline constexpr std::uint8_t kMeasureVoltage = 0x02;
inline constexpr std::uint8_t kMeasureCurrent = 0x03;
inline constexpr std::uint8_t kReadByte = 0x04;
inline constexpr std::uint8_t kWriteByte = 0x05;
inline constexpr std::uint8_t kSetSetPoint = 0x07;
inline constexpr std::uint8_t kOutputStates = 0x09;
inline constexpr std::uint8_t kSetPointInputs = 0x0A;
inline constexpr std::uint8_t kModuleGood = 0x0B;
inline constexpr std::uint8_t kGlobalStatus = 0x0C;
inline constexpr std::uint8_t kSetGlobalOutput = 0x0E;
inline constexpr std::uint8_t kSetGroupState = 0x10;
inline constexpr std::uint8_t kReadWord = 0x13;
inline constexpr std::uint8_t kWriteWord = 0x14;
inline constexpr std::uint8_t kGlobalOutput = 0x15;
inline constexpr std::uint8_t kGroupState = 0x16;
inline constexpr std::uint8_t kError = 0x18; // a unit's refusal; never sent by the PC
} // namespace cid

// The state byte of kSwitchOutput.
inline constexpr std::uint8_t kStateOn = 0x1F;
inline constexpr std::uint8_t kStateOff = 0x01;

// Registers of the whole unit (MID 0x1F).
namespace unitreg {
inline constexpr std::uint8_t kSignalPolarity = 0x01;   // bit 0 fan fail, 1 DC good, 3 over-temp.
inline constexpr std::uint8_t kMasterSlave = 0x02;      // word: low byte master, high byte slave
inline constexpr std::uint8_t kDefaults = 0x04;         // bit 0 output polarity, 1 output, 2 group
inline constexpr std::uint8_t kGroupTurnOnDelay = 0x05; // word
inline constexpr std::uint8_t kUnitId = 0x07;
inline constexpr std::uint8_t kPresentModules = 0xC8;
inline constexpr std::uint8_t kOperatingHours = 0xC9; // three bytes, most significant first
inline constexpr std::uint8_t kVersion = 0xCC;
inline constexpr std::uint8_t kSerial = 0xCD; // five bytes
} // namespace unitreg

// Registers of one module (MID 1 to 5).
namespace modreg {
inline constexpr std::uint8_t kDefaultVoltage = 0x01; // word
inline constexpr std::uint8_t kTurnOnDelay = 0x03;    // word
inline constexpr std::uint8_t kGoodHigh = 0x05;       // word
inline constexpr std::uint8_t kGoodLow = 0x07;        // word
inline constexpr std::uint8_t kCurrentLimit = 0x09;   // word
inline constexpr std::uint8_t kLimitOnTime = 0x0B;    // word
inline constexpr std::uint8_t kLimitOffTime = 0x0D;   // word
inline constexpr std::uint8_t kGroupId = 0x0F;        // bits 1-0
inline constexpr std::uint8_t kFlags = 0x10; // bits 1-0 limit mode, 2 enable reset, 3 programming
                                             // mode, 4 default output polarity, 5 default state
inline constexpr std::uint8_t kType = 0xCC;
inline constexpr std::uint8_t kVersion = 0xCD;
inline constexpr std::uint8_t kSerial = 0xCE; // five bytes
} // namespace modreg

// A request record: the fields and up to 100 data bytes, everything else zero.
Message makeMessage(std::uint8_t uid, std::uint8_t mid, std::uint8_t cid,
                    std::initializer_list<std::uint8_t> data = {});

// The frame of a request record: LEN = count + 5, UID, MID, CID, the data, the CRC-8. A count
// outside 0 to 100 is held to that range.
std::vector<std::uint8_t> packMessage(const Message& request);

// Fills a reply record from a received frame whose length has been checked against the expected
// one and its own LEN byte: count = LEN - 5, the data bytes, the CRC from the last byte.
void unpackMessage(const std::uint8_t* bytes, std::size_t length, Message& reply);

// Low byte, high byte.
constexpr std::pair<std::uint8_t, std::uint8_t> splitWord(std::uint16_t value)
{
    return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}
constexpr std::uint16_t joinWord(std::uint8_t low, std::uint8_t high)
{
    return static_cast<std::uint16_t>(low | (high << 8));
}

// CRC-8/SMBUS: polynomial 0x07, initial value 0, not reflected, no final XOR.
std::uint8_t Crc8(const std::uint8_t* bytes, std::size_t length);
const std::array<std::uint8_t, 256>& crc8Table();

} // namespace kivox
