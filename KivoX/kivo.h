// The link object `Kivo` and its dispatch interface IKivo: 74 operations, called late bound by
// name in any letter case. Every unit operation returns a status string ("CMD_OK" or one of the
// failure strings) and reports a failure of the unit or the port only through it; an operation
// fails (a failed HRESULT) only when memory runs out or an array argument is refused.
//
// In the library the class factory creates these objects. Tests and tools of this tree may
// create one directly, with a timing of their own:
//
//     kivo::automation::ComPtr<kivo::automation::IDispatch> link = kivox::Kivo::create(timing);
//     kivo::automation::call(link, "OpenPort", path);
#pragma once

#include "KivoX/exchange.h"

#include "platform/automation/dispatch.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kivox {

using kivo::automation::BSTR;
using kivo::automation::HRESULT;
using kivo::automation::Retval;
using kivo::automation::SafeArray;
using kivo::automation::VariantBool;
using I2 = std::int16_t;
using I4 = std::int32_t;
using Status = Retval<BSTR>;

// The version text WhoAmI returns.
std::string versionText();

// The members of IKivo in interface order, with each parameter's type and direction.
const kivo::automation::InterfaceInfo& ikivoInterface();

class Kivo final : public kivo::automation::DispatchObject {
public:
    explicit Kivo(const kivo::automation::ObjectContext& context,
                  kivo::timing::Timing& timing = kivo::timing::systemTiming());

    // A new object outside any server library, holding one reference.
    static kivo::automation::ComPtr<kivo::automation::IDispatch>
    create(kivo::timing::Timing& timing = kivo::timing::systemTiming());

    // The object's state, for tests that look inside.
    Link& link() { return link_; }

    // --- Port and identity
    HRESULT OpenPort(BSTR comPort, Status status);
    HRESULT ClosePort(Status status);
    HRESULT WhoAmI(Retval<BSTR> versionInfo);
    HRESULT SetINIParams(I2 readTimeout, I2 retryCount);

    // --- Live state, switching and measurements
    HRESULT GetModuleGoodStatusByte(I2 uid, SafeArray** moduleArray, Status status);
    HRESULT GetOutputState(I2 uid, SafeArray** moduleArray, Status status);
    HRESULT SetOutputState(I2 uid, I2 MID, VariantBool on, Status status);
    HRESULT SetGroupOutputState(I2 uid, I2* groupId, VariantBool on, Status status);
    HRESULT SetGroupVoltageSetpoint(I2 uid, I2* groupId, I2* voltage, Status status);
    HRESULT GetPresentModules(I2 uid, SafeArray** moduleArray, Status status);
    HRESULT GetGlobalStatusByte(I2 uid, SafeArray** globalStatusBytesArray, Status status);
    HRESULT GetGlobalOutputState(I2 uid, I2* globalOutputState, Status status);
    HRESULT SetGlobalOutputState(I2 uid, I2* globalOutputState, Status status);
    HRESULT GetGroupState(I2 uid, I2* groupOnOffState, Status status);
    HRESULT SetGroupState(I2 uid, I2* groupOnOffState, Status status);
    HRESULT GetOutputVoltageSetpoint(I2 uid, I2 MID, I2* voltageSetpoint,
                                     SafeArray** controlInputArray, Status status);
    HRESULT SetOutputVoltageSetpoint(I2 uid, I2 MID, I2* voltageSetpoint, Status status);
    HRESULT MeasureOutputCurrent(I2 uid, I2 MID, I2* outputCurrent, Status status);
    HRESULT MeasureOutputVoltage(I2 uid, I2 MID, I2* outputVoltage, Status status);

