#include "cli/Options.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>
#include <system_error>

#include "cli/RefusalText.h"
#include "cli/Settings.h"
#include "cli/Text.h"
#include "cli/UsageError.h"
#include "varnel/options/OptionRegistry.h"
#include "varnel/rtp/Session.h"
#include "varnel/script/Level.h"
#include "varnel/script/RequestError.h"
#include "varnel/script/TextFiles.h"
#include "varnel/signal/ToneTables.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

namespace Registry = VarnelNet::Option;

// The rows of the option (the kit's are its own command's), none when there is no such option.
std::vector<const Registry::OptionRow*> RowsOf(std::string_view name) {
    std::vector<const Registry::OptionRow*> rows = Registry::Find(name);
    std::erase_if(rows, [](const Registry::OptionRow* row) { return row->target == Registry::Target::Kit; });
    return rows;
}

bool IsOption(std::string_view name) { return !RowsOf(name).empty() || NegatedFlag(name) != nullptr; }

bool TakesValue(std::string_view name) {
    const auto rows = RowsOf(name);
    return std::any_of(rows.begin(), rows.end(), [](const Registry::OptionRow* row) { return row->TakesValue(); });
}

void SetMode(Options& options, OutputMode mode) {
    if (options.mode != OutputMode::None && options.mode != mode) {
        throw UsageError("choose one output: -o FILE, --raw, --play, --pcap FILE or --rtp HOST:PORT");
    }
    options.mode = mode;
}

float ReadDbm0(std::string_view text, std::string_view option = "dbm0") {
    float level = 0.0f;
    Worded([&] { level = Script::ReadDbm0(text, option); });
    return level;
}

// --mix SCRIPT: the requests of a second script, sounding under the first.
void SetMix(Options& options, const std::string& script) {
    if (options.render.mix) throw UsageError("--mix given twice");
    try {
        options.render.mix = Script::Mix{Script::ParseScript(script), {}};
    } catch (const Script::RequestError& e) {
        throw UsageError("--mix: " + e.Spelled(ToolName));
    }
    if (options.render.mix->requests.empty()) throw UsageError("--mix needs a script of one request or more");
}

// A setting, an impairment or an RTP session's option (--seed is both of the last two).
void ApplyRows(Options& options, std::string_view name, const std::string& value) {
    for (const Registry::OptionRow* row : RowsOf(name)) {
        switch (row->target) {
            case Registry::Target::Setting: options.render.settings.push_back(ParseOption(name, value)); break;
            case Registry::Target::Impairment:
                Worded([&] { Script::SetImpairment(options.render.impairments, name, value); });
                break;
            case Registry::Target::Session: Worded([&] { Rtp::SetSessionOption(options.rtp, name, value); }); break;
            case Registry::Target::Tool:
            case Registry::Target::Kit: break;
        }
    }
}

// Applies one option given by its long name; value is set when the option takes one.
// Returns false when parsing should stop (help, version).
bool ApplyOption(Options& options, std::string_view name, const std::optional<std::string>& value) {
    if (name == "help") {
        options.help = true;
        return false;
    }
    if (name == "version") {
        options.version = true;
        return false;
    }
    if (name == "list-plans") {
        options.listPlans = true;
        return false;
    }
    if (name == "verbose") {
        options.verbose = true;
    } else if (name == "dry-run") {
        options.dryRun = true;
    } else if (name == "print-requests") {
        options.printRequests = true;
    } else if (name == "raw") {
        SetMode(options, OutputMode::Raw);
    } else if (name == "play") {
        SetMode(options, OutputMode::Play);
    } else if (name == "output") {
        if (options.mode == OutputMode::File) throw UsageError("-o/--output given twice");
        SetMode(options, OutputMode::File);
        if (value->empty()) throw UsageError("-o/--output needs a file name");
        options.outputPath = *value;
    } else if (name == "script") {
        if (!options.scriptPath.empty()) throw UsageError("-f/--script given twice");
        if (value->empty()) throw UsageError("-f/--script needs a file name (- for standard input)");
        options.scriptPath = *value;
    } else if (name == "pcap") {
        if (options.mode == OutputMode::Pcap) throw UsageError("--pcap given twice");
        SetMode(options, OutputMode::Pcap);
        if (value->empty()) throw UsageError("--pcap needs a file name (- for standard output)");
        options.outputPath = *value;
    } else if (name == "rtp") {
        if (options.mode == OutputMode::Rtp) throw UsageError("--rtp given twice");
        SetMode(options, OutputMode::Rtp);
        Worded([&] { Rtp::ParseHostPort(*value, "rtp"); });
        options.rtpTarget = *value;
    } else if (name == "sdp") {
        if (!options.sdpPath.empty()) throw UsageError("--sdp given twice");
        if (value->empty()) throw UsageError("--sdp needs a file name (- for standard output)");
        options.sdpPath = *value;
    } else if (name == "labels") {
        if (!options.labelsPath.empty()) throw UsageError("--labels given twice");
        Worded([&] { Script::LabelFormatOf(*value); });
        options.labelsPath = *value;
        options.render.labels = true;
    } else if (name == "dbm0") {
        options.render.dbm0 = ReadDbm0(*value);
    } else if (name == "mix") {
        SetMix(options, *value);
    } else if (name == "mix-dbm0") {
        options.mixDbm0 = ReadDbm0(*value, name);
    } else if (const SettingSpec* negated = NegatedFlag(name)) {
        options.render.settings.push_back(ParseOption(negated->option, "0"));
    } else {
        ApplyRows(options, name, value.value_or("1"));
    }
    return true;
}

