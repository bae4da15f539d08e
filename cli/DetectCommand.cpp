#include "cli/DetectCommand.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <iostream>
#include <variant>

#include "cli/DetectExpect.h"
#include "cli/DetectFrontEnd.h"
#include "cli/DetectListen.h"
#include "cli/DetectText.h"
#include "cli/Text.h"
#include "cli/ToneLines.h"
#include "cli/TtyLines.h"
#include "cli/UsageError.h"
#include "varnel/options/ValueReaders.h"
#include "varnel/detect/Hearing.h"
#include "varnel/detect/PcapStreams.h"
#include "varnel/rtp/Events.h"
#include "varnel/script/HeardSignalLabels.h"
#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

using Detect::DtmfEvent;
using Detect::Encoding;

int Number(std::string_view option, const std::string& text) {
    const std::optional<std::uint64_t> value = Option::ReadWhole(text, 1, INT32_MAX);
    if (!value) throw UsageError(std::string(option) + " needs a positive whole number, not '" + Printable(text) + "'");
    return static_cast<int>(*value);
}

Encoding EncodingOf(const std::string& text) {
    if (text == "signed") return Encoding::Signed;
    if (text == "unsigned") return Encoding::Unsigned;
    if (text == "float") return Encoding::Float;
    if (text == "mu-law") return Encoding::MuLaw;
    if (text == "a-law") return Encoding::ALaw;
    throw UsageError("-e/--encoding is signed, unsigned, float, mu-law or a-law, not '" + text + "'");
}

CallerIdStandard StandardOf(const std::string& text) {
    if (const std::optional<CallerIdStandard> standard = Detect::StandardOfWord(text)) return *standard;
    throw UsageError("--cid-standard is bell, etsi, bt, ntt or dtmf, not '" + Printable(text) + "'");
}

// A key as a timeline line: the key, its start and end in seconds, its tones' levels and frequencies.
void PrintKeyLine(const DtmfEvent& event, int rate, std::FILE* out) {
    std::fprintf(out, "%c %.3f %.3f %.1f %.1f dBm0 %.1f %.1f Hz\n", event.key, static_cast<double>(event.first) / rate,
                 static_cast<double>(event.last + 1) / rate, event.rowDbm0, event.columnDbm0, event.rowHz, event.columnHz);
}

// A Caller-ID field's name as one word of a timeline line: "number absence" as number-absence.
std::string FieldWord(std::string name) {
    for (char& c : name) {
        if (c == ' ') c = '-';
    }
    return name;
}

// Alerts and Caller-ID messages as timeline lines: "DT-AS START END LOW HIGH dBm0", "CID START
// END STANDARD LAYOUT [alert] FIELD=VALUE... [checksum ok|bad] LEVEL dBm0".
void PrintCallerIdLines(const std::vector<Detect::HeardCallerIdEvent>& callerId, int rate, std::FILE* out) {
    const auto seconds = [rate](std::uint64_t sample) { return static_cast<double>(sample) / rate; };
    for (const auto& event : callerId) {
        if (const auto* alert = std::get_if<Detect::AlertEvent>(&event)) {
            std::fprintf(out, "DT-AS %.3f %.3f %.1f %.1f dBm0\n", seconds(alert->first), seconds(alert->last + 1), alert->lowDbm0,
                         alert->highDbm0);
            continue;
        }
        const Detect::HeardCallerId& message = std::get<Detect::HeardCallerId>(event);
        std::string words(Detect::StandardWord(message.standard));
        words.append(" ").append(message.layout);
        if (message.alertSeen) words += " alert";
        for (const CallerIdField& field : message.fields) words.append(" ").append(FieldWord(field.name)).append("=").append(Printable(field.value));
        if (message.check != Detect::CallerIdCheck::None) words += message.check == Detect::CallerIdCheck::Good ? " checksum ok" : " checksum bad";
        std::fprintf(out, "CID %.3f %.3f %s %.1f dBm0\n", seconds(message.first), seconds(message.last + 1), words.c_str(), message.dbm0);
    }
}

// Adds the labels to heard and, with json, prints them on out unless it is null. Returns whether
// their timeline lines are still to be printed (out given, no json).
bool KeepLabels(const std::vector<Script::Label>& labels, bool json, std::FILE* out, std::vector<Script::Label>& heard) {
    heard.insert(heard.end(), labels.begin(), labels.end());
    if (out == nullptr) return false;
    if (json) std::fputs(Script::JsonLabels(labels).c_str(), out);
    return !json;
}

