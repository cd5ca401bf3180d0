#include "platform/basic/basic.h"

#include <algorithm>

namespace kivo::basic {

QDateTime Now()
{
    return QDateTime::currentDateTime();
}

namespace {

QString twoDigits(int value)
{
    return QString::number(value).rightJustified(2, u'0');
}

} // namespace

namespace {

// `pattern`, a QLocale date or time pattern, with each run of one letter outside quoted text
// replaced by what `change` makes of it (the run itself to keep it).
template <class Change> QString mapRuns(const QString& pattern, Change change)
{
    QString out;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern[i];
        if (c == u'\'') {
            // Quoted text, '' for a quote itself, copied as it stands.
            qsizetype end = i + 1;
            while (end < pattern.size() && pattern[end] != u'\'') {
                ++end;
            }
            end = std::min(end + 1, pattern.size());
            out += QStringView(pattern).sliced(i, end - i);
            i = end;
            continue;
        }
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) {
            ++run;
        }
        out += change(c, QStringView(pattern).sliced(i, run));
        i += run;
    }
    return out;
}

// The locale's short date, with a four-digit year where the locale writes two.
QString shortDatePattern(const QLocale& locale)
{
    return mapRuns(locale.dateFormat(QLocale::ShortFormat), [](QChar c, QStringView run) {
        return c == u'y' && run.size() == 2 ? QStringLiteral("yyyy") : run.toString();
    });
}

// The locale's long time without the time zone it ends (or starts) with, and without what only
// framed the zone.
QString longTimePattern(const QLocale& locale)
{
    QString pattern = mapRuns(locale.timeFormat(QLocale::LongFormat), [](QChar c, QStringView run) {
        return c == u't' ? QString() : run.toString();
    });
    pattern.replace(QStringLiteral("()"), QString());
    return pattern.simplified();
}

} // namespace

QString generalDate(const QDateTime& when, const QLocale& locale)
{
    return locale.toString(when.date(), shortDatePattern(locale)) + u' ' +
           locale.toString(when.time(), longTimePattern(locale));
}

QString Format(const QDateTime& when, QStringView pattern)
{
    const QDate date = when.date();
    const QTime time = when.time();
    QString out;
    bool afterHour = false;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar letter = pattern[i].toLower();
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run].toLower() == letter) {
            ++run;
        }
        const auto number = [&](int value) {
            return run == 2 ? twoDigits(value) : QString::number(value);
        };
        const bool short1or2 = run <= 2;
        if (letter == u'd' && short1or2) {
            out += number(date.day());
            afterHour = false;
        } else if (letter == u'm' && short1or2) {
            out += number(afterHour ? time.minute() : date.month());
            afterHour = false;
        } else if (letter == u'n' && short1or2) {
            out += number(time.minute());
            afterHour = false;
        } else if (letter == u'h' && short1or2) {
            out += number(time.hour());
            afterHour = true;
        } else if (letter == u's' && short1or2) {
            out += number(time.second());
            afterHour = false;
        } else if (letter == u'y' && run == 4) {
            out += QString::number(date.year()).rightJustified(4, u'0');
            afterHour = false;
        } else if (letter == u'y' && run == 2) {
            out += twoDigits(date.year() % 100);
            afterHour = false;
        } else {
            // Separators and literal text; "/" and ":" are written as they stand.
            out += pattern.sliced(i, run);
        }
        i += run;
    }
    return out;
}

} // namespace kivo::basic
