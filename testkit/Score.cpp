#include "testkit/Score.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "testkit/MeasuresJson.h"
#include "testkit/MeasuresReport.h"
#include "testkit/Requirements.h"
#include "testkit/TalkOffRate.h"
#include "testkit/TextScore.h"
#include "varnel/platform/DecimalText.h"
#include "varnel/platform/PrintableText.h"
#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr std::size_t kFailuresShown = 4;
constexpr std::size_t kLongestLine = 1024;
constexpr std::size_t kLongestPattern = 256;
constexpr std::size_t kLongestNumber = 6;

struct Point {
    double value;
    bool got;      // the receiver reported what was sent
    bool nothing;  // the receiver reported nothing
};

struct Extent {
    std::optional<double> low, high, rejectLow, rejectHigh;
    bool lowAtEnd = false, highAtEnd = false;
};

std::optional<double> Number(std::string_view text) {
    double value = 0.0;
    if (ReadDecimal(text, value) != DecimalRead::Number) return std::nullopt;
    return value;
}

// From the point nearest the reference, the run of points where the receiver got the signal,
// each way, and the points beyond which it reported nothing.
Extent Follow(std::vector<Point> points, const Figure& figure) {
    Extent extent;
    if (points.empty()) return extent;
    std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.value < b.value; });
    std::size_t start = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (std::abs(points[i].value - figure.reference) < std::abs(points[start].value - figure.reference)) start = i;
    }
    const std::size_t last = points.size() - 1;
    if (points[start].got) {
        std::size_t up = start, down = start;
        while (up < last && points[up + 1].got) ++up;
        while (down > 0 && points[down - 1].got) --down;
        if (figure.up) {
            extent.high = points[up].value;
            extent.highAtEnd = up == last;
        }
        if (figure.down) {
            extent.low = points[down].value;
            extent.lowAtEnd = down == 0;
        }
    }
    std::size_t k = last;
    while (k > start && points[k].nothing) --k;
    if (figure.up && k < last) extent.rejectHigh = points[k + 1].value;
    k = 0;
    while (k < start && points[k].nothing) ++k;
    if (figure.down && k > 0) extent.rejectLow = points[k - 1].value;
    return extent;
}

// The least of two extents: the narrower run, the wider reach of detections.
Extent Least(const Extent& a, const Extent& b) {
    Extent e;
    const auto pick = [](const std::optional<double>& x, const std::optional<double>& y, bool higher) -> std::optional<double> {
        if (!x || !y) return std::nullopt;
        return higher ? std::max(*x, *y) : std::min(*x, *y);
    };
    e.high = pick(a.high, b.high, false);
    e.highAtEnd = a.highAtEnd && b.highAtEnd;
    e.low = pick(a.low, b.low, true);
    e.lowAtEnd = a.lowAtEnd && b.lowAtEnd;
    e.rejectHigh = a.rejectHigh && b.rejectHigh ? pick(a.rejectHigh, b.rejectHigh, true) : std::nullopt;
    e.rejectLow = a.rejectLow && b.rejectLow ? pick(a.rejectLow, b.rejectLow, false) : std::nullopt;
    return e;
}

std::string Value(double value, std::string_view unit, bool sign) {
    std::string text = ShortestText(std::round(value * 100.0) / 100.0);
    if (sign && value > 0.0) text = "+" + text;
    return text + (unit.empty() ? "" : " " + std::string(unit));
}

std::string Describe(const Figure& figure, const Extent& e) {
    const bool sign = figure.up && figure.down && figure.reference == 0.0;
    std::string text;
    if (!e.low && !e.high) {
        text = "not detected at the reference";
    } else if (figure.up && figure.down) {
        text = Value(*e.low, figure.unit, sign) + (e.lowAtEnd ? " or less" : "") + " to " + Value(*e.high, figure.unit, sign) +
               (e.highAtEnd ? " or more" : "");
    } else if (figure.down) {
        text = Value(*e.low, figure.unit, sign) + (e.lowAtEnd ? " or less" : "");
    } else {
        text = Value(*e.high, figure.unit, sign) + (e.highAtEnd ? " or more" : "");
    }
    std::vector<std::string> rejects;
    if (e.rejectLow) rejects.push_back("at " + Value(*e.rejectLow, figure.unit, sign) + " and below");
    if (e.rejectHigh) rejects.push_back("at " + Value(*e.rejectHigh, figure.unit, sign) + " and above");
    if (!rejects.empty()) {
        text += " (nothing detected " + rejects[0] + (rejects.size() > 1 ? ", and " + rejects[1] : "") + ")";
    }
    return text;
}

