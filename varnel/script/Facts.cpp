#include "varnel/script/Facts.h"

#include <algorithm>
#include <cstdio>

#include "varnel/platform/DecimalText.h"
#include "varnel/signal/CallerIdStandard.h"
#include "varnel/signal/DtmfKeypad.h"
#include "varnel/signal/ModemSpec.h"
#include "varnel/signal/ModemTones.h"

namespace Quorvex::VarnelNet::Script {

namespace {

void AddOnce(std::vector<double>& list, double hz) {
    if (hz != 0.0 && std::find(list.begin(), list.end(), hz) == list.end()) list.push_back(hz);
}

void AddKeys(std::vector<double>& list, std::string_view keys) {
    for (char key : keys) {
        if (key >= 'a' && key <= 'd') key = static_cast<char>(key - 'a' + 'A');
        if (const auto pair = DtmfKeypad::Find(key)) {
            AddOnce(list, pair->row);
            AddOnce(list, pair->column);
        }
    }
}

void AddPattern(std::vector<double>& list, const TonePattern& pattern) {
    for (const PatternElement& e : pattern.elements) {
        for (int i = 0; i < e.toneCount; ++i) AddOnce(list, e.tones[static_cast<std::size_t>(i)].hz);
    }
}

CallerIdStandard StandardOf(const SettingValues& settings) {
    return static_cast<CallerIdStandard>(settings.Integer(SettingsCatalog::kCidStandard));
}

CallerIdAlert AlertOf(const SettingValues& settings) {
    return static_cast<CallerIdAlert>(settings.Integer(SettingsCatalog::kCidAlert));
}

// The alerting steps a Caller-ID or message-waiting request starts with; none when the
// standard does not define the alert (the request is refused then).
std::vector<AlertStep> AlertSteps(const SettingValues& settings) {
    const CallerIdStandard standard = StandardOf(settings);
    const CallerIdAlert alert = AlertOf(settings);
    if (!CallerIdPlan::CheckAlert(standard, alert).empty()) return {};
    return CallerIdPlan::FrameOf(standard, alert).alert;
}

// The keys a Caller-ID in the DTMF standard sends.
std::string DtmfCallerIdKeys(const CallerId& r, const SettingValues& settings) {
    if (settings.Integer(SettingsCatalog::kCidFormat) == CID_RAW) return r.number;
    if (r.numberAbsence != CallerIdAbsence::None) return r.numberAbsence == CallerIdAbsence::Private ? "B10C" : "B00C";
    return "A" + r.number + "C";
}

const ModemSpec& FskOf(CallerIdStandard standard) { return standard == CallerIdStandard::Bell202 ? kBell202 : kV23; }

struct FrequencyList {
    const SettingValues& settings;
    std::vector<double> list;

