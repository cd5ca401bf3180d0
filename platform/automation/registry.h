// The registry: a per-user tree of keys holding named string values, kept in one human-readable
// file.
//
// Key paths start with their root, "HKEY_CLASSES_ROOT" or "HKEY_LOCAL_MACHINE" ("HKCR" and "HKLM"
// are accepted too), and use "\" between key names: "HKEY_CLASSES_ROOT\CLSID\{...}\ProgID".
// Key and value names match without regard to letter case and keep the case they were created
// with. A key's default value has the name "" (written @ in the file); a key may have none.
//
// The file (see RegistryFile) reads like this:
//
//   KIVO REGISTRY 1
//   [HKEY_CLASSES_ROOT\KivoX.Kivo.1]
//   @="Kivo Class"
//   [HKEY_CLASSES_ROOT\KivoX.Kivo.1\CLSID]
//   @="{...}"
//   END
//
// Strings are quoted, with \\ \" \n \r \t and \xHH escapes; lines starting with ";" are comments.
// The END line guards against a truncated file.
#pragma once

#include "platform/automation/hresult.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::automation {

inline constexpr const char* kClassesRoot = "HKEY_CLASSES_ROOT";
inline constexpr const char* kLocalMachine = "HKEY_LOCAL_MACHINE";

// The tree in memory. Functions taking a path return false (or nothing) for a path that is
// malformed: an unknown root, an empty key name, or a name with a control character.
class Registry {
public:
    Registry();
    Registry(Registry&&) noexcept;
    Registry& operator=(Registry&&) noexcept;
    ~Registry();

    bool keyExists(std::string_view path) const;
    // The value `name` of the key ("" for the default value); nullopt when key or value is absent.
    std::optional<std::string> value(std::string_view keyPath, std::string_view name = {}) const;
    std::vector<std::string> subkeyNames(std::string_view path) const;
    std::vector<std::string> valueNames(std::string_view path) const;

    // Creates the key and any missing parents.
    bool createKey(std::string_view path);
    // Creates the key as needed and sets the value.
    bool setValue(std::string_view keyPath, std::string_view name, std::string_view value);
    // False when there was no such value.
    bool deleteValue(std::string_view keyPath, std::string_view name);
    // Removes the key with everything under it; false when there was no such key. A root stays.
    bool deleteKey(std::string_view path);

    // The file text; parse(serialize()) gives the same tree.
    std::string serialize() const;
    // Reads file text. REGDB_E_READREGDB with a message naming the line for anything malformed
    // or truncated; `out` is then left as it was.
    static HRESULT parse(std::string_view text, Registry& out, std::string* message);

    struct Key;

private:
    std::unique_ptr<Key> top_;
};

// No registry file is larger. A registration adds well under a kilobyte, so this holds thousands
// of servers, and a file read whole into memory stays small.
inline constexpr std::size_t kMaxRegistryFileSize = 8 * 1024 * 1024;

// The registry file named by $KIVO_REGISTRY when that is set and not empty, else
// $XDG_CONFIG_HOME/kivo/registry, else ~/.config/kivo/registry.
std::string defaultRegistryPath();

// Where to move a registry file that exists but cannot be read as it stands (damaged, truncated,
// too large), since registering refuses it: registering again then starts a fresh file, and the
// old one is kept for a look. "PATH.damaged", or "PATH.damaged.2" and on when that is taken.
// nullopt when the file reads well or is missing, and for what is no regular file (a FIFO or a
// device is the user's to remove, never to move).
std::optional<std::string> registryAsideName(const std::string& path = defaultRegistryPath());

// The file behind a registry. A file that does not exist yet is an empty registry.
class RegistryFile {
public:
    explicit RegistryFile(std::string path = defaultRegistryPath());
    const std::string& path() const { return path_; }

    // Reads the file as it is now; needs no lock, since writers replace it whole.
    // REGDB_E_READREGDB and a message naming the file when it cannot be read, is not a regular
    // file (a FIFO, a device, a folder: refused without waiting on it or reading from it), is
    // larger than kMaxRegistryFileSize or is malformed.
    HRESULT read(Registry& out, std::string* message) const;

    // Applies `change` to the registry under the file's lock and replaces the file atomically
    // (a temporary file renamed over it), so concurrent updaters, also from other processes,
    // never lose each other's keys and a reader never sees half a file. The folder is created when
    // missing. Nothing is written when the file cannot be read (REGDB_E_READREGDB: a corrupt file
    // is left for the user to see), when `change` fails (its HRESULT), when the result would be
    // larger than kMaxRegistryFileSize or when writing fails (REGDB_E_WRITEREGDB). The temporary
    // file ("registry.tmp-XXXXXX" beside "registry") of a writer that was killed part way is
    // removed by the next update.
    using Change = std::function<HRESULT(Registry& registry, std::string* message)>;
    HRESULT update(const Change& change, std::string* message);

private:
    std::string path_;
};

} // namespace kivo::automation
