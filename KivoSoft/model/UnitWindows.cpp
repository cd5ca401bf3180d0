#include "KivoSoft/model/UnitWindows.h"

#include "KivoSoft/model/RecordingUnitWindows.h"

#include <utility>

namespace KivoSoft {

namespace {

UnitWindows* installed = nullptr;

QString call(const char* name, int slot, const QString& value)
{
    return QStringLiteral("%1 %2 %3").arg(QLatin1StringView(name)).arg(slot).arg(value);
}

} // namespace

UnitWindows& unitWindows()
{
    static UnitWindows none;
    return installed ? *installed : none;
}

UnitWindows* setUnitWindows(UnitWindows* windows)
{
    return std::exchange(installed, windows);
}

void RecordingUnitWindows::setConfigProgressText(const QString& text)
{
    progressText = text;
    calls << QStringLiteral("setConfigProgressText");
}

void RecordingUnitWindows::selectConfigProgress()
{
    calls << QStringLiteral("selectConfigProgress");
}

void RecordingUnitWindows::setConfigModuleId(int slot, const QString& name)
{
    calls << call("setConfigModuleId", slot, name);
}

void RecordingUnitWindows::setConfigCurrentLimitMinimum(int slot, std::int16_t value)
{
    calls << call("setConfigCurrentLimitMinimum", slot, QString::number(value));
}

void RecordingUnitWindows::setConfigCurrentLimitMaximum(int slot, std::int16_t value)
{
    calls << call("setConfigCurrentLimitMaximum", slot, QString::number(value));
}

void RecordingUnitWindows::setConfigMaxCurrentCaption(int slot, const QString& caption)
{
    calls << call("setConfigMaxCurrentCaption", slot, caption);
}

void RecordingUnitWindows::setConfigSetPointMinimum(int slot, std::int32_t value)
{
    calls << call("setConfigSetPointMinimum", slot, QString::number(value));
}

void RecordingUnitWindows::setConfigSetPointMaximum(int slot, std::int32_t value)
{
    calls << call("setConfigSetPointMaximum", slot, QString::number(value));
}

void RecordingUnitWindows::setConfigModulesOffCaption(const QString& caption)
{
    calls << QStringLiteral("setConfigModulesOffCaption ") + caption;
}

void RecordingUnitWindows::monitorUnitDoesNotRespond(int heightTwips, int widthTwips,
                                                     const QString& caption)
{
    calls << QStringLiteral("monitorUnitDoesNotRespond %1 %2 %3")
                 .arg(heightTwips)
                 .arg(widthTwips)
                 .arg(caption);
}

} // namespace KivoSoft
