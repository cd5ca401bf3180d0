// The registry tree, its file, and the registration script that servers apply to it.
#include "platform/automation/registration.h"
#include "platform/automation/registry.h"
#include "platform/automation/tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kivo::automation;
using kivo::automation::testing::readText;
using kivo::automation::testing::TempRegistry;
using kivo::automation::testing::writeText;

TEST(Registry, NamesMatchWithoutRegardToCaseAndKeepTheirSpelling)
{
    Registry r;
    ASSERT_TRUE(r.setValue("HKEY_CLASSES_ROOT\\KivoX.Kivo.1\\CLSID", "", "{X}"));
    ASSERT_TRUE(r.setValue("HKLM\\SOFTWARE\\Shared Tools\\MSINFO", "PATH", "/usr/bin/info"));
    EXPECT_EQ(r.value("hkcr\\kivox.KIVO.1\\clsid"), "{X}");
    EXPECT_EQ(r.value("HKEY_LOCAL_MACHINE\\software\\shared tools\\msinfo", "path"),
              "/usr/bin/info");
    EXPECT_EQ(r.subkeyNames("HKCR"), std::vector<std::string>{"KivoX.Kivo.1"});
    // Setting a value under another spelling changes the one value.
    r.setValue("HKLM\\SOFTWARE\\Shared Tools\\MSINFO", "Path", "/bin/other");
    EXPECT_EQ(r.valueNames("HKLM\\SOFTWARE\\Shared Tools\\MSINFO"),
              std::vector<std::string>{"PATH"});
    EXPECT_EQ(r.value("HKLM\\SOFTWARE\\Shared Tools\\MSINFO", "PATH"), "/bin/other");
}

TEST(Registry, AKeyWithoutDefaultValueDiffersFromAnEmptyOne)
{
    Registry r;
    ASSERT_TRUE(r.createKey("HKCR\\CLSID\\{X}\\Programmable"));
    EXPECT_TRUE(r.keyExists("HKCR\\CLSID\\{X}"));
    EXPECT_EQ(r.value("HKCR\\CLSID\\{X}\\Programmable"), std::nullopt);
    r.setValue("HKCR\\CLSID\\{X}\\Programmable", "", "");
    EXPECT_EQ(r.value("HKCR\\CLSID\\{X}\\Programmable"), "");
    EXPECT_EQ(r.value("HKCR\\CLSID\\{X}\\Programmable", "other"), std::nullopt);
}

TEST(Registry, MalformedPathsAreRefused)
{
    Registry r;
    for (const char* path : {"", "HKEY_CURRENT_USER\\Software", "HKCR\\\\Key", "HKCR\\Key\\",
                             "\\HKCR\\Key", "HKCR\\bad\nname"}) {
        EXPECT_FALSE(r.setValue(path, "", "x")) << path;
        EXPECT_FALSE(r.keyExists(path)) << path;
    }
    EXPECT_TRUE(r.keyExists("HKCR"));
    EXPECT_FALSE(r.deleteKey("HKCR"));
}

TEST(Registry, DeletingAKeyTakesItsSubtreeOnly)
{
    Registry r;
    r.setValue("HKCR\\CLSID\\{A}\\InprocServer32", "", "/a.so");
    r.setValue("HKCR\\CLSID\\{B}\\InprocServer32", "", "/b.so");
    EXPECT_TRUE(r.deleteKey("HKCR\\clsid\\{a}"));
    EXPECT_FALSE(r.keyExists("HKCR\\CLSID\\{A}\\InprocServer32"));
    EXPECT_EQ(r.value("HKCR\\CLSID\\{B}\\InprocServer32"), "/b.so");
    EXPECT_FALSE(r.deleteKey("HKCR\\CLSID\\{A}"));
    EXPECT_TRUE(r.deleteValue("HKCR\\CLSID\\{B}\\InprocServer32", ""));
    EXPECT_FALSE(r.deleteValue("HKCR\\CLSID\\{B}\\InprocServer32", ""));
    EXPECT_TRUE(r.keyExists("HKCR\\CLSID\\{B}\\InprocServer32"));
}

