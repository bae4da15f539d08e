#pragma once

#include <nlohmann/json.hpp>

#include "testkit/Measures.h"

namespace Quorvex::VarnelNet::Kit {

// Adds the measures to a report's JSON: "fields", "timing", "detection", "false_alarms" and
// "confusion", and each requirement's "fields" and "timing" (docs/kit-report.md).
void AddMeasuresJson(nlohmann::json& report, const Measures& measures);

}  // namespace Quorvex::VarnelNet::Kit
