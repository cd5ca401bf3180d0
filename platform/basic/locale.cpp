#include "platform/basic/basic.h"

#include <QMutex>
#include <QMutexLocker>
#include <optional>

namespace kivo::basic {

namespace {

QMutex localeMutex;
std::optional<QLocale> chosenLocale;

} // namespace

QLocale userLocale()
{
    QMutexLocker lock(&localeMutex);
    return chosenLocale ? *chosenLocale : QLocale::system();
}

void setUserLocale(const QLocale& locale)
{
    QMutexLocker lock(&localeMutex);
    chosenLocale = locale;
}

void resetUserLocale()
{
    QMutexLocker lock(&localeMutex);
    chosenLocale.reset();
}

ScopedUserLocale::ScopedUserLocale(const QLocale& locale)
{
    QMutexLocker lock(&localeMutex);
    previous_ = chosenLocale;
    chosenLocale = locale;
}

ScopedUserLocale::~ScopedUserLocale()
{
    QMutexLocker lock(&localeMutex);
    chosenLocale = previous_;
}

QString decimalSeparator()
{
    const QString separator = userLocale().decimalPoint();
    return separator.isEmpty() ? QStringLiteral(".") : separator;
}

} // namespace kivo::basic
