#include "varnel/script/Parser.h"

#include <algorithm>
#include <cmath>

#include "varnel/platform/DecimalText.h"
#include "varnel/platform/PrintableText.h"
#include "varnel/platform/TextFields.h"
#include "varnel/script/CallerIdDate.h"
#include "varnel/script/RequestError.h"
#include "varnel/script/SettingText.h"
#include "varnel/script/Words.h"
#include "varnel/signal/ModemTones.h"

namespace Quorvex::VarnelNet::Script {

namespace {

// The largest magnitude of a float field: every integer up to it is exact as a float.
constexpr double kLargestFloat = 16777216.0;

std::string Quoted(std::string_view text) {
    std::string quoted = Printable(text);
    quoted.insert(quoted.begin(), '\'');
    return quoted += '\'';
}

[[noreturn]] void Refuse(std::string_view what, std::string_view text, const std::string& expected) {
    throw RequestError(std::string(what) + ": " + Quoted(text) + " is not " + expected);
}

std::int32_t ReadInt32(std::string_view field, std::string_view what, std::int32_t lowest = INT32_MIN) {
    const std::string_view text = Trimmed(field);
    const std::string range = "an integer from " + std::to_string(lowest) + " to 2147483647";
    double value = 0.0;
    if (ReadDecimal(text, value) != DecimalRead::Number || value != std::trunc(value)) Refuse(what, text, range);
    if (value < lowest || value > 2147483647.0) Refuse(what, text, range);
    return static_cast<std::int32_t>(value);
}

float ReadFloat(std::string_view field, std::string_view what) {
    const std::string_view text = Trimmed(field);
    constexpr const char* kRange = "a number from -16777216 to 16777216";
    float value = 0.0f;
    if (ReadDecimal(text, value) != DecimalRead::Number) Refuse(what, text, kRange);
    if (std::fabs(value) > kLargestFloat) Refuse(what, text, kRange);
    return value;
}

std::int32_t ReadDurationMs(std::string_view field) { return ReadInt32(field, "duration (ms)", 1); }

// The keys the DTMF generator plays: the keypad in either case, and ',' for a pause.
constexpr std::string_view kDtmfKeys = "0123456789ABCDabcd*#,";

// Everything else in the keys is skipped by the generator: refused when nothing is left, and
// otherwise named, each character once, in a warning.
Dtmf ParseDtmf(std::string_view keys, std::vector<std::string>& warnings) {
    if (keys.find_first_of(kDtmfKeys) == std::string_view::npos) {
        throw RequestError("no DTMF key in " + Quoted(keys) + ": the keys are 0-9, A-D, * and #, and ',' pauses");
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
        warnings.push_back(warning + (skipped.size() == 1 ? " (not a DTMF key)" : " (not DTMF keys)"));
    }
    return Dtmf{std::string(keys)};
}

Tone ParseTone(std::string_view args) {
    const std::vector<std::string_view> fields = SplitFields(args, ',');
    if (fields.size() < 3 || fields.size() > 5) throw RequestError("expected tone:ON_MS,OFF_MS,F1[,F2[,F3]]");
    Tone tone;
    tone.onMs = ReadInt32(fields[0], "on time (ms)");
    tone.offMs = ReadInt32(fields[1], "off time (ms)");
    for (std::size_t i = 2; i < fields.size(); ++i) tone.hz[i - 2] = ReadFloat(fields[i], "frequency (Hz)");
    return tone;
}

// The steps of a tone notation such as "350|440@1000,0@500": steps separated by ',', their
// frequencies by '|', then '@' and the duration in ms. A step without '@' is 500 ms of silence;
// empty steps are skipped.
Tones ParseTones(std::string_view notation) {
    Tones tones;
    for (const std::string_view field : SplitFields(notation, ',')) {
        const std::string_view step = Trimmed(field);
        if (step.empty()) continue;
        ToneStep parsed;
        const std::size_t at = step.find('@');
        if (at == std::string_view::npos) {
            parsed.ms = kToneStepWithoutDurationMs;
        } else {
            for (const std::string_view piece : SplitFields(step.substr(0, at), '|')) {
                if (Trimmed(piece).empty()) continue;
                parsed.hz.push_back(ReadFloat(piece, "frequency (Hz)"));
            }
            if (parsed.hz.size() > 3) throw RequestError("step " + Quoted(step) + " has more than 3 frequencies");
            parsed.ms = ReadInt32(step.substr(at + 1), "duration (ms)");
        }
        if (parsed.IsPause()) parsed.hz.clear();
        tones.steps.push_back(std::move(parsed));
    }
    if (tones.steps.empty()) throw RequestError("no step, expected e.g. tones:350|440@1000,0@500");
    return tones;
}

// "-O" (unavailable) and "-P" (private) stand for a field that is not sent; any other field
// starting with '-' is refused, so that a mistyped reason is not sent as a number or a name.
CallerIdAbsence AbsenceOf(std::string_view field, std::string_view what) {
    if (field == "-O") return CallerIdAbsence::Unavailable;
    if (field == "-P") return CallerIdAbsence::Private;
    if (!field.empty() && field.front() == '-') {
        throw RequestError("the " + std::string(what) + " " + Quoted(field) +
                           " starts with '-': only -O (unavailable) and -P (private) stand for an absent " +
                           std::string(what));
    }
    return CallerIdAbsence::None;
}

CallerId ParseCallerId(std::string_view args) {
    const std::vector<std::string_view> fields = SplitFields(args, '|');
    if (fields.size() > 3) throw RequestError("expected cid:NUMBER[|NAME[|MM/DD HH:MM]]");
    if (fields[0].empty()) throw RequestError("the Caller-ID needs a number (or -O / -P)");
    CallerId cid;
    cid.numberAbsence = AbsenceOf(fields[0], "number");
    if (cid.numberAbsence == CallerIdAbsence::None) cid.number = fields[0];
    if (fields.size() > 1) {
        cid.nameAbsence = AbsenceOf(fields[1], "name");
        if (cid.nameAbsence == CallerIdAbsence::None) cid.name = fields[1];
    }
    if (fields.size() > 2) {
        cid.dateTime = Trimmed(fields[2]);
        if (const std::string reason = CheckCallerIdDate(cid.dateTime); !reason.empty()) throw RequestError(reason);
    }
    return cid;
}

Vmwi ParseVmwi(std::string_view args) {
    const std::string_view word = Trimmed(args);
    if (SameWord(word, "on")) return Vmwi{true};
    if (SameWord(word, "off")) return Vmwi{false};
    throw RequestError("expected vmwi:on or vmwi:off");
}

Mf ParseMf(MfSystem system, std::string_view args) {
    const std::string_view signals = Trimmed(args);
    const bool r1 = system == MfSystem::R1;
    const char* const choices = r1 ? "0-9, KP as * or K, ST as # or S, A, B, C" : "1-9, 0 (10), B-F (11-15)";
    if (signals.empty()) {
        throw RequestError(std::string("no signal: expected ") + (r1 ? "R1 signals (" : "R2 signals (") + choices + ")");
    }
    for (const char c : signals) {
        const MfSignals::Pair pair = MfSignals::Find(system, c);
        if (pair.low == 0.0) {
            throw RequestError(Quoted(std::string_view(&c, 1)) + (r1 ? " is not an R1 signal (" : " is not an R2 signal (") +
                               choices + ")");
        }
    }
    return Mf{system, std::string(signals)};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

TtyHex ParseHex(std::string_view args) {
    const std::string_view hex = Trimmed(args);
    if (hex.empty() || hex.size() % 2 != 0) {
        throw RequestError("expected an even number of hexadecimal digits, e.g. ttyhex:48454c4c4f");
    }
    TtyHex request;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]);
        const int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) throw RequestError(Quoted(hex.substr(i, 2)) + " is not a hexadecimal byte");
        if (high == 0 && low == 0) {
            throw RequestError("byte " + std::to_string(i / 2 + 1) + " is 00: the bytes are sent up to the first zero");
        }
        request.bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return request;
}

