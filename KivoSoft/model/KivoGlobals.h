// The main program's shared state: one module of globals that lives for the whole run, the
// start-up routine that fills it, and the small routines every window uses.
//
// Everything runs on the UI thread. Strings start empty and flags false until a writer sets them;
// ResetGlobals() puts them back (tests start each case from there).
//
//     if (!KivoGlobals::InitializeGlobals()) {   // the link library is missing: already said so
//         return 1;                              // and the program ends cleanly
//     }
//     KivoGlobals::LogError("Error in GetFanFailPolarity in Unit  3");
//
// The link object itself (`DeviceLink`) is declared in DeviceLink.h, so code that needs only the
// globals does not see the object model.
#pragma once

#include "KivoSoft/model/clsScalability.h"
#include "platform/basic/basic.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace KivoSoft::KivoGlobals {

// The title of message boxes that carry the program's own title.
inline const QString ProgramTitle = QStringLiteral("Kivo");

// ---- The globals
// ---------------------------------------------------------------------------------

// The user locale's decimal separator, taken at the end of start-up. The five-digit display draws
// it as its separator picture; numeric entry fields accept it. The value itself lives below the
// model and the control kit, which both read it: this is its name in the model.
inline QString& DecimalSeparator = kivo::basic::programDecimalSeparator;

// Serial port name passed to OpenPort, a device path such as /dev/ttyUSB0.
inline QString DefaultComPort;
// Full paths of the INI files beside the program and of the error log.
inline QString GuiIniPath;
inline QString TooltipsIniPath;
inline QString KivoIniPath;
inline QString ScaleIniPath;
inline QString ErrorLogPath;

// True after a failed unit operation or when a unit reports the error bit of its global status.
inline bool ErrorFlag = false;
// Text of the last failure.
inline QString LastErrorText;
// Copy of LastErrorText made when a unit does not answer the presence query.
inline QString NoResponseText;
// KivoGui.ini [DEV] Test is exactly "Y".
inline bool DeveloperMode = false;

// Mode and result of the parameter-file dialog: "SAVE", "LOAD", "CANCEL".
inline QString FileDialogMode;
// "CONFIG" after a parameter file was saved.
inline QString ConfigMode;
// The parameter file chosen for saving, and the one read back (no window sets the latter).
inline QString ParameterFilePath;
inline QString ParameterLoadPath;

// Signed decimal texts of the system colour values &H80000001 and &H80000008.
inline QString SysColorDesktop;
inline QString SysColorWindowText;

// The scaling record of each module slot 1 to 5 (index 0 unused); an element exists once it was
// first needed. moduleScaling() creates a missing one (all zero).
inline std::array<std::optional<clsScalability>, 6> ModuleScaling;
clsScalability& moduleScaling(int slot);
// One read's scaling records, slots 1 to 5 (index 0 unused).
using ScalingRecords = std::array<clsScalability, 6>;
// A copy of the records of the slots that `presentModule` (a read's presence digits) names as
// fitted, as that read left them; an empty slot gets an empty record (every value 0). A window
// keeps the copy of its own read, so a read of another unit by another window never changes what
// it checks and converts with.
ScalingRecords fittedScaling(const QString& presentModule);

// Presence digit of each slot 1 to 8 (index 0 unused), "1" = fitted.
inline std::array<QString, 9> ModulePresence;
// The unit's presence string (5 digits and "000"), module-good digits, output-state digits.
inline QString PresentModuleBits;
inline QString ModuleGoodBits;
inline QString OutputStates;
// Unit ID of the current unit as decimal text.
inline QString SelectedUnitId;
// The last module-type query succeeded.
inline bool ModuleTypeRead = false;
// The unit's default global output state / polarity is 1.
inline bool DefaultGlobalStateFlag = false;
inline bool DefaultGlobalPolarityFlag = false;

// Switches of the monitor window.
inline bool LoggingInProgress = false;
inline bool SwitchEventsEnabled = false;
inline bool MonitorFirstTick = false;
inline double LogPeriodSeconds = 0;
inline double LogElapsedMs = 0;
inline QString LogPeriodUnit;
inline bool UnitSelected = false;

// Switches of the configuration window (the monitor window also clears SliderDragging).
inline bool SliderDragging = false;
inline bool UnitSettingEdited = false;
inline bool ModuleSettingEdited = false;
inline bool WrittenToUnit = false;
inline bool CurrentLimitTextChanged = false;
inline bool ConfigExpanded = false;

// Every global of this header back to its start value, the program folder and the clock back to
// the real ones (tests start each case from there; DeviceLink is released on its own).
void ResetGlobals();

// ---- Program folder and clock
// ---------------------------------------------------------------------

// The folder of the running program, without a trailing "/"; setProgramFolder() overrides it (a
// test's fixture folder with its own INI files), an empty text goes back to the real one.
QString programFolder();
void setProgramFolder(const QString& folder);

// The local date and time the start-up routine and the error log use; replaceable for tests.
// Returns the clock it replaces; an empty function restores the real one.
using Clock = std::function<QDateTime()>;
Clock setClock(Clock clock);
QDateTime now();

// The error log's file name for a start-up date: "error" & month & day & ".txt", without leading
// zeros (9 December gives error129.txt).
QString errorLogName(const QDate& date);

// ---- Start-up and the shared routines
// -------------------------------------------------------------

// The start-up routine: system colours, the link object, the INI and log paths, the default port
// and developer setting, the serial time-out and retry count for the link library, the decimal
// separator. Returns false when the link object cannot be created; a message has then told the
// user why and how to register the library, and the program should end. Serial settings that are
// missing or not whole 16-bit numbers are reported too, and the library keeps its defaults.
bool InitializeGlobals();

// Lets the event loop run once, then answers whether `result` is exactly "CMD_OK".
bool IsCmdOk(const QString& result);

// Appends date-time & " [" & message & "]" and a line end to the error log, opening and closing
// the file. Never throws; returns false when the line could not be written.
bool LogError(const QString& message);

// Lets the event loop run until `seconds` have passed on the monotonic clock (at least once).
void Pause(double seconds);

// What Pause() does instead of waiting, and the hook it replaces; an empty function restores the
// real wait. Tests record the pauses of a sequence without spending them (ResetGlobals() restores
// it too).
using PauseHook = std::function<void(double seconds)>;
PauseHook setPauseHook(PauseHook hook);

// Key filter of numeric entry fields: digits, the first character of DecimalSeparator, backspace
// and Enter pass; any other key shows "Please enter numeric values" and becomes 0.
void NumericKeyFilter(std::int16_t& keyCode);

// Starts `program` with `arguments` as a separate process, no shell; a failed start is ignored.
void RunProgram(const QString& program, const QStringList& arguments = {});

// Opens the error log in the desktop's viewer (the windows' error-file commands). A log that does
// not exist yet, or a viewer that cannot be started, is told in a message naming the log's path.
void ShowErrorLog();

} // namespace KivoSoft::KivoGlobals
