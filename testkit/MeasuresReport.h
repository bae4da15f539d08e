#pragma once

#include <string>
#include <string_view>

#include "testkit/Measures.h"

namespace Quorvex::VarnelNet::Kit {

// The measures for people, after the report's text: fields, timing, the probability of detection
// by step, false alarms per hour and the confusion of keys (each section only when it has rows).
std::string MeasuresText(const Measures& measures);

// A requirement's fields and timing as JUnit properties ("    <properties>...</properties>\n"
// indented for a test case), or an empty text when it has none.
std::string MeasuresProperties(const Measures& measures, std::string_view requirement);

// Numbers as the reports write them: two decimals at most, "-0" as "0".
std::string Figure2(double value);

}  // namespace Quorvex::VarnelNet::Kit
