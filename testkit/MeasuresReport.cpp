#include "testkit/MeasuresReport.h"

#include <cmath>
#include <cstdio>

#include "testkit/MeasuresJson.h"
#include "varnel/platform/DecimalText.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

using nlohmann::json;

double Rounded3(double value) { return std::round(value * 1000.0) / 1000.0 + 0.0; }

std::string Signed(double value) {
    std::string text = value > 0.0 ? "+" : "";
    return text.append(Figure2(value));
}

std::string FieldsText(const std::vector<FieldCount>& fields) {
    std::string text;
    for (const FieldCount& f : fields) text += "  " + f.field + " " + std::to_string(f.right) + "/" + std::to_string(f.files);
    return text;
}

std::string SummaryText(const ErrorSummary& s) { return Signed(s.mean) + " / " + Figure2(s.p95) + " / " + Signed(s.worst); }

std::string TimingText(const TimingErrors& t) {
    return std::to_string(t.files) + " files  onset " + SummaryText(t.onset) + "  offset " + SummaryText(t.offset) + "  duration " +
           SummaryText(t.duration);
}

std::string Padded(const std::string& text, int width) {
    char cell[96];
    std::snprintf(cell, sizeof cell, "%-*s", width, text.c_str());
    return cell;
}

std::string Right(const std::string& text, int width) {
    char cell[96];
    std::snprintf(cell, sizeof cell, "%*s", width, text.c_str());
    return cell;
}

json SummaryJson(const ErrorSummary& s) {
    return {{"count", s.count}, {"mean", Rounded3(s.mean)}, {"p95", Rounded3(s.p95)}, {"worst", Rounded3(s.worst)}};
}

json TimingJson(const TimingErrors& t) {
    return {{"files", t.files}, {"onset_ms", SummaryJson(t.onset)}, {"offset_ms", SummaryJson(t.offset)}, {"duration_ms", SummaryJson(t.duration)}};
}

json FieldsJson(const std::vector<FieldCount>& fields) {
    json out = json::array();
    for (const FieldCount& f : fields) out.push_back({{"field", f.field}, {"files", f.files}, {"right", f.right}});
    return out;
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) out += c == '"' ? std::string("&quot;") : c == '&' ? std::string("&amp;") : c == '<' ? std::string("&lt;") : std::string(1, c);
    return out;
}

}  // namespace

std::string Figure2(double value) { return ShortestText(std::round(value * 100.0) / 100.0 + 0.0); }

std::string MeasuresText(const Measures& m) {
    std::string text;
    if (!m.fields.empty()) {
        text += "\nfields (right of files):\n  " + Padded("all", 24) + FieldsText(m.fields) + "\n";
        for (const RequirementMeasures& r : m.requirements) {
            if (!r.fields.empty()) text += "  " + Padded(r.id, 24) + FieldsText(r.fields) + "\n";
        }
    }
    if (m.timing.files > 0) {
        text += "\ntiming (ms, reported minus labelled: mean / p95 / worst):\n  " + Padded("all", 24) + TimingText(m.timing) + "\n";
        for (const RequirementMeasures& r : m.requirements) {
            if (r.timing.files > 0) text += "  " + Padded(r.id, 24) + TimingText(r.timing) + "\n";
        }
    }
    if (!m.curves.empty()) text += "\nprobability of detection (what was sent reported; 95 % Wilson interval):\n";
    for (const DetectionCurve& c : m.curves) {
        text += "  " + c.family + (c.group.empty() ? "" : " (" + c.group + ")") + ", " + c.parameter + ":";
        for (const DetectionStep& s : c.steps) {
            text.append(" ").append(Figure2(s.value)).append(" ").append(std::to_string(s.detected.k)).append("/");
            text.append(std::to_string(s.detected.n)).append(" [").append(Figure2(s.detected.low)).append(",");
            text.append(Figure2(s.detected.high)).append("]");
        }
        text += "\n";
    }
    if (!m.falseAlarms.empty()) text += "\nfalse alarms (keys reported on files without keys):\n";
    for (const FalseAlarms& f : m.falseAlarms) {
        text += "  " + Padded(f.family, 24) + std::to_string(f.files) + " files, " + Figure2(f.seconds) + " s, " + std::to_string(f.keys) +
                " keys, " + Figure2(f.PerHour()) + " an hour\n";
    }
    if (!m.confusion.symbols.empty()) {
        text += "\nconfusion of keys (sent down, reported across):\n      ";
        for (const std::string& s : m.confusion.symbols) text += Right(s, 5);
        text += "\n";
        for (const std::string& sent : m.confusion.symbols) {
            text += "  " + Padded(sent, 4);
            for (const std::string& reported : m.confusion.symbols) {
                const auto it = m.confusion.counts.find({sent, reported});
                text += Right(it == m.confusion.counts.end() ? "." : std::to_string(it->second), 5);
            }
            text += "\n";
        }
    }
    return text;
}

