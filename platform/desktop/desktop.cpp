#include "platform/desktop/desktop.h"

#include "platform/desktop/qt_desktop.h"

#include <atomic>

namespace kivo::desktop {

QList<MsgBoxResult> msgBoxButtons(int style)
{
    switch (style & 0x0F) {
    case vbOKCancel:
        return {vbOK, vbCancel};
    case vbAbortRetryIgnore:
        return {vbAbort, vbRetry, vbIgnore};
    case vbYesNoCancel:
        return {vbYes, vbNo, vbCancel};
    case vbYesNo:
        return {vbYes, vbNo};
    case vbRetryCancel:
        return {vbRetry, vbCancel};
    default:
        return {vbOK};
    }
}

MsgBoxIcon msgBoxIcon(int style)
{
    switch (style & 0x70) {
    case vbCritical:
        return MsgBoxIcon::Critical;
    case vbQuestion:
        return MsgBoxIcon::Question;
    case vbExclamation:
        return MsgBoxIcon::Exclamation;
    case vbInformation:
        return MsgBoxIcon::Information;
    default:
        return MsgBoxIcon::None;
    }
}

QStringList nameFilters(QStringView filter)
{
    QStringList result;
    const QList<QStringView> parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed().toString();
        if (description.endsWith(u')')) {
            const qsizetype open = description.lastIndexOf(u'(');
            if (open >= 0) {
                description = description.left(open).trimmed();
            }
        }
        QStringList patterns;
        for (QStringView pattern : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            patterns << (pattern == u"*.*" ? QStringLiteral("*") : pattern.toString());
        }
        if (patterns.isEmpty()) {
            patterns << QStringLiteral("*");
        }
        result << description + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return result;
}

namespace {

std::atomic<Desktop*> installed{nullptr};

} // namespace

Desktop& desktop()
{
    if (Desktop* current = installed.load()) {
        return *current;
    }
    // Lives as long as the process; its help viewer goes when the application quits.
    static QtDesktop* fallback = new QtDesktop;
    return *fallback;
}

Desktop* setDesktop(Desktop* desktop)
{
    return installed.exchange(desktop);
}

} // namespace kivo::desktop
