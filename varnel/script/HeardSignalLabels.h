#pragma once

#include <string>
#include <utility>
#include <vector>

#include "varnel/detect/Hearing.h"
#include "varnel/detect/PcapStreams.h"
#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Script {

using LabelFields = std::vector<std::pair<std::string, std::string>>;

// One thing heard and its labels: a key, an MF signal, a tone, an alert, a Caller-ID message, a
// TTY message, a telephone event or a block of real-time text; its level in dBm0 as the
// timeline gives it (a key's, an MF signal's and an alert's two tones, a telephone event's
// volume; none for text).
struct HeardEvent {
    std::vector<Label> labels;
    std::vector<double> dbm0;
};

// What a stream held, in the order of `varnel detect --json`: the DTMF keys (kind "dtmf"), the
// MF signals and tones (HeardLabels.h), the Caller-ID (HeardCallerIdLabels.h), then each TTY
// message's character frames; fields are added to every label.
std::vector<HeardEvent> HeardEvents(const Detect::HeardSignals& heard, const LabelFields& fields = {});
// Their labels, those `varnel detect --json` writes.
std::vector<Label> HeardSignalLabels(const Detect::HeardSignals& heard, const LabelFields& fields = {});
std::vector<Label> LabelsOf(const std::vector<HeardEvent>& events);

// The fields that name an RTP stream on its labels: "ssrc" (0x0000ABCD), "source", "destination".
LabelFields StreamFields(const Detect::RtpStream& stream);

// A stream's DTMF telephone events (kind "rfc4733", value the event's code) and its real-time
// text, a label a character (kind "t140", index its place in the stream's text), with the fields.
std::vector<HeardEvent> StreamEvents(const Detect::RtpStream& stream, const LabelFields& fields);
std::vector<Label> StreamEventLabels(const Detect::RtpStream& stream, const LabelFields& fields);

// Every RTP stream of a capture, as `varnel detect --json` labels it: what its audio holds, then
// its telephone events and text, each label with the stream's fields.
std::vector<HeardEvent> CaptureEvents(const std::vector<Detect::RtpStream>& streams);
std::vector<Label> CaptureLabels(const std::vector<Detect::RtpStream>& streams);

}  // namespace Quorvex::VarnelNet::Script
