#include "Tambel/SerialPorts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace Tambel {

namespace {

// The number after `prefix` in a device name ("ttyUSB12" -> 12); -1 when the rest of the name
// is not a number, so "ttyS*" does not take "ttySAC0" for a ttyS port.
long long deviceNumber(const QString& name, const QString& prefix)
{
    const QString rest = name.mid(prefix.size());
    if (rest.isEmpty() || !std::all_of(rest.begin(), rest.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        })) {
        return -1;
    }
    return rest.toLongLong();
}

bool uartPresent(const QString& sysRoot, const QString& name)
{
    QFile type(sysRoot + QStringLiteral("/class/tty/") + name + QStringLiteral("/type"));
    if (!type.open(QIODevice::ReadOnly)) {
        return true; // nothing to judge by: offer it
    }
    return type.readAll().trimmed() != "0";
}

QStringList numberedDevices(const QString& devRoot, const QString& prefix)
{
    QStringList names;
    for (const QString& name :
         QDir(devRoot).entryList({prefix + QLatin1Char('*')}, QDir::System | QDir::Files)) {
        if (deviceNumber(name, prefix) >= 0) {
            names << name;
        }
    }
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        return deviceNumber(a, prefix) < deviceNumber(b, prefix);
    });
    return names;
}

} // namespace

QStringList serialPortNames(const QString& devRoot, const QString& sysRoot)
{
    QStringList ports;
    for (const QString& prefix :
         {QStringLiteral("ttyS"), QStringLiteral("ttyUSB"), QStringLiteral("ttyACM")}) {
        for (const QString& name : numberedDevices(devRoot, prefix)) {
            if (prefix != QStringLiteral("ttyS") || uartPresent(sysRoot, name)) {
                ports << devRoot + QLatin1Char('/') + name;
            }
        }
    }
    const QString byId = devRoot + QStringLiteral("/serial/by-id");
    for (const QFileInfo& id : QDir(byId).entryInfoList(QDir::System | QDir::Files, QDir::Name)) {
        // exists() follows the link: a name left behind by an unplugged adapter names nothing.
        if (id.exists()) {
            ports << byId + QLatin1Char('/') + id.fileName();
        }
    }
    return ports;
}

} // namespace Tambel