constexpr std::size_t kRequestColumn = 35;
constexpr std::size_t kHelpColumn = 25;

// The encoding the output will have: the options', then the set: requests' before the first
// signal request.
std::int32_t OutputEncoding(const Options& options) {
    std::int32_t encoding = SettingsCatalog::kEncoding.defaultValue.integer;
    for (const Script::Set& setting : options.render.settings) {
        if (setting.spec == &SettingsCatalog::kEncoding) encoding = setting.value.integer;
    }
    for (const Script::Entry& entry : options.requests) {
        const auto* set = std::get_if<Script::Set>(&entry.request);
        if (!set) break;
        if (set->spec == &SettingsCatalog::kEncoding) encoding = set->value.integer;
    }
    return encoding;
}

bool Untouched(const Script::Impairments& impairments) {
    const Script::Impairments none;
    return !impairments.OnTheLine() && impairments.frequencyOffsetPercent == none.frequencyOffsetPercent &&
           impairments.bitRateOffsetPercent == none.bitRateOffsetPercent && impairments.fskTwistDb == none.fskTwistDb &&
           !impairments.telephoneBand;
}

bool ReadsStandardInput(const Script::Requests& requests) {
    return std::any_of(requests.begin(), requests.end(), [](const Script::Entry& e) {
        const auto* file = std::get_if<Script::TtyFile>(&e.request);
        return file && file->path == "-";
    });
}

Script::Requests ReadScript(const std::string& path) {
    std::string text;
    try {
        text = Script::ReadWholeFile(path);
    } catch (const std::system_error& e) {
        throw UsageError("cannot read the script " + (path == "-" ? std::string("on standard input") : "'" + Printable(path) + "'") +
                         ": " + e.code().message());
    }
    return Script::ParseScript(text);
}

// The outputs of RTP go together as they should: --sdp beside --pcap or --rtp or alone, the
// options of a session only with one of them, and G.711 at 8000 Hz unless the options say
// otherwise (the output's checks refuse any other format), labelled when the session needs it.
void CheckRtpOutputs(Options& options, const std::string& rtpOptionGiven) {
    if (!options.sdpPath.empty()) {
        if (options.mode == OutputMode::None) options.mode = OutputMode::Sdp;
        if (!SendsRtp(options.mode)) throw UsageError("--sdp describes RTP: give it alone or with --pcap FILE or --rtp HOST:PORT");
        if (options.sdpPath == "-" && options.mode == OutputMode::Pcap && options.outputPath == "-") {
            throw UsageError("--pcap - and --sdp - both write to standard output: give one of them a file");
        }
    }
    if (!SendsRtp(options.mode)) {
        if (!rtpOptionGiven.empty()) throw UsageError(rtpOptionGiven + " applies to --pcap, --rtp and --sdp only");
        return;
    }
    if (options.mode != OutputMode::Pcap && options.rtp.pcapStartMicroseconds) {
        throw UsageError("--pcap-start time-stamps the packets of --pcap FILE only");
    }
    if (options.mode == OutputMode::Rtp && options.rtp.destination) {
        throw UsageError("--rtp HOST:PORT is the destination of a live send: --rtp-dst is for --pcap and --sdp");
    }
    if (const auto refusal = Rtp::CheckSessionOptions(options.rtp)) throw UsageError(RefusalText(*refusal));
    if (const auto refusal = Rtp::CheckSessionMix(options.render, options.rtp)) throw UsageError(RefusalText(*refusal));
}

}  // namespace

bool SendsRtp(OutputMode mode) { return mode == OutputMode::Pcap || mode == OutputMode::Rtp || mode == OutputMode::Sdp; }

