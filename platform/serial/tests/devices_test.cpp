#include "platform/serial/devices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using kivo::serial::presentDevices;

namespace {

class SerialDevices : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() /
                ("kivo-devices-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        dev_ = (root_ / "dev").string();
        sys_ = (root_ / "sys").string();
        fs::create_directories(dev_);
    }
    void TearDown() override { fs::remove_all(root_); }

    static void touch(const fs::path& path, const std::string& text = {})
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    fs::path root_;
    std::string dev_;
    std::string sys_;
};

} // namespace

TEST_F(SerialDevices, ListsTheSerialDevicesInOrder)
{
    for (const char* name : {"ttyS10", "ttyS2", "ttyS0", "ttyS1", "ttySAC0", "ttyS", "ttyUSB1",
                             "ttyUSB0", "ttyUSB", "ttyACM0", "tty0", "ttyprintk", "null"}) {
        touch(fs::path(dev_) / name);
    }
    touch(fs::path(dev_) / "serial/by-id/usb-Maker_Adapter_B-if00-port0");
    touch(fs::path(dev_) / "serial/by-id/usb-Maker_Adapter_A-if00-port0");
    fs::create_symlink(fs::path(dev_) / "ttyUSB7",
                       fs::path(dev_) / "serial/by-id/usb-Maker_Unplugged-port0");
    // ttyS1 has no port behind it; ttyS2 has one; ttyS0 and ttyS10 give nothing to judge by.
    touch(fs::path(sys_) / "class/tty/ttyS1/type", "0\n");
    touch(fs::path(sys_) / "class/tty/ttyS2/type", "4\n");

    const std::vector<std::string> expected = {
        dev_ + "/ttyS0",
        dev_ + "/ttyS2",
        dev_ + "/ttyS10",
        dev_ + "/ttyUSB0",
        dev_ + "/ttyUSB1",
        dev_ + "/ttyACM0",
        dev_ + "/serial/by-id/usb-Maker_Adapter_A-if00-port0",
        dev_ + "/serial/by-id/usb-Maker_Adapter_B-if00-port0"};
    EXPECT_EQ(presentDevices(dev_, sys_), expected);
}

TEST_F(SerialDevices, NoneInAnEmptyOrMissingFolder)
{
    touch(fs::path(dev_) / "tty0");
    EXPECT_TRUE(presentDevices(dev_, sys_).empty());
    EXPECT_TRUE(presentDevices((root_ / "missing").string(), sys_).empty());
}
