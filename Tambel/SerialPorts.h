// The serial devices present on the machine, for the port list.
#pragma once

#include <QString>
#include <QStringList>

namespace Tambel {

// The device paths of the serial ports under `devRoot`: ttyS*, ttyUSB*, ttyACM* in that order,
// each group by number (ttyS2 before ttyS10), then serial/by-id/* by name. Left out are a by-id
// name whose device is gone and a ttyS* node whose driver reports no port behind it
// (`sysRoot`/class/tty/<name>/type reads 0, as for the unused nodes of a standard PC).
QStringList serialPortNames(const QString& devRoot = QStringLiteral("/dev"),
                            const QString& sysRoot = QStringLiteral("/sys"));

} // namespace Tambel
