// Globally unique identifiers of classes, interfaces and type libraries, with their registry text
// form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include "platform/automation/text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivo::automation {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::uint8_t data4[8] = {};

    friend constexpr bool operator==(const Guid&, const Guid&) = default;
};

using IID = Guid;
using CLSID = Guid;

namespace detail {

// Reads the text form, braces optional, hexadecimal digits in either case.
constexpr std::optional<Guid> parseGuid(std::string_view text)
{
    if (text.size() == 38) {
        if (text.front() != '{' || text.back() != '}') {
            return std::nullopt;
        }
        text = text.substr(1, 36);
    }
    if (text.size() != 36) {
        return std::nullopt;
    }
    std::uint8_t bytes[16] = {};
    int n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') {
                return std::nullopt;
            }
            continue;
        }
        const int high = hexDigitValue(text[i]);
        const int low = i + 1 < text.size() ? hexDigitValue(text[i + 1]) : -1;
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes[n++] = static_cast<std::uint8_t>(high * 16 + low);
        ++i;
    }
    Guid g;
    g.data1 = (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
              (std::uint32_t(bytes[2]) << 8) | bytes[3];
    g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) {
        g.data4[i] = bytes[8 + i];
    }
    return g;
}

} // namespace detail

// A GUID written in the source: guid("{00020400-0000-0000-C000-000000000046}"). A malformed text
// does not compile.
consteval Guid guid(std::string_view text)
{
    const auto g = detail::parseGuid(text);
    if (!g) {
        throw "malformed GUID text";
    }
    return *g;
}

// Reads a GUID from text such as a registry value; nullopt for anything malformed.
inline std::optional<Guid> parseGuid(std::string_view text)
{
    return detail::parseGuid(text);
}

// The text form with braces and upper-case digits, as the registry holds it.
std::string toString(const Guid& g);

} // namespace kivo::automation
