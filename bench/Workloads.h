#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <string>

namespace Quorvex::VarnelNet {
class CVarnel;
}

// The signals the benchmarks pull through ExecRequest at 8000 Hz, in blocks of 160 and 4096
// samples. Every workload here uses only the engine operations the library has always had, so
// that the same program builds against an older library (bench/compare).

inline constexpr std::int32_t kSampleRate = 8000;
inline constexpr int kBlockSamples[] = {160, 4096};

// Sets the engine up to write one kind of sample, or queues a workload's requests.
using EngineStep = void (*)(Quorvex::VarnelNet::CVarnel&);

struct Workload {
    const char* name;
    EngineStep format;
    int bytesPerSample;
    EngineStep queue;
};

// One row per workload of the classic engine: one, two and three tones, DTMF, MDMF Caller-ID,
// Baudot TTY and silence at 16 bits, dual tone and DTMF at 8 bits.
std::span<const Workload> ClassicWorkloads();

// 350 + 440 Hz by the bare recurrence (ReferenceTone), scaled like the engine's default level.
void BM_Reference(benchmark::State& state, int blockSamples);
// Pulls the workload through ExecRequest in blocks; the queue is refilled outside the timing.
void BM_ExecRequest(benchmark::State& state, const Workload& workload, int blockSamples);

// The benchmark names both programs register.
std::string ReferenceName(int blockSamples);
std::string WorkloadName(const Workload& workload, int blockSamples);
