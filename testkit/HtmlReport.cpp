#include "testkit/HtmlReport.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <filesystem>

#include "testkit/FolderFiles.h"
#include "testkit/Junit.h"
#include "testkit/MeasuresReport.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr double kWidth = 640.0, kHeight = 320.0;
constexpr double kLeft = 56.0, kRight = 150.0, kTop = 30.0, kBottom = 44.0;
constexpr int kTicks = 6;
constexpr const char* kColours[] = {"#1f5fa8", "#c0392b", "#27864b", "#8e44ad", "#d68910", "#17808a", "#6d4c41", "#555555"};

std::string Fixed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value + 0.0);
    return text;
}

// The widest step of 1, 2 or 5 times a power of ten that cuts the span into 4 parts or more.
double TickStep(double span) {
    double step = 1.0;
    while (span / step > 10.0) step *= 10.0;
    while (span / step < 1.0) step /= 10.0;
    double best = step / 10.0;
    for (const double candidate : {step / 5.0, step / 2.0, step, step * 2.0, step * 5.0}) {
        if (span / candidate >= 4.0) best = candidate;
    }
    return best;
}

// The curves of one family, plotted together.
struct FamilyPlot {
    std::string family;
    std::vector<const DetectionCurve*> curves;
};

std::vector<FamilyPlot> PlotsOf(const Measures& measures) {
    std::vector<FamilyPlot> plots;
    for (const DetectionCurve& c : measures.curves) {
        if (plots.empty() || plots.back().family != c.family) plots.push_back({c.family, {}});
        plots.back().curves.push_back(&c);
    }
    return plots;
}

std::string FileName(std::string_view family) {
    std::string name = "detection-";
    for (const char c : family) name += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ? c : '_';
    return name + ".svg";
}

