// GUID text, strings, arrays and the conversion of variants.
#include "platform/automation/bstr.h"
#include "platform/automation/guid.h"
#include "platform/automation/safearray.h"
#include "platform/automation/variant.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kivo::automation;

TEST(Guid, TextFormRoundTripsInUpperCaseWithBraces)
{
    constexpr Guid g = guid("{00020400-0000-0000-c000-000000000046}");
    EXPECT_EQ(g.data1, 0x00020400u);
    EXPECT_EQ(g.data4[0], 0xC0);
    EXPECT_EQ(toString(g), "{00020400-0000-0000-C000-000000000046}");
    EXPECT_EQ(parseGuid(toString(g)), g);
    EXPECT_EQ(parseGuid("00020400-0000-0000-C000-000000000046"), g);
}

TEST(Guid, MalformedTextIsRefused)
{
    for (const char* text :
         {"", "{}", "{00020400-0000-0000-C000-00000000004}",
          "{00020400-0000-0000-C000-0000000000467}", "{00020400+0000-0000-C000-000000000046}",
          "{0002040G-0000-0000-C000-000000000046}", "(00020400-0000-0000-C000-000000000046)"}) {
        EXPECT_FALSE(parseGuid(text)) << text;
    }
}

TEST(Bstr, NullStringIsDistinctFromEmpty)
{
    Bstr empty("");
    ASSERT_NE(empty.get(), nullptr);
    EXPECT_EQ(SysStringLen(empty.get()), 0u);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(toUtf8(nullptr), "");
    EXPECT_TRUE(Bstr().isNull());
    EXPECT_FALSE(empty.isNull());
}

TEST(Bstr, Utf8RoundTripsThroughUtf16)
{
    const std::string text = "Gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82\xAC \xF0\x9D\x84\x9E";
    Bstr s(text);
    // Five letters, two blanks, the euro sign and a character outside the basic plane (two units).
    EXPECT_EQ(SysStringLen(s.get()), 10u);
    EXPECT_EQ(s.get()[9], u'\xDD1E');
    EXPECT_EQ(s.utf8(), text);
}

TEST(Bstr, LengthCountsEmbeddedZeros)
{
    const char16_t chars[] = {u'a', u'\0', u'b'};
    Bstr s = Bstr::attach(SysAllocStringLen(chars, 3));
    EXPECT_EQ(SysStringLen(s.get()), 3u);
    EXPECT_EQ(s.utf8(), std::string("a\0b", 3));
}

TEST(Bstr, MalformedUtf8BecomesReplacementCharacters)
{
    // A lone continuation byte, a truncated sequence and an overlong "/".
    EXPECT_EQ(toUtf16("a\x80z"), u"a\uFFFDz");
    EXPECT_EQ(toUtf16("a\xE2\x82"), u"a\uFFFD\uFFFD");
    EXPECT_EQ(toUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    const char16_t lone[] = {u'x', u'\xD800'};
    EXPECT_EQ(toUtf8(std::u16string_view(lone, 2)), "x\xEF\xBF\xBD");
}

TEST(Bstr, AssignStringReplacesTheOldString)
{
    BSTR s = bstrFromUtf8("old");
    ASSERT_EQ(assignString(&s, "new"), S_OK);
    EXPECT_EQ(toUtf8(s), "new");
    SysFreeString(s);
    EXPECT_EQ(assignString(nullptr, "x"), E_POINTER);
}

TEST(SafeArray, VectorDescribesItsShapeAndUsesItsOwnIndices)
{
    SafeArray* a = SafeArrayCreateVector(VT_I2, 1, 8);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(SafeArrayGetDim(a), 1);
    EXPECT_EQ(SafeArrayGetElemsize(a), 2u);
    std::int32_t lb = 0, ub = 0;
    EXPECT_EQ(SafeArrayGetLBound(a, 1, &lb), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(a, 1, &ub), S_OK);
    EXPECT_EQ(lb, 1);
    EXPECT_EQ(ub, 8);
    EXPECT_EQ(SafeArrayGetLBound(a, 2, &lb), DISP_E_BADINDEX);

    for (std::int32_t i = 1; i <= 8; ++i) {
        const std::int16_t v = static_cast<std::int16_t>(i * 10);
        ASSERT_EQ(SafeArrayPutElement(a, &i, &v), S_OK);
    }
    // Index 1 is the first element of the data.
    EXPECT_EQ(static_cast<std::int16_t*>(a->pvData)[0], 10);
    EXPECT_EQ(static_cast<std::int16_t*>(a->pvData)[7], 80);
    std::int16_t v = 0;
    for (const std::int32_t outside : {0, 9, -1}) {
        EXPECT_EQ(SafeArrayGetElement(a, &outside, &v), DISP_E_BADINDEX) << outside;
    }
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);
}

