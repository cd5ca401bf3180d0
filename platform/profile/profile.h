// INI files read and written the way the Windows profile functions do it, because the programs'
// INI files were written for them: section and key names match regardless of letter case, keys
// and values are trimmed, the first match wins, a value in matching quotes loses them, and a
// read is cut to the caller's buffer size (which counts the terminating zero).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kivo::profile {

// GetPrivateProfileStringA: the value of `key` in `section`, else `defaultValue` (without its
// trailing blanks); at most bufferSize - 1 characters of either.
std::string getString(std::string_view section, std::string_view key, std::string_view defaultValue,
                      const std::string& path, std::size_t bufferSize);

// GetPrivateProfileIntA: the whole number the value begins with (an optional sign and digits);
// `defaultValue` when the key is missing or its value does not begin with a number.
int getInt(std::string_view section, std::string_view key, int defaultValue,
           const std::string& path);

// WritePrivateProfileStringA: sets `key` in `section` to `value`, creating the file, the section
// and the key when missing. Every other line, comment and blank is kept, and the file keeps its
// line endings (CRLF or LF). The file is replaced atomically, so a failure leaves the old one
// whole; the temporary file of a writer that was killed part way (".NAME.tmp-XXXXXX" beside
// NAME) is removed by the next write of the same file. Fails (false, `error` says why) when the
// folder cannot be written, the file is marked read-only, or a name or the value holds a line break
// (which would forge another line).
bool writeString(std::string_view section, std::string_view key, std::string_view value,
                 const std::string& path, std::string* error = nullptr);

} // namespace kivo::profile
