#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Settings.h"
#include "varnel/engine/Enumerations.h"

namespace Quorvex::VarnelNet::Cli {

enum class RequestKind {
    Dtmf,      // dtmf:KEYS                        GenerateDTMFs
    Tone,      // tone:ON_MS,OFF_MS,F1[,F2[,F3]]   GenerateTone
    Silence,   // silence:MS                       GenerateSilence
    Tones,     // tones:NOTATION                   one GenerateTone or GenerateSilence per step
    CallerId,  // cid:NUMBER[|NAME[|MM/DD HH:MM]]  GenerateCallerID (-O / -P: absence reasons)
    Vmwi,      // vmwi:on|off                      GenerateVMWI
    Mf,        // mf:KEYS                          GenerateMF
    R2Forward, // r2f:SIGNALS                      GenerateR2MF forward
    R2Backward,// r2b:SIGNALS                      GenerateR2MF backward
    Tty,       // tty:TEXT                         GenerateTTY
    TtyHex,    // ttyhex:HEX                       GenerateTTYEx
    TtyFile,   // ttyfile:PATH, ttyfile:-           GenerateTTY with a file's text, or standard input's
    Set,       // set:NAME=VALUE                   a setting, changed between requests
    Plan,      // plan:COUNTRY:TONE[:MS]           GenerateTonePlan
    Pattern,   // pattern:PATTERN[:MS]             GeneratePattern
    Sit,       // sit:CODE                         GenerateSIT
    Modem,     // modem:KIND[:MS]                  GenerateModemTone
};

// One step of a tones: notation. A step whose frequencies are all zero (or that has none) is a
// pause.
struct ToneStep {
    std::vector<float> frequencies;  // at most three
    std::int32_t duration = 0;       // ms
    bool IsPause() const;
};

// A request of the command line, parsed; only the fields of its kind are used.
struct Request {
    RequestKind kind = RequestKind::Dtmf;
    std::string text;                   // as written on the command line, escaped for messages
    std::vector<std::string> warnings;  // what the tool says about it before rendering

    std::string keys;                           // dtmf: keys, tty: and ttyfile: text, cid: number, mf: r2f: r2b:
    std::string path;                           // ttyfile: the file, "-" for standard input
    CallerIdAbsence numberAbsence = CallerIdAbsence::None;  // cid: -O or -P for the number
    CallerIdAbsence nameAbsence = CallerIdAbsence::None;    // cid: -O or -P for the name
    bool active = false;                        // vmwi:
    std::string name;                           // cid: name
    std::string dateTime;                       // cid: "MM/DD HH:MM"
    std::int32_t onTime = 0, offTime = 0;       // tone:
    float frequencies[3] = {0.0f, 0.0f, 0.0f};  // tone:
    float duration = 0.0f;                      // silence:
    std::vector<ToneStep> steps;                // tones:
    std::vector<std::uint8_t> bytes;            // ttyhex:
    Setting setting;                            // set:
    std::string country, tone;                  // plan:
    std::string pattern;                        // pattern:
    std::string code;                           // sit:
    MODEM_TONE modemTone = MT_CNG;              // modem:
    std::int32_t durationMs = 0;                // plan:, pattern:, modem:
    std::optional<float> dbm0;                  // --dbm0: each tone at this level
};

// The kind's word as written before the colon ("dtmf", "tones", ...).
std::string_view KindName(RequestKind kind);

// Parses one request; throws UsageError saying what is wrong with it. Values the library judges
// (a negative frequency, a duration out of range) are left for the library. A dtmf: request
// without any key is refused; keys it skips are named in a warning. A ttyfile: request is not
// read here: its keys are empty until the file is loaded.
Request ParseRequest(std::string_view text);

// The steps of a tone notation such as "350|440@1000,0@500": steps separated by ',', their
// frequencies by '|', then '@' and the duration in ms. A step without '@' is 500 ms of silence;
// empty steps are skipped. Throws UsageError for anything else that is not a number, for more
// than three frequencies in a step, and for a notation without steps.
std::vector<ToneStep> ParseToneNotation(std::string_view notation);

// The modem:KIND words (cng, ans, ans-pr, ansam, ansam-pr), separated by '|'.
std::string ModemToneWords();

}  // namespace Quorvex::VarnelNet::Cli
