#include "KivoX/protocol.h"

#include <algorithm>

namespace kivox {

namespace {

constexpr std::array<std::uint8_t, 256> buildTable()
{
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        std::uint8_t value = static_cast<std::uint8_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = value & 0x80;
            value = static_cast<std::uint8_t>(value << 1);
            if (carry) {
                value ^= 0x07;
            }
        }
        table[i] = value;
    }
    return table;
}

// Built at compile time, so no first use can race with another and nothing ever changes it.
constexpr std::array<std::uint8_t, 256> kCrcTable = buildTable();

std::size_t dataCount(std::int32_t count)
{
    return static_cast<std::size_t>(std::clamp<std::int32_t>(count, 0, 100));
}

} // namespace

const std::array<std::uint8_t, 256>& crc8Table()
{
    return kCrcTable;
}

std::uint8_t Crc8(const std::uint8_t* bytes, std::size_t length)
{
    std::uint8_t value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        value = kCrcTable[value ^ bytes[i]];
    }
    return value;
}

Message makeMessage(std::uint8_t uid, std::uint8_t mid, std::uint8_t cid,
                    std::initializer_list<std::uint8_t> data)
{
    Message m;
    m.uid = uid;
    m.mid = mid;
    m.cid = cid;
    const std::size_t count = std::min(data.size(), m.data.size());
    m.count = static_cast<std::int32_t>(count);
    std::copy_n(data.begin(), count, m.data.begin());
    return m;
}

std::vector<std::uint8_t> packMessage(const Message& request)
{
    const std::size_t count = dataCount(request.count);
    std::vector<std::uint8_t> frame(count + kFrameOverhead, 0);
    frame[0] = static_cast<std::uint8_t>(frame.size());
    frame[1] = request.uid;
    frame[2] = request.mid;
    frame[3] = request.cid;
    std::copy_n(request.data.begin(), count, frame.begin() + 4);
    frame.back() = Crc8(frame.data(), frame.size() - 1);
    return frame;
}

void unpackMessage(const std::uint8_t* bytes, std::size_t length, Message& reply)
{
    if (length < kFrameOverhead) {
        return;
    }
    reply.uid = bytes[1];
    reply.mid = bytes[2];
    reply.cid = bytes[3];
    const std::size_t count =
        std::min(dataCount(bytes[0] - static_cast<int>(kFrameOverhead)), length - kFrameOverhead);
    reply.count = static_cast<std::int32_t>(count);
    std::copy_n(bytes + 4, count, reply.data.begin());
    reply.crc = bytes[length - 1];
}

} // namespace kivox