    void CallerIdData(const CallerId* cid) {
        for (const AlertStep& step : AlertSteps(settings)) {
            for (int i = 0; i < step.toneCount; ++i) AddOnce(list, step.hz[i]);
        }
        if (StandardOf(settings) == CallerIdStandard::Dtmf) {
            if (cid) AddKeys(list, DtmfCallerIdKeys(*cid, settings));
            return;
        }
        AddOnce(list, FskOf(StandardOf(settings)).markHz);
        AddOnce(list, FskOf(StandardOf(settings)).spaceHz);
    }
    void operator()(const Dtmf& r) { AddKeys(list, r.keys); }
    void operator()(const Tone& r) {
        for (const float hz : r.hz) AddOnce(list, hz);
    }
    void operator()(const Silence&) {}
    void operator()(const Tones& r) {
        for (const ToneStep& step : r.steps) {
            for (const float hz : step.hz) AddOnce(list, hz);
        }
    }
    void operator()(const CallerId& r) { CallerIdData(&r); }
    void operator()(const Vmwi&) { CallerIdData(nullptr); }
    void operator()(const Mf& r) {
        for (const char signal : r.signals) {
            const MfSignals::Pair pair = MfSignals::Find(r.system, signal);
            AddOnce(list, pair.low);
            AddOnce(list, pair.high);
        }
    }
    void Tty() {
        const auto rate = static_cast<std::size_t>(settings.Integer(SettingsCatalog::kTtyRate));
        const ModemSpec& spec = kTtyRates[rate < std::size(kTtyRates) ? rate : 0];
        AddOnce(list, spec.markHz);
        AddOnce(list, spec.spaceHz);
    }
    void operator()(const Script::Tty&) { Tty(); }
    void operator()(const TtyHex&) { Tty(); }
    void operator()(const TtyFile&) { Tty(); }
    void operator()(const Set&) {}
    void operator()(const Plan& r) { AddPattern(list, r.pattern); }
    void operator()(const Pattern& r) { AddPattern(list, r.pattern); }
    void operator()(const Sit& r) { AddPattern(list, r.pattern); }
    void operator()(const Modem& r) { AddOnce(list, kModemTones[r.tone].hz); }
};

std::vector<int> PatternCounts(const TonePattern& pattern) {
    std::vector<int> counts;
    for (const PatternElement& e : pattern.elements) counts.push_back(e.toneCount);
    return counts;
}

struct CountList {
    const SettingValues& settings;

    std::vector<int> CallerIdData() const {
        std::vector<int> counts;
        for (const AlertStep& step : AlertSteps(settings)) counts.push_back(step.toneCount);
        counts.push_back(StandardOf(settings) == CallerIdStandard::Dtmf ? 2 : 1);
        return counts;
    }
    std::vector<int> operator()(const Dtmf&) const { return {2}; }
    std::vector<int> operator()(const Tone& r) const {
        return {static_cast<int>(std::count_if(r.hz.begin(), r.hz.end(), [](float f) { return f != 0.0f; }))};
    }
    std::vector<int> operator()(const Silence&) const { return {0}; }
    std::vector<int> operator()(const Tones& r) const {
        std::vector<int> counts;
        for (const ToneStep& step : r.steps) {
            counts.push_back(static_cast<int>(std::count_if(step.hz.begin(), step.hz.end(), [](float f) { return f != 0.0f; })));
        }
        return counts;
    }
    std::vector<int> operator()(const CallerId&) const { return CallerIdData(); }
    std::vector<int> operator()(const Vmwi&) const { return CallerIdData(); }
    std::vector<int> operator()(const Mf&) const { return {2}; }
    std::vector<int> operator()(const Script::Tty&) const { return {1}; }
    std::vector<int> operator()(const TtyHex&) const { return {1}; }
    std::vector<int> operator()(const TtyFile&) const { return {1}; }
    std::vector<int> operator()(const Set&) const { return {}; }
    std::vector<int> operator()(const Plan& r) const { return PatternCounts(r.pattern); }
    std::vector<int> operator()(const Pattern& r) const { return PatternCounts(r.pattern); }
    std::vector<int> operator()(const Sit& r) const { return PatternCounts(r.pattern); }
    std::vector<int> operator()(const Modem&) const { return {1}; }
};

std::string Hz(const std::vector<float>& hz) {
    std::string text;
    for (const float f : hz) {
        if (f != 0.0f) text.append(text.empty() ? "" : "+").append(ShortestText(f));
    }
    return text.empty() ? "silence" : text + " Hz";
}

std::string Field(const std::string& text, CallerIdAbsence absence) {
    if (absence == CallerIdAbsence::Private) return "private";
    if (absence == CallerIdAbsence::Unavailable) return "unavailable";
    return text;
}

std::string Ms(std::int32_t ms) { return std::to_string(ms) + " ms"; }

struct Description {
    const SettingValues& settings;

