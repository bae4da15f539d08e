#pragma once

#include <cstddef>
#include <optional>

#include "testkit/Score.h"

namespace Quorvex::VarnelNet::Kit {

// The keys a receiver reported in files that carry none and give their length (the talkoff
// suite's, with a "seconds" parameter), per hour of them: how talk-off is published.
struct TalkOffRate {
    std::size_t keys = 0;
    double hours = 0.0;
    double perHour = 0.0;
};
// None when no reject file of the report gives its length.
std::optional<TalkOffRate> FalseDetectionsPerHour(const Report& report);

}  // namespace Quorvex::VarnelNet::Kit
