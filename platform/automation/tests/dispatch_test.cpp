// End to end through the registry file: the test servers are registered, created by ProgID and
// called by name, as the programs do with the link library.
#include "platform/automation/activation.h"
#include "platform/automation/call.h"
#include "platform/automation/registry.h"
#include "platform/automation/tests/test_support.h"
#include "platform/automation/tests/testserver_ids.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>

#include <dlfcn.h>

using namespace kivo::automation;
using kivo::automation::testing::TempRegistry;
using kivo::automation::testing::writeText;

namespace {

const CLSID kEcho = guid(TEST_ECHO_CLSID);
const CLSID kOther = guid(TEST_OTHER_CLSID);

std::string fullPath(const char* path)
{
    char full[PATH_MAX];
    return ::realpath(path, full) ? full : path;
}

// Asks the dynamic linker without loading anything.
bool isLoaded(const char* library)
{
    void* handle = ::dlopen(library, RTLD_NOW | RTLD_NOLOAD);
    if (handle) {
        ::dlclose(handle);
    }
    return handle != nullptr;
}

HRESULT canUnloadNow(const char* library)
{
    void* handle = ::dlopen(library, RTLD_NOW | RTLD_NOLOAD);
    if (!handle) {
        ADD_FAILURE() << library << " is not loaded";
        return E_FAIL;
    }
    const auto f = reinterpret_cast<DllCanUnloadNowFunction>(::dlsym(handle, "DllCanUnloadNow"));
    const HRESULT hr = f ? f() : E_FAIL;
    ::dlclose(handle);
    return hr;
}

void registerServer(const char* library, bool unregister = false)
{
    std::string message;
    ASSERT_EQ(registerServerLibrary(library, unregister, &message), S_OK) << message;
}

void editRegistry(const std::function<void(Registry&)>& edit)
{
    std::string message;
    ASSERT_EQ(RegistryFile().update(
                  [&](Registry& r, std::string*) {
                      edit(r);
                      return S_OK;
                  },
                  &message),
              S_OK)
        << message;
}

class Automation : public ::testing::Test {
protected:
    void SetUp() override { registerServer(TEST_SERVER_ECHO); }
    void TearDown() override
    {
        link.reset();
        freeUnusedLibraries();
    }

    ComPtr<IDispatch> create(const char* progId)
    {
        HRESULT hr = S_OK;
        std::string message;
        ComPtr<IDispatch> object = createObject(progId, &hr, &message);
        EXPECT_EQ(hr, S_OK) << message;
        EXPECT_TRUE(object) << progId;
        return object;
    }

    TempRegistry registry;
    ComPtr<IDispatch> link;
};

} // namespace

TEST_F(Automation, CreatesByProgIdInAnyCaseAndByTheVersionIndependentOne)
{
    for (const char* progId : {"KivoTest.Echo.1", "kivotest.ECHO.1", "KivoTest.Echo"}) {
        SCOPED_TRACE(progId);
        link = create(progId);
        ASSERT_TRUE(link);
        EXPECT_EQ(call(link, "WhoAmI").status, "Echo");
    }
    // A ProgID that names only its current version is followed there.
    editRegistry(
        [](Registry& r) { r.setValue("HKCR\\KivoTest.Latest\\CurVer", "", "KivoTest.Echo.1"); });
    link = create("KivoTest.Latest");
    ASSERT_TRUE(link);
    EXPECT_EQ(call(link, "WhoAmI").status, "Echo");
}

