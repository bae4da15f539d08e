#include "varnel/platform/Automation.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

namespace Quorvex::VarnelNet {

namespace {

// ---- BSTR storage: [uint32 byte length][characters][zero character] ----

constexpr std::size_t kPrefixBytes = sizeof(std::uint32_t);

char* BstrBlock(const char16_t* bstr) {
    return reinterpret_cast<char*>(const_cast<char16_t*>(bstr)) - kPrefixBytes;
}

// ---- SAFEARRAY storage: the header followed by the element type, which only arrays made
// here have (they carry FADF_HAVEVARTYPE). The data is a separate block. ----

struct ArrayBlock {
    SAFEARRAY header;  // first member: a SAFEARRAY* of an ArrayBlock converts back to it
    VARTYPE vt;
};
static_assert(std::is_standard_layout_v<ArrayBlock>);

ArrayBlock* BlockOf(SAFEARRAY* psa) { return reinterpret_cast<ArrayBlock*>(psa); }

bool IsOwnArray(const SAFEARRAY* psa) { return (psa->fFeatures & FADF_HAVEVARTYPE) != 0; }

std::uint32_t ElementSize(VARTYPE vt) {
    switch (vt) {
        case VT_UI1:
        case VT_I1: return 1;
        case VT_I2: return 2;
        case VT_I4: return 4;
        default: return 0;
    }
}

// The upper bound of a dimension, when it fits in an int32.
bool UpperBound(std::int32_t lower, std::uint32_t count, std::int32_t* upper) {
    const std::int64_t ub = std::int64_t{lower} + std::int64_t{count} - 1;
    if (ub < std::numeric_limits<std::int32_t>::min() || ub > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    *upper = static_cast<std::int32_t>(ub);
    return true;
}

// A new array of our own; data is zero-filled, or a copy of source when it is given.
SAFEARRAY* NewArray(VARTYPE vt, std::uint32_t elementSize, std::int32_t lower, std::uint32_t count,
                    const void* source) {
    std::int32_t upper = 0;
    if (elementSize == 0 || !UpperBound(lower, count, &upper)) return nullptr;
    const std::uint64_t bytes = std::uint64_t{count} * elementSize;
    if (bytes > kMaxAutomationBytes) return nullptr;

    void* data = nullptr;
    if (bytes > 0) {
        data = std::calloc(static_cast<std::size_t>(bytes), 1);
        if (!data) return nullptr;
        if (source) std::memcpy(data, source, static_cast<std::size_t>(bytes));
    }
    auto* block = new (std::nothrow) ArrayBlock{};
    if (!block) {
        std::free(data);
        return nullptr;
    }
    block->header.cDims = 1;
    block->header.fFeatures = FADF_HAVEVARTYPE;
    block->header.cbElements = elementSize;
    block->header.cLocks = 0;
    block->header.pvData = data;
    block->header.rgsabound[0] = SAFEARRAYBOUND{count, lower};
    block->vt = vt;
    return &block->header;
}

constexpr std::uint32_t kMaxLocks = 0xFFFF;

}  // namespace

// ---- BSTR -------------------------------------------------------------------------------------

BSTR SysAllocString(const char16_t* psz) {
    if (!psz) return nullptr;
    std::size_t len = 0;
    while (psz[len] != 0) {
        if (++len > std::numeric_limits<std::uint32_t>::max()) return nullptr;
    }
    return SysAllocStringLen(psz, static_cast<std::uint32_t>(len));
}

BSTR SysAllocStringLen(const char16_t* str, std::uint32_t len) {
    const std::uint64_t textBytes = std::uint64_t{len} * sizeof(char16_t);
    const std::uint64_t total = kPrefixBytes + textBytes + sizeof(char16_t);
    if (total > kMaxAutomationBytes) return nullptr;
    char* block = static_cast<char*>(std::calloc(static_cast<std::size_t>(total), 1));
    if (!block) return nullptr;
    const auto byteLength = static_cast<std::uint32_t>(textBytes);
    std::memcpy(block, &byteLength, kPrefixBytes);
    auto* text = reinterpret_cast<char16_t*>(block + kPrefixBytes);
    if (str && len > 0) std::memcpy(text, str, static_cast<std::size_t>(textBytes));
    return text;  // calloc wrote the terminator
}

void SysFreeString(BSTR bstr) {
    if (bstr) std::free(BstrBlock(bstr));
}

std::uint32_t SysStringLen(const char16_t* bstr) {
    if (!bstr) return 0;
    std::uint32_t byteLength = 0;
    std::memcpy(&byteLength, BstrBlock(bstr), kPrefixBytes);
    return byteLength / static_cast<std::uint32_t>(sizeof(char16_t));
}

// ---- SAFEARRAY --------------------------------------------------------------------------------

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, std::int32_t lLbound, std::uint32_t cElements) {
    return NewArray(vt, ElementSize(vt), lLbound, cElements, nullptr);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    // An array this layer did not make is not ours to free.
    if (!IsOwnArray(psa)) return E_INVALIDARG;
    if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
    std::free(psa->pvData);
    delete BlockOf(psa);
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, std::uint32_t nDim, std::int32_t* plLbound) {
    if (!psa || !plLbound || psa->cDims != 1) return E_INVALIDARG;
    if (nDim != 1) return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, std::uint32_t nDim, std::int32_t* plUbound) {
    if (!psa || !plUbound || psa->cDims != 1) return E_INVALIDARG;
    if (nDim != 1) return DISP_E_BADINDEX;
    if (!UpperBound(psa->rgsabound[0].lLbound, psa->rgsabound[0].cElements, plUbound)) return E_INVALIDARG;
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks >= kMaxLocks) return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (!psa || !ppvData) return E_INVALIDARG;
    if (const HRESULT hr = SafeArrayLock(psa); FAILED(hr)) return hr;
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (!psa || !pvt || !IsOwnArray(psa)) return E_INVALIDARG;
    *pvt = BlockOf(psa)->vt;
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (!ppsaOut) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa) return S_OK;
    if (!IsOwnArray(psa) || psa->cDims != 1) return E_INVALIDARG;
    const SAFEARRAYBOUND bound = psa->rgsabound[0];
    if (bound.cElements > 0 && !psa->pvData) return E_INVALIDARG;
    SAFEARRAY* copy = NewArray(BlockOf(psa)->vt, psa->cbElements, bound.lLbound, bound.cElements, psa->pvData);
    if (!copy) return E_OUTOFMEMORY;
    *ppsaOut = copy;
    return S_OK;
}