FigureResult Result(const std::string& family, const Figure& figure, const Extent& e, std::string group) {
    FigureResult r;
    r.family = family;
    r.label = std::string(figure.label);
    r.text = Describe(figure, e);
    r.group = std::move(group);
    r.low = e.low;
    r.high = e.high;
    r.rejectLow = e.rejectLow;
    r.rejectHigh = e.rejectHigh;
    r.unit = std::string(figure.unit);
    return r;
}

void AddFigures(Report& report) {
    // Families in the order their rows come, each with its points by group.
    std::vector<std::pair<std::string, const Family*>> families;
    std::map<std::string, std::map<std::string, std::vector<Point>>> points;
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        const ManifestRow& row = report.rows[i];
        const Suite* suite = FindSuite(row.suite);
        const Family* family = suite ? FindFamily(*suite, row.family) : nullptr;
        if (!family || !family->figure) continue;
        const std::string key = row.suite + "/" + row.family;
        if (points.find(key) == points.end()) families.emplace_back(key, family);
        const std::optional<double> value = Number(row.Parameter(family->figure->parameter));
        if (!value) continue;
        const std::string_view detected = report.detected[i];
        const bool got = report.cer[i] ? *report.cer[i] <= kPassingCharacterErrors : detected == row.sent && !row.sent.empty();
        points[key][std::string(row.Parameter(family->figure->group))].push_back({*value, got, detected.empty()});
    }
    for (const auto& [key, family] : families) {
        const Figure& figure = *family->figure;
        const std::string name(family->name);
        std::optional<Extent> least;
        for (const auto& [group, groupPoints] : points[key]) {
            const Extent extent = Follow(groupPoints, figure);
            if (figure.eachGroup) {
                report.figures.push_back(Result(name, figure, extent, group));
            } else {
                least = least ? Least(*least, extent) : extent;
            }
        }
        if (least) report.figures.push_back(Result(name, figure, *least, ""));
    }
}

void AddRequirements(Report& report) {
    std::map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        const ManifestRow& row = report.rows[i];
        if (row.requirement.empty() || row.verdict == Verdict::Either) continue;
        auto [at, added] = index.emplace(row.requirement, report.requirements.size());
        if (added) {
            RequirementResult r;
            r.id = row.requirement;
            r.suite = row.suite;
            r.source = row.source;
            if (const Requirement* known = FindRequirement(row.requirement)) {
                r.requirement = std::string(known->requirement);
                r.status = std::string(known->status);
            }
            report.requirements.push_back(std::move(r));
        }
        RequirementResult& r = report.requirements[at->second];
        ++r.files;
        if (!report.passed[i]) r.failures.push_back(i);
    }
}

// The key a symbol stands for, or the symbol.
std::string_view Mapped(std::string_view symbol, const KeyMap& keyMap) {
    for (const auto& [from, to] : keyMap) {
        if (from == symbol) return to;
    }
    return symbol;
}

bool IsKeypad(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'D') || c == '*' || c == '#'; }

// The mean and the worst character error rate of a requirement's files, when they carry text.
struct CerFigures {
    double mean = 0.0;
    double worst = 0.0;
};
std::optional<CerFigures> CerOf(const Report& report, const RequirementResult& r) {
    CerFigures figures;
    std::size_t files = 0;
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        if (report.rows[i].requirement != r.id || report.rows[i].verdict == Verdict::Either || !report.cer[i]) continue;
        figures.mean += *report.cer[i];
        figures.worst = std::max(figures.worst, *report.cer[i]);
        ++files;
    }
    if (files == 0) return std::nullopt;
    figures.mean /= static_cast<double>(files);
    return figures;
}

std::string RequirementCer(const Report& report, const RequirementResult& r) {
    const std::optional<CerFigures> cer = CerOf(report, r);
    return cer ? "            " + CerText(cer->mean) + " mean, " + CerText(cer->worst) + " worst\n" : "";
}

