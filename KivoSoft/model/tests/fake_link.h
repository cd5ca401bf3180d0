// A scripted link object for the model's tests: the operations of KivoX that the model calls,
// with their own argument types, so the dispatch layer converts and checks the arguments as it
// does for the real library. Each call is recorded as text ("GetModuleType 3 1", setters with
// the values sent: "SetCurrentLimit 3 1 2000"); replies come from a script, failures from a
// failure table.
//
//     auto link = FakeLink::create();
//     link->reply("GetModuleType", 3, {2});            // slot 3 holds a module of type 2
//     link->fail("GetCurrentLimit", "CMD_NORESPONSE", 3);
//     KivoGlobals::DeviceLink = link.dispatch();
#pragma once

#include "platform/automation/dispatch.h"

#include <map>
#include <string>
#include <vector>

namespace KivoSoft::testing {

class FakeLink final : public kivo::automation::DispatchObject {
public:
    using HRESULT = kivo::automation::HRESULT;
    using BSTR = kivo::automation::BSTR;
    using SafeArray = kivo::automation::SafeArray;
    template <class T> using Retval = kivo::automation::Retval<T>;
    using Ptr = kivo::automation::ComPtr<FakeLink>;

    static Ptr create();
    kivo::automation::ComPtr<kivo::automation::IDispatch> dispatchOf() const;

    // ---- Script
    // The values a getter hands back, for the unit (module 0) or one module; bit arrays take the
    // byte. Without a script a getter hands back 0 ("" for a text).
    void reply(const std::string& operation, int module, std::vector<int> values);
    void reply(const std::string& operation, std::vector<int> values)
    {
        reply(operation, 0, values);
    }
    void replyText(const std::string& operation, int module, std::string text);
    // The operation answers `status` instead of "CMD_OK" (module 0: every module), `times` times
    // (-1: always), leaving its variables as they were.
    void fail(const std::string& operation, std::string status, int module = 0, int times = -1);
    // What OpenPort answers ("CMD_OK" unless set).
    void setOpenPortStatus(std::string status) { openPortStatus_ = std::move(status); }

    // ---- Record
    std::vector<std::string> calls;
    // Lower bound and element count of every array a getter filled.
    std::vector<std::pair<int, int>> arrayShapes;
    // How often OpenPort and ClosePort were called, and whether the port is open now.
    int opens = 0;
    int closes = 0;
    bool portOpen = false;
    // The last SetINIParams arguments.
    std::vector<int> iniParams;

