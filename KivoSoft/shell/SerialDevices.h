// The serial devices present on the machine, as the port dialog offers them.
#pragma once

#include <QString>
#include <QStringList>

namespace KivoSoft {

// The device paths under `deviceFolder` ("/dev" on a real machine): the on-board ports ttyS*,
// the USB adapters ttyUSB* and ttyACM*, then the stable names under serial/by-id. Each group is
// in numeric order (ttyS2 before ttyS10); a by-id name whose device is gone is left out.
QStringList serialDevicesPresent(const QString& deviceFolder = QStringLiteral("/dev"));

} // namespace KivoSoft