// What a stream held, printed on out unless it is null (--expect prints verdicts instead): as
// timeline lines (the keys, the MF signals, the tones, the Caller-ID, then the TTY messages) or
// as their JSON labels. The labels are added to heard.
void PrintDetections(const Detect::HeardSignals& signals, int rate, bool json, std::FILE* out, std::vector<Script::Label>& heard,
                     const Script::LabelFields& fields = {}) {
    if (!KeepLabels(Script::HeardSignalLabels(signals, fields), json, out, heard)) return;
    for (const DtmfEvent& key : signals.keys) PrintKeyLine(key, rate, out);
    PrintMfLines(signals.mf, rate, out);
    PrintToneLines(signals.tones, rate, out);
    PrintCallerIdLines(signals.callerId, rate, out);
    PrintTtyLines(signals.tty, rate, out);
}

// The DTMF telephone events of a stream as timeline lines marked rfc4733.
void PrintTelephoneEventLines(const Detect::RtpStream& stream, std::FILE* out) {
    for (const Detect::TelephoneEvent& event : stream.events) {
        const std::optional<char> key = Rtp::DtmfEventKey(event.code);
        if (!key) continue;
        std::fprintf(out, "%c %.3f %.3f -%d dBm0 rfc4733%s\n", *key, static_cast<double>(event.first) / Detect::kStreamRate,
                     static_cast<double>(event.end) / Detect::kStreamRate, event.volume, event.ended ? "" : " unended");
    }
}

// A stream's telephone events and text, printed on out unless it is null, their labels added to heard.
void PrintStreamEvents(const Detect::RtpStream& stream, bool json, std::FILE* out, std::vector<Script::Label>& heard,
                       const Script::LabelFields& fields) {
    if (!KeepLabels(Script::StreamEventLabels(stream, fields), json, out, heard)) return;
    PrintTelephoneEventLines(stream, out);
    PrintTextLines(stream, out);
}

// Each RTP stream of a capture: a line saying which (in a timeline), what its audio holds (Caller-ID
// listened for in the standard given, or all), then
// its telephone events and its text, each stream's labels in heard. Throws
// Detect::ReadError, a file that is no capture refused as the WAV file it was not either.
void PrintCapture(std::istream& in, bool json, std::optional<CallerIdStandard> callerIdStandard, std::FILE* out,
                  std::vector<HeardStream>& heard) {
    std::vector<Detect::RtpStream> streams;
    try {
        streams = Detect::ReadPcapStreams(in);
    } catch (const Detect::NotCapture&) {
        throw Detect::ReadError(Detect::kNotWav);
    }
    for (const Detect::RtpStream& stream : streams) {
        const Script::LabelFields fields = Script::StreamFields(stream);
        HeardStream& heardStream = heard.emplace_back();
        heardStream.name = "RTP " + fields[0].second + " " + fields[1].second + " > " + fields[2].second;
        heardStream.rate = Detect::kStreamRate;
        if (!json && out != nullptr) {
            std::fprintf(out, "%s", heardStream.name.c_str());
            if (stream.payloadType >= 0) std::fprintf(out, " payload %d", stream.payloadType);
            if (stream.eventPayloadType >= 0) std::fprintf(out, " events %d", stream.eventPayloadType);
            if (stream.textPayloadType >= 0) std::fprintf(out, " text %d", stream.textPayloadType);
            std::fprintf(out, " packets %llu\n", static_cast<unsigned long long>(stream.packets));
        }
        Detect::StreamAudio audio(stream);
        PrintDetections(Detect::HearAll(audio, Detect::kStreamRate, callerIdStandard), Detect::kStreamRate, json, out, heardStream.labels, fields);
        PrintStreamEvents(stream, json, out, heardStream.labels, fields);
    }
}

// What one stream holds; throws Detect::ReadError.
Detect::HeardSignals Signals(std::istream& in, const DetectOptions& detect, int& rate) {
    Detect::PcmReader reader = detect.raw ? Detect::PcmReader::Raw(in, *detect.raw) : Detect::PcmReader::Wav(in);
    rate = reader.Format().rate;
    Detect::CheckHearingRate(rate);
    Detect::HeardSignals heard = Detect::HearAll(reader, rate, detect.callerIdStandard);
    if (in.bad()) throw Detect::ReadError(std::strerror(errno));
    return heard;
}

}  // namespace

