#include "platform/basic/basic.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace kivo::basic {

QString failureDescription(Failure failure)
{
    switch (failure) {
    case Failure::None:
        return {};
    case Failure::Overflow:
        return QStringLiteral("Overflow");
    case Failure::TypeMismatch:
        return QStringLiteral("Type mismatch");
    }
    return {};
}

RuntimeError::RuntimeError(Failure failure)
    : std::runtime_error(failureDescription(failure).toStdString()), failure_(failure)
{
}

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// A number taken apart: sign, the digits before and after the decimal point, and the exponent
// (already saturated, so a typed "1e999999999999" cannot overflow an int).
struct DecimalParts {
    bool negative = false;
    std::string integerDigits;
    std::string fractionDigits;
    int exponent = 0;
};

constexpr int exponentLimit = 100000;

void addExponentDigit(int& exponent, QChar digit)
{
    exponent = std::min(exponent * 10 + (digit.unicode() - u'0'), exponentLimit);
}

// The double nearest to the parts; Overflow beyond the double range, 0 below it.
Result<double> toDouble(const DecimalParts& parts)
{
    std::string text = parts.integerDigits.empty() ? "0" : parts.integerDigits;
    if (!parts.fractionDigits.empty()) {
        text += '.';
        text += parts.fractionDigits;
    }
    text += 'e';
    text += std::to_string(parts.exponent);

    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too large or too small: which one follows from the position of the first significant
        // digit relative to the decimal point.
        const std::string digits = parts.integerDigits + parts.fractionDigits;
        const auto first = digits.find_first_not_of('0');
        if (first == std::string::npos) {
            value = 0;
        } else {
            const long long magnitude = static_cast<long long>(parts.integerDigits.size()) -
                                        static_cast<long long>(first) + parts.exponent;
            if (magnitude > 0) {
                return Failure::Overflow;
            }
            value = 0;
        }
    } else if (error != std::errc() || end != text.data() + text.size()) {
        return Failure::TypeMismatch;
    }
    return parts.negative ? -value : value;
}

struct NumberSyntax {
    QString decimal;
    QString group; // empty: no grouping accepted
    QString minus;
    QString plus;
};

NumberSyntax syntaxOf(const QLocale& locale)
{
    NumberSyntax syntax{locale.decimalPoint(), locale.groupSeparator(), locale.negativeSign(),
                        locale.positiveSign()};
    if (syntax.decimal.isEmpty()) {
        syntax.decimal = QStringLiteral(".");
    }
    if (syntax.group == syntax.decimal) {
        syntax.group.clear();
    }
    return syntax;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The whole of `text` as one number in `syntax`.
Result<double> parseWhole(QStringView text, const NumberSyntax& syntax)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    const QStringView body = text.sliced(begin, end - begin);
    qsizetype i = 0;
    const auto startsWithAt = [&](const QString& token) {
        return !token.isEmpty() && body.sliced(i).startsWith(token);
    };

    DecimalParts parts;
    if (i < body.size() && body[i] == u'-') {
        parts.negative = true;
        ++i;
    } else if (i < body.size() && body[i] == u'+') {
        ++i;
    } else if (startsWithAt(syntax.minus)) {
        parts.negative = true;
        i += syntax.minus.size();
    } else if (startsWithAt(syntax.plus)) {
        i += syntax.plus.size();
    }

    bool afterDigit = false;
    while (i < body.size()) {
        if (isDigit(body[i])) {
            parts.integerDigits += static_cast<char>(body[i].unicode());
            afterDigit = true;
            ++i;
        } else if (afterDigit && startsWithAt(syntax.group)) {
            afterDigit = false;
            i += syntax.group.size();
        } else {
            break;
        }
    }
    if (startsWithAt(syntax.decimal)) {
        i += syntax.decimal.size();
        while (i < body.size() && isDigit(body[i])) {
            parts.fractionDigits += static_cast<char>(body[i].unicode());
            ++i;
        }
    }
    if (parts.integerDigits.empty() && parts.fractionDigits.empty()) {
        return Failure::TypeMismatch;
    }
    if (i < body.size() && (body[i] == u'e' || body[i] == u'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < body.size() && (body[i] == u'+' || body[i] == u'-')) {
            negativeExponent = body[i] == u'-';
            ++i;
        }
        if (i == body.size() || !isDigit(body[i])) {
            return Failure::TypeMismatch;
        }
        while (i < body.size() && isDigit(body[i])) {
            addExponentDigit(parts.exponent, body[i]);
            ++i;
        }
        if (negativeExponent) {
            parts.exponent = -parts.exponent;
        }
    }
    if (i != body.size()) {
        return Failure::TypeMismatch;
    }
    return toDouble(parts);
}

template <typename Integer> Result<Integer> roundToInteger(double value)
{
    if (!std::isfinite(value)) {
        return Failure::Overflow;
    }
    const double below = std::floor(value);
    const double fraction = value - below; // exact for every double
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) {
        rounded = below + 1;
    }
    if (rounded < static_cast<double>(std::numeric_limits<Integer>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Integer>::max())) {
        return Failure::Overflow;
    }
    return static_cast<Integer>(rounded);
}

