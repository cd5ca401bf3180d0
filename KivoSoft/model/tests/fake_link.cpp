#include "KivoSoft/model/tests/fake_link.h"

#include <utility>

namespace KivoSoft::testing {

using namespace kivo::automation;

namespace {

constexpr IID IID_IFakeKivo = guid("{7A4C2E10-5B3D-4F6A-9C81-2D0E6F1A3B01}");

constexpr int kUnit = -1; // the operation addresses the whole unit: no module in its text

} // namespace

FakeLink::Ptr FakeLink::create()
{
    return Ptr::share(new FakeLink(ObjectContext{}));
}

ComPtr<IDispatch> FakeLink::dispatchOf() const
{
    return ComPtr<IDispatch>::share(const_cast<FakeLink*>(this));
}

void FakeLink::reply(const std::string& operation, int module, std::vector<int> values)
{
    values_[{operation, module}] = std::move(values);
}

void FakeLink::replyText(const std::string& operation, int module, std::string text)
{
    texts_[{operation, module}] = std::move(text);
}

void FakeLink::fail(const std::string& operation, std::string status, int module, int times)
{
    failures_.push_back({operation, module, std::move(status), times});
}

std::string FakeLink::answer(const std::string& operation, int uid, int module,
                             const std::vector<long>& sent)
{
    std::string call = operation + " " + std::to_string(uid);
    if (module != kUnit) {
        call += " " + std::to_string(module);
    }
    for (const long v : sent) {
        call += " " + std::to_string(v);
    }
    calls.push_back(call);
    for (Failure& f : failures_) {
        if (f.operation == operation && (f.module == 0 || f.module == module) && f.times != 0) {
            if (f.times > 0) {
                --f.times;
            }
            return f.status;
        }
    }
    return "CMD_OK";
}

std::vector<int> FakeLink::values(const std::string& operation, int module) const
{
    auto found = values_.find({operation, module == kUnit ? 0 : module});
    return found == values_.end() ? std::vector<int>{} : found->second;
}

template <class... T>
HRESULT FakeLink::get(const char* operation, int uid, int module, Retval<BSTR> status, T*... outs)
{
    const std::string s = answer(operation, uid, module);
    if (s == "CMD_OK") {
        const std::vector<int> v = values(operation, module);
        std::size_t i = 0;
        ((*outs = static_cast<T>(i < v.size() ? v[i] : 0), ++i), ...);
    }
    return assignString(status.get(), s);
}

template <class... T>
HRESULT FakeLink::set(const char* operation, int uid, int module, Retval<BSTR> status, T... sent)
{
    return assignString(status.get(), answer(operation, uid, module, {static_cast<long>(sent)...}));
}

HRESULT FakeLink::getText(const char* operation, int uid, int module, BSTR* out,
                          Retval<BSTR> status)
{
    const std::string s = answer(operation, uid, module);
    if (s == "CMD_OK") {
        auto found = texts_.find({operation, module == kUnit ? 0 : module});
        const HRESULT hr = assignString(out, found == texts_.end() ? "" : found->second);
        if (failed(hr)) {
            return hr;
        }
    }
    return assignString(status.get(), s);
}

void FakeLink::fillBits(SafeArray* bits, int byte)
{
    std::int32_t lb = 0;
    SafeArrayGetLBound(bits, 1, &lb);
    arrayShapes.emplace_back(lb, static_cast<int>(SafeArrayElementCount(bits)));
    void* data = nullptr;
    if (failed(SafeArrayAccessData(bits, &data))) {
        return;
    }
    // Element k from the start carries bit k-1, whatever the lower bound.
    for (std::uint64_t k = 0; k < SafeArrayElementCount(bits) && k < 8; ++k) {
        static_cast<std::int16_t*>(data)[k] = static_cast<std::int16_t>((byte >> k) & 1);
    }
    SafeArrayUnaccessData(bits);
}

HRESULT FakeLink::getBits(const char* operation, int uid, SafeArray** bits, Retval<BSTR> status)
{
    const std::string s = answer(operation, uid, kUnit);
    if (s == "CMD_OK") {
        const std::vector<int> v = values(operation, kUnit);
        fillBits(*bits, v.empty() ? 0 : v[0]);
    }
    return assignString(status.get(), s);
}

HRESULT FakeLink::OpenPort(BSTR comPort, Retval<BSTR> status)
{
    ++opens;
    calls.push_back("OpenPort " + toUtf8(comPort));
    portOpen = openPortStatus_ == "CMD_OK";
    return assignString(status.get(), openPortStatus_);
}

HRESULT FakeLink::ClosePort(Retval<BSTR> status)
{
    ++closes;
    calls.push_back("ClosePort");
    portOpen = false;
    return assignString(status.get(), "CMD_OK");
}

HRESULT FakeLink::SetINIParams(std::int16_t readTimeout, std::int16_t retryCount)
{
    iniParams = {readTimeout, retryCount};
    return S_OK;
}

HRESULT FakeLink::GetModuleGoodStatusByte(std::int16_t uid, SafeArray** bits, Retval<BSTR> status)
{
    return getBits("GetModuleGoodStatusByte", uid, bits, status);
}

HRESULT FakeLink::GetOutputState(std::int16_t uid, SafeArray** bits, Retval<BSTR> status)
{
    return getBits("GetOutputState", uid, bits, status);
}

HRESULT FakeLink::SetOutputState(std::int16_t uid, std::int16_t mid, bool on, Retval<BSTR> status)
{
    return set("SetOutputState", uid, mid, status, on ? 1 : 0);
}

HRESULT FakeLink::GetPresentModules(std::int16_t uid, SafeArray** bits, Retval<BSTR> status)
{
    return getBits("GetPresentModules", uid, bits, status);
}

HRESULT FakeLink::GetMasterSlaveMode(std::int16_t uid, SafeArray** master, SafeArray** slave,
                                     Retval<BSTR> status)
{
    // One word: the low byte carries the master bits, the high byte the slave bits.
    const std::string s = answer("GetMasterSlaveMode", uid, kUnit);
    if (s == "CMD_OK") {
        const std::vector<int> v = values("GetMasterSlaveMode", kUnit);
        const int word = v.empty() ? 0 : v[0];
        fillBits(*master, word & 0xFF);
        fillBits(*slave, (word >> 8) & 0xFF);
    }
    return assignString(status.get(), s);
}

#define KIVO_FAKE_UNIT_VALUE(Name)                                                                 \
    HRESULT FakeLink::Get##Name(std::int16_t uid, std::int16_t* v, Retval<BSTR> status)            \
    {                                                                                              \
        return get("Get" #Name, uid, kUnit, status, v);                                            \
    }                                                                                              \
    HRESULT FakeLink::Set##Name(std::int16_t uid, std::int16_t* v, Retval<BSTR> status)            \
    {                                                                                              \
        return set("Set" #Name, uid, kUnit, status, *v);                                           \
    }

KIVO_FAKE_UNIT_VALUE(FanFailPolarity)
KIVO_FAKE_UNIT_VALUE(GlobalDCGoodPolarity)
KIVO_FAKE_UNIT_VALUE(OTFailPolarity)
KIVO_FAKE_UNIT_VALUE(DefaultGlobalOutputState)
KIVO_FAKE_UNIT_VALUE(DefaultGlobalOutputPolarity)
KIVO_FAKE_UNIT_VALUE(DefaultGroupState)
KIVO_FAKE_UNIT_VALUE(GlobalOutputState)
KIVO_FAKE_UNIT_VALUE(GroupState)

#define KIVO_FAKE_MODULE_GET(Name, T)                                                              \
    HRESULT FakeLink::Name(std::int16_t uid, std::int16_t mid, T* v, Retval<BSTR> status)          \
    {                                                                                              \
        return get(#Name, uid, mid, status, v);                                                    \
    }
#define KIVO_FAKE_MODULE_SET(Name, T)                                                              \
    HRESULT FakeLink::Name(std::int16_t uid, std::int16_t mid, T* v, Retval<BSTR> status)          \
    {                                                                                              \
        return set(#Name, uid, mid, status, *v);                                                   \
    }

KIVO_FAKE_MODULE_GET(GetDefaultOutputVoltage, std::int16_t)
KIVO_FAKE_MODULE_SET(SetDefaultOutputVoltage, std::int16_t)
KIVO_FAKE_MODULE_GET(GetDefaultOutputOnOffPolarity, std::int16_t)
KIVO_FAKE_MODULE_GET(GetDefaultOutputOnOffState, std::int16_t)
KIVO_FAKE_MODULE_GET(GetProgrammingMode, std::int16_t)
KIVO_FAKE_MODULE_SET(SetProgrammingMode, std::int16_t)
KIVO_FAKE_MODULE_SET(SetOutputTurnONDelay, std::int32_t)
KIVO_FAKE_MODULE_GET(GetModuleGoodLowThreshold, std::int16_t)
KIVO_FAKE_MODULE_SET(SetModuleGoodLowThreshold, std::int16_t)
KIVO_FAKE_MODULE_GET(GetModuleGoodHighThreshold, std::int16_t)
KIVO_FAKE_MODULE_SET(SetModuleGoodHighThreshold, std::int16_t)
KIVO_FAKE_MODULE_GET(GetCurrentLimit, std::int16_t)
KIVO_FAKE_MODULE_SET(SetCurrentLimit, std::int16_t)
KIVO_FAKE_MODULE_GET(GetGroupID, std::int16_t)
KIVO_FAKE_MODULE_GET(GetModuleType, std::int16_t)
KIVO_FAKE_MODULE_SET(SetOutputVoltageSetpoint, std::int16_t)
KIVO_FAKE_MODULE_GET(MeasureOutputCurrent, std::int16_t)
KIVO_FAKE_MODULE_GET(MeasureOutputVoltage, std::int16_t)
KIVO_FAKE_MODULE_SET(SetDefaultOutputOnOffPolarity, std::int16_t)
KIVO_FAKE_MODULE_SET(SetDefaultOutputOnOffState, std::int16_t)
KIVO_FAKE_MODULE_GET(GetOutputTurnONDelayExUShort, std::int32_t)
KIVO_FAKE_MODULE_GET(GetCurrentLimitONTimeExUShort, std::int32_t)
KIVO_FAKE_MODULE_GET(GetCurrentLimitOFFTimeExUShort, std::int32_t)

HRESULT FakeLink::GetCurrentLimitMode(std::int16_t uid, std::int16_t mid, std::int16_t* mode,
                                      std::int16_t* enableReset, Retval<BSTR> status)
{
    return get("GetCurrentLimitMode", uid, mid, status, mode, enableReset);
}

HRESULT FakeLink::SetCurrentLimitMode(std::int16_t uid, std::int16_t mid, std::int16_t* mode,
                                      std::int16_t* enableReset, Retval<BSTR> status)
{
    return set("SetCurrentLimitMode", uid, mid, status, *mode, *enableReset);
}

HRESULT FakeLink::GetGroupTurnONDelay(std::int16_t uid, std::int16_t* v, Retval<BSTR> status)
{
    return get("GetGroupTurnONDelay", uid, kUnit, status, v);
}

HRESULT FakeLink::GetModuleVersion(std::int16_t uid, std::int16_t mid, std::int16_t* major,
                                   std::int16_t* minor, Retval<BSTR> status)
{
    return get("GetModuleVersion", uid, mid, status, major, minor);
}

HRESULT FakeLink::GetUnitVersion(std::int16_t uid, std::int16_t* major, std::int16_t* minor,
                                 Retval<BSTR> status)
{
    return get("GetUnitVersion", uid, kUnit, status, major, minor);
}

HRESULT FakeLink::GetGlobalStatusByte(std::int16_t uid, SafeArray** bits, Retval<BSTR> status)
{
    return getBits("GetGlobalStatusByte", uid, bits, status);
}

HRESULT FakeLink::GetOperatingHoursString(std::int16_t uid, BSTR* hours, Retval<BSTR> status)
{
    return getText("GetOperatingHoursString", uid, kUnit, hours, status);
}

HRESULT FakeLink::GetModuleSerialN(std::int16_t uid, std::int16_t mid, BSTR* serial,
                                   Retval<BSTR> status)
{
    return getText("GetModuleSerialN", uid, mid, serial, status);
}

HRESULT FakeLink::GetUnitSerialN(std::int16_t uid, BSTR* serial, Retval<BSTR> status)
{
    return getText("GetUnitSerialN", uid, kUnit, serial, status);
}

const InterfaceInfo& FakeLink::interfaceInfo() const
{
    static const InterfaceInfo info(
        "IKivo", IID_IFakeKivo,
        {
            KIVO_DISPATCH_METHOD(FakeLink, OpenPort, 1),
            KIVO_DISPATCH_METHOD(FakeLink, ClosePort, 2),
            KIVO_DISPATCH_METHOD(FakeLink, SetINIParams, 4),
            KIVO_DISPATCH_METHOD(FakeLink, GetModuleGoodStatusByte, 5),
            KIVO_DISPATCH_METHOD(FakeLink, GetOutputState, 6),
            KIVO_DISPATCH_METHOD(FakeLink, SetOutputState, 7),
            KIVO_DISPATCH_METHOD(FakeLink, GetPresentModules, 10),
            KIVO_DISPATCH_METHOD(FakeLink, GetMasterSlaveMode, 11),
            KIVO_DISPATCH_METHOD(FakeLink, GetFanFailPolarity, 14),
            KIVO_DISPATCH_METHOD(FakeLink, SetFanFailPolarity, 15),
            KIVO_DISPATCH_METHOD(FakeLink, GetGlobalDCGoodPolarity, 16),
            KIVO_DISPATCH_METHOD(FakeLink, SetGlobalDCGoodPolarity, 17),
            KIVO_DISPATCH_METHOD(FakeLink, GetOTFailPolarity, 18),
            KIVO_DISPATCH_METHOD(FakeLink, SetOTFailPolarity, 19),
            KIVO_DISPATCH_METHOD(FakeLink, GetDefaultOutputVoltage, 20),
            KIVO_DISPATCH_METHOD(FakeLink, SetDefaultOutputVoltage, 21),
            KIVO_DISPATCH_METHOD(FakeLink, GetCurrentLimitMode, 22),
            KIVO_DISPATCH_METHOD(FakeLink, GetDefaultOutputOnOffPolarity, 23),
            KIVO_DISPATCH_METHOD(FakeLink, GetDefaultOutputOnOffState, 24),
            KIVO_DISPATCH_METHOD(FakeLink, GetProgrammingMode, 25),
            KIVO_DISPATCH_METHOD(FakeLink, SetProgrammingMode, 26),
            KIVO_DISPATCH_METHOD(FakeLink, SetOutputTurnONDelay, 28),
            KIVO_DISPATCH_METHOD(FakeLink, GetDefaultGlobalOutputState, 29),
            KIVO_DISPATCH_METHOD(FakeLink, SetDefaultGlobalOutputState, 30),
            KIVO_DISPATCH_METHOD(FakeLink, GetDefaultGlobalOutputPolarity, 31),
            KIVO_DISPATCH_METHOD(FakeLink, SetDefaultGlobalOutputPolarity, 32),
            KIVO_DISPATCH_METHOD(FakeLink, GetDefaultGroupState, 33),
            KIVO_DISPATCH_METHOD(FakeLink, SetDefaultGroupState, 34),
            KIVO_DISPATCH_METHOD(FakeLink, GetGroupTurnONDelay, 35),
            KIVO_DISPATCH_METHOD(FakeLink, GetModuleGoodLowThreshold, 37),
            KIVO_DISPATCH_METHOD(FakeLink, SetModuleGoodLowThreshold, 38),
            KIVO_DISPATCH_METHOD(FakeLink, GetModuleGoodHighThreshold, 39),
            KIVO_DISPATCH_METHOD(FakeLink, SetModuleGoodHighThreshold, 40),
            KIVO_DISPATCH_METHOD(FakeLink, GetCurrentLimit, 41),
            KIVO_DISPATCH_METHOD(FakeLink, SetCurrentLimit, 42),
            KIVO_DISPATCH_METHOD(FakeLink, GetGroupID, 47),
            KIVO_DISPATCH_METHOD(FakeLink, GetModuleType, 49),
            KIVO_DISPATCH_METHOD(FakeLink, GetModuleVersion, 50),
            KIVO_DISPATCH_METHOD(FakeLink, GetUnitVersion, 51),
            KIVO_DISPATCH_METHOD(FakeLink, GetGlobalStatusByte, 52),
            KIVO_DISPATCH_METHOD(FakeLink, GetGlobalOutputState, 53),
            KIVO_DISPATCH_METHOD(FakeLink, SetGlobalOutputState, 54),
            KIVO_DISPATCH_METHOD(FakeLink, GetGroupState, 55),
            KIVO_DISPATCH_METHOD(FakeLink, SetGroupState, 56),
            KIVO_DISPATCH_METHOD(FakeLink, SetOutputVoltageSetpoint, 58),
            KIVO_DISPATCH_METHOD(FakeLink, MeasureOutputCurrent, 59),
            KIVO_DISPATCH_METHOD(FakeLink, MeasureOutputVoltage, 60),
            KIVO_DISPATCH_METHOD(FakeLink, SetCurrentLimitMode, 61),
            KIVO_DISPATCH_METHOD(FakeLink, SetDefaultOutputOnOffPolarity, 62),
            KIVO_DISPATCH_METHOD(FakeLink, SetDefaultOutputOnOffState, 63),
            KIVO_DISPATCH_METHOD(FakeLink, GetOperatingHoursString, 66),
            KIVO_DISPATCH_METHOD(FakeLink, GetModuleSerialN, 67),
            KIVO_DISPATCH_METHOD(FakeLink, GetUnitSerialN, 68),
            KIVO_DISPATCH_METHOD(FakeLink, GetOutputTurnONDelayExUShort, 69),
            KIVO_DISPATCH_METHOD(FakeLink, GetCurrentLimitONTimeExUShort, 71),
            KIVO_DISPATCH_METHOD(FakeLink, GetCurrentLimitOFFTimeExUShort, 73),
        });
    return info;
}

} // namespace KivoSoft::testing
