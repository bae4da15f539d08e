#include "varnel/script/Queue.h"

#include <cinttypes>
#include <cstdio>
#include <limits>

#include "varnel/engine/CVarnel.h"
#include "varnel/engine/FailureRecord.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/script/Check.h"
#include "varnel/script/Level.h"
#include "varnel/script/RequestError.h"
#include "varnel/script/SettingText.h"

namespace Quorvex::VarnelNet::Script {

namespace {

// Runs one engine operation that queues a request, keeping its ID.
template <class Operation>
HRESULT One(std::vector<std::int32_t>& ids, Operation&& operation) {
    std::int32_t id = 0;
    const HRESULT hr = operation(&id);
    if (SUCCEEDED(hr)) ids.push_back(id);
    return hr;
}

struct Queuer {
    CVarnel& engine;
    std::vector<std::int32_t>& ids;

    HRESULT operator()(const Dtmf& r) const {
        const WideArgument keys(r.keys);
        return One(ids, [&](std::int32_t* id) { return engine.GenerateDTMFs(keys.get(), id); });
    }
    HRESULT operator()(const Tone& r) const {
        return One(ids, [&](std::int32_t* id) {
            return engine.GenerateTone(static_cast<std::uint32_t>(r.onMs), static_cast<std::uint32_t>(r.offMs), r.hz[0],
                                       r.hz[1], r.hz[2], id);
        });
    }
    HRESULT operator()(const Silence& r) const {
        return One(ids, [&](std::int32_t* id) { return engine.GenerateSilence(r.ms, id); });
    }
    HRESULT operator()(const Tones& r) const {
        for (const ToneStep& step : r.steps) {
            HRESULT hr = S_OK;
            if (step.IsPause()) {
                if (step.ms == 0) continue;
                hr = One(ids, [&](std::int32_t* id) { return engine.GenerateSilence(static_cast<float>(step.ms), id); });
            } else {
                float hz[3] = {0.0f, 0.0f, 0.0f};
                for (std::size_t i = 0; i < step.hz.size() && i < 3; ++i) hz[i] = step.hz[i];
                hr = One(ids, [&](std::int32_t* id) {
                    return engine.GenerateTone(static_cast<std::uint32_t>(step.ms), 0, hz[0], hz[1], hz[2], id);
                });
            }
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }
    HRESULT operator()(const CallerId& r) const {
        const WideArgument number(r.number), name(r.name), dateTime(r.dateTime);
        if (r.numberAbsence == CallerIdAbsence::None && r.nameAbsence == CallerIdAbsence::None) {
            return One(ids, [&](std::int32_t* id) {
                return engine.GenerateCallerID(number.get(), name.get(), dateTime.get(), id);
            });
        }
        return One(ids, [&](std::int32_t* id) {
            return engine.GenerateCallerIDEx(number.get(), name.get(), dateTime.get(),
                                             static_cast<std::int32_t>(r.numberAbsence),
                                             static_cast<std::int32_t>(r.nameAbsence), id);
        });
    }
    HRESULT operator()(const Vmwi& r) const {
        return One(ids, [&](std::int32_t* id) { return engine.GenerateVMWI(r.active ? 1 : 0, id); });
    }
    HRESULT operator()(const Mf& r) const {
        const WideArgument signals(r.signals);
        if (r.system == MfSystem::R1) {
            return One(ids, [&](std::int32_t* id) { return engine.GenerateMF(signals.get(), id); });
        }
        const std::int32_t backward = r.system == MfSystem::R2Backward ? 1 : 0;
        return One(ids, [&](std::int32_t* id) { return engine.GenerateR2MF(signals.get(), backward, id); });
    }
    HRESULT Text(const std::string& text) const {
        const WideArgument wide(text);
        return One(ids, [&](std::int32_t* id) { return engine.GenerateTTY(wide.get(), id); });
    }
    HRESULT operator()(const Tty& r) const { return Text(r.text); }
    HRESULT operator()(const TtyFile& r) const { return Text(r.text); }
    HRESULT operator()(const TtyHex& r) const {
        std::vector<char> bytes(r.bytes.begin(), r.bytes.end());
        bytes.push_back('\0');
        const auto length =
            static_cast<std::int32_t>(std::min<std::size_t>(r.bytes.size(), std::numeric_limits<std::int32_t>::max()));
        const std::int32_t id = engine.GenerateTTY2(bytes.data(), length);
        if (id == -1) return E_INVALIDARG;
        ids.push_back(id);
        return S_OK;
    }
    HRESULT operator()(const Set& r) const { return SettingsCatalog::Apply(engine, *r.spec, r.value); }
    HRESULT operator()(const Plan& r) const {
        return One(ids, [&](std::int32_t* id) { return engine.GenerateTonePlan(*r.row, r.pattern, r.ms, id); });
    }
    HRESULT operator()(const Pattern& r) const {
        return One(ids, [&](std::int32_t* id) { return engine.GeneratePattern(r.pattern, r.ms, id); });
    }
    HRESULT operator()(const Sit& r) const {
        return One(ids, [&](std::int32_t* id) { return engine.GenerateSIT(*r.row, r.pattern, id); });
    }
    HRESULT operator()(const Modem& r) const {
        return One(ids, [&](std::int32_t* id) { return engine.GenerateModemTone(r.tone, r.ms, id); });
    }
};

}  // namespace

HRESULT Queue(CVarnel& engine, const Request& request, std::vector<std::int32_t>& ids) {
    if (const std::string refusal = CheckRequest(request, SettingValues::Of(engine)); !refusal.empty()) {
        throw RequestError(kNamesOptions, refusal);
    }
    return std::visit(Queuer{engine, ids}, request);
}

std::string EngineReason(HRESULT hr, const std::string& recorded) {
    if (!recorded.empty()) return recorded;
    char text[64];
    std::snprintf(text, sizeof text, "refused by the engine (HRESULT 0x%08" PRIX32 ")", static_cast<std::uint32_t>(hr));
    return text;
}

std::vector<std::int32_t> QueueEntry(CVarnel& engine, const Entry& entry, const std::optional<float>& dbm0) {
    const auto refuse = [&](const std::string& reason, HRESULT code) {
        throw RequestError(reason, entry.text, entry.index, entry.line, code);
    };
    if (dbm0) {
        if (const std::string reason = CheckDbm0(entry.request, SettingValues::Of(engine), *dbm0); !reason.empty()) {
            throw RequestError(kNamesOptions, reason, entry.text, entry.index, entry.line);
        }
    }
    std::vector<std::int32_t> ids;
    const FailureRecord record;
    HRESULT hr = S_OK;
    try {
        hr = Queue(engine, entry.request, ids);
    } catch (const RequestError& e) {
        if (e.NamingOptions()) throw RequestError(kNamesOptions, e.Reason(), entry.text, entry.index, entry.line, e.Code());
        refuse(e.Reason(), e.Code());
    }
    if (FAILED(hr)) refuse(EngineReason(hr, record.Text()), hr);
    return ids;
}

}  // namespace Quorvex::VarnelNet::Script
