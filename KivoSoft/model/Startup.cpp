// The start-up routine of the main program.
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/INI.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/Locale.h"
#include "platform/automation/registry.h"
#include "platform/basic/basic.h"
#include "platform/desktop/desktop.h"

#include <cmath>
#include <limits>
#include <optional>

namespace KivoSoft::KivoGlobals {

namespace {

using namespace kivo::desktop;

// A whole number in the 16-bit range, written with "." as the files write numbers.
std::optional<std::int16_t> wholeSetting(const QString& text)
{
    const auto number = kivo::basic::fileNumber(text);
    if (!number || std::floor(number.value()) != number.value() ||
        number.value() < std::numeric_limits<std::int16_t>::min() ||
        number.value() > std::numeric_limits<std::int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(number.value());
}

void reportMissingLink(const std::string& why)
{
    const QString registration =
        QStringLiteral("    kivo-regsvr %1/%2").arg(programFolder(), DeviceLinkLibrary);
    // Registering refuses a registry file it cannot read: that one goes aside first.
    const std::string registry = kivo::automation::defaultRegistryPath();
    if (const auto aside = kivo::automation::registryAsideName(registry)) {
        desktop().msgBox(
            QStringLiteral("The device link library KivoX could not be started: %1\n\n"
                           "Move the registry file aside, register the library again, then start "
                           "the program again (other servers that were registered in it need "
                           "registering again too):\n\n"
                           "    mv %2 %3\n%4")
                .arg(QString::fromStdString(why), QString::fromStdString(registry),
                     QString::fromStdString(*aside), registration),
            vbCritical + vbOKOnly, ProgramTitle);
        return;
    }
    desktop().msgBox(QStringLiteral("The device link library KivoX could not be started: %1\n\n"
                                    "Register it, then start the program again:\n\n%2")
                         .arg(QString::fromStdString(why), registration),
                     vbCritical + vbOKOnly, ProgramTitle);
}

// Hands the serial time-out and retry count of Kivo.ini to the link; settings that are missing
// or not whole 16-bit numbers are reported and the link keeps its own defaults.
void passSerialSettings()
{
    const QString section = QStringLiteral("Serial COM Parameters");
    const QString timeoutText =
        INI::GetIniText(section, QStringLiteral("ReadTimeout"), KivoIniPath);
    const QString retriesText = INI::GetIniText(section, QStringLiteral("RetryCount"), KivoIniPath);
    std::optional<std::int16_t> readTimeout = wholeSetting(timeoutText);
    std::optional<std::int16_t> retryCount = wholeSetting(retriesText);
    if (!readTimeout || !retryCount) {
        desktop().msgBox(
            QStringLiteral("The serial settings in %1 cannot be used: [%2] needs ReadTimeout "
                           "(seconds) and RetryCount as whole numbers from -32768 to 32767, "
                           "and holds ReadTimeout=%3, RetryCount=%4.\n\n"
                           "The device link keeps its defaults (2 seconds, 5 attempts).")
                .arg(KivoIniPath, section, timeoutText, retriesText),
            vbExclamation + vbOKOnly, ProgramTitle);
        return;
    }
    // The result of this call is not a status string; there is nothing to examine.
    kivo::automation::call(DeviceLink, "SetINIParams", kivo::automation::byRef(*readTimeout),
                           kivo::automation::byRef(*retryCount));
}

} // namespace

bool InitializeGlobals()
{
    SysColorDesktop = QString::number(static_cast<std::int32_t>(0x80000001u));
    SysColorWindowText = QString::number(static_cast<std::int32_t>(0x80000008u));

    kivo::automation::HRESULT hr = kivo::automation::S_OK;
    std::string why;
    DeviceLink = kivo::automation::createObject(DeviceLinkProgId, &hr, &why);
    if (!DeviceLink) {
        reportMissingLink(why.empty() ? kivo::automation::describeHresult(hr) : why);
        return false;
    }

    const QString folder = programFolder();
    ScaleIniPath = folder + QStringLiteral("/scale.ini");
    GuiIniPath = folder + QStringLiteral("/KivoGui.ini");
    TooltipsIniPath = folder + QStringLiteral("/Tooltips.ini");
    KivoIniPath = folder + QStringLiteral("/Kivo.ini");
    ErrorLogPath = folder + u'/' + errorLogName(now().date());

    DefaultComPort = INI::GetIniValue(QStringLiteral("PARAMS"), QStringLiteral("port"), GuiIniPath);
    DeveloperMode = INI::GetIniValue(QStringLiteral("DEV"), QStringLiteral("Test"), GuiIniPath) ==
                    QStringLiteral("Y");

    passSerialSettings();

    FileDialogMode.clear();
    ConfigMode.clear();

    DecimalSeparator = Locale().GetDecimalSpecifier();
    return true;
}

} // namespace KivoSoft::KivoGlobals
