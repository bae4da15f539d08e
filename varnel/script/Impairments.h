#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "varnel/generators/SignalDeviation.h"
#include "varnel/options/OptionRow.h"
#include "varnel/options/Refusal.h"
#include "varnel/signal/LineImpairments.h"
#include "varnel/signal/SampleFormat.h"

namespace Quorvex::VarnelNet::Script {

// What a receiver test does to a rendering: the sender's deviations (every frequency, the FSK
// bit rate and the level of the FSK space tone), which the generators render, and the line's
// impairments (noise, clipping, G.711 tandems, dropouts), applied to the samples after the
// signal and before the output stage. Nothing is changed by the defaults.
struct Impairments {
    std::optional<double> noiseDbm0;  // white Gaussian noise of this power
    std::optional<double> snrDb;      // or of the signal's mean power where it sounds, less this
    bool telephoneBand = false;       // the noise limited to 300-3400 Hz, at the same power
    double frequencyOffsetPercent = 0.0;
    double bitRateOffsetPercent = 0.0;  // FSK
    double fskTwistDb = 0.0;            // the FSK space tone above the mark tone
    std::optional<double> clipDbm0;     // samples held within the peak of a sine at this level
    int tandemPasses = 0;
    SampleFormat tandemLaw = SampleFormat::MuLaw;
    double dropoutMs = 0.0;             // zeroed gaps of dropoutMs every dropoutEveryMs
    double dropoutEveryMs = 0.0;
    std::uint64_t seed = 0;

    // Whether the line changes the samples (noise, clipping, tandems or dropouts).
    bool OnTheLine() const;
    // These impairments without the line's: the sender's deviations alone.
    Impairments SenderOnly() const;
    SignalDeviation Deviation() const;
    // The line at the sample rate, the noise at its power: signalPower (full scale 1.0) is the
    // mean square of the samples where the signal sounds, which --snr needs.
    LineSpec Line(double sampleRate, double signalPower) const;
    bool operator==(const Impairments&) const = default;
};

// The options of the impairments as the tool, Python and a corpus recipe write them: rows of the
// option registry (varnel/options/OptionRegistry.h), each with what reads its value in.
std::span<const Option::AppliedRow<Impairments>> ImpairmentRows();

// Reads the option's value into the impairments; throws Option::OptionRefused for a value
// that is malformed or out of range, RequestError for a name that is not one of them.
void SetImpairment(Impairments& impairments, std::string_view name, std::string_view value);

// Why the impairments do not go together at the sample rate (a refusal of options together), or
// nothing: noise with snr, noise-band without noise, the telephone band at a rate it cannot be
// filtered at, a dropout period no longer than its gap or below one sample.
std::optional<Option::Refusal> CheckImpairments(const Impairments& impairments, double sampleRate);

}  // namespace Quorvex::VarnelNet::Script
