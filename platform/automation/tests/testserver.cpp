// A small in-process server for the tests, built twice: variant 1 ("KivoTest.Echo", aggregatable,
// with a type library) and variant 2 ("KivoTest.Other", refuses aggregation). Its members have
// the shapes the link library uses: 16-bit in and in-out, 32-bit, boolean, string and array
// arguments, and a status string as result.
#include "platform/automation/server.h"

#include "platform/automation/tests/testserver_ids.h"

#include <string>

using namespace kivo::automation;

namespace {

#if TESTSERVER_VARIANT == 1
#define PROGID TEST_ECHO_PROGID
#define CLSID_TEXT TEST_ECHO_CLSID
#define SERVER_NAME "Echo"
constexpr Aggregation kAggregation = Aggregation::Allowed;
#else
#define PROGID TEST_OTHER_PROGID
#define CLSID_TEXT TEST_OTHER_CLSID
#define SERVER_NAME "Other"
constexpr Aggregation kAggregation = Aggregation::Refused;
#endif

constexpr IID IID_ITestEcho = guid("{5C0F7E2A-63B1-4D8E-9A41-0B7D2C11E001}");

class Echo final : public DispatchObject {
public:
    using DispatchObject::DispatchObject;

    HRESULT Add(std::int16_t a, std::int16_t b, std::int16_t* sum, Retval<BSTR> status)
    {
        *sum = static_cast<std::int16_t>(a + b);
        return assignString(status.get(), "CMD_OK");
    }

    HRESULT Twice(std::int32_t value, std::int32_t* twice, Retval<BSTR> status)
    {
        *twice = value * 2;
        return assignString(status.get(), "CMD_OK");
    }

    HRESULT Invert(bool on, VariantBool* inverted, Retval<BSTR> status)
    {
        *inverted = toVariantBool(!on);
        return assignString(status.get(), "CMD_OK");
    }

    // The status tells a null name from an empty one.
    HRESULT Greet(BSTR name, BSTR* greeting, Retval<BSTR> status)
    {
        const HRESULT hr = assignString(greeting, "Hello, " + toUtf8(name));
        if (failed(hr)) {
            return hr;
        }
        return assignString(status.get(), !name ? "NULL" : SysStringLen(name) ? "CMD_OK" : "EMPTY");
    }

    // Element k from the start of the array carries bit k-1 of `byte`, whatever the lower bound.
    HRESULT FillBits(std::int16_t byte, SafeArray** bits, Retval<BSTR> status)
    {
        SafeArray* a = *bits;
        if (!isBitArray(a)) {
            assignString(status.get(), "CMD_ERROR");
            return E_FAIL;
        }
        void* data = nullptr;
        HRESULT hr = SafeArrayAccessData(a, &data);
        if (failed(hr)) {
            return hr;
        }
        for (int k = 0; k < 8; ++k) {
            static_cast<std::int16_t*>(data)[k] = (byte >> k) & 1;
        }
        hr = SafeArrayUnaccessData(a);
        return failed(hr) ? hr : assignString(status.get(), "CMD_OK");
    }

    HRESULT ReadBits(SafeArray* bits, std::int16_t* byte, Retval<BSTR> status)
    {
        if (!isBitArray(bits)) {
            assignString(status.get(), "CMD_ERROR");
            return E_FAIL;
        }
        std::int16_t value = 0;
        const auto* data = static_cast<const std::int16_t*>(bits->pvData);
        for (int k = 0; k < 8; ++k) {
            value = static_cast<std::int16_t>(value | ((data[k] & 1) << k));
        }
        *byte = value;
        return assignString(status.get(), "CMD_OK");
    }

    // No result: only the in-out argument changes.
    HRESULT Count(std::int16_t* counter)
    {
        ++*counter;
        return S_OK;
    }

    HRESULT WhoAmI(Retval<BSTR> version) { return assignString(version.get(), SERVER_NAME); }

protected:
    const InterfaceInfo& interfaceInfo() const override
    {
        static const InterfaceInfo info("ITestEcho", IID_ITestEcho,
                                        {
                                            KIVO_DISPATCH_METHOD(Echo, Add, 1),
                                            KIVO_DISPATCH_METHOD(Echo, Twice, 2),
                                            KIVO_DISPATCH_METHOD(Echo, Invert, 3),
                                            KIVO_DISPATCH_METHOD(Echo, Greet, 4),
                                            KIVO_DISPATCH_METHOD(Echo, FillBits, 5),
                                            KIVO_DISPATCH_METHOD(Echo, ReadBits, 6),
                                            KIVO_DISPATCH_METHOD(Echo, Count, 7),
                                            KIVO_DISPATCH_METHOD(Echo, WhoAmI, 8),
                                        });
        return info;
    }

private:
    static bool isBitArray(const SafeArray* a)
    {
        return a && a->cDims == 1 && a->cbElements == 2 && a->rgsabound[0].cElements >= 8;
    }
};

constexpr const char* kScript = "HKCR\n"
                                "{\n"
                                "    " PROGID ".1 = s '" SERVER_NAME " Class'\n"
                                "    {\n"
                                "        CLSID = s '" CLSID_TEXT "'\n"
                                "    }\n"
                                "    " PROGID " = s '" SERVER_NAME " Class'\n"
                                "    {\n"
                                "        CLSID = s '" CLSID_TEXT "'\n"
                                "        CurVer = s '" PROGID ".1'\n"
                                "    }\n"
                                "    NoRemove CLSID\n"
                                "    {\n"
                                "        ForceRemove " CLSID_TEXT " = s '" SERVER_NAME " Class'\n"
                                "        {\n"
                                "            ProgID = s '" PROGID ".1'\n"
                                "            VersionIndependentProgID = s '" PROGID "'\n"
                                "            ForceRemove 'Programmable'\n"
                                "            InprocServer32 = s '%MODULE%'\n"
                                "            {\n"
                                "                val ThreadingModel = s 'Apartment'\n"
                                "            }\n"
#if TESTSERVER_VARIANT == 1
                                "            'TypeLib' = s '" TEST_ECHO_LIBID "'\n"
#endif
                                "        }\n"
                                "    }\n"
                                "}\n";

#if TESTSERVER_VARIANT == 1
const TypeLibInfo kTypeLib{guid(TEST_ECHO_LIBID), 1, 0, "Echo 1.0 Type Library"};
const TypeLibInfo* const kTypeLibPtr = &kTypeLib;
#else
const TypeLibInfo* const kTypeLibPtr = nullptr;
#endif

ServerModule module({creatable<Echo>(guid(CLSID_TEXT), kAggregation)}, kScript, kTypeLibPtr);

} // namespace

KIVO_AUTOMATION_SERVER_EXPORTS(module)
