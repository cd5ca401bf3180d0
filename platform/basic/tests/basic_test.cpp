#include "platform/basic/basic.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <optional>

using namespace kivo::basic;

namespace {

const QLocale english(QLocale::English, QLocale::UnitedStates); // "." decimal, "," grouping
const QLocale german(QLocale::German, QLocale::Germany);        // "," decimal, "." grouping

QString localeName(const QLocale& locale)
{
    return locale.decimalPoint() == u"," ? QStringLiteral("comma locale")
                                         : QStringLiteral("point locale");
}

// A conversion's expected outcome: a value, or the failure that stopped it.
struct Expected {
    double value = 0;
    Failure failure = Failure::None;
};
constexpr Expected overflow{0, Failure::Overflow};
constexpr Expected mismatch{0, Failure::TypeMismatch};

template <typename T> void expectOutcome(const Result<T>& result, const Expected& expected)
{
    EXPECT_EQ(result.failure(), expected.failure);
    if (expected.failure == Failure::None && result.ok()) {
        EXPECT_EQ(static_cast<double>(result.value()), expected.value);
    }
}

// A text typed in a locale and what reading it gives.
struct TextCase {
    const char16_t* text;
    QLocale locale;
    Expected expected;

    std::string trace() const
    {
        return QString::fromUtf16(text).toStdString() + " in " + localeName(locale).toStdString();
    }
};

} // namespace

TEST(BasicLocale, DecimalSeparatorFollowsTheChosenUserLocale)
{
    {
        ScopedUserLocale scoped(german);
        EXPECT_EQ(decimalSeparator(), ",");
        EXPECT_EQ(CDbl(u"1,5").valueOr(0), 1.5); // the default locale argument is the user's
        {
            ScopedUserLocale inner(english);
            EXPECT_EQ(decimalSeparator(), ".");
        }
        EXPECT_EQ(decimalSeparator(), ",");
    }
    EXPECT_EQ(userLocale(), QLocale::system());
}

TEST(BasicConversion, CIntOfTextRoundsHalvesToEvenAndReportsFailures)
{
    const TextCase cases[] = {
        {u"3", english, {3}},
        {u"3.5", english, {4}},
        {u"2.5", english, {2}},
        {u"-2.5", english, {-2}},
        {u" 7 ", english, {7}},
        {u"1e3", english, {1000}},
        {u"32767", english, {32767}},
        {u"32767.5", english, overflow},
        {u"-32768.5", english, {-32768}},
        {u"-32769", english, overflow},
        {u"1e400", english, overflow},
        {u"N/A", english, mismatch},
        {u"", english, mismatch},
        {u"7abc", english, mismatch},
        {u"1,5", german, {2}}, // 1.5, the even neighbour
        {u"2,5", german, {2}},
        {u"1,5", english, {15}}, // "," groups in a point locale
        {u"12.5", german, {125}},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.trace());
        expectOutcome(CInt(c.text, c.locale), c.expected);
    }
}