std::string MeasuresProperties(const Measures& m, std::string_view requirement) {
    std::string properties;
    for (const RequirementMeasures& r : m.requirements) {
        if (r.id != requirement) continue;
        for (const FieldCount& f : r.fields) {
            properties += "        <property name=\"field " + Escaped(f.field) + "\" value=\"" + std::to_string(f.right) + "/" +
                          std::to_string(f.files) + "\"/>\n";
        }
        if (r.timing.files > 0) {
            const std::pair<const char*, const ErrorSummary*> errors[] = {
                {"onset", &r.timing.onset}, {"offset", &r.timing.offset}, {"duration", &r.timing.duration}};
            for (const auto& [name, s] : errors) {
                properties += "        <property name=\"" + std::string(name) + " error ms (mean/p95/worst)\" value=\"" + SummaryText(*s) + "\"/>\n";
            }
        }
    }
    return properties.empty() ? "" : "      <properties>\n" + properties + "      </properties>\n";
}

void AddMeasuresJson(json& report, const Measures& m) {
    report["fields"] = FieldsJson(m.fields);
    report["timing"] = TimingJson(m.timing);
    for (json& r : report["requirements"]) {
        for (const RequirementMeasures& measured : m.requirements) {
            if (r["id"] != measured.id) continue;
            r["fields"] = FieldsJson(measured.fields);
            r["timing"] = TimingJson(measured.timing);
        }
    }
    json curves = json::array();
    for (const DetectionCurve& c : m.curves) {
        json steps = json::array();
        for (const DetectionStep& s : c.steps) {
            steps.push_back({{"value", s.value}, {"files", s.detected.n}, {"detected", s.detected.k}, {"probability", Rounded3(s.detected.estimate)},
                             {"low", Rounded3(s.detected.low)}, {"high", Rounded3(s.detected.high)}});
        }
        const json band = c.bandLow ? json::array({*c.bandLow, *c.bandHigh}) : json(nullptr);
        curves.push_back({{"family", c.family}, {"label", c.label}, {"parameter", c.parameter}, {"unit", c.unit}, {"group", c.group},
                          {"band", band}, {"steps", steps}});
    }
    report["detection"] = curves;
    json alarms = json::array();
    for (const FalseAlarms& f : m.falseAlarms) {
        alarms.push_back({{"family", f.family}, {"files", f.files}, {"keys", f.keys}, {"seconds", Rounded3(f.seconds)}, {"per_hour", Rounded3(f.PerHour())}});
    }
    report["false_alarms"] = alarms;
    json matrix = json::array();
    for (const std::string& sent : m.confusion.symbols) {
        json row = json::array();
        for (const std::string& reported : m.confusion.symbols) {
            const auto it = m.confusion.counts.find({sent, reported});
            row.push_back(it == m.confusion.counts.end() ? 0 : it->second);
        }
        matrix.push_back(row);
    }
    report["confusion"] = {{"symbols", m.confusion.symbols}, {"matrix", matrix}};
}

}  // namespace Quorvex::VarnelNet::Kit
