#include "testkit/Corpus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "testkit/Requests.h"
#include "testkit/SignalCorpus.h"
#include "varnel/script/Level.h"
#include "varnel/signal/DtmfKeypad.h"
#include "varnel/signal/LineImpairments.h"
#include "varnel/signal/PortableMath.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

using nlohmann::json;

constexpr std::size_t kMostClips = 100000000;
constexpr std::size_t kMostKeys = 64;
constexpr std::size_t kMostCharacters = 4000;

[[noreturn]] void Fail(const std::string& why) { throw CorpusError(why); }

double NumberOf(const json& value, const std::string& name) {
    if (!value.is_number()) Fail("\"" + name + "\" must be a number or [low, high]");
    const double number = value.get<double>();
    if (!std::isfinite(number)) Fail("\"" + name + "\" must be finite");
    return number;
}

// A number, or [low, high] with low <= high, within [lowest, highest].
Range RangeOf(const json& value, const std::string& name, double lowest, double highest) {
    Range range;
    if (value.is_array()) {
        if (value.size() != 2) Fail("\"" + name + "\" must be [low, high]");
        range = {NumberOf(value[0], name), NumberOf(value[1], name)};
    } else {
        range.low = range.high = NumberOf(value, name);
    }
    if (range.low > range.high) Fail("\"" + name + "\": low is above high");
    if (range.low < lowest || range.high > highest) {
        char text[160];
        std::snprintf(text, sizeof text, "\"%s\" must lie within %g and %g", name.c_str(), lowest, highest);
        Fail(text);
    }
    return range;
}

std::size_t CountOf(const json& value, const std::string& name, std::size_t lowest, std::size_t highest) {
    if (!value.is_number_unsigned() && !(value.is_number_integer() && value.get<std::int64_t>() >= 0)) {
        Fail("\"" + name + "\" must be a whole number");
    }
    const auto count = value.get<std::uint64_t>();
    if (count < lowest || count > highest) Fail("\"" + name + "\" must be from " + std::to_string(lowest) + " to " + std::to_string(highest));
    return static_cast<std::size_t>(count);
}

// The loudest the two tones of a key may be together: the low group at level, the high group
// twist above it, their peaks within full scale.
bool FitsFullScale(double levelDbm0, double twistDb) {
    const double low = std::pow(10.0, (levelDbm0 - Script::kFullScaleDbm0) / 20.0);
    return low * (1.0 + std::pow(10.0, twistDb / 20.0)) <= 1.0;
}

// A value drawn uniformly from the range, rounded to `decimals`.
double Draw(SplitMix64& random, const Range& range, int decimals) {
    const double scale = PortableMath::Pow10(decimals);
    return std::round((range.low + (range.high - range.low) * random.Uniform()) * scale) / scale;
}

// The members of one signal only, and the standards or modes named: every one known, all of
// them when none are.
void CheckSignalMembers(CorpusRecipe& recipe, const std::vector<std::string>& seen, std::vector<std::string>& kinds) {
    const auto saw = [&](std::string_view name) { return std::find(seen.begin(), seen.end(), name) != seen.end(); };
    const std::string_view signal = recipe.signal == CorpusSignal::CallerId ? "cid" : recipe.signal == CorpusSignal::Tty ? "tty" : "dtmf";
    for (const char* member : {"keys", "key_count", "tone_ms", "pause_ms"}) {
        if (recipe.signal != CorpusSignal::Dtmf && saw(member)) Fail("\"" + std::string(member) + "\" is of DTMF clips, not of \"" + std::string(signal) + "\"");
    }
    for (const char* member : {"standards", "modes", "characters", "bit_rate_offset_percent"}) {
        const bool own = recipe.signal == CorpusSignal::CallerId ? std::string_view(member) == "standards" || std::string_view(member) == "bit_rate_offset_percent"
                         : recipe.signal == CorpusSignal::Tty    ? std::string_view(member) != "standards"
                                                                 : false;
        if (!own && saw(member)) Fail("\"" + std::string(member) + "\" is not a member of \"" + std::string(signal) + "\" clips");
    }
    std::vector<std::string> known;
    if (recipe.signal == CorpusSignal::CallerId) {
        for (const std::string_view name : CallerIdStandards()) known.emplace_back(name);
    } else if (recipe.signal == CorpusSignal::Tty) {
        for (const TtyMode& mode : TtyModes()) known.emplace_back(mode.name);
    }
    for (const std::string& kind : kinds) {
        if (std::find(known.begin(), known.end(), kind) == known.end()) {
            std::string names;
            for (const std::string& name : known) names += (names.empty() ? "" : ", ") + name;
            Fail("'" + kind + "' is none of " + names);
        }
    }
    recipe.kinds = kinds.empty() ? known : kinds;
}

}  // namespace

