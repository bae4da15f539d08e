// The engine's variant forms, GenerateTTYEx(VARIANT) and FetchWaveStream(VARIANT), with
// VARIANT and SAFEARRAY shapes built through the platform layer. A script (FuzzScript.h) builds
// the current value, then passes it:
//
//   values     bstr TEXT (~: a null BSTR), array VT LBOUND COUNT BYTES (SafeArrayCreateVector,
//              data filled with BYTES over and over; a refused shape leaves a null array),
//              foreign DIMS ELEMENTSIZE FEATURES LBOUND COUNT BYTES (a SAFEARRAY the caller made
//              itself, data exactly COUNT * ELEMENTSIZE bytes; BYTES ~: no data),
//              scalar VT N (any type without VT_ARRAY and VT_BYREF, and not VT_BSTR),
//              byref VT (VT_BYREF and any type but VT_ARRAY and VT_VARIANT, pointing at
//              zeroed storage)
//   reshape    vt N (the element type of an array value), lock N (lock its array N times),
//              refarray (VT_BYREF | VT_ARRAY: by reference to the array), refnull (that, null),
//              wrap (VT_BYREF | VT_VARIANT around the value), wrapnull (that, null)
//   calls      ttyex, ttyex-noid (a null request-ID pointer), fetch, fetch-nobytes
//   and every EngineScript command (begin, end, settings, requests, pulls).
//
// VariantInit leaves the union's pointer members as they were, so every value sets the member
// it uses. The harness owns everything it builds until the input ends, so an engine that frees or
// keeps locked what it was only lent is caught (double free, leak, lock count changed).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "EngineScript.h"
#include "FuzzScript.h"

namespace {

using namespace Quorvex::VarnelNet;
using Fuzz::Field;
using Fuzz::Int32;

constexpr std::size_t kMaxCommands = 256;
constexpr std::int64_t kMaxPullBytes = 4 << 20;
constexpr int kMaxPulls = 64;
constexpr std::uint64_t kMaxDataBytes = 16 << 20;  // all arrays of one input together

class VariantScript {
public:
    VariantScript() : m_engineScript(m_engine, m_budget) { VariantInit(&m_value); }
    VariantScript(const VariantScript&) = delete;
    VariantScript& operator=(const VariantScript&) = delete;

    ~VariantScript() {
        for (SAFEARRAY* psa : m_ownArrays) {
            while (psa->cLocks > 0) SafeArrayUnlock(psa);
            Fuzz::Require(SafeArrayDestroy(psa) == S_OK, "an array the caller owns could not be destroyed");
        }
        for (BSTR bstr : m_bstrs) SysFreeString(bstr);
    }

