#include "RatioReporter.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

void RatioReporter::TrackReference(const std::string& name, int blockSamples) {
    m_rows.push_back(Row{name, "reference", blockSamples, true, {}});
}

void RatioReporter::Track(const std::string& name, const std::string& workload, int blockSamples) {
    m_rows.push_back(Row{name, workload, blockSamples, false, {}});
}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
        const auto counter = run.counters.find(kSamplesPerSecond);
        if (counter == run.counters.end()) continue;
        for (Row& row : m_rows) {
            if (row.name == run.run_name.function_name) row.rates.push_back(counter->second.value);
        }
    }
    ConsoleReporter::ReportRuns(runs);
}

void RatioReporter::Finalize() {
    ConsoleReporter::Finalize();
    PrintTable(GetOutputStream());
}

double RatioReporter::Rate(const Row& row) {
    if (row.rates.empty()) return 0.0;
    std::vector<double> sorted = row.rates;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t mid = sorted.size() / 2;
    return sorted.size() % 2 == 1 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2.0;
}

double RatioReporter::ReferenceRate(int blockSamples) const {
    for (const Row& row : m_rows) {
        if (row.reference && row.blockSamples == blockSamples) return Rate(row);
    }
    return 0.0;
}

void RatioReporter::PrintTable(std::ostream& out) const {
    char line[128];
    std::snprintf(line, sizeof line, "\n%-24s %7s %14s %8s\n", "workload", "block", "M samples/s", "ratio");
    out << line;
    for (const Row& row : m_rows) {
        const double rate = Rate(row);
        if (rate <= 0.0) continue;  // filtered out or failed
        const double reference = ReferenceRate(row.blockSamples);
        if (reference > 0.0) {
            std::snprintf(line, sizeof line, "%-24s %7d %14.1f %8.3f\n", row.workload.c_str(), row.blockSamples,
                          rate / 1e6, rate / reference);
        } else {
            std::snprintf(line, sizeof line, "%-24s %7d %14.1f %8s\n", row.workload.c_str(), row.blockSamples,
                          rate / 1e6, "-");
        }
        out << line;
    }
    out.flush();
}
