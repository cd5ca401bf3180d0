// The main program's shared state: one module of globals that lives for the whole run.
#pragma once

#include <QString>

namespace KivoSoft::KivoGlobals {

// The user locale's decimal separator, taken at the end of start-up. The five-digit display draws
// it as its separator picture; numeric entry fields accept it.
inline QString DecimalSeparator;

} // namespace KivoSoft::KivoGlobals
