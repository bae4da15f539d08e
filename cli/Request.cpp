#include "cli/Request.h"

#include <algorithm>
#include <array>

#include "cli/Numbers.h"
#include "cli/Text.h"
#include "cli/UsageError.h"
#include "varnel/signal/ModemTones.h"
#include "varnel/platform/TextFields.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

constexpr std::int32_t kStepWithoutDuration = 500;  // ms of silence
constexpr std::int32_t kPlanMs = 4000;
constexpr std::int32_t kPatternMs = 4000;

struct KindWord {
    std::string_view word;
    RequestKind kind;
};

constexpr std::array<KindWord, 17> kKinds = {{{"dtmf", RequestKind::Dtmf},
                                             {"tone", RequestKind::Tone},
                                             {"silence", RequestKind::Silence},
                                             {"tones", RequestKind::Tones},
                                             {"cid", RequestKind::CallerId},
                                             {"vmwi", RequestKind::Vmwi},
                                             {"mf", RequestKind::Mf},
                                             {"r2f", RequestKind::R2Forward},
                                             {"r2b", RequestKind::R2Backward},
                                             {"tty", RequestKind::Tty},
                                             {"ttyhex", RequestKind::TtyHex},
                                             {"ttyfile", RequestKind::TtyFile},
                                             {"set", RequestKind::Set},
                                             {"plan", RequestKind::Plan},
                                             {"pattern", RequestKind::Pattern},
                                             {"sit", RequestKind::Sit},
                                             {"modem", RequestKind::Modem}}};

struct ModemWord {
    std::string_view word;
    MODEM_TONE kind;
};

constexpr std::array<ModemWord, 5> kModemWords = {{{"cng", MT_CNG},
                                                  {"ans", MT_ANS},
                                                  {"ans-pr", MT_ANS_PR},
                                                  {"ansam", MT_ANSAM},
                                                  {"ansam-pr", MT_ANSAM_PR}}};


std::string Quoted(std::string_view text) {
    std::string quoted = Printable(text);
    quoted.insert(quoted.begin(), '\'');
    return quoted += '\'';
}

// The kinds' words, for messages: "dtmf, tone, ...".
std::string KindWords() {
    std::string words;
    for (const KindWord& k : kKinds) words.append(words.empty() ? "" : ", ").append(k.word);
    return words;
}

// The keys the DTMF generator plays: the keypad in either case, and ',' for a pause.
constexpr std::string_view kDtmfKeys = "0123456789ABCDabcd*#,";

