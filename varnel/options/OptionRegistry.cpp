#include "varnel/options/OptionRegistry.h"

#include <algorithm>
#include <array>
#include <limits>

#include "varnel/options/Refusal.h"
#include "varnel/script/Impairments.h"
#include "varnel/script/Level.h"
#include "varnel/script/Parser.h"
#include "varnel/script/SettingText.h"

// The rows name the members they set and leave the others at their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace Quorvex::VarnelNet::Option {

namespace {

// The tool's options and the test kit's, in the order the completion offers them (the kit's
// -o, --seed and -e mean there what the tool's do elsewhere).
constexpr std::array<OptionRow, 32> kToolRows = {{
    {.name = "output", .letter = 'o', .kind = Kind::Text, .placeholder = "FILE"},
    {.name = "raw"},
    {.name = "play"},
    {.name = "pcap", .kind = Kind::Text, .placeholder = "FILE"},
    {.name = "rtp", .kind = Kind::Address, .placeholder = "HOST:PORT"},
    {.name = "sdp", .kind = Kind::Text, .placeholder = "FILE"},
    {.name = "dry-run"},
    {.name = "print-requests"},
    {.name = "script", .letter = 'f', .kind = Kind::Text, .placeholder = "FILE"},
    {.name = "dbm0", .kind = Kind::Text, .placeholder = "LEVEL"},
    {.name = "labels", .kind = Kind::Text, .placeholder = "FILE"},
    {.name = "mix", .kind = Kind::Text, .placeholder = "SCRIPT"},
    {.name = "mix-dbm0", .kind = Kind::Text, .placeholder = "LEVEL"},
    {.name = "output", .letter = 'o', .target = Target::Kit, .kind = Kind::Text, .placeholder = "DIR"},
    {.name = "seed", .target = Target::Kit, .kind = Kind::Whole, .placeholder = "N", .noun = "a whole number",
     .most = std::numeric_limits<std::uint64_t>::max(), .fallback = "0"},
    {.name = "shard", .target = Target::Kit, .kind = Kind::Share, .placeholder = "I/N", .least = 1, .most = 1000000,
     .fallback = "1/1"},
    {.name = "encoding", .letter = 'e', .target = Target::Kit, .kind = Kind::Keyword, .fallback = "pcm"},
    {.name = "family", .target = Target::Kit, .kind = Kind::Text, .placeholder = "F,..."},
    {.name = "repeat", .target = Target::Kit, .kind = Kind::Whole, .placeholder = "N", .noun = "a number of seeds", .least = 1,
     .most = 1000, .fallback = "1"},
    {.name = "rate", .target = Target::Kit, .kind = Kind::Whole, .placeholder = "HZ", .noun = "a sample rate in Hz", .least = 8000,
     .most = 192000, .fallback = "8000"},
    {.name = "pattern", .target = Target::Kit, .kind = Kind::Text, .placeholder = "REGEX"},
    {.name = "json", .target = Target::Kit},
    {.name = "timeout", .target = Target::Kit, .kind = Kind::Number, .placeholder = "SECONDS", .noun = "a number of seconds",
     .lowest = 0.001, .highest = 86400.0},
    {.name = "strict", .target = Target::Kit},
    {.name = "junit", .target = Target::Kit, .kind = Kind::Text, .placeholder = "FILE"},
    {.name = "report", .target = Target::Kit, .kind = Kind::Text, .placeholder = "DIR"},
    {.name = "key-map", .target = Target::Kit, .kind = Kind::Text, .placeholder = "FROM=TO,..."},
    {.name = "jobs", .letter = 'j', .target = Target::Kit, .kind = Kind::Whole, .placeholder = "N", .noun = "a number of workers",
     .least = 1, .most = 64, .fallback = "1"},
    {.name = "verbose", .letter = 'v'},
    {.name = "list-plans"},
    {.name = "help", .letter = 'h'},
    {.name = "version"},
}};

// The settings' short options.
constexpr std::array<std::pair<std::string_view, char>, 4> kSettingLetters = {
    {{"rate", 'r'}, {"bits", 'b'}, {"encoding", 'e'}, {"amplitude", 'a'}}};

Kind KindOf(const SettingSpec& spec) {
    switch (spec.kind) {
        case SettingKind::Integer: return Kind::Whole;
        case SettingKind::Number: return Kind::Number;
        case SettingKind::Keyword:
        case SettingKind::NumberKeyword: return Kind::Keyword;
        case SettingKind::Flag: break;
    }
    return Kind::Flag;
}

// A setting's row, with the texts it is written from kept beside it.
struct SettingRow {
    const SettingSpec* spec = nullptr;
    std::string placeholder;  // the unit, or the words joined by '|'
    std::string words;        // the words joined by ' '
    std::string fallback;     // the value a rendering starts from (Script::RenderDefaults)
    OptionRow row;
};

std::string Joined(const SettingSpec& spec, char separator) {
    std::string words;
    for (const SettingKeyword& k : spec.keywords) words.append(words.empty() ? 0 : 1, separator).append(k.word);
    return words;
}

std::vector<SettingRow> MakeSettingRows() {
    std::vector<SettingRow> rows;
    Script::SettingValues start;
    for (const Script::Set& setting : Script::RenderDefaults()) start.Apply(setting);
    for (const SettingSpec* spec : SettingsCatalog::All()) {
        // The value's placeholder in the help: the words to choose from, or the unit.
        const Kind kind = KindOf(*spec);
        const std::string placeholder =
            kind == Kind::Keyword ? Joined(*spec, '|') : kind == Kind::Flag ? std::string() : std::string(spec->unit);
        rows.push_back(SettingRow{spec, placeholder, Joined(*spec, ' '), Script::ValueText(*spec, start.Get(*spec)), {}});
    }
    for (SettingRow& s : rows) {
        const auto letter = std::find_if(kSettingLetters.begin(), kSettingLetters.end(),
                                         [&](const auto& l) { return l.first == s.spec->option; });
        s.row = {.name = s.spec->option, .letter = letter == kSettingLetters.end() ? '\0' : letter->second,
                 .target = Target::Setting, .kind = KindOf(*s.spec), .placeholder = s.placeholder, .fallback = s.fallback,
                 .words = s.words, .help = s.spec->description};
    }
    return rows;
}

const std::vector<SettingRow>& SettingRows() {
    static const std::vector<SettingRow> rows = MakeSettingRows();
    return rows;
}

std::vector<const OptionRow*> MakeAll() {
    std::vector<const OptionRow*> all;
    for (const OptionRow& row : kToolRows) all.push_back(&row);
    for (const SettingRow& s : SettingRows()) all.push_back(&s.row);
    for (const auto& r : Script::ImpairmentRows()) all.push_back(&r.row);
    for (const auto& r : Rtp::SessionOptionRows()) all.push_back(&r.row);
    return all;
}

std::string Dashed(std::string name) {
    std::replace(name.begin(), name.end(), '_', '-');
    return name;
}

}  // namespace

