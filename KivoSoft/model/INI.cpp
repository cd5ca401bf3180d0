#include "KivoSoft/model/INI.h"

#include "KivoSoft/model/KivoGlobals.h"
#include "platform/basic/basic.h"
#include "platform/desktop/busy_state.h"
#include "platform/desktop/desktop.h"
#include "platform/profile/profile.h"

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

bool WriteIniKeys(const QString& file, const QList<IniSection>& sections)
{
    for (const IniSection& section : sections) {
        for (const auto& [key, value] : section.entries) {
            if (!kivo::profile::writeString(section.name.toStdString(), key.toStdString(),
                                            value.toStdString(), file.toStdString())) {
                ReportIniWriteFailure(file);
                return false;
            }
        }
    }
    return true;
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
