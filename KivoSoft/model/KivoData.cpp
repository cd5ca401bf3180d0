#include "KivoSoft/model/KivoData.h"

#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/INI.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/UnitWindows.h"
#include "platform/basic/basic.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/let_events_run.h"

#include <string>
#include <utility>

namespace KivoSoft {

namespace G = KivoGlobals;
using kivo::automation::byRef;
using kivo::automation::Int16Array;
using namespace kivo::basic;
using kivo::desktop::letEventsRun;

namespace {

const QString kOk = QStringLiteral("CMD_OK");
const QString kNoResponse = QStringLiteral("CMD_NORESPONSE");
const QString kNoValue = QStringLiteral("N/A");
const QString kAllClear = QStringLiteral("00000000");

const char* const kCurrentLimitModes[] = {"Normal", "Latching", "Hiccup", "CurrentShare"};

// A failure's line in the error log, its text as the last error, and the error state; the state
// is set whether or not the log could take the line.
void reportFailure(const QString& text)
{
    G::LogError(text);
    G::LastErrorText = text;
    G::ErrorFlag = true;
}

// A bit array of the link: bounds 1 to 8, element k carrying bit k-1.
Int16Array bitArray()
{
    return Int16Array(1, 8);
}

// The decimal texts of the elements, from the first: bit 0 first.
QString bitString(const Int16Array& bits)
{
    QString text;
    for (const std::int16_t bit : bits.values()) {
        text += QString::number(bit);
    }
    return text;
}

bool present(const QString& digits, int slot)
{
    return Mid(digits, slot, 1) == QStringLiteral("1");
}

// A scale factor that a value to be sent is multiplied with; 0 is a run-time failure, so nothing
// computed from a missing factor reaches a unit.
double scaleFactor(double factor)
{
    if (factor == 0) {
        throw RunTimeFailure("Division by zero");
    }
    return factor;
}

// A factor as "scale.ini" gives it through GetIniValue; "N/A" is a type mismatch.
double scaleFactor(const QString& text)
{
    return scaleFactor(CDbl(text).value());
}

// A number of "scale.ini"; a missing entry ("N/A"), a blank or a text that is no number is 0.
double iniNumber(const QString& text)
{
    return Trim(text).isEmpty() || !IsNumeric(text) ? 0 : CDbl(text).value();
}

QString iniValue(const QString& section, const char* key)
{
    return INI::GetIniValue(section, QString::fromLatin1(key), G::ScaleIniPath);
}

QString typeSection(std::int16_t type)
{
    return QStringLiteral("TYPE") + QString::number(type);
}

// The numeric fields of a scaling record, in the order "scale.ini" is read.
constexpr std::pair<const char*, double clsScalability::*> kScalingFields[] = {
    {"MinVoltage", &clsScalability::MinVoltage},
    {"MaxVoltage", &clsScalability::MaxVoltage},
    {"MaxCurrent", &clsScalability::MaxCurrent},
    {"VoltageScaleFactor", &clsScalability::VoltageScaleFactor},
    {"MaxMeasuredVoltage", &clsScalability::MaxMeasuredVoltage},
    {"CurrentScaleFactor", &clsScalability::CurrentScaleFactor},
    {"MaxMeasuredCurrent", &clsScalability::MaxMeasuredCurrent},
    {"VAScaleFactor", &clsScalability::VAScaleFactor},
};

} // namespace

// ---- The common pattern
// --------------------------------------------------------------------------

template <class... Args> bool KivoData::callOk(const char* operation, Args&&... args)
{
    LastResult =
        linkStatus(kivo::automation::call(G::DeviceLink, operation, std::forward<Args>(args)...));
    letEventsRun();
    return G::IsCmdOk(LastResult);
}

void KivoData::failed(const FailureText& text, const QString& unit, int module,
                      const QString& value, bool clearsLink)
{
    const QString name = QString::fromLatin1(text.name);
    const QString moduleText = QString::number(module);
    QString log;
    QString last;
    switch (text.form) {
    case TextForm::A:
        log = QStringLiteral("Error in %1 in Unit  %2").arg(name, unit);
        last = QStringLiteral("Error in %1 in Unit %2").arg(name, unit);
        break;
    case TextForm::B:
        log = QStringLiteral("Error in %1 in Unit  %2 and Module %3").arg(name, unit, moduleText);
        last = QStringLiteral("Error in %1 in Unit %2 and Module %3").arg(name, unit, moduleText);
        break;
    case TextForm::C:
        log = last = QStringLiteral("Error in %1 for Unit %2").arg(name, unit);
        break;
    case TextForm::D:
        log = QStringLiteral("Error in  Unit %1").arg(unit);
        last = QStringLiteral("Error in %1 for Unit %2").arg(name, unit);
        break;
    }
    switch (text.tail) {
    case Tail::Status:
        last += u' ' + LastResult;
        break;
    case Tail::Value:
        last += u' ' + value;
        break;
    case Tail::Blank:
        last += u' ';
        break;
    case Tail::None:
        break;
    }
    // As reportFailure, with a log line of its own.
    G::LogError(log);
    G::LastErrorText = last;
    G::ErrorFlag = true;
    if (clearsLink) {
        LinkOk = false;
    }
}

template <class Body> void KivoData::forEachPresentModule(Body body)
{
    for (CurrentModule = 1; CurrentModule <= 5; ++CurrentModule) {
        if (present(PresentModule, CurrentModule)) {
            body(CurrentModule);
        }
    }
}

std::string KivoData::unitArg() const
{
    return CallUnitId.toStdString();
}

template <class Value>
void KivoData::getModuleValue(const char* operation, const FailureText& text,
                              Slots<QString>& target)
{
    forEachPresentModule([&](int slot) {
        Value value = 0;
        if (callOk(operation, unitArg(), byRef(CurrentModule), byRef(value))) {
            target[slot] = QString::number(value);
        } else {
            failed(text, CallUnitId, slot);
        }
    });
}

template <class Value>
void KivoData::setModuleValue(const char* operation, const FailureText& text,
                              const Slots<QString>& source)
{
    forEachPresentModule([&](int slot) {
        Value value = 0;
        if constexpr (std::is_same_v<Value, std::int16_t>) {
            value = CInt(source[slot]).value();
        } else {
            // A time in milliseconds travels as an unsigned 16-bit word.
            value = CLng(source[slot]).value();
            if (value < 0 || value > 65535) {
                throw RuntimeError(Failure::Overflow);
            }
        }
        if (!callOk(operation, unitArg(), byRef(CurrentModule), byRef(value))) {
            failed(text, CallUnitId, slot);
        }
    });
}

bool KivoData::getUnitValue(const char* operation, const FailureText& text, std::int16_t& value)
{
    value = 0;
    if (callOk(operation, unitArg(), byRef(value))) {
        return true;
    }
    failed(text, CallUnitId, 0, QString::number(value));
    return false;
}

bool KivoData::getUnitFlag(const char* operation, const FailureText& text, bool& flag)
{
    std::int16_t value = 0;
    if (!getUnitValue(operation, text, value)) {
        return false;
    }
    flag = value == 1;
    return true;
}

void KivoData::setUnitFlag(const char* operation, const FailureText& text, bool flag)
{
    std::int16_t value = flag ? 1 : 0;
    if (!callOk(operation, unitArg(), byRef(value))) {
        failed(text, CallUnitId, 0);
    }
}

void KivoData::namedUnscaled(int slot)
{
    if (UnscaledNamed[slot]) {
        return;
    }
    UnscaledNamed[slot] = true;
    const QString section = ModuleType[slot].isEmpty()
                                ? typeSection(G::moduleScaling(slot).ModuleTypeNumber)
                                : ModuleType[slot];
    // Logged only: the read goes on, and the windows take a raised error state as a failed read.
    G::LogError(
        QStringLiteral("Module in slot %1 of Unit %2: no scaling record for %3 in scale.ini")
            .arg(slot)
            .arg(CallUnitId, section));
}

// ---- Identity and helpers
// ------------------------------------------------------------------------

void KivoData::InitElements()
{
    letEventsRun();
    ModuleGood = kAllClear;
    outputstate = kAllClear;
    PresentModule = kAllClear;
    SignalPolarity = QStringLiteral("1");
    OverTemp = GlobalDC = FanFail = FanWarning = ACFail = false;
    Line.clear();
    GlobalOutput = Group = false;
}

std::optional<std::int16_t> KivoData::GetDecimalNumber(const QString& bits)
{
    static const QString codes[] = {"0000", "0001", "0010", "0011", "0100", "0101"};
    for (std::int16_t n = 0; n < 6; ++n) {
        if (bits == codes[n]) {
            return n;
        }
    }
    return std::nullopt;
}

std::optional<QString> KivoData::GetBinaryNumber(const QString& number)
{
    static const QString codes[] = {"0000", "0001", "0010", "0011", "0100", "0101"};
    for (int n = 0; n < 6; ++n) {
        if (number == QString::number(n)) {
            return codes[n];
        }
    }
    return std::nullopt;
}

QString KivoData::FormatDecimals(const QString& text)
{
    const QString& separator = G::DecimalSeparator;
    const qsizetype at = InStr(text, separator);
    if (at == 0) {
        return text + separator + QStringLiteral("00");
    }
    const qsizetype following = text.size() - (at - 1 + separator.size());
    if (following <= 0) {
        return text + QStringLiteral("00");
    }
    return following == 1 ? text + u'0' : text;
}

// ---- Port members
// --------------------------------------------------------------------------------

bool KivoData::OpenPort()
{
    using namespace kivo::desktop;
    letEventsRun();
    letEventsRun();
    LastResult = linkStatus(
        kivo::automation::call(G::DeviceLink, "OpenPort", G::DefaultComPort.toStdString()));
    letEventsRun();
    if (G::IsCmdOk(LastResult)) {
        return true;
    }
    desktop().msgBox(
        QStringLiteral("I could not open COM port, make sure you selected the proper COM port."),
        vbCritical + vbOKOnly, QStringLiteral("Kivo, Software. Dravon Electronics"));
    const QString text = QStringLiteral("Can not open Com port, make sure you selected the correct "
                                        "Com port (COM1, COM2 ...)") +
                         G::DefaultComPort;
    reportFailure(text);
    alert();
    kivo::automation::call(G::DeviceLink, "ClosePort");
    return false;
}

void KivoData::ClosePort()
{
    kivo::automation::call(G::DeviceLink, "ClosePort");
    LinkOk = false;
}

void KivoData::alert()
{
    kivo::desktop::desktop().msgBox(QStringLiteral("ERROR ") + G::LastErrorText,
                                    kivo::desktop::vbOKOnly, G::ProgramTitle);
}

// ---- Unit members
// --------------------------------------------------------------------------------

void KivoData::GetModuleGoodStatusByte()
{
    Int16Array bits = bitArray();
    if (callOk("GetModuleGoodStatusByte", unitArg(), byRef(bits))) {
        ModuleGood = bitString(bits);
        G::ModuleGoodBits = ModuleGood;
    } else {
        failed({TextForm::C, "GetModuleGoodStatusByte"}, CallUnitId, 0);
        ModuleGood = kAllClear;
    }
}

void KivoData::GetMasterSlaveMode()
{
    Int16Array master = bitArray();
    Int16Array slave = bitArray();
    if (!callOk("GetMasterSlaveMode", unitArg(), byRef(master), byRef(slave))) {
        failed({TextForm::C, "GetMasterSlaveMode"}, CallUnitId, 0);
        return;
    }
    // A group code is four bits, the highest first: elements 4 to 1, and 8 to 5.
    auto code = [](const Int16Array& bits, int highest) {
        const std::vector<std::int16_t> values = bits.values();
        QString text;
        for (int k = highest; k > highest - 4; --k) {
            text += QString::number(values.at(static_cast<std::size_t>(k - 1)));
        }
        return GetDecimalNumber(text).value_or(0);
    };
    MasterGroup1 = code(master, 4);
    MasterGroup2 = code(master, 8);
    SlaveGroup1 = code(slave, 4);
    SlaveGroup2 = code(slave, 8);
    CurrentModule = 9;
}

void KivoData::GetOutputState()
{
    Int16Array bits = bitArray();
    if (callOk("GetOutputState", unitArg(), byRef(bits))) {
        outputstate = bitString(bits);
        G::OutputStates = outputstate;
    } else {
        failed({TextForm::C, "GetOutputState"}, CallUnitId, 0);
        outputstate = kAllClear;
    }
}

void KivoData::GetUnitSerialN()
{
    std::string serial;
    if (callOk("GetUnitSerialN", unitArg(), byRef(serial))) {
        SerialNumber = QString::fromStdString(serial);
    } else {
        failed({TextForm::C, "GetUnitSerialNumber", Tail::Blank}, CallUnitId, 0);
    }
}

void KivoData::GetGlobalStatusByte()
{
    Int16Array bits = bitArray();
    if (!callOk("GetGlobalStatusByte", unitArg(), byRef(bits))) {
        failed({TextForm::A, "GetGlobalStatusByte"}, CallUnitId, 0);
        return;
    }
    const std::vector<std::int16_t> values = bits.values();
    auto set = [&](int k) { return values.at(static_cast<std::size_t>(k - 1)) == 1; };
    OverTemp = set(1);
    FanFail = set(2);
    ACFail = set(3);
    GlobalDC = set(4);
    GlobalCurrentLimit = set(5);
    if (set(6)) {
        // The unit's own error bit fails the read as a failed exchange does: in the error log,
        // and in the text the windows show, with this unit named.
        reportFailure(QStringLiteral("Unit ") + CallUnitId +
                      QStringLiteral(" reports an error in its global status byte"));
    }
    if (set(7)) {
        ModuleGood = kAllClear;
    }
    FanWarning = set(8);
}

void KivoData::GetFanFailPolarity()
{
    getUnitFlag("GetFanFailPolarity", {TextForm::A, "GetFanFailPolarity"}, FanFail);
}

void KivoData::GetGlobalDCGoodPolarity()
{
    getUnitFlag("GetGlobalDCGoodPolarity", {TextForm::A, "GetGlobalDCGoodPolarity"}, GlobalDC);
}

void KivoData::GetGroupState()
{
    getUnitFlag("GetGroupState", {TextForm::A, "GetGroupState"}, Group);
}

void KivoData::GetOTFailPolarity()
{
    getUnitFlag("GetOTFailPolarity", {TextForm::A, "GetOTFailPolarity"}, OverTemp);
}

void KivoData::GetDefaultGlobalOutputPolarity()
{
    if (getUnitFlag("GetDefaultGlobalOutputPolarity",
                    {TextForm::A, "GetDefaultGlobalOutputPolarity", Tail::Value}, GlobalOnOff)) {
        G::DefaultGlobalPolarityFlag = GlobalOnOff;
    }
}

void KivoData::GetDefaultGlobalOutputState()
{
    if (getUnitFlag("GetDefaultGlobalOutputState",
                    {TextForm::A, "GetDefaultGlobalOutputState", Tail::Value}, GlobalOutputState)) {
        G::DefaultGlobalStateFlag = GlobalOutputState;
    }
}

void KivoData::GetDefaultGroupState()
{
    getUnitFlag("GetDefaultGroupState", {TextForm::A, "GetDefaultGroupState", Tail::Value}, Group);
}

void KivoData::GetUnitVersion()
{
    std::int16_t major = 0;
    std::int16_t minor = 0;
    if (callOk("GetUnitVersion", unitArg(), byRef(major), byRef(minor))) {
        Version1 = QString::number(major);
        Version2 = QString::number(minor);
    } else {
        failed({TextForm::C, "GetUnitVersion", Tail::None}, CallUnitId, 0);
    }
}

void KivoData::GetGlobalOutputState()
{
    std::int16_t value = 0;
    // The operation reports the global output bit as 0 or 1; it carries no group bit.
    if (getUnitValue("GetGlobalOutputState", {TextForm::A, "GetGlobalOutputState"}, value) &&
        value == 1) {
        GlobalOutput = true;
    }
}

void KivoData::GetOperatingHours()
{
    std::string hours = OperatingHours.toStdString();
    if (!callOk("GetOperatingHoursString", unitArg(), byRef(hours))) {
        failed({TextForm::A, "GetOperatingHours"}, CallUnitId, 0);
        return;
    }
    OperatingHours = QString::fromStdString(hours);
    if (OperatingHours.isEmpty()) {
        OperatingHours = QStringLiteral("0");
    }
}

void KivoData::SetGlobalOutputState(std::int16_t unit, std::int16_t state)
{
    if (!callOk("SetGlobalOutputState", unit, byRef(state))) {
        failed({TextForm::A, "SetGlobalOutputState"}, QString::number(unit), 0);
    }
}

void KivoData::SetGroupState(std::int16_t unit, std::int16_t state)
{
    if (!callOk("SetGroupState", unit, byRef(state))) {
        failed({TextForm::A, "SetGroupState", Tail::None}, QString::number(unit), 0);
    }
}

void KivoData::SetDefaultGlobalOutputPolarity()
{
    setUnitFlag("SetDefaultGlobalOutputPolarity", {TextForm::D, "SetDefaultGlobalOutputPolarity"},
                GlobalOnOff);
}

void KivoData::SetDefaultGlobalOutputState()
{
    setUnitFlag("SetDefaultGlobalOutputState", {TextForm::D, "SetDefaultGlobalOutputState"},
                GlobalOutputState);
}

void KivoData::SetDefaultGroupState()
{
    setUnitFlag("SetDefaultGroupState", {TextForm::D, "SetDafaultGroupState"}, Group);
}

void KivoData::SetFanFailPolarity()
{
    setUnitFlag("SetFanFailPolarity", {TextForm::D, "SetFanFailPolarity"}, FanFail);
}

void KivoData::SetGlobalDCGoodPolarity()
{
    setUnitFlag("SetGlobalDCGoodPolarity", {TextForm::A, "SetGlobalDCGoodPolarity"}, GlobalDC);
}

void KivoData::SetOTFailPolarity()
{
    setUnitFlag("SetOTFailPolarity", {TextForm::A, "SetOTFailPolarity"}, OverTemp);
}

void KivoData::GetGroupTurnONDelay()
{
    using namespace kivo::desktop;
    std::int16_t delay = 0;
    LastResult = linkStatus(kivo::automation::call(G::DeviceLink, "GetGroupTurnONDelay",
                                                   std::int16_t(0), byRef(delay)));
    if (LastResult != kOk) {
        desktop().msgBox(QStringLiteral("Error Getting ModuleGood st"), vbOKOnly, G::ProgramTitle);
    }
    desktop().msgBox(LastResult, vbOKOnly, G::ProgramTitle);
}

// ---- Module members
// ------------------------------------------------------------------------------

void KivoData::GetModuleSerialN()
{
    forEachPresentModule([&](int slot) {
        std::string serial;
        if (callOk("GetModuleSerialN", unitArg(), byRef(CurrentModule), byRef(serial))) {
            MS[slot] = QString::fromStdString(serial);
        } else {
            failed({TextForm::B, "GetModuleSerialN"}, CallUnitId, slot);
        }
    });
}

void KivoData::GetCurrentLimitMode()
{
    forEachPresentModule([&](int slot) {
        std::int16_t mode = 0;
        std::int16_t enableReset = 0;
        if (!callOk("GetCurrentLimitMode", unitArg(), byRef(CurrentModule), byRef(mode),
                    byRef(enableReset))) {
            failed({TextForm::B, "GetCurrentLimitMode"}, CallUnitId, slot);
            return;
        }
        if (mode >= 0 && mode <= 3) {
            CLM[slot] = QString::fromLatin1(kCurrentLimitModes[mode]);
        }
        ER[slot] = QString::number(enableReset);
    });
}

void KivoData::GetDefaultOutputOnOffPolarity()
{
    getModuleValue<std::int16_t>("GetDefaultOutputOnOffPolarity",
                                 {TextForm::B, "GetDefaultOutputOnOffPolarity"}, P);
}

void KivoData::GetDefaultOutputOnOffState()
{
    getModuleValue<std::int16_t>("GetDefaultOutputOnOffState",
                                 {TextForm::B, "GetDefaultOutputOnOffState"}, StartUpState);
}

void KivoData::GetProgrammingMode()
{
    getModuleValue<std::int16_t>("GetProgrammingMode", {TextForm::B, "GetProgrammingMode"}, PM);
}

void KivoData::GetOutputTurnONDelay()
{
    getModuleValue<std::int32_t>("GetOutputTurnONDelayExUShort",
                                 {TextForm::B, "GetOutputTurnONDelay"}, StartUpDelay);
}

void KivoData::GetModuleGoodLowThreshold()
{
    getModuleValue<std::int16_t>("GetModuleGoodLowThreshold",
                                 {TextForm::B, "GetModuleGoodLowThreshold"}, VLL);
}

void KivoData::GetModuleGoodHighThreshold()
{
    getModuleValue<std::int16_t>("GetModuleGoodHighThreshold",
                                 {TextForm::B, "GetModuleGoodHighThreshold"}, VHL);
}

void KivoData::GetCurrentLimit()
{
    forEachPresentModule([&](int slot) {
        std::int16_t raw = 0;
        std::int16_t type = 0;
        // Both reads must pass: a limit that was not read is not shown as a limit of 0.
        if (!callOk("GetCurrentLimit", unitArg(), byRef(CurrentModule), byRef(raw)) ||
            !callOk("GetModuleType", unitArg(), byRef(CurrentModule), byRef(type))) {
            failed({TextForm::B, "GetCurrentLimit"}, CallUnitId, slot);
            return;
        }
        ModuleType[slot] = typeSection(type);
        const QString factor = iniValue(ModuleType[slot], "CurrentScaleFactor");
        if (factor == kNoValue) {
            namedUnscaled(slot);
            return;
        }
        CL[slot] = scaled(slot, iniNumber(factor), [&](double f) { return CStr(raw / f).left(5); });
    });
}

void KivoData::GetCurrentLimitONTime()
{
    getModuleValue<std::int32_t>("GetCurrentLimitONTimeExUShort",
                                 {TextForm::B, "GetCurrentLimitONTime"}, AT);
}

void KivoData::GetCurrentLimitOFFTime()
{
    getModuleValue<std::int32_t>("GetCurrentLimitOFFTimeExUShort",
                                 {TextForm::B, "GetCurrentLimitOFFTime"}, RT);
}

void KivoData::GetGroupID()
{
    forEachPresentModule([&](int slot) {
        std::int16_t group = 0;
        if (callOk("GetGroupID", unitArg(), byRef(CurrentModule), byRef(group))) {
            GID[slot] = group;
        } else {
            failed({TextForm::B, "GetGroupID"}, CallUnitId, slot);
        }
    });
}

void KivoData::GetModuleType()
{
    static_cast<void>(readModuleTypes());
}

int KivoData::readModuleTypes()
{
    for (CurrentModule = 1; CurrentModule <= 5; ++CurrentModule) {
        if (!present(PresentModule, CurrentModule)) {
            continue;
        }
        std::int16_t type = 0;
        LastResult = linkStatus(kivo::automation::call(G::DeviceLink, "GetModuleType", unitArg(),
                                                       byRef(CurrentModule), byRef(type)));
        if (LastResult != kOk) {
            // Reported through ModuleTypeRead alone: the modules are off, not failing.
            G::ModuleTypeRead = false;
            return CurrentModule;
        }
        G::ModuleTypeRead = true;
        G::IsCmdOk(LastResult);
        ModuleType[CurrentModule] = typeSection(type);
        MC[CurrentModule] = iniValue(ModuleType[CurrentModule], "type");
    }
    return 0;
}

void KivoData::moduleTypesOrInhibit()
{
    // Modules under the unit's global inhibit do not answer, and are off. An answer that is an
    // error or arrives damaged comes from a module that is there: the read failed, and nothing
    // of it may be shown, logged or taken for the inhibit as the unit's state.
    const int slot = readModuleTypes();
    if (slot != 0 && LastResult != kNoResponse) {
        failed({TextForm::B, "GetModuleType"}, CallUnitId, slot);
    }
}

void KivoData::GetModuleVersion()
{
    forEachPresentModule([&](int slot) {
        std::int16_t major = 0;
        std::int16_t minor = 0;
        if (callOk("GetModuleVersion", unitArg(), byRef(CurrentModule), byRef(major),
                   byRef(minor))) {
            MMV[slot] = QString::number(major);
            MMinV[slot] = QString::number(minor);
        } else {
            failed({TextForm::B, "GetModuleVersion"}, CallUnitId, slot);
        }
    });
}

void KivoData::GetOutputVoltageSetpoint()
{
    forEachPresentModule([&](int slot) {
        std::int16_t raw = 0;
        if (callOk("GetDefaultOutputVoltage", unitArg(), byRef(CurrentModule), byRef(raw))) {
            VSP[slot] = scaled(slot, G::moduleScaling(slot).VoltageScaleFactor,
                               [&](double f) { return CStr(raw / f); });
            return;
        }
        using namespace kivo::desktop;
        desktop().msgBox(QStringLiteral("Error#2303"), vbCritical + vbOKOnly,
                         QStringLiteral("Error Handler"));
        failed({TextForm::B, "GetOutputVoltageSetpoint"}, CallUnitId, slot);
    });
}

void KivoData::MeasureOutputCurrent()
{
    forEachPresentModule([&](int slot) {
        std::int16_t raw = 0;
        const bool ok = callOk("MeasureOutputCurrent", unitArg(), byRef(CurrentModule), byRef(raw));
        if (raw == 0) {
            raw = 1;
        }
        if (!ok) {
            failed({TextForm::B, "MeasureOutputCurrent"}, CallUnitId, slot);
            return;
        }
        MCUR[slot] = scaled(slot, iniNumber(iniValue(ModuleType[slot], "CurrentScaleFactor")),
                            [&](double f) { return FormatDecimals(CStr(Round(raw / f, 2))); });
    });
}

void KivoData::MeasureOutputVoltage()
{
    forEachPresentModule([&](int slot) {
        std::int16_t raw = 0;
        // A failed measurement leaves the count at 0, which is no reading of 0 V. The other
        // slots are still measured.
        if (!callOk("MeasureOutputVoltage", unitArg(), byRef(CurrentModule), byRef(raw))) {
            failed({TextForm::B, "MeasureOutputVoltage"}, CallUnitId, slot, {}, false);
            return;
        }
        // A reading of 0 shows 0 for this slot alone.
        if (raw == 0) {
            MV[slot] = QStringLiteral("0");
            return;
        }
        MV[slot] = scaled(slot, iniNumber(iniValue(ModuleType[slot], "VoltageScaleFactor")),
                          [&](double f) { return FormatDecimals(CStr(Round(raw / f, 2))); });
    });
}

void KivoData::SetCurrentLimit()
{
    const FailureText text{TextForm::B, "SetCurrentLimit"};
    forEachPresentModule([&](int slot) {
        if (!callOk("GetModuleType", unitArg(), byRef(CurrentModule), byRef(intModuleType))) {
            failed(text, CallUnitId, slot);
            return;
        }
        ModuleType[slot] = typeSection(intModuleType);
        strVar = iniValue(ModuleType[slot], "CurrentScaleFactor");
        std::int16_t counts = CInt(CDbl(CL[slot]).value() * scaleFactor(strVar)).value();
        if (!callOk("SetCurrentLimit", unitArg(), byRef(CurrentModule), byRef(counts))) {
            failed(text, CallUnitId, slot);
        }
    });
}

void KivoData::SetCurrentLimitMode()
{
    forEachPresentModule([&](int slot) {
        std::int16_t mode = 0;
        while (mode < 4 && CLM[slot] != QString::fromLatin1(kCurrentLimitModes[mode])) {
            ++mode;
        }
        if (mode == 4) {
            return; // a mode this program does not know is left as the unit has it
        }
        std::int16_t enableReset = CInt(ER[slot]).value();
        if (!callOk("SetCurrentLimitMode", unitArg(), byRef(CurrentModule), byRef(mode),
                    byRef(enableReset))) {
            failed({TextForm::B, "SetCurrentLimitMode"}, CallUnitId, slot);
        }
    });
}

void KivoData::SetDefaultOutputOnOffState()
{
    setModuleValue<std::int16_t>("SetDefaultOutputOnOffState",
                                 {TextForm::B, "SetDefaultOutputOnOffState"}, StartUpState);
}

void KivoData::SetDefaultOutputOnOffPolarity()
{
    setModuleValue<std::int16_t>("SetDefaultOutputOnOffPolarity",
                                 {TextForm::D, "SetDefaultOutputOnOffPolarity"}, P);
}

void KivoData::SetProgrammingMode()
{
    setModuleValue<std::int16_t>("SetProgrammingMode", {TextForm::B, "SetProgrammingMode"}, PM);
}

void KivoData::SetOutputTurnONDelay()
{
    setModuleValue<std::int32_t>("SetOutputTurnONDelay", {TextForm::B, "SetOutputTurnONDelay"},
                                 StartUpDelay);
}

void KivoData::SetModuleGoodHighThreshold()
{
    setModuleValue<std::int16_t>("SetModuleGoodHighThreshold",
                                 {TextForm::B, "SetModuleGoodHighThreshold"}, VHL);
}

void KivoData::SetModuleGoodLowThreshold()
{
    setModuleValue<std::int16_t>("SetModuleGoodLowThreshold",
                                 {TextForm::B, "SetModuleGoodLowThreshold"}, VLL);
}

std::int16_t KivoData::voltageCounts(int slot) const
{
    return CInt(CDbl(VSP[slot]).value() * scaleFactor(G::moduleScaling(slot).VoltageScaleFactor))
        .value();
}

void KivoData::SetAllOutputVoltageSetpoint()
{
    forEachPresentModule([&](int slot) {
        std::int16_t counts = voltageCounts(slot);
        // The set point was read from the unit's default output voltage; it goes back there.
        if (!callOk("SetDefaultOutputVoltage", CInt(CallUnitId).value(), byRef(CurrentModule),
                    byRef(counts))) {
            failed({TextForm::B, "SetOutputVoltageSetpoint"}, CallUnitId, slot);
        }
    });
}

void KivoData::SetGroupID()
{
    for (CurrentModule = 1; CurrentModule <= 5; ++CurrentModule) {
        if (!present(ModuleGood, CurrentModule)) {
            continue;
        }
        std::int16_t counts = voltageCounts(CurrentModule);
        if (!callOk("SetOutputVoltageSetpoint", CInt(CallUnitId).value(), byRef(CurrentModule),
                    byRef(counts))) {
            failed({TextForm::B, "SetOutputVoltageSetpoint"}, CallUnitId, CurrentModule);
        }
    }
}

void KivoData::SetMasterSlaveMode()
{
    // The group codes are worked out and nothing is sent: the unit keeps its master/slave bits.
    for (int slot = 1; slot <= 5; ++slot) {
        static_cast<void>(GetBinaryNumber(MMaster[slot]));
        static_cast<void>(GetBinaryNumber(MSlave[slot]));
    }
}

void KivoData::SetOutputState(std::int16_t unit, std::int16_t module, std::int16_t state)
{
    if (!callOk("SetOutputState", unit, module, state)) {
        failed({TextForm::B, "SetOuputState"}, QString::number(unit), module);
    }
}

void KivoData::SetOutputVoltageSetpoint(std::int16_t unit, std::int16_t module,
                                        const QString& counts)
{
    InitElements();
    CallUnitId = QString::number(unit);
    G::ErrorFlag = false;
    LinkOk = OpenPort();
    if (!callOk("SetOutputVoltageSetpoint", unit, module, counts.toStdString())) {
        failed({TextForm::B, "SetOutputVoltageSetpoint"}, CallUnitId, module);
    }
    ClosePort();
}

// ---- Presence and scaling
// ------------------------------------------------------------------------

void KivoData::GetPresentModules()
{
    UnitWindows& windows = unitWindows();
    Int16Array bits = bitArray();
    if (callOk("GetPresentModules", unitArg(), byRef(bits))) {
        // Slots 1 to 5; the unit's bits 5 to 7 are not slots.
        PresentModule = bitString(bits).left(5) + QStringLiteral("000");
        G::PresentModuleBits = PresentModule;
        for (int i = 1; i <= 8; ++i) {
            G::ModulePresence[static_cast<std::size_t>(i)] = Mid(PresentModule, i, 1);
        }
        for (CurrentModule = 1; CurrentModule <= 5; ++CurrentModule) {
            if (!present(PresentModule, CurrentModule)) {
                continue;
            }
            // The types of the unit being read, whichever unit the windows have selected.
            std::int16_t type = 0;
            LastResult = linkStatus(kivo::automation::call(
                G::DeviceLink, "GetModuleType", unitArg(), byRef(CurrentModule), byRef(type)));
            letEventsRun();
            if (LastResult != kOk) {
                return;
            }
            clsScalability& record = G::moduleScaling(CurrentModule);
            record.ModuleTypeNumber = type;
            const QString section = typeSection(type);
            const QString name = iniValue(section, "Type");
            if (name != QStringLiteral("Not Present")) {
                windows.setConfigModuleId(CurrentModule, name);
            }
            record.ModuleCode = name;
            for (const auto& [key, field] : kScalingFields) {
                record.*field = iniNumber(iniValue(section, key));
            }
        }
    } else {
        const QString text = QStringLiteral("Unit ") + CallUnitId +
                             QStringLiteral(" Does not Respond, make sure is properly connected "
                                            "and is the correct UnitID Number");
        reportFailure(text);
        G::NoResponseText = text;
        PresentModule = kAllClear;
        LinkOk = false;
        windows.monitorUnitDoesNotRespond(2690, 2750, QStringLiteral("Unit does not respond!"));
    }

    for (int slot = 1; slot <= 5; ++slot) {
        if (!present(PresentModule, slot)) {
            continue;
        }
        const clsScalability& record = G::moduleScaling(slot);
        windows.setConfigCurrentLimitMinimum(slot, 0);
        windows.setConfigCurrentLimitMaximum(slot, CInt(record.MaxCurrent).value());
        windows.setConfigMaxCurrentCaption(slot, CStr(record.MaxCurrent));
        windows.setConfigSetPointMinimum(slot, 0);
        windows.setConfigSetPointMaximum(slot, CLng(record.MaxVoltage * 10).value());
        windows.setConfigSetPointMinimum(slot, CLng(record.MinVoltage * 10).value());
    }
}

// ---- Whole-unit reads and the apply-all member
// ---------------------------------------------------

template <class Body> void KivoData::recover(const char* member, Body body)
{
    try {
        body();
    } catch (const std::exception& failure) {
        ClosePort();
        const QString text = QStringLiteral("Run-time error in %1 for Unit %2: %3")
                                 .arg(QString::fromLatin1(member), CallUnitId,
                                      QString::fromStdString(failure.what()));
        reportFailure(text);
    }
}

void KivoData::startRead(const QString& unit)
{
    CallUnitId = unit;
    UnscaledNamed = {};
    G::ErrorFlag = false;
    // Nothing of an earlier read may decide this one or name its unit.
    G::DefaultGlobalStateFlag = false;
    G::ModuleTypeRead = false;
    G::NoResponseText.clear();
}

void KivoData::ReadKivo(const QString& unit)
{
    startRead(unit);
    recover("ReadKivo", [&] {
        LinkOk = OpenPort();
        if (LinkOk) {
            GetModuleGoodStatusByte();
        }
        ClosePort();
    });
}

void KivoData::ReadKivoSetup(const QString& unit)
{
    startRead(unit);
    recover("ReadKivoSetup", [&] {
        InitElements();
        UnitID = unit;
        letEventsRun();
        readSetupSteps();
    });
}

void KivoData::readSetupSteps()
{
    using Member = void (KivoData::*)();
    struct Step {
        const char* label;
        Member member;
    };
    static const Step unitSteps[] = {
        {"Get present modules................", &KivoData::GetPresentModules},
        {"Get Module Good Status Byte........", &KivoData::GetModuleGoodStatusByte},
        {"Get Unit Serial Number.............", &KivoData::GetUnitSerialN},
        {"Get Unit Version...................", &KivoData::GetUnitVersion},
        {"Get Fan Fail Polarity..............", &KivoData::GetFanFailPolarity},
        {"Get Global DCGood Polarity.........", &KivoData::GetGlobalDCGoodPolarity},
        {"Get O.T. Fail Polarity.............", &KivoData::GetOTFailPolarity},
        {"Get Default Global Output Polarity.", &KivoData::GetDefaultGlobalOutputPolarity},
        {"Get Default Group State............", &KivoData::GetDefaultGroupState},
        {"Get Default Global Output State....", &KivoData::GetDefaultGlobalOutputState},
    };
    static const Step moduleSteps[] = {
        {"Get Module Serial Number...........", &KivoData::GetModuleSerialN},
        {"Get Module Version.................", &KivoData::GetModuleVersion},
        {"Get Programming Mode...............", &KivoData::GetProgrammingMode},
        {"Get Default Output On Off Polarity.", &KivoData::GetDefaultOutputOnOffPolarity},
        {"Get Default Output On Off State....", &KivoData::GetDefaultOutputOnOffState},
        {"Get Output Turn ON Delay...........", &KivoData::GetOutputTurnONDelay},
        {"Get Output Voltage Setpoint........", &KivoData::GetOutputVoltageSetpoint},
        {"Get Module Good Low Threshold......", &KivoData::GetModuleGoodLowThreshold},
        {"Get Module Good High Threshold.....", &KivoData::GetModuleGoodHighThreshold},
        {"Get Current Limit Mode.............", &KivoData::GetCurrentLimitMode},
        {"Get Current Limit..................", &KivoData::GetCurrentLimit},
        {"Get Current Limit ON Time..........", &KivoData::GetCurrentLimitONTime},
        {"Get Current Limit OFF Time.........", &KivoData::GetCurrentLimitOFFTime},
        {"Get Output State...................", &KivoData::GetOutputState},
    };

    UnitWindows& windows = unitWindows();
    auto append = [&](const QString& text) {
        windows.setConfigProgressText(windows.configProgressText() + text);
    };
    // Each line's "Ok" is written when the next step starts, so a failed step's label ends the box.
    auto step = [&](const char* label, Member member) {
        if (LinkOk) {
            append(QStringLiteral("Ok\r\n") + QString::fromLatin1(label));
        }
        windows.selectConfigProgress();
        letEventsRun();
        if (LinkOk && member) {
            (this->*member)();
        }
    };

    if (!G::DeveloperMode) {
        LinkOk = OpenPort();
    }
    for (const Step& s : unitSteps) {
        step(s.label, s.member);
    }
    step("Get Module Type....................",
         G::DefaultGlobalStateFlag ? &KivoData::moduleTypesOrInhibit : nullptr);
    if (G::DefaultGlobalStateFlag && G::ModuleTypeRead) {
        for (const Step& s : moduleSteps) {
            step(s.label, s.member);
        }
        if (LinkOk) {
            GetGroupID();
        }
    }
    // Only modules that did not answer are off by the inhibit; a failed type read ended the read.
    if (LinkOk && G::DefaultGlobalStateFlag && !G::ModuleTypeRead) {
        append(QStringLiteral("Ok\r\n\r\nModules OFF by GLOBAL INHIBIT."));
        windows.setConfigModulesOffCaption(QStringLiteral("Modules OFF by GLOBAL INHIBIT"));
        windows.selectConfigProgress();
    }
    if (LinkOk) {
        append(QStringLiteral("Ok\r\n"));
    }
    ClosePort();
    windows.selectConfigProgress();
}

void KivoData::ReadKivoMonitor(const QString& unit)
{
    startRead(unit);
    recover("ReadKivoMonitor", [&] {
        if (!G::LoggingInProgress) {
            InitElements();
        }
        readMonitorSteps();
    });
}

void KivoData::readMonitorSteps()
{
    using Member = void (KivoData::*)();
    struct Step {
        Member member;
        bool skippedWhileLogging;
    };
    // Before and after the module types are known; the refresh reads the skipped ones itself.
    static const Step unitSteps[] = {
        {&KivoData::GetPresentModules, false},    {&KivoData::GetModuleGoodStatusByte, false},
        {&KivoData::moduleTypesOrInhibit, false}, {&KivoData::GetOutputState, true},
        {&KivoData::GetGlobalStatusByte, false},  {&KivoData::GetOperatingHours, false},
        {&KivoData::GetGlobalOutputState, false}, {&KivoData::GetGroupState, true},
        {&KivoData::moduleTypesOrInhibit, false},
    };
    static const Step moduleSteps[] = {
        {&KivoData::GetOutputVoltageSetpoint, true},
        {&KivoData::MeasureOutputCurrent, false},
        {&KivoData::MeasureOutputVoltage, false},
        {&KivoData::GetMasterSlaveMode, true},
        {&KivoData::GetGroupID, true},
        {&KivoData::GetModuleGoodLowThreshold, true},
        {&KivoData::GetModuleGoodHighThreshold, true},
        {&KivoData::GetCurrentLimit, true},
    };
    auto run = [&](const Step& s) {
        if (LinkOk && !(s.skippedWhileLogging && G::LoggingInProgress)) {
            (this->*s.member)();
        }
    };

    LinkOk = OpenPort();
    for (const Step& s : unitSteps) {
        if (&s != unitSteps) {
            letEventsRun();
        }
        run(s);
    }
    if (G::ModuleTypeRead) {
        for (const Step& s : moduleSteps) {
            if (&s != moduleSteps) {
                letEventsRun();
            }
            run(s);
        }
    }
    letEventsRun();
    ClosePort();
    letEventsRun();
}

void KivoData::WriteKivo(const QString& unit)
{
    CallUnitId = unit;
    UnitID = unit;
    // A failure of an earlier action does not stop this one.
    G::ErrorFlag = false;
    recover("WriteKivo", [&] {
        LinkOk = OpenPort();
        writeSteps();
        ClosePort();
    });
}

void KivoData::writeSteps()
{
    using Member = void (KivoData::*)();
    static const Member steps[] = {
        &KivoData::SetFanFailPolarity,
        &KivoData::SetGlobalDCGoodPolarity,
        &KivoData::SetOTFailPolarity,
        &KivoData::SetDefaultGlobalOutputPolarity,
        &KivoData::SetDefaultGroupState,
        &KivoData::SetDefaultGlobalOutputState,
        &KivoData::SetProgrammingMode,
        &KivoData::SetDefaultOutputOnOffPolarity,
        &KivoData::SetDefaultOutputOnOffState,
        &KivoData::SetOutputTurnONDelay,
        &KivoData::SetAllOutputVoltageSetpoint,
        &KivoData::SetModuleGoodLowThreshold,
        &KivoData::SetModuleGoodHighThreshold,
        &KivoData::SetCurrentLimitMode,
        &KivoData::SetCurrentLimit,
    };
    for (const Member member : steps) {
        if (LinkOk) {
            (this->*member)();
        }
    }
}

// ---- Parameter file and data-log row
// -------------------------------------------------------------

namespace {

// The keys of the parameter file and the fields they hold, in the order they are written.
struct UnitKey {
    const char* key;
    QString KivoData::*text;
    bool KivoData::*flag;
};
const UnitKey kUnitKeys[] = {
    {"PowerSupplyID", &KivoData::UnitID, nullptr},
    {"SerialNumber", &KivoData::SerialNumber, nullptr},
    {"MajorVersion", &KivoData::Version1, nullptr},
    {"MinorVersion", &KivoData::Version2, nullptr},
    {"FanFail", nullptr, &KivoData::FanFail},
    {"GlobalDC", nullptr, &KivoData::GlobalDC},
    {"OverTemp", nullptr, &KivoData::OverTemp},
    {"GlobalOnOff", nullptr, &KivoData::GlobalOnOff},
    {"Group", nullptr, &KivoData::Group},
    {"Global", nullptr, &KivoData::GlobalOutput},
    {"MODULES", &KivoData::PresentModule, nullptr},
};

// A key with `numbered` set is "M" & slot & key ("M2Master"); GroupId has no text field.
struct ModuleKey {
    const char* key;
    Slots<QString> KivoData::*text;
    bool numbered = false;
};
const ModuleKey kModuleKeys[] = {
    {"ModuleCode", &KivoData::MC},
    {"SerialNumber", &KivoData::MS},
    {"MajorVersion", &KivoData::MMV},
    {"MinorVersion", &KivoData::MMinV},
    {"DefaultOutputPolarity", &KivoData::P},
    {"StartUpState", &KivoData::StartUpState},
    {"OutputVoltageSetpoint", &KivoData::VSP},
    {"VoltageHighLimit", &KivoData::VHL},
    {"VoltageLowLimit", &KivoData::VLL},
    {"CurrentLimitMode", &KivoData::CLM},
    {"CurrentLimit", &KivoData::CL},
    {"StartUpDelay", &KivoData::StartUpDelay},
    {"ActivationTime", &KivoData::AT},
    {"ResetTime", &KivoData::RT},
    {"EnableReset", &KivoData::ER},
    {"Master", &KivoData::MMaster, true},
    {"Slave", &KivoData::MSlave, true},
    {"Delay", &KivoData::MDelay, true},
    {"State", &KivoData::MState, true},
    {"GroupId", nullptr},
    {"ProgrammingMode", &KivoData::PM},
};

QString unitSection(const QString& unitId)
{
    return QStringLiteral("PS") + unitId;
}

QString moduleSection(const QString& unitId, int slot)
{
    return unitSection(unitId) + QStringLiteral("MODULE") + QString::number(slot);
}

QString moduleKey(const ModuleKey& key, int slot)
{
    const QString name = QString::fromLatin1(key.key);
    return key.numbered ? QStringLiteral("M%1").arg(slot) + name : name;
}

} // namespace

void KivoData::WriteKivoFile(const QString& unitId)
{
    // Key by key: whatever else the file holds (other keys of these sections, the sections of
    // modules not written now) stays as it was.
    QList<INI::IniSection> sections{{unitSection(unitId), {}}};
    for (const UnitKey& key : kUnitKeys) {
        sections[0].entries.emplaceBack(QString::fromLatin1(key.key),
                                        key.text ? INI::ToFileNotation(this->*key.text)
                                                 : BoolToStr(this->*key.flag));
    }
    for (int slot = 1; slot <= 5; ++slot) {
        if (MS[slot].isEmpty() || MS[slot] == kNoValue) {
            continue;
        }
        INI::IniSection& section =
            sections.emplaceBack(INI::IniSection{moduleSection(unitId, slot), {}});
        for (const ModuleKey& key : kModuleKeys) {
            section.entries.emplaceBack(moduleKey(key, slot),
                                        key.text ? INI::ToFileNotation((this->*key.text)[slot])
                                                 : QString::number(GID[slot]));
        }
    }
    INI::WriteIniKeys(G::ParameterFilePath, sections);
}

void KivoData::ReadKivoFile(const QString& unitId)
{
    const QString& file = G::ParameterLoadPath;
    for (const UnitKey& key : kUnitKeys) {
        const QString value =
            INI::GetIniValue(unitSection(unitId), QString::fromLatin1(key.key), file);
        if (key.text) {
            this->*key.text = value;
        } else {
            this->*key.flag = value == QStringLiteral("1");
        }
    }
    for (int slot = 1; slot <= 5; ++slot) {
        for (const ModuleKey& key : kModuleKeys) {
            const QString value =
                INI::GetIniValue(moduleSection(unitId, slot), moduleKey(key, slot), file);
            if (key.text) {
                (this->*key.text)[slot] = value;
            } else {
                GID[slot] = value == kNoValue ? 0 : CInt(value).valueOr(0);
            }
        }
    }
}

void KivoData::GetLineData()
{
    const QString comma = QStringLiteral(",");
    Line += UnitID + comma + SerialNumber + comma + CStr(FanFail) + comma + CStr(GlobalDC) + comma +
            CStr(OverTemp) + comma + CStr(FanFail) + comma + CStr(Group) + comma + PresentModule +
            comma;
}

} // namespace KivoSoft
