#include "tools/kivox-call/call_line.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>

namespace kivo::kivoxcall {

using namespace automation;

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    void skipBlanks()
    {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
            ++pos_;
        }
    }
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    bool take(char c)
    {
        skipBlanks();
        if (peek() != c) {
            return false;
        }
        ++pos_;
        return true;
    }
    std::string word()
    {
        skipBlanks();
        const std::size_t start = pos_;
        while (!atEnd() && (std::isalnum(static_cast<unsigned char>(peek())) || peek() == '_')) {
            ++pos_;
        }
        return std::string(text_.substr(start, pos_ - start));
    }
    std::optional<std::int64_t> integer()
    {
        skipBlanks();
        std::int64_t value = 0;
        const char* begin = text_.data() + pos_;
        const char* end = text_.data() + text_.size();
        const auto [next, ec] = std::from_chars(begin, end, value);
        if (ec != std::errc() || next == begin) {
            return std::nullopt;
        }
        pos_ += static_cast<std::size_t>(next - begin);
        return value;
    }
    std::optional<std::string> quoted()
    {
        if (!take('"')) {
            return std::nullopt;
        }
        std::string out;
        while (!atEnd()) {
            char c = text_[pos_++];
            if (c == '"') {
                return out;
            }
            if (c == '\\') {
                if (atEnd() || (peek() != '"' && peek() != '\\')) {
                    return std::nullopt;
                }
                c = text_[pos_++];
            }
            out += c;
        }
        return std::nullopt;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

std::optional<Literal> readLiteral(Reader& in, std::string* error)
{
    in.skipBlanks();
    Literal lit;
    const char c = in.peek();
    if (c == '"') {
        lit.kind = Literal::String;
        if (auto text = in.quoted()) {
            lit.text = *text;
            return lit;
        }
        *error = "a string without its closing quote (or a backslash before another character)";
        return std::nullopt;
    }
    if (c == '[') {
        in.take('[');
        std::vector<std::int64_t> values;
        do {
            const auto v = in.integer();
            if (!v) {
                *error = "an array is [N] or [a,b,...] of integers";
                return std::nullopt;
            }
            values.push_back(*v);
        } while (in.take(','));
        if (!in.take(']')) {
            *error = "an array without its closing ]";
            return std::nullopt;
        }
        if (values.size() == 1) {
            lit.kind = Literal::NewArray;
            lit.integer = values[0];
            if (lit.integer < 1 || lit.integer > 0xFFFF) {
                *error = "[N] needs N from 1 to 65535";
                return std::nullopt;
            }
        } else {
            lit.kind = Literal::Array;
            lit.elements = std::move(values);
        }
        return lit;
    }
    if (c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c))) {
        in.take('+');
        if (const auto v = in.integer()) {
            lit.integer = *v;
            return lit;
        }
        *error = "a malformed number";
        return std::nullopt;
    }
    const std::string w = in.word();
    if (w == "true" || w == "false") {
        lit.kind = Literal::Boolean;
        lit.integer = w == "true";
        return lit;
    }
    *error = w.empty() ? "a missing argument" : "an unknown argument \"" + w + "\"";
    return std::nullopt;
}

const char* typeName(ParamType type)
{
    switch (type) {
    case ParamType::I2:
        return "a 16-bit integer";
    case ParamType::I4:
        return "a 32-bit integer";
    case ParamType::Bool:
        return "a boolean";
    case ParamType::Bstr:
        return "a string";
    case ParamType::ArrayI2:
        return "an array";
    }
    return "?";
}

// The literal as a by-value variant of its own type; E_OUTOFMEMORY or DISP_E_OVERFLOW.
HRESULT variantOf(const Literal& lit, Variant& out)
{
    switch (lit.kind) {
    case Literal::Integer:
        if (lit.integer < std::numeric_limits<std::int32_t>::min() ||
            lit.integer > std::numeric_limits<std::int32_t>::max()) {
            return DISP_E_OVERFLOW;
        }
        out = Variant::i4(static_cast<std::int32_t>(lit.integer));
        return S_OK;
    case Literal::Boolean:
        out = Variant::boolean(lit.integer != 0);
        return S_OK;
    case Literal::String: {
        BSTR s = bstrFromUtf8(lit.text);
        if (!s) {
            return E_OUTOFMEMORY;
        }
        out = Variant::string(s);
        return S_OK;
    }
    case Literal::NewArray:
    case Literal::Array:
        break;
    }
    const bool given = lit.kind == Literal::Array;
    const auto count = static_cast<std::uint32_t>(given ? lit.elements.size() : lit.integer);
    for (const std::int64_t e : lit.elements) {
        if (e < std::numeric_limits<std::int16_t>::min() ||
            e > std::numeric_limits<std::int16_t>::max()) {
            return DISP_E_OVERFLOW;
        }
    }
    SafeArray* a = SafeArrayCreateVector(VT_I2, 1, count);
    if (!a) {
        return E_OUTOFMEMORY;
    }
    for (std::uint32_t k = 0; given && k < count; ++k) {
        static_cast<std::int16_t*>(a->pvData)[k] = static_cast<std::int16_t>(lit.elements[k]);
    }
    out = Variant::array(a);
    return S_OK;
}

