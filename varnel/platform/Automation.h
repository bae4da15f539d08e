#pragma once

// A small OLE Automation layer: BSTR, SAFEARRAY (one dimension) and VARIANT, enough for the
// engine's variant-form operations and the hosts that call them.
//
// Every function accepts null pointers and malformed values and answers them with a failure
// code (or a null result) instead of touching memory it does not own. Sizes are bounded: no
// BSTR or array data block is larger than kMaxAutomationBytes, so every count and byte size
// derived from one fits in an int32.

#include <cstdint>

#include "varnel/platform/HResult.h"

namespace Quorvex::VarnelNet {

constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
constexpr HRESULT DISP_E_ARRAYISLOCKED = static_cast<HRESULT>(0x8002000Du);

// The largest data block (string bytes with prefix and terminator, or array elements).
constexpr std::uint32_t kMaxAutomationBytes = 0x7FFFFFFFu;

using VARTYPE = std::uint16_t;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_NULL = 1;
constexpr VARTYPE VT_I2 = 2;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_ERROR = 10;
constexpr VARTYPE VT_VARIANT = 12;
constexpr VARTYPE VT_I1 = 16;
constexpr VARTYPE VT_UI1 = 17;
constexpr VARTYPE VT_ARRAY = 0x2000;
constexpr VARTYPE VT_BYREF = 0x4000;

// ---- BSTR -------------------------------------------------------------------------------------
// A BSTR points at the first character of a zero-terminated UTF-16 string; the 32 bits before
// it hold the string's length in bytes (without the terminator). The string may contain zero
// characters of its own. A null BSTR is the empty string.
using BSTR = char16_t*;

// A copy of a zero-terminated string; nullptr for nullptr or when memory runs out.
BSTR SysAllocString(const char16_t* psz);
// A string of len characters copied from str (zero-filled when str is null); nullptr when
// memory runs out or the string would exceed kMaxAutomationBytes.
BSTR SysAllocStringLen(const char16_t* str, std::uint32_t len);
void SysFreeString(BSTR bstr);
// The length in characters; 0 for a null BSTR.
std::uint32_t SysStringLen(const char16_t* bstr);

// ---- SAFEARRAY --------------------------------------------------------------------------------
struct SAFEARRAYBOUND {
    std::uint32_t cElements;
    std::int32_t lLbound;
};

// fFeatures flag: the array was made here and knows its element type.
constexpr std::uint16_t FADF_HAVEVARTYPE = 0x0080;

// One-dimensional arrays only: cDims is 1 for every array this layer makes, and the functions
// that depend on the shape refuse any other value.
struct SAFEARRAY {
    std::uint16_t cDims;
    std::uint16_t fFeatures;
    std::uint32_t cbElements;
    std::uint32_t cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

// A zero-filled array of cElements elements of vt (VT_UI1, VT_I1, VT_I2 or VT_I4) whose first
// index is lLbound. nullptr for another vt, when the last index would not fit in an int32, when
// the data would exceed kMaxAutomationBytes, or when memory runs out.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, std::int32_t lLbound, std::uint32_t cElements);
// Frees the array and its data. DISP_E_ARRAYISLOCKED (nothing freed) while the data is accessed.
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
// Bounds of dimension nDim (1 is the only one). DISP_E_BADINDEX for another dimension.
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, std::uint32_t nDim, std::int32_t* plLbound);
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, std::uint32_t nDim, std::int32_t* plUbound);
HRESULT SafeArrayLock(SAFEARRAY* psa);
HRESULT SafeArrayUnlock(SAFEARRAY* psa);
// Locks the array and gives its data; every successful call needs one SafeArrayUnaccessData.
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
// A new, unlocked array with the same shape and a copy of the data; a null array copies as null.
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);

// ---- VARIANT ----------------------------------------------------------------------------------
struct VARIANT {
    VARTYPE vt;
    union {
        std::int32_t lVal;        // VT_I4
        std::int16_t iVal;        // VT_I2
        std::uint8_t bVal;        // VT_UI1
        BSTR bstrVal;             // VT_BSTR, owned
        SAFEARRAY* parray;        // VT_ARRAY | element type, owned
        VARIANT* pvarVal;         // VT_BYREF | VT_VARIANT, not owned
        SAFEARRAY** pparray;      // VT_BYREF | VT_ARRAY | element type, not owned
        HRESULT scode;            // VT_ERROR
    };
};

void VariantInit(VARIANT* pvarg);
// Frees an owned BSTR or array and leaves VT_EMPTY; the target of a VT_BYREF value is left
// alone. Fails without changing anything while an owned array is locked.
HRESULT VariantClear(VARIANT* pvarg);
// Replaces pvargDest (which must hold a valid value, VT_EMPTY at least) with a copy of
// pvargSrc: BSTRs and arrays deeply, VT_BYREF values as the reference. When the copy cannot be
// made (no memory, an array this layer did not make) pvargDest is left VT_EMPTY; when
// pvargDest holds a locked array, the call fails and changes nothing.
HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc);

}  // namespace Quorvex::VarnelNet
