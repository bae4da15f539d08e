#pragma once

#include <string>
#include <string_view>

#include "testkit/Score.h"

namespace Quorvex::VarnelNet::Kit {

// The report as JUnit XML, as CI servers read it: a testsuite for each suite scored, a testcase
// for each requirement (classname the suite, name the requirement), a failure for one NOT MET,
// its message the files met and the first of those that were not; with the measures, a test
// case's fields and timing as its properties.
std::string ReportJunit(const Report& report, std::string_view receiver, const Measures* measures = nullptr);

// Printable text (no control characters, UTF-8) escaped for an XML attribute or element.
std::string XmlEscaped(std::string_view text);

}  // namespace Quorvex::VarnelNet::Kit
