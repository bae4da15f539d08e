#include "testkit/SignalCorpus.h"

#include <cmath>
#include <cstdio>
#include <iterator>

#include "testkit/Requests.h"
#include "varnel/signal/PortableMath.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

struct Standard {
    std::string_view name;
    std::int32_t standard;
    std::int32_t alert;
    std::int32_t format;  // of Bell 202
    bool vmwi;
};
constexpr Standard kStandards[] = {
    {"bell-sdmf", CS_Bell202, CA_None, CID_SDMF, false}, {"bell-mdmf", CS_Bell202, CA_None, CID_MDMF, false},
    {"bell-vmwi", CS_Bell202, CA_None, CID_MDMF, true},  {"etsi-dtas", CS_ETSI, CA_DTAS, CID_MDMF, false},
    {"etsi", CS_ETSI, CA_None, CID_MDMF, false},         {"bt", CS_BT, CA_DTAS, CID_MDMF, false},
    {"ntt", CS_NTT, CA_None, CID_MDMF, false},           {"dtmf", CS_DTMF, CA_None, CID_MDMF, false},
};
constexpr std::string_view kStandardNames[] = {"bell-sdmf", "bell-mdmf", "bell-vmwi", "etsi-dtas", "etsi", "bt", "ntt", "dtmf"};
constexpr const char* kNames[] = {"ANNA ADAMS", "BRUNO BAKER", "CLARA COOPER", "DAVID DIAZ", "ELENA EVANS", "FELIX FISCHER"};

double Drawn(SplitMix64& random, const Range& range, int decimals) {
    const double scale = PortableMath::Pow10(decimals);
    return std::round((range.low + (range.high - range.low) * random.Uniform()) * scale) / scale;
}

// What every FSK clip shares: the kind drawn, then level, twist, offsets, lead, tail and S/N in
// that order; the file's requests are lead silence, settings and level, then the caller's.
struct Drawing {
    std::size_t kind = 0;
    double level = 0, twist = 0, offset = 0, bitRate = 0, leadMs = 0, tailMs = 0, snr = 0;
};

Drawing DrawValues(const CorpusRecipe& recipe, SplitMix64& random) {
    Drawing d;
    d.kind = static_cast<std::size_t>(random.Next() % recipe.kinds.size());
    d.level = Drawn(random, recipe.levelDbm0, 2);
    d.twist = Drawn(random, recipe.twistDb, 2);
    d.offset = Drawn(random, recipe.frequencyOffsetPercent, 3);
    d.bitRate = Drawn(random, recipe.bitRateOffsetPercent, 3);
    d.leadMs = Drawn(random, recipe.leadMs, 0);
    d.tailMs = Drawn(random, recipe.tailMs, 0);
    if (recipe.snrDb) d.snr = Drawn(random, *recipe.snrDb, 2);
    return d;
}

Clip Finished(const CorpusRecipe& recipe, std::size_t index, SplitMix64& random, const Drawing& d, SuiteFile file) {
    char name[32];
    std::snprintf(name, sizeof name, "clip-%06zu", index);
    file.name = name;
    if (d.leadMs > 0) file.requests.insert(file.requests.begin(), Silence(Rounded(d.leadMs, 0)));
    if (d.tailMs > 0) file.requests.push_back(Silence(Rounded(d.tailMs, 0)));
    file.impairments.frequencyOffsetPercent = Rounded(d.offset, 3);
    file.impairments.bitRateOffsetPercent = Rounded(d.bitRate, 3);
    file.impairments.fskTwistDb = Rounded(d.twist, 2);
    file.parameters.insert(file.parameters.end(), {{"level_dbm0", Decimal(d.level, 2)}, {"twist_db", Decimal(d.twist, 2)},
                                                   {"freq_offset_percent", Decimal(d.offset, 3)},
                                                   {"bit_rate_offset_percent", Decimal(d.bitRate, 3)}});
    if (recipe.snrDb) {
        file.impairments.snrDb = Rounded(d.snr, 2);
        file.impairments.seed = random.Next();
        file.impairments.telephoneBand = recipe.telephoneBand;
        file.parameters.emplace_back("snr_db", Decimal(d.snr, 2));
    }
    return ClipOf(file, recipe.encoding);
}

}  // namespace

std::span<const std::string_view> CallerIdStandards() { return kStandardNames; }

Clip CallerIdClipAt(const CorpusRecipe& recipe, std::size_t index) {
    SplitMix64 random(FileSeed(recipe.seed, index));
    const Drawing d = DrawValues(recipe, random);
    const Standard* standard = &kStandards[0];
    for (const Standard& s : kStandards) {
        if (s.name == recipe.kinds[d.kind]) standard = &s;
    }
    SuiteFile file;
    file.family = "cid-" + std::string(standard->name);
    file.requests = {SetInteger(SettingsCatalog::kCidStandard, standard->standard), SetInteger(SettingsCatalog::kCidAlert, standard->alert),
                     SetInteger(SettingsCatalog::kCidFormat, standard->format), SetLevel(d.level, standard->standard == CS_DTMF ? 2 : 1)};
    if (standard->vmwi) {
        const bool active = random.Next() % 2 == 0;
        file.requests.push_back(VmwiMessage(active));
        file.sent = active ? "on" : "off";
    } else {
        std::string number = std::to_string(2 + random.Next() % 8);
        while (number.size() < 10) number += std::to_string(random.Next() % 10);
        char dateTime[16];
        std::snprintf(dateTime, sizeof dateTime, "%02u/%02u %02u:%02u", static_cast<unsigned>(1 + random.Next() % 12),
                      static_cast<unsigned>(1 + random.Next() % 28), static_cast<unsigned>(random.Next() % 24),
                      static_cast<unsigned>(random.Next() % 60));
        const bool named = standard->standard != CS_NTT && standard->standard != CS_DTMF && standard->format != CID_SDMF;
        // NTT, DTMF and SDMF carry no name, the first two no date either.
        const std::string name = kNames[random.Next() % std::size(kNames)];
        const bool dated = standard->standard != CS_NTT && standard->standard != CS_DTMF;
        file.requests.push_back(CallerIdMessage(number, named ? name : "", dated ? dateTime : ""));
        file.sent = number;
    }
    file.parameters = {{"standard", std::string(standard->name)}};
    return Finished(recipe, index, random, d, std::move(file));
}

Clip TtyClipAt(const CorpusRecipe& recipe, std::size_t index) {
    SplitMix64 random(FileSeed(recipe.seed, index));
    const Drawing d = DrawValues(recipe, random);
    const TtyMode* mode = FindTtyMode(recipe.kinds[d.kind]);
    const auto characters =
        static_cast<std::size_t>(Drawn(random, {static_cast<double>(recipe.minCharacters), static_cast<double>(recipe.maxCharacters)}, 0));
    SuiteFile file;
    file.family = "tty";
    file.sent = DrawTtyText(random, characters);
    file.requests = {SetInteger(SettingsCatalog::kTtyMode, mode->mode), SetInteger(SettingsCatalog::kTtyRate, mode->rate),
                     SetInteger(SettingsCatalog::kTtyFigsAfterSpace, 1), SetLevel(d.level, 1), TtyText(file.sent)};
    file.parameters = {{"tty_mode", std::string(mode->name)}, {"characters", std::to_string(characters)}};
    return Finished(recipe, index, random, d, std::move(file));
}

}  // namespace Quorvex::VarnelNet::Kit
