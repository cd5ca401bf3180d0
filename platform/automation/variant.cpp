#include "platform/automation/variant.h"

#include "platform/automation/text.h"

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>

namespace kivo::automation {

Variant::Variant(Variant&& other) noexcept : vt(other.vt), bits(other.bits)
{
    other.vt = VT_EMPTY;
    other.bits = 0;
}

Variant& Variant::operator=(Variant&& other) noexcept
{
    if (this != &other) {
        VariantClear(*this);
        vt = std::exchange(other.vt, VT_EMPTY);
        bits = std::exchange(other.bits, 0);
    }
    return *this;
}

Variant::~Variant()
{
    VariantClear(*this);
}

Variant Variant::i2(std::int16_t v)
{
    Variant r;
    r.vt = VT_I2;
    r.iVal = v;
    return r;
}

Variant Variant::i4(std::int32_t v)
{
    Variant r;
    r.vt = VT_I4;
    r.lVal = v;
    return r;
}

Variant Variant::r8(double v)
{
    Variant r;
    r.vt = VT_R8;
    r.dblVal = v;
    return r;
}

Variant Variant::boolean(bool v)
{
    Variant r;
    r.vt = VT_BOOL;
    r.boolVal = toVariantBool(v);
    return r;
}

Variant Variant::string(BSTR s)
{
    Variant r;
    r.vt = VT_BSTR;
    r.bstrVal = s;
    return r;
}

Variant Variant::array(SafeArray* a)
{
    Variant r;
    r.vt = VT_ARRAY | VT_I2;
    r.parray = a;
    return r;
}

namespace {

template <class T> Variant byRef(VarType vt, T* p, T* Variant::*member)
{
    Variant r;
    r.vt = vt | VT_BYREF;
    r.*member = p;
    return r;
}

} // namespace

Variant Variant::ref(std::int16_t* p)
{
    return byRef(VT_I2, p, &Variant::piVal);
}
Variant Variant::ref(std::int32_t* p)
{
    return byRef(VT_I4, p, &Variant::plVal);
}
Variant Variant::ref(double* p)
{
    return byRef(VT_R8, p, &Variant::pdblVal);
}
Variant Variant::ref(VariantBool* p)
{
    return byRef(VT_BOOL, p, &Variant::pboolVal);
}
Variant Variant::ref(BSTR* p)
{
    return byRef(VT_BSTR, p, &Variant::pbstrVal);
}
Variant Variant::ref(SafeArray** p)
{
    return byRef(VT_ARRAY | VT_I2, p, &Variant::pparray);
}

HRESULT VariantClear(Variant& v)
{
    if (v.vt == VT_BSTR) {
        SysFreeString(v.bstrVal);
    } else if (v.vt == (VT_ARRAY | VT_I2)) {
        const HRESULT hr = SafeArrayDestroy(v.parray);
        if (failed(hr)) {
            return hr;
        }
    }
    v.vt = VT_EMPTY;
    v.bits = 0;
    return S_OK;
}

HRESULT VariantCopy(Variant& dest, const Variant& src)
{
    if (&dest == &src) {
        return S_OK;
    }
    Variant copy;
    if (src.vt == VT_BSTR) {
        BSTR s = nullptr;
        if (src.bstrVal) {
            s = SysAllocStringLen(src.bstrVal, SysStringLen(src.bstrVal));
            if (!s) {
                return E_OUTOFMEMORY;
            }
        }
        copy = Variant::string(s);
    } else if (src.vt == (VT_ARRAY | VT_I2)) {
        SafeArray* a = nullptr;
        const HRESULT hr = SafeArrayCopy(src.parray, &a);
        if (failed(hr)) {
            return hr;
        }
        copy = Variant::array(a);
    } else {
        copy.vt = src.vt;
        copy.bits = src.bits;
    }
    dest = std::move(copy);
    return S_OK;
}

namespace {

// A by-value view of the source, read through a reference when it is one.
struct Value {
    VarType type = VT_EMPTY;
    std::int16_t i2 = 0;
    std::int32_t i4 = 0;
    double r8 = 0;
    VariantBool b = VARIANT_FALSE;
    BSTR s = nullptr;
    SafeArray* a = nullptr;
};

HRESULT readValue(const Variant& v, Value& out)
{
    out.type = v.baseType();
    const bool ref = v.isByRef();
    if (ref && v.bits == 0) {
        return E_INVALIDARG;
    }
    switch (out.type) {
    case VT_EMPTY:
        return ref ? E_INVALIDARG : S_OK;
    case VT_I2:
        out.i2 = ref ? *v.piVal : v.iVal;
        return S_OK;
    case VT_I4:
        out.i4 = ref ? *v.plVal : v.lVal;
        return S_OK;
    case VT_R8:
        out.r8 = ref ? *v.pdblVal : v.dblVal;
        return S_OK;
    case VT_BOOL:
        out.b = ref ? *v.pboolVal : v.boolVal;
        return S_OK;
    case VT_BSTR:
        out.s = ref ? *v.pbstrVal : v.bstrVal;
        return S_OK;
    case VT_ARRAY | VT_I2:
        out.a = ref ? *v.pparray : v.parray;
        return S_OK;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

std::string_view trimBlanks(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Parses a number the way callers write one, independent of the process locale.
HRESULT parseNumber(BSTR s, double& out)
{
    const std::string utf8 = toUtf8(s);
    std::string_view text = trimBlanks(utf8);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Digits or a point must follow: no "inf", "nan", hexadecimal or a second sign.
    if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.')) {
        return DISP_E_TYPEMISMATCH;
    }
    double value = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        return DISP_E_OVERFLOW;
    }
    if (ec != std::errc() || end != text.data() + text.size()) {
        return DISP_E_TYPEMISMATCH;
    }
    out = negative ? -value : value;
    return S_OK;
}

HRESULT toNumber(const Value& v, double& out)
{
    switch (v.type) {
    case VT_EMPTY:
        out = 0;
        return S_OK;
    case VT_I2:
        out = v.i2;
        return S_OK;
    case VT_I4:
        out = v.i4;
        return S_OK;
    case VT_R8:
        out = v.r8;
        return S_OK;
    case VT_BOOL:
        out = isTrue(v.b) ? -1 : 0;
        return S_OK;
    case VT_BSTR:
        return parseNumber(v.s, out);
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

// Rounds half to even and checks the range of the integer type.
HRESULT toInteger(double d, double lowest, double highest, double& out)
{
    if (!std::isfinite(d)) {
        return DISP_E_OVERFLOW;
    }
    double r = std::floor(d);
    const double fraction = d - r;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(r, 2.0) != 0)) {
        r += 1;
    }
    if (r < lowest || r > highest) {
        return DISP_E_OVERFLOW;
    }
    out = r;
    return S_OK;
}

std::string numberText(double d)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

HRESULT toText(const Value& v, Variant& dest)
{
    std::string text;
    switch (v.type) {
    case VT_EMPTY:
        break;
    case VT_I2:
        text = std::to_string(v.i2);
        break;
    case VT_I4:
        text = std::to_string(v.i4);
        break;
    case VT_R8:
        text = numberText(v.r8);
        break;
    case VT_BOOL:
        text = isTrue(v.b) ? "True" : "False";
        break;
    case VT_BSTR: {
        BSTR copy = nullptr;
        if (v.s && !(copy = SysAllocStringLen(v.s, SysStringLen(v.s)))) {
            return E_OUTOFMEMORY;
        }
        dest = Variant::string(copy);
        return S_OK;
    }
    default:
        return DISP_E_TYPEMISMATCH;
    }
    BSTR s = bstrFromUtf8(text);
    if (!s) {
        return E_OUTOFMEMORY;
    }
    dest = Variant::string(s);
    return S_OK;
}

HRESULT toBoolean(const Value& v, Variant& dest)
{
    if (v.type == VT_BSTR) {
        const std::string utf8 = toUtf8(v.s);
        const std::string_view text = trimBlanks(utf8);
        if (equalsIgnoringCase(text, "true") || equalsIgnoringCase(text, "false")) {
            dest = Variant::boolean(equalsIgnoringCase(text, "true"));
            return S_OK;
        }
    }
    double d = 0;
    const HRESULT hr = toNumber(v, d);
    if (hr == DISP_E_OVERFLOW) {
        // Too large to hold is still not zero.
        dest = Variant::boolean(true);
        return S_OK;
    }
    if (failed(hr)) {
        return hr;
    }
    dest = Variant::boolean(d != 0);
    return S_OK;
}

HRESULT changeType(Variant& dest, const Variant& src, VarType to)
{
    Value v;
    HRESULT hr = readValue(src, v);
    if (failed(hr)) {
        return hr;
    }
    if (to == (VT_ARRAY | VT_I2) || v.type == (VT_ARRAY | VT_I2)) {
        if (to != v.type) {
            return DISP_E_TYPEMISMATCH;
        }
        SafeArray* copy = nullptr;
        hr = SafeArrayCopy(v.a, &copy);
        if (succeeded(hr)) {
            dest = Variant::array(copy);
        }
        return hr;
    }
    if (to == VT_EMPTY) {
        return S_OK;
    }
    if (to == VT_BSTR) {
        return toText(v, dest);
    }
    if (to == VT_BOOL) {
        return toBoolean(v, dest);
    }
    double d = 0;
    hr = toNumber(v, d);
    if (failed(hr)) {
        return hr;
    }
    switch (to) {
    case VT_R8:
        dest = Variant::r8(d);
        return S_OK;
    case VT_I2:
        hr = toInteger(d, -32768.0, 32767.0, d);
        if (succeeded(hr)) {
            dest = Variant::i2(static_cast<std::int16_t>(d));
        }
        return hr;
    case VT_I4:
        hr = toInteger(d, -2147483648.0, 2147483647.0, d);
        if (succeeded(hr)) {
            dest = Variant::i4(static_cast<std::int32_t>(d));
        }
        return hr;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

} // namespace

HRESULT VariantChangeType(Variant& dest, const Variant& src, VarType to)
{
    // Converted aside first, so `dest` may be `src` itself.
    Variant out;
    const HRESULT hr = changeType(out, src, to);
    dest = std::move(out);
    return hr;
}

} // namespace kivo::automation
