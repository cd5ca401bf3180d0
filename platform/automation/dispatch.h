// Serving IDispatch from type information compiled into the server.
//
// A dispatch object derives from DispatchObject and describes its members once, in a table built
// from its own member functions. Each body receives typed arguments; its parameter types give
// the member's parameter types and directions:
//
//   by value (in)         std::int16_t  std::int32_t  bool or VariantBool  BSTR  SafeArray*
//   by reference (in-out) std::int16_t* std::int32_t* VariantBool*         BSTR* SafeArray**
//   result (retval, last) Retval<std::int16_t> ... Retval<BSTR> Retval<SafeArray*>
//
// A BSTR or SafeArray* received by value is borrowed for the call. To fill an in-out or result
// string, use assignString (it frees what was there). An array is the caller's: fill it in place.
//
//   class Echo final : public DispatchObject {
//   public:
//       using DispatchObject::DispatchObject;
//       HRESULT Add(std::int16_t a, std::int16_t b, std::int16_t* sum, Retval<BSTR> status);
//   protected:
//       const InterfaceInfo& interfaceInfo() const override
//       {
//           static const InterfaceInfo info("IEcho", IID_IEcho, {
//               KIVO_DISPATCH_METHOD(Echo, Add, 1),
//           });
//           return info;
//       }
//   };
//
// Callers then reach Add by name in any letter case, with arguments converted by the automation
// rules (VariantChangeType), by-reference arguments checked for their exact type and the
// argument count checked against the table; the body runs only when all of that passed.
#pragma once

#include "platform/automation/interfaces.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace kivo::automation {

enum class ParamType : std::uint8_t { I2, I4, Bool, Bstr, ArrayI2 };
enum class Direction : std::uint8_t { In, InOut, RetVal };

struct ParamInfo {
    ParamType type;
    Direction direction;
};

// The variant type of a parameter type (VT_ARRAY | VT_I2 for an array).
VarType varType(ParamType type);

// The result slot of a member: the body stores its result through it (*status, or
// assignString(status.get(), "...") for a string).
template <class T> class Retval {
public:
    explicit Retval(T* slot) : slot_(slot) {}
    T& operator*() const { return *slot_; }
    T* get() const { return slot_; }

private:
    T* slot_;
};

class DispatchObject;

struct MethodInfo {
    const char* name;
    DISPID id;
    std::span<const ParamInfo> params;
    // Calls the body with one prepared slot per parameter, each pointing at a value of exactly the
    // declared type.
    HRESULT (*invoke)(DispatchObject& object, void* const* argumentSlots);
};

// The members of one dispatch interface.
class InterfaceInfo {
public:
    // Names must differ regardless of case and ids must differ.
    InterfaceInfo(const char* name, const IID& iid, std::initializer_list<MethodInfo> methods);

    const char* name() const { return name_; }
    const IID& iid() const { return iid_; }
    const std::vector<MethodInfo>& methods() const { return methods_; }
    // The member with this name regardless of case, or nullptr.
    const MethodInfo* find(std::string_view name) const;
    const MethodInfo* find(DISPID id) const;

private:
    const char* name_;
    IID iid_;
    std::vector<MethodInfo> methods_;
};

class ServerModule;

// What a class factory hands a new object: the module that counts it (may be null for an object
// outside any server) and the controlling outer object when it is created inside an aggregate.
struct ObjectContext {
    ServerModule* module = nullptr;
    IUnknown* outer = nullptr;
};

