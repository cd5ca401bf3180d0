// The caller's side of late binding: create an object by ProgID and call its members by name in
// one line of C++.
//
//   HRESULT hr = S_OK;
//   std::string why;
//   ComPtr<IDispatch> link = createObject("KivoX.Kivo.1", &hr, &why);
//   std::int16_t type = 0;
//   CallResult r = call(link, "GetModuleType", uid, mid, byRef(type));
//   if (r.ok() && r.status == "CMD_OK") { ... type now holds the reply ... }
//
// Arguments are C++ values: std::int16_t, int (32-bit), double, bool, std::string, const char*
// and Int16Array, passed by value, or wrapped in byRef() to pass a variable by reference. A
// by-reference variable is updated when the call returns (a string or a bool through a temporary
// that is copied back). The object converts by-value arguments to the types its members
// declare; a by-reference argument must already have the declared type (std::int16_t for a
// 16-bit parameter, int for a 32-bit one).
#pragma once

#include "platform/automation/activation.h"
#include "platform/automation/interfaces.h"
#include "platform/automation/safearray.h"
#include "platform/automation/variant.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace kivo::automation {

// Creates the object of a ProgID and gives its IDispatch; an empty pointer on failure, with the
// HRESULT and the message (see activation.h) in *hr and *message when asked for.
ComPtr<IDispatch> createObject(std::string_view progId, HRESULT* hr = nullptr,
                               std::string* message = nullptr);

// A caller's array of 16-bit integers with its own bounds, as `Dim a(1 To 8) As Integer` would
// declare it: Int16Array a(1, 8) holds a[1] to a[8].
class Int16Array {
public:
    // `count` elements from index `lowerBound`, all 0. Throws std::bad_alloc when memory runs out.
    Int16Array(std::int32_t lowerBound, std::uint32_t count);
    Int16Array(Int16Array&& other) noexcept;
    Int16Array& operator=(Int16Array&& other) noexcept;
    Int16Array(const Int16Array&) = delete;
    Int16Array& operator=(const Int16Array&) = delete;
    ~Int16Array();

    std::int32_t lowerBound() const;
    std::uint32_t size() const;
    // The element at the array's own index; throws std::out_of_range outside the bounds.
    std::int16_t& operator[](std::int32_t index);
    std::int16_t operator[](std::int32_t index) const;
    // The elements from the start, whatever the lower bound.
    std::vector<std::int16_t> values() const;

    SafeArray* get() const { return array_; }
    // The slot for a by-reference argument; a callee may replace the array.
    SafeArray** slot() { return &array_; }

private:
    SafeArray* array_ = nullptr;
};

template <class T> struct ByRef {
    T& variable;
};

// Passes `variable` by reference.
template <class T> ByRef<T> byRef(T& variable)
{
    return ByRef<T>{variable};
}

struct CallResult {
    HRESULT hr = S_OK;
    // The member's result as text: its status string for most members, "" when it has none.
    std::string status;
    // For a failure: what failed, e.g. "GetModuleType: argument 3: DISP_E_TYPEMISMATCH ...".
    std::string error;

    bool ok() const { return succeeded(hr); }
};

// Looks `name` up and invokes it with prepared variants (first argument first); the core of
// call(), for callers that build variants themselves.
CallResult invokeByName(IDispatch* object, std::string_view name, Variant* args,
                        std::uint32_t argCount);