TEST(Registry, FileTextRoundTripsAnyText)
{
    Registry r;
    const std::string awkward = "quote \" backslash \\ tab \t newline \n bell \x07 "
                                "\xC3\xBC [brackets] @=";
    r.setValue("HKCR\\Name with spaces {and braces}", "", awkward);
    r.setValue("HKCR\\Name with spaces {and braces}", awkward, "named");
    r.createKey("HKCR\\Empty\\Leaf");
    r.setValue("HKLM\\SOFTWARE\\Kivo", "Path", "C:/x]");
    const std::string text = r.serialize();

    Registry back;
    std::string message;
    ASSERT_EQ(Registry::parse(text, back, &message), S_OK) << message << "\n" << text;
    EXPECT_EQ(back.value("HKCR\\Name with spaces {and braces}"), awkward);
    EXPECT_EQ(back.value("HKCR\\Name with spaces {and braces}", awkward), "named");
    EXPECT_TRUE(back.keyExists("HKCR\\Empty\\Leaf"));
    EXPECT_EQ(back.value("HKLM\\SOFTWARE\\Kivo", "path"), "C:/x]");
    EXPECT_EQ(back.serialize(), text);
    // One line per key and per value, so a person can read and mend it.
    EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\Empty\\Leaf]\n"), std::string::npos);
    EXPECT_NE(text.find("\n\"Path\"=\"C:/x]\"\n"), std::string::npos);
}

TEST(Registry, DamagedTextNamesTheLineAndLeavesTheTarget)
{
    const std::string head = "KIVO REGISTRY 1\n";
    const struct {
        std::string text;
        const char* says;
    } cases[] = {
        {"", "empty"},
        {"something else\n", "line 1: not a registry file"},
        {head + "[HKCR\\A]\n@=\"x\"\n", "truncated"},
        {head + "[HKCR\\A]\n@=\"unterminated\nEND\n", "line 3: unterminated string"},
        {head + "[HKCR\\A]\n@=\"bad \\q escape\"\nEND\n", "line 3: unknown escape"},
        {head + "[HKCR\\A\n", "line 2: a key line must end with ]"},
        {head + "[HKEY_USERS\\A]\nEND\n", "line 2: malformed key path"},
        {head + "@=\"x\"\nEND\n", "line 2: a value before the first [key] line"},
        {head + "[HKCR\\A]\n\"name\" \"x\"\nEND\n", "line 3: expected ="},
        {head + "[HKCR\\A]\n@=\"x\" trailing\nEND\n", "line 3: unexpected text"},
        {head + "[HKCR\\A]\nEND\n[HKCR\\B]\n", "line 4: text after the END line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Registry r;
        r.setValue("HKCR\\Kept", "", "yes");
        std::string message;
        EXPECT_EQ(Registry::parse(c.text, r, &message), REGDB_E_READREGDB);
        EXPECT_NE(message.find(c.says), std::string::npos) << message;
        EXPECT_EQ(r.value("HKCR\\Kept"), "yes");
    }
}

TEST(RegistryFile, StartsEmptyAndCreatesItsFolderOnFirstWrite)
{
    TempRegistry temp;
    RegistryFile file((temp.dir() / "deeper" / "still" / "registry").string());
    Registry r;
    std::string message;
    ASSERT_EQ(file.read(r, &message), S_OK);
    EXPECT_TRUE(r.subkeyNames("HKCR").empty());
    ASSERT_EQ(file.update(
                  [](Registry& reg, std::string*) {
                      reg.setValue("HKCR\\A", "", "1");
                      return S_OK;
                  },
                  &message),
              S_OK)
        << message;
    ASSERT_EQ(file.read(r, &message), S_OK);
    EXPECT_EQ(r.value("HKCR\\A"), "1");
    // No temporary file is left beside it.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(temp.dir() / "deeper" / "still")) {
        files += entry.path().filename() != "registry.lock";
    }
    EXPECT_EQ(files, 1);
}

