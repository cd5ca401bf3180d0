#include "KivoSoft/model/DeviceLink.h"

namespace KivoSoft {

QString linkStatus(const kivo::automation::CallResult& result)
{
    if (result.ok()) {
        return QString::fromStdString(result.status);
    }
    // A refused argument still hands back the link's own failure text; prefer it.
    if (!result.status.empty() && result.status != "CMD_OK") {
        return QString::fromStdString(result.status);
    }
    return result.error.empty() ? QStringLiteral("E_FAIL") : QString::fromStdString(result.error);
}

} // namespace KivoSoft