std::string Shown(std::string_view detected) { return detected.empty() ? "nothing" : "'" + Printable(detected) + "'"; }

}  // namespace

std::regex CompilePattern(std::string_view text) {
    if (text.size() > kLongestPattern) {
        throw std::invalid_argument("longer than " + std::to_string(kLongestPattern) + " characters");
    }
    std::size_t digits = 0;
    for (const char c : text) {
        digits = c >= '0' && c <= '9' ? digits + 1 : 0;
        if (digits > kLongestNumber) throw std::invalid_argument("a number of more than 6 digits");
    }
    try {
        return std::regex(std::string(text), std::regex::ECMAScript);
    } catch (const std::regex_error& e) {
        throw std::invalid_argument(std::string("not a regular expression (") + e.what() + ")");
    }
}

KeyMap ReadKeyMap(std::string_view text) {
    KeyMap keyMap;
    while (!text.empty()) {
        const std::string_view pair = text.substr(0, text.find(','));
        const std::size_t equals = pair.find('=');
        if (equals == 0 || equals == std::string_view::npos || equals + 1 == pair.size()) {
            throw std::invalid_argument("'" + Printable(pair) + "' is not FROM=TO");
        }
        const std::string from(pair.substr(0, equals));
        if (std::any_of(keyMap.begin(), keyMap.end(), [&](const auto& p) { return p.first == from; })) {
            throw std::invalid_argument("'" + Printable(from) + "' is mapped twice");
        }
        keyMap.emplace_back(from, pair.substr(equals + 1));
        text.remove_prefix(std::min(text.size(), pair.size() + 1));
    }
    return keyMap;
}

// A decimal number at the start of text ("0.125", "12"): its length, or 0.
std::size_t DecimalLength(std::string_view text) {
    const std::size_t digits = std::min(text.find_first_not_of("0123456789."), text.size());
    return text.substr(0, digits).find_first_of("0123456789") == std::string_view::npos ? 0 : digits;
}

// Whether the line is a timeline line, "KEY START END" with the times in seconds (more may
// follow a space), as `varnel detect` prints them.
bool IsTimelineLine(std::string_view line) {
    if (line.size() < 2 || !IsKeypad(line[0]) || line[1] != ' ') return false;
    std::string_view rest = line.substr(2);
    for (int time = 0; time < 2; ++time) {
        const std::size_t length = DecimalLength(rest);
        if (length == 0) return false;
        rest.remove_prefix(length);
        if (time == 0 && (rest.empty() || rest[0] != ' ')) return false;
        if (time == 0) rest.remove_prefix(1);
    }
    return rest.empty() || rest[0] == ' ';
}

// Whether the line is one of the lines of other signals `varnel detect` prints beside the keys
// ("CID ...", "TONE ...", "RTP ..."): no keys to read in it.
bool IsOtherSignalLine(std::string_view line) {
    static constexpr std::string_view kWords[] = {"CID ", "DT-AS ", "MF ", "TONE ", "SIT ", "MODEM ", "TTY ", "RTT ", "RTP "};
    return std::any_of(std::begin(kWords), std::end(kWords), [line](std::string_view word) { return line.starts_with(word); });
}

bool IsKeyOrSignalLine(std::string_view line) { return IsTimelineLine(line) || IsOtherSignalLine(line); }

std::string Detected(std::string_view output, const std::optional<std::regex>& pattern, const KeyMap& keyMap) {
    std::string detected;
    if (!pattern) {
        for (std::string_view rest = output; !rest.empty();) {
            const std::size_t end = std::min(rest.find('\n'), rest.size());
            const std::string_view line = rest.substr(0, end);
            const std::size_t read = IsOtherSignalLine(line) ? 0 : IsTimelineLine(line) ? 1 : line.size();
            for (std::size_t i = 0; i < read; ++i) {
                for (const char c : Mapped(line.substr(i, 1), keyMap)) {
                    if (IsKeypad(c)) detected += c;
                }
            }
            rest.remove_prefix(std::min(end + 1, rest.size()));
        }
        return detected;
    }
    // Line by line, each cut to its first kLongestLine characters: the library's matcher recurses
    // per character.
    while (!output.empty()) {
        const std::size_t end = output.find('\n');
        const std::string line(output.substr(0, std::min({end, output.size(), kLongestLine})));
        for (auto it = std::sregex_iterator(line.begin(), line.end(), *pattern); it != std::sregex_iterator(); ++it) {
            const std::smatch& match = *it;
            detected += Mapped(match.size() > 1 ? match[1].str() : match[0].str(), keyMap);
        }
        if (end == std::string_view::npos) break;
        output.remove_prefix(end + 1);
    }
    return detected;
}

