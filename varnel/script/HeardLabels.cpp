#include "varnel/script/HeardLabels.h"

#include "varnel/signal/MfSignals.h"
#include "varnel/signal/ModemTones.h"
#include "varnel/signal/ToneTables.h"

namespace Quorvex::VarnelNet::Script {

namespace {

using Detect::ToneEventKind;
using Detect::kV21Flags;

std::string_view KindWord(ToneEventKind kind) {
    switch (kind) {
        case ToneEventKind::Progress: return "plan";
        case ToneEventKind::Sit: return "sit";
        case ToneEventKind::Modem: break;
    }
    return "modem";
}

}  // namespace

std::string PlanName(std::size_t row) {
    const TonePlanRow& plan = TonePlanRows()[row];
    return std::string(plan.tone) + ":" + std::string(plan.country);
}

std::string ModemName(int modem) {
    return modem == kV21Flags ? std::string("V.21") : std::string(kModemTones[static_cast<std::size_t>(modem)].name);
}

Label MfLabel(const Detect::MfEvent& event) {
    Label label;
    label.kind = event.system == MfSystem::R1 ? "mf" : Detect::MfSystemWord(event.system);
    label.symbol = SymbolKind::Key;
    label.first = event.first;
    label.end = event.last + 1;
    label.text = std::string(1, event.signal);
    const MfSignals::Pair pair = MfSignals::Find(event.system, event.signal);
    label.hz = {pair.low, pair.high};
    return label;
}

std::vector<Label> ToneLabels(const Detect::ToneEvent& event) {
    std::vector<std::pair<std::string, std::string>> fields;
    if (event.kind == ToneEventKind::Progress) {
        std::string plans;
        for (int i = 0; i < event.matchCount; ++i) {
            if (i > 0) plans += ',';
            plans += PlanName(event.matches[static_cast<std::size_t>(i)]);
        }
        fields.emplace_back("plans", plans);
    } else if (event.kind == ToneEventKind::Sit) {
        fields.emplace_back("code", std::string(SitRows()[static_cast<std::size_t>(event.sit)].code));
    } else {
        fields.emplace_back("tone", ModemName(event.modem));
        if (event.reversals > 0) fields.emplace_back("reversals", std::to_string(event.reversals));
        if (event.flags > 0) fields.emplace_back("flags", std::to_string(event.flags));
    }
    std::vector<Label> labels;
    for (int i = 0; i < event.elementCount; ++i) {
        const Detect::ToneEvent::Element& element = event.elements[static_cast<std::size_t>(i)];
        Label label;
        label.kind = KindWord(event.kind);
        label.symbol = element.tone ? SymbolKind::Tone : SymbolKind::Silence;
        label.first = element.first;
        label.end = element.last + 1;
        if (element.tone) label.hz.assign(element.hz.begin(), element.hz.begin() + element.toneCount);
        label.index = element.step;
        label.fields = fields;
        labels.push_back(std::move(label));
    }
    return labels;
}

}  // namespace Quorvex::VarnelNet::Script
