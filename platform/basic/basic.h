// Numbers, texts and dates with the behaviour of the forms runtime the windows were written for.
//
// What a user types is read in the user's locale (its decimal separator, its grouping the lenient
// way the runtime accepts it); what files hold is read and written with "." whatever the locale.
// The process's C locale is never touched: everything here goes through std::from_chars,
// std::to_chars and QLocale.
//
// Conversions that can fail return a `Result`, never a silent zero:
//
//     const auto counts = basic::CInt(volts * factor);     // halves to even, 16-bit range check
//     if (!counts) { /* counts.errorDescription() is "Overflow" */ }
//     device.set(counts.value());                          // value() of a failure throws
//     RuntimeError
//
// A window handler that has "one recovery path for run-time failures" calls value() directly and
// catches `RuntimeError` around its body; never let it escape into the Qt event loop.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <concepts>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace kivo::basic {

// ---- The user's locale
// ----------------------------------------------------------------------------

// The locale used for what the user types and for numbers shown to the user: QLocale::system()
// until setUserLocale() replaces it (tests run under "." and "," locales this way).
QLocale userLocale();
void setUserLocale(const QLocale& locale);
// Back to QLocale::system().
void resetUserLocale();

// Replaces the user locale for its lifetime and puts the previous one back.
class ScopedUserLocale {
public:
    explicit ScopedUserLocale(const QLocale& locale);
    ~ScopedUserLocale();
    ScopedUserLocale(const ScopedUserLocale&) = delete;
    ScopedUserLocale& operator=(const ScopedUserLocale&) = delete;

private:
    std::optional<QLocale> previous_;
};

// The user locale's decimal separator, "." or "," for most locales; never empty ("." when the
// locale reports none).
QString decimalSeparator();

// The decimal separator the program took from the user locale once, at the end of its start-up:
// the one its windows draw (the five-digit display's separator picture) and accept in numeric
// entry fields, and the one numbers read from its INI files get. Empty until the program sets it,
// so what runs before (the first INI reads of the start-up) sees none. The one value for the
// whole program, read and written on the UI thread only; the main program names it
// KivoGlobals::DecimalSeparator.
inline QString programDecimalSeparator;

// ---- Results and run-time errors
// ------------------------------------------------------------------

// The run-time errors a conversion reports, numbered as the forms runtime numbers them.
enum class Failure { None = 0, Overflow = 6, TypeMismatch = 13 };

// "Overflow", "Type mismatch"; "" for Failure::None.
QString failureDescription(Failure failure);

// What value() of a failed Result throws: a reported run-time error with its number and text.
class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(Failure failure);
    Failure failure() const { return failure_; }
    int number() const { return static_cast<int>(failure_); }
    QString description() const { return failureDescription(failure_); }

private:
    Failure failure_;
};

// A converted value or the run-time error that stopped the conversion.
template <typename T> class Result {
public:
    Result(T value) : value_(value) {}
    // `failure` must not be Failure::None.
    Result(Failure failure) : failure_(failure) {}

    bool ok() const { return failure_ == Failure::None; }
    explicit operator bool() const { return ok(); }
    Failure failure() const { return failure_; }
    int errorNumber() const { return static_cast<int>(failure_); }
    QString errorDescription() const { return failureDescription(failure_); }

    // The value; throws RuntimeError when the conversion failed.
    T value() const
    {
        if (!ok()) {
            throw RuntimeError(failure_);
        }
        return value_;
    }
    T valueOr(T fallback) const { return ok() ? value_ : fallback; }

    friend bool operator==(const Result&, const Result&) = default;

private:
    T value_{};
    Failure failure_ = Failure::None;
};

// ---- Numbers
// ----------------------------------------------------------------------------------------

// Text the user typed, read as a whole in `locale`:
//   blanks (spaces, tabs) around the number are ignored; an optional sign ("+", "-" or the
//   locale's own); digits 0-9; the locale's grouping separator is skipped wherever it follows a
//   digit of the integer part (so "1,5" in an English locale reads 15 and "12.5" in a German one
//   reads 125, as the forms runtime reads them); one decimal separator; an optional exponent
//   ("E" or "e", optional sign, digits). Anything else, an empty or blank text, or a text without a
//   digit is a type mismatch; a magnitude beyond the double range is an overflow (a tiny one is 0).
//   No "&H" hexadecimal, no currency symbol, no parentheses.
// The same rules serve wherever text meets arithmetic in the windows' code (text / factor).
Result<double> CDbl(QStringView text, const QLocale& locale = userLocale());
// True exactly when CDbl(text, locale) succeeds.
bool IsNumeric(QStringView text, const QLocale& locale = userLocale());