    // ---- The operations (the names KivoX declares)
    HRESULT OpenPort(BSTR comPort, Retval<BSTR> status);
    HRESULT ClosePort(Retval<BSTR> status);
    HRESULT SetINIParams(std::int16_t readTimeout, std::int16_t retryCount);
    HRESULT GetModuleGoodStatusByte(std::int16_t uid, SafeArray** bits, Retval<BSTR> status);
    HRESULT GetOutputState(std::int16_t uid, SafeArray** bits, Retval<BSTR> status);
    HRESULT SetOutputState(std::int16_t uid, std::int16_t mid, bool on, Retval<BSTR> status);
    HRESULT GetPresentModules(std::int16_t uid, SafeArray** bits, Retval<BSTR> status);
    HRESULT GetMasterSlaveMode(std::int16_t uid, SafeArray** master, SafeArray** slave,
                               Retval<BSTR> status);
    HRESULT GetFanFailPolarity(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT SetFanFailPolarity(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT GetGlobalDCGoodPolarity(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT SetGlobalDCGoodPolarity(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT GetOTFailPolarity(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT SetOTFailPolarity(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT GetDefaultOutputVoltage(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                    Retval<BSTR> status);
    HRESULT SetDefaultOutputVoltage(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                    Retval<BSTR> status);
    HRESULT GetCurrentLimitMode(std::int16_t uid, std::int16_t mid, std::int16_t* mode,
                                std::int16_t* enableReset, Retval<BSTR> status);
    HRESULT GetDefaultOutputOnOffPolarity(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                          Retval<BSTR> status);
    HRESULT GetDefaultOutputOnOffState(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                       Retval<BSTR> status);
    HRESULT GetProgrammingMode(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                               Retval<BSTR> status);
    HRESULT SetProgrammingMode(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                               Retval<BSTR> status);
    HRESULT SetOutputTurnONDelay(std::int16_t uid, std::int16_t mid, std::int32_t* v,
                                 Retval<BSTR> status);
    HRESULT GetDefaultGlobalOutputState(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT SetDefaultGlobalOutputState(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT GetDefaultGlobalOutputPolarity(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT SetDefaultGlobalOutputPolarity(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT GetDefaultGroupState(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT SetDefaultGroupState(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT GetGroupTurnONDelay(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT GetModuleGoodLowThreshold(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                      Retval<BSTR> status);
    HRESULT SetModuleGoodLowThreshold(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                      Retval<BSTR> status);
    HRESULT GetModuleGoodHighThreshold(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                       Retval<BSTR> status);
    HRESULT SetModuleGoodHighThreshold(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                       Retval<BSTR> status);
    HRESULT GetCurrentLimit(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                            Retval<BSTR> status);
    HRESULT SetCurrentLimit(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                            Retval<BSTR> status);
    HRESULT GetGroupID(std::int16_t uid, std::int16_t mid, std::int16_t* v, Retval<BSTR> status);
    HRESULT GetModuleType(std::int16_t uid, std::int16_t mid, std::int16_t* v, Retval<BSTR> status);
    HRESULT GetModuleVersion(std::int16_t uid, std::int16_t mid, std::int16_t* major,
                             std::int16_t* minor, Retval<BSTR> status);
    HRESULT GetUnitVersion(std::int16_t uid, std::int16_t* major, std::int16_t* minor,
                           Retval<BSTR> status);
    HRESULT GetGlobalStatusByte(std::int16_t uid, SafeArray** bits, Retval<BSTR> status);
    HRESULT GetGlobalOutputState(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT SetGlobalOutputState(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT GetGroupState(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT SetGroupState(std::int16_t uid, std::int16_t* v, Retval<BSTR> status);
    HRESULT SetOutputVoltageSetpoint(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                     Retval<BSTR> status);
    HRESULT MeasureOutputCurrent(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                 Retval<BSTR> status);
    HRESULT MeasureOutputVoltage(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                 Retval<BSTR> status);
    HRESULT SetCurrentLimitMode(std::int16_t uid, std::int16_t mid, std::int16_t* mode,
                                std::int16_t* enableReset, Retval<BSTR> status);
    HRESULT SetDefaultOutputOnOffPolarity(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                          Retval<BSTR> status);
    HRESULT SetDefaultOutputOnOffState(std::int16_t uid, std::int16_t mid, std::int16_t* v,
                                       Retval<BSTR> status);
    HRESULT GetOperatingHoursString(std::int16_t uid, BSTR* hours, Retval<BSTR> status);
    HRESULT GetModuleSerialN(std::int16_t uid, std::int16_t mid, BSTR* serial, Retval<BSTR> status);
    HRESULT GetUnitSerialN(std::int16_t uid, BSTR* serial, Retval<BSTR> status);
    HRESULT GetOutputTurnONDelayExUShort(std::int16_t uid, std::int16_t mid, std::int32_t* v,
                                         Retval<BSTR> status);
    HRESULT GetCurrentLimitONTimeExUShort(std::int16_t uid, std::int16_t mid, std::int32_t* v,
                                          Retval<BSTR> status);
    HRESULT GetCurrentLimitOFFTimeExUShort(std::int16_t uid, std::int16_t mid, std::int32_t* v,
                                           Retval<BSTR> status);

protected:
    using DispatchObject::DispatchObject;
    const kivo::automation::InterfaceInfo& interfaceInfo() const override;

private:
    struct Failure {
        std::string operation;
        int module;
        std::string status;
        int times;
    };

    // Records the call and answers its status: a scripted failure, or "CMD_OK".
    std::string answer(const std::string& operation, int uid, int module,
                       const std::vector<long>& sent = {});
    std::vector<int> values(const std::string& operation, int module) const;
    void fillBits(SafeArray* bits, int byte);
    HRESULT getBits(const char* operation, int uid, SafeArray** bits, Retval<BSTR> status);
    template <class... T>
    HRESULT get(const char* operation, int uid, int module, Retval<BSTR> status, T*... outs);
    HRESULT getText(const char* operation, int uid, int module, BSTR* out, Retval<BSTR> status);
    template <class... T>
    HRESULT set(const char* operation, int uid, int module, Retval<BSTR> status, T... sent);

    std::map<std::pair<std::string, int>, std::vector<int>> values_;
    std::map<std::pair<std::string, int>, std::string> texts_;
    std::vector<Failure> failures_;
    std::string openPortStatus_ = "CMD_OK";
};

} // namespace KivoSoft::testing
