#include "testkit/Measures.h"

#include <algorithm>

#include "varnel/platform/DecimalText.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr std::string_view kKeypadOrder = "0123456789*#ABCD";
constexpr std::size_t kLargestAlignment = 1 << 20;

bool CarriesKeys(const ManifestRow& row) { return row.suite == "dtmf" || row.suite == "corpus"; }

std::optional<double> Number(std::string_view text) {
    double value = 0.0;
    if (ReadDecimal(text, value) != DecimalRead::Number) return std::nullopt;
    return value;
}

FieldCount& CountOf(std::vector<FieldCount>& counts, const std::string& field) {
    for (FieldCount& c : counts) {
        if (c.field == field) return c;
    }
    return counts.emplace_back(FieldCount{field, 0, 0});
}

// The fields the pattern names that a message carries, in the pattern's order.
std::vector<std::string> ScoredFields(const std::optional<FieldPattern>& pattern) {
    std::vector<std::string> fields;
    if (!pattern) return fields;
    for (const auto& [name, group] : pattern->groups) {
        if (name != "key" && name != "start" && name != "end") fields.push_back(name);
    }
    return fields;
}

std::string_view Reported(const Reading& reading, const std::string& field) {
    for (const auto& [name, value] : reading.fields) {
        if (name == field) return value;
    }
    return {};
}

// The file's timing errors (ms), when every reported key has its times and the keys are the labelled ones.
bool AddTiming(const Reading& reading, const Labelled& labelled, std::vector<double> (&errors)[3]) {
    if (reading.keys.empty() || reading.keys.size() != labelled.keys.size()) return false;
    for (std::size_t k = 0; k < reading.keys.size(); ++k) {
        const ReportedKey& r = reading.keys[k];
        if (!r.start || !r.end || r.key != labelled.keys[k].key) return false;
    }
    for (std::size_t k = 0; k < reading.keys.size(); ++k) {
        const ReportedKey& r = reading.keys[k];
        const LabelledKey& l = labelled.keys[k];
        errors[0].push_back((*r.start - l.start) * 1000.0);
        errors[1].push_back((*r.end - l.end) * 1000.0);
        errors[2].push_back(((*r.end - *r.start) - (l.end - l.start)) * 1000.0);
    }
    return true;
}

TimingErrors Timing(std::size_t files, std::vector<double> (&errors)[3]) {
    return {files, Summarise(std::move(errors[0])), Summarise(std::move(errors[1])), Summarise(std::move(errors[2]))};
}

// Sent against reported, aligned by the fewest edits (a key for another, missed, or extra); past
// kLargestAlignment cells of the table, key by key in order.
void Align(const std::string& sent, const std::string& reported, Confusion& confusion) {
    const std::size_t n = sent.size(), m = reported.size();
    const std::string none(kNone);
    if (n > 0 && m > kLargestAlignment / n) {
        for (std::size_t k = 0; k < std::max(n, m); ++k) {
            ++confusion.counts[{k < n ? std::string(1, sent[k]) : none, k < m ? std::string(1, reported[k]) : none}];
        }
        return;
    }
    std::vector<std::vector<std::size_t>> cost(n + 1, std::vector<std::size_t>(m + 1, 0));
    for (std::size_t i = 0; i <= n; ++i) cost[i][0] = i;
    for (std::size_t j = 0; j <= m; ++j) cost[0][j] = j;
    for (std::size_t i = 1; i <= n; ++i) {
        for (std::size_t j = 1; j <= m; ++j) {
            cost[i][j] = std::min({cost[i - 1][j - 1] + (sent[i - 1] == reported[j - 1] ? 0 : 1), cost[i - 1][j] + 1, cost[i][j - 1] + 1});
        }
    }
    for (std::size_t i = n, j = m; i > 0 || j > 0;) {
        if (i > 0 && j > 0 && cost[i][j] == cost[i - 1][j - 1] + (sent[i - 1] == reported[j - 1] ? 0 : 1)) {
            ++confusion.counts[{std::string(1, sent[--i]), std::string(1, reported[--j])}];
        } else if (i > 0 && cost[i][j] == cost[i - 1][j] + 1) {
            ++confusion.counts[{std::string(1, sent[--i]), none}];
        } else {
            ++confusion.counts[{none, std::string(1, reported[--j])}];
        }
    }
}

void OrderSymbols(Confusion& confusion) {
    std::vector<std::string> symbols;
    for (const auto& [pair, count] : confusion.counts) {
        for (const std::string& s : {pair.first, pair.second}) {
            if (std::find(symbols.begin(), symbols.end(), s) == symbols.end()) symbols.push_back(s);
        }
    }
    const auto rank = [](const std::string& s) {
        if (s == kNone) return kKeypadOrder.size() + 1;
        return s.size() == 1 ? std::min(kKeypadOrder.find(s[0]), kKeypadOrder.size()) : kKeypadOrder.size();
    };
    std::sort(symbols.begin(), symbols.end(), [&](const std::string& a, const std::string& b) {
        return rank(a) != rank(b) ? rank(a) < rank(b) : a < b;
    });
    confusion.symbols = std::move(symbols);
}

