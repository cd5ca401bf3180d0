#include "KivoSoft/model/Locale.h"

#include "platform/basic/basic.h"

namespace KivoSoft {

QString Locale::GetDecimalSpecifier() const
{
    return kivo::basic::decimalSeparator();
}

} // namespace KivoSoft
