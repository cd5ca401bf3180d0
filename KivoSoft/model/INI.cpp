#include "KivoSoft/model/INI.h"

#include "KivoSoft/model/KivoGlobals.h"
#include "platform/basic/basic.h"
#include "platform/desktop/busy_state.h"
#include "platform/desktop/desktop.h"
#include "platform/profile/profile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

namespace KivoSoft::INI {

namespace {

// The profile buffer of the original reads: 255 characters with the terminating zero.
constexpr std::size_t kValueBuffer = 255;

const QString kMissing = QStringLiteral("N/A");

bool separatorDiffers()
{
    const QString& separator = KivoGlobals::DecimalSeparator;
    return !separator.isEmpty() && separator != QStringLiteral(".");
}

} // namespace

QString GetIniText(const QString& section, const QString& key, const QString& file)
{
    const std::string value = kivo::profile::getString(section.toStdString(), key.toStdString(), "",
                                                       file.toStdString(), kValueBuffer);
    return value.empty() ? kMissing : QString::fromStdString(value);
}

QString ToUserNotation(const QString& text)
{
    if (!separatorDiffers() || !text.contains(u'.') || !kivo::basic::fileNumber(text)) {
        return text;
    }
    QString localised = text;
    return localised.replace(u'.', KivoGlobals::DecimalSeparator);
}

QString ToFileNotation(const QString& text)
{
    const QString& separator = KivoGlobals::DecimalSeparator;
    if (!separatorDiffers() || !text.contains(separator)) {
        return text;
    }
    QString plain = text;
    plain.replace(separator, QStringLiteral("."));
    return kivo::basic::fileNumber(plain) ? plain : text;
}

QString GetIniValue(const QString& section, const QString& key, const QString& file)
{
    return ToUserNotation(GetIniText(section, key, file));
}

void ReportIniWriteFailure(const QString& file)
{
    using namespace kivo::desktop;
    desktop().msgBox(QStringLiteral("Error: Writing to INI file failed! Check the file path!") +
                         file,
                     vbCritical + vbOKOnly, QStringLiteral("Error"));
}

QString WriteIniValue(const QString& section, const QString& key, const QString& value,
                      const QString& file)
{
    const bool written = kivo::profile::writeString(section.toStdString(), key.toStdString(),
                                                    value.toStdString(), file.toStdString());
    if (!written) {
        ReportIniWriteFailure(file);
    }
    return written ? QStringLiteral("1") : QStringLiteral("0");
}

namespace {

// The section a line opens, trimmed; nothing for any other line.
std::optional<QString> sectionOf(const QString& line)
{
    const QString text = line.trimmed();
    if (!text.startsWith(u'[')) {
        return std::nullopt;
    }
    const qsizetype close = text.indexOf(u']');
    return text.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

bool holdsLineBreak(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

bool writable(const QList<IniSection>& sections)
{
    for (const IniSection& section : sections) {
        if (holdsLineBreak(section.name)) {
            return false;
        }
        for (const auto& [key, value] : section.entries) {
            if (holdsLineBreak(key) || holdsLineBreak(value)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

bool WriteIniSections(const QString& file, const QStringList& replaced,
                      const QList<IniSection>& sections)
{
    auto failed = [&] {
        ReportIniWriteFailure(file);
        return false;
    };
    if (!writable(sections)) {
        return failed();
    }
    QString old;
    if (QFileInfo::exists(file)) {
        // A file marked read-only stays untouched, as a profile write would leave it.
        constexpr auto anyWrite =
            QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
        QFile in(file);
        if (!(in.permissions() & anyWrite) || !in.open(QIODevice::ReadOnly)) {
            return failed();
        }
        old = QString::fromUtf8(in.readAll());
    }
    const QString eol =
        old.contains(QStringLiteral("\r\n")) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QStringList lines = old.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
    }
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }

    QStringList kept;
    std::optional<qsizetype> insertAt;
    bool dropping = false;
    for (const QString& line : lines) {
        if (const std::optional<QString> name = sectionOf(line)) {
            dropping = replaced.contains(*name, Qt::CaseInsensitive);
            if (dropping && !insertAt) {
                insertAt = kept.size();
            }
        }
        if (!dropping) {
            kept << line;
        }
    }

    QStringList block;
    for (const IniSection& section : sections) {
        if (!block.isEmpty()) {
            block << QString();
        }
        block << u'[' + section.name + u']';
        for (const auto& [key, value] : section.entries) {
            block << key + u'=' + value;
        }
    }
    if (insertAt) {
        if (*insertAt < kept.size() && !kept[*insertAt].trimmed().isEmpty()) {
            block << QString();
        }
        for (qsizetype i = 0; i < block.size(); ++i) {
            kept.insert(*insertAt + i, block[i]);
        }
    } else {
        if (!kept.isEmpty() && !kept.last().trimmed().isEmpty()) {
            kept << QString();
        }
        kept << block;
    }

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        return failed();
    }
    out.write((kept.join(eol) + eol).toUtf8());
    return out.commit() || failed();
}

bool SetBusyState(int mode, QWidget* window)
{
    return kivo::desktop::setBusyState(mode, window);
}

QString GetVoltageRange(const QString& section)
{
    const QString& scale = KivoGlobals::ScaleIniPath;
    return GetIniValue(section, QStringLiteral("MinVoltage"), scale) + QStringLiteral(" - ") +
           GetIniValue(section, QStringLiteral("MaxVoltage"), scale);
}

QString GetMaxCurrent(const QString& section)
{
    return GetIniValue(section, QStringLiteral("MaxCurrent"), KivoGlobals::ScaleIniPath);
}

} // namespace KivoSoft::INI
