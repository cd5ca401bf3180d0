#include "platform/automation/bstr.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace kivo::automation {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The byte count sits in the four bytes before the characters.
std::uint32_t* header(BSTR s)
{
    return reinterpret_cast<std::uint32_t*>(s) - 1;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendUtf16(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

// Decodes one code point at `i`, advancing it; overlong forms, surrogates and truncated
// sequences give U+FFFD and consume one byte, so decoding always makes progress.
char32_t decodeUtf8(std::string_view s, std::size_t& i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, c = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, c = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, c = b0 & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + extra >= s.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += extra + 1;
    return c;
}

} // namespace

BSTR SysAllocStringLen(const char16_t* text, std::uint32_t length)
{
    constexpr std::uint32_t kMax = (std::numeric_limits<std::uint32_t>::max() - 8) / 2;
    if (length > kMax) {
        return nullptr;
    }
    const std::size_t bytes = std::size_t(length) * sizeof(char16_t);
    void* block = std::malloc(sizeof(std::uint32_t) + bytes + sizeof(char16_t));
    if (!block) {
        return nullptr;
    }
    auto* size = static_cast<std::uint32_t*>(block);
    *size = static_cast<std::uint32_t>(bytes);
    auto* chars = reinterpret_cast<char16_t*>(size + 1);
    if (text) {
        std::memcpy(chars, text, bytes);
    } else {
        std::memset(chars, 0, bytes);
    }
    chars[length] = u'\0';
    return chars;
}

BSTR SysAllocString(std::u16string_view text)
{
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
        return nullptr;
    }
    return SysAllocStringLen(text.data() ? text.data() : u"",
                             static_cast<std::uint32_t>(text.size()));
}

void SysFreeString(BSTR s)
{
    if (s) {
        std::free(header(s));
    }
}

std::uint32_t SysStringLen(BSTR s)
{
    return s ? *header(s) / sizeof(char16_t) : 0;
}

std::u16string toUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        appendUtf16(out, decodeUtf8(utf8, i));
    }
    return out;
}

std::string toUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::string toUtf8(BSTR s)
{
    return s ? toUtf8(std::u16string_view(s, SysStringLen(s))) : "";
}

BSTR bstrFromUtf8(std::string_view utf8)
{
    return SysAllocString(toUtf16(utf8));
}

HRESULT assignString(BSTR* target, std::string_view utf8)
{
    if (!target) {
        return E_POINTER;
    }
    BSTR s = bstrFromUtf8(utf8);
    if (!s) {
        return E_OUTOFMEMORY;
    }
    SysFreeString(*target);
    *target = s;
    return S_OK;
}

} // namespace kivo::automation
