#include "varnel/script/HeardSignalLabels.h"

#include <array>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string_view>

#include "varnel/rtp/Events.h"
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

void AddTextEvents(const Detect::RtpStream& stream, const LabelFields& fields, std::vector<HeardEvent>& events) {
    std::int32_t index = 0;
    for (const Detect::TextBlock& block : stream.texts) {
        HeardEvent& event = events.emplace_back();
        for (std::size_t at = 0; at < block.text.size();) {
            const std::size_t length = CharacterLength(std::string_view(block.text).substr(at));
            Label& label = event.labels.emplace_back();
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

std::vector<HeardEvent> HeardEvents(const Detect::HeardSignals& heard, const LabelFields& fields) {
    std::vector<HeardEvent> events;
    for (const Detect::DtmfEvent& key : heard.keys) {
        HeardEvent& event = events.emplace_back(HeardEvent{{HeardKeyLabel(key.key, key.first, key.last + 1, "dtmf")}, {key.rowDbm0, key.columnDbm0}});
        event.labels.back().fields = fields;
    }
    for (const Detect::MfEvent& signal : heard.mf) {
        HeardEvent& event = events.emplace_back(HeardEvent{{MfLabel(signal)}, {signal.lowDbm0, signal.highDbm0}});
        event.labels.back().fields = fields;
    }
    for (const Detect::ToneEvent& tone : heard.tones) {
        HeardEvent& event = events.emplace_back(HeardEvent{ToneLabels(tone), {tone.dbm0}});
        for (Label& label : event.labels) label.fields.insert(label.fields.begin(), fields.begin(), fields.end());
    }
    for (const Detect::HeardCallerIdEvent& heardEvent : heard.callerId) {
        const auto* alert = std::get_if<Detect::AlertEvent>(&heardEvent);
        const auto* message = std::get_if<Detect::HeardCallerId>(&heardEvent);
        HeardEvent& event = events.emplace_back(alert ? HeardEvent{{HeardAlertLabel(*alert)}, {alert->lowDbm0, alert->highDbm0}}
                                                      : HeardEvent{{HeardCallerIdLabel(*message)}, {message->dbm0}});
        event.labels.back().fields.insert(event.labels.back().fields.end(), fields.begin(), fields.end());
    }
    for (const Detect::HeardTty& message : heard.tty) {
        HeardEvent& event = events.emplace_back(HeardEvent{{}, {message.dbm0}});
        std::int32_t index = 0;
        for (const Detect::TtyCharacter& c : message.characters) {
            event.labels.push_back(HeardCharacterLabel(Detect::TtyCharacterText(c, message.coding), index++,
                                                       Detect::TtyCharacterCode(c, message.coding), c.first, c.last + 1));
            event.labels.back().fields = fields;
        }
    }
    return events;
}

std::vector<Label> LabelsOf(const std::vector<HeardEvent>& events) {
    std::vector<Label> labels;
    for (const HeardEvent& event : events) labels.insert(labels.end(), event.labels.begin(), event.labels.end());
    return labels;
}

std::vector<Label> HeardSignalLabels(const Detect::HeardSignals& heard, const LabelFields& fields) {
    return LabelsOf(HeardEvents(heard, fields));
}

LabelFields StreamFields(const Detect::RtpStream& stream) {
    std::array<char, 11> ssrc{};
    std::snprintf(ssrc.data(), ssrc.size(), "0x%08X", stream.ssrc);
    return {{"ssrc", ssrc.data()}, {"source", stream.source.Text()}, {"destination", stream.destination.Text()}};
}

std::vector<HeardEvent> StreamEvents(const Detect::RtpStream& stream, const LabelFields& fields) {
    std::vector<HeardEvent> events;
    for (const Detect::TelephoneEvent& telephoneEvent : stream.events) {
        const std::optional<char> key = Rtp::DtmfEventKey(telephoneEvent.code);
        if (!key) continue;
        HeardEvent& event = events.emplace_back(HeardEvent{{HeardKeyLabel(*key, telephoneEvent.first, telephoneEvent.end, "rfc4733")},
                                                           {-static_cast<double>(telephoneEvent.volume)}});
        event.labels.back().value = telephoneEvent.code;
        event.labels.back().fields = fields;
    }
    AddTextEvents(stream, fields, events);
    return events;
}

std::vector<Label> StreamEventLabels(const Detect::RtpStream& stream, const LabelFields& fields) { return LabelsOf(StreamEvents(stream, fields)); }

std::vector<HeardEvent> CaptureEvents(const std::vector<Detect::RtpStream>& streams) {
    std::vector<HeardEvent> events;
    for (const Detect::RtpStream& stream : streams) {
        const LabelFields fields = StreamFields(stream);
        Detect::StreamAudio audio(stream);
        std::vector<HeardEvent> heard = HeardEvents(Detect::HearAll(audio, Detect::kStreamRate), fields);
        std::vector<HeardEvent> streamEvents = StreamEvents(stream, fields);
        events.insert(events.end(), std::make_move_iterator(heard.begin()), std::make_move_iterator(heard.end()));
        events.insert(events.end(), std::make_move_iterator(streamEvents.begin()), std::make_move_iterator(streamEvents.end()));
    }
    return events;
}

std::vector<Label> CaptureLabels(const std::vector<Detect::RtpStream>& streams) { return LabelsOf(CaptureEvents(streams)); }

}  // namespace Quorvex::VarnelNet::Script
