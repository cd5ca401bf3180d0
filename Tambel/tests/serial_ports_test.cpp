#include "Tambel/SerialPorts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace Tambel {
namespace {

void touch(const QString& path, const QByteArray& text = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

TEST(TambelSerialPorts, ListsTheSerialDevicesInOrder)
{
    QTemporaryDir root;
    const QString dev = root.path() + "/dev";
    const QString sys = root.path() + "/sys";
    for (const char* name : {"ttyS10", "ttyS2", "ttyS0", "ttyS1", "ttySAC0", "ttyS", "ttyUSB1",
                             "ttyUSB0", "ttyACM0", "tty0", "ttyprintk", "null"}) {
        touch(dev + "/" + name);
    }
    touch(dev + "/serial/by-id/usb-Maker_Adapter_B-if00-port0");
    touch(dev + "/serial/by-id/usb-Maker_Adapter_A-if00-port0");
    ASSERT_TRUE(QFile::link(dev + "/ttyUSB7", dev + "/serial/by-id/usb-Maker_Unplugged-port0"));
    // ttyS1 has no port behind it; ttyS2 has one; ttyS0 and ttyS10 give nothing to judge by.
    touch(sys + "/class/tty/ttyS1/type", "0\n");
    touch(sys + "/class/tty/ttyS2/type", "4\n");

    EXPECT_EQ(serialPortNames(dev, sys),
              QStringList({dev + "/ttyS0", dev + "/ttyS2", dev + "/ttyS10", dev + "/ttyUSB0",
                           dev + "/ttyUSB1", dev + "/ttyACM0",
                           dev + "/serial/by-id/usb-Maker_Adapter_A-if00-port0",
                           dev + "/serial/by-id/usb-Maker_Adapter_B-if00-port0"}));
}

TEST(TambelSerialPorts, IsEmptyWithoutSerialDevices)
{
    QTemporaryDir root;
    touch(root.path() + "/dev/tty0");
    EXPECT_TRUE(serialPortNames(root.path() + "/dev", root.path() + "/sys").isEmpty());
    EXPECT_TRUE(serialPortNames(root.path() + "/missing", root.path() + "/sys").isEmpty());
}

} // namespace
} // namespace Tambel
