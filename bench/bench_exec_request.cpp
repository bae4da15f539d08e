// Throughput of the pull renderer: ExecRequest at 8000 Hz for each workload, in blocks of 160
// and 4096 samples, next to a bare two-tone recurrence as the reference. After Google
// Benchmark's own output comes a table of every workload as a ratio to the reference.

#include <benchmark/benchmark.h>

#include <string>
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

// The workloads beyond the classic engine's operations.
const Workload kEncodings[] = {
    {"dual_tone_mulaw", MuLaw, 1, QueueDualTone},
};

void RegisterAll(RatioReporter& reporter) {
    std::vector<Workload> workloads(ClassicWorkloads().begin(), ClassicWorkloads().end());
    workloads.insert(workloads.end(), std::begin(kEncodings), std::end(kEncodings));
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