    void Run(const Fuzz::Command& c) {
        if (RunValue(c) || RunReshape(c)) return;
        if (c.word == "ttyex" || c.word == "ttyex-noid") {
            std::int32_t id = -7;
            const std::vector<std::uint32_t> locks = Locks();
            m_engine.GenerateTTYEx(m_value, c.word == "ttyex" ? &id : nullptr);
            Fuzz::Require(locks == Locks(), "GenerateTTYEx changed the lock count of the caller's array");
        } else if (c.word == "fetch" || c.word == "fetch-nobytes") {
            Fetch(c.word == "fetch");
        } else {
            m_engineScript.Run(c);
        }
    }

private:
    bool RunValue(const Fuzz::Command& c) {
        const std::string_view a = c.args;
        if (c.word == "bstr") {
            VariantInit(&m_value);
            m_value.vt = VT_BSTR;
            m_value.bstrVal = nullptr;
            if (!Fuzz::IsNull(a)) {
                const std::u16string text = Fuzz::Wide(a);
                m_value.bstrVal = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
                if (m_value.bstrVal) m_bstrs.push_back(m_value.bstrVal);
            }
        } else if (c.word == "array") {
            const auto vt = static_cast<VARTYPE>(Int32(Field(a, 0)));
            const std::uint32_t count = Fuzz::UInt32(Field(a, 2));
            // Elements are at most 4 bytes; anything that could exceed the data cap is not made.
            if (std::uint64_t{count} * 4 > kMaxDataBytes - m_dataBytes) return true;
            SAFEARRAY* psa = SafeArrayCreateVector(vt, Int32(Field(a, 1)), count);
            VariantInit(&m_value);
            m_value.vt = static_cast<VARTYPE>(VT_ARRAY | (vt & 0x0FFF));
            m_value.parray = psa;
            if (!psa) return true;
            m_ownArrays.push_back(psa);
            const std::uint64_t bytes = std::uint64_t{psa->cbElements} * psa->rgsabound[0].cElements;
            m_dataBytes += bytes;
            Fill(psa->pvData, bytes, Fuzz::Bytes(Fuzz::Rest(a, 3)));
        } else if (c.word == "foreign") {
            Foreign(a);
        } else if (c.word == "scalar") {
            const auto vt = static_cast<VARTYPE>(Int32(Field(a, 0)) & 0x0FFF);
            if (vt == VT_BSTR) return true;
            VariantInit(&m_value);
            m_value.vt = vt;
            m_value.lVal = Int32(Field(a, 1));
        } else if (c.word == "byref") {
            const auto vt = static_cast<VARTYPE>(Int32(a) & 0x0FFF);
            if (vt == VT_VARIANT) return true;
            m_storage.push_back(std::make_unique<std::uint64_t[]>(2));
            VariantInit(&m_value);
            m_value.vt = static_cast<VARTYPE>(VT_BYREF | vt);
            m_value.pvarVal = reinterpret_cast<VARIANT*>(m_storage.back().get());
        } else {
            return false;
        }
        return true;
    }

    bool RunReshape(const Fuzz::Command& c) {
        const bool isArray = (m_value.vt & VT_ARRAY) != 0 && (m_value.vt & VT_BYREF) == 0;
        if (c.word == "vt") {
            if ((m_value.vt & VT_ARRAY) != 0) {
                m_value.vt = static_cast<VARTYPE>((m_value.vt & (VT_ARRAY | VT_BYREF)) | (Int32(c.args) & 0x0FFF));
            }
        } else if (c.word == "lock") {
            const int times = std::clamp(Int32(c.args), 0, 4);
            for (int i = 0; i < times && isArray && m_value.parray; ++i) SafeArrayLock(m_value.parray);
        } else if (c.word == "refarray") {
            if (!isArray) return true;
            m_arrayRefs.push_back(std::make_unique<SAFEARRAY*>(m_value.parray));
            m_value.vt = static_cast<VARTYPE>(m_value.vt | VT_BYREF);
            m_value.pparray = m_arrayRefs.back().get();
        } else if (c.word == "refnull") {
            VariantInit(&m_value);
            m_value.vt = static_cast<VARTYPE>(VT_BYREF | VT_ARRAY | VT_UI1);
            m_value.pparray = nullptr;
        } else if (c.word == "wrap") {
            m_wrapped.push_back(std::make_unique<VARIANT>(m_value));
            VariantInit(&m_value);
            m_value.vt = static_cast<VARTYPE>(VT_BYREF | VT_VARIANT);
            m_value.pvarVal = m_wrapped.back().get();
        } else if (c.word == "wrapnull") {
            VariantInit(&m_value);
            m_value.vt = static_cast<VARTYPE>(VT_BYREF | VT_VARIANT);
            m_value.pvarVal = nullptr;
        } else {
            return false;
        }
        return true;
    }

