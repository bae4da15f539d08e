// Throughput of the pull renderer: ExecRequest at 8000 Hz for each workload, in blocks of 160
// and 4096 samples, next to a bare two-tone recurrence as the reference; DTMF and Caller-ID
// also with a symbol sink attached, beside the same workloads without one. After Google
// Benchmark's own output comes a table of every workload as a ratio to the reference.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "RatioReporter.h"
#include "Workloads.h"
#include "varnel/engine/CVarnel.h"
#include "varnel/engine/Enumerations.h"

using namespace Quorvex::VarnelNet;

namespace {

void MuLaw(CVarnel& engine) { engine.set_Encoding(ENC_MuLaw); }

void QueueDualTone(CVarnel& engine) {
    std::int32_t id = 0;
    engine.GenerateTone(3600000, 0, 350.0f, 440.0f, 0.0f, &id);
}

// Counts the symbols an engine reports: the cheapest sink, so that a workload with it shows what
// reporting costs the renderer.
struct CountingSink final : SymbolSink {
    std::int64_t symbols = 0;
    void Add(std::int32_t, const Symbol&) override { ++symbols; }
};
CountingSink g_sink;

void LabelledPcm16(CVarnel& engine) {
    engine.set_BitsPerSample(16);
    engine.SetSymbolSink(&g_sink);
}

// The workloads beyond the classic engine's operations: G.711, and the classic DTMF and
// Caller-ID workloads with a symbol sink.
std::vector<Workload> NewWorkloads() {
    std::vector<Workload> workloads = {{"dual_tone_mulaw", MuLaw, 1, QueueDualTone}};
    for (const Workload& classic : ClassicWorkloads()) {
        const std::string_view name = classic.name;
        if (name == "dtmf_16bit") workloads.push_back({"dtmf_16bit_labelled", LabelledPcm16, 2, classic.queue});
        if (name == "caller_id_mdmf_16bit") workloads.push_back({"caller_id_mdmf_16bit_labelled", LabelledPcm16, 2, classic.queue});
    }
    return workloads;
}

void RegisterAll(RatioReporter& reporter) {
    std::vector<Workload> workloads(ClassicWorkloads().begin(), ClassicWorkloads().end());
    const std::vector<Workload> added = NewWorkloads();
    workloads.insert(workloads.end(), added.begin(), added.end());
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
