// Small text helpers of this folder. Names (ProgIDs, member names, registry keys) match without
// regard to letter case; only the ASCII letters fold, other bytes compare as they are.
#pragma once

#include <algorithm>
#include <string_view>

namespace kivo::automation {

constexpr char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The value of a hexadecimal digit in either case, or -1.
constexpr int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = lowerAscii(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// An ordering for maps whose keys match without regard to letter case.
struct LessIgnoringCase {
    using is_transparent = void;
    constexpr bool operator()(std::string_view a, std::string_view b) const
    {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) {
                                                return static_cast<unsigned char>(lowerAscii(x)) <
                                                       static_cast<unsigned char>(lowerAscii(y));
                                            });
    }
};

} // namespace kivo::automation
