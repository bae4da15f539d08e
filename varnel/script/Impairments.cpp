#include "varnel/script/Impairments.h"

#include <array>
#include <cmath>
#include <limits>

#include "varnel/platform/DecimalText.h"
#include "varnel/platform/PrintableText.h"
#include "varnel/script/Level.h"
#include "varnel/script/RequestError.h"
#include "varnel/signal/PortableMath.h"

namespace Quorvex::VarnelNet::Script {

namespace {

constexpr std::array<ImpairmentOption, 10> kOptions = {{
    {"freq-offset", "PERCENT", "scale every frequency (DTMF, MF, tones, alerts, FSK mark and space) by 1 + PERCENT/100 (-50 to 50)"},
    {"fsk-rate-offset", "PERCENT", "scale the FSK bit rate (Caller-ID, TTY) by 1 + PERCENT/100 (-50 to 50)"},
    {"fsk-twist", "DB", "the FSK space tone DB above the mark tone, which keeps the level (-20 to 20)"},
    {"noise", "LEVEL", "add white Gaussian noise of LEVEL dBm0 (-100 to +3.14)"},
    {"snr", "DB", "add white Gaussian noise DB below the signal's mean power over its sounding samples (-20 to 100)"},
    {"noise-band", "flat|telephone", "the noise over the whole band (flat) or within 300-3400 Hz at the same power"},
    {"seed", "N", "the seed of the noise, 0 to 18446744073709551615 (0)"},
    {"clip", "LEVEL", "hold every sample within the peak of a sine of LEVEL dBm0 (-60 to +3.14)"},
    {"codec-tandem", "N[:ulaw|alaw]", "N G.711 encode-decode passes (1 to 10, mu-law by default)"},
    {"dropout", "MS@EVERY", "zero MS milliseconds at every multiple of EVERY milliseconds"},
}};

[[noreturn]] void Refuse(std::string_view name, std::string_view value, std::string_view what) {
    throw RequestError("--" + std::string(name) + ": '" + Printable(value) + "' is not " + std::string(what));
}

double Number(std::string_view name, std::string_view value, double lowest, double highest, std::string_view what) {
    double number = 0.0;
    if (ReadDecimal(value, number) != DecimalRead::Number || !(number >= lowest && number <= highest)) {
        Refuse(name, value, what);
    }
    return number;
}

std::uint64_t Unsigned(std::string_view name, std::string_view value, std::uint64_t highest, std::string_view what) {
    if (value.empty() || value.size() > 20) Refuse(name, value, what);
    std::uint64_t number = 0;
    for (const char c : value) {
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (c < '0' || c > '9' || number > (highest - digit) / 10) Refuse(name, value, what);
        number = number * 10 + digit;
    }
    return number;
}

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

std::span<const ImpairmentOption> ImpairmentOptions() { return kOptions; }

void SetImpairment(Impairments& impairments, std::string_view name, std::string_view value) {
    if (name == "noise") {
        impairments.noiseDbm0 = Number(name, value, -100.0, kFullScaleDbm0, "a level from -100 to +3.14 dBm0");
    } else if (name == "snr") {
        impairments.snrDb = Number(name, value, -20.0, 100.0, "a ratio from -20 to 100 dB");
    } else if (name == "noise-band") {
        if (value != "flat" && value != "telephone") Refuse(name, value, "flat or telephone");
        impairments.telephoneBand = value == "telephone";
    } else if (name == "freq-offset") {
        impairments.frequencyOffsetPercent = Number(name, value, -50.0, 50.0, "a percentage from -50 to 50");
    } else if (name == "fsk-rate-offset") {
        impairments.bitRateOffsetPercent = Number(name, value, -50.0, 50.0, "a percentage from -50 to 50");
    } else if (name == "fsk-twist") {
        impairments.fskTwistDb = Number(name, value, -20.0, 20.0, "a level from -20 to 20 dB");
    } else if (name == "clip") {
        impairments.clipDbm0 = Number(name, value, -60.0, kFullScaleDbm0, "a level from -60 to +3.14 dBm0");
    } else if (name == "codec-tandem") {
        const std::size_t colon = value.find(':');
        const std::string_view law = colon == std::string_view::npos ? std::string_view("ulaw") : value.substr(colon + 1);
        if (law != "ulaw" && law != "alaw") Refuse(name, value, "N[:ulaw|alaw]");
        impairments.tandemPasses = static_cast<int>(Unsigned(name, value.substr(0, colon), 10, "N[:ulaw|alaw] with N from 1 to 10"));
        if (impairments.tandemPasses == 0) Refuse(name, value, "N[:ulaw|alaw] with N from 1 to 10");
        impairments.tandemLaw = law == "alaw" ? SampleFormat::ALaw : SampleFormat::MuLaw;
    } else if (name == "dropout") {
        const std::size_t at = value.find('@');
        if (at == std::string_view::npos) Refuse(name, value, "MS@EVERY");
        constexpr std::string_view what = "MS@EVERY with 0 < MS < EVERY <= 3600000 milliseconds";
        const double ms = Number(name, value.substr(0, at), 0.0, 3600000.0, what);
        const double every = Number(name, value.substr(at + 1), 0.0, 3600000.0, what);
        if (!(ms > 0.0 && ms < every)) Refuse(name, value, what);
        impairments.dropoutMs = ms;
        impairments.dropoutEveryMs = every;
    } else if (name == "seed") {
        impairments.seed = Unsigned(name, value, std::numeric_limits<std::uint64_t>::max(), "a whole number from 0 to 18446744073709551615");
    } else {
        throw RequestError("--" + Printable(name) + " is not an impairment");
    }
}

std::string CheckImpairments(const Impairments& impairments, double sampleRate) {
    const bool noise = impairments.noiseDbm0 || impairments.snrDb;
    if (impairments.noiseDbm0 && impairments.snrDb) return "--noise and --snr both set the noise: give one";
    if (impairments.telephoneBand && !noise) return "--noise-band telephone limits a noise: give --noise or --snr";
    if (impairments.telephoneBand) {
        if (std::string refusal = TelephoneBand::Check(sampleRate); !refusal.empty()) return "--noise-band: " + refusal;
    }
    if (impairments.dropoutMs > 0.0) {
        const std::int64_t gap = Samples(impairments.dropoutMs, sampleRate);
        const std::int64_t period = Samples(impairments.dropoutEveryMs, sampleRate);
        if (gap < 1 || gap >= period) {
            return "--dropout: at this sample rate the gap is " + std::to_string(gap) + " samples every " +
                   std::to_string(period) + ": it must be at least one sample and shorter than the period";
        }
    }
    return {};
}

}  // namespace Quorvex::VarnelNet::Script