CorpusRecipe ReadCorpusRecipe(std::string_view text) {
    json root;
    try {
        root = json::parse(text.begin(), text.end());
    } catch (const json::exception& e) {
        Fail(std::string("not JSON: ") + e.what());
    }
    if (!root.is_object()) Fail("the recipe must be a JSON object");
    CorpusRecipe recipe;
    bool sawClips = false;
    std::vector<std::string> seen;
    std::vector<std::string> kinds;
    for (const auto& [name, value] : root.items()) {
        seen.push_back(name);
        if (name == "signal") {
            const std::string signal = value.is_string() ? value.get<std::string>() : "";
            if (signal != "dtmf" && signal != "cid" && signal != "tty") Fail("\"signal\" must be \"dtmf\", \"cid\" or \"tty\"");
            recipe.signal = signal == "cid" ? CorpusSignal::CallerId : signal == "tty" ? CorpusSignal::Tty : CorpusSignal::Dtmf;
        } else if (name == "standards" || name == "modes") {
            if (!value.is_array() || value.empty()) Fail("\"" + name + "\" must be a list of names");
            for (const json& kind : value) {
                if (!kind.is_string()) Fail("\"" + name + "\" must be a list of names");
                kinds.push_back(kind.get<std::string>());
            }
        } else if (name == "characters") {
            const Range count = RangeOf(value, name, 1, kMostCharacters);
            if (count.low != std::floor(count.low) || count.high != std::floor(count.high)) Fail("\"characters\" must be whole numbers");
            recipe.minCharacters = static_cast<std::size_t>(count.low);
            recipe.maxCharacters = static_cast<std::size_t>(count.high);
        } else if (name == "bit_rate_offset_percent") {
            recipe.bitRateOffsetPercent = RangeOf(value, name, -10, 10);
        } else if (name == "clips") {
            recipe.clips = CountOf(value, name, 1, kMostClips);
            sawClips = true;
        } else if (name == "seed") {
            if (!value.is_number_unsigned() && !(value.is_number_integer() && value.get<std::int64_t>() >= 0)) {
                Fail("\"seed\" must be a whole number from 0");
            }
            recipe.seed = value.get<std::uint64_t>();
        } else if (name == "encoding") {
            const std::string encoding = value.is_string() ? value.get<std::string>() : "";
            if (encoding != "pcm" && encoding != "ulaw" && encoding != "alaw") Fail("\"encoding\" must be \"pcm\", \"ulaw\" or \"alaw\"");
            recipe.encoding = encoding == "ulaw" ? SuiteEncoding::MuLaw : encoding == "alaw" ? SuiteEncoding::ALaw : SuiteEncoding::Pcm;
        } else if (name == "keys") {
            if (!value.is_string() || value.get<std::string>().empty()) Fail("\"keys\" must be a text of DTMF keys");
            recipe.alphabet = value.get<std::string>();
            for (const char c : recipe.alphabet) {
                if (!DtmfKeypad::Find(c)) Fail("\"keys\" holds '" + std::string(1, c) + "', which is not a DTMF key (0-9 A-D * #)");
            }
        } else if (name == "key_count") {
            const Range count = RangeOf(value, name, 1, kMostKeys);
            if (count.low != std::floor(count.low) || count.high != std::floor(count.high)) Fail("\"key_count\" must be whole numbers");
            recipe.minKeys = static_cast<std::size_t>(count.low);
            recipe.maxKeys = static_cast<std::size_t>(count.high);
        } else if (name == "tone_ms") {
            recipe.toneMs = RangeOf(value, name, 1, 10000);
        } else if (name == "pause_ms") {
            recipe.pauseMs = RangeOf(value, name, 0, 10000);
        } else if (name == "level_dbm0") {
            recipe.levelDbm0 = RangeOf(value, name, -100, Script::kFullScaleDbm0);
        } else if (name == "twist_db") {
            recipe.twistDb = RangeOf(value, name, -20, 20);
        } else if (name == "freq_offset_percent") {
            recipe.frequencyOffsetPercent = RangeOf(value, name, -50, 50);
        } else if (name == "lead_ms") {
            recipe.leadMs = RangeOf(value, name, 0, 60000);
        } else if (name == "tail_ms") {
            recipe.tailMs = RangeOf(value, name, 0, 60000);
        } else if (name == "snr_db") {
            recipe.snrDb = RangeOf(value, name, -20, 100);
        } else if (name == "noise_band") {
            const std::string band = value.is_string() ? value.get<std::string>() : "";
            if (band != "flat" && band != "telephone") Fail("\"noise_band\" must be \"flat\" or \"telephone\"");
            recipe.telephoneBand = band == "telephone";
        } else {
            Fail("unknown member \"" + name + "\"");
        }
    }
    if (!sawClips) Fail("\"clips\" is missing: how many clips to render");
    CheckSignalMembers(recipe, seen, kinds);
    if (recipe.signal == CorpusSignal::Dtmf &&
        (!FitsFullScale(recipe.levelDbm0.high, recipe.twistDb.high) || !FitsFullScale(recipe.levelDbm0.high, recipe.twistDb.low))) {
        Fail("\"level_dbm0\" and \"twist_db\" reach past full scale: the two tones of a key must stay within it");
    }
    if (recipe.signal != CorpusSignal::Dtmf && recipe.levelDbm0.high + std::max(0.0, recipe.twistDb.high) > Script::kFullScaleDbm0) {
        Fail("\"level_dbm0\" and \"twist_db\" reach past full scale: the space tone must stay within it");
    }
    if (recipe.telephoneBand && !recipe.snrDb) Fail("\"noise_band\" needs \"snr_db\"");
    return recipe;
}

