#include "varnel/engine/VariantArg.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <string_view>

#include "varnel/platform/TextConversion.h"

namespace Quorvex::VarnelNet {

namespace {

std::int32_t CountOrZero(std::int64_t count) {
    return count > 0 && count <= std::numeric_limits<std::int32_t>::max() ? static_cast<std::int32_t>(count) : 0;
}

// Elements of dimension 1, or 0 when the array is missing or its bounds cannot be read.
std::int32_t ElementCount(SAFEARRAY* psa) {
    std::int32_t lower = 0;
    std::int32_t upper = 0;
    if (FAILED(SafeArrayGetLBound(psa, 1, &lower)) || FAILED(SafeArrayGetUBound(psa, 1, &upper))) return 0;
    return CountOrZero(std::int64_t{upper} - std::int64_t{lower} + 1);
}

std::unique_ptr<char[]> ZeroedBuffer(std::size_t size) { return std::unique_ptr<char[]>(new (std::nothrow) char[size]()); }

}  // namespace

VariantArg::VariantArg() { VariantInit(&m_value); }

VariantArg::~VariantArg() { Clear(); }

void VariantArg::Clear() {
    // Arrays are the holder's own copies and never stay locked, so this always frees them.
    if ((m_value.vt & VT_ARRAY) != 0 && (m_value.vt & VT_BYREF) == 0) {
        SafeArrayDestroy(m_value.parray);
        m_value.vt = VT_EMPTY;
    }
    m_bytes.reset();
    VariantClear(&m_value);
    m_count = 0;
    m_elementType = 0;
}

VariantArg& VariantArg::operator=(const VARIANT& source) {
    const VARIANT* from = &source;
    std::int32_t count = 0;
    VARTYPE elementType = 0;
    VARIANT copy;
    VariantInit(&copy);

    if (from->vt == (VT_BYREF | VT_VARIANT)) {
        from = from->pvarVal;
        if (from && from->vt == (VT_BYREF | VT_VARIANT)) from = nullptr;
    }
    if (from) {
        if (from->vt == VT_BSTR) {
            count = CountOrZero(std::int64_t{SysStringLen(from->bstrVal)} + 1);
        } else if ((from->vt & VT_ARRAY) != 0) {
            SAFEARRAY* psa = (from->vt & VT_BYREF) == 0 ? from->parray
                             : from->pparray      ? *from->pparray
                                                  : nullptr;
            count = ElementCount(psa);
            elementType = static_cast<VARTYPE>(from->vt & ~VT_ARRAY);
        }
        if (const HRESULT hr = VariantCopy(&copy, from); FAILED(hr)) {
            copy.vt = VT_ERROR;
            copy.scode = hr;
        }
    }

    // Only now is the old value released: source may be part of it.
    Clear();
    m_value = copy;
    m_count = count;
    m_elementType = elementType;
    return *this;
}

const char* VariantArg::MakeBytes() {
    if (m_bytes) return m_bytes.get();
    if (m_count <= 0) return nullptr;
    const auto count = static_cast<std::size_t>(m_count);

    if (m_value.vt == VT_BSTR) {
        // One byte per character at most (a surrogate pair becomes one '?'), so the text and
        // its terminator fit in count bytes.
        const std::string text =
            NarrowToAnsi(std::u16string_view(m_value.bstrVal, SysStringLen(m_value.bstrVal)));
        auto bytes = ZeroedBuffer(count);
        if (!bytes) return nullptr;
        std::memcpy(bytes.get(), text.data(), std::min(text.size(), count - 1));
        m_bytes = std::move(bytes);
    } else if (m_value.vt == (VT_ARRAY | VT_UI1)) {
        SAFEARRAY* psa = m_value.parray;
        if (!psa || psa->cbElements != 1 || psa->rgsabound[0].cElements < count) return nullptr;
        auto bytes = ZeroedBuffer(count + 1);
        if (!bytes) return nullptr;
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(psa, &data))) return nullptr;
        if (data) std::memcpy(bytes.get(), data, count);
        SafeArrayUnaccessData(psa);
        if (!data) return nullptr;
        m_bytes = std::move(bytes);
    }
    return m_bytes.get();
}

}  // namespace Quorvex::VarnelNet