std::string Svg(const FamilyPlot& plot) {
    double low = 0.0, high = 0.0;
    bool first = true;
    std::optional<double> bandLow, bandHigh;
    for (const DetectionCurve* c : plot.curves) {
        for (const DetectionStep& s : c->steps) {
            low = first ? s.value : std::min(low, s.value);
            high = first ? s.value : std::max(high, s.value);
            first = false;
        }
        if (c->bandLow) bandLow = bandLow ? std::min(*bandLow, *c->bandLow) : *c->bandLow;
        if (c->bandHigh) bandHigh = bandHigh ? std::max(*bandHigh, *c->bandHigh) : *c->bandHigh;
    }
    if (high <= low) high = low + 1.0;
    const double plotWidth = kWidth - kLeft - kRight, plotHeight = kHeight - kTop - kBottom;
    const auto x = [&](double v) { return kLeft + (v - low) / (high - low) * plotWidth; };
    const auto y = [&](double p) { return kTop + (1.0 - p) * plotHeight; };
    const DetectionCurve& head = *plot.curves.front();
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Fixed(kWidth) + "\" height=\"" + Fixed(kHeight) +
                      "\" viewBox=\"0 0 " + Fixed(kWidth) + " " + Fixed(kHeight) + "\" font-family=\"sans-serif\" font-size=\"11\">\n";
    svg += "<title>" + XmlEscaped(head.family + ": probability of detection against " + head.parameter) + "</title>\n";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + Fixed(kWidth) + "\" height=\"" + Fixed(kHeight) + "\" fill=\"#ffffff\"/>\n";
    if (bandLow) {
        const double left = x(*bandLow), width = std::max(2.0, x(*bandHigh) - left);
        svg += "<rect x=\"" + Fixed(left) + "\" y=\"" + Fixed(kTop) + "\" width=\"" + Fixed(width) + "\" height=\"" + Fixed(plotHeight) +
               "\" fill=\"#dcefdc\"><title>the requirement asks detection here</title></rect>\n";
    }
    for (int t = 0; t < kTicks; ++t) {
        const double p = t / static_cast<double>(kTicks - 1);
        svg += "<line x1=\"" + Fixed(kLeft) + "\" x2=\"" + Fixed(kLeft + plotWidth) + "\" y1=\"" + Fixed(y(p)) + "\" y2=\"" + Fixed(y(p)) +
               "\" stroke=\"#e4e4e4\"/>\n";
        svg += "<text x=\"" + Fixed(kLeft - 6) + "\" y=\"" + Fixed(y(p) + 4) + "\" text-anchor=\"end\">" + Figure2(p) + "</text>\n";
    }
    const double step = TickStep(high - low);
    for (double v = std::ceil(low / step) * step; v <= high + step * 1e-9; v += step) {
        svg += "<line x1=\"" + Fixed(x(v)) + "\" x2=\"" + Fixed(x(v)) + "\" y1=\"" + Fixed(kTop + plotHeight) + "\" y2=\"" +
               Fixed(kTop + plotHeight + 4) + "\" stroke=\"#333333\"/>\n";
        svg += "<text x=\"" + Fixed(x(v)) + "\" y=\"" + Fixed(kTop + plotHeight + 16) + "\" text-anchor=\"middle\">" + Figure2(v) + "</text>\n";
    }
    svg += "<rect x=\"" + Fixed(kLeft) + "\" y=\"" + Fixed(kTop) + "\" width=\"" + Fixed(plotWidth) + "\" height=\"" + Fixed(plotHeight) +
           "\" fill=\"none\" stroke=\"#333333\"/>\n";
    svg += "<text x=\"" + Fixed(kLeft) + "\" y=\"18\" font-size=\"13\">" + XmlEscaped(head.family + ": " + head.label) + "</text>\n";
    svg += "<text x=\"" + Fixed(kLeft + plotWidth / 2) + "\" y=\"" + Fixed(kHeight - 8) + "\" text-anchor=\"middle\">" +
           XmlEscaped(head.parameter + (head.unit.empty() ? "" : " (" + head.unit + ")")) + "</text>\n";
    svg += "<text transform=\"translate(14," + Fixed(kTop + plotHeight / 2) + ") rotate(-90)\" text-anchor=\"middle\">P(detection)</text>\n";
    for (std::size_t k = 0; k < plot.curves.size(); ++k) {
        const DetectionCurve& c = *plot.curves[k];
        const std::string colour = kColours[k % std::size(kColours)];
        std::string points;
        for (const DetectionStep& s : c.steps) {
            const std::string cx = Fixed(x(s.value));
            points += (points.empty() ? "" : " ") + cx + "," + Fixed(y(s.detected.estimate));
            svg += "<line x1=\"" + cx + "\" x2=\"" + cx + "\" y1=\"" + Fixed(y(s.detected.low)) + "\" y2=\"" + Fixed(y(s.detected.high)) +
                   "\" stroke=\"" + colour + "\" stroke-opacity=\"0.6\"/>\n";
            svg += "<circle cx=\"" + cx + "\" cy=\"" + Fixed(y(s.detected.estimate)) + "\" r=\"2\" fill=\"" + colour + "\"><title>" +
                   XmlEscaped(Figure2(s.value) + ": " + std::to_string(s.detected.k) + "/" + std::to_string(s.detected.n) + " [" +
                           Figure2(s.detected.low) + ", " + Figure2(s.detected.high) + "]") +
                   "</title></circle>\n";
        }
        svg += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + colour + "\"/>\n";
        const double legendY = kTop + 14.0 * static_cast<double>(k) + 6.0;
        svg += "<line x1=\"" + Fixed(kWidth - kRight + 12) + "\" x2=\"" + Fixed(kWidth - kRight + 30) + "\" y1=\"" + Fixed(legendY) + "\" y2=\"" +
               Fixed(legendY) + "\" stroke=\"" + colour + "\" stroke-width=\"2\"/>\n";
        svg += "<text x=\"" + Fixed(kWidth - kRight + 34) + "\" y=\"" + Fixed(legendY + 4) + "\">" + XmlEscaped(c.group.empty() ? "all" : c.group) +
               "</text>\n";
    }
    return svg + "</svg>\n";
}

std::string Cell(std::string_view text, bool heading = false) {
    return heading ? "<th>" + XmlEscaped(text) + "</th>" : "<td>" + XmlEscaped(text) + "</td>";
}

std::string Row(const std::vector<std::string>& cells, bool heading = false) {
    std::string row = "<tr>";
    for (const std::string& c : cells) row += Cell(c, heading);
    return row + "</tr>\n";
}

std::string SummaryCells(const ErrorSummary& s) { return Figure2(s.mean) + " / " + Figure2(s.p95) + " / " + Figure2(s.worst); }

std::string RequirementsTable(const Report& report, const Measures& measures) {
    std::string html = "<h2>Requirements</h2>\n<table>\n" +
                       Row({"requirement", "verdict", "files met", "fields right", "what it asks", "source"}, true);
    for (std::size_t k = 0; k < report.requirements.size(); ++k) {
        const RequirementResult& r = report.requirements[k];
        std::string fields;
        for (const FieldCount& f : measures.requirements[k].fields) {
            fields += (fields.empty() ? "" : ", ") + f.field + " " + std::to_string(f.right) + "/" + std::to_string(f.files);
        }
        html += "<tr class=\"" + std::string(r.failures.empty() ? "met" : "notmet") + "\">" + Cell(r.id) + Cell(r.failures.empty() ? "met" : "NOT MET") +
                Cell(std::to_string(r.files - r.failures.size()) + "/" + std::to_string(r.files)) + Cell(fields) + Cell(r.requirement) +
                Cell(r.source) + "</tr>\n";
    }
    return html + "</table>\n";
}