// A reference-counted object serving IDispatch from its member table. It answers QueryInterface
// for IID_IUnknown, IID_IDispatch and its interface's own IID (a dual interface is reached through
// its IDispatch part). Inside an aggregate its IUnknown methods delegate to the outer object,
// while innerUnknown() stays its own; the object lives until the last reference to it goes.
class DispatchObject : public IDispatch {
public:
    explicit DispatchObject(const ObjectContext& context);
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    HRESULT QueryInterface(const IID& iid, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;
    HRESULT GetIDOfName(const char* name, DISPID* id) override;
    HRESULT Invoke(DISPID id, Variant* args, std::uint32_t argCount, Variant* result,
                   std::uint32_t* argError) override;

    // The non-delegating IUnknown, which holds the object's own reference count.
    IUnknown* innerUnknown() { return &inner_; }

protected:
    virtual ~DispatchObject();
    // The member table, normally a function-local static of the derived class.
    virtual const InterfaceInfo& interfaceInfo() const = 0;

private:
    class Inner final : public IUnknown {
    public:
        explicit Inner(DispatchObject& owner) : owner_(owner) {}
        HRESULT QueryInterface(const IID& iid, void** object) override;
        std::uint32_t AddRef() override;
        std::uint32_t Release() override;

    private:
        DispatchObject& owner_;
        std::atomic<std::uint32_t> refs_{0};
    };

    Inner inner_;
    IUnknown* controlling_;
    ServerModule* module_;
};

namespace detail {

template <class T> struct ScalarType;
template <> struct ScalarType<std::int16_t> {
    static constexpr ParamType type = ParamType::I2;
};
template <> struct ScalarType<std::int32_t> {
    static constexpr ParamType type = ParamType::I4;
};
template <> struct ScalarType<VariantBool> {
    static constexpr ParamType type = ParamType::Bool;
};
template <> struct ScalarType<BSTR> {
    static constexpr ParamType type = ParamType::Bstr;
};
template <> struct ScalarType<SafeArray*> {
    static constexpr ParamType type = ParamType::ArrayI2;
};

// How a body's parameter type maps to a parameter and how it is taken from its slot.
template <class T> struct ParamTraits {
    static constexpr ParamInfo info{ScalarType<T>::type, Direction::In};
    static T get(void* slot) { return *static_cast<T*>(slot); }
};
template <> struct ParamTraits<bool> {
    static constexpr ParamInfo info{ParamType::Bool, Direction::In};
    static bool get(void* slot) { return isTrue(*static_cast<VariantBool*>(slot)); }
};
// Strings and arrays are pointers themselves: by value they are inputs, not references.
template <> struct ParamTraits<BSTR> {
    static constexpr ParamInfo info{ParamType::Bstr, Direction::In};
    static BSTR get(void* slot) { return *static_cast<BSTR*>(slot); }
};
template <> struct ParamTraits<SafeArray*> {
    static constexpr ParamInfo info{ParamType::ArrayI2, Direction::In};
    static SafeArray* get(void* slot) { return *static_cast<SafeArray**>(slot); }
};
template <class T> struct ParamTraits<T*> {
    static constexpr ParamInfo info{ScalarType<T>::type, Direction::InOut};
    static T* get(void* slot) { return static_cast<T*>(slot); }
};
template <class T> struct ParamTraits<Retval<T>> {
    static constexpr ParamInfo info{ScalarType<T>::type, Direction::RetVal};
    static Retval<T> get(void* slot) { return Retval<T>(static_cast<T*>(slot)); }
};

template <std::size_t N> constexpr bool retvalOnlyLast(const std::array<ParamInfo, N>& params)
{
    for (std::size_t i = 0; i + 1 < N; ++i) {
        if (params[i].direction == Direction::RetVal) {
            return false;
        }
    }
    return true;
}

template <class F> struct MethodSignature;

template <class C, class... A> struct MethodSignature<HRESULT (C::*)(A...)> {
    static_assert(std::is_base_of_v<DispatchObject, C>, "a member of a DispatchObject");
    static constexpr std::array<ParamInfo, sizeof...(A)> params{ParamTraits<A>::info...};
    static_assert(retvalOnlyLast(params), "the result (Retval) must be the last parameter");

    template <auto Fn, std::size_t... I>
    static HRESULT call(DispatchObject& object, void* const* argumentSlots,
                        std::index_sequence<I...>)
    {
        return (static_cast<C&>(object).*Fn)(ParamTraits<A>::get(argumentSlots[I])...);
    }
    template <auto Fn> static HRESULT invoke(DispatchObject& object, void* const* argumentSlots)
    {
        return call<Fn>(object, argumentSlots, std::index_sequence_for<A...>{});
    }
};

template <class C, class... A>
struct MethodSignature<HRESULT (C::*)(A...) noexcept> : MethodSignature<HRESULT (C::*)(A...)> {
};

} // namespace detail

// One table entry for member function Fn; see KIVO_DISPATCH_METHOD.
template <auto Fn> MethodInfo method(const char* name, DISPID id)
{
    using Signature = detail::MethodSignature<decltype(Fn)>;
    return MethodInfo{name, id, Signature::params, &Signature::template invoke<Fn>};
}

// Table entry for Class::Name, called by the name "Name" with DISPID `id`.
#define KIVO_DISPATCH_METHOD(Class, Name, id) ::kivo::automation::method<&Class::Name>(#Name, id)

} // namespace kivo::automation