bool Passes(const ManifestRow& row, std::string_view detected) {
    switch (row.verdict) {
        case Verdict::Detect: return detected == row.sent;
        case Verdict::Reject: return detected.empty();
        case Verdict::Either: break;
    }
    return false;
}

bool FalseDetection(const ManifestRow& row, std::string_view detected) {
    if (row.verdict != Verdict::Either && detected.size() > row.sent.size()) return true;
    return std::any_of(detected.begin(), detected.end(), [&](char c) { return row.sent.find(c) == std::string::npos; });
}

Report Score(std::vector<ManifestRow> rows, std::vector<std::string> detected) {
    Report report;
    report.rows = std::move(rows);
    report.detected = std::move(detected);
    report.detected.resize(report.rows.size());
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        const ManifestRow& row = report.rows[i];
        report.cer.push_back(CarriesText(row) ? std::optional(CharacterErrorRate(row.sent, report.detected[i])) : std::nullopt);
        const bool passed = report.cer[i] ? TextPasses(row, report.detected[i]) : Passes(row, report.detected[i]);
        report.passed.push_back(passed);
        VerdictCount& count = row.verdict == Verdict::Detect   ? report.detect
                              : row.verdict == Verdict::Reject ? report.reject
                                                               : report.either;
        ++count.files;
        const bool either = row.verdict == Verdict::Either;
        const bool sentReported = report.cer[i] ? *report.cer[i] <= kPassingCharacterErrors : report.detected[i] == row.sent;
        count.met += either ? (!row.sent.empty() && sentReported ? 1 : 0) : (passed ? 1 : 0);
        if (!either && !passed) ++report.failed;
        if (!report.cer[i] && FalseDetection(report.rows[i], report.detected[i])) report.falseDetections.push_back(i);
    }
    AddFigures(report);
    AddRequirements(report);
    return report;
}

std::string ReportText(const Report& report, std::string_view receiver, const Measures* measures) {
    std::string text = "receiver: " + Printable(receiver) + "\n";
    std::map<std::string, std::size_t> perSuite;
    for (const ManifestRow& row : report.rows) ++perSuite[row.suite];
    for (const auto& [suite, count] : perSuite) text += "suite " + suite + ": " + std::to_string(count) + " files\n";
    for (const auto& [word, count] : {std::pair{"detect", report.detect}, std::pair{"reject", report.reject}}) {
        text += std::string(word) + " files meeting their verdict: " + std::to_string(count.met) + " of " +
                std::to_string(count.files) + "\n";
    }
    text += "either files (counted apart, never as met): " + std::to_string(report.either.files) + ", what was sent reported in " +
            std::to_string(report.either.met) + "\n\nfigures:\n";
    for (const FigureResult& f : report.figures) {
        text += "  " + f.family + ": " + f.label + (f.group.empty() ? "" : " (" + f.group + ")") + ": " + f.text + "\n";
    }
    text += "  false detections: " + std::to_string(report.falseDetections.size()) + " file" +
            (report.falseDetections.size() == 1 ? "" : "s");
    for (std::size_t k = 0; k < report.falseDetections.size() && k < kFailuresShown; ++k) {
        const std::size_t i = report.falseDetections[k];
        text += (k == 0 ? " (" : ", ") + report.rows[i].file + " " + Shown(report.detected[i]);
    }
    if (!report.falseDetections.empty()) text += report.falseDetections.size() > kFailuresShown ? ", ...)" : ")";
    if (const std::optional<TalkOffRate> rate = FalseDetectionsPerHour(report)) {
        text += "\n  false detections per hour: " + Decimal(rate->perHour, 2) + " (" + std::to_string(rate->keys) + " keys in " +
                Decimal(rate->hours, 3) + " h without keys)";
    }
    text += "\n\nrequirements:\n";
    for (const RequirementResult& r : report.requirements) {
        char head[160];
        std::snprintf(head, sizeof head, "  %-7s %-24s %zu/%zu files  ", r.failures.empty() ? "met" : "NOT MET", r.id.c_str(),
                      r.files - r.failures.size(), r.files);
        text += head + r.requirement + " [" + r.source + "]\n" + RequirementCer(report, r);
        for (std::size_t k = 0; k < r.failures.size() && k < kFailuresShown; ++k) {
            const std::size_t i = r.failures[k];
            text += "            " + report.rows[i].file + ": " +
                    (report.cer[i] ? CerText(*report.cer[i]) : "detected " + Shown(report.detected[i]) + ", sent " + Shown(report.rows[i].sent)) +
                    "\n";
        }
        if (r.failures.size() > kFailuresShown) text += "            ... " + std::to_string(r.failures.size() - kFailuresShown) + " more\n";
    }
    return measures ? text + MeasuresText(*measures) : text;
}

