// What the line's noise costs per sample at 8000 to 192000 Hz, white and limited to the
// telephone band: Line::Apply on blocks of 4096 samples, reported as the CPU time per sample.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "varnel/signal/LineImpairments.h"

using namespace Quorvex::VarnelNet;

namespace {

constexpr std::size_t kBlockSamples = 4096;

void BM_LineNoise(benchmark::State& state, double sampleRate, bool telephoneBand) {
    LineSpec spec;
    spec.noiseRms = 0.01;
    spec.telephoneBand = telephoneBand;
    spec.seed = 7;
    Line line(spec, sampleRate);
    std::vector<double> samples(kBlockSamples, 0.0);
    for (auto _ : state) {
        line.Apply(samples.data(), samples.size());
        benchmark::DoNotOptimize(samples.data());
    }
    const double total = static_cast<double>(state.iterations()) * static_cast<double>(kBlockSamples);
    // The CPU time over the samples: printed as "per_sample=33.1ns".
    state.counters["per_sample"] = benchmark::Counter(total, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

int main(int argc, char** argv) {
    for (const bool band : {false, true}) {
        for (const double rate : {8000.0, 48000.0, 96000.0, 192000.0}) {
            const std::string name = std::string(band ? "telephone" : "white") + "/" + std::to_string(static_cast<int>(rate));
            benchmark::RegisterBenchmark(name.c_str(), BM_LineNoise, rate, band);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