namespace detail {

// One argument held for the duration of a call, built in place from the caller's value.
// variant() sets `outOfMemory` when it could not allocate the argument's string or array.
struct ArgBase {
    bool outOfMemory = false;
    void writeBack() {}
};

template <class T> struct Arg;

template <> struct Arg<std::int16_t> : ArgBase {
    explicit Arg(std::int16_t v) : value(v) {}
    Variant variant() { return Variant::i2(value); }
    std::int16_t value;
};
template <> struct Arg<std::int32_t> : ArgBase {
    explicit Arg(std::int32_t v) : value(v) {}
    Variant variant() { return Variant::i4(value); }
    std::int32_t value;
};
template <> struct Arg<double> : ArgBase {
    explicit Arg(double v) : value(v) {}
    Variant variant() { return Variant::r8(value); }
    double value;
};
template <> struct Arg<bool> : ArgBase {
    explicit Arg(bool v) : value(v) {}
    Variant variant() { return Variant::boolean(value); }
    bool value;
};
template <> struct Arg<std::string_view> : ArgBase {
    explicit Arg(std::string_view v) : value(v) {}
    // A null const char* passes the null string.
    explicit Arg(const char* v) : value(v ? v : ""), null(!v) {}
    Variant variant()
    {
        BSTR s = null ? nullptr : bstrFromUtf8(value);
        outOfMemory = !null && !s;
        return Variant::string(s);
    }
    std::string_view value;
    bool null = false;
};
template <> struct Arg<Int16Array> : ArgBase {
    explicit Arg(const Int16Array& a) : array(a) {}
    // By value the callee gets a copy; what it writes there does not come back.
    Variant variant()
    {
        SafeArray* copy = nullptr;
        outOfMemory = failed(SafeArrayCopy(array.get(), &copy));
        return Variant::array(copy);
    }
    const Int16Array& array;
};
template <class T> struct Arg<ByRef<T>> : ArgBase {
    static_assert(std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t> ||
                      std::is_same_v<T, double>,
                  "byRef() takes std::int16_t, int, double, bool, std::string or Int16Array");
    explicit Arg(ByRef<T> r) : ref(r) {}
    Variant variant() { return Variant::ref(&ref.variable); }
    ByRef<T> ref;
};
template <> struct Arg<ByRef<bool>> : ArgBase {
    explicit Arg(ByRef<bool> r) : ref(r), temp(toVariantBool(r.variable)) {}
    Variant variant() { return Variant::ref(&temp); }
    void writeBack() { ref.variable = isTrue(temp); }
    ByRef<bool> ref;
    VariantBool temp;
};
template <> struct Arg<ByRef<std::string>> : ArgBase {
    explicit Arg(ByRef<std::string> r) : ref(r), temp(bstrFromUtf8(r.variable)) {}
    Arg(const Arg&) = delete;
    Arg& operator=(const Arg&) = delete;
    // The callee may have replaced the string (freeing the first); what is there now is ours.
    ~Arg() { SysFreeString(temp); }
    Variant variant()
    {
        outOfMemory = !temp;
        return Variant::ref(&temp);
    }
    void writeBack() { ref.variable = toUtf8(temp); }
    ByRef<std::string> ref;
    BSTR temp;
};
template <> struct Arg<ByRef<Int16Array>> : ArgBase {
    explicit Arg(ByRef<Int16Array> r) : ref(r) {}
    Variant variant() { return Variant::ref(ref.variable.slot()); }
    ByRef<Int16Array> ref;
};

// Maps a C++ argument type to the Arg that holds it.
template <class T> struct ArgFor {
    static_assert(!std::is_same_v<T, T>,
                  "pass std::int16_t, int, double, bool, a string, an Int16Array or byRef()");
};
template <> struct ArgFor<std::int16_t> {
    using type = Arg<std::int16_t>;
};
template <> struct ArgFor<std::int32_t> {
    using type = Arg<std::int32_t>;
};
template <> struct ArgFor<double> {
    using type = Arg<double>;
};
template <> struct ArgFor<bool> {
    using type = Arg<bool>;
};
template <> struct ArgFor<const char*> {
    using type = Arg<std::string_view>;
};
template <> struct ArgFor<char*> {
    using type = Arg<std::string_view>;
};
template <> struct ArgFor<std::string> {
    using type = Arg<std::string_view>;
};
template <> struct ArgFor<std::string_view> {
    using type = Arg<std::string_view>;
};
template <> struct ArgFor<Int16Array> {
    using type = Arg<Int16Array>;
};
template <class T> struct ArgFor<ByRef<T>> {
    using type = Arg<ByRef<T>>;
};

template <class T> using ArgOf = typename ArgFor<std::decay_t<T>>::type;

CallResult outOfMemory(std::string_view name);

} // namespace detail

template <class... Args> CallResult call(IDispatch* object, std::string_view name, Args&&... args)
{
    // Each argument is built in place and stays put until its value is copied back.
    std::tuple<detail::ArgOf<Args>...> held{std::forward<Args>(args)...};
    return std::apply(
        [&](auto&... arg) {
            Variant variants[sizeof...(Args) + 1] = {arg.variant()...};
            if ((arg.outOfMemory || ...)) {
                return detail::outOfMemory(name);
            }
            CallResult result = invokeByName(object, name, variants, sizeof...(Args));
            (arg.writeBack(), ...);
            return result;
        },
        held);
}

template <class T, class... Args>
CallResult call(const ComPtr<T>& object, std::string_view name, Args&&... args)
{
    return call(static_cast<IDispatch*>(object.get()), name, std::forward<Args>(args)...);
}

} // namespace kivo::automation
