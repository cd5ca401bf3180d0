// A stand-in for the link library in the start-up tests: a server library registered under the
// link's ProgID whose object takes SetINIParams and tells what it was given.
#include "platform/automation/server.h"

#include <string>

using namespace kivo::automation;

namespace {

constexpr IID IID_IStartupStub = guid("{3E1D5A40-7C2B-4B19-8E6F-41A2C0D9B701}");
#define STUB_CLSID "{3E1D5A40-7C2B-4B19-8E6F-41A2C0D9B702}"

class Stub final : public DispatchObject {
public:
    using DispatchObject::DispatchObject;

    HRESULT SetINIParams(std::int16_t readTimeout, std::int16_t retryCount)
    {
        received_ = std::to_string(readTimeout) + " " + std::to_string(retryCount);
        return S_OK;
    }

    // "readTimeout retryCount" as SetINIParams received them; "" before any call.
    HRESULT Received(Retval<BSTR> text) { return assignString(text.get(), received_); }

protected:
    const InterfaceInfo& interfaceInfo() const override
    {
        static const InterfaceInfo info("IKivo", IID_IStartupStub,
                                        {
                                            KIVO_DISPATCH_METHOD(Stub, SetINIParams, 4),
                                            KIVO_DISPATCH_METHOD(Stub, Received, 100),
                                        });
        return info;
    }

private:
    std::string received_;
};

constexpr const char* kScript = "HKCR\n"
                                "{\n"
                                "    KivoX.Kivo.1 = s 'Kivo Class'\n"
                                "    {\n"
                                "        CLSID = s '" STUB_CLSID "'\n"
                                "    }\n"
                                "    NoRemove CLSID\n"
                                "    {\n"
                                "        ForceRemove " STUB_CLSID " = s 'Kivo Class'\n"
                                "        {\n"
                                "            InprocServer32 = s '%MODULE%'\n"
                                "        }\n"
                                "    }\n"
                                "}\n";

ServerModule module({creatable<Stub>(guid(STUB_CLSID))}, kScript);

} // namespace

KIVO_AUTOMATION_SERVER_EXPORTS(module)