std::string ReportJson(const Report& report, std::string_view receiver, const Measures* measures) {
    using nlohmann::json;
    const auto utf8 = [](std::string_view text) { return Script::Utf8Text(text); };
    const auto optional = [](const std::optional<double>& v) { return v ? json(*v) : json(nullptr); };
    json out;
    out["receiver"] = utf8(receiver);
    out["files"] = report.rows.size();
    out["failed"] = report.failed;
    for (const auto& [word, count] : {std::pair{"detect", report.detect}, std::pair{"reject", report.reject}}) {
        out[word] = {{"files", count.files}, {"met", count.met}};
    }
    out["either"] = {{"files", report.either.files}, {"sent_detected", report.either.met}};
    json figures = json::array();
    for (const FigureResult& f : report.figures) {
        figures.push_back({{"family", f.family}, {"label", f.label}, {"group", f.group}, {"text", f.text}, {"unit", f.unit},
                           {"low", optional(f.low)}, {"high", optional(f.high)}, {"reject_low", optional(f.rejectLow)},
                           {"reject_high", optional(f.rejectHigh)}});
    }
    out["figures"] = figures;
    json requirements = json::array();
    for (const RequirementResult& r : report.requirements) {
        json failures = json::array();
        for (const std::size_t i : r.failures) failures.push_back(report.rows[i].file);
        requirements.push_back({{"id", r.id}, {"met", r.failures.empty()}, {"files", r.files}, {"requirement", r.requirement},
                                {"source", utf8(r.source)}, {"status", r.status}, {"failures", failures}});
        if (const std::optional<CerFigures> cer = CerOf(report, r)) requirements.back()["cer"] = {{"mean", cer->mean}, {"worst", cer->worst}};
    }
    out["requirements"] = requirements;
    json falseDetections = json::array();
    for (const std::size_t i : report.falseDetections) falseDetections.push_back(report.rows[i].file);
    out["false_detections"] = falseDetections;
    if (const std::optional<TalkOffRate> rate = FalseDetectionsPerHour(report)) {
        out["false_detections_per_hour"] = {{"keys", rate->keys}, {"hours", rate->hours}, {"per_hour", rate->perHour}};
    }
    json results = json::array();
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        const ManifestRow& row = report.rows[i];
        results.push_back({{"file", utf8(row.file)}, {"family", utf8(row.family)}, {"verdict", VerdictWord(row.verdict)},
                           {"sent", utf8(row.sent)}, {"detected", report.detected[i]},
                           {"pass", row.verdict == Verdict::Either ? json(nullptr) : json(static_cast<bool>(report.passed[i]))}});
        if (report.cer[i]) results.back()["cer"] = *report.cer[i];
    }
    out["results"] = results;
    if (!report.runFailures.empty()) {
        json failures = json::array();
        for (const RunFailure& f : report.runFailures) failures.push_back({{"file", utf8(report.rows[f.row].file)}, {"failure", f.how}});
        out["receiver_failures"] = failures;
    }
    if (measures) AddMeasuresJson(out, *measures);
    // What the receiver printed is taken as it came: its bytes that are not UTF-8 become U+FFFD.
    return out.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace Quorvex::VarnelNet::Kit
