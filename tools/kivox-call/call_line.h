// The calls kivox-call makes: the text of one CALL, NAME(ARG, ...), read into the arguments the
// operation declares, made late bound by name, and written back as one line of JSON.
#pragma once

#include "platform/automation/dispatch.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::kivoxcall {

// One argument as written: a decimal integer; true or false; a string in double quotes, where a
// backslash escapes a quote or a backslash; [N] for a new array of N 16-bit zeros with lower
// bound 1; or [a,b,...] for one that holds two or more given elements.
struct Literal {
    enum Kind { Integer, Boolean, String, NewArray, Array };
    Kind kind = Integer;
    std::int64_t integer = 0; // Integer and Boolean (1 or 0); NewArray: its size
    std::string text;
    std::vector<std::int64_t> elements;
};

struct CallText {
    std::string name;
    std::vector<Literal> args;
};

// Reads NAME(ARG, ...); nullopt with *error saying what is wrong.
std::optional<CallText> parseCall(std::string_view text, std::string* error);

// A call ready to be made: each argument as a variant of the type its parameter declares, by
// reference where the parameter is in/out.
class PreparedCall {
public:
    // nullopt with *error when the operation is unknown, the number of arguments is wrong, or an
    // argument cannot be given as its parameter's type.
    static std::optional<PreparedCall>
    prepare(const CallText& call, const automation::InterfaceInfo& info, std::string* error);

    PreparedCall(PreparedCall&&) = default;
    PreparedCall& operator=(PreparedCall&&) = default;

    const std::string& name() const { return name_; }
    // What the last invoke returned.
    automation::HRESULT hresult() const { return hr_; }

    // Looks the name up on the object and invokes it. DISP_E_UNKNOWNNAME when the object does
    // not know it.
    automation::HRESULT invoke(automation::IDispatch* object);

    // After invoke: {"op": NAME, "hresult": "0x...", "result": ..., "args": [...]}.
    std::string json() const;

private:
    PreparedCall() = default;

    std::string name_;
    std::vector<automation::ParamInfo> params_;
    // By-value arguments themselves; for an in/out one the value it refers to.
    std::vector<automation::Variant> values_;
    std::vector<automation::Variant> args_;
    automation::Variant result_;
    automation::HRESULT hr_ = automation::S_OK;
};

// A JSON string literal, quotes included.
std::string jsonString(std::string_view text);

} // namespace kivo::kivoxcall