Clip ClipOf(const SuiteFile& file, SuiteEncoding encoding) {
    Clip clip;
    clip.name = file.name;
    clip.row.file = file.name + ".wav";
    clip.row.suite = "corpus";
    clip.row.family = file.family;
    clip.row.parameters = file.parameters;
    clip.row.verdict = Verdict::Either;
    clip.row.sent = file.sent;
    clip.job = JobOf(file, encoding);
    return clip;
}

Clip ClipAt(const CorpusRecipe& recipe, std::size_t index) {
    if (recipe.signal == CorpusSignal::CallerId) return CallerIdClipAt(recipe, index);
    if (recipe.signal == CorpusSignal::Tty) return TtyClipAt(recipe, index);
    SplitMix64 random(FileSeed(recipe.seed, index));
    const auto count = static_cast<std::size_t>(Draw(random, {static_cast<double>(recipe.minKeys), static_cast<double>(recipe.maxKeys)}, 0));
    std::string keys;
    for (std::size_t k = 0; k < count; ++k) {
        keys += recipe.alphabet[static_cast<std::size_t>(random.Next() % recipe.alphabet.size())];
    }
    const double toneMs = Draw(random, recipe.toneMs, 0);
    const double pauseMs = Draw(random, recipe.pauseMs, 0);
    const double level = Draw(random, recipe.levelDbm0, 2);
    const double twist = Draw(random, recipe.twistDb, 2);
    const double offset = Draw(random, recipe.frequencyOffsetPercent, 3);
    const double leadMs = Draw(random, recipe.leadMs, 0);
    const double tailMs = Draw(random, recipe.tailMs, 0);
    const bool noisy = recipe.snrDb.has_value();
    const double snr = noisy ? Draw(random, *recipe.snrDb, 2) : 0.0;

    char name[32];
    std::snprintf(name, sizeof name, "clip-%06zu", index);
    SuiteFile file;
    file.name = name;
    file.family = "dtmf";
    file.sent = keys;
    if (leadMs > 0) file.requests.push_back(Silence(Rounded(leadMs, 0)));
    file.requests.insert(file.requests.end(),
                         {SetLevel(level, 2), SetNumber(SettingsCatalog::kDtmfTwist, Rounded(twist, 2)),
                          SetInteger(SettingsCatalog::kDtmfToneTime, static_cast<std::int32_t>(Rounded(toneMs, 0))),
                          SetInteger(SettingsCatalog::kDtmfBreakTime, static_cast<std::int32_t>(Rounded(pauseMs, 0))),
                          DtmfKeys(keys)});
    if (tailMs > 0) file.requests.push_back(Silence(Rounded(tailMs, 0)));
    file.impairments.frequencyOffsetPercent = Rounded(offset, 3);
    if (noisy) {
        file.impairments.snrDb = Rounded(snr, 2);
        file.impairments.seed = random.Next();
        file.impairments.telephoneBand = recipe.telephoneBand;
    }
    file.parameters = {{"keys", keys},           {"tone_ms", Decimal(toneMs, 0)}, {"pause_ms", Decimal(pauseMs, 0)},
                       {"level_dbm0", Decimal(level, 2)}, {"twist_db", Decimal(twist, 2)}, {"freq_offset_percent", Decimal(offset, 3)}};
    if (noisy) file.parameters.emplace_back("snr_db", Decimal(snr, 2));

    return ClipOf(file, recipe.encoding);
}

}  // namespace Quorvex::VarnelNet::Kit
