#pragma once

#include <span>
#include <vector>

namespace Quorvex::VarnelNet::Kit {

// A sound at one sample rate brought to another (lower) one: each output sample is the input
// seen through a windowed sinc (a Blackman window over 64 input samples either side) cut off
// midway between 3500 Hz and 4500 Hz, from a table for each of the phases the ratio of the
// rates takes. Every value is plain arithmetic in a fixed order: the same bits on every build.
// Throws std::invalid_argument for rates that are not positive or a target above the source.
std::vector<double> Resampled(std::span<const double> input, int fromRate, int toRate);

}  // namespace Quorvex::VarnelNet::Kit
