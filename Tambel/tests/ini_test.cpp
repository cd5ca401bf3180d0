#include "Tambel/INI.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace Tambel {
namespace {

TEST(TambelIni, ReadsTheValueAsStoredOrNA)
{
    QTemporaryDir folder;
    const QString path = folder.path() + "/scale.ini";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[TYPE1]\r\n"
               "VoltageScaleFactor = 1000.0 \r\n"
               "MinVoltage=4,5\r\n"
               "Empty=\r\n"
               "Long=" +
               QByteArray(300, 'x') + "\r\n");
    file.close();

    struct Case {
        const char* name;
        QString section, key, file, expected;
    };
    const Case cases[] = {
        {"a value, trimmed", "TYPE1", "VoltageScaleFactor", path, "1000.0"},
        {"names in any case", "type1", "voltagescalefactor", path, "1000.0"},
        {"no character replaced", "TYPE1", "MinVoltage", path, "4,5"},
        {"cut to the buffer", "TYPE1", "Long", path, QString(254, 'x')},
        {"empty value", "TYPE1", "Empty", path, "N/A"},
        {"missing key", "TYPE1", "MaxVoltage", path, "N/A"},
        {"missing section", "TYPE9", "MinVoltage", path, "N/A"},
        {"missing file", "TYPE1", "MinVoltage", folder.path() + "/none.ini", "N/A"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetIniString(c.section, c.key, c.file), c.expected) << c.name;
    }
}

} // namespace
} // namespace Tambel
