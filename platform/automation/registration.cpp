#include "platform/automation/registration.h"

#include "platform/automation/text.h"

#include <optional>

namespace kivo::automation {

namespace {

struct Token {
    std::string text;
    bool quoted = false;
    int line = 0;

    bool is(std::string_view word) const { return !quoted && equalsIgnoringCase(text, word); }
};

std::string replaceModule(std::string text, std::string_view modulePath)
{
    static constexpr std::string_view kModule = "%MODULE%";
    for (std::size_t at = text.find(kModule); at != std::string::npos;
         at = text.find(kModule, at + modulePath.size())) {
        text.replace(at, kModule.size(), modulePath);
    }
    return text;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

struct RegistrationScript::Key {
    enum class Kind { Plain, NoRemove, ForceRemove };
    std::string name;
    Kind kind = Kind::Plain;
    std::optional<std::string> defaultValue;
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<Key> subkeys;
};

namespace {

using Key = RegistrationScript::Key;

class Parser {
public:
    Parser(std::string_view text, std::string_view modulePath) : modulePath_(modulePath)
    {
        tokenize(text);
    }

    bool parse(std::vector<Key>& roots)
    {
        if (!error_.empty()) {
            return false;
        }
        while (pos_ < tokens_.size()) {
            Key root;
            const Token& name = next();
            if (name.is("HKCR") || name.is(kClassesRoot)) {
                root.name = kClassesRoot;
            } else if (name.is("HKLM") || name.is(kLocalMachine)) {
                root.name = kLocalMachine;
            } else {
                return fail(name, "expected a root (HKCR or HKLM)");
            }
            root.kind = Key::Kind::NoRemove;
            if (!expect("{") || !parseBody(root)) {
                return false;
            }
            roots.push_back(std::move(root));
        }
        return true;
    }

    const std::string& error() const { return error_; }

private:
    void tokenize(std::string_view text)
    {
        int line = 1;
        std::size_t i = 0;
        while (i < text.size()) {
            if (isBlank(text[i])) {
                line += text[i++] == '\n';
                continue;
            }
            Token t;
            t.line = line;
            if (text[i] == '\'') {
                t.quoted = true;
                bool closed = false;
                for (++i; i < text.size(); ++i) {
                    if (text[i] == '\'') {
                        if (i + 1 < text.size() && text[i + 1] == '\'') {
                            t.text += '\'';
                            ++i;
                            continue;
                        }
                        closed = true;
                        ++i;
                        break;
                    }
                    line += text[i] == '\n';
                    t.text += text[i];
                }
                if (!closed) {
                    error_ = "line " + std::to_string(t.line) + ": unterminated quoted text";
                    return;
                }
            } else {
                while (i < text.size() && !isBlank(text[i])) {
                    t.text += text[i++];
                }
            }
            t.text = replaceModule(std::move(t.text), modulePath_);
            tokens_.push_back(std::move(t));
        }
    }

    const Token& next()
    {
        static const Token kEndToken{"end of script", true, 0};
        return pos_ < tokens_.size() ? tokens_[pos_++] : kEndToken;
    }
    const Token* peek() const { return pos_ < tokens_.size() ? &tokens_[pos_] : nullptr; }

    bool fail(const Token& at, const std::string& what)
    {
        error_ =
            (at.line ? "line " + std::to_string(at.line) + ": " : std::string("at the end: ")) +
            what + " (found '" + at.text + "')";
        return false;
    }

    bool expect(std::string_view word)
    {
        const Token& t = next();
        return t.is(word) || fail(t, "expected " + std::string(word));
    }

    bool stringValue(std::string& out)
    {
        if (!expect("=")) {
            return false;
        }
        const Token& type = next();
        if (!type.is("s")) {
            return fail(type, "only string values (s) are supported");
        }
        const Token& value = next();
        if (!value.quoted && (value.is("{") || value.is("}"))) {
            return fail(value, "expected a value");
        }
        out = value.text;
        return true;
    }

    bool name(const Token& t, std::string& out)
    {
        if (t.line == 0 || t.text.empty() || (!t.quoted && (t.is("{") || t.is("}") || t.is("=")))) {
            return fail(t, "expected a key name");
        }
        if (t.text.find('\\') != std::string::npos) {
            return fail(t, "a key name cannot hold \\");
        }
        out = t.text;
        return true;
    }

    // The entries between a key's braces, the opening one already read.
    bool parseBody(Key& key)
    {
        while (true) {
            const Token* t = peek();
            if (!t) {
                return fail(next(), "expected }");
            }
            if (t->is("}")) {
                next();
                return true;
            }
            if (t->is("val")) {
                next();
                std::pair<std::string, std::string> v;
                if (!name(next(), v.first) || !stringValue(v.second)) {
                    return false;
                }
                key.values.push_back(std::move(v));
                continue;
            }
            Key sub;
            if (t->is("NoRemove")) {
                sub.kind = Key::Kind::NoRemove;
                next();
            } else if (t->is("ForceRemove")) {
                sub.kind = Key::Kind::ForceRemove;
                next();
            }
            if (!name(next(), sub.name)) {
                return false;
            }
            if (const Token* after = peek(); after && after->is("=")) {
                std::string value;
                if (!stringValue(value)) {
                    return false;
                }
                sub.defaultValue = std::move(value);
            }
            if (const Token* after = peek(); after && after->is("{")) {
                next();
                if (!parseBody(sub)) {
                    return false;
                }
            }
            key.subkeys.push_back(std::move(sub));
        }
    }

    std::string_view modulePath_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    std::string error_;
};

bool registerKey(Registry& r, const Key& key, const std::string& path, std::string* message)
{
    if (key.kind == Key::Kind::ForceRemove) {
        r.deleteKey(path);
    }
    bool ok = r.createKey(path);
    if (ok && key.defaultValue) {
        ok = r.setValue(path, "", *key.defaultValue);
    }
    for (const auto& [name, value] : key.values) {
        ok = ok && r.setValue(path, name, value);
    }
    if (!ok) {
        if (message) {
            *message = "the registry cannot hold the key " + path;
        }
        return false;
    }
    for (const Key& sub : key.subkeys) {
        if (!registerKey(r, sub, path + "\\" + sub.name, message)) {
            return false;
        }
    }
    return true;
}

void unregisterKey(Registry& r, const Key& key, const std::string& path)
{
    if (key.kind == Key::Kind::ForceRemove) {
        r.deleteKey(path);
        return;
    }
    for (const Key& sub : key.subkeys) {
        unregisterKey(r, sub, path + "\\" + sub.name);
    }
    if (key.kind == Key::Kind::NoRemove) {
        return;
    }
    if (key.defaultValue) {
        r.deleteValue(path, "");
    }
    for (const auto& [name, value] : key.values) {
        r.deleteValue(path, name);
    }
    if (r.subkeyNames(path).empty() && r.valueNames(path).empty()) {
        r.deleteKey(path);
    }
}

std::string versionText(const TypeLibInfo& t)
{
    static constexpr char kHex[] = "0123456789abcdef";
    const auto hex = [](std::uint16_t v) {
        std::string s;
        do {
            s.insert(s.begin(), kHex[v & 0xF]);
            v >>= 4;
        } while (v);
        return s;
    };
    return hex(t.majorVersion) + "." + hex(t.minorVersion);
}

std::string typeLibKey(const TypeLibInfo& t)
{
    return std::string(kClassesRoot) + "\\TypeLib\\" + toString(t.libid);
}

} // namespace

RegistrationScript::RegistrationScript() = default;
RegistrationScript::RegistrationScript(RegistrationScript&&) noexcept = default;
RegistrationScript& RegistrationScript::operator=(RegistrationScript&&) noexcept = default;
RegistrationScript::~RegistrationScript() = default;

HRESULT RegistrationScript::parse(std::string_view text, std::string_view modulePath,
                                  RegistrationScript& out, std::string* message)
{
    Parser parser(text, modulePath);
    std::vector<Key> roots;
    if (!parser.parse(roots)) {
        if (message) {
            *message = "registration script, " + parser.error();
        }
        return E_FAIL;
    }
    out.roots_ = std::move(roots);
    return S_OK;
}

HRESULT RegistrationScript::registerIn(Registry& registry, std::string* message) const
{
    for (const Key& root : roots_) {
        for (const Key& sub : root.subkeys) {
            if (!registerKey(registry, sub, root.name + "\\" + sub.name, message)) {
                return E_FAIL;
            }
        }
    }
    return S_OK;
}

HRESULT RegistrationScript::unregisterFrom(Registry& registry, std::string*) const
{
    for (const Key& root : roots_) {
        for (const Key& sub : root.subkeys) {
            unregisterKey(registry, sub, root.name + "\\" + sub.name);
        }
    }
    return S_OK;
}

void registerTypeLib(Registry& registry, const TypeLibInfo& typeLib, std::string_view modulePath)
{
    const std::string key = typeLibKey(typeLib) + "\\" + versionText(typeLib);
    const std::string path(modulePath);
    const std::size_t slash = path.rfind('/');
    registry.deleteKey(key);
    registry.setValue(key, "", typeLib.helpText ? typeLib.helpText : "");
    registry.setValue(key + "\\0\\linux", "", path);
    registry.setValue(key + "\\FLAGS", "", "0");
    registry.setValue(key + "\\HELPDIR", "",
                      slash == std::string::npos ? "" : path.substr(0, slash));
}

void unregisterTypeLib(Registry& registry, const TypeLibInfo& typeLib)
{
    const std::string key = typeLibKey(typeLib);
    registry.deleteKey(key + "\\" + versionText(typeLib));
    if (registry.subkeyNames(key).empty() && registry.valueNames(key).empty()) {
        registry.deleteKey(key);
    }
}

HRESULT updateServerRegistration(std::string_view script, const TypeLibInfo* typeLib,
                                 const std::string& modulePath, bool unregister,
                                 std::string* message)
{
    RegistrationScript parsed;
    const HRESULT hr = RegistrationScript::parse(script, modulePath, parsed, message);
    if (failed(hr)) {
        return hr;
    }
    RegistryFile file;
    return file.update(
        [&](Registry& registry, std::string* error) {
            if (unregister) {
                if (typeLib) {
                    unregisterTypeLib(registry, *typeLib);
                }
                return parsed.unregisterFrom(registry, error);
            }
            const HRESULT result = parsed.registerIn(registry, error);
            if (succeeded(result) && typeLib) {
                registerTypeLib(registry, *typeLib, modulePath);
            }
            return result;
        },
        message);
}

} // namespace kivo::automation