TEST(SafeArray, ElementsStartZeroedAndCopiesAreIndependent)
{
    SafeArray* a = SafeArrayCreateVector(VT_I2, 0, 3);
    ASSERT_NE(a, nullptr);
    const std::int32_t i = 2;
    std::int16_t v = -1;
    EXPECT_EQ(SafeArrayGetElement(a, &i, &v), S_OK);
    EXPECT_EQ(v, 0);
    SafeArray* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(a, &copy), S_OK);
    v = 7;
    SafeArrayPutElement(a, &i, &v);
    EXPECT_EQ(SafeArrayGetElement(copy, &i, &v), S_OK);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(copy->rgsabound[0].lLbound, 0);
    SafeArrayDestroy(copy);
    SafeArrayDestroy(a);
}

TEST(SafeArray, LockedArrayCannotBeDestroyed)
{
    SafeArray* a = SafeArrayCreateVector(VT_I2, 1, 8);
    ASSERT_NE(a, nullptr);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
    EXPECT_EQ(data, a->pvData);
    ASSERT_EQ(SafeArrayLock(a), S_OK);
    EXPECT_EQ(a->cLocks, 2u);
    EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);
    Variant owner = Variant::array(a);
    EXPECT_EQ(VariantClear(owner), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnlock(a), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(a), S_OK);
    EXPECT_EQ(SafeArrayUnlock(a), E_UNEXPECTED);
    EXPECT_EQ(VariantClear(owner), S_OK);
}

TEST(SafeArray, ShapesOtherThanAVectorOfShorts)
{
    const SafeArrayBound bounds[2] = {{2, 0}, {4, 1}};
    SafeArray* grid = SafeArrayCreate(VT_I2, 2, bounds);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(SafeArrayGetDim(grid), 2);
    EXPECT_EQ(SafeArrayElementCount(grid), 8u);
    const std::int32_t at[2] = {1, 4};
    const std::int16_t v = 5;
    EXPECT_EQ(SafeArrayPutElement(grid, at, &v), S_OK);
    EXPECT_EQ(static_cast<std::int16_t*>(grid->pvData)[7], 5);
    SafeArrayDestroy(grid);

    SafeArray* longs = SafeArrayCreateVector(VT_I4, 1, 8);
    ASSERT_NE(longs, nullptr);
    EXPECT_EQ(SafeArrayGetElemsize(longs), 4u);
    SafeArrayDestroy(longs);

    EXPECT_EQ(SafeArrayCreateVector(VT_BSTR, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I2, 0, bounds), nullptr);
}

namespace {

struct Conversion {
    const char* what;
    std::function<Variant()> source;
    VarType to;
    HRESULT hr;
    const char* expected; // the converted value as text
};

Variant text(const char* s)
{
    return Variant::string(bstrFromUtf8(s));
}

std::int16_t shortForRef = 12;

} // namespace