// A reference to the value a by-value variant holds.
Variant referenceTo(Variant& value)
{
    switch (value.vt) {
    case VT_I2:
        return Variant::ref(&value.iVal);
    case VT_I4:
        return Variant::ref(&value.lVal);
    case VT_BOOL:
        return Variant::ref(&value.boolVal);
    case VT_BSTR:
        return Variant::ref(&value.bstrVal);
    default:
        return Variant::ref(&value.parray);
    }
}

std::string jsonOf(const Variant& v)
{
    switch (v.vt) {
    case VT_I2:
        return std::to_string(v.iVal);
    case VT_I4:
        return std::to_string(v.lVal);
    case VT_BOOL:
        return isTrue(v.boolVal) ? "true" : "false";
    case VT_BSTR:
        return jsonString(toUtf8(v.bstrVal));
    case VT_ARRAY | VT_I2: {
        std::string out = "[";
        const auto* data = v.parray ? static_cast<const std::int16_t*>(v.parray->pvData) : nullptr;
        const std::uint64_t count = v.parray ? SafeArrayElementCount(v.parray) : 0;
        for (std::uint64_t k = 0; k < count; ++k) {
            out += (k ? ", " : "") + std::to_string(data[k]);
        }
        return out + "]";
    }
    default:
        return "null";
    }
}

} // namespace

std::optional<CallText> parseCall(std::string_view text, std::string* error)
{
    std::string ignored;
    if (!error) {
        error = &ignored;
    }
    Reader in(text);
    CallText call;
    call.name = in.word();
    if (call.name.empty() || std::isdigit(static_cast<unsigned char>(call.name[0]))) {
        *error = "a call starts with the operation's name";
        return std::nullopt;
    }
    if (!in.take('(')) {
        *error = "the operation's name is followed by its arguments in ( )";
        return std::nullopt;
    }
    if (!in.take(')')) {
        do {
            auto lit = readLiteral(in, error);
            if (!lit) {
                *error = "argument " + std::to_string(call.args.size() + 1) + ": " + *error;
                return std::nullopt;
            }
            call.args.push_back(std::move(*lit));
        } while (in.take(','));
        if (!in.take(')')) {
            *error = "the arguments are separated by , and end with )";
            return std::nullopt;
        }
    }
    in.skipBlanks();
    if (!in.atEnd()) {
        *error = "text after the closing )";
        return std::nullopt;
    }
    return call;
}

std::optional<PreparedCall> PreparedCall::prepare(const CallText& call, const InterfaceInfo& info,
                                                  std::string* error)
{
    const MethodInfo* method = info.find(call.name);
    if (!method) {
        *error = "no operation " + call.name;
        return std::nullopt;
    }
    PreparedCall prepared;
    prepared.name_ = method->name;
    for (const ParamInfo& p : method->params) {
        if (p.direction != Direction::RetVal) {
            prepared.params_.push_back(p);
        }
    }
    if (call.args.size() != prepared.params_.size()) {
        *error = std::string(method->name) + " takes " + std::to_string(prepared.params_.size()) +
                 " arguments, not " + std::to_string(call.args.size());
        return std::nullopt;
    }
    // Sized once: the in/out arguments point into these values.
    prepared.values_.resize(prepared.params_.size());
    prepared.args_.resize(prepared.params_.size());
    for (std::size_t i = 0; i < prepared.params_.size(); ++i) {
        const ParamInfo& p = prepared.params_[i];
        const Literal& lit = call.args[i];
        const bool isArray = lit.kind == Literal::NewArray || lit.kind == Literal::Array;
        Variant given;
        HRESULT hr = (isArray == (p.type == ParamType::ArrayI2)) ? variantOf(lit, given)
                                                                 : DISP_E_TYPEMISMATCH;
        if (succeeded(hr) && p.direction == Direction::InOut) {
            hr = VariantChangeType(prepared.values_[i], given, varType(p.type));
            prepared.args_[i] = referenceTo(prepared.values_[i]);
        } else if (succeeded(hr)) {
            // By value the object converts it itself, as it would for any late-bound caller.
            prepared.args_[i] = std::move(given);
        }
        if (failed(hr)) {
            *error = "argument " + std::to_string(i + 1) + " of " + method->name +
                     " cannot be given as " + typeName(p.type) + " (" + describeHresult(hr) + ")";
            return std::nullopt;
        }
    }
    return prepared;
}

HRESULT PreparedCall::invoke(IDispatch* object)
{
    DISPID id = DISPID_UNKNOWN;
    hr_ = object->GetIDOfName(name_.c_str(), &id);
    if (succeeded(hr_)) {
        VariantClear(result_);
        hr_ = object->Invoke(id, args_.data(), static_cast<std::uint32_t>(args_.size()), &result_,
                             nullptr);
    }
    return hr_;
}

std::string PreparedCall::json() const
{
    char hr[16];
    std::snprintf(hr, sizeof hr, "0x%08X", static_cast<unsigned>(hr_));
    std::string out = "{\"op\": " + jsonString(name_) + ", \"hresult\": \"" + hr +
                      "\", \"result\": " + jsonOf(result_) + ", \"args\": [";
    for (std::size_t i = 0; i < args_.size(); ++i) {
        const Variant& v = params_[i].direction == Direction::InOut ? values_[i] : args_[i];
        out += (i ? ", " : "") + jsonOf(v);
    }
    return out + "]}";
}

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
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
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

} // namespace kivo::kivoxcall