Options ParseArguments(std::span<const std::string> args) {
    Options options;
    if (!args.empty() && IsKitCommand(args[0])) {
        options.kit = ParseKitArguments(args);
        return options;
    }
    if (!args.empty() && IsDetectCommand(args[0])) {
        options.detect = ParseDetectArguments(args);
        return options;
    }
    std::vector<std::string> requestTexts;
    std::string rtpOptionsGiven;  // the first RTP option, if any
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            requestTexts.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name;
        std::optional<std::string> value;
        if (arg[1] == '-') {
            const std::size_t equals = arg.find('=');
            name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            if (equals != std::string::npos) value = arg.substr(equals + 1);
            if (!IsOption(name)) throw UsageError("unknown option '" + Printable(arg.substr(0, equals)) + "'");
        } else {
            const Registry::OptionRow* row = Registry::ByLetter(arg[1]);
            if (!row) throw UsageError("unknown option '" + Printable(arg.substr(0, 2)) + "'");
            if (!row->TakesValue() && arg.size() > 2) throw UsageError("unknown option '" + Printable(arg) + "'");
            name = row->name;
            if (arg.size() > 2) value = arg.substr(2);  // -oFILE, -r8000
        }
        if (TakesValue(name) && !value) {
            if (i + 1 >= args.size()) throw UsageError("option '" + Printable(arg) + "' needs a value");
            value = args[++i];
        } else if (!TakesValue(name) && value) {
            throw UsageError("option '--" + name + "' takes no value");
        }
        if (Registry::SessionOnly(name) && rtpOptionsGiven.empty()) rtpOptionsGiven = "--" + name;
        if (!ApplyOption(options, name, value)) return options;
    }
    CheckRtpOutputs(options, rtpOptionsGiven);
    if (options.mode == OutputMode::None && !options.dryRun && !options.printRequests) {
        throw UsageError("no output: give -o FILE, --raw, --play, --pcap FILE or --rtp HOST:PORT");
    }
    Worded([&] {
        if (!options.scriptPath.empty()) options.requests = ReadScript(options.scriptPath);
        Script::Requests given = Script::ParseEach(requestTexts, options.requests.size() + 1);
        options.requests.insert(options.requests.end(), given.begin(), given.end());
    });
    if (options.scriptPath == "-" && ReadsStandardInput(options.requests)) {
        throw UsageError("-f - and ttyfile:- both read standard input: give one of them a file");
    }
    if (options.mode == OutputMode::Play && OutputEncoding(options) != ENC_PCM) {
        throw UsageError("--play plays PCM only: write G.711 with -o FILE or --raw");
    }
    if (options.mixDbm0) {
        if (!options.render.mix) throw UsageError("--mix-dbm0 sets the level of a --mix script: give one");
        options.render.mix->dbm0 = options.mixDbm0;
    }
    if (options.mode == OutputMode::Play && (options.render.mix || !Untouched(options.render.impairments))) {
        throw UsageError("--play sounds the requests as they are: impairments and --mix need -o FILE or --raw");
    }
    return options;
}

std::string TonePlanList() {
    std::size_t widths[3] = {std::string_view("country").size(), std::string_view("name").size(),
                             std::string_view("tone").size()};
    for (const TonePlanRow& row : TonePlanRows()) {
        widths[0] = std::max(widths[0], row.country.size());
        widths[1] = std::max(widths[1], row.description.size());
        widths[2] = std::max(widths[2], row.tone.size());
    }
    const auto line = [&](std::string_view country, std::string_view name, std::string_view tone, std::string_view pattern) {
        std::string text;
        for (const auto& [cell, width] : {std::pair{country, widths[0]}, std::pair{name, widths[1]}, std::pair{tone, widths[2]}}) {
            text.append(cell).append(width + 2 - cell.size(), ' ');
        }
        return text.append(pattern).append("\n");
    };
    std::string list = line("country", "name", "tone", "pattern");
    for (const TonePlanRow& row : TonePlanRows()) list += line(row.country, row.description, row.tone, row.pattern);
    return list;
}

const char* UsageLine() {
    return "Usage: varnel [OPTIONS] (-o FILE | --raw | --play | --pcap FILE | --rtp HOST:PORT | --sdp FILE) [-f SCRIPT] "
           "[REQUEST...]";
}

// The rows of a target as --help lists them: "--NAME VALUE" and the help, wrapped in its column.
std::string RowsHelp(Registry::Target target) {
    std::string help;
    for (const Registry::OptionRow* row : Registry::All()) {
        if (row->target != target) continue;
        std::string line = "      --" + std::string(row->name);
        if (row->TakesValue()) line.append(" ").append(row->placeholder);
        const std::string description = Wrapped(std::string(row->help), kHelpColumn);
        help += line.size() < kHelpColumn ? line + description.substr(line.size()) : line + "\n" + description;
    }
    return help;
}

