#include "platform/automation/dispatch.h"

#include "platform/automation/server.h"
#include "platform/automation/text.h"

#include <cassert>

namespace kivo::automation {

namespace {

// Where a by-value variant keeps its value, as the slot a body reads.
void* valueAddress(Variant& v)
{
    switch (v.vt) {
    case VT_I2:
        return &v.iVal;
    case VT_I4:
        return &v.lVal;
    case VT_BOOL:
        return &v.boolVal;
    case VT_BSTR:
        return &v.bstrVal;
    case VT_ARRAY | VT_I2:
        return &v.parray;
    default:
        return nullptr;
    }
}

// Gives `slot` a value of exactly the declared type for one argument, converting into `temp`
// where the argument itself cannot serve.
HRESULT prepare(const ParamInfo& param, Variant& arg, Variant& temp, void*& slot)
{
    const VarType declared = varType(param.type);
    if (arg.isByRef()) {
        if (!arg.byref) {
            return E_INVALIDARG;
        }
        if (arg.baseType() == declared) {
            slot = arg.byref;
            return S_OK;
        }
        if (param.direction == Direction::InOut) {
            return DISP_E_TYPEMISMATCH;
        }
    } else if (param.direction == Direction::In && arg.vt == declared) {
        slot = valueAddress(arg);
        return S_OK;
    }
    // A by-value argument for an in-out parameter works on a copy; the caller sees no change.
    const HRESULT hr = VariantChangeType(temp, arg, declared);
    if (succeeded(hr)) {
        slot = valueAddress(temp);
    }
    return hr;
}

} // namespace

VarType varType(ParamType type)
{
    switch (type) {
    case ParamType::I2:
        return VT_I2;
    case ParamType::I4:
        return VT_I4;
    case ParamType::Bool:
        return VT_BOOL;
    case ParamType::Bstr:
        return VT_BSTR;
    case ParamType::ArrayI2:
        return VT_ARRAY | VT_I2;
    }
    return VT_EMPTY;
}

InterfaceInfo::InterfaceInfo(const char* name, const IID& iid,
                             std::initializer_list<MethodInfo> methods)
    : name_(name), iid_(iid), methods_(methods)
{
#ifndef NDEBUG
    for (std::size_t i = 0; i < methods_.size(); ++i) {
        for (std::size_t j = i + 1; j < methods_.size(); ++j) {
            assert(!equalsIgnoringCase(methods_[i].name, methods_[j].name) &&
                   "two members, one name");
            assert(methods_[i].id != methods_[j].id && "two members, one DISPID");
        }
    }
#endif
}

const MethodInfo* InterfaceInfo::find(std::string_view name) const
{
    for (const MethodInfo& m : methods_) {
        if (equalsIgnoringCase(m.name, name)) {
            return &m;
        }
    }
    return nullptr;
}

const MethodInfo* InterfaceInfo::find(DISPID id) const
{
    for (const MethodInfo& m : methods_) {
        if (m.id == id) {
            return &m;
        }
    }
    return nullptr;
}

DispatchObject::DispatchObject(const ObjectContext& context)
    : inner_(*this), controlling_(context.outer ? context.outer : &inner_), module_(context.module)
{
    if (module_) {
        module_->objectCreated();
    }
}

DispatchObject::~DispatchObject()
{
    if (module_) {
        module_->objectDestroyed();
    }
}

HRESULT DispatchObject::QueryInterface(const IID& iid, void** object)
{
    return controlling_->QueryInterface(iid, object);
}

std::uint32_t DispatchObject::AddRef()
{
    return controlling_->AddRef();
}

std::uint32_t DispatchObject::Release()
{
    return controlling_->Release();
}

HRESULT DispatchObject::Inner::QueryInterface(const IID& iid, void** object)
{
    if (!object) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown) {
        AddRef();
        *object = static_cast<IUnknown*>(this);
    } else if (iid == IID_IDispatch || iid == owner_.interfaceInfo().iid()) {
        // Counted where the interface counts: on the outer object inside an aggregate.
        owner_.AddRef();
        *object = static_cast<IDispatch*>(&owner_);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    return S_OK;
}

std::uint32_t DispatchObject::Inner::AddRef()
{
    return ++refs_;
}

std::uint32_t DispatchObject::Inner::Release()
{
    const std::uint32_t left = --refs_;
    if (left == 0) {
        delete &owner_;
    }
    return left;
}

HRESULT DispatchObject::GetIDOfName(const char* name, DISPID* id)
{
    if (!name || !id) {
        return E_POINTER;
    }
    const MethodInfo* m = interfaceInfo().find(name);
    *id = m ? m->id : DISPID_UNKNOWN;
    return m ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT DispatchObject::Invoke(DISPID id, Variant* args, std::uint32_t argCount, Variant* result,
                               std::uint32_t* argError)
{
    const MethodInfo* m = interfaceInfo().find(id);
    if (!m) {
        return DISP_E_MEMBERNOTFOUND;
    }
    const std::span<const ParamInfo> params = m->params;
    const bool hasRetval = !params.empty() && params.back().direction == Direction::RetVal;
    if (argCount != params.size() - (hasRetval ? 1 : 0)) {
        return DISP_E_BADPARAMCOUNT;
    }
    if (argCount > 0 && !args) {
        return E_POINTER;
    }
    std::vector<Variant> temps(params.size());
    std::vector<void*> argumentSlots(params.size());
    for (std::uint32_t i = 0; i < argCount; ++i) {
        const HRESULT hr = prepare(params[i], args[i], temps[i], argumentSlots[i]);
        if (failed(hr)) {
            if (argError) {
                *argError = i;
            }
            return hr;
        }
    }
    if (hasRetval) {
        Variant& r = temps.back();
        r.vt = varType(params.back().type);
        argumentSlots.back() = valueAddress(r);
    }
    const HRESULT hr = m->invoke(*this, argumentSlots.data());
    if (result) {
        *result = hasRetval ? std::move(temps.back()) : Variant();
    }
    return hr;
}

} // namespace kivo::automation
