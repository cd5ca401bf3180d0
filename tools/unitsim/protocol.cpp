#include "tools/unitsim/protocol.h"

#include <algorithm>

namespace kivo::unitsim {

const std::array<std::uint8_t, 256>& crc8Table()
{
    static const std::array<std::uint8_t, 256> table = [] {
        std::array<std::uint8_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned v = i;
            for (int bit = 0; bit < 8; ++bit)
                v = (v & 0x80) ? ((v << 1) ^ 0x07) & 0xFF : (v << 1) & 0xFF;
            t[i] = static_cast<std::uint8_t>(v);
        }
        return t;
    }();
    return table;
}

std::uint8_t crc8(std::span<const std::uint8_t> bytes)
{
    const auto& table = crc8Table();
    std::uint8_t value = 0;
    for (std::uint8_t b : bytes)
        value = table[value ^ b];
    return value;
}

Bytes pack(const Frame& frame)
{
    const std::size_t count = std::min(frame.data.size(), kMaxFrame - kMinFrame);
    Bytes out;
    out.reserve(count + kMinFrame);
    out.push_back(static_cast<std::uint8_t>(count + kMinFrame));
    out.push_back(frame.uid);
    out.push_back(frame.mid);
    out.push_back(frame.cid);
    out.insert(out.end(), frame.data.begin(),
               frame.data.begin() + static_cast<std::ptrdiff_t>(count));
    out.push_back(crc8(out));
    return out;
}

bool isValidFrame(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kMinFrame || bytes.size() > kMaxFrame || bytes[0] != bytes.size())
        return false;
    return crc8(bytes.first(bytes.size() - 1)) == bytes.back();
}

Frame unpack(std::span<const std::uint8_t> bytes)
{
    Frame f;
    f.uid = bytes[1];
    f.mid = bytes[2];
    f.cid = bytes[3];
    f.data.assign(bytes.begin() + 4, bytes.end() - 1);
    return f;
}

} // namespace kivo::unitsim
