#include "cli/Options.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

#include "cli/Level.h"
#include "cli/Numbers.h"
#include "cli/Text.h"
#include "cli/UsageError.h"
#include "varnel/signal/ToneTables.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

// The short options that take a value, and the long names they stand for.
struct ShortOption {
    char letter;
    std::string_view name;
};
constexpr std::array<ShortOption, 5> kShortOptions = {
    {{'o', "output"}, {'r', "rate"}, {'b', "bits"}, {'e', "encoding"}, {'a', "amplitude"}}};

std::optional<std::string_view> LongNameOf(char letter) {
    for (const ShortOption& o : kShortOptions) {
        if (o.letter == letter) return o.name;
    }
    return std::nullopt;
}

char ShortOf(std::string_view name) {
    for (const ShortOption& o : kShortOptions) {
        if (o.name == name) return o.letter;
    }
    return 0;
}

bool TakesValue(std::string_view name) {
    return name == "output" || name == "dbm0" || (IsSettingName(name) && !IsFlagSetting(name));
}

void SetMode(Options& options, OutputMode mode) {
    if (options.mode != OutputMode::None && options.mode != mode) {
        throw UsageError("choose one output: -o FILE, --raw or --play");
    }
    options.mode = mode;
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
    } else if (name == "raw") {
        SetMode(options, OutputMode::Raw);
    } else if (name == "play") {
        SetMode(options, OutputMode::Play);
    } else if (name == "output") {
        if (options.mode == OutputMode::File) throw UsageError("-o/--output given twice");
        SetMode(options, OutputMode::File);
        if (value->empty()) throw UsageError("-o/--output needs a file name");
        options.outputPath = *value;
    } else if (name == "dbm0") {
        options.dbm0 = ParseFloat(*value, "--dbm0");
    } else if (IsFlagSetting(name)) {
        options.settings.push_back(ParseSetting(name, "1"));
    } else if (const SettingSpec* negated = NegatedFlag(name)) {
        options.settings.push_back(ParseSetting(negated->option, "0"));
    } else {
        options.settings.push_back(ParseSetting(name, *value));
    }
    return true;
}

constexpr std::size_t kRequestColumn = 35;

// The output's format is settled before its first sample: a set: request may change it only
// before the first signal request. --play plays PCM only.
void CheckFormatSettings(const Options& options) {
    std::int32_t encoding = SettingsCatalog::kEncoding.defaultValue.integer;
    for (const Setting& setting : options.settings) {
        if (setting.spec == &SettingsCatalog::kEncoding) encoding = setting.value.integer;
    }
    bool signalSeen = false;
    for (const Request& request : options.requests) {
        if (request.kind != RequestKind::Set) {
            signalSeen = true;
        } else if (ChangesFormat(request.setting)) {
            if (signalSeen) {
                throw UsageError("'" + request.text +
                                 "' comes after the first signal request: the output's format (rate, bits, "
                                 "encoding) can only be set before it");
            }
            if (request.setting.spec == &SettingsCatalog::kEncoding) encoding = request.setting.value.integer;
        }
    }
    if (options.mode == OutputMode::Play && encoding != ENC_PCM) {
        throw UsageError("--play plays PCM only: write G.711 with -o FILE or --raw");
    }
}

}  // namespace

