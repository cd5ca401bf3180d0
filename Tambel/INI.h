// The program's INI reader.
#pragma once

#include <QString>

namespace Tambel {

// The value of `key` in `section` of the INI file `file`, as stored (no character replaced), at
// most 254 characters; "N/A" when the file, the section or the key is missing or the value is
// empty. Numbers are converted by the caller.
QString GetIniString(const QString& section, const QString& key, const QString& file);

} // namespace Tambel
