// varnel's DTMF detector against spandsp's receiver (dtmf_rx) on the same 60 s of 8000 Hz 16-bit
// audio: keys of 50 ms with pauses of 50 ms, a second of silence after every 16 of them, and a
// line's noise under it all. The two run in alternating rounds (--benchmark_repetitions
// repeats the round; the table gives each one's median) in blocks of 160 samples, as a
// receiver of 20 ms frames takes them; the table's ratio is varnel's rate over spandsp's.

#include <benchmark/benchmark.h>

#include <spandsp.h>

#include <algorithm>
#include <cmath>
#include <span>
#include <cstdint>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "varnel/detect/DtmfDetector.h"
#include "varnel/signal/DtmfKeypad.h"
#include "varnel/signal/LineImpairments.h"

using namespace Quorvex::VarnelNet;

namespace {

constexpr int kRate = 8000;
constexpr int kBlock = 160;
constexpr int kRounds = 5;

std::vector<std::int16_t> Audio() {
    std::vector<double> signal;
    const double amplitude = 0.2;  // about -14 dBm0 a tone
    while (signal.size() < 60u * kRate) {
        for (const char key : DtmfKeypad::kKeys) {
            const std::size_t p = DtmfKeypad::kKeys.find(key);
            const double row = DtmfKeypad::kRowHz[p / 4];
            const double column = DtmfKeypad::kColumnHz[p % 4];
            for (int n = 0; n < kRate / 20; ++n) {
                const double t = static_cast<double>(n) / kRate;
                signal.push_back(amplitude * (std::sin(2 * M_PI * row * t) + std::sin(2 * M_PI * column * t)));
            }
            signal.insert(signal.end(), kRate / 20, 0.0);
        }
        signal.insert(signal.end(), kRate, 0.0);
    }
    signal.resize(60u * kRate);
    LineSpec line;
    line.noiseRms = 0.001;
    line.seed = 1;
    Line(line, kRate).Apply(signal.data(), signal.size());
    std::vector<std::int16_t> samples;
    for (const double x : signal) samples.push_back(NearestPcm16(x));
    return samples;
}

const std::vector<std::int16_t>& Samples() {
    static const std::vector<std::int16_t> samples = Audio();
    return samples;
}

void Rate(benchmark::State& state) {
    state.counters[kSamplesPerSecond] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(Samples().size()), benchmark::Counter::kIsRate);
}

void BM_Varnel(benchmark::State& state) {
    const std::vector<std::int16_t>& samples = Samples();
    std::size_t keys = 0;
    for (auto _ : state) {
        Detect::DtmfDetector detector(kRate, [&keys](const Detect::DtmfEvent&) { ++keys; });
        for (std::size_t at = 0; at < samples.size(); at += kBlock) {
            detector.Feed(std::span<const std::int16_t>(samples.data() + at, std::min<std::size_t>(kBlock, samples.size() - at)));
        }
        detector.Finish();
    }
    benchmark::DoNotOptimize(keys);
    Rate(state);
}

void BM_Spandsp(benchmark::State& state) {
    const std::vector<std::int16_t>& samples = Samples();
    std::size_t keys = 0;
    for (auto _ : state) {
        dtmf_rx_state_t* rx = dtmf_rx_init(nullptr, [](void* user, const char*, int n) { *static_cast<std::size_t*>(user) += static_cast<std::size_t>(n); }, &keys);
        for (std::size_t at = 0; at < samples.size(); at += kBlock) {
            dtmf_rx(rx, samples.data() + at, static_cast<int>(std::min<std::size_t>(kBlock, samples.size() - at)));
        }
        dtmf_rx_free(rx);
    }
    benchmark::DoNotOptimize(keys);
    Rate(state);
}

}  // namespace

int main(int argc, char** argv) {
    RatioReporter reporter;
    reporter.TrackReference("spandsp", kBlock);
    reporter.Track("varnel", "varnel DtmfDetector", kBlock);
    for (int round = 0; round < kRounds; ++round) {
        benchmark::RegisterBenchmark("spandsp", BM_Spandsp)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("varnel", BM_Varnel)->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