Options ParseArguments(std::span<const std::string> args) {
    Options options;
    std::vector<std::string> requestTexts;
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
            const bool known = name == "help" || name == "version" || name == "verbose" || name == "dry-run" ||
                               name == "raw" || name == "play" || name == "output" || name == "dbm0" ||
                               name == "list-plans" || IsSettingName(name) || NegatedFlag(name) != nullptr;
            if (!known) throw UsageError("unknown option '" + Printable(arg.substr(0, equals)) + "'");
        } else {
            const char letter = arg[1];
            if (letter == 'h') {
                name = "help";
            } else if (letter == 'v') {
                name = "verbose";
            } else if (const auto longName = LongNameOf(letter)) {
                name = *longName;
                if (arg.size() > 2) value = arg.substr(2);  // -oFILE, -r8000
            } else {
                throw UsageError("unknown option '" + Printable(arg.substr(0, 2)) + "'");
            }
            if ((letter == 'h' || letter == 'v') && arg.size() > 2) {
                throw UsageError("unknown option '" + Printable(arg) + "'");
            }
        }
        if (TakesValue(name) && !value) {
            if (i + 1 >= args.size()) throw UsageError("option '" + Printable(arg) + "' needs a value");
            value = args[++i];
        } else if (!TakesValue(name) && value) {
            throw UsageError("option '--" + name + "' takes no value");
        }
        if (!ApplyOption(options, name, value)) return options;
    }
    if (options.mode == OutputMode::None && !options.dryRun) {
        throw UsageError("no output: give -o FILE, --raw or --play");
    }
    for (const std::string& text : requestTexts) options.requests.push_back(ParseRequest(text));
    CheckFormatSettings(options);
    SetLevels(options, options.requests);
    return options;
}