std::string TimingTable(const Measures& measures) {
    if (measures.timing.files == 0) return "";
    std::string html = "<h2>Timing (ms, reported minus labelled: mean / p95 / worst)</h2>\n<table>\n" +
                       Row({"requirement", "files", "onset", "offset", "duration"}, true);
    const auto row = [&](const std::string& id, const TimingErrors& t) {
        html += Row({id, std::to_string(t.files), SummaryCells(t.onset), SummaryCells(t.offset), SummaryCells(t.duration)});
    };
    row("all", measures.timing);
    for (const RequirementMeasures& r : measures.requirements) {
        if (r.timing.files > 0) row(r.id, r.timing);
    }
    return html + "</table>\n";
}

std::string FalseAlarmsTable(const Measures& measures) {
    if (measures.falseAlarms.empty()) return "";
    std::string html = "<h2>False alarms on audio without keys</h2>\n<table>\n" + Row({"family", "files", "seconds", "keys", "an hour"}, true);
    for (const FalseAlarms& f : measures.falseAlarms) {
        html += Row({f.family, std::to_string(f.files), Figure2(f.seconds), std::to_string(f.keys), Figure2(f.PerHour())});
    }
    return html + "</table>\n";
}

std::string ConfusionTable(const Measures& measures) {
    const Confusion& confusion = measures.confusion;
    if (confusion.symbols.empty()) return "";
    std::vector<std::string> head = {"sent \\ reported"};
    head.insert(head.end(), confusion.symbols.begin(), confusion.symbols.end());
    std::string html = "<h2>Confusion of keys</h2>\n<table class=\"confusion\">\n" + Row(head, true);
    for (const std::string& sent : confusion.symbols) {
        html += "<tr>" + Cell(sent, true);
        for (const std::string& reported : confusion.symbols) {
            const auto it = confusion.counts.find({sent, reported});
            const std::string kind = it == confusion.counts.end() ? "" : sent == reported ? " class=\"same\"" : " class=\"other\"";
            html += "<td" + kind + ">" + (it == confusion.counts.end() ? "" : std::to_string(it->second)) + "</td>";
        }
        html += "</tr>\n";
    }
    return html + "</table>\n";
}

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;margin:2em;color:#222}table{border-collapse:collapse;margin:0.5em 0 1.5em}"
    "td,th{border:1px solid #ccc;padding:2px 6px;text-align:left;font-size:13px}th{background:#f2f2f2}"
    "tr.notmet td:nth-child(2){color:#b00;font-weight:bold}table.confusion td{text-align:right;min-width:2em}"
    "td.same{background:#dcefdc}td.other{background:#f6d5d5}figure{display:inline-block;margin:0 1em 1em 0}";

}  // namespace

ReportPage HtmlReport(const Report& report, const Measures& measures, std::string_view receiver) {
    ReportPage page;
    page.html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>varnel score: " + XmlEscaped(receiver) +
                "</title>\n<style>" + std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>varnel score</h1>\n<p>receiver: <code>" +
                XmlEscaped(receiver) + "</code></p>\n<p>detect files meeting their verdict: " + std::to_string(report.detect.met) + " of " +
                std::to_string(report.detect.files) + "; reject files: " + std::to_string(report.reject.met) + " of " +
                std::to_string(report.reject.files) + "; either files (counted apart): " + std::to_string(report.either.files) + "</p>\n";
    page.html += RequirementsTable(report, measures);
    const std::vector<FamilyPlot> plots = PlotsOf(measures);
    if (!plots.empty()) page.html += "<h2>Probability of detection (95 % Wilson intervals; shaded: where the requirement asks detection)</h2>\n";
    for (const FamilyPlot& plot : plots) {
        const std::string svg = Svg(plot);
        page.plots.emplace_back(FileName(plot.family), svg);
        page.html += "<figure>\n" + svg + "</figure>\n";
    }
    page.html += TimingTable(measures) + FalseAlarmsTable(measures) + ConfusionTable(measures) + "</body>\n</html>\n";
    return page;
}

void WriteReportFolder(const std::string& folder, const ReportPage& page) {
    MakeFolder(folder);
    WriteText(std::filesystem::path(folder) / "report.html", page.html);
    for (const auto& [name, svg] : page.plots) WriteText(std::filesystem::path(folder) / name, svg);
}

}  // namespace Quorvex::VarnelNet::Kit