TtyFile ParseTtyFile(std::string_view args) {
    if (args.empty()) throw RequestError("expected ttyfile:PATH, or ttyfile:- for standard input");
    return TtyFile{std::string(args), {}};
}

Set ParseSet(std::string_view args) {
    const std::size_t equals = args.find('=');
    if (equals == std::string_view::npos) throw RequestError("expected set:NAME=VALUE");
    const std::string_view name = Trimmed(args.substr(0, equals));
    const SettingSpec* spec = FindSetting(name);
    if (!spec) throw RequestError("unknown setting " + Quoted(name) + " (" + SettingNames() + ")");
    return ParseSetting(*spec, Trimmed(args.substr(equals + 1)), spec->option);
}

TonePattern PatternOf(std::string_view text) {
    TonePattern pattern;
    std::string error;
    if (!ParseTonePattern(text, pattern, error)) throw RequestError(error);
    return pattern;
}

Plan ParsePlan(std::string_view args) {
    const std::vector<std::string_view> fields = SplitFields(args, ':');
    if (fields.size() < 2 || fields.size() > 3) throw RequestError("expected plan:COUNTRY:TONE[:MS], e.g. plan:uk:busy:3000");
    const std::string_view country = Trimmed(fields[0]);
    const std::string_view tone = Trimmed(fields[1]);
    Plan plan;
    plan.row = FindTonePlan(country, tone);
    if (!plan.row) {
        if (!HasTonePlanCountry(country)) {
            throw RequestError("unknown country " + Quoted(country) + ": the tone plans are for " + TonePlanCountries() +
                               " (gb is uk)");
        }
        throw RequestError("country " + Quoted(country) + " has no tone " + Quoted(tone) + ": its tones are " +
                           TonePlanTones(country));
    }
    plan.pattern = PatternOf(plan.row->pattern);
    plan.ms = fields.size() == 3 ? ReadDurationMs(fields[2]) : kPlanMs;
    return plan;
}

