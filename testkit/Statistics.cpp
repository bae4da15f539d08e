#include "testkit/Statistics.h"

#include <algorithm>
#include <cmath>

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr double kZ95 = 1.959963984540054;  // the normal quantile of 0.975

}  // namespace

Proportion WilsonInterval(std::size_t k, std::size_t n) {
    Proportion p;
    p.n = n;
    p.k = k;
    if (n == 0) return p;
    const double trials = static_cast<double>(n);
    const double phat = static_cast<double>(k) / trials;
    const double z2 = kZ95 * kZ95;
    const double denominator = 1.0 + z2 / trials;
    const double centre = (phat + z2 / (2.0 * trials)) / denominator;
    const double half = kZ95 * std::sqrt(phat * (1.0 - phat) / trials + z2 / (4.0 * trials * trials)) / denominator;
    p.estimate = phat;
    p.low = std::max(0.0, centre - half);
    p.high = std::min(1.0, centre + half);
    return p;
}

ErrorSummary Summarise(std::vector<double> errors) {
    ErrorSummary s;
    s.count = errors.size();
    if (errors.empty()) return s;
    double sum = 0.0;
    for (const double e : errors) {
        sum += e;
        if (std::abs(e) > std::abs(s.worst)) s.worst = e;
    }
    s.mean = sum / static_cast<double>(errors.size());
    std::vector<double> sizes;
    for (const double e : errors) sizes.push_back(std::abs(e));
    std::sort(sizes.begin(), sizes.end());
    const std::size_t rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(sizes.size())));
    s.p95 = sizes[std::max<std::size_t>(rank, 1) - 1];
    return s;
}

}  // namespace Quorvex::VarnelNet::Kit
