#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

// The counter every benchmark reports its throughput in.
inline constexpr const char* kSamplesPerSecond = "samples/s";

// Google Benchmark's console output, followed by a table of each tracked benchmark's
// throughput as a ratio to the reference of the same block size. Several repetitions of a
// benchmark give their median.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Rows appear in the order they are tracked; name is the registered benchmark name.
    void TrackReference(const std::string& name, int blockSamples);
    void Track(const std::string& name, const std::string& workload, int blockSamples);

    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    struct Row {
        std::string name;
        std::string workload;
        int blockSamples;
        bool reference;
        std::vector<double> rates;
    };

    void PrintTable(std::ostream& out) const;
    // The median samples/s of the row's runs, or 0 when it has none.
    static double Rate(const Row& row);
    double ReferenceRate(int blockSamples) const;

    std::vector<Row> m_rows;
};
