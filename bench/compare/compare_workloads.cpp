// The classic workloads and the reference, for scripts/compare-bench: the same source is built
// against this tree's library and against an older commit's, and the script runs the two
// programs in alternating rounds. Google Benchmark's options apply (--benchmark_out, ...).

#include <benchmark/benchmark.h>

#include <string>

#include "../Workloads.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    for (const int blockSamples : kBlockSamples) {
        benchmark::RegisterBenchmark(ReferenceName(blockSamples).c_str(), BM_Reference, blockSamples);
        for (const Workload& workload : ClassicWorkloads()) {
            benchmark::RegisterBenchmark(WorkloadName(workload, blockSamples).c_str(), BM_ExecRequest, workload,
                                         blockSamples);
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