TEST(BasicConversion, IntegerOfNumberRoundsHalvesToEvenWithinRange)
{
    struct Case {
        double value;
        Expected int16;
        Expected int32;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {2.5, {2}, {2}},
        {3.5, {4}, {4}},
        {-2.5, {-2}, {-2}},
        {-3.5, {-4}, {-4}},
        {0.5, {0}, {0}},
        {2.5000000000000004, {3}, {3}},
        {12.005 * 200, {2401}, {2401}},
        {32767.4, {32767}, {32767}},
        {32767.5, overflow, {32768}},
        {-32768.5, {-32768}, {-32768}},
        {-32768.6, overflow, {-32769}},
        {65535, overflow, {65535}},
        {2147483647.5, overflow, overflow},
        {-2147483648.5, overflow, {-2147483648.0}},
        {inf, overflow, overflow},
        {std::nan(""), overflow, overflow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        expectOutcome(CInt(c.value), c.int16);
        expectOutcome(CLng(c.value), c.int32);
    }
    expectOutcome(CLng(u"70000", english), {70000});
    expectOutcome(CLng(u"", english), mismatch);
}

TEST(BasicConversion, CDblAndIsNumericReadTheUserLocaleLeniently)
{
    const TextCase cases[] = {
        {u"12.5", english, {12.5}},
        {u"12.5", german, {125}}, // "." is the grouping of a comma locale
        {u"1,5", german, {1.5}},
        {u"1,5", english, {15}},
        {u"1.234,5", german, {1234.5}},
        {u"1,234.5", english, {1234.5}},
        {u"1,2,3", english, {123}},
        {u"1,", english, {1}},
        {u".5", english, {0.5}},
        {u",5", german, {0.5}},
        {u"5.", english, {5}},
        {u"-1,5", german, {-1.5}},
        {u"+3", english, {3}},
        {u"\t5 ", english, {5}},
        {u"1e3", english, {1000}},
        {u"1E-2", german, {0.01}},
        {u"1e-400", english, {0}},
        {u"1e400", english, overflow},
        {u"", english, mismatch},
        {u"   ", english, mismatch},
        {u".", english, mismatch},
        {u"-", english, mismatch},
        {u"N/A", german, mismatch},
        {u"1e", english, mismatch},
        {u"3 4", english, mismatch},
        {u"1,,2", english, mismatch},
        {u",5", english, mismatch}, // grouping only after a digit
        {u"1.2.3", english, mismatch},
        {u"1,5", QLocale::c(), {15}},
        {u"&H10", english, mismatch},
        {u"inf", english, mismatch},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.trace());
        const Result<double> result = CDbl(c.text, c.locale);
        expectOutcome(result, c.expected);
        EXPECT_EQ(IsNumeric(c.text, c.locale), c.expected.failure == Failure::None);
    }
}

TEST(BasicConversion, FailedResultsThrowTheirRunTimeErrorOnlyWhenTheValueIsTaken)
{
    const Result<std::int16_t> tooBig = CInt(40000.0);
    EXPECT_FALSE(tooBig);
    EXPECT_EQ(tooBig.errorNumber(), 6);
    EXPECT_EQ(tooBig.errorDescription(), "Overflow");
    EXPECT_EQ(tooBig.valueOr(-1), -1);
    try {
        (void)tooBig.value();
        ADD_FAILURE() << "value() of an overflow returned";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), 6);
        EXPECT_EQ(error.description(), "Overflow");
    }

    const Result<double> text = CDbl(u"N/A", english);
    EXPECT_EQ(text.errorNumber(), 13);
    EXPECT_EQ(text.errorDescription(), "Type mismatch");
    EXPECT_THROW((void)text.value(), RuntimeError);
    EXPECT_EQ(CInt(7.0).value(), 7);
}

TEST(BasicConversion, ValReadsTheLeadingNumberWithAPointWhateverTheLocale)
{
    struct Case {
        const char16_t* text;
        double value;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {u"", 0},        {u"   ", 0},     {u"abc", 0},
        {u"7", 7},       {u"7abc", 7},    {u"2.5", 2.5},
        {u"12.5", 12.5}, {u"1,5", 1},     {u"12.5.3", 12.5},
        {u".5", 0.5},    {u"-.5", -0.5},  {u"+3", 3},
        {u"-", 0},       {u"--1", 0},     {u"  -1.5e2xyz", -150},
        {u"1 2 3", 123}, {u"\t4\n2", 42}, {u" - 3", -3},
        {u"1e", 1},      {u"1e+", 1},     {u"1D2", 100},
        {u"1e-2", 0.01}, {u"1e400", inf}, {u"-1e400", -inf},
    };
    ScopedUserLocale comma(german);
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        EXPECT_EQ(Val(c.text), c.value);
    }
    // A typed unit ID: leading number, then to a 16-bit integer with halves to even.
    EXPECT_EQ(CInt(Val(u"2.5")).value(), 2);
    EXPECT_EQ(CInt(Val(u"3.5")).value(), 4);
    EXPECT_EQ(CInt(Val(u"1e400")).failure(), Failure::Overflow);
}