    // --- Configuration registers
    HRESULT GetMasterSlaveMode(I2 uid, SafeArray** masterArray, SafeArray** slaveArray,
                               Status status);
    HRESULT SetMasterSlaveMode(I2 uid, SafeArray** masterArray, SafeArray** slaveArray,
                               Status status);
    HRESULT GetFanFailPolarity(I2 uid, I2* signalPolarity, Status status);
    HRESULT SetFanFailPolarity(I2 uid, I2* signalPolarity, Status status);
    HRESULT GetGlobalDCGoodPolarity(I2 uid, I2* globalDCGood, Status status);
    HRESULT SetGlobalDCGoodPolarity(I2 uid, I2* globalDCGood, Status status);
    HRESULT GetOTFailPolarity(I2 uid, I2* overTempSignal, Status status);
    HRESULT SetOTFailPolarity(I2 uid, I2* overTempSignal, Status status);
    HRESULT GetDefaultOutputVoltage(I2 uid, I2 MID, I2* volt, Status status);
    HRESULT SetDefaultOutputVoltage(I2 uid, I2 MID, I2* volt, Status status);
    HRESULT GetCurrentLimitMode(I2 uid, I2 MID, I2* currentLimitMode, I2* enableReset,
                                Status status);
    HRESULT SetCurrentLimitMode(I2 uid, I2 MID, I2* currentLimitMode, I2* enableReset,
                                Status status);
    HRESULT GetDefaultOutputOnOffPolarity(I2 uid, I2 MID, I2* polarity, Status status);
    HRESULT SetDefaultOutputOnOffPolarity(I2 uid, I2 MID, I2* polarity, Status status);
    HRESULT GetDefaultOutputOnOffState(I2 uid, I2 MID, I2* startupState, Status status);
    HRESULT SetDefaultOutputOnOffState(I2 uid, I2 MID, I2* startupState, Status status);
    HRESULT GetProgrammingMode(I2 uid, I2 MID, I2* programmingMode, Status status);
    HRESULT SetProgrammingMode(I2 uid, I2 MID, I2* programmingMode, Status status);
    HRESULT GetOutputTurnONDelay(I2 uid, I2 MID, I4* delay, Status status);
    HRESULT SetOutputTurnONDelay(I2 uid, I2 MID, I4* delay, Status status);
    HRESULT GetDefaultGlobalOutputState(I2 uid, I2* globalOnOffState, Status status);
    HRESULT SetDefaultGlobalOutputState(I2 uid, I2* globalOnOffState, Status status);
    HRESULT GetDefaultGlobalOutputPolarity(I2 uid, I2* globalOnOffPolarity, Status status);
    HRESULT SetDefaultGlobalOutputPolarity(I2 uid, I2* globalOnOffPolarity, Status status);
    HRESULT GetDefaultGroupState(I2 uid, I2* groupOnOffState, Status status);
    HRESULT SetDefaultGroupState(I2 uid, I2* groupOnOffState, Status status);
    HRESULT GetGroupTurnONDelay(I2 uid, I2* delay, Status status);
    HRESULT SetGroupTurnONDelay(I2 uid, I2* delay, Status status);
    HRESULT GetModuleGoodLowThreshold(I2 uid, I2 MID, I2* lowThreshold, Status status);
    HRESULT SetModuleGoodLowThreshold(I2 uid, I2 MID, I2* lowThreshold, Status status);
    HRESULT GetModuleGoodHighThreshold(I2 uid, I2 MID, I2* highThreshold, Status status);
    HRESULT SetModuleGoodHighThreshold(I2 uid, I2 MID, I2* highThreshold, Status status);
    HRESULT GetCurrentLimit(I2 uid, I2 MID, I2* currentLimit, Status status);
    HRESULT SetCurrentLimit(I2 uid, I2 MID, I2* currentLimit, Status status);
    HRESULT GetCurrentLimitONTime(I2 uid, I2 MID, I2* onTime, Status status);
    HRESULT SetCurrentLimitONTime(I2 uid, I2 MID, I2* onTime, Status status);
    HRESULT GetCurrentLimitOFFTime(I2 uid, I2 MID, I2* offTime, Status status);
    HRESULT SetCurrentLimitOFFTime(I2 uid, I2 MID, I2* offTime, Status status);
    HRESULT GetGroupID(I2 uid, I2 MID, I2* groupId, Status status);
    HRESULT SetGroupID(I2 uid, I2 MID, I2* groupId, Status status);
    HRESULT GetOutputTurnONDelayExUShort(I2 uid, I2 MID, I4* delay, Status status);
    HRESULT SetOutputTurnONDelayExUShort(I2 uid, I2 MID, I4* delay, Status status);
    HRESULT GetCurrentLimitONTimeExUShort(I2 uid, I2 MID, I4* onTime, Status status);
    HRESULT SetCurrentLimitONTimeExUShort(I2 uid, I2 MID, I4* onTime, Status status);
    HRESULT GetCurrentLimitOFFTimeExUShort(I2 uid, I2 MID, I4* offTime, Status status);
    HRESULT SetCurrentLimitOFFTimeExUShort(I2 uid, I2 MID, I4* offTime, Status status);

