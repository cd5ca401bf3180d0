// Automation arrays (SAFEARRAY) of 16-bit integers.
//
// An array describes itself: its number of dimensions, each dimension's lower bound and element
// count, the size of one element and a lock count. Elements are addressed by the array's own
// indices, lower bound included, so the k-th element from the start of a one-dimensional array
// with lower bound lb is index lb + k - 1. While an array is locked (SafeArrayLock, or
// SafeArrayAccessData) its data stays put and SafeArrayDestroy refuses it.
//
// An array that crosses a call belongs to the caller; the callee reads or fills it in place.
// Arrays are allocated with malloc/free, so either side of a library boundary may destroy one.
#pragma once

#include "platform/automation/hresult.h"

#include <cstdint>

namespace kivo::automation {

// Automation type codes, shared by arrays and variants. VT_ARRAY and VT_BYREF combine with a
// base type: VT_ARRAY | VT_I2 is an array of 16-bit integers, VT_BYREF | VT_I2 points at one.
using VarType = std::uint16_t;
inline constexpr VarType VT_EMPTY = 0;
inline constexpr VarType VT_I2 = 2;
inline constexpr VarType VT_I4 = 3;
inline constexpr VarType VT_R8 = 5;
inline constexpr VarType VT_BSTR = 8;
inline constexpr VarType VT_BOOL = 11;
inline constexpr VarType VT_ARRAY = 0x2000;
inline constexpr VarType VT_BYREF = 0x4000;
inline constexpr VarType VT_TYPEMASK = 0x0FFF;

struct SafeArrayBound {
    std::uint32_t cElements = 0;
    std::int32_t lLbound = 0;
};

inline constexpr std::uint16_t kSafeArrayMaxDims = 8;

// Read its fields freely; change it only through the functions below. Bounds are stored in
// dimension order: rgsabound[0] is dimension 1.
struct SafeArray {
    std::uint16_t cDims = 0;
    VarType vt = 0;
    std::uint32_t cbElements = 0;
    std::uint32_t cLocks = 0;
    void* pvData = nullptr;
    SafeArrayBound rgsabound[kSafeArrayMaxDims] = {};
};

// A zero-filled array of VT_I2 (2-byte) or VT_I4 (4-byte) elements with 1 to kSafeArrayMaxDims
// dimensions; nullptr for another element type, a bad dimension count or when memory runs out.
SafeArray* SafeArrayCreate(VarType vt, std::uint16_t cDims, const SafeArrayBound* bounds);
// One dimension, indices lLbound to lLbound + cElements - 1.
SafeArray* SafeArrayCreateVector(VarType vt, std::int32_t lLbound, std::uint32_t cElements);
// Frees the array and its data. DISP_E_ARRAYISLOCKED while it is locked; nullptr is S_OK.
HRESULT SafeArrayDestroy(SafeArray* psa);
// A new array with the same shape, element type and elements (unlocked).
HRESULT SafeArrayCopy(const SafeArray* psa, SafeArray** out);

HRESULT SafeArrayLock(SafeArray* psa);
// E_UNEXPECTED when the array is not locked.
HRESULT SafeArrayUnlock(SafeArray* psa);
// Locks the array and gives its data, elements in index order from the start.
HRESULT SafeArrayAccessData(SafeArray* psa, void** data);
HRESULT SafeArrayUnaccessData(SafeArray* psa);

std::uint16_t SafeArrayGetDim(const SafeArray* psa);
std::uint32_t SafeArrayGetElemsize(const SafeArray* psa);
// Bounds of dimension nDim (1-based); DISP_E_BADINDEX for a dimension the array does not have.
HRESULT SafeArrayGetLBound(const SafeArray* psa, std::uint16_t nDim, std::int32_t* lbound);
HRESULT SafeArrayGetUBound(const SafeArray* psa, std::uint16_t nDim, std::int32_t* ubound);
// All elements of all dimensions.
std::uint64_t SafeArrayElementCount(const SafeArray* psa);

// One element by its indices (one per dimension, in dimension order), copied to or from
// `element`, which holds cbElements bytes. DISP_E_BADINDEX for an index outside the bounds.
HRESULT SafeArrayGetElement(SafeArray* psa, const std::int32_t* indices, void* element);
HRESULT SafeArrayPutElement(SafeArray* psa, const std::int32_t* indices, const void* element);

} // namespace kivo::automation
