#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "varnel/engine/Enumerations.h"
#include "varnel/engine/SettingsCatalog.h"
#include "varnel/signal/MfSignals.h"
#include "varnel/signal/TonePattern.h"
#include "varnel/signal/ToneTables.h"

namespace Quorvex::VarnelNet::Script {

// The requests of the text notation, one small value per kind, as the parser makes them: every
// field is checked and typed, so that nothing downstream reads text again. Texts are UTF-8.

// dtmf:KEYS: the keys as written (',' pauses; characters that are not keys are skipped).
struct Dtmf {
    std::string keys;
    bool operator==(const Dtmf&) const = default;
};

// tone:ON_MS,OFF_MS,F1[,F2[,F3]]: up to three frequencies; 0 is no tone.
struct Tone {
    std::int32_t onMs = 0;
    std::int32_t offMs = 0;
    std::array<float, 3> hz{};
    bool operator==(const Tone&) const = default;
};

// silence:MS
struct Silence {
    float ms = 0.0f;
    bool operator==(const Silence&) const = default;
};

// One step of tones:NOTATION: up to three frequencies for ms; none (or all 0) is a pause.
struct ToneStep {
    std::vector<float> hz;
    std::int32_t ms = 0;
    bool IsPause() const;
    bool operator==(const ToneStep&) const = default;
};

// tones:NOTATION, e.g. tones:350|440@1000,0@500.
struct Tones {
    std::vector<ToneStep> steps;
    bool operator==(const Tones&) const = default;
};

// cid:NUMBER[|NAME[|MM/DD HH:MM]]: an absence reason (-O, -P) replaces its field, which is then
// empty. An empty date and time means the local time.
struct CallerId {
    std::string number;
    std::string name;
    std::string dateTime;
    CallerIdAbsence numberAbsence = CallerIdAbsence::None;
    CallerIdAbsence nameAbsence = CallerIdAbsence::None;
    bool operator==(const CallerId&) const = default;
};

// vmwi:on|off
struct Vmwi {
    bool active = false;
    bool operator==(const Vmwi&) const = default;
};

// mf:KEYS (R1), r2f:SIGNALS and r2b:SIGNALS (R2 forward and backward).
struct Mf {
    MfSystem system = MfSystem::R1;
    std::string signals;
    bool operator==(const Mf&) const = default;
};

// tty:TEXT
struct Tty {
    std::string text;
    bool operator==(const Tty&) const = default;
};

// ttyhex:HEX: bytes sent as they are.
struct TtyHex {
    std::vector<std::uint8_t> bytes;
    bool operator==(const TtyHex&) const = default;
};

// ttyfile:PATH ("-": standard input). Its text is read by LoadTextFiles (TextFiles.h), not by
// the parser; two requests are equal when they name the same file.
struct TtyFile {
    std::string path;
    std::string text;
    bool operator==(const TtyFile& other) const { return path == other.path; }
};

// set:NAME=VALUE: a setting of the catalog with a value it accepts.
struct Set {
    const SettingSpec* spec = nullptr;
    SettingValue value;
    bool operator==(const Set& other) const;
};

// plan:COUNTRY:TONE[:MS]: a row of the built-in tone plans, its pattern already parsed.
struct Plan {
    const TonePlanRow* row = nullptr;
    TonePattern pattern;
    std::int32_t ms = 0;
    bool operator==(const Plan& other) const { return row == other.row && ms == other.ms; }
};

// pattern:PATTERN[:MS]
struct Pattern {
    TonePattern pattern;
    std::int32_t ms = 0;
    bool operator==(const Pattern&) const = default;
};

// sit:CODE: a special information tone, its segments already parsed.
struct Sit {
    const SitRow* row = nullptr;
    TonePattern pattern;
    bool operator==(const Sit& other) const { return row == other.row; }
};

// modem:KIND[:MS]
struct Modem {
    MODEM_TONE tone = MT_CNG;
    std::int32_t ms = 0;
    bool operator==(const Modem&) const = default;
};

using Request =
    std::variant<Dtmf, Tone, Silence, Tones, CallerId, Vmwi, Mf, Tty, TtyHex, TtyFile, Set, Plan, Pattern, Sit, Modem>;

// A request kind as it is written: its word before the colon, the form of its arguments, an
// example, and what it makes.
struct KindSyntax {
    std::string_view word;     // "dtmf"
    std::string_view form;     // "dtmf:KEYS"
    std::string_view example;  // "dtmf:5550123#"
    std::string_view summary;  // "DTMF keys 0-9 A-D * #; ',' pauses"
};

// Every kind, in the order the help lists them.
std::span<const KindSyntax> Kinds();

// The syntax of the request's kind (r2f and r2b are kinds of their own).
const KindSyntax& KindOf(const Request& request);

// The modem:KIND words, by MODEM_TONE: cng, ans, ans-pr, ansam, ansam-pr.
std::span<const std::string_view> ModemToneWords();

// The request changes a setting rather than sounding.
inline bool IsSetting(const Request& request) { return std::holds_alternative<Set>(request); }

// Default durations of the kinds that take an optional one.
inline constexpr std::int32_t kPlanMs = 4000;
inline constexpr std::int32_t kPatternMs = 4000;
// A tones: step written without '@' is this much silence.
inline constexpr std::int32_t kToneStepWithoutDurationMs = 500;

}  // namespace Quorvex::VarnelNet::Script
