#include "varnel/script/HeardSignalLabels.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "varnel/script/HeardCallerIdLabels.h"
#include "varnel/script/HeardLabels.h"

namespace Quorvex::VarnelNet::Script {

namespace {

// The length of the UTF-8 character at the start of text (valid UTF-8).
std::size_t CharacterLength(std::string_view text) {
    std::size_t length = 1;
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) ++length;
    return length;
}

void AddTextLabels(const Detect::RtpStream& stream, const LabelFields& fields, std::vector<Label>& labels) {
    std::int32_t index = 0;
    for (const Detect::TextBlock& block : stream.texts) {
        for (std::size_t at = 0; at < block.text.size();) {
            const std::size_t length = CharacterLength(std::string_view(block.text).substr(at));
            Label& label = labels.emplace_back();
            label.kind = "t140";
            label.symbol = SymbolKind::Character;
            label.first = block.first;
            label.end = block.first + 1;
            label.text = block.text.substr(at, length);
            label.index = index++;
            label.fields = fields;
            at += length;
        }
    }
}

}  // namespace

std::vector<Label> HeardSignalLabels(const Detect::HeardSignals& heard, const LabelFields& fields) {
    std::vector<Label> labels;
    for (const Detect::DtmfEvent& key : heard.keys) {
        labels.push_back(HeardKeyLabel(key.key, key.first, key.last + 1, "dtmf"));
        labels.back().fields = fields;
    }
    for (const Detect::MfEvent& signal : heard.mf) {
        labels.push_back(MfLabel(signal));
        labels.back().fields = fields;
    }
    for (const Detect::ToneEvent& tone : heard.tones) {
        for (Label& label : ToneLabels(tone)) {
            label.fields.insert(label.fields.begin(), fields.begin(), fields.end());
            labels.push_back(std::move(label));
        }
    }
    for (const Detect::HeardCallerIdEvent& event : heard.callerId) {
        const auto* alert = std::get_if<Detect::AlertEvent>(&event);
        labels.push_back(alert ? HeardAlertLabel(*alert) : HeardCallerIdLabel(std::get<Detect::HeardCallerId>(event)));
        labels.back().fields.insert(labels.back().fields.end(), fields.begin(), fields.end());
    }
    for (const Detect::HeardTty& message : heard.tty) {
        std::int32_t index = 0;
        for (const Detect::TtyCharacter& c : message.characters) {
            labels.push_back(HeardCharacterLabel(Detect::TtyCharacterText(c, message.coding), index++,
                                                 Detect::TtyCharacterCode(c, message.coding), c.first, c.last + 1));
            labels.back().fields = fields;
        }
    }
    return labels;
}

LabelFields StreamFields(const Detect::RtpStream& stream) {
    std::array<char, 11> ssrc{};
    std::snprintf(ssrc.data(), ssrc.size(), "0x%08X", stream.ssrc);
    return {{"ssrc", ssrc.data()}, {"source", stream.source.Text()}, {"destination", stream.destination.Text()}};
}

std::vector<Label> StreamEventLabels(const Detect::RtpStream& stream, const LabelFields& fields) {
    static constexpr char kKeys[] = "0123456789*#ABCD";
    std::vector<Label> labels;
    for (const Detect::TelephoneEvent& event : stream.events) {
        if (event.code >= 16) continue;
        Label& label = labels.emplace_back(HeardKeyLabel(kKeys[event.code], event.first, event.end, "rfc4733"));
        label.value = event.code;
        label.fields = fields;
    }
    AddTextLabels(stream, fields, labels);
    return labels;
}

std::vector<Label> CaptureLabels(const std::vector<Detect::RtpStream>& streams) {
    std::vector<Label> labels;
    for (const Detect::RtpStream& stream : streams) {
        const LabelFields fields = StreamFields(stream);
        Detect::StreamAudio audio(stream);
        const std::vector<Label> heard = HeardSignalLabels(Detect::HearAll(audio, Detect::kStreamRate), fields);
        const std::vector<Label> events = StreamEventLabels(stream, fields);
        labels.insert(labels.end(), heard.begin(), heard.end());
        labels.insert(labels.end(), events.begin(), events.end());
    }
    return labels;
}

}  // namespace Quorvex::VarnelNet::Script
