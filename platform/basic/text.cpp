#include "platform/basic/basic.h"

#include <algorithm>

namespace kivo::basic {

QString Mid(const QString& text, qsizetype start)
{
    return Mid(text, start, text.size());
}

QString Mid(const QString& text, qsizetype start, qsizetype length)
{
    if (start < 1 || length < 0 || start > text.size()) {
        return {};
    }
    return text.mid(start - 1, length);
}

qsizetype InStr(const QString& haystack, const QString& needle)
{
    return InStr(1, haystack, needle);
}

qsizetype InStr(qsizetype start, const QString& haystack, const QString& needle)
{
    if (start < 1 || haystack.isEmpty() || start > haystack.size()) {
        return 0;
    }
    if (needle.isEmpty()) {
        return start;
    }
    return haystack.indexOf(needle, start - 1, Qt::CaseSensitive) + 1;
}

namespace {

qsizetype firstNonSpace(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') {
        ++i;
    }
    return i;
}

qsizetype endWithoutSpaces(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ') {
        --end;
    }
    return end;
}

} // namespace

QString Trim(const QString& text)
{
    const qsizetype begin = firstNonSpace(text);
    return text.mid(begin, std::max<qsizetype>(endWithoutSpaces(text) - begin, 0));
}

QString LTrim(const QString& text)
{
    return text.mid(firstNonSpace(text));
}

QString RTrim(const QString& text)
{
    return text.left(endWithoutSpaces(text));
}

} // namespace kivo::basic
