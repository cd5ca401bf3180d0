// One unit as the main program knows it: identity, unit-wide states and settings, and per module
// slot its settings and readings, together with the members that read and write them through the
// link object.
//
// The configuration window reads a unit and keeps the object after a good read; the monitor
// window reads one afresh for every refresh:
//
//     auto unit = std::make_shared<KivoSoft::KivoData>();
//     unit->ReadKivoSetup("3");                  // opens the port, reads, closes it again
//     if (!KivoSoft::KivoGlobals::ErrorFlag) {   // a failed step logged itself and set the error
//         units["3"] = unit;                     // state; nothing throws out of a whole read
//     }
//
// Numbers read from a unit are kept as decimal text, flags as bools, status bytes as eight
// "0"/"1" characters with bit 0 first. Per-slot families hold slots 1 to 5: `VSP[2]` is the
// set point of slot 2 (VSP2), `MMaster[4]` the master group setting of slot 4 (M4Master).
//
// Members that convert numbers (scaling by a slot's factors, a text field sent as a 16-bit value)
// report a run-time failure by throwing a std::exception: kivo::basic::RuntimeError for a
// conversion, RunTimeFailure for a zero scale factor of a value to be sent. The whole-unit reads
// and WriteKivo catch them as failed reads; a window that calls such a member on its own catches
// them in its handler's recovery path. A read of a slot whose module type has no factor in
// "scale.ini" (0, missing or no number) is no failure: the count is still read, the value is left
// blank, and the error log names the type's section once per slot and read. The members a window
// calls directly (the port members, the switching members, SetOutputVoltageSetpoint,
// FormatDecimals) do not throw.
#pragma once

