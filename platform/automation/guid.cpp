#include "platform/automation/guid.h"

namespace kivo::automation {

std::string toString(const Guid& g)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "{";
    auto put = [&out](std::uint64_t value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
            out += kHex[(value >> shift) & 0xF];
        }
    };
    put(g.data1, 8);
    out += '-';
    put(g.data2, 4);
    out += '-';
    put(g.data3, 4);
    out += '-';
    put(g.data4[0], 2);
    put(g.data4[1], 2);
    out += '-';
    for (int i = 2; i < 8; ++i) {
        put(g.data4[i], 2);
    }
    out += '}';
    return out;
}

} // namespace kivo::automation
