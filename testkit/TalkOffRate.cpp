#include "testkit/TalkOffRate.h"

#include <charconv>
#include <string_view>

namespace Quorvex::VarnelNet::Kit {

std::optional<TalkOffRate> FalseDetectionsPerHour(const Report& report) {
    TalkOffRate rate;
    double seconds = 0.0;
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        const ManifestRow& row = report.rows[i];
        const std::string_view text = row.Parameter("seconds");
        double length = 0.0;
        if (row.verdict != Verdict::Reject || text.empty()) continue;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
        if (error != std::errc() || end != text.data() + text.size() || !(length > 0.0)) continue;
        seconds += length;
        rate.keys += report.detected[i].size();
    }
    if (!(seconds > 0.0)) return std::nullopt;
    rate.hours = seconds / 3600.0;
    rate.perHour = static_cast<double>(rate.keys) / rate.hours;
    return rate;
}

}  // namespace Quorvex::VarnelNet::Kit