#include <QString>
#include <QVariant>

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace KivoSoft {

// A run-time failure of a member that no conversion of platform/basic reports (a division by a
// scale factor of 0).
class RunTimeFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Values of module slots 1 to 5.
template <class T> class Slots {
public:
    // Slot 1 to 5; another index is a programming error and throws std::out_of_range.
    T& operator[](int slot) { return values_.at(index(slot)); }
    const T& operator[](int slot) const { return values_.at(index(slot)); }

    friend bool operator==(const Slots&, const Slots&) = default;

private:
    static std::size_t index(int slot) { return static_cast<std::size_t>(slot - 1); }
    std::array<T, 5> values_{};
};

class KivoData {
public:
    // ---- Unit-wide variables
    QVariant intVar;                // spare
    std::int16_t intModuleType = 0; // scratch of SetCurrentLimit: the module type code
    QString strVar;                 // scratch of SetCurrentLimit: the current scale factor text
    std::int16_t intArray = 0;      // spare
    QString UnitID;
    QString SerialNumber;
    QString Version1; // major version
    QString Version2; // minor version
    QString ModuleGood;
    QString outputstate;
    bool GlobalOutputState = false; // default global output state is 1
    QString PresentModule;          // slots 1-5 as five digits, then "000"
    // Signal polarity settings after a configuration read, live status after a monitor read.
    bool OverTemp = false;
    bool GlobalDC = false;
    bool GlobalCurrentLimit = false;
    bool FanFail = false;
    bool FanWarning = false;
    bool ACFail = false;
    bool GlobalOnOff = false; // default global output polarity is 1
    QString Line;             // data-log row
    QString OperatingHours;
    bool GlobalOutput = false;
    bool Group = false;
    QString SignalPolarity;

    // ---- Per-slot variables
    Slots<QString> MCUR; // measured current, amperes, two decimals
    Slots<QString> MV;   // measured voltage, volts, two decimals
    Slots<QString> PM;   // programming mode
    Slots<std::int16_t> GID;
    Slots<QString> MMaster, MSlave; // M1Master ... M5Master, M1Slave ... M5Slave
    Slots<QString> MDelay, MState;  // M1Delay ... M5Delay, M1State ... M5State
    std::int16_t MasterGroup1 = 0;
    std::int16_t MasterGroup2 = 0;
    std::int16_t SlaveGroup1 = 0;
    std::int16_t SlaveGroup2 = 0;
    Slots<QString> MS;           // module serial number
    Slots<QString> VSP;          // output voltage set point, volts
    Slots<QString> MC;           // model name from "scale.ini"
    Slots<QString> MMV, MMinV;   // module major and minor version
    Slots<QString> P;            // default output on/off polarity
    Slots<QString> StartUpState; // default output on/off state
    Slots<QString> StartUpDelay; // output turn-on delay, ms
    Slots<QString> VHL, VLL;     // module-good high and low threshold, counts
    Slots<QString> CLM;          // "Normal", "Latching", "Hiccup" or "CurrentShare"
    Slots<QString> CL;           // current limit, amperes
    Slots<QString> AT, RT;       // current-limit on and off time, ms
    Slots<QString> ER;           // enable reset
    Slots<QString> ModuleType;   // "scale.ini" section of the module type, "TYPE" & code

    // ---- Identity and helpers
    QString VSerialNumber() const { return SerialNumber; }
    // Resets the states for a new read; identity and per-slot values stay.
    void InitElements();
    // 0 to 5 for "0000" to "0101"; nothing otherwise.
    static std::optional<std::int16_t> GetDecimalNumber(const QString& bits);
    // "0000" to "0101" for "0" to "5"; nothing otherwise.
    static std::optional<QString> GetBinaryNumber(const QString& number);
    // A number text with at least two decimals after DecimalSeparator: 12 -> 12.00, 12.5 -> 12.50.
    static QString FormatDecimals(const QString& text);
    static QString BoolToStr(bool value)
    {
        return value ? QStringLiteral("1") : QStringLiteral("0");
    }

    // ---- Port members
    // Opens DefaultComPort; on failure shows the two messages, logs and sets the error state.
    bool OpenPort();
    void ClosePort();
    // "ERROR " & LastErrorText in a message box with the program's title.
    void alert();

    // ---- Unit members
    void GetModuleGoodStatusByte();
    void GetMasterSlaveMode();
    void GetOutputState();
    void GetUnitSerialN();
    void GetGlobalStatusByte();
    void GetFanFailPolarity();
    void GetGlobalDCGoodPolarity();
    void GetGroupState();
    void GetOTFailPolarity();
    void GetDefaultGlobalOutputPolarity();
    void GetDefaultGlobalOutputState();
    void GetDefaultGroupState();
    void GetUnitVersion();
    void GetGlobalOutputState();
    void GetOperatingHours();
    void SetGlobalOutputState(std::int16_t unit, std::int16_t state);
    void SetGroupState(std::int16_t unit, std::int16_t state);
    void SetDefaultGlobalOutputPolarity();
    void SetDefaultGlobalOutputState();
    void SetDefaultGroupState();
    void SetFanFailPolarity();
    void SetGlobalDCGoodPolarity();
    void SetOTFailPolarity();
    void GetGroupTurnONDelay();
    // These four do nothing.
    void GetUnitID() {}
    void GetDefaultOutputVoltage() {}
    void SetNewUnitID() {}
    void SetGroupTurnONDelay() {}

    // ---- Module members: each present slot of PresentModule in turn
    void GetModuleSerialN();
    void GetCurrentLimitMode();
    void GetDefaultOutputOnOffPolarity();
    void GetDefaultOutputOnOffState();
    void GetProgrammingMode();
    void GetOutputTurnONDelay();
    void GetModuleGoodLowThreshold();
    void GetModuleGoodHighThreshold();
    void GetCurrentLimit();
    void GetCurrentLimitONTime();
    void GetCurrentLimitOFFTime();
    void GetGroupID();
    void GetModuleType();
    void GetModuleVersion();
    void GetOutputVoltageSetpoint();
    void MeasureOutputCurrent();
    void MeasureOutputVoltage();
    void SetCurrentLimit();
    void SetCurrentLimitMode();
    void SetDefaultOutputOnOffState();
    void SetDefaultOutputOnOffPolarity();
    void SetProgrammingMode();
    void SetOutputTurnONDelay();
    void SetModuleGoodHighThreshold();
    void SetModuleGoodLowThreshold();
    void SetAllOutputVoltageSetpoint();
    // Sends the set points of the slots whose module-good digit is "1".
    void SetGroupID();
    // Computes the group codes of M1Master ... M5Slave; sends nothing.
    void SetMasterSlaveMode();
    void SetOutputState(std::int16_t unit, std::int16_t module, std::int16_t state);
    // Opens the port, sends `counts` (a 16-bit number as text) to the module, closes the port.
    void SetOutputVoltageSetpoint(std::int16_t unit, std::int16_t module, const QString& counts);

    // ---- Presence and scaling: asks which slots are fitted and loads their scaling records
    void GetPresentModules();

    // ---- Whole-unit reads and the apply-all member: open the port, run their steps while every
    // earlier one succeeded, close the port. A run-time failure is a failed read.
    void ReadKivo(const QString& unit);        // the module-good status only
    void ReadKivoSetup(const QString& unit);   // the configuration read, with its progress text
    void ReadKivoMonitor(const QString& unit); // the live read of the monitor window
    void WriteKivo(const QString& unit);       // every default setting back to the unit

    // ---- Parameter file and data-log row
    // This unit's keys of ParameterFilePath, written key by key; everything else stays.
    void WriteKivoFile(const QString& unitId);
    // The same keys read back from ParameterLoadPath.
    void ReadKivoFile(const QString& unitId);
    // Appends the unit ID, serial number, flags and presence to Line, each followed by ",".
    void GetLineData();

    // ---- State of the last member (read-only)
    const QString& lastResult() const { return LastResult; }
    std::int16_t currentModule() const { return CurrentModule; }
    const QString& callUnitId() const { return CallUnitId; }
    bool linkOk() const { return LinkOk; }

private:
    enum class TextForm { A, B, C, D };
    // What follows the base of the last-error text: " " & status, " " & value, " ", or nothing.
    enum class Tail { Status, Value, Blank, None };
    struct FailureText {
        TextForm form;
        const char* name;
        Tail tail = Tail::Status;
    };

    template <class... Args> bool callOk(const char* operation, Args&&... args);
    // The failure step of the common pattern: the log line, the last-error text and the error
    // state; `module` and `value` fill the texts that name them.
    void failed(const FailureText& text, const QString& unit, int module, const QString& value = {},
                bool clearsLink = true);
    template <class Body> void forEachPresentModule(Body body);
    std::string unitArg() const;
    template <class Value>
    void getModuleValue(const char* operation, const FailureText& text, Slots<QString>& target);
    template <class Value>
    void setModuleValue(const char* operation, const FailureText& text,
                        const Slots<QString>& source);
    bool getUnitValue(const char* operation, const FailureText& text, std::int16_t& value);
    // A unit value of 1 as a flag; false when the read failed and the flag kept its value.
    bool getUnitFlag(const char* operation, const FailureText& text, bool& flag);
    void setUnitFlag(const char* operation, const FailureText& text, bool flag);
    std::int16_t voltageCounts(int slot) const;
    // `convert`(factor) for a slot whose type has a factor; "" and the log line otherwise.
    template <class Convert> QString scaled(int slot, double factor, Convert convert)
    {
        if (factor == 0) {
            namedUnscaled(slot);
            return {};
        }
        return convert(factor);
    }
    // Names the slot's missing scaling record in the error log, once per slot and read.
    void namedUnscaled(int slot);
    // The types of the present slots; the slot whose read failed, 0 when none did.
    int readModuleTypes();
    // The module types of a whole-unit read: modules that do not answer are off, as
    // GetModuleType has it, but any other failed answer is a failure of the read.
    void moduleTypesOrInhibit();
    void startRead(const QString& unit);
    template <class Body> void recover(const char* member, Body body);
    void readSetupSteps();
    void readMonitorSteps();
    void writeSteps();

    QString LastResult;
    std::int16_t CurrentModule = 0;
    QString CallUnitId;
    bool LinkOk = false;
    Slots<bool> UnscaledNamed;
};

} // namespace KivoSoft
