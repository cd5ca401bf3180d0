#include "platform/profile/profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace kivo::profile;

namespace {

class Profile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() /
               ("kivo-profile-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }

    std::string file(const std::string& name, const std::string& content)
    {
        const auto p = (dir_ / name).string();
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    static std::string slurp(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir_;
};

const std::string kSample = "; settings of the test bench\n"
                            "[Serial COM Parameters]\n"
                            "ReadTimeout=2\n"
                            "  RetryCount  =  5  \n"
                            "RTSToggleInterval=10ms\n"
                            "Empty=\n"
                            "Quoted=\"  spaced out  \"\n"
                            "Single='x'\n"
                            "HalfQuoted=\"open\n"
                            "Dup=first\n"
                            "Dup=second\n"
                            "Minus=-5\n"
                            "Padded= 7 \n"
                            "Word=x\n"
                            "[PARAMS]\n"
                            "port=/dev/serial/by-id/usb-1.2\n"
                            "[params]\n"
                            "port=shadowed\n"
                            "extra=from the second copy\n";

} // namespace

TEST_F(Profile, ReadTable)
{
    const std::string lf = file("lf.ini", kSample);
    std::string crlfText;
    for (char c : kSample) {
        crlfText += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    const std::string crlf = file("crlf.ini", crlfText);
    const std::string longValue(300, 'v');
    const std::string longFile = file("long.ini", "[S]\nk=" + longValue + "\n");
    const std::string missing = (dir_ / "missing.ini").string();

    struct Case {
        const char* what;
        std::string section, key, def;
        std::size_t size;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"plain", "Serial COM Parameters", "ReadTimeout", "N/A", 255, "2"},
        {"names in other case", "serial com PARAMETERS", "readtimeout", "N/A", 255, "2"},
        {"blanks around key and value", "Serial COM Parameters", "RetryCount", "", 255, "5"},
        {"empty value is found, not defaulted", "Serial COM Parameters", "Empty", "N/A", 255, ""},
        {"double quotes stripped, inside kept", "Serial COM Parameters", "Quoted", "", 255,
         "  spaced out  "},
        {"single quotes stripped", "Serial COM Parameters", "Single", "", 255, "x"},
        {"one quote kept", "Serial COM Parameters", "HalfQuoted", "", 255, "\"open"},
        {"first duplicate key wins", "Serial COM Parameters", "Dup", "", 255, "first"},
        {"first duplicate section wins", "PARAMS", "port", "", 255, "/dev/serial/by-id/usb-1.2"},
        {"later copy of a section still read", "PARAMS", "extra", "", 255, "from the second copy"},
        {"missing key", "PARAMS", "baud", "N/A", 255, "N/A"},
        {"missing section", "DEV", "Test", "N/A", 255, "N/A"},
        {"default loses trailing blanks", "DEV", "Test", "dflt  ", 255, "dflt"},
        {"a key of another section", "PARAMS", "ReadTimeout", "N/A", 255, "N/A"},
        {"cut to the buffer", "PARAMS", "port", "", 9, "/dev/ser"},
        {"default cut too", "DEV", "Test", "abcdef", 4, "abc"},
        {"zero buffer", "PARAMS", "port", "", 0, ""},
    };
    for (const auto& path : {lf, crlf}) {
        for (const auto& c : cases) {
            EXPECT_EQ(getString(c.section, c.key, c.def, path, c.size), c.expected)
                << c.what << (path == crlf ? " (CRLF)" : " (LF)");
        }
    }
    EXPECT_EQ(getString("DEV", "Test", "N/A", missing, 255), "N/A") << "missing file";
    EXPECT_EQ(getString("S", "k", "", longFile, 255), longValue.substr(0, 254));
}

TEST_F(Profile, IntegersParseLeadingDigitsElseTheDefault)
{
    const std::string path = file("ints.ini", kSample);
    struct Case {
        const char* key;
        int expected;
    };
    for (const auto& c :
         {Case{"ReadTimeout", 2}, Case{"RTSToggleInterval", 10}, Case{"Minus", -5},
          Case{"Padded", 7}, Case{"Word", 99}, Case{"Empty", 99}, Case{"NoSuchKey", 99}}) {
        EXPECT_EQ(getInt("Serial COM Parameters", c.key, 99, path), c.expected) << c.key;
    }
    EXPECT_EQ(
        getInt("Serial COM Parameters", "RTSToggleInterval", 10, (dir_ / "none.ini").string()), 10);
}

TEST_F(Profile, WriteKeepsEveryOtherLineAndItsOrder)
{
    const std::string path = file("keep.ini", "; first comment\n"
                                              "[PARAMS]\n"
                                              "Port=COM1\n"
                                              "; about the next\n"
                                              "speed=9600\n"
                                              "\n"
                                              "[DEV]\n"
                                              "Test=N\n");
    ASSERT_TRUE(writeString("params", "port", "/dev/ttyUSB0", path));
    ASSERT_TRUE(writeString("PARAMS", "parity", "NO", path));
    ASSERT_TRUE(writeString("DEV", "Test", "Y", path));
    EXPECT_EQ(slurp(path), "; first comment\n"
                           "[PARAMS]\n"
                           "Port=/dev/ttyUSB0\n"
                           "; about the next\n"
                           "speed=9600\n"
                           "parity=NO\n"
                           "\n"
                           "[DEV]\n"
                           "Test=Y\n");
}

TEST_F(Profile, WriteCreatesTheFileAndTheSectionAndKeepsCrlf)
{
    const std::string created = (dir_ / "new.ini").string();
    ASSERT_TRUE(writeString("PARAMS", "port", "N/A", created));
    ASSERT_TRUE(writeString("DEV", "Test", "y", created));
    EXPECT_EQ(slurp(created), "[PARAMS]\nport=N/A\n\n[DEV]\nTest=y\n");
    EXPECT_EQ(getString("dev", "test", "", created, 255), "y");

    const std::string crlf = file("crlf.ini", "[A]\r\nx=1\r\n");
    ASSERT_TRUE(writeString("B", "y", "2", crlf));
    EXPECT_EQ(slurp(crlf), "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
}

TEST_F(Profile, WriteRefusesWhatWouldForgeAnotherLine)
{
    const std::string path = file("forge.ini", "[PARAMS]\nport=COM1\n");
    std::string error;
    EXPECT_FALSE(writeString("PARAMS", "port", "x\n[DEV]\nTest=Y", path, &error));
    EXPECT_FALSE(writeString("PARAMS", "a\rb", "1", path, &error));
    EXPECT_FALSE(writeString("P]\n[Q", "a", "1", path, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(slurp(path), "[PARAMS]\nport=COM1\n");
}

TEST_F(Profile, WriteToAReadOnlyFileFailsAndLeavesItWhole)
{
    const std::string path = file("ro.ini", "[PARAMS]\nport=COM1\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::string error;
    EXPECT_FALSE(writeString("PARAMS", "port", "COM2", path, &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(slurp(path), "[PARAMS]\nport=COM1\n");
}

TEST_F(Profile, WriteIntoAnUnwritableFolderFailsAndLeavesTheOldFileWhole)
{
    const std::string path = file("locked.ini", "[PARAMS]\nport=COM1\n");
    // The file itself may be written by anyone; only its folder is locked.
    fs::permissions(path, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec |
                                             fs::perms::others_exec));
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read |
                              fs::perms::others_exec);
    // Root may write into any folder, so the attempt runs as an ordinary user in a child.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(3);
        }
        std::string error;
        const bool wrote = writeString("PARAMS", "port", "COM2", path, &error);
        _exit(!wrote && error.find("folder") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write did not report its failure";
    EXPECT_EQ(slurp(path), "[PARAMS]\nport=COM1\n");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u) << "a temporary file was left behind";
}

TEST_F(Profile, WriteKeepsTheFilesMode)
{
    const std::string path = file("mode.ini", "[A]\nx=1\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(writeString("A", "x", "2", path));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

namespace {

// The names in a folder, sorted.
std::vector<std::string> namesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST_F(Profile, WriteRemovesWhatADeadWriterOfTheSameFileLeft)
{
    const std::string path = file("Kivo.ini", "[A]\nx=1\n");
    // Left by writers that died: no one holds their lock.
    file(".Kivo.ini.tmp-abc123", "[A]\nx=");
    file(".Kivo.ini.tmp-ZZ9zz9", "");
    // Not leftovers of this file: another file's, and names a writer never makes.
    file(".scale.ini.tmp-abc123", "[B]\n");
    file(".Kivo.ini.tmp-notes", "mine");
    file(".Kivo.ini.tmp-abc12.", "mine");
    file("Kivo.ini.tmp-abc123", "mine");
    // A writer that is still at work holds the lock on its temporary file.
    const std::string live = file(".Kivo.ini.tmp-live01", "[A]\nx=");
    const int held = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    ASSERT_TRUE(writeString("A", "x", "2", path));
    EXPECT_EQ(slurp(path), "[A]\nx=2\n");
    EXPECT_EQ(namesIn(dir_),
              (std::vector<std::string>{".Kivo.ini.tmp-abc12.", ".Kivo.ini.tmp-live01",
                                        ".Kivo.ini.tmp-notes", ".scale.ini.tmp-abc123", "Kivo.ini",
                                        "Kivo.ini.tmp-abc123"}));
    ::close(held);
    ASSERT_TRUE(writeString("A", "x", "3", path));
    EXPECT_FALSE(fs::exists(live)) << "its writer is gone now";
}

TEST_F(Profile, AWriterKilledMidWayLeavesNothingAfterTheNextWrite)
{
    const std::string path = file("big.ini", "[A]\nx=1\n");
    const std::string value(1 << 20, 'v');
    for (int round = 0; round < 20; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                writeString("A", "x", value + std::to_string(i), path);
            }
        }
        ::usleep(5000 + 3000 * round);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(writeString("A", "x", "2", path));
        EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"big.ini"}) << "round " << round;
    }
}
