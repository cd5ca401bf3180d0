#include "platform/automation/call.h"

#include <new>
#include <stdexcept>

namespace kivo::automation {

ComPtr<IDispatch> createObject(std::string_view progId, HRESULT* hr, std::string* message)
{
    ComPtr<IDispatch> object;
    CLSID clsid;
    HRESULT result = clsidFromProgId(progId, clsid, message);
    if (succeeded(result)) {
        result = createInstance(clsid, nullptr, IID_IDispatch, object.put(), message);
    }
    if (hr) {
        *hr = result;
    }
    return object;
}

Int16Array::Int16Array(std::int32_t lowerBound, std::uint32_t count)
    : array_(SafeArrayCreateVector(VT_I2, lowerBound, count))
{
    if (!array_) {
        throw std::bad_alloc();
    }
}

Int16Array::Int16Array(Int16Array&& other) noexcept : array_(std::exchange(other.array_, nullptr))
{
}

Int16Array& Int16Array::operator=(Int16Array&& other) noexcept
{
    if (this != &other) {
        SafeArrayDestroy(array_);
        array_ = std::exchange(other.array_, nullptr);
    }
    return *this;
}

Int16Array::~Int16Array()
{
    SafeArrayDestroy(array_);
}

std::int32_t Int16Array::lowerBound() const
{
    std::int32_t lb = 0;
    SafeArrayGetLBound(array_, 1, &lb);
    return lb;
}

std::uint32_t Int16Array::size() const
{
    return static_cast<std::uint32_t>(SafeArrayElementCount(array_));
}

std::int16_t& Int16Array::operator[](std::int32_t index)
{
    // A callee may have handed back another array; only a one-dimensional 16-bit one is indexed.
    if (!array_ || array_->cDims != 1 || array_->cbElements != sizeof(std::int16_t)) {
        throw std::out_of_range("not a one-dimensional array of 16-bit integers");
    }
    const std::int64_t k = std::int64_t(index) - array_->rgsabound[0].lLbound;
    if (k < 0 || k >= std::int64_t(array_->rgsabound[0].cElements)) {
        throw std::out_of_range("array index " + std::to_string(index) + " out of bounds");
    }
    return static_cast<std::int16_t*>(array_->pvData)[k];
}

std::int16_t Int16Array::operator[](std::int32_t index) const
{
    return const_cast<Int16Array&>(*this)[index];
}

std::vector<std::int16_t> Int16Array::values() const
{
    std::vector<std::int16_t> out;
    const std::int32_t lb = lowerBound();
    for (std::uint32_t k = 0; k < size(); ++k) {
        out.push_back((*this)[static_cast<std::int32_t>(lb + std::int64_t(k))]);
    }
    return out;
}

CallResult invokeByName(IDispatch* object, std::string_view name, Variant* args,
                        std::uint32_t argCount)
{
    CallResult result;
    const std::string member(name);
    if (!object) {
        result.hr = E_POINTER;
        result.error = member + ": no object";
        return result;
    }
    DISPID id = DISPID_UNKNOWN;
    result.hr = object->GetIDOfName(member.c_str(), &id);
    if (failed(result.hr)) {
        result.error = member + ": " + describeHresult(result.hr);
        return result;
    }
    Variant value;
    std::uint32_t argError = argCount;
    result.hr = object->Invoke(id, args, argCount, &value, &argError);
    if (failed(result.hr)) {
        result.error = member + ": ";
        if (argError < argCount) {
            result.error += "argument " + std::to_string(argError + 1) + ": ";
        }
        result.error += describeHresult(result.hr);
    }
    // The member's result text even on failure: a failing member may still report its status.
    if (value.vt == VT_BSTR) {
        result.status = toUtf8(value.bstrVal);
    } else if (value.vt != VT_EMPTY) {
        Variant text;
        if (succeeded(VariantChangeType(text, value, VT_BSTR))) {
            result.status = toUtf8(text.bstrVal);
        }
    }
    return result;
}

namespace detail {

CallResult outOfMemory(std::string_view name)
{
    CallResult result;
    result.hr = E_OUTOFMEMORY;
    result.error = std::string(name) + ": " + describeHresult(E_OUTOFMEMORY);
    return result;
}

} // namespace detail

} // namespace kivo::automation