// ---- VARIANT ----------------------------------------------------------------------------------

void VariantInit(VARIANT* pvarg) {
    if (pvarg) *pvarg = VARIANT{};
}

HRESULT VariantClear(VARIANT* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    const VARTYPE vt = pvarg->vt;
    if ((vt & VT_BYREF) == 0) {
        if (vt == VT_BSTR) {
            SysFreeString(pvarg->bstrVal);
        } else if ((vt & VT_ARRAY) != 0) {
            if (const HRESULT hr = SafeArrayDestroy(pvarg->parray); FAILED(hr)) return hr;
        }
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc) {
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;

    // The copy is made before the destination is cleared, so a source that shares storage
    // with the destination is still intact while it is read.
    VARIANT copy = *pvargSrc;
    const VARTYPE vt = pvargSrc->vt;
    if ((vt & VT_BYREF) == 0) {
        if (vt == VT_BSTR && pvargSrc->bstrVal) {
            copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
            if (!copy.bstrVal) {
                VariantClear(pvargDest);
                return E_OUTOFMEMORY;
            }
        } else if ((vt & VT_ARRAY) != 0) {
            if (const HRESULT hr = SafeArrayCopy(pvargSrc->parray, &copy.parray); FAILED(hr)) {
                VariantClear(pvargDest);
                return hr;
            }
        }
    }
    if (const HRESULT hr = VariantClear(pvargDest); FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *pvargDest = copy;
    return S_OK;
}

}  // namespace Quorvex::VarnelNet