TEST(BasicNumbers, RoundHalvesToEvenOnTheShownDigits)
{
    struct Case {
        double value;
        int digits;
        double rounded;
    };
    const Case cases[] = {
        {2.5, 0, 2},           {3.5, 0, 4},
        {-2.5, 0, -2},         {99.5, 0, 100},
        {5.25 * 10, 0, 52},    {0.125, 2, 0.12},
        {0.135, 2, 0.14},      {2.675, 2, 2.68},
        {1.005, 2, 1.0},       {12.345, 2, 12.34},
        {12.355, 2, 12.36},    {0.0075, 2, 0.01},
        {9.995, 2, 10.0},      {-0.125, 2, -0.12},
        {1.0 / 3, 2, 0.33},    {2.0 / 3, 2, 0.67},
        {250.0 / 100, 2, 2.5}, {123.456, 1, 123.5},
        {12.0, 2, 12.0},       {1e20, 2, 1e20},
        {0.1 + 0.2, 15, 0.3},  {0.1 + 0.2, 17, 0.1 + 0.2},
        {7.4, -1, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " to " + std::to_string(c.digits));
        EXPECT_EQ(Round(c.value, c.digits), c.rounded);
    }
    EXPECT_TRUE(std::isnan(Round(std::nan(""), 2)));
}

TEST(BasicNumbers, CStrWritesTheGeneralFormatInTheGivenLocale)
{
    struct Case {
        double value;
        const char* point;
        const char* comma;
    };
    const Case cases[] = {
        {12.5, "12.5", "12,5"},
        {120, "120", "120"},
        {123.0 / 10, "12.3", "12,3"},
        {0.1 + 0.2, "0.3", "0,3"},
        {1.0 / 3, "0.333333333333333", "0,333333333333333"},
        {-2.5, "-2.5", "-2,5"},
        {-0.0, "0", "0"},
        {2.8875, "2.8875", "2,8875"},
        {123456789012345.0, "123456789012345", "123456789012345"},
        {1e15, "1E+15", "1E+15"},
        {0.0001, "0.0001", "0,0001"},
        {0.00001, "1E-05", "1E-05"},
        {1.5e-7, "1.5E-07", "1,5E-07"},
        {1234567.0, "1234567", "1234567"},
        {Round(1.0 / 3 * 100, 2), "33.33", "33,33"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.point);
        EXPECT_EQ(CStr(c.value, english), c.point);
        EXPECT_EQ(CStr(c.value, german), c.comma);
        EXPECT_EQ(CStr(c.value, QLocale::c()), c.point);
    }
    EXPECT_EQ(CStr(true), "True");
    EXPECT_EQ(CStr(false), "False");
    EXPECT_EQ(CStr(42), "42");
    EXPECT_EQ(CStr(std::int16_t{-5}), "-5");
}

TEST(BasicNumbers, FileNumbersUseAPointWhateverTheUserLocale)
{
    ScopedUserLocale comma(german);
    struct Case {
        const char16_t* text;
        Expected expected;
    };
    const Case cases[] = {
        {u"12.5", {12.5}},  {u" -3 ", {-3}},      {u"+0.25", {0.25}}, {u"1e3", {1000}},
        {u"1,5", mismatch}, {u"1.2.3", mismatch}, {u"", mismatch},    {u"N/A", mismatch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        expectOutcome(fileNumber(c.text), c.expected);
    }
    EXPECT_EQ(fileNumberText(12.5), "12.5");
    EXPECT_EQ(fileNumberText(1e-7), "1E-07");
}

TEST(BasicText, MidCountsFromOne)
{
    struct Case {
        const char* text;
        qsizetype start;
        std::optional<qsizetype> length;
        const char* result;
    };
    const Case cases[] = {
        {"abcdef", 1, 3, "abc"}, {"abcdef", 4, {}, "def"}, {"abcdef", 6, 1, "f"},
        {"abcdef", 5, 10, "ef"}, {"abcdef", 7, 1, ""},     {"abcdef", 7, {}, ""},
        {"abcdef", 2, 0, ""},    {"", 1, 1, ""},           {"abc", 0, 1, ""},
        {"abc", 1, -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " from " + std::to_string(c.start));
        const QString text = QString::fromLatin1(c.text);
        EXPECT_EQ(c.length ? Mid(text, c.start, *c.length) : Mid(text, c.start), c.result);
    }
}

TEST(BasicText, InStrFindsOneBasedPositions)
{
    struct Case {
        qsizetype start;
        const char* haystack;
        const char* needle;
        qsizetype position;
    };
    const Case cases[] = {
        {1, "12.5", ".", 3}, {1, "12.5", ",", 0}, {3, "a.b.c", ".", 4}, {4, "a.b.c", ".", 4},
        {3, "abc", "c", 3},  {5, "abc", "b", 0},  {1, "abc", "B", 0},   {1, "", "", 0},
        {1, "abc", "", 1},   {2, "abc", "", 2},   {4, "abc", "", 0},    {0, "abc", "a", 0},
        {1, "ab", "abc", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.haystack) + " / " + c.needle);
        EXPECT_EQ(InStr(c.start, QString::fromLatin1(c.haystack), QString::fromLatin1(c.needle)),
                  c.position);
    }
    EXPECT_EQ(InStr(QStringLiteral("3,40"), QStringLiteral(",")), 2);
}

