#include "varnel/script/Request.h"

#include <algorithm>

namespace Quorvex::VarnelNet::Script {

namespace {

constexpr std::array<KindSyntax, 17> kKinds = {{
    {"dtmf", "dtmf:KEYS", "dtmf:5550123#", "DTMF keys 0-9 A-D * #; ',' pauses (other characters are skipped, with a warning)"},
    {"tone", "tone:ON_MS,OFF_MS,F1[,F2[,F3]]", "tone:2000,0,350,440", "a tone of up to three frequencies, then a pause"},
    {"silence", "silence:MS", "silence:250", "silence"},
    {"tones", "tones:NOTATION", "tones:350|440@1000,0@500",
     "steps separated by ',', frequencies by '|', '@' then the duration in ms; a step whose frequencies are "
     "all 0 is a pause, a step without '@' is 500 ms of silence"},
    {"cid", "cid:NUMBER[|NAME[|MM/DD HH:MM]]", "\"cid:5551234|JOHN DOE|12/25 10:30\"",
     "Caller-ID (no date: the local time); NUMBER or NAME may be -O (unavailable) or -P (private)"},
    {"vmwi", "vmwi:on|off", "vmwi:on", "message waiting indicator on or off"},
    {"mf", "mf:KEYS", "mf:K5551234S", "R1 (Bell MF) signals: 0-9, KP (* or K), ST (# or S), A, B, C"},
    {"r2f", "r2f:SIGNALS", "r2f:1234", "R2 forward signals: 1-9, 0 (10), B-F (11-15)"},
    {"r2b", "r2b:SIGNALS", "r2b:1", "R2 backward signals: 1-9, 0 (10), B-F (11-15)"},
    {"tty", "tty:TEXT", "\"tty:HELLO GA\"", "TTY text"},
    {"ttyfile", "ttyfile:PATH", "ttyfile:greeting.txt", "TTY text read from a file; ttyfile:- reads standard input"},
    {"ttyhex", "ttyhex:HEX", "ttyhex:48454c4c4f", "TTY bytes sent as they are"},
    {"plan", "plan:COUNTRY:TONE[:MS]", "plan:uk:busy:3000",
     "a call-progress tone of the built-in plans (MS default 4000; gb is uk; see --list-plans)"},
    {"pattern", "pattern:PATTERN[:MS]", "\"pattern:400*25/400,0/200,400*25/400,0/2000:6000\"",
     "a tone pattern (MS default 4000): elements F, F1+F2[+F3] or F*M (F modulated by M Hz), 0 for silence, each "
     "/MS or lasting to the end; ! plays an element once, the others repeat"},
    {"sit", "sit:CODE", "sit:nc", "special information tone: nc, ic, vc, ro or itu"},
    {"modem", "modem:KIND[:MS]", "modem:ansam-pr", "cng|ans|ans-pr|ansam|ansam-pr (MS default 3300, cng 7000)"},
    {"set", "set:NAME=VALUE", "set:cid-standard=etsi",
     "change a setting between requests (NAME as the long options, a flag as NAME=0|1); rate, bits and encoding "
     "make up the output's format: they may be set only before the first signal request"},
}};

constexpr std::string_view kModemToneWords[] = {"cng", "ans", "ans-pr", "ansam", "ansam-pr"};

// Every request's word is in the table.
const KindSyntax& Named(std::string_view word) {
    return *std::find_if(kKinds.begin(), kKinds.end(), [&](const KindSyntax& k) { return k.word == word; });
}

}  // namespace

bool ToneStep::IsPause() const {
    return std::all_of(hz.begin(), hz.end(), [](float f) { return f == 0.0f; });
}

bool Set::operator==(const Set& other) const {
    if (spec != other.spec) return false;
    if (!spec) return true;
    return spec->kind == SettingKind::Number ? value.number == other.value.number : value.integer == other.value.integer;
}

std::span<const KindSyntax> Kinds() { return kKinds; }

std::span<const std::string_view> ModemToneWords() { return kModemToneWords; }

const KindSyntax& KindOf(const Request& request) {
    struct Word {
        std::string_view operator()(const Dtmf&) const { return "dtmf"; }
        std::string_view operator()(const Tone&) const { return "tone"; }
        std::string_view operator()(const Silence&) const { return "silence"; }
        std::string_view operator()(const Tones&) const { return "tones"; }
        std::string_view operator()(const CallerId&) const { return "cid"; }
        std::string_view operator()(const Vmwi&) const { return "vmwi"; }
        std::string_view operator()(const Mf& r) const {
            return r.system == MfSystem::R1 ? "mf" : r.system == MfSystem::R2Forward ? "r2f" : "r2b";
        }
        std::string_view operator()(const Tty&) const { return "tty"; }
        std::string_view operator()(const TtyHex&) const { return "ttyhex"; }
        std::string_view operator()(const TtyFile&) const { return "ttyfile"; }
        std::string_view operator()(const Set&) const { return "set"; }
        std::string_view operator()(const Plan&) const { return "plan"; }
        std::string_view operator()(const Pattern&) const { return "pattern"; }
        std::string_view operator()(const Sit&) const { return "sit"; }
        std::string_view operator()(const Modem&) const { return "modem"; }
    };
    return Named(std::visit(Word{}, request));
}

}  // namespace Quorvex::VarnelNet::Script
