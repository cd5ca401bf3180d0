// What the grouping dialog's and the unit-ID utilities' tests share: the model's fixture program
// folder (globals reset, desktop effects recorded), the real link library registered in a
// registry of the test's own and talking to a simulated bus, the requests the bus received, and
// the names of the calls made on the link object, OpenPort and ClosePort among them.
#pragma once

#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/tests/model_fixture.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoX/testing/simulated_link.h"
#include "platform/automation/call.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace KivoSoft::testing {

using Frames = std::vector<std::string>;

// A request frame as "UID MID CID data..." in hexadecimal: "03 01 05 0F 02".
inline std::string requestText(const kivo::unitsim::Bytes& frame)
{
    std::string text;
    for (std::size_t i = 1; i + 1 < frame.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", frame[i]);
        text += (text.empty() ? "" : " ") + std::string(hex);
    }
    return text;
}

// The link object with every call's name written down before it goes on to the real one.
class TracingLink final : public kivo::automation::IDispatch {
public:
    using HRESULT = kivo::automation::HRESULT;

    static kivo::automation::ComPtr<kivo::automation::IDispatch>
    wrap(kivo::automation::ComPtr<kivo::automation::IDispatch> inner,
         std::shared_ptr<std::vector<std::string>> calls)
    {
        return kivo::automation::ComPtr<kivo::automation::IDispatch>::attach(
            new TracingLink(std::move(inner), std::move(calls)));
    }

    HRESULT QueryInterface(const kivo::automation::IID& iid, void** object) override
    {
        if (iid == kivo::automation::IID_IUnknown || iid == kivo::automation::IID_IDispatch) {
            AddRef();
            *object = static_cast<kivo::automation::IDispatch*>(this);
            return kivo::automation::S_OK;
        }
        *object = nullptr;
        return kivo::automation::E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return ++refs_; }
    std::uint32_t Release() override
    {
        const std::uint32_t left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT GetIDOfName(const char* name, kivo::automation::DISPID* id) override
    {
        const HRESULT hr = inner_->GetIDOfName(name, id);
        names_[*id] = name;
        return hr;
    }
    HRESULT Invoke(kivo::automation::DISPID id, kivo::automation::Variant* args,
                   std::uint32_t argCount, kivo::automation::Variant* result,
                   std::uint32_t* argError) override
    {
        calls_->push_back(names_[id]);
        return inner_->Invoke(id, args, argCount, result, argError);
    }

private:
    TracingLink(kivo::automation::ComPtr<kivo::automation::IDispatch> inner,
                std::shared_ptr<std::vector<std::string>> calls)
        : inner_(std::move(inner)), calls_(std::move(calls))
    {
    }
    ~TracingLink() = default;

    kivo::automation::ComPtr<kivo::automation::IDispatch> inner_;
    std::shared_ptr<std::vector<std::string>> calls_;
    std::map<kivo::automation::DISPID, std::string> names_;
    std::atomic<std::uint32_t> refs_{1};
};

class SimulatorTest : public ProgramFolderTest {
protected:
    void TearDown() override
    {
        Forms::deleteAll();
        KivoGlobals::DeviceLink.reset();
        sim.reset();
        ProgramFolderTest::TearDown();
    }

    // Serves `bus` and makes the program's link object talk to it: one attempt of one second
    // for a unit that does not answer.
    void start(kivo::unitsim::Bus bus)
    {
        sim = std::make_unique<kivox::testing::SimulatedLink>(std::move(bus));
        auto link = sim->create();
        ASSERT_TRUE(link);
        kivo::automation::call(link, "SetINIParams", std::int16_t{1}, std::int16_t{1});
        KivoGlobals::DeviceLink = TracingLink::wrap(link, linkCalls);
        KivoGlobals::DefaultComPort = QString::fromStdString(sim->port());
        KivoGlobals::ErrorLogPath = path("error.txt");
    }

    // The requests the bus received since the last call.
    Frames requests()
    {
        Frames frames;
        for (const kivo::unitsim::LogEntry& entry : sim->server().log()) {
            if (entry.direction == kivo::unitsim::LogEntry::Request) {
                frames.push_back(requestText(entry.bytes));
            }
        }
        sim->server().clearLog();
        return frames;
    }

    // The link calls made since the last call, by name.
    std::vector<std::string> calls()
    {
        std::vector<std::string> made = *linkCalls;
        linkCalls->clear();
        return made;
    }

    // Whether the port is free: a second link object opens and closes it.
    bool portFree() const
    {
        auto other = sim->create();
        const bool opened =
            kivo::automation::call(other, "OpenPort", sim->port()).status == "CMD_OK";
        kivo::automation::call(other, "ClosePort");
        return opened;
    }

    std::unique_ptr<kivox::testing::SimulatedLink> sim;
    std::shared_ptr<std::vector<std::string>> linkCalls =
        std::make_shared<std::vector<std::string>>();
};

} // namespace KivoSoft::testing