    // --- Identity, versions and counters
    HRESULT GetUnitID(I2 uid, I2* unitId, Status status);
    HRESULT SetNewUnitID(I2 uid, I2* unitId, Status status);
    HRESULT GetModuleType(I2 uid, I2 MID, I2* moduleType, Status status);
    HRESULT GetModuleVersion(I2 uid, I2 MID, I2* majorVersion, I2* minorVersion, Status status);
    HRESULT GetUnitVersion(I2 uid, I2* majorVersion, I2* minorVersion, Status status);
    HRESULT GetOperatingHours(I2 uid, BSTR* operatingHours, Status status);
    HRESULT GetOperatingHoursString(I2 uid, BSTR* operatingHours, Status status);
    HRESULT GetModuleSerialN(I2 uid, I2 MID, BSTR* serialNumber, Status status);
    HRESULT GetUnitSerialN(I2 uid, BSTR* serialNumber, Status status);

protected:
    const kivo::automation::InterfaceInfo& interfaceInfo() const override;

private:
    // What a passed transaction does with the reply: convert it into the caller's arguments.
    // A failed HRESULT (a refused array) makes the operation fail with it.
    using OnReply = std::function<HRESULT(const Message& reply)>;

    // The common shape of a unit operation: one transaction, then the conversion and "CMD_OK",
    // or the last failure text with the caller's arguments as they were.
    HRESULT transact(Status status, const Message& request, std::size_t replyLength,
                     const OnReply& onReply = {});
    // Reads one byte register (or state byte) and hands its value to `use`.
    HRESULT readByte(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg,
                     const std::function<void(std::uint8_t)>& use);
    // Reads one word register into a caller's variable: as it came into a 16-bit one (so that
    // from 0x8000 up it reads as negative), widened into a 32-bit one.
    enum class Widen { SignExtend, ZeroExtend };
    HRESULT readWord(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg, I2* target);
    HRESULT readWord(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg, I4* target,
                     Widen widen = Widen::SignExtend);
    HRESULT writeByte(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg,
                      std::uint8_t value);
    HRESULT writeWord(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg,
                      std::uint16_t value);
    HRESULT getBit(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg, int bit, I2* value);
    // The write a read-modify-write sends for the byte as read; nothing when it already matches.
    using Change = std::function<std::optional<Message>(std::uint8_t current)>;
    // Reads one byte with one transaction and writes what `change` makes of it with a second.
    HRESULT readModifyWrite(Status status, const Message& read, const Change& change);
    // Read-modify-write of one bit of a byte register: no write when it already matches.
    HRESULT setBit(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg, int bit, I2 value);
    // The same for a state byte with its own read and write commands.
    HRESULT setStateBit(Status status, I2 uid, std::uint8_t readCid, std::uint8_t writeCid, int bit,
                        I2 value);
    // Reads `count` byte registers from `first` upwards, each its own transaction; the text goes
    // to `target` only when every one passed.
    HRESULT readText(Status status, I2 uid, std::uint8_t mid, std::uint8_t first, int count,
                     BSTR* target, std::string (*format)(const std::uint8_t* values));
    // One transaction whose reply byte fills a module bit array.
    HRESULT readBits(Status status, const Message& request, SafeArray** array);
    HRESULT finish(Status status, bool passed);

    Link link_;
};

} // namespace kivox