TEST(RegistryFile, DefaultPathFollowsTheEnvironment)
{
    TempRegistry temp;
    // Put back what this test changes, for the tests that run after it in this process.
    struct Restore {
        std::string name;
        std::optional<std::string> value;
        ~Restore()
        {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    };
    const auto saved = [](const char* name) {
        const char* v = std::getenv(name);
        return Restore{name, v ? std::optional<std::string>(v) : std::nullopt};
    };
    const Restore home = saved("HOME"), config = saved("XDG_CONFIG_HOME");
    EXPECT_EQ(defaultRegistryPath(), temp.path());
    EXPECT_EQ(RegistryFile().path(), temp.path());
    ::setenv("KIVO_REGISTRY", "", 1);
    ::setenv("XDG_CONFIG_HOME", "/config/of/user", 1);
    EXPECT_EQ(defaultRegistryPath(), "/config/of/user/kivo/registry");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(defaultRegistryPath(), "/home/someone/.config/kivo/registry");
}

TEST(RegistryFile, ACorruptOrTruncatedFileIsReportedAndNeverOverwritten)
{
    TempRegistry temp;
    RegistryFile file(temp.path());
    std::string message;
    ASSERT_EQ(file.update(
                  [](Registry& reg, std::string*) {
                      for (int i = 0; i < 20; ++i) {
                          reg.setValue("HKCR\\Server" + std::to_string(i) + "\\CLSID", "",
                                       "{00000000-0000-0000-0000-00000000000" +
                                           std::to_string(i % 10) + "}");
                      }
                      return S_OK;
                  },
                  &message),
              S_OK);
    const std::string whole = readText(temp.path());
    for (const std::string& damaged : {whole.substr(0, whole.size() / 2), std::string("\0\0\0", 3),
                                       std::string("garbage\n") + whole}) {
        writeText(temp.path(), damaged);
        Registry r;
        EXPECT_EQ(file.read(r, &message), REGDB_E_READREGDB);
        EXPECT_NE(message.find(temp.path()), std::string::npos) << message;
        EXPECT_NE(message.find("damaged"), std::string::npos) << message;
        bool changed = false;
        EXPECT_EQ(file.update(
                      [&](Registry&, std::string*) {
                          changed = true;
                          return S_OK;
                      },
                      &message),
                  REGDB_E_READREGDB);
        EXPECT_FALSE(changed);
        EXPECT_EQ(readText(temp.path()), damaged);
    }
}

namespace {

// Runs `work` in a child process, so that a read that blocks or never ends fails the test
// instead of hanging it: the exit status of `work`, or -1 when it had to be killed.
int inChild(const std::function<int()>& work, int seconds = 10)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(work());
    }
    int status = 0;
    for (int waited = 0; waited < seconds * 100; ++waited) {
        if (::waitpid(child, &status, WNOHANG) == child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        ::usleep(10000);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return -1;
}

} // namespace

TEST(RegistryFile, OnlyARegularFileOfARegistrysSizeIsRead)
{
    TempRegistry temp;
    const std::string fifo = (temp.dir() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = (temp.dir() / "folder").string();
    std::filesystem::create_directory(folder);
    // A link, so that the lock file an update makes lands in the test's folder, not in /dev.
    const std::string zero = (temp.dir() / "zero").string();
    std::filesystem::create_symlink("/dev/zero", zero);
    const std::string huge = (temp.dir() / "huge").string();
    writeText(huge, "KIVO REGISTRY 1\n");
    std::filesystem::resize_file(huge, kMaxRegistryFileSize + 1);
    struct Case {
        std::string path;
        const char* why;
    };
    const Case cases[] = {
        {fifo, "is not a regular file"},
        {zero, "is not a regular file"},
        {folder, "is not a regular file"},
        {huge, "is larger than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        // Exit 1: refused as it should be; 2: anything else.
        const int read = inChild([&] {
            Registry r;
            std::string message;
            const bool refused = RegistryFile(c.path).read(r, &message) == REGDB_E_READREGDB &&
                                 message.find(c.path) != std::string::npos &&
                                 message.find(c.why) != std::string::npos;
            return refused ? 1 : 2;
        });
        EXPECT_EQ(read, 1) << "-1: it blocked or did not end";
        // An update refuses it too, before its change, and leaves it alone.
        const int update = inChild([&] {
            bool changed = false;
            const HRESULT hr = RegistryFile(c.path).update(
                [&](Registry&, std::string*) {
                    changed = true;
                    return S_OK;
                },
                nullptr);
            return hr == REGDB_E_READREGDB && !changed ? 1 : 2;
        });
        EXPECT_EQ(update, 1) << "-1: it blocked or did not end";
    }
    EXPECT_EQ(std::filesystem::status(fifo).type(), std::filesystem::file_type::fifo);
    EXPECT_EQ(std::filesystem::file_size(huge), kMaxRegistryFileSize + 1);
}

TEST(RegistryFile, AChangeThatWouldOutgrowAnyRegistryIsNotWritten)
{
    TempRegistry temp;
    RegistryFile file(temp.path());
    std::string message;
    ASSERT_EQ(file.update(
                  [](Registry& reg, std::string*) {
                      reg.setValue("HKCR\\A", "", "1");
                      return S_OK;
                  },
                  &message),
              S_OK);
    const std::string before = readText(temp.path());
    EXPECT_EQ(file.update(
                  [](Registry& reg, std::string*) {
                      reg.setValue("HKCR\\A", "", std::string(kMaxRegistryFileSize, 'x'));
                      return S_OK;
                  },
                  &message),
              REGDB_E_WRITEREGDB);
    EXPECT_NE(message.find("larger than"), std::string::npos) << message;
    EXPECT_EQ(readText(temp.path()), before);
}

TEST(RegistryFile, TheNextWriteRemovesWhatAKilledWriterLeft)
{
    TempRegistry temp;
    RegistryFile file(temp.path());
    const auto names = [&] {
        std::vector<std::string> found;
        for (const auto& e : std::filesystem::directory_iterator(temp.dir())) {
            found.push_back(e.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    const auto setA = [&](const std::string& value) {
        return file.update(
            [&](Registry& reg, std::string*) {
                reg.setValue("HKCR\\A", "", value);
                return S_OK;
            },
            nullptr);
    };
    const std::string big(1 << 20, 'v');
    for (int round = 0; round < 20; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                setA(big + std::to_string(i));
            }
        }
        ::usleep(5000 + 3000 * round);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_EQ(setA("1"), S_OK);
        EXPECT_EQ(names(), (std::vector<std::string>{"registry", "registry.lock"}))
            << "round " << round;
    }
    // Files of the user's beside it are no writer's.
    for (const char* name : {"registry.backup", "registry.tmp-notes", "registry.tmp-abc12."}) {
        writeText((temp.dir() / name).string(), "mine");
    }
    ASSERT_EQ(setA("2"), S_OK);
    EXPECT_EQ(names(), (std::vector<std::string>{"registry", "registry.backup", "registry.lock",
                                                 "registry.tmp-abc12.", "registry.tmp-notes"}));
}

TEST(RegistryFile, ADamagedFileIsMovedAsideToANameNotTaken)
{
    TempRegistry temp;
    const std::string& path = temp.path();
    EXPECT_EQ(registryAsideName(path), std::nullopt) << "no file yet";
    writeText(path, "KIVO REGISTRY 1\nEND\n");
    EXPECT_EQ(registryAsideName(path), std::nullopt) << "a good file";
    writeText(path, "KIVO REGISTRY 1\n");
    EXPECT_EQ(registryAsideName(path), path + ".damaged");
    writeText(path + ".damaged", "an earlier one");
    writeText(path + ".damaged.2", "and another");
    EXPECT_EQ(registryAsideName(path), path + ".damaged.3");
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(registryAsideName(path), std::nullopt) << "a FIFO is not moved";
}

TEST(RegistryFile, AFailedChangeWritesNothing)
{
    TempRegistry temp;
    RegistryFile file(temp.path());
    std::string message;
    ASSERT_EQ(file.update(
                  [](Registry& reg, std::string*) {
                      reg.setValue("HKCR\\A", "", "1");
                      return S_OK;
                  },
                  &message),
              S_OK);
    const std::string before = readText(temp.path());
    EXPECT_EQ(file.update(
                  [](Registry& reg, std::string* why) {
                      reg.deleteKey("HKCR\\A");
                      *why = "refused";
                      return E_FAIL;
                  },
                  &message),
              E_FAIL);
    EXPECT_EQ(message, "refused");
    EXPECT_EQ(readText(temp.path()), before);
}

TEST(RegistryFile, ConcurrentWritersInTwoProcessesKeepEachOthersKeys)
{
    TempRegistry temp;
    constexpr int kWrites = 40;
    pid_t children[2];
    for (int writer = 0; writer < 2; ++writer) {
        children[writer] = ::fork();
        ASSERT_GE(children[writer], 0);
        if (children[writer] == 0) {
            RegistryFile file(temp.path());
            int failures = 0;
            for (int i = 0; i < kWrites; ++i) {
                failures += failed(file.update(
                    [&](Registry& reg, std::string*) {
                        reg.setValue("HKCR\\Writer" + std::to_string(writer), std::to_string(i),
                                     "x");
                        return S_OK;
                    },
                    nullptr));
            }
            ::_exit(failures ? 1 : 0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    Registry r;
    std::string message;
    ASSERT_EQ(RegistryFile(temp.path()).read(r, &message), S_OK) << message;
    EXPECT_EQ(r.valueNames("HKCR\\Writer0").size(), std::size_t(kWrites));
    EXPECT_EQ(r.valueNames("HKCR\\Writer1").size(), std::size_t(kWrites));
}

namespace {

constexpr const char* kScript = R"(
HKCR
{
    Demo.Thing.1 = s 'Thing Class'
    {
        CLSID = s '{11111111-2222-3333-4444-555555555555}'
    }
    NoRemove CLSID
    {
        ForceRemove {11111111-2222-3333-4444-555555555555} = s 'Thing Class'
        {
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            'It''s quoted' = s 'a ''quoted'' value'
        }
    }
}
HKLM
{
    NoRemove SOFTWARE
    {
        Demo
        {
            val Installed = s '%MODULE%'
        }
    }
}
)";

RegistrationScript parsed(const char* text, const char* module = "/opt/demo/libdemo.so")
{
    RegistrationScript script;
    std::string message;
    EXPECT_EQ(RegistrationScript::parse(text, module, script, &message), S_OK) << message;
    return script;
}

constexpr const char* kClass = "HKCR\\CLSID\\{11111111-2222-3333-4444-555555555555}";

} // namespace

TEST(RegistrationScript, RegistersKeysAndValuesWithTheModulePath)
{
    Registry r;
    ASSERT_EQ(parsed(kScript).registerIn(r, nullptr), S_OK);
    EXPECT_EQ(r.value("HKCR\\Demo.Thing.1"), "Thing Class");
    EXPECT_EQ(r.value("HKCR\\Demo.Thing.1\\CLSID"), "{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(r.value(std::string(kClass) + "\\InprocServer32"), "/opt/demo/libdemo.so");
    EXPECT_EQ(r.value(std::string(kClass) + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_TRUE(r.keyExists(std::string(kClass) + "\\Programmable"));
    EXPECT_EQ(r.value(std::string(kClass) + "\\It's quoted"), "a 'quoted' value");
    EXPECT_EQ(r.value("HKLM\\SOFTWARE\\Demo", "Installed"), "/opt/demo/libdemo.so");
}

TEST(RegistrationScript, ForceRemoveKeysAreReplacedWhole)
{
    Registry r;
    r.setValue(std::string(kClass) + "\\Stale", "", "from an older version");
    ASSERT_EQ(parsed(kScript).registerIn(r, nullptr), S_OK);
    EXPECT_FALSE(r.keyExists(std::string(kClass) + "\\Stale"));
}

TEST(RegistrationScript, UnregisteringRemovesOnlyWhatTheScriptAdded)
{
    Registry r;
    r.setValue("HKCR\\CLSID\\{OTHER}\\InprocServer32", "", "/other.so");
    r.setValue("HKLM\\SOFTWARE\\Demo", "UserSetting", "kept");
    const RegistrationScript script = parsed(kScript);
    ASSERT_EQ(script.registerIn(r, nullptr), S_OK);
    ASSERT_EQ(script.unregisterFrom(r, nullptr), S_OK);

    EXPECT_FALSE(r.keyExists("HKCR\\Demo.Thing.1"));
    EXPECT_FALSE(r.keyExists(kClass));
    // NoRemove keys stay, and so do the keys and values others put there.
    EXPECT_TRUE(r.keyExists("HKCR\\CLSID"));
    EXPECT_EQ(r.value("HKCR\\CLSID\\{OTHER}\\InprocServer32"), "/other.so");
    EXPECT_EQ(r.value("HKLM\\SOFTWARE\\Demo", "UserSetting"), "kept");
    EXPECT_EQ(r.value("HKLM\\SOFTWARE\\Demo", "Installed"), std::nullopt);

    // Without anyone else's entries the CLSID key still stays.
    Registry alone;
    script.registerIn(alone, nullptr);
    script.unregisterFrom(alone, nullptr);
    EXPECT_TRUE(alone.keyExists("HKCR\\CLSID"));
    EXPECT_TRUE(alone.keyExists("HKLM\\SOFTWARE"));
    EXPECT_FALSE(alone.keyExists("HKLM\\SOFTWARE\\Demo"));
}

TEST(RegistrationScript, AModulePathWithQuotesAndBlanksStaysWhole)
{
    Registry r;
    ASSERT_EQ(parsed(kScript, "/home/o'neil/my libs/{x}.so").registerIn(r, nullptr), S_OK);
    EXPECT_EQ(r.value(std::string(kClass) + "\\InprocServer32"), "/home/o'neil/my libs/{x}.so");
}

TEST(RegistrationScript, SyntaxErrorsNameTheirLine)
{
    const struct {
        const char* text;
        const char* says;
    } cases[] = {
        {"HKCU { A }", "line 1: expected a root"},
        {"HKCR\n{\n  A = s 'x'\n", "expected }"},
        {"HKCR { A = d 5 }", "line 1: only string values"},
        {"HKCR { A = s 'open }", "unterminated quoted text"},
        {"HKCR { val = s 'x' }", "expected a key name"},
        {"HKCR { 'A\\B' }", "cannot hold \\"},
        {"HKCR A", "line 1: expected {"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RegistrationScript script;
        std::string message;
        EXPECT_EQ(RegistrationScript::parse(c.text, "/m.so", script, &message), E_FAIL);
        EXPECT_NE(message.find(c.says), std::string::npos) << message;
    }
}

TEST(TypeLibRegistration, WritesTheVersionKeyAndRemovesOnlyItsVersion)
{
    Registry r;
    const TypeLibInfo v1{guid("{ABCDEF00-1111-2222-3333-444444444444}"), 1, 0, "Demo 1.0"};
    const TypeLibInfo v10{guid("{ABCDEF00-1111-2222-3333-444444444444}"), 1, 10, "Demo 1.10"};
    registerTypeLib(r, v1, "/opt/demo/libdemo.so");
    registerTypeLib(r, v10, "/opt/demo/libdemo.so");
    const std::string key = "HKCR\\TypeLib\\{ABCDEF00-1111-2222-3333-444444444444}";
    EXPECT_EQ(r.value(key + "\\1.0"), "Demo 1.0");
    EXPECT_EQ(r.value(key + "\\1.0\\0\\linux"), "/opt/demo/libdemo.so");
    EXPECT_EQ(r.value(key + "\\1.0\\FLAGS"), "0");
    EXPECT_EQ(r.value(key + "\\1.0\\HELPDIR"), "/opt/demo");
    EXPECT_EQ(r.value(key + "\\1.a"), "Demo 1.10");

    unregisterTypeLib(r, v1);
    EXPECT_FALSE(r.keyExists(key + "\\1.0"));
    EXPECT_TRUE(r.keyExists(key + "\\1.a"));
    unregisterTypeLib(r, v10);
    EXPECT_FALSE(r.keyExists(key));
    EXPECT_TRUE(r.keyExists("HKCR\\TypeLib"));
}