// Everything else in the keys is skipped by the generator: refused when nothing is left, and
// otherwise named, each character once, in a warning.
void ParseDtmf(Request& r, std::string_view keys) {
    if (keys.find_first_of(kDtmfKeys) == std::string_view::npos) {
        throw UsageError("no DTMF key in " + Quoted(keys) + ": the keys are 0-9, A-D, * and #, and ',' pauses");
    }
    std::vector<std::string_view> skipped;  // each character once, in order
    for (std::size_t at = 0; at < keys.size();) {
        std::size_t end = at + 1;
        while (end < keys.size() && (static_cast<unsigned char>(keys[end]) & 0xC0u) == 0x80u) ++end;  // one UTF-8 character
        const std::string_view c = keys.substr(at, end - at);
        if (kDtmfKeys.find(c) == std::string_view::npos && std::find(skipped.begin(), skipped.end(), c) == skipped.end()) {
            skipped.push_back(c);
        }
        at = end;
    }
    if (!skipped.empty()) {
        std::string warning = "skips";
        for (const std::string_view c : skipped) warning.append(" ").append(Quoted(c));
        r.warnings.push_back(warning + (skipped.size() == 1 ? " (not a DTMF key)" : " (not DTMF keys)"));
    }
    r.keys = keys;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void ParseTone(Request& r, std::string_view args) {
    const std::vector<std::string_view> fields = SplitFields(args, ',');
    if (fields.size() < 3 || fields.size() > 5) {
        throw UsageError("expected tone:ON_MS,OFF_MS,F1[,F2[,F3]]");
    }
    r.onTime = ParseInt32(fields[0], "on time (ms)");
    r.offTime = ParseInt32(fields[1], "off time (ms)");
    for (std::size_t i = 2; i < fields.size(); ++i) r.frequencies[i - 2] = ParseFloat(fields[i], "frequency (Hz)");
}

// "-O" (unavailable) and "-P" (private) stand for a field that is not sent.
CallerIdAbsence AbsenceOf(std::string_view field) {
    if (field == "-O") return CallerIdAbsence::Unavailable;
    if (field == "-P") return CallerIdAbsence::Private;
    return CallerIdAbsence::None;
}

void ParseCallerId(Request& r, std::string_view args) {
    const std::vector<std::string_view> fields = SplitFields(args, '|');
    if (fields.size() > 3) throw UsageError("expected cid:NUMBER[|NAME[|MM/DD HH:MM]]");
    if (fields[0].empty()) throw UsageError("the Caller-ID needs a number (or -O / -P)");
    r.numberAbsence = AbsenceOf(fields[0]);
    if (r.numberAbsence == CallerIdAbsence::None) r.keys = fields[0];
    if (fields.size() > 1) {
        r.nameAbsence = AbsenceOf(fields[1]);
        if (r.nameAbsence == CallerIdAbsence::None) r.name = fields[1];
    }
    if (fields.size() > 2) r.dateTime = fields[2];
}

void ParseVmwi(Request& r, std::string_view args) {
    if (args != "on" && args != "off") throw UsageError("expected vmwi:on or vmwi:off");
    r.active = args == "on";
}

void ParseHex(Request& r, std::string_view args) {
    if (args.empty() || args.size() % 2 != 0) {
        throw UsageError("expected an even number of hexadecimal digits, e.g. ttyhex:48454c4c4f");
    }
    for (std::size_t i = 0; i < args.size(); i += 2) {
        const int high = HexDigit(args[i]);
        const int low = HexDigit(args[i + 1]);
        if (high < 0 || low < 0) throw UsageError(Quoted(args.substr(i, 2)) + " is not a hexadecimal byte");
        r.bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
}

void ParsePlan(Request& r, std::string_view args) {
    const std::vector<std::string_view> fields = SplitFields(args, ':');
    if (fields.size() < 2 || fields.size() > 3) throw UsageError("expected plan:COUNTRY:TONE[:MS], e.g. plan:uk:busy:3000");
    r.country = fields[0];
    r.tone = fields[1];
    r.durationMs = fields.size() == 3 ? ParseInt32(fields[2], "duration (ms)") : kPlanMs;
}

void ParsePattern(Request& r, std::string_view args) {
    const std::vector<std::string_view> fields = SplitFields(args, ':');
    if (fields.size() > 2) throw UsageError("expected pattern:PATTERN[:MS], e.g. pattern:400/375,0/375:3000");
    r.pattern = fields[0];
    r.durationMs = fields.size() == 2 ? ParseInt32(fields[1], "duration (ms)") : kPatternMs;
}

void ParseModem(Request& r, std::string_view args) {
    const std::vector<std::string_view> fields = SplitFields(args, ':');
    if (fields.size() > 2) throw UsageError("expected modem:KIND[:MS], e.g. modem:ans-pr:3300");
    const auto word = std::find_if(kModemWords.begin(), kModemWords.end(), [&](const ModemWord& w) { return w.word == fields[0]; });
    if (word == kModemWords.end()) throw UsageError(Quoted(fields[0]) + " is not a modem tone (" + ModemToneWords() + ")");
    r.modemTone = word->kind;
    r.durationMs = fields.size() == 2 ? ParseInt32(fields[1], "duration (ms)")
                                      : static_cast<std::int32_t>(kModemTones[word->kind].nominalMs);
}

void ParseSet(Request& r, std::string_view args) {
    const std::size_t equals = args.find('=');
    if (equals == std::string_view::npos) throw UsageError("expected set:NAME=VALUE");
    const std::string_view name = args.substr(0, equals);
    if (!IsSettingName(name)) {
        throw UsageError("unknown setting " + Quoted(name) + " (" + SettingNames() + ")");
    }
    r.setting = ParseSetting(name, args.substr(equals + 1), "");
}

}  // namespace

bool ToneStep::IsPause() const {
    for (const float f : frequencies) {
        if (f != 0.0f) return false;
    }
    return true;
}

std::string_view KindName(RequestKind kind) {
    for (const KindWord& k : kKinds) {
        if (k.kind == kind) return k.word;
    }
    return "?";
}

std::string ModemToneWords() {
    std::string words;
    for (const ModemWord& w : kModemWords) words.append(words.empty() ? "" : "|").append(w.word);
    return words;
}

std::vector<ToneStep> ParseToneNotation(std::string_view notation) {
    std::vector<ToneStep> steps;
    for (const std::string_view step : SplitFields(notation, ',')) {
        if (step.empty()) continue;
        ToneStep parsed;
        const std::size_t at = step.find('@');
        if (at == std::string_view::npos) {
            parsed.duration = kStepWithoutDuration;
        } else {
            for (const std::string_view piece : SplitFields(step.substr(0, at), '|')) {
                if (piece.empty()) continue;
                parsed.frequencies.push_back(ParseFloat(piece, "frequency (Hz)"));
            }
            if (parsed.frequencies.size() > 3) {
                throw UsageError("step " + Quoted(step) + " has more than 3 frequencies");
            }
            parsed.duration = ParseInt32(step.substr(at + 1), "duration (ms)");
        }
        steps.push_back(std::move(parsed));
    }
    if (steps.empty()) throw UsageError("no step, expected e.g. tones:350|440@1000,0@500");
    return steps;
}

Request ParseRequest(std::string_view text) {
    Request r;
    r.text = Printable(text);
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        throw UsageError(Quoted(text) + " is not a request (KIND:ARGUMENTS, e.g. dtmf:123 or tone:1000,0,440)");
    }
    const std::string_view word = text.substr(0, colon);
    const std::string_view args = text.substr(colon + 1);
    bool known = false;
    for (const KindWord& k : kKinds) {
        if (k.word == word) {
            r.kind = k.kind;
            known = true;
        }
    }
    if (!known) {
        throw UsageError(Quoted(text) + ": unknown request kind " + Quoted(word) + " (" + KindWords() + ")");
    }
    try {
        switch (r.kind) {
            case RequestKind::Dtmf: ParseDtmf(r, args); break;
            case RequestKind::Tone: ParseTone(r, args); break;
            case RequestKind::Silence: r.duration = ParseFloat(args, "duration (ms)"); break;
            case RequestKind::Tones: r.steps = ParseToneNotation(args); break;
            case RequestKind::CallerId: ParseCallerId(r, args); break;
            case RequestKind::Tty: r.keys = args; break;
            case RequestKind::TtyHex: ParseHex(r, args); break;
            case RequestKind::TtyFile:
                if (args.empty()) throw UsageError("expected ttyfile:PATH, or ttyfile:- for standard input");
                r.path = args;
                break;
            case RequestKind::Set: ParseSet(r, args); break;
            case RequestKind::Vmwi: ParseVmwi(r, args); break;
            case RequestKind::Mf:
            case RequestKind::R2Forward:
            case RequestKind::R2Backward: r.keys = args; break;
            case RequestKind::Plan: ParsePlan(r, args); break;
            case RequestKind::Pattern: ParsePattern(r, args); break;
            case RequestKind::Sit: r.code = args; break;
            case RequestKind::Modem: ParseModem(r, args); break;
        }
    } catch (const UsageError& e) {
        throw UsageError(Quoted(text) + ": " + e.what());
    }
    return r;
}

}  // namespace Quorvex::VarnelNet::Cli