    // A SAFEARRAY header and data block of the caller's own, which the layer must not free.
    void Foreign(std::string_view a) {
        const std::uint32_t elementSize = Fuzz::UInt32(Field(a, 1));
        const std::uint32_t count = Fuzz::UInt32(Field(a, 4));
        const std::string_view bytesField = Fuzz::Rest(a, 5);
        const std::uint64_t bytes = std::uint64_t{elementSize} * count;
        if (bytes > kMaxDataBytes - m_dataBytes) return;
        m_dataBytes += bytes;
        auto header = std::make_unique<SAFEARRAY>();
        header->cDims = static_cast<std::uint16_t>(Int32(Field(a, 0)));
        // Only arrays the layer made carry FADF_HAVEVARTYPE (and the type behind the header).
        header->fFeatures = static_cast<std::uint16_t>(Int32(Field(a, 2)) & ~FADF_HAVEVARTYPE);
        header->cbElements = elementSize;
        header->cLocks = 0;
        header->rgsabound[0] = SAFEARRAYBOUND{count, Int32(Field(a, 3))};
        if (!Fuzz::IsNull(bytesField) && bytes > 0) {
            m_foreignData.push_back(std::make_unique<std::uint8_t[]>(bytes));
            header->pvData = m_foreignData.back().get();
            Fill(header->pvData, bytes, Fuzz::Bytes(bytesField));
        }
        VariantInit(&m_value);
        m_value.vt = static_cast<VARTYPE>(VT_ARRAY | VT_UI1);
        m_value.parray = header.get();
        m_foreignArrays.push_back(std::move(header));
    }

    void Fetch(bool withCount) {
        // The array the engine should render into, to weigh the pull and check the result.
        const VARIANT* v = m_value.vt == (VT_BYREF | VT_VARIANT) ? m_value.pvarVal : &m_value;
        SAFEARRAY* psa = nullptr;
        if (v && (v->vt & VT_ARRAY) != 0) psa = (v->vt & VT_BYREF) == 0 ? v->parray : v->pparray ? *v->pparray : nullptr;
        const std::int64_t count = psa ? psa->rgsabound[0].cElements : 0;
        std::int32_t size = static_cast<std::int32_t>(std::min<std::int64_t>(count, 0x7FFFFFFF));
        const std::int32_t wanted = size;
        if (!m_budget.Take(&size) || size != wanted) return;

        std::int32_t bytes = -7;
        const std::vector<std::uint32_t> locks = Locks();
        const HRESULT hr = m_engine.FetchWaveStream(m_value, withCount ? &bytes : nullptr);
        Fuzz::Require(locks == Locks(), "FetchWaveStream changed the lock count of the caller's array");
        if (hr == S_OK && withCount) Fuzz::Require(bytes >= 0 && bytes <= count, "FetchWaveStream rendered past the array");
    }

    static void Fill(void* data, std::uint64_t size, const std::string& pattern) {
        if (!data || pattern.empty()) return;
        auto* out = static_cast<std::uint8_t*>(data);
        for (std::uint64_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(pattern[i % pattern.size()]);
    }

    std::vector<std::uint32_t> Locks() const {
        std::vector<std::uint32_t> locks;
        for (const SAFEARRAY* psa : m_ownArrays) locks.push_back(psa->cLocks);
        for (const auto& psa : m_foreignArrays) locks.push_back(psa->cLocks);
        return locks;
    }

    CVarnel m_engine;
    Fuzz::PullBudget m_budget{kMaxPullBytes, kMaxPulls};
    Fuzz::EngineScript m_engineScript;
    VARIANT m_value;
    // Everything the values point at, kept until the input ends.
    std::vector<SAFEARRAY*> m_ownArrays;
    std::vector<BSTR> m_bstrs;
    std::vector<std::unique_ptr<SAFEARRAY>> m_foreignArrays;
    std::vector<std::unique_ptr<std::uint8_t[]>> m_foreignData;
    std::vector<std::unique_ptr<SAFEARRAY*>> m_arrayRefs;
    std::vector<std::unique_ptr<VARIANT>> m_wrapped;
    std::vector<std::unique_ptr<std::uint64_t[]>> m_storage;
    std::uint64_t m_dataBytes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    VariantScript script;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const Fuzz::Command& command : Fuzz::ParseScript(text, kMaxCommands)) script.Run(command);
    return 0;
}
