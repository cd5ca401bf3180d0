// Automation strings (BSTR).
//
// A BSTR points at zero-terminated UTF-16 text with its length in bytes stored just before the
// first character, so it may hold embedded zeros. The rules every caller and server relies on:
// - the side that produces a string allocates it (SysAllocString...), the side that receives it
//   owns it and frees it with SysFreeString;
// - a null BSTR is a valid string distinct from an empty one; SysStringLen(nullptr) is 0;
// - on the 8-bit side text is UTF-8 (toUtf8 / bstrFromUtf8). Malformed input becomes U+FFFD.
// Allocation uses malloc/free, so a string allocated in a server library is freed correctly by
// the program that loaded it.
#pragma once

#include "platform/automation/hresult.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kivo::automation {

using BSTR = char16_t*;

// A new string holding `text`; nullptr when memory runs out.
BSTR SysAllocString(std::u16string_view text);
// A new string of `length` characters copied from `text` (or zero-filled when `text` is null).
BSTR SysAllocStringLen(const char16_t* text, std::uint32_t length);
// Frees a string; nullptr is allowed.
void SysFreeString(BSTR s);
// The number of characters, embedded zeros included.
std::uint32_t SysStringLen(BSTR s);

// A new string from UTF-8 text; nullptr when memory runs out.
BSTR bstrFromUtf8(std::string_view utf8);
// The string as UTF-8; a null string gives "".
std::string toUtf8(BSTR s);
std::string toUtf8(std::u16string_view text);
std::u16string toUtf16(std::string_view utf8);

// Replaces *target with a new string from UTF-8 text, freeing the old one: how a method body
// fills an in-out or result string. E_OUTOFMEMORY leaves *target as it was.
HRESULT assignString(BSTR* target, std::string_view utf8);

// Owns one BSTR and frees it when it goes; for callers that receive strings.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::string_view utf8) : s_(bstrFromUtf8(utf8)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : s_(other.release()) {}
    Bstr& operator=(Bstr&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~Bstr() { SysFreeString(s_); }

    // Takes ownership of a string allocated elsewhere.
    static Bstr attach(BSTR s)
    {
        Bstr b;
        b.s_ = s;
        return b;
    }

    BSTR get() const { return s_; }
    // Frees the current string and gives its slot, for an API that writes a new one.
    BSTR* put()
    {
        reset();
        return &s_;
    }
    BSTR release()
    {
        BSTR s = s_;
        s_ = nullptr;
        return s;
    }
    void reset(BSTR s = nullptr)
    {
        SysFreeString(s_);
        s_ = s;
    }
    bool isNull() const { return s_ == nullptr; }
    std::string utf8() const { return toUtf8(s_); }

private:
    BSTR s_ = nullptr;
};

} // namespace kivo::automation
