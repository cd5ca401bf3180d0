#include "platform/profile/profile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kivo::profile {

namespace {

constexpr std::string_view kBlanks = " \t\r\n\v\f";

std::string_view trim(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

std::optional<std::string> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// One line of the file as the profile functions see it.
struct Line {
    enum Kind { Other, Section, Entry } kind = Other;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // entry value, trimmed
};

Line parse(std::string_view raw)
{
    const std::string_view text = trim(raw);
    if (text.empty() || text.front() == ';') {
        return {};
    }
    if (text.front() == '[') {
        const auto close = text.find(']');
        const auto name = text.substr(1, close == std::string_view::npos ? text.npos : close - 1);
        return {Line::Section, trim(name), {}};
    }
    const auto eq = text.find('=');
    if (eq == std::string_view::npos) {
        return {};
    }
    return {Line::Entry, trim(text.substr(0, eq)), trim(text.substr(eq + 1))};
}

// Splits into lines without their line ends; remembers whether the file used CRLF.
std::vector<std::string_view> splitLines(std::string_view text, bool& crlf)
{
    crlf = text.find("\r\n") != std::string_view::npos;
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        auto line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::optional<std::string_view> findValue(std::string_view text, std::string_view section,
                                          std::string_view key)
{
    bool crlf = false;
    bool inSection = false;
    for (const auto raw : splitLines(text, crlf)) {
        const Line line = parse(raw);
        if (line.kind == Line::Section) {
            inSection = sameName(line.name, section);
        } else if (line.kind == Line::Entry && inSection && sameName(line.name, key)) {
            return line.value;
        }
    }
    return std::nullopt;
}

std::string_view unquote(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

bool holdsLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

std::string getString(std::string_view section, std::string_view key, std::string_view defaultValue,
                      const std::string& path, std::size_t bufferSize)
{
    std::string_view found;
    const auto text = readFile(path);
    std::optional<std::string_view> value;
    if (text) {
        value = findValue(*text, section, key);
    }
    if (value) {
        found = unquote(*value);
    } else {
        const auto end = defaultValue.find_last_not_of(kBlanks);
        found =
            end == std::string_view::npos ? std::string_view{} : defaultValue.substr(0, end + 1);
    }
    if (bufferSize == 0) {
        return {};
    }
    return std::string(found.substr(0, bufferSize - 1));
}

int getInt(std::string_view section, std::string_view key, int defaultValue,
           const std::string& path)
{
    const std::string value = getString(section, key, "", path, 4096);
    std::string_view s = value;
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    const auto digits = std::find_if(s.begin(), s.end(), [](char c) { return c < '0' || c > '9'; });
    if (digits == s.begin()) {
        return defaultValue;
    }
    long long n = 0;
    for (auto it = s.begin(); it != digits && n <= INT_MAX; ++it) {
        n = n * 10 + (*it - '0');
    }
    if (negative) {
        n = -n;
    }
    return static_cast<int>(std::clamp<long long>(n, INT_MIN, INT_MAX));
}

namespace {

// A writer's temporary file is ".NAME.tmp-XXXXXX" beside the file NAME, locked (flock) by the
// writer from its creation until it is renamed over NAME. One that nobody holds locked was
// left by a writer that died.
constexpr std::string_view kTempInfix = ".tmp-";
constexpr std::size_t kTempSuffixLength = 6; // what mkstemp puts in place of XXXXXX

bool isTempName(std::string_view name, std::string_view prefix)
{
    if (name.size() != prefix.size() + kTempSuffixLength ||
        name.substr(0, prefix.size()) != prefix) {
        return false;
    }
    return std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Removes the temporary files of `prefix` in `dir` whose writers are gone. A live writer holds
// its lock, so the try to take it fails and its file stays.
void removeDeadWritersFiles(const std::string& dir, const std::string& prefix)
{
    DIR* folder = opendir(dir.c_str());
    if (!folder) {
        return;
    }
    while (const dirent* entry = readdir(folder)) {
        if (!isTempName(entry->d_name, prefix)) {
            continue;
        }
        const std::string name = dir + entry->d_name;
        const int fd = open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0) {
            unlink(name.c_str());
        }
        close(fd);
    }
    closedir(folder);
}

// A new temporary file at `prefix` + XXXXXX, open and locked; its name in `name`. -1 with errno
// set on failure.
int createLockedTemp(const std::string& prefix, std::string& name)
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::vector<char> pattern(prefix.begin(), prefix.end());
        pattern.insert(pattern.end(), kTempSuffixLength, 'X');
        pattern.push_back('\0');
        const int fd = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            return -1;
        }
        // Between mkostemp and flock another writer may have taken the file for a dead one's
        // and removed it: then the name leads elsewhere, and a new file is made.
        struct stat mine {};
        struct stat named {};
        if (flock(fd, LOCK_EX) == 0 && fstat(fd, &mine) == 0 && stat(pattern.data(), &named) == 0 &&
            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino) {
            name = pattern.data();
            return fd;
        }
        close(fd);
    }
    errno = EAGAIN;
    return -1;
}

} // namespace

bool writeString(std::string_view section, std::string_view key, std::string_view value,
                 const std::string& path, std::string* error)
{
    auto failed = [&](std::string why) {
        if (error) {
            *error = std::move(why);
        }
        return false;
    };
    if (holdsLineBreak(section) || holdsLineBreak(key) || holdsLineBreak(value)) {
        return failed("a line break in a section, key or value");
    }
    if (trim(key).empty() || trim(section).empty()) {
        return failed("an empty section or key name");
    }

    struct stat st {};
    const bool exists = stat(path.c_str(), &st) == 0;
    // The rename below would replace even a file the user marked read-only; refuse as the
    // Windows call does.
    if (exists &&
        ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path.c_str(), W_OK) != 0)) {
        return failed(path + ": the file is read-only");
    }
    const std::optional<std::string> read = exists ? readFile(path) : std::string();
    if (!read) {
        return failed(path + ": cannot read the file");
    }
    const std::string& old = *read;

    bool crlf = false;
    const auto lines = splitLines(old, crlf);
    const std::string eol = crlf ? "\r\n" : "\n";
    const std::string entry = std::string(key) + "=" + std::string(value);

    std::vector<std::string> out(lines.begin(), lines.end());
    std::optional<std::size_t> sectionAt;
    std::optional<std::size_t> lastInSection; // last non-blank line of the section
    bool done = false;
    for (std::size_t i = 0; i < lines.size() && !done; ++i) {
        const Line line = parse(lines[i]);
        if (line.kind == Line::Section) {
            if (sectionAt) {
                break; // past the end of the first matching section
            }
            if (sameName(line.name, section)) {
                sectionAt = lastInSection = i;
            }
        } else if (sectionAt) {
            if (!trim(lines[i]).empty()) {
                lastInSection = i;
            }
            if (line.kind == Line::Entry && sameName(line.name, key)) {
                // Keep the key as the file spells it.
                const auto eq = lines[i].find('=');
                out[i] = std::string(trim(lines[i].substr(0, eq))) + "=" + std::string(value);
                done = true;
            }
        }
    }
    if (!done && sectionAt) {
        out.insert(out.begin() + static_cast<long>(*lastInSection) + 1, entry);
    } else if (!done) {
        if (!out.empty() && !trim(out.back()).empty()) {
            out.emplace_back();
        }
        out.push_back("[" + std::string(section) + "]");
        out.push_back(entry);
    }

    std::string text;
    for (const auto& l : out) {
        text += l;
        text += eol;
    }

    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string tempPrefix = "." + base + std::string(kTempInfix);
    removeDeadWritersFiles(dir, tempPrefix);
    std::string temp;
    const int fd = createLockedTemp(dir + tempPrefix, temp);
    if (fd < 0) {
        return failed(path + ": cannot write in its folder (" + std::strerror(errno) + ")");
    }
    const mode_t mode = exists ? (st.st_mode & 07777) : 0644;
    bool ok = fchmod(fd, mode) == 0;
    std::size_t written = 0;
    while (ok && written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        written += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && fsync(fd) == 0;
    // The lock is held until the temporary file has its final name, so no other writer takes
    // it for a dead one's.
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        const int why = errno;
        unlink(temp.c_str());
        close(fd);
        return failed(path + ": write failed (" + std::strerror(why) + ")");
    }
    close(fd);
    return true;
}

} // namespace kivo::profile
