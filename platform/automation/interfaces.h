// The interfaces objects are reached through, and a smart pointer that holds one reference.
//
// Objects cross a library boundary only as interface pointers. An interface is an abstract class
// whose first three entries are IUnknown's: AddRef and Release count references (the object
// frees itself at the last Release), QueryInterface hands out another interface of the same
// object, with a reference added, or E_NOINTERFACE and a null pointer. Querying any interface of
// an object for IID_IUnknown always gives the same pointer (the object's identity).
#pragma once

#include "platform/automation/guid.h"
#include "platform/automation/hresult.h"
#include "platform/automation/variant.h"

#include <cstdint>
#include <utility>

namespace kivo::automation {

inline constexpr IID IID_IUnknown = guid("{00000000-0000-0000-C000-000000000046}");
inline constexpr IID IID_IClassFactory = guid("{00000001-0000-0000-C000-000000000046}");
inline constexpr IID IID_IDispatch = guid("{00020400-0000-0000-C000-000000000046}");

class IUnknown {
public:
    static constexpr const IID& iid = IID_IUnknown;
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    // Objects go at their last Release, never by delete through an interface.
    ~IUnknown() = default;
};

using DISPID = std::int32_t;
inline constexpr DISPID DISPID_UNKNOWN = -1;

// Late binding: a caller looks a member up by name and calls it by its DISPID with variants.
class IDispatch : public IUnknown {
public:
    static constexpr const IID& iid = IID_IDispatch;

    // The DISPID of the member `name` (UTF-8), matched without regard to letter case;
    // DISP_E_UNKNOWNNAME and DISPID_UNKNOWN when the object has no such member.
    virtual HRESULT GetIDOfName(const char* name, DISPID* id) = 0;

    // Calls member `id` with `argCount` positional arguments, first argument first. A by-value
    // argument is converted to the declared type of its parameter (see VariantChangeType); a
    // by-reference argument must have exactly the declared type and is updated in place. The
    // member's result, if it has one, goes to *result (which may be null). The variants stay the
    // caller's: Invoke never frees them.
    // Failures: DISP_E_MEMBERNOTFOUND for an unknown id, DISP_E_BADPARAMCOUNT for a wrong number
    // of arguments, DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW for an argument that does not convert
    // (its 0-based position goes to *argError); otherwise whatever the member returns. A member
    // that fails still hands back the result it set.
    virtual HRESULT Invoke(DISPID id, Variant* args, std::uint32_t argCount, Variant* result,
                           std::uint32_t* argError) = 0;

protected:
    ~IDispatch() = default;
};

// Creates objects of one class.
class IClassFactory : public IUnknown {
public:
    static constexpr const IID& iid = IID_IClassFactory;

    // A new object, asked for interface `iid`. With an `outer` object the new one becomes part
    // of that aggregate: `iid` must then be IID_IUnknown and the caller receives the inner,
    // non-delegating IUnknown. CLASS_E_NOAGGREGATION when the class refuses aggregation.
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    // Keeps the server library loaded while locked, even when no object lives.
    virtual HRESULT LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

// Holds one reference to an interface and releases it when it goes.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(const ComPtr& other) : p_(other.p_)
    {
        if (p_) {
            p_->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Adopts a pointer whose reference the caller already holds.
    static ComPtr attach(T* p)
    {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    // Adds a reference of its own to `p`.
    static ComPtr share(T* p)
    {
        if (p) {
            p->AddRef();
        }
        return attach(p);
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T* detach() { return std::exchange(p_, nullptr); }
    void reset()
    {
        if (T* p = std::exchange(p_, nullptr)) {
            p->Release();
        }
    }
    // Releases the current pointer and gives a slot to an API that writes a new one; the pointer
    // is taken over at the end of the full expression: hr = f(iid, object.put());
    class Slot {
    public:
        explicit Slot(ComPtr& owner) : owner_(owner) {}
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;
        ~Slot() { owner_.p_ = static_cast<T*>(raw_); }
        operator void**() { return &raw_; }

    private:
        ComPtr& owner_;
        void* raw_ = nullptr;
    };
    Slot put()
    {
        reset();
        return Slot(*this);
    }

    // Another interface of the same object; an empty pointer and the failure when it has none.
    template <class U> HRESULT as(ComPtr<U>& out) const
    {
        if (!p_) {
            out.reset();
            return E_POINTER;
        }
        return p_->QueryInterface(U::iid, out.put());
    }

private:
    T* p_ = nullptr;
};

} // namespace kivo::automation