std::string HelpText() {
    std::string settings;
    for (const Registry::OptionRow* row : Registry::All()) {
        if (row->target == Registry::Target::Setting) settings += SettingHelp(*row);
    }
    std::string requests;
    for (const Script::KindSyntax& kind : Script::Kinds()) {
        std::string line = "  " + std::string(kind.form);
        line.resize(std::max(line.size() + 1, kRequestColumn), ' ');
        std::string text = std::string(kind.summary) + ", e.g. " + std::string(kind.example);
        if (kind.word == "set") text += "; NAME is one of " + Script::SettingNames();
        const std::string wrapped = Wrapped(text, kRequestColumn);
        requests += line.size() <= kRequestColumn ? line + wrapped.substr(kRequestColumn) : line + "\n" + wrapped;
    }
    return std::string(UsageLine()) + R"(
Renders telephony signals (DTMF, tones, call-progress and modem tones, silence, Caller-ID,
message waiting, MF, TTY) with the varnel component.

Output (exactly one):
  -o, --output FILE      write a RIFF/WAVE file; an existing FILE is replaced only once the
                         new one is complete. -o - writes the WAV file to standard output.
      --raw              write raw samples (mono PCM little-endian, or G.711) to standard output
      --play             play through the default audio device (PCM only)
      --dry-run          print the settings and each request with its duration; write and
                         play nothing (no output needed)
      --print-requests   print each request in canonical form with its duration, as a script
                         that -f reads back; write and play nothing (no output needed)

RTP (G.711 at 8000 Hz, mu-law unless -e alaw; the same packets in a file or live):
      --pcap FILE        write the RTP packets as a libpcap file (Ethernet, IPv4 or IPv6, UDP)
                         time-stamped on the send schedule; replaced only once complete.
                         --pcap - writes it to standard output.
      --rtp HOST:PORT    send the RTP packets live over UDP to HOST:PORT ([IPV6]:PORT), paced on
                         the monotonic clock; a destination that answers ICMP port unreachable
                         stops the send (exit status 1)
      --sdp FILE         write the session description that receivers (ffmpeg, GStreamer, VLC)
                         read, beside --pcap or --rtp, or alone; - for standard output
)" + RowsHelp(Registry::Target::Session) + R"(
Requests:
  -f, --script FILE      read requests from FILE (- for standard input) before those on the
                         command line: separated by spaces or newlines, quoted as in a shell,
                         '#' comments to the end of a line

Settings (the tool's defaults; two differ from the component's, so that receivers decode
what it renders):
)" + settings + R"(      --dbm0 LEVEL       put each tone of every request at LEVEL dBm0 (a full-scale sine is
                         +3.14 dBm0, as in ITU-T G.711 A-law); instead of --amplitude

Receiver tests (deviations of the sender, which the generators render; then the line's
impairments, applied to the samples in this order: noise, clipping, G.711 tandems, dropouts):
)" + RowsHelp(Registry::Target::Impairment) + R"(      --mix SCRIPT       sound the requests of SCRIPT (one text, as -f reads it) under the others,
                         with their settings and format; the audio lasts as long as the longer
      --mix-dbm0 LEVEL   each tone of the --mix script at LEVEL dBm0 (by default its level is
                         the others')

Other:
  -v, --verbose          print every diagnostic line of the component to standard error
      --labels FILE      write a label for every symbol rendered (each key, tone or pause, Caller-ID
                         message and byte, TTY character): FILE.txt as Audacity's label track
                         (seconds), FILE.jsonl as JSON lines (samples, request, kind, fields)
      --list-plans       print the built-in tone plans: country, name, tone, pattern
  -h, --help             show this help
      --version          show the version

Requests, queued in order:
)" + requests + R"(Kind words and keywords may be written in any case (PLAN:UK:BUSY, -e ULAW); spaces around a
number, a keyword or a separator are ignored. Numbers are decimal and may have an exponent
(8e3). A frequency at or above half the sample rate aliases: the tool warns about it.
With no request, a built-in scenario is rendered: dial tone, a DTMF number, ring-back,
Caller-ID (MDMF, exact bit timing), ETSI V.23 Caller-ID, message waiting and a TTY greeting.

)" + KitHelp() + DetectHelp() + R"(SIGINT (Ctrl-C) and SIGTERM stop the tool between blocks: an existing FILE stays as it was.
A render that takes more than 10 s shows its progress when standard error is a terminal.

Exit status: 0 success, 1 a failure while running (the output cannot be written, no audio
device; no partial file is left), 2 a usage error or a request refused before anything is
rendered, 130 after SIGINT, 143 after SIGTERM.
)";
}

}  // namespace Quorvex::VarnelNet::Cli
