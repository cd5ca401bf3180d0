// Automation values (VARIANT): empty, 16- and 32-bit integers, doubles, VARIANT_BOOL, strings and
// arrays of 16-bit integers, each also by reference (VT_BYREF: the variant points at the caller's
// storage and owns nothing).
//
// A by-value variant owns its string or array and frees it when it is cleared or destroyed.
// Variants are moved, never copied implicitly; VariantCopy makes a deep copy.
#pragma once

#include "platform/automation/bstr.h"
#include "platform/automation/hresult.h"
#include "platform/automation/safearray.h"

#include <cstdint>

namespace kivo::automation {

// Automation's boolean: true is -1 (all bits set), false is 0.
enum class VariantBool : std::int16_t {};
inline constexpr VariantBool VARIANT_TRUE{-1};
inline constexpr VariantBool VARIANT_FALSE{0};

constexpr bool isTrue(VariantBool b)
{
    return b != VARIANT_FALSE;
}
constexpr VariantBool toVariantBool(bool b)
{
    return b ? VARIANT_TRUE : VARIANT_FALSE;
}

struct Variant {
    VarType vt = VT_EMPTY;
    union {
        std::uint64_t bits = 0;
        void* byref;
        std::int16_t iVal;
        std::int32_t lVal;
        double dblVal;
        VariantBool boolVal;
        BSTR bstrVal;
        SafeArray* parray;
        std::int16_t* piVal;
        std::int32_t* plVal;
        double* pdblVal;
        VariantBool* pboolVal;
        BSTR* pbstrVal;
        SafeArray** pparray;
    };

    Variant() = default;
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;
    ~Variant();

    static Variant i2(std::int16_t v);
    static Variant i4(std::int32_t v);
    static Variant r8(double v);
    static Variant boolean(bool v);
    // Takes ownership of `s`; a null string is a valid value.
    static Variant string(BSTR s);
    // Takes ownership of an array of 16-bit integers.
    static Variant array(SafeArray* a);
    static Variant ref(std::int16_t* p);
    static Variant ref(std::int32_t* p);
    static Variant ref(double* p);
    static Variant ref(VariantBool* p);
    static Variant ref(BSTR* p);
    static Variant ref(SafeArray** p);

    bool isByRef() const { return (vt & VT_BYREF) != 0; }
    // The type with VT_BYREF removed.
    VarType baseType() const { return vt & ~VT_BYREF; }
};

// Frees what a by-value variant owns and leaves it empty. An array that is still locked is left
// in place and DISP_E_ARRAYISLOCKED returned.
HRESULT VariantClear(Variant& v);

// Makes `dest` a copy of `src`: strings and arrays are duplicated, a by-reference variant copies
// the pointer.
HRESULT VariantCopy(Variant& dest, const Variant& src);

// Converts `src` (read through a reference if it is one) to a by-value variant of type `to`
// (VT_EMPTY, VT_I2, VT_I4, VT_R8, VT_BOOL, VT_BSTR or VT_ARRAY | VT_I2) by the automation rules:
// - text to a number: surrounding blanks ignored, an optional sign, digits with an optional "."
//   fraction and exponent; "3" gives 3. Anything else, "" included, is DISP_E_TYPEMISMATCH;
// - to an integer, fractions round half to even ("3.5" gives 4, "2.5" gives 2) and a value outside
//   the type's range is DISP_E_OVERFLOW (40000 into VT_I2);
// - to VT_BOOL, any non-zero number is VARIANT_TRUE; the texts "True" and "False" in any case too;
// - a boolean is -1 or 0 as a number and "True" or "False" as text; empty is 0, false or "";
// - an array converts only to an array (a copy); nothing else converts to or from one.
// On failure `dest` is left empty.
HRESULT VariantChangeType(Variant& dest, const Variant& src, VarType to);

} // namespace kivo::automation
