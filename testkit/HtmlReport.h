#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "testkit/Measures.h"
#include "testkit/Score.h"

namespace Quorvex::VarnelNet::Kit {

// A score as one self-contained HTML page (inline SVG and CSS, no scripts, nothing fetched):
// a plot of the probability of detection against the parameter for each swept family, its
// Wilson intervals as error bars and the values the requirement asks detection at shaded, and
// the tables of requirements, fields, timing, false alarms and the confusion of keys. Each
// plot is also a file of its own. The same report gives the same bytes.
struct ReportPage {
    std::string html;
    std::vector<std::pair<std::string, std::string>> plots;  // file name ("detection-noise.svg"), SVG
};
ReportPage HtmlReport(const Report& report, const Measures& measures, std::string_view receiver);

// Writes report.html and the plots into the folder, made when it is not there. Throws FileError.
void WriteReportFolder(const std::string& folder, const ReportPage& page);

}  // namespace Quorvex::VarnelNet::Kit