    std::string CallerIdName() const { return std::string(CallerIdPlan::Name(StandardOf(settings))) + " "; }
    std::string operator()(const Dtmf& r) const { return "DTMF " + r.keys; }
    std::string operator()(const Tone& r) const {
        return "tone " + Hz({r.hz.begin(), r.hz.end()}) + " for " + Ms(r.onMs) + ", then " + Ms(r.offMs) + " of silence";
    }
    std::string operator()(const Silence& r) const { return "silence for " + ShortestText(r.ms) + " ms"; }
    std::string operator()(const Tones& r) const {
        std::string text;
        for (const ToneStep& step : r.steps) text.append(text.empty() ? "" : ", ").append(Hz(step.hz) + " for " + Ms(step.ms));
        return "tones: " + text;
    }
    std::string operator()(const CallerId& r) const {
        std::string text = CallerIdName() + "Caller-ID: number " + Field(r.number, r.numberAbsence);
        const std::string name = Field(r.name, r.nameAbsence);
        if (!name.empty()) text += ", name " + name;
        return text + ", " + (r.dateTime.empty() ? "the local time" : r.dateTime);
    }
    std::string operator()(const Vmwi& r) const {
        return CallerIdName() + "message waiting " + (r.active ? "on" : "off");
    }
    std::string operator()(const Mf& r) const {
        const char* system = r.system == MfSystem::R1 ? "MF R1" : r.system == MfSystem::R2Forward ? "R2 forward" : "R2 backward";
        return std::string(system) + " signals " + r.signals;
    }
    std::string operator()(const Script::Tty& r) const { return "TTY text of " + std::to_string(r.text.size()) + " bytes"; }
    std::string operator()(const TtyHex& r) const { return "TTY bytes, " + std::to_string(r.bytes.size()) + " of them"; }
    std::string operator()(const TtyFile& r) const {
        return r.path == "-" ? "TTY text from standard input" : "TTY text from the file " + r.path;
    }
    std::string operator()(const Set& r) const {
        return "the setting " + std::string(r.spec->option) + " becomes " + ValueText(*r.spec, r.value);
    }
    std::string operator()(const Plan& r) const {
        return std::string(r.row->description) + " " + std::string(r.row->tone) + " tone " + std::string(r.row->pattern) +
               " for " + Ms(r.ms);
    }
    std::string operator()(const Pattern& r) const { return "tone pattern " + PrintTonePattern(r.pattern) + " for " + Ms(r.ms); }
    std::string operator()(const Sit& r) const {
        return "special information tone " + std::string(r.row->code) + " (" + std::string(r.row->meaning) + ")";
    }
    std::string operator()(const Modem& r) const {
        return std::string(kModemTones[r.tone].name) + " modem tone for " + Ms(r.ms);
    }
};

}  // namespace

std::vector<double> Frequencies(const Request& request, const SettingValues& settings) {
    FrequencyList list{settings, {}};
    std::visit(list, request);
    return list.list;
}

std::vector<int> ToneCounts(const Request& request, const SettingValues& settings) {
    return std::visit(CountList{settings}, request);
}

int MostTonesAtOnce(const Request& request, const SettingValues& settings) {
    const std::vector<int> counts = ToneCounts(request, settings);
    return counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
}

std::string Describe(const Request& request, const SettingValues& settings) {
    return std::visit(Description{settings}, request);
}

std::vector<std::string> Warnings(const Entry& entry, const SettingValues& settings) {
    std::vector<std::string> warnings = entry.warnings;
    const std::int32_t rate = settings.Integer(SettingsCatalog::kSampleRate);
    const double half = rate / 2.0;
    for (const double f : Frequencies(entry.request, settings)) {
        if (f < half) continue;
        char text[160];
        std::snprintf(text, sizeof text, "%g Hz is at or above half the sample rate (%g Hz at %d Hz): it aliases", f, half,
                      rate);
        warnings.emplace_back(text);
    }
    return warnings;
}

}  // namespace Quorvex::VarnelNet::Script
