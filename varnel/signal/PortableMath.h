#pragma once

namespace Quorvex::VarnelNet::PortableMath {

// sin, cos, e^x and 10^x rounded to the nearest double, computed here from +, -, * and / alone
// (no C library beyond sign changes, and no fused multiply-add under -ffp-contract=off), so that
// every build gives the same bits. The C libraries round these differently now and then: glibc
// and the musl of Emscripten give cos(2 pi 697 / 8000) one unit in the last place apart, enough
// to move a sample of DTMF key 1 across a step of 8-bit output.
//
// Each value is carried to about 100 bits before it is rounded, so a result is the correctly
// rounded one unless the exact value lies within 2^-100 (relative) of the midpoint between two
// doubles. Results below the smallest normal double may be rounded twice. NaN and infinite
// arguments give NaN (Sin, Cos) or what e^x and 10^x tend to.
//
// Sin and Cos answer nearly every call from a quicker path (a table of sin(k pi/256), short
// series and a test that the rounding is decided) and fall back on the series otherwise.
double Sin(double x);
double Cos(double x);
double Exp(double x);
double Pow10(double x);

// Sin and Cos from the series alone, the same values some twenty times slower: the tests check
// the quicker path against them.
double SinBySeries(double x);
double CosBySeries(double x);

}  // namespace Quorvex::VarnelNet::PortableMath