void AddCurves(const Report& report, Measures& measures) {
    std::map<std::pair<std::string, std::string>, std::size_t> index;  // (suite/family, group) -> curve
    std::vector<std::map<double, std::pair<std::size_t, std::size_t>>> steps;  // value -> (files, detected)
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        const ManifestRow& row = report.rows[i];
        const Suite* suite = FindSuite(row.suite);
        const Family* family = suite ? FindFamily(*suite, row.family) : nullptr;
        if (!family || !family->figure) continue;
        const Figure& figure = *family->figure;
        const std::optional<double> value = Number(row.Parameter(figure.parameter));
        if (!value) continue;
        const std::string group(row.Parameter(figure.group));
        const auto [at, added] = index.emplace(std::pair{row.suite + "/" + row.family, group}, measures.curves.size());
        if (added) {
            measures.curves.push_back({row.family, std::string(figure.label), std::string(figure.parameter), std::string(figure.unit), group, {}, {}, {}});
            steps.emplace_back();
        }
        DetectionCurve& curve = measures.curves[at->second];
        auto& step = steps[at->second][*value];
        ++step.first;
        step.second += !row.sent.empty() && report.detected[i] == row.sent ? 1 : 0;
        if (row.verdict == Verdict::Detect) {
            curve.bandLow = curve.bandLow ? std::min(*curve.bandLow, *value) : *value;
            curve.bandHigh = curve.bandHigh ? std::max(*curve.bandHigh, *value) : *value;
        }
    }
    for (std::size_t c = 0; c < measures.curves.size(); ++c) {
        for (const auto& [value, counts] : steps[c]) measures.curves[c].steps.push_back({value, WilsonInterval(counts.second, counts.first)});
    }
    // Families in the order their rows come, each family's groups in order.
    std::vector<std::string> families;
    for (const DetectionCurve& c : measures.curves) {
        if (std::find(families.begin(), families.end(), c.family) == families.end()) families.push_back(c.family);
    }
    const auto rank = [&](const DetectionCurve& c) { return std::find(families.begin(), families.end(), c.family) - families.begin(); };
    std::stable_sort(measures.curves.begin(), measures.curves.end(), [&](const DetectionCurve& a, const DetectionCurve& b) {
        return rank(a) != rank(b) ? rank(a) < rank(b) : a.group < b.group;
    });
}

void AddFalseAlarms(const Report& report, const std::vector<FileEvidence>& evidence, Measures& measures) {
    FalseAlarms all{"all", 0, 0, 0.0};
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        const ManifestRow& row = report.rows[i];
        if (!row.sent.empty() || row.verdict == Verdict::Detect || !evidence[i].length) continue;
        auto it = std::find_if(measures.falseAlarms.begin(), measures.falseAlarms.end(), [&](const FalseAlarms& f) { return f.family == row.family; });
        if (it == measures.falseAlarms.end()) it = measures.falseAlarms.insert(it, FalseAlarms{row.family, 0, 0, 0.0});
        for (FalseAlarms* f : {&*it, &all}) {
            ++f->files;
            f->keys += report.detected[i].size();
            f->seconds += evidence[i].length->seconds;
        }
    }
    if (all.files > 0) measures.falseAlarms.push_back(all);
}

}  // namespace

Measures Measure(const Report& report, const std::vector<FileEvidence>& evidence, const std::optional<FieldPattern>& pattern) {
    Measures measures;
    const std::vector<std::string> fields = ScoredFields(pattern);
    const bool timeApart = pattern && pattern->Group("time");
    std::vector<double> errors[3];
    std::map<std::string, std::vector<double>[3]> byRequirement;
    std::map<std::string, std::size_t> timedFiles;
    std::map<std::string, std::vector<FieldCount>> fieldsByRequirement;
    for (const RequirementResult& r : report.requirements) measures.requirements.push_back({r.id, {}, {}});
    std::size_t timed = 0;
    for (std::size_t i = 0; i < report.rows.size() && i < evidence.size(); ++i) {
        const ManifestRow& row = report.rows[i];
        const FileEvidence& file = evidence[i];
        if (CarriesKeys(row)) Align(row.sent, report.detected[i], measures.confusion);
        if (row.verdict != Verdict::Detect || !file.labelled) continue;
        for (const std::string& field : fields) {
            const std::optional<std::string> expected = ExpectedField(*file.labelled, field, timeApart);
            if (!expected) continue;
            const bool right = SameField(field, *expected, Reported(file.reading, field));
            for (FieldCount* c : {&CountOf(measures.fields, field), &CountOf(fieldsByRequirement[row.requirement], field)}) {
                ++c->files;
                c->right += right ? 1 : 0;
            }
        }
        std::vector<double> fileErrors[3];
        if (AddTiming(file.reading, *file.labelled, fileErrors)) {
            ++timed;
            ++timedFiles[row.requirement];
            for (int k = 0; k < 3; ++k) {
                errors[k].insert(errors[k].end(), fileErrors[k].begin(), fileErrors[k].end());
                byRequirement[row.requirement][k].insert(byRequirement[row.requirement][k].end(), fileErrors[k].begin(), fileErrors[k].end());
            }
        }
    }
    measures.fields.erase(std::remove_if(measures.fields.begin(), measures.fields.end(), [](const FieldCount& c) { return c.files == 0; }),
                          measures.fields.end());
    measures.timing = Timing(timed, errors);
    for (RequirementMeasures& r : measures.requirements) {
        r.fields = fieldsByRequirement[r.id];
        r.timing = Timing(timedFiles[r.id], byRequirement[r.id]);
    }
    OrderSymbols(measures.confusion);
    AddCurves(report, measures);
    AddFalseAlarms(report, evidence, measures);
    return measures;
}

}  // namespace Quorvex::VarnelNet::Kit