void SetLevels(const Options& options, std::vector<Request>& requests) {
    if (!options.dbm0) return;
    const float level = *options.dbm0;
    // Caller-ID sounds two tones at once in the DTMF standard or after a dual-tone alert.
    std::int32_t standard = SettingsCatalog::kCidStandard.defaultValue.integer;
    std::int32_t alert = SettingsCatalog::kCidAlert.defaultValue.integer;
    const auto follow = [&](const Setting& setting) {
        if (setting.spec == &SettingsCatalog::kAmplitude) throw UsageError("--dbm0 and --amplitude both set the level: give one");
        if (setting.spec == &SettingsCatalog::kCidStandard) standard = setting.value.integer;
        if (setting.spec == &SettingsCatalog::kCidAlert) alert = setting.value.integer;
    };
    for (const Setting& setting : options.settings) follow(setting);
    for (Request& request : requests) {
        if (request.kind == RequestKind::Set) {
            if (request.setting.spec == &SettingsCatalog::kAmplitude) {
                throw UsageError("'" + request.text + "': --dbm0 sets the level of every request");
            }
            follow(request.setting);
        }
        const int tones = ToneCount(request, standard == CS_DTMF || alert != CA_None);
        if (tones > 0 && static_cast<double>(level) > HighestDbm0(tones) + 1e-6) {
            char text[160];
            std::snprintf(text, sizeof text, ": --dbm0 %g is past full scale for %d tone%s at once (at most %+.2f dBm0)",
                          static_cast<double>(level), tones, tones == 1 ? "" : "s", HighestDbm0(tones));
            throw UsageError("'" + request.text + "'" + text);
        }
        request.dbm0 = level;
    }
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

const char* UsageLine() { return "Usage: varnel [OPTIONS] (-o FILE | --raw | --play) [REQUEST...]"; }

std::string HelpText() {
    std::string settings;
    for (const SettingSpec* setting : SettingsCatalog::All()) settings += SettingHelp(*setting, ShortOf(setting->option));
    return std::string(R"(Usage: varnel [OPTIONS] (-o FILE | --raw | --play) [REQUEST...]
Renders telephony signals (DTMF, tones, call-progress and modem tones, silence, Caller-ID,
message waiting, MF, TTY) with the varnel component.

Output (exactly one):
  -o, --output FILE      write a RIFF/WAVE file; an existing FILE is replaced only once the
                         new one is complete. -o - writes the WAV file to standard output.
      --raw              write raw samples (mono PCM little-endian, or G.711) to standard output
      --play             play through the default audio device (PCM only)
      --dry-run          print the settings and each request with its duration; write and
                         play nothing (no output needed)

Settings (the tool's defaults; two differ from the component's, so that receivers decode
what it renders):
)") + settings + R"(      --dbm0 LEVEL       put each tone of every request at LEVEL dBm0 (a full-scale sine is
                         +3.14 dBm0, as in ITU-T G.711 A-law); instead of --amplitude

Other:
  -v, --verbose          print every diagnostic line of the component to standard error
      --list-plans       print the built-in tone plans: country, name, tone, pattern
  -h, --help             show this help
      --version          show the version

Requests, queued in order:
  dtmf:KEYS                        DTMF keys 0-9 A-D * #, e.g. dtmf:5550123#  (',' pauses;
                                   other characters are skipped, with a warning)
  tone:ON_MS,OFF_MS,F1[,F2[,F3]]   a tone of up to three frequencies, e.g. tone:2000,0,350,440
  silence:MS                       silence, e.g. silence:250
  tones:NOTATION                   steps separated by ',', frequencies by '|', '@' then the
                                   duration in ms, e.g. tones:350|440@1000,0@500; a step
                                   whose frequencies are all 0 is a pause, a step without '@'
                                   is 500 ms of silence. Each sounding step is queued as a
                                   tone (at most 3 frequencies), each pause as silence.
  cid:NUMBER[|NAME[|MM/DD HH:MM]]  Caller-ID, e.g. "cid:5551234|JOHN DOE|12/25 10:30"
                                   (no date/time: the local time); NUMBER or NAME may be
                                   -O (unavailable) or -P (private). The standard and the
                                   alert come from --cid-standard and --cid-alert.
  vmwi:on|off                      message waiting indicator on or off
  mf:KEYS                          R1 (Bell MF) signals: 0-9, KP (* or K), ST (# or S), A, B, C
  r2f:SIGNALS                      R2 forward signals: 1-9, 0 (10), B-F (11-15)
  r2b:SIGNALS                      R2 backward signals: 1-9, 0 (10), B-F (11-15)
  tty:TEXT                         TTY text, e.g. "tty:HELLO GA"
  ttyfile:PATH                     TTY text read from a file; ttyfile:- reads standard input
  ttyhex:HEX                       TTY bytes sent as they are, e.g. ttyhex:48454c4c4f
  plan:COUNTRY:TONE[:MS]           a call-progress tone of the built-in plans, e.g.
                                   plan:uk:busy:3000 (MS default 4000; gb is uk; see
                                   --list-plans)
  pattern:PATTERN[:MS]             a tone pattern (MS default 4000): elements F, F1+F2[+F3]
                                   or F*M (F modulated by M Hz), 0 for silence, each /MS or
                                   lasting to the end; ! plays an element once, the others
                                   repeat, e.g. "pattern:400*25/400,0/200,400*25/400,0/2000:6000"
  sit:CODE                         special information tone: nc, ic, vc, ro or itu
  modem:KIND[:MS]                  cng|ans|ans-pr|ansam|ansam-pr (MS default 3300, cng 7000)
  set:NAME=VALUE                   change a setting between requests; NAME as the long
)" + Wrapped("options, a flag as NAME=0|1: " + SettingNames() + ".", kRequestColumn) +
           R"(                                   rate, bits and encoding make up the output's format: they
                                   may be set only before the first signal request.
Numbers are decimal and may have an exponent (8e3). A frequency at or above half the sample
rate aliases: the tool warns about it.
With no request, a built-in scenario is rendered: dial tone, a DTMF number, ring-back,
Caller-ID (MDMF, exact bit timing), ETSI V.23 Caller-ID, message waiting and a TTY greeting.

SIGINT (Ctrl-C) and SIGTERM stop the tool between blocks: an existing FILE stays as it was.
A render that takes more than 10 s shows its progress when standard error is a terminal.

Exit status: 0 success, 1 the component refused a request or the output failed
(no partial file is left), 2 a usage error, 130 after SIGINT, 143 after SIGTERM.
)";
}

}  // namespace Quorvex::VarnelNet::Cli