// To a 16-bit integer: to the nearest integer, halves to the even one (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2); outside -32768..32767 after rounding (32767.5 included) or not finite: Overflow.
Result<std::int16_t> CInt(double value);
// Text as CDbl reads it, then as above: "N/A" and "" are a type mismatch.
Result<std::int16_t> CInt(QStringView text, const QLocale& locale = userLocale());
// The same for a 32-bit integer (-2147483648..2147483647).
Result<std::int32_t> CLng(double value);
Result<std::int32_t> CLng(QStringView text, const QLocale& locale = userLocale());

// The leading number of a text, "." as the decimal point whatever the locale:
//   spaces, tabs and line feeds are skipped wherever they stand ("1 2 3" is 123); an optional sign
//   at the start; digits with at most one "."; an optional exponent "E", "e", "D" or "d" with an
//   optional sign; reading stops at the first character that cannot continue the number and the
//   rest is ignored ("7abc" is 7, "1,5" is 1, "12.5.3" is 12.5). A text without a leading number
//   is 0. Never fails: a magnitude beyond the double range gives +-infinity, which CInt and CLng
//   then report as an overflow.
double Val(QStringView text);

// `value` rounded to `digits` decimals (0 or more; a negative count counts as 0), halves to the
// even digit. The half is judged on the number's shortest decimal form, the one CStr and the
// display show, so 2.675 -> 2.68, 0.125 -> 0.12, 2.5 -> 2 (0 decimals). Infinities and NaN come
// back unchanged.
double Round(double value, int digits = 0);

// A number as text in the general format of the forms runtime: at most 15 significant digits, no
// trailing zeros, no grouping, "-" for negatives, `locale`'s decimal separator; an exponent form
// ("1E+15", "1E-05") when the decimal exponent is below -4 or 15 and above. 12.5 -> "12.5" (or
// "12,5"), 120.0 -> "120", 0.1 + 0.2 -> "0.3". With QLocale::c() it is the "." form that messages
// showing bounds and files use.
QString CStr(double value, const QLocale& locale = userLocale());
// "True" or "False".
QString CStr(bool value);
// Whole numbers: their decimal digits, "-" for negatives.
template <std::integral T>
requires(!std::same_as<T, bool>) QString CStr(T value)
{
    return QString::number(value);
}

// A number from a file: the whole text, blanks around it ignored, sign, digits, at most one "."
// and an optional exponent; no grouping, whatever the user's locale. Otherwise TypeMismatch.
Result<double> fileNumber(QStringView text);
// A number for a file: CStr with "." as the decimal point.
QString fileNumberText(double value);

// ---- Texts
// ------------------------------------------------------------------------------------------
// Positions are 1-based, as in the forms runtime. QString::left and QString::right already behave
// as the runtime's Left and Right (a count beyond the length gives the whole text).

// `length` characters of `text` from position `start`; fewer when the text ends first; "" when
// `start` lies beyond the end or `length` is 0. Without a length: everything from `start` on.
// `start` below 1 or a negative `length` are invalid calls and give "".
QString Mid(const QString& text, qsizetype start);
QString Mid(const QString& text, qsizetype start, qsizetype length);

// Position (1-based) of the first occurrence of `needle` in `haystack` at or after `start`,
// compared exactly (case-sensitive); 0 when absent, when `haystack` is empty or when `start` lies
// beyond its end. An empty needle is found at `start`. `start` below 1 is an invalid call: 0.
qsizetype InStr(const QString& haystack, const QString& needle);
qsizetype InStr(qsizetype start, const QString& haystack, const QString& needle);

// `text` without its leading and trailing spaces (only U+0020, like the runtime's Trim; tabs stay).
QString Trim(const QString& text);
QString LTrim(const QString& text);
QString RTrim(const QString& text);

// ---- Dates
// --------------------------------------------------------------------------------------------

// The current local date and time.
QDateTime Now();

// A date and time as text in the general date form of `locale`, as the forms runtime writes it:
// the locale's short date, a blank, then its long time without a time zone. A locale whose short
// date has a two-digit year gets four digits. English (United States): "12/9/2026 3:04:05 PM",
// "1/1/2027 12:00:00 AM"; German (Germany): "09.12.2026 15:04:05". The time is always written,
// also at midnight.
QString generalDate(const QDateTime& when, const QLocale& locale = userLocale());

// A date and time through a pattern of the forms runtime's Format. Tokens, in either case:
//   d, dd       day of the month, without / with a leading zero
//   m, mm       month, or minutes when the last token before it was an hour (h, hh)
//   n, nn       minutes
//   yy, yyyy    year, two or four digits
//   h, hh       hour 0-23
//   s, ss       seconds
//   /           the date separator, written "/"
//   :           the time separator, written ":"
// Every other character is copied as it stands. Format(t, "DD/MM/YYYY,HH:MM:SS") gives
// "09/12/2026,15:04:05".
QString Format(const QDateTime& when, QStringView pattern);

} // namespace kivo::basic
