#pragma once

#include <string>
#include <utility>
#include <vector>

#include "varnel/detect/Hearing.h"
#include "varnel/detect/PcapStreams.h"
#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Script {

using LabelFields = std::vector<std::pair<std::string, std::string>>;

// What a stream held as the labels `varnel detect --json` writes, in its order: the DTMF keys
// (kind "dtmf"), the MF signals and tones (HeardLabels.h), the Caller-ID (HeardCallerIdLabels.h),
// then each TTY message's character frames; fields are added to every label.
std::vector<Label> HeardSignalLabels(const Detect::HeardSignals& heard, const LabelFields& fields = {});

// The fields that name an RTP stream on its labels: "ssrc" (0x0000ABCD), "source", "destination".
LabelFields StreamFields(const Detect::RtpStream& stream);

// A stream's DTMF telephone events (kind "rfc4733", value the event's code) and its real-time
// text, a label a character (kind "t140", index its place in the stream's text), with the fields.
std::vector<Label> StreamEventLabels(const Detect::RtpStream& stream, const LabelFields& fields);

// Every RTP stream of a capture, as `varnel detect --json` labels it: what its audio holds, then
// its telephone events and text, each label with the stream's fields.
std::vector<Label> CaptureLabels(const std::vector<Detect::RtpStream>& streams);

}  // namespace Quorvex::VarnelNet::Script