bool IsDetectCommand(std::string_view word) { return word == "detect"; }

DetectOptions ParseDetectArguments(std::span<const std::string> args) {
    DetectOptions detect;
    std::optional<Encoding> encoding;
    std::optional<int> bits;
    std::optional<int> rate;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            detect.files.push_back(arg);
            continue;
        }
        const auto value = [&](std::string_view option) -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(std::string(option) + " needs a value");
            return args[++i];
        };
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            detect.help = true;
            return detect;
        } else if (arg == "--json") {
            detect.json = true;
        } else if (arg == "-r" || arg == "--rate") {
            rate = Number("-r/--rate", value("-r/--rate"));
        } else if (arg == "-e" || arg == "--encoding") {
            encoding = EncodingOf(value("-e/--encoding"));
        } else if (arg == "-b" || arg == "--bits") {
            bits = Number("-b/--bits", value("-b/--bits"));
        } else if (arg == "--cid-standard") {
            detect.callerIdStandard = StandardOf(value("--cid-standard"));
        } else if (!ParseDetectFrontEnd(arg, value, detect)) {
            throw UsageError("detect: unknown option '" + arg + "'");
        }
    }
    CheckDetectFrontEnd(detect);
    if (detect.listen && detect.callerIdStandard) throw UsageError("--cid-standard narrows the Caller-ID of files: --rtp-listen hears keys");
    if (detect.files.empty() && !detect.listen) throw UsageError("detect needs a file to read (- for standard input)");
    if (!rate && (encoding || bits)) throw UsageError("-e and -b describe raw samples: give their rate with -r RATE");
    if (rate) {
        Detect::PcmFormat format;
        format.rate = *rate;
        format.encoding = encoding.value_or(Encoding::Signed);
        const bool companded = format.encoding == Encoding::MuLaw || format.encoding == Encoding::ALaw;
        format.bits = bits.value_or(companded ? 8 : format.encoding == Encoding::Float ? 32 : 16);
        if (!Detect::HasBits(format.encoding, format.bits)) {
            throw UsageError("-b " + std::to_string(format.bits) + " is not a size of samples in that encoding");
        }
        detect.raw = format;
    }
    return detect;
}

std::string DetectHelp() {
    return R"(Detectors (the first argument names the command):
  varnel detect [--json] [-r RATE [-e signed|unsigned|float|mu-law|a-law] [-b BITS]] FILE...
                         print the DTMF keys FILE holds (a WAV file, its first channel, 8000 to
                         48000 Hz; - for standard input), a line a key: the key, its start and end
                         in seconds, its tones' levels in dBm0 and frequencies; --json as JSON
                         lines in the schema of --labels FILE.jsonl; -r: raw samples of that rate;
                         a pcap: each RTP stream's keys, heard in its G.711 audio and read from
                         its RFC 4733 events, and its real-time text (RTT START END "TEXT")
                         then MF signals and tones, start and end
                         in seconds, frequencies measured, level in dBm0 (a modulated tone's peak):
                           MF 0.000 0.100 KP r1 1099.9+1700.1 Hz -9.1 -9.1 dBm0   (r1, r2f, r2b)
                           TONE 0.000 3.000 busy:uk 400.0 Hz cadence 0.375/0.375 -13.0 dBm0
                             (every plan the tone and cadence fit, best first; the cadence's
                             tone and silence lengths in seconds, or continuous; 400.0*25 Hz
                             a tone modulated at 25 Hz)
                           SIT 0.000 1.140 nc 985.2/1428.5/1776.7 Hz 0.380/0.380/0.380 -3.0 dBm0
                           MODEM 0.000 3.300 ANSam/PR 2100.0*15 Hz depth 0.20 reversals 7 -3.0 dBm0
                             (CNG, ANS, ANS/PR, ANSam, ANSam/PR; V.21 with its flags counted)
                         then its Caller-ID:
                           DT-AS START END LOW HIGH dBm0      a dual-tone alert, each tone's level
                           CID START END STANDARD LAYOUT [alert] FIELD=VALUE... [checksum ok|bad]
                               LEVEL dBm0                     a message (bell, etsi, bt, ntt or
                               dtmf; SDMF, MDMF, NTT, DTMF), e.g.
                           CID 0.600 0.875 bell MDMF date=12251030 number=5551234 name=JOHN DOE
                               checksum ok -20.0 dBm0
                           a message whose check fails has no fields
                         then TTY messages, a line each: TTY START END CODING RATE "TEXT" LEVEL dBm0
                         --json: their labels as a render of the same request gives them (kind
                         mf, r2f, r2b, plan, sit, modem; a plan's tones and silences, fields
                         "plans", "code" or "tone"; Caller-ID messages and alerts of kind cid)
  --cid-standard bell|etsi|bt|ntt|dtmf
                         listen for Caller-ID in that standard only (Bell 202; ETSI or BT after
                         a dual-tone alert; NTT; DTMF), running only its receivers; without it,
                         every standard. The other detectors are as ever
  varnel detect --rtp-listen [ADDR:]PORT [--duration SECONDS]
                         hear a live RTP stream (G.711, RFC 4733 events) as it comes, until
                         Ctrl-C, SECONDS, or 2 s without packets once they came
  --expect SCRIPT, -f FILE
                         check what was heard against what SCRIPT sends: its keys in order (and
                         its MF and R2 signals, Caller-ID numbers, tone segments' frequencies and
                         TTY characters), each start within 40 ms once the first is aligned, each
                         duration within 20 ms; prints "matches: N keys" (exit 0) or the first
                         difference (1)
  --junit FILE           the verdicts of --expect as JUnit XML, a testcase a recording
  --labels FILE.txt|FILE.jsonl
                         write what was heard as a label track (Audacity) or JSON lines

)";
}