TEST_F(Automation, RegistrationWritesTheServersEntries)
{
    Registry r;
    std::string message;
    ASSERT_EQ(RegistryFile().read(r, &message), S_OK) << message;
    const std::string cls = std::string("HKCR\\CLSID\\") + TEST_ECHO_CLSID;
    EXPECT_EQ(r.value("HKCR\\KivoTest.Echo.1\\CLSID"), TEST_ECHO_CLSID);
    EXPECT_EQ(r.value("HKCR\\KivoTest.Echo\\CurVer"), "KivoTest.Echo.1");
    EXPECT_EQ(r.value(cls + "\\InprocServer32"), fullPath(TEST_SERVER_ECHO));
    EXPECT_EQ(r.value(cls + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(r.value(cls + "\\ProgID"), "KivoTest.Echo.1");
    EXPECT_TRUE(r.keyExists(cls + "\\Programmable"));
    EXPECT_EQ(r.value(std::string("HKCR\\TypeLib\\") + TEST_ECHO_LIBID + "\\1.0\\0\\linux"),
              fullPath(TEST_SERVER_ECHO));
}

TEST_F(Automation, CallsMembersByNameInAnyLetterCase)
{
    link = create("KivoTest.Echo.1");
    for (const char* name : {"Add", "add", "ADD", "aDd"}) {
        std::int16_t sum = 0;
        const CallResult r = call(link, name, std::int16_t(2), std::int16_t(3), byRef(sum));
        EXPECT_EQ(r.hr, S_OK) << name << ": " << r.error;
        EXPECT_EQ(r.status, "CMD_OK");
        EXPECT_EQ(sum, 5);
    }
}

TEST_F(Automation, ByReferenceArgumentsOfEachTypeComeBackUpdated)
{
    link = create("KivoTest.Echo.1");
    std::int16_t sum = 0;
    EXPECT_EQ(call(link, "Add", -40, 2, byRef(sum)).status, "CMD_OK");
    EXPECT_EQ(sum, -38);

    int twice = 0;
    EXPECT_EQ(call(link, "Twice", 40000, byRef(twice)).status, "CMD_OK");
    EXPECT_EQ(twice, 80000);

    bool inverted = false;
    EXPECT_EQ(call(link, "Invert", false, byRef(inverted)).status, "CMD_OK");
    EXPECT_TRUE(inverted);
    EXPECT_EQ(call(link, "Invert", true, byRef(inverted)).status, "CMD_OK");
    EXPECT_FALSE(inverted);

    std::string greeting = "replaced";
    EXPECT_EQ(call(link, "Greet", "W\xC3\xB6rld", byRef(greeting)).status, "CMD_OK");
    EXPECT_EQ(greeting, "Hello, W\xC3\xB6rld");

    Int16Array bits(1, 8);
    EXPECT_EQ(call(link, "FillBits", std::int16_t(0x81), byRef(bits)).status, "CMD_OK");
    EXPECT_EQ(bits.values(), (std::vector<std::int16_t>{1, 0, 0, 0, 0, 0, 0, 1}));
}

TEST_F(Automation, NullAndEmptyStringsStayDistinct)
{
    link = create("KivoTest.Echo.1");
    std::string greeting;
    EXPECT_EQ(call(link, "Greet", static_cast<const char*>(nullptr), byRef(greeting)).status,
              "NULL");
    EXPECT_EQ(call(link, "Greet", "", byRef(greeting)).status, "EMPTY");
    EXPECT_EQ(call(link, "Greet", std::string("x"), byRef(greeting)).status, "CMD_OK");
}

TEST_F(Automation, ArraysCountFromTheirStartWhateverTheLowerBound)
{
    link = create("KivoTest.Echo.1");
    const std::int16_t pattern = 0xA5; // bits 0, 2, 5 and 7
    for (const std::int32_t lowerBound : {1, 0, -3}) {
        SCOPED_TRACE(lowerBound);
        Int16Array bits(lowerBound, 10);
        bits[lowerBound + 9] = 42; // beyond the eight status bits: left alone
        ASSERT_EQ(call(link, "FillBits", pattern, byRef(bits)).status, "CMD_OK");
        for (int k = 1; k <= 8; ++k) {
            EXPECT_EQ(bits[lowerBound + k - 1], (pattern >> (k - 1)) & 1) << "element " << k;
        }
        EXPECT_EQ(bits[lowerBound + 9], 42);
        // Read back from an array passed by value.
        std::int16_t byte = 0;
        ASSERT_EQ(call(link, "ReadBits", bits, byRef(byte)).status, "CMD_OK");
        EXPECT_EQ(byte, pattern);
    }
}

TEST_F(Automation, AMalformedArrayFailsTheCallAndStillGivesTheStatus)
{
    link = create("KivoTest.Echo.1");
    Int16Array seven(1, 7);
    CallResult r = call(link, "FillBits", std::int16_t(1), byRef(seven));
    EXPECT_EQ(r.hr, E_FAIL);
    EXPECT_EQ(r.status, "CMD_ERROR");
    EXPECT_EQ(seven.values(), std::vector<std::int16_t>(7, 0));

    const SafeArrayBound bounds[2] = {{8, 1}, {2, 1}};
    SafeArray* grid = SafeArrayCreate(VT_I2, 2, bounds);
    Variant args[2] = {Variant::i2(1), Variant::ref(&grid)};
    r = invokeByName(link.get(), "FillBits", args, 2);
    EXPECT_EQ(r.hr, E_FAIL);
    SafeArrayDestroy(grid);
}

TEST_F(Automation, ByValueArgumentsAreConvertedToTheDeclaredType)
{
    link = create("KivoTest.Echo.1");
    const struct {
        const char* what;
        std::function<Variant()> first;
        HRESULT hr;
        std::int16_t sum; // first + 10
    } table[] = {
        {"text 3", [] { return Variant::string(bstrFromUtf8("3")); }, S_OK, 13},
        {"text 3.5", [] { return Variant::string(bstrFromUtf8("3.5")); }, S_OK, 14},
        {"text 2.5", [] { return Variant::string(bstrFromUtf8("2.5")); }, S_OK, 12},
        {"double 2.5", [] { return Variant::r8(2.5); }, S_OK, 12},
        {"true", [] { return Variant::boolean(true); }, S_OK, 9},
        {"N/A", [] { return Variant::string(bstrFromUtf8("N/A")); }, DISP_E_TYPEMISMATCH, 0},
        {"empty text", [] { return Variant::string(bstrFromUtf8("")); }, DISP_E_TYPEMISMATCH, 0},
        {"40000", [] { return Variant::i4(40000); }, DISP_E_OVERFLOW, 0},
        {"text 40000", [] { return Variant::string(bstrFromUtf8("40000")); }, DISP_E_OVERFLOW, 0},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        std::int16_t sum = 0;
        Variant args[3] = {row.first(), Variant::i2(10), Variant::ref(&sum)};
        const CallResult r = invokeByName(link.get(), "Add", args, 3);
        ASSERT_EQ(r.hr, row.hr) << r.error;
        EXPECT_EQ(sum, row.sum);
        if (failed(row.hr)) {
            EXPECT_NE(r.error.find("Add: argument 1: "), std::string::npos) << r.error;
            EXPECT_EQ(r.status, "");
        }
    }
    // Any non-zero number is true for a boolean; a 32-bit parameter takes what 16 bits cannot.
    bool inverted = true;
    EXPECT_EQ(call(link, "Invert", 5, byRef(inverted)).hr, S_OK);
    EXPECT_FALSE(inverted);
    EXPECT_EQ(call(link, "Invert", 0, byRef(inverted)).hr, S_OK);
    EXPECT_TRUE(inverted);
    int twice = 0;
    EXPECT_EQ(call(link, "Twice", "40000", byRef(twice)).hr, S_OK);
    EXPECT_EQ(twice, 80000);
}

TEST_F(Automation, AByReferenceArgumentMustHaveTheDeclaredType)
{
    link = create("KivoTest.Echo.1");
    int wide = 7;
    CallResult r = call(link, "Add", 1, 2, byRef(wide));
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_NE(r.error.find("argument 3"), std::string::npos) << r.error;
    EXPECT_EQ(wide, 7);

    std::int16_t narrow = 7;
    EXPECT_EQ(call(link, "Twice", 1, byRef(narrow)).hr, DISP_E_TYPEMISMATCH);
    std::string text = "1";
    EXPECT_EQ(call(link, "FillBits", 1, byRef(text)).hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(call(link, "Invert", true, byRef(narrow)).hr, DISP_E_TYPEMISMATCH);

    // By value, an in-out parameter works on a converted copy.
    r = call(link, "Add", 1, 2, "7");
    EXPECT_EQ(r.hr, S_OK) << r.error;
    EXPECT_EQ(r.status, "CMD_OK");
}

TEST_F(Automation, UnknownNamesAndWrongArgumentCountsAreRefused)
{
    link = create("KivoTest.Echo.1");
    std::int16_t sum = 0;
    CallResult r = call(link, "NoSuchMember", 1);
    EXPECT_EQ(r.hr, DISP_E_UNKNOWNNAME);
    EXPECT_NE(r.error.find("NoSuchMember"), std::string::npos);
    EXPECT_EQ(call(link, "Add", 1, byRef(sum)).hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(link, "Add", 1, 2, byRef(sum), 4).hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(link, "WhoAmI", 1).hr, DISP_E_BADPARAMCOUNT);

    DISPID id = 0;
    EXPECT_EQ(link->GetIDOfName("Add ", &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    EXPECT_EQ(link->Invoke(999, nullptr, 0, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
}

TEST_F(Automation, AMemberWithoutResultGivesAnEmptyStatus)
{
    link = create("KivoTest.Echo.1");
    std::int16_t counter = 41;
    const CallResult r = call(link, "count", byRef(counter));
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.status, "");
    EXPECT_EQ(counter, 42);
}

TEST_F(Automation, TheObjectGoesAtItsLastReleaseAndTheLibraryOnlyAfter)
{
    link = create("KivoTest.Echo.1");
    ASSERT_TRUE(isLoaded(TEST_SERVER_ECHO));
    EXPECT_EQ(canUnloadNow(TEST_SERVER_ECHO), S_FALSE);
    EXPECT_EQ(link->AddRef(), 2u);
    EXPECT_EQ(link->Release(), 1u);
    ComPtr<IUnknown> identity;
    ASSERT_EQ(link.as(identity), S_OK);
    ComPtr<IDispatch> again;
    ASSERT_EQ(identity.as(again), S_OK);
    EXPECT_EQ(again.get(), link.get());
    again.reset();
    identity.reset();

    freeUnusedLibraries();
    EXPECT_TRUE(isLoaded(TEST_SERVER_ECHO)) << "unloaded under a live object";
    EXPECT_EQ(link.detach()->Release(), 0u);
    EXPECT_EQ(canUnloadNow(TEST_SERVER_ECHO), S_OK);
    EXPECT_TRUE(isLoaded(TEST_SERVER_ECHO)) << "unloaded before it was asked";
    freeUnusedLibraries();
    EXPECT_FALSE(isLoaded(TEST_SERVER_ECHO));

    // It loads again for the next object.
    link = create("KivoTest.Echo.1");
    EXPECT_EQ(call(link, "WhoAmI").status, "Echo");
}

TEST_F(Automation, ALockedServerStaysLoadedWithoutObjects)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(kEcho, IID_IClassFactory, factory.put()), S_OK);
    EXPECT_EQ(factory->LockServer(true), S_OK);
    factory.reset();
    EXPECT_EQ(canUnloadNow(TEST_SERVER_ECHO), S_FALSE);
    freeUnusedLibraries();
    ASSERT_TRUE(isLoaded(TEST_SERVER_ECHO));

    ASSERT_EQ(getClassObject(kEcho, IID_IClassFactory, factory.put()), S_OK);
    EXPECT_EQ(factory->LockServer(false), S_OK);
    EXPECT_EQ(canUnloadNow(TEST_SERVER_ECHO), S_FALSE) << "the factory itself still lives";
    factory.reset();
    EXPECT_EQ(canUnloadNow(TEST_SERVER_ECHO), S_OK);
}

namespace {

// An outer object that aggregates one inner object and passes it every interface but IUnknown.
class Outer final : public IUnknown {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        if (iid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(iid, object) : E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return ++refs; }
    std::uint32_t Release() override { return --refs; }

    IUnknown* inner = nullptr;
    std::uint32_t refs = 1;
};

} // namespace

TEST_F(Automation, AggregationIsHonouredWhereTheFactoryAllowsIt)
{
    Outer outer;
    std::string message;
    ASSERT_EQ(createInstance(kEcho, &outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner),
                             &message),
              S_OK)
        << message;
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(outer.QueryInterface(IID_IDispatch, dispatch.put()), S_OK);
    // The inner object's interfaces count their references on the outer object ...
    EXPECT_EQ(outer.refs, 2u);
    // ... and answer IUnknown with the outer object's identity.
    ComPtr<IUnknown> identity;
    ASSERT_EQ(dispatch.as(identity), S_OK);
    EXPECT_EQ(identity.get(), &outer);
    identity.reset();
    std::int16_t sum = 0;
    EXPECT_EQ(call(dispatch, "Add", 1, 1, byRef(sum)).status, "CMD_OK");
    EXPECT_EQ(sum, 2);
    dispatch.reset();
    EXPECT_EQ(outer.refs, 1u);

    EXPECT_EQ(canUnloadNow(TEST_SERVER_ECHO), S_FALSE);
    EXPECT_EQ(outer.inner->Release(), 0u);
    EXPECT_EQ(canUnloadNow(TEST_SERVER_ECHO), S_OK);

    // Inside an aggregate only the inner IUnknown may be asked for.
    void* object = nullptr;
    EXPECT_EQ(createInstance(kEcho, &outer, IID_IDispatch, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
}

TEST_F(Automation, AggregationIsRefusedWhereTheFactorySaysSo)
{
    registerServer(TEST_SERVER_OTHER);
    Outer outer;
    void* object = nullptr;
    std::string message;
    EXPECT_EQ(createInstance(kOther, &outer, IID_IUnknown, &object, &message),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_NE(message.find("class factory"), std::string::npos) << message;
    EXPECT_EQ(outer.refs, 1u);
    // Alone it is created as usual.
    link = create("KivoTest.Other.1");
    EXPECT_EQ(call(link, "WhoAmI").status, "Other");
}

TEST_F(Automation, UnregisteringEndsActivationAndKeepsTheClsidKeyAndOtherServers)
{
    registerServer(TEST_SERVER_OTHER);
    registerServer(TEST_SERVER_ECHO, true);

    HRESULT hr = S_OK;
    std::string message;
    EXPECT_FALSE(createObject("KivoTest.Echo.1", &hr, &message));
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    EXPECT_NE(message.find("KivoTest.Echo.1"), std::string::npos) << message;
    EXPECT_EQ(createInstance(kEcho, nullptr, IID_IDispatch, link.put()), REGDB_E_CLASSNOTREG);

    Registry r;
    ASSERT_EQ(RegistryFile().read(r, &message), S_OK) << message;
    EXPECT_TRUE(r.keyExists("HKCR\\CLSID"));
    EXPECT_FALSE(r.keyExists("HKCR\\KivoTest.Echo"));
    EXPECT_FALSE(r.keyExists(std::string("HKCR\\CLSID\\") + TEST_ECHO_CLSID));
    EXPECT_FALSE(r.keyExists(std::string("HKCR\\TypeLib\\") + TEST_ECHO_LIBID));
    EXPECT_TRUE(r.keyExists(std::string("HKCR\\CLSID\\") + TEST_OTHER_CLSID));
    link = create("KivoTest.Other");
    EXPECT_TRUE(link);
}

TEST_F(Automation, EachActivationFailureHasItsOwnCodeAndMessage)
{
    const std::string text = (registry.dir() / "not-a-library.so").string();
    writeText(text, "just text\n");
    // Each case registers its ProgID (unless `registered` is false), the CLSID text under it when
    // given, and the class's library when given.
    const struct {
        const char* what;
        const char* progId;
        bool registered;
        const char* clsid;
        std::string library;
        HRESULT hr;
        const char* says;
    } cases[] = {
        {"unknown ProgID", "KivoTest.Nothing.1", false, nullptr, "", REGDB_E_CLASSNOTREG,
         "not registered"},
        {"ProgID without class", "Bare.1", true, nullptr, "", REGDB_E_CLASSNOTREG,
         "without a CLSID"},
        {"malformed CLSID", "Bad.1", true, "{nope}", "", REGDB_E_CLASSNOTREG, "malformed CLSID"},
        {"class without library", "NoLib.1", true, "{00000000-0000-0000-0000-0000000000C1}", "",
         REGDB_E_CLASSNOTREG, "no InprocServer32"},
        {"missing library file", "Gone.1", true, "{00000000-0000-0000-0000-0000000000C2}",
         "/nonexistent/libgone.so", CO_E_DLLNOTFOUND, "/nonexistent/libgone.so is missing"},
        {"not a library", "Text.1", true, "{00000000-0000-0000-0000-0000000000C3}", text,
         CO_E_DLLNOTFOUND, "cannot be loaded"},
        {"missing export", "Plain.1", true, "{00000000-0000-0000-0000-0000000000C4}",
         TEST_PLAIN_LIBRARY, CO_E_ERRORINDLL, "does not export DllGetClassObject"},
        {"class the library does not serve", "Stranger.1", true,
         "{00000000-0000-0000-0000-0000000000C5}", TEST_SERVER_ECHO, CLASS_E_CLASSNOTAVAILABLE,
         "DllGetClassObject"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        editRegistry([&](Registry& r) {
            const std::string key = std::string("HKCR\\") + c.progId;
            if (c.registered) {
                r.createKey(key);
            }
            if (c.clsid) {
                r.setValue(key + "\\CLSID", "", c.clsid);
            }
            if (!c.library.empty()) {
                r.setValue(std::string("HKCR\\CLSID\\") + c.clsid + "\\InprocServer32", "",
                           c.library);
            }
        });
        HRESULT hr = S_OK;
        std::string message;
        EXPECT_FALSE(createObject(c.progId, &hr, &message));
        EXPECT_EQ(hr, c.hr) << describeHresult(hr);
        EXPECT_NE(message.find(c.says), std::string::npos) << message;
    }

    // A factory that cannot give the interface asked for.
    void* object = nullptr;
    std::string message;
    EXPECT_EQ(createInstance(kEcho, nullptr, IID_IClassFactory, &object, &message), E_NOINTERFACE);
    EXPECT_NE(message.find("class factory"), std::string::npos) << message;
}

TEST_F(Automation, ADamagedRegistryIsReportedNotUsed)
{
    writeText(registry.path(), "KIVO REGISTRY 1\n[HKEY_CLASSES_ROOT\\KivoTest.Echo.1\n");
    HRESULT hr = S_OK;
    std::string message;
    EXPECT_FALSE(createObject("KivoTest.Echo.1", &hr, &message));
    EXPECT_EQ(hr, REGDB_E_READREGDB);
    EXPECT_NE(message.find("damaged, line 2"), std::string::npos) << message;
    EXPECT_EQ(registerServerLibrary(TEST_SERVER_ECHO, false, &message), REGDB_E_READREGDB);
}
