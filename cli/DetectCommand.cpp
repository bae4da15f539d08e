#include "cli/DetectCommand.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <iostream>

#include "cli/Text.h"
#include "cli/TtyLines.h"
#include "cli/UsageError.h"
#include "varnel/options/ValueReaders.h"
#include "varnel/detect/DtmfDetector.h"
#include "varnel/detect/PcapStreams.h"
#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

using Detect::DtmfDetector;
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

using Fields = std::vector<std::pair<std::string, std::string>>;

void PrintEvents(const std::vector<DtmfEvent>& events, int rate, bool json, std::FILE* out, const Fields& fields = {}) {
    for (const DtmfEvent& event : events) {
        if (json) {
            Script::Label label = Script::HeardKeyLabel(event.key, event.first, event.last + 1, "dtmf");
            label.fields = fields;
            std::fputs(Script::JsonLabels(std::span(&label, 1)).c_str(), out);
        } else {
            std::fprintf(out, "%c %.3f %.3f %.1f %.1f dBm0 %.1f %.1f Hz\n", event.key, static_cast<double>(event.first) / rate,
                         static_cast<double>(event.last + 1) / rate, event.rowDbm0, event.columnDbm0, event.rowHz, event.columnHz);
        }
    }
}

// The keys a reader's samples hold, and the TTY messages they hold into tty.
template <typename Reader>
std::vector<DtmfEvent> Heard(Reader& reader, int rate, TtyLines& tty) {
    std::vector<DtmfEvent> events;
    DtmfDetector detector(rate, [&events](const DtmfEvent& event) { events.push_back(event); });
    std::array<double, 1024> block{};
    while (const std::size_t count = reader.Read(block)) {
        detector.Feed(std::span<const double>(block.data(), count));
        tty.Feed(std::span<const double>(block.data(), count));
    }
    detector.Finish();
    tty.Finish();
    return events;
}

// The DTMF telephone events of a stream, as timeline lines marked rfc4733 or labels of that kind.
void PrintTelephoneEvents(const Detect::RtpStream& stream, bool json, std::FILE* out, const Fields& fields) {
    static constexpr char kKeys[] = "0123456789*#ABCD";
    for (const Detect::TelephoneEvent& event : stream.events) {
        if (event.code >= 16) continue;
        const char key = kKeys[event.code];
        if (json) {
            Script::Label label = Script::HeardKeyLabel(key, event.first, event.end, "rfc4733");
            label.value = event.code;
            label.fields = fields;
            std::fputs(Script::JsonLabels(std::span(&label, 1)).c_str(), out);
        } else {
            std::fprintf(out, "%c %.3f %.3f -%d dBm0 rfc4733%s\n", key, static_cast<double>(event.first) / Detect::kStreamRate,
                         static_cast<double>(event.end) / Detect::kStreamRate, event.volume, event.ended ? "" : " unended");
        }
    }
}

// Each RTP stream of a capture: a line saying which (in a timeline), the keys heard in its
// audio, then its telephone events. Throws Detect::ReadError, a file that is no capture refused
// as the WAV file it was not either.
void PrintCapture(std::istream& in, bool json, std::FILE* out) {
    std::vector<Detect::RtpStream> streams;
    try {
        streams = Detect::ReadPcapStreams(in);
    } catch (const Detect::NotCapture&) {
        throw Detect::ReadError(Detect::kNotWav);
    }
    for (const Detect::RtpStream& stream : streams) {
        std::array<char, 11> ssrc{};
        std::snprintf(ssrc.data(), ssrc.size(), "0x%08X", stream.ssrc);
        if (!json) {
            std::fprintf(out, "RTP %s %s > %s", ssrc.data(), stream.source.Text().c_str(), stream.destination.Text().c_str());
            if (stream.payloadType >= 0) std::fprintf(out, " payload %d", stream.payloadType);
            if (stream.eventPayloadType >= 0) std::fprintf(out, " events %d", stream.eventPayloadType);
            std::fprintf(out, " packets %llu\n", static_cast<unsigned long long>(stream.packets));
        }
        const Fields fields = {{"ssrc", ssrc.data()}, {"source", stream.source.Text()}, {"destination", stream.destination.Text()}};
        Detect::StreamAudio audio(stream);
        TtyLines tty(Detect::kStreamRate);
        PrintEvents(Heard(audio, Detect::kStreamRate, tty), Detect::kStreamRate, json, out, fields);
        tty.Print(json, out, fields);
        PrintTelephoneEvents(stream, json, out, fields);
    }
}

// The keys of one stream, its TTY messages into tty; throws Detect::ReadError.
std::vector<DtmfEvent> Keys(std::istream& in, const DetectOptions& detect, int& rate, std::optional<TtyLines>& tty) {
    Detect::PcmReader reader = detect.raw ? Detect::PcmReader::Raw(in, *detect.raw) : Detect::PcmReader::Wav(in);
    rate = reader.Format().rate;
    if (rate < DtmfDetector::kLowestRate || rate > DtmfDetector::kHighestRate) {
        throw Detect::ReadError("its rate of " + std::to_string(rate) + " Hz is outside the " + std::to_string(DtmfDetector::kLowestRate) +
                                " to " + std::to_string(DtmfDetector::kHighestRate) + " Hz the detector takes");
    }
    tty.emplace(rate);
    std::vector<DtmfEvent> events = Heard(reader, rate, *tty);
    if (in.bad()) throw Detect::ReadError(std::strerror(errno));
    return events;
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
        } else {
            throw UsageError("detect: unknown option '" + arg + "'");
        }
    }
    if (detect.files.empty()) throw UsageError("detect needs a file to read (- for standard input)");
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
                         its RFC 4733 events; then TTY messages, a line each: TTY START END
                         CODING RATE "TEXT" LEVEL dBm0

)";
}

int RunDetect(const DetectOptions& detect, std::FILE* out, std::FILE* err) {
    if (detect.help) {
        std::fputs(DetectHelp().c_str(), out);
        return kExitSuccess;
    }
    int status = kExitSuccess;
    for (const std::string& file : detect.files) {
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
                if (detect.files.size() > 1 && !detect.json) std::fprintf(out, "%s:\n", file.c_str());
                PrintCapture(in, detect.json, out);
                continue;
            }
            int rate = 0;
            std::optional<TtyLines> tty;
            const std::vector<DtmfEvent> events = Keys(in, detect, rate, tty);
            if (detect.files.size() > 1 && !detect.json) std::fprintf(out, "%s:\n", file.c_str());
            PrintEvents(events, rate, detect.json, out);
            tty->Print(detect.json, out);
        } catch (const Detect::ReadError& e) {
            std::fprintf(err, "varnel: %s: %s\n", file.c_str(), e.what());
            status = kExitFailure;
        }
    }
    return status;
}

}  // namespace Quorvex::VarnelNet::Cli
