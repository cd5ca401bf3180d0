#include "Tambel/tests/fake_link.h"

#include "platform/automation/dispatch.h"

#include <sstream>

namespace Tambel::testing {

using namespace kivo::automation;

std::string LinkCall::str() const
{
    std::ostringstream out;
    out << name;
    if (!text.empty()) {
        out << ' ' << text;
    }
    for (int n : numbers) {
        out << ' ' << n;
    }
    return out.str();
}

namespace {

constexpr IID IID_IFakeLink = guid("{7A0C6E51-2B44-4E0D-9C3B-5F1E7D2A9B01}");

class FakeLink final : public DispatchObject {
public:
    FakeLink(std::shared_ptr<FakeLinkState> state)
        : DispatchObject(ObjectContext{}), state_(std::move(state))
    {
    }

    HRESULT OpenPort(BSTR comPort, Retval<BSTR> status)
    {
        return answer({"OpenPort", toUtf8(comPort), {}}, status);
    }

    HRESULT ClosePort(Retval<BSTR> status) { return answer({"ClosePort", {}, {}}, status); }

    HRESULT GetPresentModules(std::int16_t uid, SafeArray** moduleArray, Retval<BSTR> status)
    {
        return fillBits({"GetPresentModules", {}, {uid}}, *moduleArray, state_->presentSlots,
                        status);
    }

    HRESULT GetModuleType(std::int16_t uid, std::int16_t mid, std::int16_t* type,
                          Retval<BSTR> status)
    {
        const HRESULT hr = answer({"GetModuleType", {}, {uid, mid}}, status);
        if (hr == S_OK && isOk(status) && mid >= 1 && mid <= 5) {
            *type = state_->types[mid];
        }
        return hr;
    }

    HRESULT MeasureOutputVoltage(std::int16_t uid, std::int16_t mid, std::int16_t* value,
                                 Retval<BSTR> status)
    {
        return measure({"MeasureOutputVoltage", {}, {uid, mid}}, value, status);
    }

    HRESULT MeasureOutputCurrent(std::int16_t uid, std::int16_t mid, std::int16_t* value,
                                 Retval<BSTR> status)
    {
        return measure({"MeasureOutputCurrent", {}, {uid, mid}}, value, status);
    }

    HRESULT GetModuleGoodStatusByte(std::int16_t uid, SafeArray** moduleArray, Retval<BSTR> status)
    {
        return fillBits({"GetModuleGoodStatusByte", {}, {uid}}, *moduleArray, state_->presentSlots,
                        status);
    }

    HRESULT SetOutputState(std::int16_t uid, std::int16_t mid, bool on, Retval<BSTR> status)
    {
        return answer({"SetOutputState", {}, {uid, mid, on ? 1 : 0}}, status);
    }

    HRESULT SetOutputVoltageSetpoint(std::int16_t uid, std::int16_t mid,
                                     std::int16_t* voltageSetpoint, Retval<BSTR> status)
    {
        return answer({"SetOutputVoltageSetpoint", {}, {uid, mid, *voltageSetpoint}}, status);
    }

protected:
    ~FakeLink() override { state_->released = true; }

    const InterfaceInfo& interfaceInfo() const override
    {
        static const InterfaceInfo info(
            "IFakeLink", IID_IFakeLink,
            {
                KIVO_DISPATCH_METHOD(FakeLink, OpenPort, 1),
                KIVO_DISPATCH_METHOD(FakeLink, ClosePort, 2),
                KIVO_DISPATCH_METHOD(FakeLink, GetPresentModules, 3),
                KIVO_DISPATCH_METHOD(FakeLink, GetModuleType, 4),
                KIVO_DISPATCH_METHOD(FakeLink, MeasureOutputVoltage, 5),
                KIVO_DISPATCH_METHOD(FakeLink, MeasureOutputCurrent, 6),
                KIVO_DISPATCH_METHOD(FakeLink, GetModuleGoodStatusByte, 7),
                KIVO_DISPATCH_METHOD(FakeLink, SetOutputState, 8),
                KIVO_DISPATCH_METHOD(FakeLink, SetOutputVoltageSetpoint, 9),
            });
        return info;
    }

private:
    static bool isOk(const Retval<BSTR>& status) { return toUtf8(*status) == "CMD_OK"; }

    HRESULT answer(LinkCall call, Retval<BSTR> status)
    {
        const std::string result = state_->answer ? state_->answer(call) : "CMD_OK";
        const bool raise = call.name == state_->raiseOn;
        if (state_->trace) {
            state_->trace->push_back(call.str());
        }
        state_->calls.push_back(std::move(call));
        return raise ? E_FAIL : assignString(status.get(), result);
    }

    HRESULT measure(LinkCall call, std::int16_t* value, Retval<BSTR> status)
    {
        const HRESULT hr = answer(std::move(call), status);
        if (hr == S_OK && isOk(status)) {
            *value = 1234;
        }
        return hr;
    }

    // Element k from the array's start carries bit k-1, whatever the lower bound.
    HRESULT fillBits(LinkCall call, SafeArray* bits, std::uint8_t byte, Retval<BSTR> status)
    {
        if (!bits || bits->cDims != 1 || bits->cbElements != 2 ||
            bits->rgsabound[0].cElements < 8) {
            return E_INVALIDARG;
        }
        const HRESULT hr = answer(std::move(call), status);
        if (hr == S_OK && isOk(status)) {
            auto* data = static_cast<std::int16_t*>(bits->pvData);
            for (int k = 0; k < 8; ++k) {
                data[k] = (byte >> k) & 1;
            }
        }
        return hr;
    }

    std::shared_ptr<FakeLinkState> state_;
};

} // namespace

ComPtr<IDispatch> createFakeLink(std::shared_ptr<FakeLinkState> state)
{
    auto* link = new FakeLink(std::move(state));
    ComPtr<IDispatch> object;
    link->innerUnknown()->QueryInterface(IID_IDispatch, object.put());
    return object;
}

} // namespace Tambel::testing
