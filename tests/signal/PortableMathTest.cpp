// The library's own sin, cos, e^x and 10^x against their exactly rounded values in
// portable_math.tsv (computed with mpmath at 2000 bits): arguments at every scale up to the
// largest double, next to multiples of pi/2, oscillator steps, levels, arguments that the C
// libraries do not round exactly, and values next to a midpoint between two doubles, where the
// quicker path of sin and cos must leave the rounding to the series. That path against the
// series over arguments of every kind. The WebAssembly build runs the same checks.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "varnel/signal/PortableMath.h"

namespace {

using namespace Quorvex::VarnelNet;

TEST(PortableMath, GivesTheExactlyRoundedValue) {
    const std::map<std::string, double (*)(double)> functions = {
        {"sin", PortableMath::Sin}, {"cos", PortableMath::Cos}, {"exp", PortableMath::Exp}, {"pow10", PortableMath::Pow10}};
    std::ifstream in(VARNEL_PORTABLE_MATH_TABLE);
    int rows = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, argument, expected;
        fields >> name >> argument >> expected;
        const double got = functions.at(name)(std::strtod(argument.c_str(), nullptr));
        EXPECT_EQ(got, std::strtod(expected.c_str(), nullptr)) << line << "\ngot " << std::hexfloat << got;
        ++rows;
    }
    EXPECT_EQ(rows, 165) << VARNEL_PORTABLE_MATH_TABLE;
}

// Arguments of one kind, from 64 random bits.
struct ArgumentKind {
    const char* name;
    double (*make)(std::uint64_t bits);
};

// Within 512 units in the last place of steps pi/256; the low bits of `bits` pick the distance.
double NearSteps(double steps, std::uint64_t bits) {
    double x = steps * 0x1.921fb54442d18p-7;
    std::uint64_t pattern = 0;
    std::memcpy(&pattern, &x, sizeof x);
    pattern += (bits & 1023) - 512;
    std::memcpy(&x, &pattern, sizeof x);
    return x;
}

double Fraction(std::uint64_t bits) { return static_cast<double>(bits >> 11) * 0x1p-53; }

TEST(PortableMath, TheQuickPathGivesTheSeriesValue) {
    const ArgumentKind kinds[] = {
        {"FSK phase", [](std::uint64_t b) { return 3.141592653589793 + static_cast<double>(b >> 44) * 0.9424777960769379; }},
        {"near k pi/256", [](std::uint64_t b) { return NearSteps(static_cast<double>(b >> 38), b); }},
        {"near k pi", [](std::uint64_t b) { return NearSteps(256.0 * static_cast<double>(b >> 46), b); }},
        {"near (k + 1/2) pi/256", [](std::uint64_t b) { return NearSteps(static_cast<double>(b >> 38) + 0.5, b); }},
        {"2^-30 to 2^25", [](std::uint64_t b) { return std::ldexp(Fraction(b) - 0.5, static_cast<int>(b % 56) - 29); }},
    };
    std::mt19937_64 random(20261208);
    for (const ArgumentKind& kind : kinds) {
        int differences = 0;
        for (int i = 0; i < 20000; ++i) {
            const double x = kind.make(random());
            if (PortableMath::Sin(x) != PortableMath::SinBySeries(x) ||
                PortableMath::Cos(x) != PortableMath::CosBySeries(x)) {
                if (++differences <= 5) ADD_FAILURE() << kind.name << ": " << std::hexfloat << x;
            }
        }
        EXPECT_EQ(differences, 0) << kind.name;
    }
}

}  // namespace
