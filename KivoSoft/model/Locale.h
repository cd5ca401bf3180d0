// The user locale's decimal separator, as the start-up routine takes it.
#pragma once

#include <QString>

namespace KivoSoft {

class Locale {
public:
    // The decimal separator of the user's locale ("." or "," for most); never empty.
    QString GetDecimalSpecifier() const;
};

} // namespace KivoSoft
