#include "varnel/detect/DetectMath.h"

#include <cmath>
#include <limits>

#include "varnel/signal/LineImpairments.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

constexpr double kPi = 3.141592653589793238;
constexpr double kLn10 = 2.302585092994045684;

// atan(t) for |t| <= 1: the angle halved twice (tan(a/2) = t / (1 + sqrt(1 + t^2))) leaves
// |t| <= tan(pi/16), where eleven terms of the series reach the last place.
double AtanUnit(double t) {
    for (int i = 0; i < 2; ++i) t = t / (1.0 + std::sqrt(1.0 + t * t));
    const double t2 = t * t;
    double sum = 0.0;
    for (int k = 21; k >= 1; k -= 2) sum = 1.0 / k - t2 * sum;
    return 4.0 * t * sum;
}

}  // namespace

double Atan2(double y, double x) {
    if (x == 0.0 && y == 0.0) return 0.0;
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    double angle = ay <= ax ? AtanUnit(ay / ax) : kPi / 2.0 - AtanUnit(ax / ay);
    if (x < 0.0) angle = kPi - angle;
    return y < 0.0 ? -angle : angle;
}

double Log10(double x) {
    if (!(x > 0.0)) return -std::numeric_limits<double>::infinity();
    return PortableLog(x) / kLn10;
}

}  // namespace Quorvex::VarnelNet::Detect
