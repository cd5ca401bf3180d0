#include "platform/automation/registry.h"

#include "platform/automation/text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kivo::automation {

namespace {

constexpr std::string_view kHeader = "KIVO REGISTRY 1";
constexpr std::string_view kEnd = "END";

bool isControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// The key names of a path, with the root spelled out; nullopt for a malformed path.
std::optional<std::vector<std::string_view>> splitPath(std::string_view path)
{
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t cut = path.find('\\');
        const std::string_view part = path.substr(0, cut);
        if (part.empty()) {
            return std::nullopt;
        }
        for (char c : part) {
            if (isControl(c)) {
                return std::nullopt;
            }
        }
        parts.push_back(part);
        if (cut == std::string_view::npos) {
            break;
        }
        path.remove_prefix(cut + 1);
    }
    if (equalsIgnoringCase(parts[0], kClassesRoot) || equalsIgnoringCase(parts[0], "HKCR")) {
        parts[0] = kClassesRoot;
    } else if (equalsIgnoringCase(parts[0], kLocalMachine) ||
               equalsIgnoringCase(parts[0], "HKLM")) {
        parts[0] = kLocalMachine;
    } else {
        return std::nullopt;
    }
    return parts;
}

void appendQuoted(std::string& out, std::string_view s)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '"';
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (isControl(c)) {
                out += "\\x";
                out += kHex[(static_cast<unsigned char>(c) >> 4) & 0xF];
                out += kHex[static_cast<unsigned char>(c) & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

// Reads a quoted string at the start of `line`, consuming it; an error text on failure.
std::optional<std::string> readQuoted(std::string_view& line, std::string& error)
{
    if (line.empty() || line.front() != '"') {
        error = "expected a quoted string";
        return std::nullopt;
    }
    std::string out;
    std::size_t i = 1;
    for (; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] != '\\') {
            out += line[i];
            continue;
        }
        if (++i == line.size()) {
            break;
        }
        switch (line[i]) {
        case '\\':
        case '"':
            out += line[i];
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'x': {
            const int high = i + 1 < line.size() ? hexDigitValue(line[i + 1]) : -1;
            const int low = i + 2 < line.size() ? hexDigitValue(line[i + 2]) : -1;
            if (high < 0 || low < 0) {
                error = "malformed \\x escape";
                return std::nullopt;
            }
            out += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            error = std::string("unknown escape \\") + line[i];
            return std::nullopt;
        }
    }
    if (i >= line.size()) {
        error = "unterminated string";
        return std::nullopt;
    }
    line.remove_prefix(i + 1);
    return out;
}

std::string systemError(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

// Closes a descriptor when it goes out of scope; closing a lock file releases its lock.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

bool makeFolders(const std::string& path)
{
    for (std::size_t cut = path.find('/', 1); cut != std::string::npos;
         cut = path.find('/', cut + 1)) {
        if (::mkdir(path.substr(0, cut).c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A writer's temporary file beside the registry file: its name, this and six characters of
// mkostemp's.
constexpr std::string_view kTempInfix = ".tmp-";

// Removes the temporary files beside `path` that writers killed part way left.
void removeTemporaryFiles(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string prefix =
        (slash == std::string::npos ? path : path.substr(slash + 1)) + std::string(kTempInfix);
    DIR* folder = ::opendir(dir.c_str());
    if (!folder) {
        return;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.substr(0, prefix.size()) != prefix ||
            !std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                         [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; })) {
            continue;
        }
        const std::string full =
            slash == std::string::npos ? std::string(name) : dir + entry->d_name;
        struct stat st {};
        if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            ::unlink(full.c_str());
        }
    }
    ::closedir(folder);
}

} // namespace

struct Registry::Key {
    std::string name;
    std::map<std::string, std::string, LessIgnoringCase> values;
    std::map<std::string, std::unique_ptr<Key>, LessIgnoringCase> subkeys;

    const Key* find(const std::vector<std::string_view>& parts) const
    {
        const Key* k = this;
        for (std::string_view part : parts) {
            const auto it = k->subkeys.find(part);
            if (it == k->subkeys.end()) {
                return nullptr;
            }
            k = it->second.get();
        }
        return k;
    }

    Key* find(const std::vector<std::string_view>& parts)
    {
        return const_cast<Key*>(std::as_const(*this).find(parts));
    }

    Key* findOrCreate(const std::vector<std::string_view>& parts)
    {
        Key* k = this;
        for (std::string_view part : parts) {
            auto it = k->subkeys.find(part);
            if (it == k->subkeys.end()) {
                auto child = std::make_unique<Key>();
                child->name = part;
                it = k->subkeys.emplace(std::string(part), std::move(child)).first;
            }
            k = it->second.get();
        }
        return k;
    }

    void serialize(std::string& out, const std::string& path) const
    {
        out += "\n[" + path + "]\n";
        for (const auto& [valueName, value] : values) {
            if (valueName.empty()) {
                out += '@';
            } else {
                appendQuoted(out, valueName);
            }
            out += '=';
            appendQuoted(out, value);
            out += '\n';
        }
        for (const auto& [subName, sub] : subkeys) {
            sub->serialize(out, path + "\\" + sub->name);
        }
    }
};

Registry::Registry() : top_(std::make_unique<Key>())
{
    top_->findOrCreate({kClassesRoot});
    top_->findOrCreate({kLocalMachine});
}

Registry::Registry(Registry&&) noexcept = default;
Registry& Registry::operator=(Registry&&) noexcept = default;
Registry::~Registry() = default;

bool Registry::keyExists(std::string_view path) const
{
    const auto parts = splitPath(path);
    return parts && top_->find(*parts);
}

std::optional<std::string> Registry::value(std::string_view keyPath, std::string_view name) const
{
    const auto parts = splitPath(keyPath);
    const Key* k = parts ? top_->find(*parts) : nullptr;
    if (!k) {
        return std::nullopt;
    }
    const auto it = k->values.find(name);
    if (it == k->values.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::vector<std::string> Registry::subkeyNames(std::string_view path) const
{
    std::vector<std::string> names;
    const auto parts = splitPath(path);
    if (const Key* k = parts ? top_->find(*parts) : nullptr) {
        for (const auto& [name, sub] : k->subkeys) {
            names.push_back(sub->name);
        }
    }
    return names;
}

std::vector<std::string> Registry::valueNames(std::string_view path) const
{
    std::vector<std::string> names;
    const auto parts = splitPath(path);
    if (const Key* k = parts ? top_->find(*parts) : nullptr) {
        for (const auto& [name, value] : k->values) {
            names.push_back(name);
        }
    }
    return names;
}

bool Registry::createKey(std::string_view path)
{
    const auto parts = splitPath(path);
    return parts && top_->findOrCreate(*parts);
}

bool Registry::setValue(std::string_view keyPath, std::string_view name, std::string_view value)
{
    const auto parts = splitPath(keyPath);
    if (!parts) {
        return false;
    }
    Key* k = top_->findOrCreate(*parts);
    const auto it = k->values.find(name);
    if (it != k->values.end()) {
        it->second = value;
    } else {
        k->values.emplace(std::string(name), std::string(value));
    }
    return true;
}

bool Registry::deleteValue(std::string_view keyPath, std::string_view name)
{
    const auto parts = splitPath(keyPath);
    if (!parts) {
        return false;
    }
    Key* k = top_->find(*parts);
    if (!k) {
        return false;
    }
    const auto it = k->values.find(name);
    if (it == k->values.end()) {
        return false;
    }
    k->values.erase(it);
    return true;
}

bool Registry::deleteKey(std::string_view path)
{
    auto parts = splitPath(path);
    if (!parts || parts->size() < 2) {
        return false;
    }
    const std::string_view last = parts->back();
    parts->pop_back();
    Key* parent = top_->find(*parts);
    if (!parent) {
        return false;
    }
    const auto it = parent->subkeys.find(last);
    if (it == parent->subkeys.end()) {
        return false;
    }
    parent->subkeys.erase(it);
    return true;
}

std::string Registry::serialize() const
{
    std::string out(kHeader);
    out += "\n; Automation servers and settings of this user. Keys in [brackets], then their\n"
           "; values: @ is the default value. Keep the END line.\n";
    for (const auto& [name, root] : top_->subkeys) {
        if (!root->values.empty()) {
            root->serialize(out, root->name);
        } else {
            for (const auto& [subName, sub] : root->subkeys) {
                sub->serialize(out, root->name + "\\" + sub->name);
            }
        }
    }
    out += "\n";
    out += kEnd;
    out += "\n";
    return out;
}

HRESULT Registry::parse(std::string_view text, Registry& out, std::string* message)
{
    Registry parsed;
    Key* current = nullptr;
    bool ended = false;
    std::size_t lineNumber = 0;
    const auto fail = [&](const std::string& what) {
        if (message) {
            *message = "line " + std::to_string(lineNumber) + ": " + what;
        }
        return REGDB_E_READREGDB;
    };
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t cut = text.find('\n');
        std::string_view line = text.substr(0, cut);
        text.remove_prefix(cut == std::string_view::npos ? text.size() : cut + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (lineNumber == 1) {
            if (line != kHeader) {
                return fail("not a registry file (the first line must be \"" +
                            std::string(kHeader) + "\")");
            }
            continue;
        }
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (ended) {
            return fail("text after the END line");
        }
        if (line == kEnd) {
            ended = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.size() < 2 || line.back() != ']') {
                return fail("a key line must end with ]");
            }
            const auto parts = splitPath(line.substr(1, line.size() - 2));
            if (!parts) {
                return fail("malformed key path");
            }
            current = parsed.top_->findOrCreate(*parts);
            continue;
        }
        if (!current) {
            return fail("a value before the first [key] line");
        }
        std::string error;
        std::optional<std::string> name;
        if (line.front() == '@') {
            line.remove_prefix(1);
            name = std::string();
        } else if (!(name = readQuoted(line, error))) {
            return fail(error);
        }
        if (line.empty() || line.front() != '=') {
            return fail("expected = after the value name");
        }
        line.remove_prefix(1);
        const std::optional<std::string> value = readQuoted(line, error);
        if (!value) {
            return fail(error);
        }
        if (!line.empty()) {
            return fail("unexpected text after the value");
        }
        current->values[*name] = *value;
    }
    if (lineNumber == 0) {
        return fail("the file is empty");
    }
    if (!ended) {
        return fail("the file ends before its END line (it is truncated)");
    }
    out = std::move(parsed);
    return S_OK;
}

std::string defaultRegistryPath()
{
    if (const char* path = std::getenv("KIVO_REGISTRY"); path && *path) {
        return path;
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/') {
        return std::string(config) + "/kivo/registry";
    }
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home + "/.config/kivo/registry";
}

std::optional<std::string> registryAsideName(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    Registry ignored;
    if (succeeded(RegistryFile(path).read(ignored, nullptr))) {
        return std::nullopt;
    }
    std::string aside = path + ".damaged";
    for (int n = 2; ::lstat(aside.c_str(), &st) == 0 && n < 1000; ++n) {
        aside = path + ".damaged." + std::to_string(n);
    }
    return aside;
}

RegistryFile::RegistryFile(std::string path) : path_(std::move(path))
{
}

HRESULT RegistryFile::read(Registry& out, std::string* message) const
{
    const auto refuse = [&](const std::string& why) {
        if (message) {
            *message = why;
        }
        return REGDB_E_READREGDB;
    };
    // Without O_NONBLOCK a FIFO would hold the open until someone writes to it; whatever the
    // path is, it is looked at before a byte of it is read.
    FileDescriptor fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            out = Registry();
            return S_OK;
        }
        return refuse(systemError("cannot open the registry file", path_));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return refuse(systemError("cannot read the registry file", path_));
    }
    if (!S_ISREG(st.st_mode)) {
        return refuse("the registry file " + path_ + " is not a regular file");
    }
    const std::string tooLarge = "the registry file " + path_ + " is larger than any registry (" +
                                 std::to_string(kMaxRegistryFileSize / (1024 * 1024)) + " MiB)";
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxRegistryFileSize) {
        return refuse(tooLarge);
    }
    std::string text;
    char buffer[8192];
    while (true) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return refuse(systemError("cannot read the registry file", path_));
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        // Someone else's file may grow while it is read.
        if (text.size() > kMaxRegistryFileSize) {
            return refuse(tooLarge);
        }
    }
    std::string error;
    const HRESULT hr = Registry::parse(text, out, &error);
    if (failed(hr) && message) {
        *message = "the registry file " + path_ + " is damaged, " + error;
    }
    return hr;
}