int RunDetect(const DetectOptions& detect, std::FILE* out, std::FILE* err) {
    if (detect.help) {
        std::fputs(DetectHelp().c_str(), out);
        return kExitSuccess;
    }
    std::optional<ExpectReport> expect;
    if (detect.expect) expect.emplace(ExpectedOf(*detect.expect));
    std::FILE* timeline = expect ? nullptr : out;
    if (detect.listen) {
        const LivePrinter printer{[&](const DtmfEvent& key, std::vector<Script::Label>& heard) {
                                      Detect::HeardSignals signals;
                                      signals.keys.push_back(key);
                                      PrintDetections(signals, Detect::kStreamRate, detect.json, timeline, heard);
                                  },
                                  [&](const Detect::RtpStream& events, std::vector<Script::Label>& heard) {
                                      PrintStreamEvents(events, detect.json, timeline, heard, {});
                                  }};
        return RunListen(detect, printer, expect ? &*expect : nullptr, out, err);
    }
    std::vector<HeardStream> labels;
    int status = kExitSuccess;
    for (const std::string& file : detect.files) {
        std::vector<HeardStream> heard;
        std::ifstream stream;
        if (file != "-") {
            stream.open(file, std::ios::binary);
            if (!stream) {
                std::fprintf(err, "varnel: %s: %s\n", file.c_str(), std::strerror(errno));
                status = kExitFailure;
                continue;
            }
        }
        std::istream& in = file == "-" ? std::cin : stream;
        try {
            if (!detect.raw && Detect::MayBePcap(in.peek())) {
                if (detect.files.size() > 1 && !detect.json && timeline) std::fprintf(out, "%s:\n", file.c_str());
                PrintCapture(in, detect.json, detect.callerIdStandard, timeline, heard);
            } else {
                int rate = 0;
                const Detect::HeardSignals signals = Signals(in, detect, rate);
                if (detect.files.size() > 1 && !detect.json && timeline) std::fprintf(out, "%s:\n", file.c_str());
                PrintDetections(signals, rate, detect.json, timeline, heard.emplace_back(HeardStream{"", rate, {}}).labels);
            }
            if (expect && !expect->Judge(file, detect.files.size() > 1, heard, out)) status = kExitFailure;
            labels.insert(labels.end(), heard.begin(), heard.end());
        } catch (const Detect::ReadError& e) {
            std::fprintf(err, "varnel: %s: %s\n", file.c_str(), e.what());
            status = kExitFailure;
        }
    }
    if (!WriteDetectOutputs(detect, labels, expect ? &*expect : nullptr, err)) status = kExitFailure;
    return status;
}

}  // namespace Quorvex::VarnelNet::Cli
