#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "varnel/script/Request.h"
#include "varnel/script/SettingText.h"

namespace Quorvex::VarnelNet::Script {

// Levels in dBm0, where a full-scale sine is +3.14 dBm0 (the A-law convention of ITU-T G.711,
// also spandsp's): a tone of L dBm0 has a peak of 10^((L - 3.14) / 20) of full scale.
inline constexpr double kFullScaleDbm0 = 3.14;

// Reads a level in dBm0 as --dbm0 takes it: a number from -200 to 200. Refused with an
// Option::OptionRefused of the option ("dbm0", "mix-dbm0").
float ReadDbm0(std::string_view text, std::string_view option);

// The highest level at which `tones` tones together stay within full scale, rounded down to
// hundredths so that the level printed is one that is accepted: +3.14 for one tone, -2.89 for
// two, -6.41 for three.
double HighestDbm0(int tones);

// The settings that put every tone of every request at dbm0 whatever sounds beside it: the
// amplitude of each tone rather than of their mean.
std::vector<Set> Dbm0Settings(float dbm0);

// Why the request's tones together would pass full scale at dbm0 with these settings (the most
// tones at once; a DTMF twist lifts the high group), or an empty text.
std::string CheckDbm0(const Request& request, const SettingValues& settings, float dbm0);

}  // namespace Quorvex::VarnelNet::Script
