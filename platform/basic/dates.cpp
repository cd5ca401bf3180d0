#include "platform/basic/basic.h"

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

QString generalDate(const QDateTime& when)
{
    const QDate date = when.date();
    const QTime time = when.time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return QString::number(date.month()) + u'/' + QString::number(date.day()) + u'/' +
           QString::number(date.year()) + u' ' + QString::number(hour12) + u':' +
           twoDigits(time.minute()) + u':' + twoDigits(time.second()) +
           (time.hour() < 12 ? QStringLiteral(" AM") : QStringLiteral(" PM"));
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
