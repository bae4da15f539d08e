// The engine operations that take Automation arguments. They work through the engine's public
// operations (GenerateTTY2, ExecStreamRequest), the state query and the error store, each of
// which takes the engine's lock itself.

#include <algorithm>
#include <cstdint>
#include <limits>

#include "varnel/engine/CVarnel.h"
#include "varnel/engine/ErrorTexts.h"
#include "varnel/engine/VariantArg.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr std::int64_t kMinimumFetchBytes = 100;

bool IsOneByteElement(VARTYPE vt) { return vt == VT_UI1 || vt == VT_I1; }

// The array of one-byte elements that a FetchWaveStream argument holds, directly, through
// VT_BYREF | VT_ARRAY, or in the VARIANT that a VT_BYREF | VT_VARIANT argument refers to.
// nullptr for anything else.
SAFEARRAY* ByteArrayOf(const VARIANT& data) {
    const VARIANT* v = &data;
    if (v->vt == (VT_BYREF | VT_VARIANT)) {
        v = v->pvarVal;
        if (!v) return nullptr;
    }
    SAFEARRAY* psa = nullptr;
    if ((v->vt & VT_ARRAY) == 0) return nullptr;
    if ((v->vt & VT_BYREF) == 0) {
        if (!IsOneByteElement(static_cast<VARTYPE>(v->vt & ~VT_ARRAY))) return nullptr;
        psa = v->parray;
    } else {
        if (!IsOneByteElement(static_cast<VARTYPE>(v->vt & ~(VT_ARRAY | VT_BYREF))) || !v->pparray) return nullptr;
        psa = *v->pparray;
    }
    // The byte count comes from the bounds, so the elements really must be single bytes.
    if (!psa || psa->cDims != 1 || psa->cbElements != 1) return nullptr;
    return psa;
}

}  // namespace

bool CVarnel::IsGeneratingToBufferStream() {
    const Lock lock(m_mutex);
    return m_state == kToBufferStream;
}

HRESULT CVarnel::Refuse(HRESULT code, const char* message) {
    const Lock lock(m_mutex);
    return Fail(code, message);
}

HRESULT CVarnel::GenerateTTYEx(const VARIANT& Data, std::int32_t* pRequestID) {
    if (!pRequestID) return Refuse(E_INVALIDARG, ErrorText::kInvalidParameter);

    VARIANT local;
    VariantInit(&local);
    if (const HRESULT hr = VariantCopy(&local, &Data); FAILED(hr)) {
        local.vt = VT_ERROR;
        local.scode = hr;
    }
    VariantArg arg;
    arg = local;
    VariantClear(&local);

    // Without characters or elements, or with elements that are not text bytes (an array of
    // another type, an array held by reference), there is no text to send.
    if (arg.Count() <= 0) return Refuse(E_INVALIDARG, ErrorText::kTTYDataType);
    const char* bytes = arg.MakeBytes();
    if (!bytes) return Refuse(E_INVALIDARG, ErrorText::kTTYDataType);

    // Like the typed form, this does not look at the generation state.
    const std::int32_t id = GenerateTTY2(bytes, arg.Count());
    if (id < 0) return E_INVALIDARG;  // GenerateTTY2 has stored why
    *pRequestID = id;
    return S_OK;
}

HRESULT CVarnel::FetchWaveStream(const VARIANT& Data, std::int32_t* pBytes) {
    if (!IsGeneratingToBufferStream()) return Refuse(E_FAIL, ErrorText::kNotGenerating);
    if (!pBytes) return Refuse(E_INVALIDARG, ErrorText::kInvalidParameter);

    SAFEARRAY* psa = ByteArrayOf(Data);
    void* data = nullptr;
    if (!psa || FAILED(SafeArrayAccessData(psa, &data))) return Refuse(E_INVALIDARG, ErrorText::kInvalidParameter);

    std::int32_t lower = 0;
    std::int32_t upper = 0;
    if (FAILED(SafeArrayGetLBound(psa, 1, &lower)) || FAILED(SafeArrayGetUBound(psa, 1, &upper))) {
        SafeArrayUnaccessData(psa);
        return Refuse(E_INVALIDARG, ErrorText::kInvalidParameter);
    }
    const std::int64_t count = std::int64_t{upper} - std::int64_t{lower} + 1;
    if (count < kMinimumFetchBytes) {
        SafeArrayUnaccessData(psa);
        return Refuse(E_INVALIDARG, ErrorText::kBufferTooSmall);
    }
    if (!data) {
        SafeArrayUnaccessData(psa);
        return Refuse(E_INVALIDARG, ErrorText::kInvalidParameter);
    }

    // The array stays locked while rendering, so a notification handler cannot destroy it.
    const auto size = static_cast<std::int32_t>(std::min<std::int64_t>(count, std::numeric_limits<std::int32_t>::max()));
    const std::int32_t written = ExecStreamRequest(static_cast<std::uint8_t*>(data), size);
    const HRESULT unlocked = SafeArrayUnaccessData(psa);
    if (written < 0) {
        // The buffer stream ended between the state check and the rendering.
        *pBytes = 0;
        return Refuse(E_FAIL, ErrorText::kNotGenerating);
    }
    *pBytes = written;
    return unlocked;
}

}  // namespace Quorvex::VarnelNet
