// Throughput of the pull renderer: ExecRequest at 8000 Hz for each workload, in blocks of 160
// and 4096 samples, next to a bare two-tone recurrence as the reference; DTMF and Caller-ID also
// with a symbol sink, to show what reporting labels costs. After Google Benchmark's own output
// comes a table of every workload as a ratio to the reference.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "Workloads.h"
#include "varnel/engine/CVarnel.h"
#include "varnel/engine/Enumerations.h"
#include "varnel/generators/Symbols.h"

using namespace Quorvex::VarnelNet;

namespace {

void MuLaw(CVarnel& engine) { engine.set_Encoding(ENC_MuLaw); }

void QueueDualTone(CVarnel& engine) {
    std::int32_t id = 0;
    engine.GenerateTone(3600000, 0, 350.0f, 440.0f, 0.0f, &id);
}

// Counts the symbols an engine reports: the cheapest sink, so that a workload with it shows
// what reporting costs the renderer, beside the same workload without one.
struct CountingSink final : SymbolSink {
    std::int64_t symbols = 0;
    void Add(std::int32_t, const Symbol&) override { ++symbols; }
};

void Pcm16Labelled(CVarnel& engine) {
    static CountingSink sink;
    engine.set_BitsPerSample(16);
    engine.SetSymbolSink(&sink);
}

// The workloads beyond the classic engine's operations: G.711, and the classic DTMF and
// Caller-ID rendered with a symbol sink.
std::vector<Workload> NewWorkloads() {
    std::vector<Workload> workloads = {{"dual_tone_mulaw", MuLaw, 1, QueueDualTone}};
    const std::pair<const char*, const char*> labelled[] = {{"dtmf_16bit", "dtmf_16bit_labelled"},
                                                            {"caller_id_mdmf_16bit", "caller_id_mdmf_16bit_labelled"}};
    for (const auto& [name, labelledName] : labelled) {
        const auto classic = std::find_if(ClassicWorkloads().begin(), ClassicWorkloads().end(),
                                          [&](const Workload& w) { return std::strcmp(w.name, name) == 0; });
        workloads.push_back({labelledName, Pcm16Labelled, 2, classic->queue});
    }
    return workloads;
}

void RegisterAll(RatioReporter& reporter) {
    std::vector<Workload> workloads(ClassicWorkloads().begin(), ClassicWorkloads().end());
    const std::vector<Workload> more = NewWorkloads();
    workloads.insert(workloads.end(), more.begin(), more.end());
    for (const int blockSamples : kBlockSamples) {
        const std::string name = ReferenceName(blockSamples);
        benchmark::RegisterBenchmark(name.c_str(), BM_Reference, blockSamples);
        reporter.TrackReference(name, blockSamples);
        for (const Workload& workload : workloads) {
            const std::string engineName = WorkloadName(workload, blockSamples);
            benchmark::RegisterBenchmark(engineName.c_str(), BM_ExecRequest, workload, blockSamples);
            reporter.Track(engineName, workload.name, blockSamples);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    RegisterAll(reporter);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
