#include "KivoSoft/shell/SerialDevices.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace KivoSoft {

namespace {

// "ttyUSB10" as ("ttyUSB", 10), so that numbers sort by value.
std::pair<QString, qulonglong> splitTrailingNumber(const QString& name)
{
    qsizetype digits = name.size();
    while (digits > 0 && name.at(digits - 1).isDigit()) {
        --digits;
    }
    return {name.left(digits), name.mid(digits).toULongLong()};
}

QStringList present(const QDir& folder, const QStringList& patterns)
{
    const QFileInfoList entries = folder.entryInfoList(
        patterns, QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QStringList names;
    for (const QFileInfo& entry : entries) {
        // exists() follows a link: a stale by-id name no longer names a device.
        if (entry.exists()) {
            names << entry.fileName();
        }
    }
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return splitTrailingNumber(a) < splitTrailingNumber(b);
    });
    QStringList paths;
    for (const QString& name : names) {
        paths << folder.filePath(name);
    }
    return paths;
}

} // namespace

QStringList serialDevicesPresent(const QString& deviceFolder)
{
    const QDir folder(deviceFolder);
    QStringList devices;
    for (const char* pattern : {"ttyS*", "ttyUSB*", "ttyACM*"}) {
        devices << present(folder, {QString::fromLatin1(pattern)});
    }
    devices << present(QDir(folder.filePath(QStringLiteral("serial/by-id"))), {});
    return devices;
}

} // namespace KivoSoft