template <typename Integer> Result<Integer> textToInteger(QStringView text, const QLocale& locale)
{
    const Result<double> number = CDbl(text, locale);
    if (!number) {
        return number.failure();
    }
    return roundToInteger<Integer>(number.value());
}

} // namespace

Result<double> CDbl(QStringView text, const QLocale& locale)
{
    return parseWhole(text, syntaxOf(locale));
}

bool IsNumeric(QStringView text, const QLocale& locale)
{
    return CDbl(text, locale).ok();
}

Result<std::int16_t> CInt(double value)
{
    return roundToInteger<std::int16_t>(value);
}

Result<std::int16_t> CInt(QStringView text, const QLocale& locale)
{
    return textToInteger<std::int16_t>(text, locale);
}

Result<std::int32_t> CLng(double value)
{
    return roundToInteger<std::int32_t>(value);
}

Result<std::int32_t> CLng(QStringView text, const QLocale& locale)
{
    return textToInteger<std::int32_t>(text, locale);
}

double Val(QStringView text)
{
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n')) {
            ++i;
        }
    };
    const auto takeDigits = [&](std::string& into) {
        for (skipBlanks(); i < text.size() && isDigit(text[i]); skipBlanks()) {
            into += static_cast<char>(text[i].unicode());
            ++i;
        }
    };

    DecimalParts parts;
    skipBlanks();
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        parts.negative = text[i] == u'-';
        ++i;
    }
    takeDigits(parts.integerDigits);
    if (i < text.size() && text[i] == u'.') {
        ++i;
        takeDigits(parts.fractionDigits);
    }
    if (parts.integerDigits.empty() && parts.fractionDigits.empty()) {
        return 0;
    }
    if (i < text.size() && QStringLiteral("eEdD").contains(text[i])) {
        ++i;
        skipBlanks();
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
            negativeExponent = text[i] == u'-';
            ++i;
        }
        // An exponent without digits is not part of the number: "1e" reads 1.
        for (skipBlanks(); i < text.size() && isDigit(text[i]); skipBlanks()) {
            addExponentDigit(parts.exponent, text[i]);
            ++i;
        }
        if (negativeExponent) {
            parts.exponent = -parts.exponent;
        }
    }
    const Result<double> value = toDouble(parts);
    if (!value) {
        return parts.negative ? -std::numeric_limits<double>::infinity()
                              : std::numeric_limits<double>::infinity();
    }
    return value.value();
}

double Round(double value, int digits)
{
    if (!std::isfinite(value)) {
        return value;
    }
    const std::size_t kept = static_cast<std::size_t>(std::max(digits, 0));
    // The shortest fixed form that reads back as the same double: the digits a user sees.
    char buffer[512];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::string text(buffer, written.ptr);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) {
        text.erase(0, 1);
    }
    const auto point = text.find('.');
    if (point == std::string::npos || text.size() - point - 1 <= kept) {
        return value;
    }
    std::string digitsKept = text.substr(0, point) + text.substr(point + 1, kept);
    const char next = text[point + 1 + kept];
    const bool beyondHalf = text.find_first_not_of('0', point + 2 + kept) != std::string::npos;
    const bool lastOdd = (digitsKept.back() - '0') % 2 != 0;
    if (next > '5' || (next == '5' && (beyondHalf || lastOdd))) {
        std::size_t at = digitsKept.size();
        while (at > 0 && digitsKept[at - 1] == '9') {
            digitsKept[--at] = '0';
        }
        if (at == 0) {
            digitsKept.insert(digitsKept.begin(), '1');
        } else {
            ++digitsKept[at - 1];
        }
    }
    DecimalParts parts;
    parts.negative = negative;
    parts.integerDigits = digitsKept.substr(0, digitsKept.size() - kept);
    parts.fractionDigits = digitsKept.substr(digitsKept.size() - kept);
    return toDouble(parts).valueOr(value);
}

QString CStr(double value, const QLocale& locale)
{
    if (value == 0) {
        return QStringLiteral("0"); // also for -0
    }
    if (std::isnan(value)) {
        return QStringLiteral("NaN");
    }
    if (std::isinf(value)) {
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    }
    char buffer[64];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    QString text = QString::fromLatin1(buffer, written.ptr - buffer);
    text.replace(u'e', u'E');
    QString decimal = locale.decimalPoint();
    if (decimal.isEmpty()) {
        decimal = QStringLiteral(".");
    }
    if (decimal != u".") {
        text.replace(u'.', decimal);
    }
    return text;
}

QString CStr(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

Result<double> fileNumber(QStringView text)
{
    static const NumberSyntax fileSyntax{QStringLiteral("."), QString(), QStringLiteral("-"),
                                         QStringLiteral("+")};
    return parseWhole(text, fileSyntax);
}

QString fileNumberText(double value)
{
    return CStr(value, QLocale::c());
}

} // namespace kivo::basic