Pattern ParsePattern(std::string_view args) {
    const std::vector<std::string_view> fields = SplitFields(args, ':');
    if (fields.size() > 2) throw RequestError("expected pattern:PATTERN[:MS], e.g. pattern:400/375,0/375:3000");
    return Pattern{PatternOf(fields[0]), fields.size() == 2 ? ReadDurationMs(fields[1]) : kPatternMs};
}

Sit ParseSit(std::string_view args) {
    const std::string_view code = Trimmed(args);
    const SitRow* row = FindSit(code);
    if (!row) throw RequestError(Quoted(code) + " is not a special information tone (" + SitCodes() + ")");
    return Sit{row, PatternOf(SitPattern(*row))};
}

Modem ParseModem(std::string_view args) {
    const std::vector<std::string_view> fields = SplitFields(args, ':');
    if (fields.size() > 2) throw RequestError("expected modem:KIND[:MS], e.g. modem:ans-pr:3300");
    const std::string_view word = Trimmed(fields[0]);
    const std::span<const std::string_view> words = ModemToneWords();
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (!SameWord(words[i], word)) continue;
        const auto tone = static_cast<MODEM_TONE>(i);
        const auto nominal = static_cast<std::int32_t>(kModemTones[i].nominalMs);
        return Modem{tone, fields.size() == 2 ? ReadDurationMs(fields[1]) : nominal};
    }
    std::string choices;
    for (const std::string_view w : words) choices.append(choices.empty() ? "" : "|").append(w);
    throw RequestError(Quoted(word) + " is not a modem tone (" + choices + ")");
}

std::string KindWords() {
    std::string words;
    for (const KindSyntax& k : Kinds()) words.append(words.empty() ? "" : ", ").append(k.word);
    return words;
}

Request ParseArguments(std::string_view word, std::string_view args, std::vector<std::string>& warnings) {
    if (SameWord(word, "dtmf")) return ParseDtmf(args, warnings);
    if (SameWord(word, "tone")) return ParseTone(args);
    if (SameWord(word, "silence")) return Silence{ReadFloat(args, "duration (ms)")};
    if (SameWord(word, "tones")) return ParseTones(args);
    if (SameWord(word, "cid")) return ParseCallerId(args);
    if (SameWord(word, "vmwi")) return ParseVmwi(args);
    if (SameWord(word, "mf")) return ParseMf(MfSystem::R1, args);
    if (SameWord(word, "r2f")) return ParseMf(MfSystem::R2Forward, args);
    if (SameWord(word, "r2b")) return ParseMf(MfSystem::R2Backward, args);
    if (SameWord(word, "tty")) return Tty{std::string(args)};
    if (SameWord(word, "ttyhex")) return ParseHex(args);
    if (SameWord(word, "ttyfile")) return ParseTtyFile(args);
    if (SameWord(word, "set")) return ParseSet(args);
    if (SameWord(word, "plan")) return ParsePlan(args);
    if (SameWord(word, "pattern")) return ParsePattern(args);
    if (SameWord(word, "sit")) return ParseSit(args);
    return ParseModem(args);
}

