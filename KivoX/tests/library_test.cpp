// libKivoX.so as the programs meet it: registered, created by ProgID, called by name, released,
// unregistered; its exports; and the RTS delay it reads from ./Kivo.ini as it loads.
#include "KivoX/identity.h"
#include "KivoX/testing/simulated_link.h"

#include "platform/automation/activation.h"
#include "platform/automation/registry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kivo::automation;
using kivox::testing::SimulatedLink;
using I2 = std::int16_t;

namespace {

const std::string kClsidKey = std::string("HKEY_CLASSES_ROOT\\CLSID\\") + KIVOX_CLSID;

Registry readRegistry()
{
    Registry registry;
    std::string message;
    EXPECT_EQ(RegistryFile().read(registry, &message), S_OK) << message;
    return registry;
}

HRESULT canUnloadNow()
{
    void* handle = ::dlopen(KIVOX_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    if (!handle) {
        return E_UNEXPECTED; // not loaded at all
    }
    const auto f = reinterpret_cast<DllCanUnloadNowFunction>(::dlsym(handle, "DllCanUnloadNow"));
    const HRESULT hr = f ? f() : E_FAIL;
    ::dlclose(handle);
    return hr;
}

} // namespace

TEST(Library, ExportsTheFourEntryPointsAndNothingElse)
{
    FILE* nm = ::popen(("nm -D --defined-only '" + std::string(KIVOX_LIBRARY) + "'").c_str(), "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, nm)) {
        std::string text(line);
        const auto last = text.find_last_of(' ');
        names.insert(text.substr(last + 1, text.find_last_not_of("\r\n") - last));
    }
    ASSERT_EQ(::pclose(nm), 0);
    EXPECT_EQ(names, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject",
                                            "DllRegisterServer", "DllUnregisterServer"}));
}