HRESULT RegistryFile::update(const Change& change, std::string* message)
{
    const auto fail = [&](const std::string& what) {
        if (message) {
            *message = systemError(what, path_);
        }
        return REGDB_E_WRITEREGDB;
    };
    if (!makeFolders(path_)) {
        return fail("cannot create the folder of the registry file");
    }
    // The lock sits in a file of its own: the registry file itself is replaced on each write.
    const std::string lockPath = path_ + ".lock";
    FileDescriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0) {
        return fail("cannot open the lock of the registry file");
    }
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return fail("cannot lock the registry file");
        }
    }
    Registry registry;
    HRESULT hr = read(registry, message);
    if (failed(hr)) {
        return hr;
    }
    hr = change(registry, message);
    if (failed(hr)) {
        return hr;
    }
    const std::string text = registry.serialize();
    // A file that no read would take back.
    if (text.size() > kMaxRegistryFileSize) {
        if (message) {
            *message = "the registry file " + path_ + " would be larger than any registry (" +
                       std::to_string(kMaxRegistryFileSize / (1024 * 1024)) +
                       " MiB); nothing is written";
        }
        return REGDB_E_WRITEREGDB;
    }
    // Only writers holding the lock make temporary files, so any found now is a dead one's.
    removeTemporaryFiles(path_);
    std::string temp = path_ + std::string(kTempInfix) + "XXXXXX";
    FileDescriptor out(::mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0) {
        return fail("cannot create a temporary file beside");
    }
    if (!writeAll(out.get(), text) || ::fchmod(out.get(), 0600) != 0 || ::fsync(out.get()) != 0 ||
        ::close(out.release()) != 0 || ::rename(temp.c_str(), path_.c_str()) != 0) {
        const HRESULT result = fail("cannot write the registry file");
        ::unlink(temp.c_str());
        return result;
    }
    return S_OK;
}

} // namespace kivo::automation
