#pragma once

namespace Quorvex::VarnelNet::Detect {

// The angle of (x, y) in radians, -pi to pi, and the decimal logarithm, computed from +, -, *,
// / and the square root alone (which IEEE 754 rounds exactly), so that every build, the
// WebAssembly one included, measures the same bits. They are within a few units in the last
// place, not correctly rounded: enough for frequencies and levels, which are printed rounded.
double Atan2(double y, double x);
// Of a positive finite x; -infinity for 0 or less.
double Log10(double x);

}  // namespace Quorvex::VarnelNet::Detect