TEST(VariantChangeType, FollowsTheAutomationRules)
{
    const Conversion table[] = {
        {"text 3", [] { return text("3"); }, VT_I2, S_OK, "3"},
        {"blanks around", [] { return text(" 3 "); }, VT_I2, S_OK, "3"},
        {"signs", [] { return text("-17"); }, VT_I2, S_OK, "-17"},
        {"3.5 rounds up to even", [] { return text("3.5"); }, VT_I2, S_OK, "4"},
        {"2.5 rounds down to even", [] { return text("2.5"); }, VT_I2, S_OK, "2"},
        {"-2.5 to even", [] { return text("-2.5"); }, VT_I2, S_OK, "-2"},
        {"2.51 rounds up", [] { return text("2.51"); }, VT_I2, S_OK, "3"},
        {"exponent", [] { return text("1e3"); }, VT_I2, S_OK, "1000"},
        {"N/A", [] { return text("N/A"); }, VT_I2, DISP_E_TYPEMISMATCH, ""},
        {"empty text", [] { return text(""); }, VT_I2, DISP_E_TYPEMISMATCH, ""},
        {"null text", [] { return Variant::string(nullptr); }, VT_I2, DISP_E_TYPEMISMATCH, ""},
        {"trailing letters", [] { return text("3abc"); }, VT_I2, DISP_E_TYPEMISMATCH, ""},
        {"inf", [] { return text("inf"); }, VT_I2, DISP_E_TYPEMISMATCH, ""},
        {"hexadecimal", [] { return text("0x10"); }, VT_I2, DISP_E_TYPEMISMATCH, ""},
        {"text 40000 into 16 bits", [] { return text("40000"); }, VT_I2, DISP_E_OVERFLOW, ""},
        {"text 40000 into 32 bits", [] { return text("40000"); }, VT_I4, S_OK, "40000"},
        {"too large for a double", [] { return text("1e999"); }, VT_I4, DISP_E_OVERFLOW, ""},
        {"40000 into 16 bits", [] { return Variant::i4(40000); }, VT_I2, DISP_E_OVERFLOW, ""},
        {"-32768 fits", [] { return Variant::i4(-32768); }, VT_I2, S_OK, "-32768"},
        {"32767.5 rounds out of range", [] { return Variant::r8(32767.5); }, VT_I2, DISP_E_OVERFLOW,
         ""},
        {"double 3.5", [] { return Variant::r8(3.5); }, VT_I2, S_OK, "4"},
        {"double 2.5", [] { return Variant::r8(2.5); }, VT_I4, S_OK, "2"},
        {"true is -1", [] { return Variant::boolean(true); }, VT_I2, S_OK, "-1"},
        {"empty is 0", [] { return Variant(); }, VT_I2, S_OK, "0"},
        {"non-zero is true", [] { return Variant::i2(5); }, VT_BOOL, S_OK, "True"},
        {"negative is true", [] { return Variant::i4(-40000); }, VT_BOOL, S_OK, "True"},
        {"zero is false", [] { return Variant::i2(0); }, VT_BOOL, S_OK, "False"},
        {"fraction is true", [] { return Variant::r8(0.25); }, VT_BOOL, S_OK, "True"},
        {"text True", [] { return text("tRUE"); }, VT_BOOL, S_OK, "True"},
        {"text 0", [] { return text("0"); }, VT_BOOL, S_OK, "False"},
        {"text yes", [] { return text("yes"); }, VT_BOOL, DISP_E_TYPEMISMATCH, ""},
        {"number to text", [] { return Variant::i2(-42); }, VT_BSTR, S_OK, "-42"},
        {"double to text", [] { return Variant::r8(2.5); }, VT_BSTR, S_OK, "2.5"},
        {"read through a reference", [] { return Variant::ref(&shortForRef); }, VT_I4, S_OK, "12"},
        {"array to number", [] { return Variant::array(SafeArrayCreateVector(VT_I2, 0, 8)); },
         VT_I2, DISP_E_TYPEMISMATCH, ""},
        {"number to array", [] { return Variant::i2(1); }, VT_ARRAY | VT_I2, DISP_E_TYPEMISMATCH,
         ""},
    };
    for (const Conversion& row : table) {
        SCOPED_TRACE(row.what);
        Variant source = row.source();
        Variant result;
        ASSERT_EQ(VariantChangeType(result, source, row.to), row.hr);
        if (failed(row.hr)) {
            EXPECT_EQ(result.vt, VT_EMPTY);
            continue;
        }
        EXPECT_EQ(result.vt, row.to);
        Variant asText;
        ASSERT_EQ(VariantChangeType(asText, result, VT_BSTR), S_OK);
        EXPECT_EQ(toUtf8(asText.bstrVal), row.expected);
    }
}

TEST(VariantChangeType, ConvertsInPlaceAndCopiesArrays)
{
    Variant v = text("7");
    ASSERT_EQ(VariantChangeType(v, v, VT_I2), S_OK);
    EXPECT_EQ(v.vt, VT_I2);
    EXPECT_EQ(v.iVal, 7);

    Variant a = Variant::array(SafeArrayCreateVector(VT_I2, 1, 8));
    Variant b;
    ASSERT_EQ(VariantChangeType(b, a, VT_ARRAY | VT_I2), S_OK);
    EXPECT_NE(b.parray, a.parray);
    EXPECT_EQ(b.parray->rgsabound[0].lLbound, 1);
}

TEST(Variant, ByValueOwnsAndByReferenceBorrows)
{
    BSTR s = bstrFromUtf8("mine");
    {
        Variant ref = Variant::ref(&s);
        Variant moved = std::move(ref);
        EXPECT_EQ(ref.vt, VT_EMPTY);
        EXPECT_EQ(moved.vt, VT_BSTR | VT_BYREF);
    }
    // Still ours after the by-reference variants went.
    EXPECT_EQ(toUtf8(s), "mine");
    Variant owner = Variant::string(s);
    Variant copy;
    ASSERT_EQ(VariantCopy(copy, owner), S_OK);
    EXPECT_NE(copy.bstrVal, owner.bstrVal);
    EXPECT_EQ(toUtf8(copy.bstrVal), "mine");
}
