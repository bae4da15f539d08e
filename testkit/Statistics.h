#pragma once

#include <cstddef>
#include <vector>

namespace Quorvex::VarnelNet::Kit {

// A proportion k of n with its 95 % Wilson score interval.
struct Proportion {
    std::size_t n = 0, k = 0;
    double estimate = 0.0, low = 0.0, high = 1.0;  // of no trials: 0 in [0, 1]
};
Proportion WilsonInterval(std::size_t k, std::size_t n);

// Errors summed up: their mean, the 95th percentile of their sizes (nearest rank) and the one
// of the greatest size (its sign kept).
struct ErrorSummary {
    std::size_t count = 0;
    double mean = 0.0, p95 = 0.0, worst = 0.0;
};
ErrorSummary Summarise(std::vector<double> errors);

}  // namespace Quorvex::VarnelNet::Kit