// One word of a script, with the line it starts on.
struct Word {
    std::string text;
    std::size_t line = 0;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The word so far and everything after its unclosed quote make the request named.
[[noreturn]] void Unclosed(const std::string& partial, std::string_view rest, std::size_t index, std::size_t opened) {
    throw RequestError("the quote opened on line " + std::to_string(opened) + " is not closed",
                       Printable(partial + std::string(rest)), index, opened);
}

// Splits a script into its words, as a shell would: quotes and backslashes, '#' comments.
std::vector<Word> SplitWords(std::string_view script, std::size_t firstIndex) {
    std::vector<Word> words;
    std::size_t line = 1;
    std::size_t at = 0;
    while (at < script.size()) {
        const char c = script[at];
        if (IsSpace(c)) {
            line += c == '\n';
            ++at;
            continue;
        }
        if (c == '#') {
            while (at < script.size() && script[at] != '\n') ++at;
            continue;
        }
        if (c == '\\' && at + 1 < script.size() && script[at + 1] == '\n') {  // the line goes on
            at += 2;
            ++line;
            continue;
        }
        Word word{{}, line};
        const std::size_t index = firstIndex + words.size();
        while (at < script.size() && !IsSpace(script[at])) {
            const char d = script[at++];
            if (d == '\'') {
                const std::size_t close = script.find('\'', at);
                if (close == std::string_view::npos) Unclosed(word.text, script.substr(at), index, line);
                const std::string_view quoted = script.substr(at, close - at);
                line += static_cast<std::size_t>(std::count(quoted.begin(), quoted.end(), '\n'));
                word.text.append(quoted);
                at = close + 1;
            } else if (d == '"') {
                const std::size_t opened = line;
                const std::size_t start = at;
                const std::size_t kept = word.text.size();
                for (;;) {
                    if (at >= script.size()) Unclosed(word.text.substr(0, kept), script.substr(start), index, opened);
                    char e = script[at++];
                    if (e == '"') break;
                    if (e == '\\' && at < script.size() && (script[at] == '"' || script[at] == '\\')) e = script[at++];
                    line += e == '\n';
                    word.text.push_back(e);
                }
            } else if (d == '\\' && at < script.size()) {
                const char e = script[at++];
                if (e == '\n') {
                    ++line;  // the line goes on
                } else {
                    word.text.push_back(e);
                }
            } else {
                word.text.push_back(d);
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

Entry ParseEntry(std::string_view text, std::size_t index, std::size_t line) {
    Entry entry;
    entry.text = Printable(text);
    entry.index = index;
    entry.line = line;
    try {
        entry.request = ParseRequest(text, &entry.warnings);
    } catch (const RequestError& e) {
        throw RequestError(e.Reason(), entry.text, index, line);
    }
    return entry;
}

}  // namespace

Request ParseRequest(std::string_view text, std::vector<std::string>* warnings) {
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
        throw RequestError("it holds a NUL character (at byte " + std::to_string(nul + 1) + ")");
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        throw RequestError(Quoted(text) + " is not a request (KIND:ARGUMENTS, e.g. dtmf:123 or tone:1000,0,440)");
    }
    const std::string_view word = Trimmed(text.substr(0, colon));
    const bool known = std::any_of(Kinds().begin(), Kinds().end(), [&](const KindSyntax& k) { return SameWord(k.word, word); });
    if (!known) throw RequestError("unknown request kind " + Quoted(word) + " (" + KindWords() + ")");
    std::vector<std::string> noticed;
    Request request = ParseArguments(word, text.substr(colon + 1), noticed);
    if (warnings) *warnings = std::move(noticed);
    return request;
}

Requests ParseScript(std::string_view script, std::size_t firstIndex) {
    // Lines are worth naming only in a script that has more than one.
    const bool lines = script.find('\n') != std::string_view::npos;
    Requests requests;
    for (const Word& word : SplitWords(script, firstIndex)) {
        requests.push_back(ParseEntry(word.text, firstIndex + requests.size(), lines ? word.line : 0));
    }
    return requests;
}

Requests ParseEach(std::span<const std::string> texts, std::size_t firstIndex) {
    Requests requests;
    for (const std::string& text : texts) requests.push_back(ParseEntry(text, firstIndex + requests.size(), 0));
    return requests;
}

}  // namespace Quorvex::VarnelNet::Script