TEST(Library, RegisterCreateCallReleaseUnregister)
{
    auto sim = std::make_unique<SimulatedLink>();
    {
        const Registry r = readRegistry();
        EXPECT_EQ(r.value("HKEY_CLASSES_ROOT\\KivoX.Kivo.1"), "Kivo Class");
        EXPECT_EQ(r.value("HKEY_CLASSES_ROOT\\KivoX.Kivo.1\\CLSID"), KIVOX_CLSID);
        EXPECT_EQ(r.value("HKEY_CLASSES_ROOT\\KivoX.Kivo"), "Kivo Class");
        EXPECT_EQ(r.value("HKEY_CLASSES_ROOT\\KivoX.Kivo\\CLSID"), KIVOX_CLSID);
        EXPECT_EQ(r.value("HKEY_CLASSES_ROOT\\KivoX.Kivo\\CurVer"), "KivoX.Kivo.1");
        EXPECT_EQ(r.value(kClsidKey), "Kivo Class");
        EXPECT_EQ(r.value(kClsidKey + "\\ProgID"), "KivoX.Kivo.1");
        EXPECT_EQ(r.value(kClsidKey + "\\VersionIndependentProgID"), "KivoX.Kivo");
        EXPECT_TRUE(r.keyExists(kClsidKey + "\\Programmable"));
        char full[PATH_MAX];
        ASSERT_NE(::realpath(KIVOX_LIBRARY, full), nullptr);
        EXPECT_EQ(r.value(kClsidKey + "\\InprocServer32"), std::string(full));
        EXPECT_EQ(r.value(kClsidKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
        EXPECT_EQ(r.value(kClsidKey + "\\TypeLib"), KIVOX_LIBID);
        EXPECT_EQ(r.value(std::string("HKEY_CLASSES_ROOT\\TypeLib\\") + KIVOX_LIBID + "\\1.0"),
                  "KivoX 1.0 Type Library");
    }

    // The main program's ProgID, the test program's spelling and the version-independent one.
    for (const char* progId : {"KivoX.Kivo.1", "Kivox.kivo.1", "KivoX.Kivo", "kivox.kivo"}) {
        auto link = sim->create(progId);
        ASSERT_TRUE(link) << progId;
        EXPECT_EQ(canUnloadNow(), S_FALSE) << "an object lives";
        EXPECT_EQ(call(link, "openport", sim->port()).status, "CMD_OK");
        I2 type = 0;
        EXPECT_EQ(call(link, "getmoduletype", "3", I2{1}, byRef(type)).status, "CMD_OK");
        EXPECT_EQ(type, 2);
        EXPECT_EQ(call(link, "closeport").status, "CMD_OK");
    }
    EXPECT_EQ(canUnloadNow(), S_OK);

    // A server lock keeps the library, as a live object does.
    CLSID clsid;
    ASSERT_EQ(clsidFromProgId("KivoX.Kivo.1", clsid), S_OK);
    {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(clsid, IID_IClassFactory, factory.put()), S_OK);
        ASSERT_EQ(factory->LockServer(true), S_OK);
        factory.reset();
        EXPECT_EQ(canUnloadNow(), S_FALSE);
        ASSERT_EQ(getClassObject(clsid, IID_IClassFactory, factory.put()), S_OK);
        ASSERT_EQ(factory->LockServer(false), S_OK);
    }
    EXPECT_EQ(canUnloadNow(), S_OK);
    freeUnusedLibraries();
    EXPECT_EQ(canUnloadNow(), E_UNEXPECTED) << "unloaded";

    std::string message;
    ASSERT_EQ(registerServerLibrary(KIVOX_LIBRARY, true, &message), S_OK) << message;
    HRESULT hr = S_OK;
    EXPECT_FALSE(createObject("KivoX.Kivo.1", &hr));
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    const Registry r = readRegistry();
    EXPECT_TRUE(r.keyExists("HKEY_CLASSES_ROOT\\CLSID"));
    EXPECT_FALSE(r.keyExists("HKEY_CLASSES_ROOT\\KivoX.Kivo.1"));
    EXPECT_FALSE(r.keyExists("HKEY_CLASSES_ROOT\\KivoX.Kivo"));
    EXPECT_FALSE(r.keyExists(kClsidKey));
    EXPECT_FALSE(r.keyExists(std::string("HKEY_CLASSES_ROOT\\TypeLib\\") + KIVOX_LIBID));
}

TEST(Library, AnAggregateGetsTheInnerObject)
{
    SimulatedLink sim;
    CLSID clsid;
    ASSERT_EQ(clsidFromProgId("KivoX.Kivo.1", clsid), S_OK);
    ComPtr<IDispatch> outer = sim.create();
    ComPtr<IUnknown> inner;
    EXPECT_EQ(createInstance(clsid, outer.get(), IID_IUnknown, inner.put()), S_OK);
    EXPECT_TRUE(inner);
}

namespace {

// Runs `body` in a child process started in `dir`, so the library loads there for the first
// time, and gives back the number it reports (negative for a failure in the child).
double inChild(const std::filesystem::path& dir, const std::function<double()>& body)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        ADD_FAILURE() << "pipe";
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        double value = -1;
        // What the parent left loaded and unused goes, so the child loads the library afresh.
        freeUnusedLibraries();
        if (canUnloadNow() != E_UNEXPECTED) {
            value = -4;
        } else if (::chdir(dir.c_str()) == 0) {
            value = body();
        }
        const ssize_t written = ::write(pipeFds[1], &value, sizeof value);
        ::_exit(written == sizeof value ? 0 : 1);
    }
    ::close(pipeFds[1]);
    double value = -2;
    if (::read(pipeFds[0], &value, sizeof value) != sizeof value) {
        value = -3;
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return value;
}

// The time one exchange with a unit that answers at once takes, in milliseconds, through an
// object created by ProgID in the current directory; the second object of the process is timed.
double timeOneExchange()
{
    SimulatedLink sim;
    auto first = sim.create();
    auto second = sim.create();
    if (!first || !second || call(second, "OpenPort", sim.port()).status != "CMD_OK" ||
        !call(second, "SetINIParams", I2{1}, I2{1}).ok()) {
        return -10;
    }
    I2 id = 0;
    const auto start = std::chrono::steady_clock::now();
    if (call(second, "GetUnitID", I2{3}, byRef(id)).status != "CMD_OK") {
        return -11;
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kivox-cwd-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

} // namespace

TEST_F(Settings, TheRtsDelayComesFromKivoIniInTheCurrentDirectory)
{
    std::ofstream(dir / "Kivo.ini") << "[Serial COM Parameters]\r\nRTSToggleInterval=600\r\n";
    const double ms = inChild(dir, timeOneExchange);
    EXPECT_GE(ms, 700) << "600 ms RTS delay and the 100 ms pause";
}

TEST_F(Settings, WithoutKivoIniTheRtsDelayIsTen)
{
    const double ms = inChild(dir, timeOneExchange);
    EXPECT_GE(ms, 110);
    EXPECT_LT(ms, 600);
}
