#include "varnel/script/Impairments.h"

#include <array>
#include <cmath>
#include <limits>

#include "varnel/engine/Enumerations.h"
#include "varnel/engine/SettingsCatalog.h"
#include "varnel/options/Refusal.h"
#include "varnel/options/ValueReaders.h"
#include "varnel/platform/PrintableText.h"
#include "varnel/script/Level.h"
#include "varnel/script/RequestError.h"
#include "varnel/signal/PortableMath.h"

// The rows name the members they set and leave the others at their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace Quorvex::VarnelNet::Script {

namespace {

using Row = Option::OptionRow;
using Option::Kind;
using Option::Target;

constexpr std::string_view kTandemForm = "N[:ulaw|alaw] with N from 1 to 10";
constexpr std::string_view kDropoutForm = "MS@EVERY with 0 < MS < EVERY <= 3600000 milliseconds";

// N[:ulaw|alaw]: a malformed N is quoted alone, no passes (0) with the law.
void SetTandem(Impairments& impairments, const Row& row, std::string_view value) {
    const std::size_t colon = value.find(':');
    const std::string_view mu = SettingsCatalog::KeywordOf(SettingsCatalog::kEncoding, ENC_MuLaw);
    const std::string_view a = SettingsCatalog::KeywordOf(SettingsCatalog::kEncoding, ENC_ALaw);
    const std::string_view law = colon == std::string_view::npos ? mu : value.substr(colon + 1);
    if (law != mu && law != a) Option::Refuse(row.name, value, "is not N[:ulaw|alaw]");
    const std::string_view passes = value.substr(0, colon);
    const std::optional<std::uint64_t> n = Option::ReadWhole(passes, 0, row.most);
    if (!n) Option::Refuse(row.name, passes, "is not " + std::string(kTandemForm));
    if (*n < row.least) Option::Refuse(row.name, value, "is not " + std::string(kTandemForm));
    impairments.tandemPasses = static_cast<int>(*n);
    impairments.tandemLaw = law == a ? SampleFormat::ALaw : SampleFormat::MuLaw;
}

// MS@EVERY: a malformed number is quoted alone, a gap not shorter than its period with both.
void SetDropout(Impairments& impairments, const Row& row, std::string_view value) {
    const std::size_t at = value.find('@');
    if (at == std::string_view::npos) Option::Refuse(row.name, value, "is not MS@EVERY");
    const auto part = [&](std::string_view text) {
        const std::optional<double> ms = Option::ReadNumber(text, row.lowest, row.highest);
        if (!ms) Option::Refuse(row.name, text, "is not " + std::string(kDropoutForm));
        return *ms;
    };
    const double ms = part(value.substr(0, at));
    const double every = part(value.substr(at + 1));
    if (!(ms > 0.0 && ms < every)) Option::Refuse(row.name, value, "is not " + std::string(kDropoutForm));
    impairments.dropoutMs = ms;
    impairments.dropoutEveryMs = every;
}

constexpr std::array<Option::AppliedRow<Impairments>, 10> kRows = {{
    {{.name = "freq-offset", .target = Target::Impairment, .kind = Kind::Number, .placeholder = "PERCENT",
      .noun = "a percentage", .lowest = -50.0, .highest = 50.0,
      .help = "scale every frequency (DTMF, MF, tones, alerts, FSK mark and space) by 1 + PERCENT/100 (-50 to 50)"},
     [](Impairments& i, const Row& row, std::string_view v) { i.frequencyOffsetPercent = Option::NumberOf(row, v); }},
    {{.name = "fsk-rate-offset", .target = Target::Impairment, .kind = Kind::Number, .placeholder = "PERCENT",
      .noun = "a percentage", .lowest = -50.0, .highest = 50.0,
      .help = "scale the FSK bit rate (Caller-ID, TTY) by 1 + PERCENT/100 (-50 to 50)"},
     [](Impairments& i, const Row& row, std::string_view v) { i.bitRateOffsetPercent = Option::NumberOf(row, v); }},
    {{.name = "fsk-twist", .target = Target::Impairment, .kind = Kind::Number, .placeholder = "DB", .noun = "a level",
      .unit = " dB", .lowest = -20.0, .highest = 20.0,
      .help = "the FSK space tone DB above the mark tone, which keeps the level (-20 to 20)"},
     [](Impairments& i, const Row& row, std::string_view v) { i.fskTwistDb = Option::NumberOf(row, v); }},
    {{.name = "noise", .target = Target::Impairment, .kind = Kind::Number, .placeholder = "LEVEL", .noun = "a level",
      .unit = " dBm0", .lowest = -100.0, .highest = kFullScaleDbm0,
      .help = "add white Gaussian noise of LEVEL dBm0 (-100 to +3.14)"},
     [](Impairments& i, const Row& row, std::string_view v) { i.noiseDbm0 = Option::NumberOf(row, v); }},
    {{.name = "snr", .target = Target::Impairment, .kind = Kind::Number, .placeholder = "DB", .noun = "a ratio",
      .unit = " dB", .lowest = -20.0, .highest = 100.0,
      .help = "add white Gaussian noise DB below the signal's mean power over its sounding samples (-20 to 100)"},
     [](Impairments& i, const Row& row, std::string_view v) { i.snrDb = Option::NumberOf(row, v); }},
    {{.name = "noise-band", .target = Target::Impairment, .kind = Kind::Keyword, .placeholder = "flat|telephone",
      .fallback = "flat", .words = "flat telephone",
      .help = "the noise over the whole band (flat) or within 300-3400 Hz at the same power"},
     [](Impairments& i, const Row& row, std::string_view v) {
         constexpr std::array<std::string_view, 2> kBands = {"flat", "telephone"};
         const std::optional<std::size_t> band = Option::ReadKeyword(v, kBands);
         if (!band) Option::Refuse(row.name, v, "is not flat or telephone");
         i.telephoneBand = *band == 1;
     }},
    {{.name = "seed", .target = Target::Impairment, .kind = Kind::Whole, .placeholder = "N", .noun = "a whole number",
      .most = std::numeric_limits<std::uint64_t>::max(), .fallback = "0",
      .help = "the seed of the noise, 0 to 18446744073709551615 (0)"},
     [](Impairments& i, const Row& row, std::string_view v) { i.seed = Option::WholeOf(row, v); }},
    {{.name = "clip", .target = Target::Impairment, .kind = Kind::Number, .placeholder = "LEVEL", .noun = "a level",
      .unit = " dBm0", .lowest = -60.0, .highest = kFullScaleDbm0,
      .help = "hold every sample within the peak of a sine of LEVEL dBm0 (-60 to +3.14)"},
     [](Impairments& i, const Row& row, std::string_view v) { i.clipDbm0 = Option::NumberOf(row, v); }},
    {{.name = "codec-tandem", .target = Target::Impairment, .kind = Kind::Compound, .placeholder = "N[:ulaw|alaw]",
      .least = 1, .most = 10, .help = "N G.711 encode-decode passes (1 to 10, mu-law by default)"},
     SetTandem},
    {{.name = "dropout", .target = Target::Impairment, .kind = Kind::Compound, .placeholder = "MS@EVERY", .lowest = 0.0,
      .highest = 3600000.0, .help = "zero MS milliseconds at every multiple of EVERY milliseconds"},
     SetDropout},
}};

double PeakOf(double dbm0) { return PortableMath::Pow10((dbm0 - kFullScaleDbm0) / 20.0); }

std::int64_t Samples(double ms, double sampleRate) { return static_cast<std::int64_t>(std::floor(ms * sampleRate / 1000.0 + 0.5)); }

}  // namespace