std::span<const OptionRow* const> All() {
    static const std::vector<const OptionRow*> all = MakeAll();
    return all;
}

std::vector<const OptionRow*> Find(std::string_view name) {
    std::vector<const OptionRow*> found;
    for (const OptionRow* row : All()) {
        if (row->name == name) found.push_back(row);
    }
    return found;
}

bool Lands(std::string_view name, Target target) {
    const auto all = All();
    return std::any_of(all.begin(), all.end(), [&](const OptionRow* row) { return row->name == name && row->target == target; });
}

bool SessionOnly(std::string_view name) { return Lands(name, Target::Session) && !Lands(name, Target::Impairment); }

const OptionRow* ByLetter(char letter) {
    for (const OptionRow* row : All()) {
        if (row->letter == letter && row->target != Target::Kit) return row;
    }
    return nullptr;
}

const SettingSpec& SettingOf(const OptionRow& row) {
    const auto& rows = SettingRows();
    return *std::find_if(rows.begin(), rows.end(), [&](const SettingRow& s) { return &s.row == &row; })->spec;
}

void ApplyOptions(Script::RenderOptions& render, Rtp::SessionOptions* session, const Pairs& pairs) {
    for (const auto& [given, value] : pairs) {
        const std::string name = Dashed(given);
        if (name == "mix" || name == "mix-dbm0") {
            if (!render.mix) render.mix.emplace();
            if (name == "mix") {
                render.mix->requests = Script::ParseScript(value);
                if (render.mix->requests.empty()) Refuse(name, value, "is not a script of one request or more");
            } else {
                render.mix->dbm0 = Script::ReadDbm0(value, name);
            }
            continue;
        }
        const bool impairment = Lands(name, Target::Impairment);
        const bool ofSession = Lands(name, Target::Session);
        if (impairment) Script::SetImpairment(render.impairments, name, value);
        if (ofSession && session) Rtp::SetSessionOption(*session, name, value);
        if (ofSession && !session && !impairment) Refuse(name, value, "applies to an RTP session only");
        if (!impairment && !ofSession) render.settings.push_back(Script::ParseNamedSetting(given, value));
    }
}

}  // namespace Quorvex::VarnelNet::Option
