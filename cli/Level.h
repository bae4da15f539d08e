#pragma once

#include "cli/Request.h"

namespace Quorvex::VarnelNet::Cli {

// --dbm0 puts every tone of a request at a level in dBm0, where a full-scale sine is +3.14 dBm0
// (the A-law convention of ITU-T G.711). The component's Amplitude is the level of the mean of
// the tones sounding at once, so it is set per request from their number.

// A full-scale sine, in dBm0.
inline constexpr double kFullScaleDbm0 = 3.14;

// The most tones a request sounds at once: 2 for DTMF and MF; 1 for an FSK signal (TTY,
// Caller-ID and message waiting), a special information tone or a modem tone, but 2 for
// Caller-ID and message waiting when dualToneCallerId (the DTMF standard, or a dual-tone alert
// before the data); the frequencies of a tone:; the most any element of a pattern: or plan: sums
// (1 when the library will refuse it); 0 for silence and set:. For tones:, the most of any step.
// The request's parts with fewer tones sound below the level.
int ToneCount(const Request& request, bool dualToneCallerId);

// The tones of one step of a tones: notation.
int ToneCount(const ToneStep& step);

// The highest level at which `tones` tones together stay within full scale, in hundredths of a
// dB: +3.14 for one tone, -2.89 for two, -6.41 for three.
double HighestDbm0(int tones);

// The Amplitude (dB re full scale) that puts each of `tones` tones at dbm0; at most 0.
float AmplitudeForDbm0(float dbm0, int tones);

}  // namespace Quorvex::VarnelNet::Cli
