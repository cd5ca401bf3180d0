#include "platform/automation/safearray.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace kivo::automation {

namespace {

std::uint32_t elementSize(VarType vt)
{
    switch (vt) {
    case VT_I2:
        return 2;
    case VT_I4:
        return 4;
    default:
        return 0;
    }
}

// Byte offset of the element at `indices`, the last dimension varying fastest.
bool offsetOf(const SafeArray* psa, const std::int32_t* indices, std::uint64_t& offset)
{
    std::uint64_t linear = 0;
    for (std::uint16_t d = 0; d < psa->cDims; ++d) {
        const SafeArrayBound& b = psa->rgsabound[d];
        const std::int64_t k = std::int64_t(indices[d]) - b.lLbound;
        if (k < 0 || k >= std::int64_t(b.cElements)) {
            return false;
        }
        linear = linear * b.cElements + std::uint64_t(k);
    }
    offset = linear * psa->cbElements;
    return true;
}

} // namespace

std::uint64_t SafeArrayElementCount(const SafeArray* psa)
{
    if (!psa || psa->cDims == 0) {
        return 0;
    }
    std::uint64_t n = 1;
    for (std::uint16_t d = 0; d < psa->cDims; ++d) {
        n *= psa->rgsabound[d].cElements;
    }
    return n;
}

SafeArray* SafeArrayCreate(VarType vt, std::uint16_t cDims, const SafeArrayBound* bounds)
{
    const std::uint32_t size = elementSize(vt);
    if (size == 0 || cDims == 0 || cDims > kSafeArrayMaxDims || !bounds) {
        return nullptr;
    }
    std::uint64_t count = 1;
    for (std::uint16_t d = 0; d < cDims; ++d) {
        count *= bounds[d].cElements;
        if (count > std::numeric_limits<std::uint32_t>::max()) {
            return nullptr;
        }
    }
    auto* psa = static_cast<SafeArray*>(std::malloc(sizeof(SafeArray)));
    if (!psa) {
        return nullptr;
    }
    new (psa) SafeArray;
    psa->cDims = cDims;
    psa->vt = vt;
    psa->cbElements = size;
    for (std::uint16_t d = 0; d < cDims; ++d) {
        psa->rgsabound[d] = bounds[d];
    }
    // calloc of zero bytes may return nullptr; keep a valid pointer for empty arrays too.
    psa->pvData = std::calloc(count ? count : 1, size);
    if (!psa->pvData) {
        std::free(psa);
        return nullptr;
    }
    return psa;
}

SafeArray* SafeArrayCreateVector(VarType vt, std::int32_t lLbound, std::uint32_t cElements)
{
    const SafeArrayBound bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SafeArray* psa)
{
    if (!psa) {
        return S_OK;
    }
    if (psa->cLocks > 0) {
        return DISP_E_ARRAYISLOCKED;
    }
    std::free(psa->pvData);
    std::free(psa);
    return S_OK;
}

HRESULT SafeArrayCopy(const SafeArray* psa, SafeArray** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!psa) {
        return S_OK;
    }
    SafeArray* copy = SafeArrayCreate(psa->vt, psa->cDims, psa->rgsabound);
    if (!copy) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(copy->pvData, psa->pvData, SafeArrayElementCount(psa) * psa->cbElements);
    *out = copy;
    return S_OK;
}

HRESULT SafeArrayLock(SafeArray* psa)
{
    if (!psa) {
        return E_INVALIDARG;
    }
    if (psa->cLocks == std::numeric_limits<std::uint16_t>::max()) {
        return E_UNEXPECTED;
    }
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SafeArray* psa)
{
    if (!psa) {
        return E_INVALIDARG;
    }
    if (psa->cLocks == 0) {
        return E_UNEXPECTED;
    }
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SafeArray* psa, void** data)
{
    if (!data) {
        return E_POINTER;
    }
    *data = nullptr;
    const HRESULT hr = SafeArrayLock(psa);
    if (succeeded(hr)) {
        *data = psa->pvData;
    }
    return hr;
}

HRESULT SafeArrayUnaccessData(SafeArray* psa)
{
    return SafeArrayUnlock(psa);
}

std::uint16_t SafeArrayGetDim(const SafeArray* psa)
{
    return psa ? psa->cDims : 0;
}

std::uint32_t SafeArrayGetElemsize(const SafeArray* psa)
{
    return psa ? psa->cbElements : 0;
}

HRESULT SafeArrayGetLBound(const SafeArray* psa, std::uint16_t nDim, std::int32_t* lbound)
{
    if (!psa || !lbound) {
        return E_INVALIDARG;
    }
    if (nDim < 1 || nDim > psa->cDims) {
        return DISP_E_BADINDEX;
    }
    *lbound = psa->rgsabound[nDim - 1].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(const SafeArray* psa, std::uint16_t nDim, std::int32_t* ubound)
{
    if (!psa || !ubound) {
        return E_INVALIDARG;
    }
    if (nDim < 1 || nDim > psa->cDims) {
        return DISP_E_BADINDEX;
    }
    const SafeArrayBound& b = psa->rgsabound[nDim - 1];
    *ubound = static_cast<std::int32_t>(std::int64_t(b.lLbound) + b.cElements - 1);
    return S_OK;
}

HRESULT SafeArrayGetElement(SafeArray* psa, const std::int32_t* indices, void* element)
{
    if (!psa || !indices || !element) {
        return E_INVALIDARG;
    }
    std::uint64_t offset = 0;
    if (!offsetOf(psa, indices, offset)) {
        return DISP_E_BADINDEX;
    }
    std::memcpy(element, static_cast<char*>(psa->pvData) + offset, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayPutElement(SafeArray* psa, const std::int32_t* indices, const void* element)
{
    if (!psa || !indices || !element) {
        return E_INVALIDARG;
    }
    std::uint64_t offset = 0;
    if (!offsetOf(psa, indices, offset)) {
        return DISP_E_BADINDEX;
    }
    std::memcpy(static_cast<char*>(psa->pvData) + offset, element, psa->cbElements);
    return S_OK;
}

} // namespace kivo::automation