TEST(BasicText, TrimRemovesSpacesOnly)
{
    EXPECT_EQ(Trim(QStringLiteral("  a b  ")), "a b");
    EXPECT_EQ(Trim(QStringLiteral("\ta\t")), "\ta\t");
    EXPECT_EQ(Trim(QStringLiteral("   ")), "");
    EXPECT_EQ(LTrim(QStringLiteral("  a ")), "a ");
    EXPECT_EQ(RTrim(QStringLiteral("  a ")), "  a");
}

TEST(BasicDates, GeneralDateIsTheLocalesShortDateThenItsLongTime)
{
    struct Case {
        QLocale locale;
        QDateTime when;
        QString text;
    };
    const QDateTime afternoon(QDate(2026, 12, 9), QTime(15, 4, 5));
    const QLocale persian(QLocale::Persian, QLocale::Iran);
    const Case cases[] = {
        {english, afternoon, "12/9/2026 3:04:05 PM"},
        {english, QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0)), "1/1/2027 12:00:00 AM"},
        {english, QDateTime(QDate(2027, 1, 31), QTime(12, 30, 0)), "1/31/2027 12:30:00 PM"},
        {english, QDateTime(QDate(2027, 11, 1), QTime(11, 59, 59)), "11/1/2027 11:59:59 AM"},
        // A two-digit year of the locale's short date is written with four digits.
        {german, afternoon, "09.12.2026 15:04:05"},
        {german, QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0)), "01.01.2027 00:00:00"},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), afternoon, "09/12/2026 15:04:05"},
        // The long time of the locale names no time zone, wherever the locale puts it.
        {QLocale(QLocale::Chinese, QLocale::China), afternoon, "2026/12/9 15:04:05"},
        {persian, afternoon,
         persian.toString(QDate(2026, 12, 9), u"yyyy/M/d") + u' ' +
             persian.toString(QTime(15, 4, 5), u"H:mm:ss")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString() + " " +
                     c.when.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(generalDate(c.when, c.locale), c.text);
        ScopedUserLocale user(c.locale);
        EXPECT_EQ(generalDate(c.when), c.text);
    }
}

TEST(BasicDates, FormatPatternsOfTheLogs)
{
    struct Case {
        QDateTime when;
        const char* pattern;
        const char* text;
    };
    const QDateTime afternoon(QDate(2026, 12, 9), QTime(15, 4, 5));
    const QDateTime newYear(QDate(2027, 1, 1), QTime(0, 0, 7));
    const Case cases[] = {
        {afternoon, "DD/MM/YYYY,HH:MM:SS", "09/12/2026,15:04:05"},
        {afternoon, "DD/MM,HH:MM:SS", "09/12,15:04:05"},
        {newYear, "DD/MM/YYYY,HH:MM:SS", "01/01/2027,00:00:07"},
        {newYear, "DD/MM,HH:MM:SS", "01/01,00:00:07"},
        {afternoon, "d/m/yy h:n:s", "9/12/26 15:4:5"},
        {afternoon, "dd-mm hh:mm", "09-12 15:04"},
    };
    ScopedUserLocale comma(german);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(Format(c.when, QString::fromLatin1(c.pattern)), c.text);
    }
}
