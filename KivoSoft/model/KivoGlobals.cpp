#include "KivoSoft/model/KivoGlobals.h"

#include "platform/basic/basic.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/let_events_run.h"
#include "platform/timing/timing.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace KivoSoft::KivoGlobals {

using kivo::desktop::letEventsRun;

namespace {

QString folderOverride;
Clock clockOverride;
PauseHook pauseHook;

} // namespace

void ResetGlobals()
{
    DecimalSeparator.clear();
    DefaultComPort.clear();
    GuiIniPath.clear();
    TooltipsIniPath.clear();
    KivoIniPath.clear();
    ScaleIniPath.clear();
    ErrorLogPath.clear();
    ErrorFlag = false;
    LastErrorText.clear();
    NoResponseText.clear();
    DeveloperMode = false;
    FileDialogMode.clear();
    ConfigMode.clear();
    ParameterFilePath.clear();
    ParameterLoadPath.clear();
    SysColorDesktop.clear();
    SysColorWindowText.clear();
    ModuleScaling = {};
    ModulePresence = {};
    PresentModuleBits.clear();
    ModuleGoodBits.clear();
    OutputStates.clear();
    SelectedUnitId.clear();
    ModuleTypeRead = false;
    DefaultGlobalStateFlag = false;
    DefaultGlobalPolarityFlag = false;
    LoggingInProgress = false;
    SwitchEventsEnabled = false;
    MonitorFirstTick = false;
    LogPeriodSeconds = 0;
    LogElapsedMs = 0;
    LogPeriodUnit.clear();
    UnitSelected = false;
    SliderDragging = false;
    UnitSettingEdited = false;
    ModuleSettingEdited = false;
    WrittenToUnit = false;
    CurrentLimitTextChanged = false;
    ConfigExpanded = false;
    folderOverride.clear();
    clockOverride = {};
    pauseHook = {};
}

clsScalability& moduleScaling(int slot)
{
    std::optional<clsScalability>& record = ModuleScaling.at(static_cast<std::size_t>(slot));
    if (!record) {
        record.emplace();
    }
    return *record;
}

ScalingRecords fittedScaling(const QString& presentModule)
{
    ScalingRecords records{};
    for (int slot = 1; slot <= 5; ++slot) {
        if (kivo::basic::Mid(presentModule, slot, 1) == QStringLiteral("1")) {
            records[static_cast<std::size_t>(slot)] = moduleScaling(slot);
        }
    }
    return records;
}

QString programFolder()
{
    return folderOverride.isEmpty() ? QCoreApplication::applicationDirPath() : folderOverride;
}

void setProgramFolder(const QString& folder)
{
    folderOverride = folder;
    while (folderOverride.size() > 1 && folderOverride.endsWith(u'/')) {
        folderOverride.chop(1);
    }
}

Clock setClock(Clock clock)
{
    return std::exchange(clockOverride, std::move(clock));
}

QDateTime now()
{
    return clockOverride ? clockOverride() : kivo::basic::Now();
}

QString errorLogName(const QDate& date)
{
    return QStringLiteral("error%1%2.txt").arg(date.month()).arg(date.day());
}

bool IsCmdOk(const QString& result)
{
    letEventsRun();
    return result == QStringLiteral("CMD_OK");
}

bool LogError(const QString& message)
{
    try {
        QFile log(ErrorLogPath);
        if (ErrorLogPath.isEmpty() || !log.open(QIODevice::WriteOnly | QIODevice::Append)) {
            return false;
        }
        const QString line = kivo::basic::generalDate(now()) + QStringLiteral(" [") + message +
                             QStringLiteral("]\r\n");
        const QByteArray bytes = line.toUtf8();
        return log.write(bytes) == bytes.size() && log.flush();
    } catch (...) {
        // Logging must never turn a reported failure into a crash of its own.
        return false;
    }
}

PauseHook setPauseHook(PauseHook hook)
{
    return std::exchange(pauseHook, std::move(hook));
}

void Pause(double seconds)
{
    if (pauseHook) {
        // A copy, so the hook may replace itself while it runs.
        const PauseHook hook = pauseHook;
        hook(seconds);
        return;
    }
    kivo::timing::Timing& timing = kivo::timing::systemTiming();
    const auto start = timing.now();
    const double wanted = seconds * 1000.0;
    letEventsRun();
    for (;;) {
        const double passed = kivo::timing::elapsedMilliseconds(start, timing.now());
        if (passed >= wanted) {
            return;
        }
        // A short nap between two turns of the event loop keeps the wait from spinning a core.
        timing.sleepMilliseconds(std::min(1.0, wanted - passed));
        letEventsRun();
    }
}

void NumericKeyFilter(std::int16_t& keyCode)
{
    const bool digit = keyCode >= 48 && keyCode <= 57;
    const bool separator = !DecimalSeparator.isEmpty() &&
                           keyCode == static_cast<std::int16_t>(DecimalSeparator[0].unicode());
    if (digit || separator || keyCode == 8 || keyCode == 13) {
        return;
    }
    using namespace kivo::desktop;
    desktop().msgBox(QStringLiteral("Please enter numeric values"), vbInformation + vbOKOnly,
                     QStringLiteral("Dravon Electronics"));
    keyCode = 0;
}

void RunProgram(const QString& program, const QStringList& arguments)
{
    kivo::desktop::desktop().startProgram(program, arguments);
}

void ShowErrorLog()
{
    using namespace kivo::desktop;
    // A viewer left to fail on its own shows the user nothing at all: whatever keeps the log
    // from showing is said here, with the path, so the user can still open it by hand.
    if (!QFileInfo(ErrorLogPath).isFile()) {
        desktop().msgBox(
            QStringLiteral("No error has been logged yet: the error log %1 does not exist.")
                .arg(ErrorLogPath),
            vbInformation + vbOKOnly, ProgramTitle);
        return;
    }
    if (!desktop().openFile(ErrorLogPath)) {
        desktop().msgBox(QStringLiteral("The error log %1 could not be opened: the desktop's "
                                        "launcher xdg-open (package xdg-utils) is missing or "
                                        "did not start.")
                             .arg(ErrorLogPath),
                         vbExclamation + vbOKOnly, ProgramTitle);
    }
}

} // namespace KivoSoft::KivoGlobals
