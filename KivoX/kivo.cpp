#include "KivoX/kivo.h"

#include "KivoX/identity.h"
#include "KivoX/transport.h"

#include "platform/automation/bstr.h"

#include <initializer_list>

namespace kivox {

using namespace kivo::automation;

namespace {

constexpr IID IID_IKivo = guid(KIVOX_IID_IKIVO);

// Replies: no data 5 bytes, one byte 6, one word 7, a word and a byte 8.
constexpr std::size_t kReplyNone = 5;
constexpr std::size_t kReplyByte = 6;
constexpr std::size_t kReplyWord = 7;
constexpr std::size_t kReplyWordByte = 8;

constexpr std::uint8_t lowByte(std::int32_t value)
{
    return static_cast<std::uint8_t>(value & 0xFF);
}

// A zeroed request record: the unit and module as their low bytes, the command and its data.
Message request(I2 uid, std::uint8_t mid, std::uint8_t cid,
                std::initializer_list<std::uint8_t> data = {})
{
    return makeMessage(lowByte(uid), mid, cid, data);
}

Message wordRequest(I2 uid, std::uint8_t mid, std::uint8_t cid, std::uint8_t first,
                    std::uint16_t word)
{
    const auto [low, high] = splitWord(word);
    return request(uid, mid, cid, {first, low, high});
}

I2 bitOf(std::uint8_t byte, int bit)
{
    return (byte >> bit) & 1;
}

// Stores a reply's first word in a caller's 16-bit variable as it came, so that from 0x8000 up it
// reads as negative.
auto storeWord(I2* target)
{
    return [target](const Message& reply) {
        *target = static_cast<I2>(joinWord(reply.data[0], reply.data[1]));
        return S_OK;
    };
}

// The byte with `bit` inverted, or nothing when that bit, as 0 or 1, already equals the caller's
// value. A value other than 0 and 1 never equals it, so it always inverts.
std::optional<std::uint8_t> flipUnlessEqual(std::uint8_t current, int bit, I2 value)
{
    if (bitOf(current, bit) == value) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(current ^ (1 << bit));
}

constexpr const char kHexDigits[] = "0123456789ABCDEF";

// Two characters a byte, its low four bits first: 0x3A gives "A3".
std::string serialText(const std::uint8_t* values)
{
    std::string text;
    for (int i = 0; i < 5; ++i) {
        text += kHexDigits[values[i] & 0x0F];
        text += kHexDigits[values[i] >> 4];
    }
    return text;
}

// One digit a register, most significant first. Only 0 to 15 make a digit; anything above shows
// as "?" rather than as a digit it is not.
std::string hoursDigits(const std::uint8_t* values)
{
    std::string text;
    for (int i = 0; i < 3; ++i) {
        text += values[i] < 16 ? kHexDigits[values[i]] : '?';
    }
    return text;
}

std::string hoursNumber(const std::uint8_t* values)
{
    return std::to_string(values[0] * 65536L + values[1] * 256L + values[2]);
}

} // namespace

std::string versionText()
{
    return std::string("Kivo ActiveX DLL ") + "Unicode " + "Release " +
           "Version 2.01, Compiled on Feb 04 2004";
}

Kivo::Kivo(const ObjectContext& context, kivo::timing::Timing& timing)
    : DispatchObject(context), link_(timing)
{
}

ComPtr<IDispatch> Kivo::create(kivo::timing::Timing& timing)
{
    auto* object = new Kivo(ObjectContext{}, timing);
    ComPtr<IDispatch> link;
    object->innerUnknown()->QueryInterface(IID_IDispatch, link.put());
    return link;
}

// --- The shapes every operation is built from ---------------------------------------------------

HRESULT Kivo::finish(Status status, bool passed)
{
    return assignString(status.get(), passed ? kCmdOk : link_.statusText.c_str());
}

HRESULT Kivo::transact(Status status, const Message& req, std::size_t replyLength,
                       const OnReply& onReply)
{
    if (failed(assignString(status.get(), link_.statusText))) {
        return E_OUTOFMEMORY;
    }
    Message reply;
    if (!link_.transactMessage(req, reply, replyLength)) {
        return finish(status, false);
    }
    if (onReply) {
        if (const HRESULT hr = onReply(reply); failed(hr)) {
            finish(status, false);
            return hr;
        }
    }
    return finish(status, true);
}

HRESULT Kivo::readByte(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg,
                       const std::function<void(std::uint8_t)>& use)
{
    return transact(status, request(uid, mid, cid::kReadByte, {reg}), kReplyByte,
                    [&use](const Message& reply) {
                        use(reply.data[0]);
                        return S_OK;
                    });
}

HRESULT Kivo::readWord(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg, I2* target)
{
    return transact(status, request(uid, mid, cid::kReadWord, {reg}), kReplyWord,
                    storeWord(target));
}

HRESULT Kivo::readWord(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg, I4* target,
                       Widen widen)
{
    return transact(status, request(uid, mid, cid::kReadWord, {reg}), kReplyWord,
                    [target, widen](const Message& reply) {
                        const std::uint16_t word = joinWord(reply.data[0], reply.data[1]);
                        *target = widen == Widen::ZeroExtend ? I4{word} : I4{static_cast<I2>(word)};
                        return S_OK;
                    });
}

HRESULT Kivo::writeByte(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg,
                        std::uint8_t value)
{
    return transact(status, request(uid, mid, cid::kWriteByte, {reg, value}), kReplyNone);
}

HRESULT Kivo::writeWord(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg,
                        std::uint16_t value)
{
    return transact(status, wordRequest(uid, mid, cid::kWriteWord, reg, value), kReplyNone);
}

HRESULT Kivo::getBit(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg, int bit, I2* value)
{
    return readByte(status, uid, mid, reg, [=](std::uint8_t byte) { *value = bitOf(byte, bit); });
}

HRESULT Kivo::readModifyWrite(Status status, const Message& read, const Change& change)
{
    if (failed(assignString(status.get(), link_.statusText))) {
        return E_OUTOFMEMORY;
    }
    Message reply;
    if (!link_.transactMessage(read, reply, kReplyByte)) {
        return finish(status, false);
    }
    const std::optional<Message> write = change(reply.data[0]);
    if (!write) {
        return finish(status, true);
    }
    reply = Message{};
    return finish(status, link_.transactMessage(*write, reply, kReplyNone));
}

HRESULT Kivo::setBit(Status status, I2 uid, std::uint8_t mid, std::uint8_t reg, int bit, I2 value)
{
    return readModifyWrite(status, request(uid, mid, cid::kReadByte, {reg}),
                           [=](std::uint8_t current) -> std::optional<Message> {
                               if (const auto changed = flipUnlessEqual(current, bit, value)) {
                                   return request(uid, mid, cid::kWriteByte, {reg, *changed});
                               }
                               return std::nullopt;
                           });
}

HRESULT Kivo::setStateBit(Status status, I2 uid, std::uint8_t readCid, std::uint8_t writeCid,
                          int bit, I2 value)
{
    return readModifyWrite(status, request(uid, kMidUnit, readCid),
                           [=](std::uint8_t current) -> std::optional<Message> {
                               if (const auto changed = flipUnlessEqual(current, bit, value)) {
                                   return request(uid, kMidUnit, writeCid, {*changed});
                               }
                               return std::nullopt;
                           });
}

HRESULT Kivo::readText(Status status, I2 uid, std::uint8_t mid, std::uint8_t first, int count,
                       BSTR* target, std::string (*format)(const std::uint8_t* values))
{
    if (failed(assignString(status.get(), link_.statusText))) {
        return E_OUTOFMEMORY;
    }
    std::uint8_t values[5] = {};
    for (int i = 0; i < count; ++i) {
        Message reply;
        const auto reg = static_cast<std::uint8_t>(first + i);
        if (!link_.transactMessage(request(uid, mid, cid::kReadByte, {reg}), reply, kReplyByte)) {
            return finish(status, false);
        }
        values[i] = reply.data[0];
    }
    if (failed(assignString(target, format(values)))) {
        return E_OUTOFMEMORY;
    }
    return finish(status, true);
}

HRESULT Kivo::readBits(Status status, const Message& req, SafeArray** array)
{
    return transact(status, req, kReplyByte,
                    [array](const Message& reply) { return bitsToArray(*array, reply.data[0]); });
}

// --- Port and identity ---------------------------------------------------------------------------

HRESULT Kivo::OpenPort(BSTR comPort, Status status)
{
    if (failed(assignString(status.get(), link_.statusText))) {
        return E_OUTOFMEMORY;
    }
    // A handle still held would keep its port busy until the process ends: let it go first.
    link_.portHandle.reset();
    link_.portHandle = openPort(comPort ? toUtf8(comPort) : std::string());
    return finish(status, setPortSettings(link_.portHandle.get()) == 0);
}

HRESULT Kivo::ClosePort(Status status)
{
    link_.portHandle.reset();
    return assignString(status.get(), kCmdOk);
}

HRESULT Kivo::WhoAmI(Retval<BSTR> versionInfo)
{
    return assignString(versionInfo.get(), versionText());
}

HRESULT Kivo::SetINIParams(I2 readTimeout, I2 retryCount)
{
    // Seconds to milliseconds. A negative time-out would wrap to weeks of waiting for a unit that
    // never answers; it counts as no wait instead.
    link_.readTimeout = readTimeout > 0 ? static_cast<std::uint32_t>(readTimeout) * 1000u : 0u;
    link_.retryCount = retryCount;
    return S_OK;
}

// --- Live state, switching and measurements ------------------------------------------------------

HRESULT Kivo::GetModuleGoodStatusByte(I2 uid, SafeArray** moduleArray, Status status)
{
    return readBits(status, request(uid, kMidUnit, cid::kModuleGood), moduleArray);
}

HRESULT Kivo::GetOutputState(I2 uid, SafeArray** moduleArray, Status status)
{
    return readBits(status, request(uid, kMidUnit, cid::kOutputStates), moduleArray);
}

HRESULT Kivo::SetOutputState(I2 uid, I2 MID, VariantBool on, Status status)
{
    const std::uint8_t state = isTrue(on) ? kStateOn : kStateOff;
    return transact(status, request(uid, lowByte(MID), cid::kSwitchOutput, {state}), kReplyNone);
}

HRESULT Kivo::SetGroupOutputState(I2 uid, I2* groupId, VariantBool on, Status status)
{
    const std::uint8_t state = isTrue(on) ? kStateOn : kStateOff;
    return transact(status, request(uid, kMidGroup, cid::kSwitchOutput, {lowByte(*groupId), state}),
                    kReplyNone);
}

HRESULT Kivo::SetGroupVoltageSetpoint(I2 uid, I2* groupId, I2* voltage, Status status)
{
    return transact(status,
                    wordRequest(uid, kMidGroup, cid::kSetSetPoint, lowByte(*groupId),
                                static_cast<std::uint16_t>(*voltage)),
                    kReplyNone);
}

HRESULT Kivo::GetPresentModules(I2 uid, SafeArray** moduleArray, Status status)
{
    return readBits(status, request(uid, kMidUnit, cid::kReadByte, {unitreg::kPresentModules}),
                    moduleArray);
}

HRESULT Kivo::GetGlobalStatusByte(I2 uid, SafeArray** globalStatusBytesArray, Status status)
{
    return readBits(status, request(uid, kMidUnit, cid::kGlobalStatus), globalStatusBytesArray);
}

HRESULT Kivo::GetGlobalOutputState(I2 uid, I2* globalOutputState, Status status)
{
    return transact(status, request(uid, kMidUnit, cid::kGlobalOutput), kReplyByte,
                    [=](const Message& reply) {
                        *globalOutputState = bitOf(reply.data[0], 1);
                        return S_OK;
                    });
}

HRESULT Kivo::SetGlobalOutputState(I2 uid, I2* globalOutputState, Status status)
{
    return setStateBit(status, uid, cid::kGlobalOutput, cid::kSetGlobalOutput, 1,
                       *globalOutputState);
}

HRESULT Kivo::GetGroupState(I2 uid, I2* groupOnOffState, Status status)
{
    return transact(status, request(uid, kMidUnit, cid::kGroupState), kReplyByte,
                    [=](const Message& reply) {
                        *groupOnOffState = bitOf(reply.data[0], 2);
                        return S_OK;
                    });
}

HRESULT Kivo::SetGroupState(I2 uid, I2* groupOnOffState, Status status)
{
    return setStateBit(status, uid, cid::kGroupState, cid::kSetGroupState, 2, *groupOnOffState);
}

HRESULT Kivo::GetOutputVoltageSetpoint(I2 uid, I2 MID, I2* voltageSetpoint,
                                       SafeArray** controlInputArray, Status status)
{
    *voltageSetpoint = 0;
    return transact(status, request(uid, lowByte(MID), cid::kSetPointInputs), kReplyWordByte,
                    [=](const Message& reply) {
                        *voltageSetpoint = static_cast<I2>(joinWord(reply.data[0], reply.data[1]));
                        return bitsToArray(*controlInputArray, reply.data[2]);
                    });
}

HRESULT Kivo::SetOutputVoltageSetpoint(I2 uid, I2 MID, I2* voltageSetpoint, Status status)
{
    const auto [low, high] = splitWord(static_cast<std::uint16_t>(*voltageSetpoint));
    return transact(status, request(uid, lowByte(MID), cid::kSetSetPoint, {low, high}), kReplyNone);
}

HRESULT Kivo::MeasureOutputCurrent(I2 uid, I2 MID, I2* outputCurrent, Status status)
{
    return transact(status, request(uid, lowByte(MID), cid::kMeasureCurrent), kReplyWord,
                    storeWord(outputCurrent));
}

HRESULT Kivo::MeasureOutputVoltage(I2 uid, I2 MID, I2* outputVoltage, Status status)
{
    return transact(status, request(uid, lowByte(MID), cid::kMeasureVoltage), kReplyWord,
                    storeWord(outputVoltage));
}

// --- Configuration registers ---------------------------------------------------------------------

HRESULT Kivo::GetMasterSlaveMode(I2 uid, SafeArray** masterArray, SafeArray** slaveArray,
                                 Status status)
{
    return transact(status, request(uid, kMidUnit, cid::kReadWord, {unitreg::kMasterSlave}),
                    kReplyWord, [=](const Message& reply) {
                        const HRESULT hr = bitsToArray(*masterArray, reply.data[0]);
                        return failed(hr) ? hr : bitsToArray(*slaveArray, reply.data[1]);
                    });
}

HRESULT Kivo::SetMasterSlaveMode(I2 uid, SafeArray** masterArray, SafeArray** slaveArray,
                                 Status status)
{
    if (failed(assignString(status.get(), link_.statusText))) {
        return E_OUTOFMEMORY;
    }
    std::uint8_t master = 0;
    std::uint8_t slave = 0;
    HRESULT hr = arrayToBits(*masterArray, master);
    if (succeeded(hr)) {
        hr = arrayToBits(*slaveArray, slave);
    }
    if (failed(hr)) {
        return hr;
    }
    return writeWord(status, uid, kMidUnit, unitreg::kMasterSlave, joinWord(master, slave));
}

HRESULT Kivo::GetFanFailPolarity(I2 uid, I2* signalPolarity, Status status)
{
    return getBit(status, uid, kMidUnit, unitreg::kSignalPolarity, 0, signalPolarity);
}

HRESULT Kivo::SetFanFailPolarity(I2 uid, I2* signalPolarity, Status status)
{
    return setBit(status, uid, kMidUnit, unitreg::kSignalPolarity, 0, *signalPolarity);
}

HRESULT Kivo::GetGlobalDCGoodPolarity(I2 uid, I2* globalDCGood, Status status)
{
    return getBit(status, uid, kMidUnit, unitreg::kSignalPolarity, 1, globalDCGood);
}

HRESULT Kivo::SetGlobalDCGoodPolarity(I2 uid, I2* globalDCGood, Status status)
{
    return setBit(status, uid, kMidUnit, unitreg::kSignalPolarity, 1, *globalDCGood);
}

HRESULT Kivo::GetOTFailPolarity(I2 uid, I2* overTempSignal, Status status)
{
    return getBit(status, uid, kMidUnit, unitreg::kSignalPolarity, 3, overTempSignal);
}

HRESULT Kivo::SetOTFailPolarity(I2 uid, I2* overTempSignal, Status status)
{
    return setBit(status, uid, kMidUnit, unitreg::kSignalPolarity, 3, *overTempSignal);
}

HRESULT Kivo::GetDefaultOutputVoltage(I2 uid, I2 MID, I2* volt, Status status)
{
    return readWord(status, uid, lowByte(MID), modreg::kDefaultVoltage, volt);
}

HRESULT Kivo::SetDefaultOutputVoltage(I2 uid, I2 MID, I2* volt, Status status)
{
    return writeWord(status, uid, lowByte(MID), modreg::kDefaultVoltage,
                     static_cast<std::uint16_t>(*volt));
}

HRESULT Kivo::GetCurrentLimitMode(I2 uid, I2 MID, I2* currentLimitMode, I2* enableReset,
                                  Status status)
{
    return readByte(status, uid, lowByte(MID), modreg::kFlags, [=](std::uint8_t flags) {
        *currentLimitMode = flags & 0x03;
        *enableReset = bitOf(flags, 2);
    });
}

HRESULT Kivo::SetCurrentLimitMode(I2 uid, I2 MID, I2* currentLimitMode, I2* enableReset,
                                  Status status)
{
    const std::uint8_t mid = lowByte(MID);
    const I2 mode = *currentLimitMode;
    const I2 reset = *enableReset;
    return readModifyWrite(status, request(uid, mid, cid::kReadByte, {modreg::kFlags}),
                           [=](std::uint8_t flags) -> std::optional<Message> {
                               if ((flags & 0x03) == mode && bitOf(flags, 2) == reset) {
                                   return std::nullopt;
                               }
                               // Only the mode's two bits and the reset bit change; a value out of
                               // range must not reach the programming mode or the start-up bits
                               // above them.
                               const auto changed = static_cast<std::uint8_t>(
                                   (flags & 0xF8) | (lowByte(mode) & 0x03) |
                                   ((lowByte(reset) & 0x01) << 2));
                               return request(uid, mid, cid::kWriteByte, {modreg::kFlags, changed});
                           });
}

HRESULT Kivo::GetDefaultOutputOnOffPolarity(I2 uid, I2 MID, I2* polarity, Status status)
{
    return getBit(status, uid, lowByte(MID), modreg::kFlags, 4, polarity);
}

HRESULT Kivo::SetDefaultOutputOnOffPolarity(I2 uid, I2 MID, I2* polarity, Status status)
{
    return setBit(status, uid, lowByte(MID), modreg::kFlags, 4, *polarity);
}

HRESULT Kivo::GetDefaultOutputOnOffState(I2 uid, I2 MID, I2* startupState, Status status)
{
    return getBit(status, uid, lowByte(MID), modreg::kFlags, 5, startupState);
}

HRESULT Kivo::SetDefaultOutputOnOffState(I2 uid, I2 MID, I2* startupState, Status status)
{
    return setBit(status, uid, lowByte(MID), modreg::kFlags, 5, *startupState);
}

HRESULT Kivo::GetProgrammingMode(I2 uid, I2 MID, I2* programmingMode, Status status)
{
    return getBit(status, uid, lowByte(MID), modreg::kFlags, 3, programmingMode);
}

HRESULT Kivo::SetProgrammingMode(I2 uid, I2 MID, I2* programmingMode, Status status)
{
    return setBit(status, uid, lowByte(MID), modreg::kFlags, 3, *programmingMode);
}

HRESULT Kivo::GetOutputTurnONDelay(I2 uid, I2 MID, I4* delay, Status status)
{
    return readWord(status, uid, lowByte(MID), modreg::kTurnOnDelay, delay);
}

HRESULT Kivo::SetOutputTurnONDelay(I2 uid, I2 MID, I4* delay, Status status)
{
    return writeWord(status, uid, lowByte(MID), modreg::kTurnOnDelay,
                     static_cast<std::uint16_t>(*delay));
}

HRESULT Kivo::GetDefaultGlobalOutputState(I2 uid, I2* globalOnOffState, Status status)
{
    return getBit(status, uid, kMidUnit, unitreg::kDefaults, 1, globalOnOffState);
}

HRESULT Kivo::SetDefaultGlobalOutputState(I2 uid, I2* globalOnOffState, Status status)
{
    return setBit(status, uid, kMidUnit, unitreg::kDefaults, 1, *globalOnOffState);
}

HRESULT Kivo::GetDefaultGlobalOutputPolarity(I2 uid, I2* globalOnOffPolarity, Status status)
{
    return getBit(status, uid, kMidUnit, unitreg::kDefaults, 0, globalOnOffPolarity);
}

HRESULT Kivo::SetDefaultGlobalOutputPolarity(I2 uid, I2* globalOnOffPolarity, Status status)
{
    return setBit(status, uid, kMidUnit, unitreg::kDefaults, 0, *globalOnOffPolarity);
}

HRESULT Kivo::GetDefaultGroupState(I2 uid, I2* groupOnOffState, Status status)
{
    return getBit(status, uid, kMidUnit, unitreg::kDefaults, 2, groupOnOffState);
}

HRESULT Kivo::SetDefaultGroupState(I2 uid, I2* groupOnOffState, Status status)
{
    return setBit(status, uid, kMidUnit, unitreg::kDefaults, 2, *groupOnOffState);
}

HRESULT Kivo::GetGroupTurnONDelay(I2 uid, I2* delay, Status status)
{
    return readWord(status, uid, kMidUnit, unitreg::kGroupTurnOnDelay, delay);
}

HRESULT Kivo::SetGroupTurnONDelay(I2 uid, I2* delay, Status status)
{
    return writeWord(status, uid, kMidUnit, unitreg::kGroupTurnOnDelay,
                     static_cast<std::uint16_t>(*delay));
}

HRESULT Kivo::GetModuleGoodLowThreshold(I2 uid, I2 MID, I2* lowThreshold, Status status)
{
    return readWord(status, uid, lowByte(MID), modreg::kGoodLow, lowThreshold);
}

HRESULT Kivo::SetModuleGoodLowThreshold(I2 uid, I2 MID, I2* lowThreshold, Status status)
{
    return writeWord(status, uid, lowByte(MID), modreg::kGoodLow,
                     static_cast<std::uint16_t>(*lowThreshold));
}

HRESULT Kivo::GetModuleGoodHighThreshold(I2 uid, I2 MID, I2* highThreshold, Status status)
{
    return readWord(status, uid, lowByte(MID), modreg::kGoodHigh, highThreshold);
}

HRESULT Kivo::SetModuleGoodHighThreshold(I2 uid, I2 MID, I2* highThreshold, Status status)
{
    return writeWord(status, uid, lowByte(MID), modreg::kGoodHigh,
                     static_cast<std::uint16_t>(*highThreshold));
}

HRESULT Kivo::GetCurrentLimit(I2 uid, I2 MID, I2* currentLimit, Status status)
{
    *currentLimit = 0;
    return readWord(status, uid, lowByte(MID), modreg::kCurrentLimit, currentLimit);
}

HRESULT Kivo::SetCurrentLimit(I2 uid, I2 MID, I2* currentLimit, Status status)
{
    return writeWord(status, uid, lowByte(MID), modreg::kCurrentLimit,
                     static_cast<std::uint16_t>(*currentLimit));
}

HRESULT Kivo::GetCurrentLimitONTime(I2 uid, I2 MID, I2* onTime, Status status)
{
    return readWord(status, uid, lowByte(MID), modreg::kLimitOnTime, onTime);
}

HRESULT Kivo::SetCurrentLimitONTime(I2 uid, I2 MID, I2* onTime, Status status)
{
    return writeWord(status, uid, lowByte(MID), modreg::kLimitOnTime,
                     static_cast<std::uint16_t>(*onTime));
}

HRESULT Kivo::GetCurrentLimitOFFTime(I2 uid, I2 MID, I2* offTime, Status status)
{
    return readWord(status, uid, lowByte(MID), modreg::kLimitOffTime, offTime);
}

HRESULT Kivo::SetCurrentLimitOFFTime(I2 uid, I2 MID, I2* offTime, Status status)
{
    return writeWord(status, uid, lowByte(MID), modreg::kLimitOffTime,
                     static_cast<std::uint16_t>(*offTime));
}

HRESULT Kivo::GetGroupID(I2 uid, I2 MID, I2* groupId, Status status)
{
    return readByte(status, uid, lowByte(MID), modreg::kGroupId,
                    [=](std::uint8_t byte) { *groupId = byte & 0x03; });
}

HRESULT Kivo::SetGroupID(I2 uid, I2 MID, I2* groupId, Status status)
{
    return writeByte(status, uid, lowByte(MID), modreg::kGroupId, lowByte(*groupId));
}

HRESULT Kivo::GetOutputTurnONDelayExUShort(I2 uid, I2 MID, I4* delay, Status status)
{
    return readWord(status, uid, lowByte(MID), modreg::kTurnOnDelay, delay, Widen::ZeroExtend);
}

HRESULT Kivo::SetOutputTurnONDelayExUShort(I2 uid, I2 MID, I4* delay, Status status)
{
    return SetOutputTurnONDelay(uid, MID, delay, status);
}

HRESULT Kivo::GetCurrentLimitONTimeExUShort(I2 uid, I2 MID, I4* onTime, Status status)
{
    return readWord(status, uid, lowByte(MID), modreg::kLimitOnTime, onTime, Widen::ZeroExtend);
}

HRESULT Kivo::SetCurrentLimitONTimeExUShort(I2 uid, I2 MID, I4* onTime, Status status)
{
    return writeWord(status, uid, lowByte(MID), modreg::kLimitOnTime,
                     static_cast<std::uint16_t>(*onTime));
}

HRESULT Kivo::GetCurrentLimitOFFTimeExUShort(I2 uid, I2 MID, I4* offTime, Status status)
{
    return readWord(status, uid, lowByte(MID), modreg::kLimitOffTime, offTime, Widen::ZeroExtend);
}

HRESULT Kivo::SetCurrentLimitOFFTimeExUShort(I2 uid, I2 MID, I4* offTime, Status status)
{
    return writeWord(status, uid, lowByte(MID), modreg::kLimitOffTime,
                     static_cast<std::uint16_t>(*offTime));
}

// --- Identity, versions and counters -------------------------------------------------------------

HRESULT Kivo::GetUnitID(I2 uid, I2* unitId, Status status)
{
    return readByte(status, uid, kMidUnit, unitreg::kUnitId,
                    [=](std::uint8_t byte) { *unitId = byte; });
}

HRESULT Kivo::SetNewUnitID(I2 uid, I2* unitId, Status status)
{
    return writeByte(status, uid, kMidUnit, unitreg::kUnitId, lowByte(*unitId));
}

HRESULT Kivo::GetModuleType(I2 uid, I2 MID, I2* moduleType, Status status)
{
    return readByte(status, uid, lowByte(MID), modreg::kType,
                    [=](std::uint8_t byte) { *moduleType = byte; });
}

HRESULT Kivo::GetModuleVersion(I2 uid, I2 MID, I2* majorVersion, I2* minorVersion, Status status)
{
    return readByte(status, uid, lowByte(MID), modreg::kVersion, [=](std::uint8_t byte) {
        *majorVersion = byte >> 5;
        *minorVersion = byte & 0x1F;
    });
}

HRESULT Kivo::GetUnitVersion(I2 uid, I2* majorVersion, I2* minorVersion, Status status)
{
    return readByte(status, uid, kMidUnit, unitreg::kVersion, [=](std::uint8_t byte) {
        *majorVersion = byte >> 5;
        *minorVersion = byte & 0x1F;
    });
}

HRESULT Kivo::GetOperatingHours(I2 uid, BSTR* operatingHours, Status status)
{
    return readText(status, uid, kMidUnit, unitreg::kOperatingHours, 3, operatingHours,
                    hoursDigits);
}

HRESULT Kivo::GetOperatingHoursString(I2 uid, BSTR* operatingHours, Status status)
{
    return readText(status, uid, kMidUnit, unitreg::kOperatingHours, 3, operatingHours,
                    hoursNumber);
}

HRESULT Kivo::GetModuleSerialN(I2 uid, I2 MID, BSTR* serialNumber, Status status)
{
    return readText(status, uid, lowByte(MID), modreg::kSerial, 5, serialNumber, serialText);
}

HRESULT Kivo::GetUnitSerialN(I2 uid, BSTR* serialNumber, Status status)
{
    return readText(status, uid, kMidUnit, unitreg::kSerial, 5, serialNumber, serialText);
}

// --- The interface -------------------------------------------------------------------------------

const InterfaceInfo& Kivo::interfaceInfo() const
{
    return ikivoInterface();
}

#define KIVO_OP(Name, id) KIVO_DISPATCH_METHOD(Kivo, Name, id)

const InterfaceInfo& ikivoInterface()
{
    static const InterfaceInfo info("IKivo", IID_IKivo,
                                    {
                                        KIVO_OP(OpenPort, 1),
                                        KIVO_OP(ClosePort, 2),
                                        KIVO_OP(WhoAmI, 3),
                                        KIVO_OP(SetINIParams, 4),
                                        KIVO_OP(GetModuleGoodStatusByte, 5),
                                        KIVO_OP(GetOutputState, 6),
                                        KIVO_OP(SetOutputState, 7),
                                        KIVO_OP(SetGroupOutputState, 8),
                                        KIVO_OP(SetGroupVoltageSetpoint, 9),
                                        KIVO_OP(GetPresentModules, 10),
                                        KIVO_OP(GetMasterSlaveMode, 11),
                                        KIVO_OP(SetMasterSlaveMode, 12),
                                        KIVO_OP(GetUnitID, 13),
                                        KIVO_OP(GetFanFailPolarity, 14),
                                        KIVO_OP(SetFanFailPolarity, 15),
                                        KIVO_OP(GetGlobalDCGoodPolarity, 16),
                                        KIVO_OP(SetGlobalDCGoodPolarity, 17),
                                        KIVO_OP(GetOTFailPolarity, 18),
                                        KIVO_OP(SetOTFailPolarity, 19),
                                        KIVO_OP(GetDefaultOutputVoltage, 20),
                                        KIVO_OP(SetDefaultOutputVoltage, 21),
                                        KIVO_OP(GetCurrentLimitMode, 22),
                                        KIVO_OP(GetDefaultOutputOnOffPolarity, 23),
                                        KIVO_OP(GetDefaultOutputOnOffState, 24),
                                        KIVO_OP(GetProgrammingMode, 25),
                                        KIVO_OP(SetProgrammingMode, 26),
                                        KIVO_OP(GetOutputTurnONDelay, 27),
                                        KIVO_OP(SetOutputTurnONDelay, 28),
                                        KIVO_OP(GetDefaultGlobalOutputState, 29),
                                        KIVO_OP(SetDefaultGlobalOutputState, 30),
                                        KIVO_OP(GetDefaultGlobalOutputPolarity, 31),
                                        KIVO_OP(SetDefaultGlobalOutputPolarity, 32),
                                        KIVO_OP(GetDefaultGroupState, 33),
                                        KIVO_OP(SetDefaultGroupState, 34),
                                        KIVO_OP(GetGroupTurnONDelay, 35),
                                        KIVO_OP(SetGroupTurnONDelay, 36),
                                        KIVO_OP(GetModuleGoodLowThreshold, 37),
                                        KIVO_OP(SetModuleGoodLowThreshold, 38),
                                        KIVO_OP(GetModuleGoodHighThreshold, 39),
                                        KIVO_OP(SetModuleGoodHighThreshold, 40),
                                        KIVO_OP(GetCurrentLimit, 41),
                                        KIVO_OP(SetCurrentLimit, 42),
                                        KIVO_OP(GetCurrentLimitONTime, 43),
                                        KIVO_OP(SetCurrentLimitONTime, 44),
                                        KIVO_OP(GetCurrentLimitOFFTime, 45),
                                        KIVO_OP(SetCurrentLimitOFFTime, 46),
                                        KIVO_OP(GetGroupID, 47),
                                        KIVO_OP(SetGroupID, 48),
                                        KIVO_OP(GetModuleType, 49),
                                        KIVO_OP(GetModuleVersion, 50),
                                        KIVO_OP(GetUnitVersion, 51),
                                        KIVO_OP(GetGlobalStatusByte, 52),
                                        KIVO_OP(GetGlobalOutputState, 53),
                                        KIVO_OP(SetGlobalOutputState, 54),
                                        KIVO_OP(GetGroupState, 55),
                                        KIVO_OP(SetGroupState, 56),
                                        KIVO_OP(GetOutputVoltageSetpoint, 57),
                                        KIVO_OP(SetOutputVoltageSetpoint, 58),
                                        KIVO_OP(MeasureOutputCurrent, 59),
                                        KIVO_OP(MeasureOutputVoltage, 60),
                                        KIVO_OP(SetCurrentLimitMode, 61),
                                        KIVO_OP(SetDefaultOutputOnOffPolarity, 62),
                                        KIVO_OP(SetDefaultOutputOnOffState, 63),
                                        KIVO_OP(SetNewUnitID, 64),
                                        KIVO_OP(GetOperatingHours, 65),
                                        KIVO_OP(GetOperatingHoursString, 66),
                                        KIVO_OP(GetModuleSerialN, 67),
                                        KIVO_OP(GetUnitSerialN, 68),
                                        KIVO_OP(GetOutputTurnONDelayExUShort, 69),
                                        KIVO_OP(SetOutputTurnONDelayExUShort, 70),
                                        KIVO_OP(GetCurrentLimitONTimeExUShort, 71),
                                        KIVO_OP(SetCurrentLimitONTimeExUShort, 72),
                                        KIVO_OP(GetCurrentLimitOFFTimeExUShort, 73),
                                        KIVO_OP(SetCurrentLimitOFFTimeExUShort, 74),
                                    });
    return info;
}

} // namespace kivox
