// The library's own sin, cos, e^x and 10^x against their exactly rounded values in
// portable_math.tsv (computed with mpmath at 2000 bits): arguments at every scale up to the
// largest double, next to multiples of pi/2, oscillator steps, levels, and arguments that the
// C libraries do not round exactly. The WebAssembly build runs the same table.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
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
    EXPECT_EQ(rows, 105) << VARNEL_PORTABLE_MATH_TABLE;
}

}  // namespace