bool Impairments::OnTheLine() const {
    return noiseDbm0.has_value() || snrDb.has_value() || clipDbm0.has_value() || tandemPasses > 0 || dropoutMs > 0.0;
}

Impairments Impairments::SenderOnly() const {
    Impairments sender;
    sender.frequencyOffsetPercent = frequencyOffsetPercent;
    sender.bitRateOffsetPercent = bitRateOffsetPercent;
    sender.fskTwistDb = fskTwistDb;
    return sender;
}

SignalDeviation Impairments::Deviation() const {
    SignalDeviation deviation;
    if (frequencyOffsetPercent != 0.0) deviation.frequencyScale = 1.0 + frequencyOffsetPercent / 100.0;
    if (bitRateOffsetPercent != 0.0) deviation.bitRateScale = 1.0 + bitRateOffsetPercent / 100.0;
    if (fskTwistDb != 0.0) deviation.spaceLevel = PortableMath::Pow10(fskTwistDb / 20.0);
    return deviation;
}

LineSpec Impairments::Line(double sampleRate, double signalPower) const {
    LineSpec line;
    // A sine of L dBm0 has a peak of 10^((L - 3.14) / 20) and a power of half its square.
    if (noiseDbm0) line.noiseRms = PeakOf(*noiseDbm0) / std::sqrt(2.0);
    if (snrDb) line.noiseRms = std::sqrt(signalPower / PortableMath::Pow10(*snrDb / 10.0));
    line.telephoneBand = telephoneBand;
    line.seed = seed;
    if (clipDbm0) line.clipPeak = PeakOf(*clipDbm0);
    line.tandemPasses = tandemPasses;
    line.tandemLaw = tandemLaw;
    if (dropoutMs > 0.0) {
        line.dropoutSamples = Samples(dropoutMs, sampleRate);
        line.dropoutPeriod = Samples(dropoutEveryMs, sampleRate);
    }
    return line;
}

std::span<const Option::AppliedRow<Impairments>> ImpairmentRows() { return kRows; }

void SetImpairment(Impairments& impairments, std::string_view name, std::string_view value) {
    for (const Option::AppliedRow<Impairments>& r : kRows) {
        if (r.row.name == name) return r.apply(impairments, r.row, value);
    }
    throw RequestError("'" + Printable(name) + "' is not an impairment");
}

std::optional<Option::Refusal> CheckImpairments(const Impairments& impairments, double sampleRate) {
    const bool noise = impairments.noiseDbm0 || impairments.snrDb;
    if (impairments.noiseDbm0 && impairments.snrDb) return Option::Together("{noise} and {snr} both set the noise: give one");
    if (impairments.telephoneBand && !noise) return Option::Together("{noise-band} telephone limits a noise: give {noise} or {snr}");
    if (impairments.telephoneBand) {
        if (std::string refusal = TelephoneBand::Check(sampleRate); !refusal.empty()) return Option::Together("{noise-band}: " + refusal);
    }
    if (impairments.dropoutMs > 0.0) {
        const std::int64_t gap = Samples(impairments.dropoutMs, sampleRate);
        const std::int64_t period = Samples(impairments.dropoutEveryMs, sampleRate);
        if (gap < 1 || gap >= period) {
            return Option::Together("{dropout}: at this sample rate the gap is " + std::to_string(gap) + " samples every " +
                                    std::to_string(period) + ": it must be at least one sample and shorter than the period");
        }
    }
    return std::nullopt;
}

}  // namespace Quorvex::VarnelNet::Script
