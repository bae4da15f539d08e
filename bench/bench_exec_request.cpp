// Throughput of the pull renderer: ExecRequest in 8192-byte blocks for each kind of signal, at
// 8000 Hz.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "varnel/engine/CVarnel.h"

using namespace Quorvex::VarnelNet;

namespace {

constexpr std::int32_t kBlock = 8192;

using Queue = std::function<void(CVarnel&)>;

void QueueDtmf(CVarnel& engine) {
    std::u16string keys;
    for (int i = 0; i < 200; ++i) keys += u"0123456789*#ABCD";
    std::int32_t id = 0;
    engine.GenerateDTMFs(keys.c_str(), &id);
}

void QueueDualTone(CVarnel& engine) {
    std::int32_t id = 0;
    engine.GenerateTone(600000, 0, 350.0f, 440.0f, 0.0f, &id);  // ten minutes
}

void QueueSilence(CVarnel& engine) {
    std::int32_t id = 0;
    engine.GenerateSilence(600000.0f, &id);
}

void QueueCallerId(CVarnel& engine) {
    std::int32_t id = 0;
    for (int i = 0; i < 20; ++i) engine.GenerateCallerID(u"5551234", u"JOHN DOE", u"12/25 10:30", &id);
}

void QueueTty(CVarnel& engine) {
    std::int32_t id = 0;
    engine.GenerateTTY(u"THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 1234567890", &id);
}

void BM_ExecRequest(benchmark::State& state, const Queue& queue, std::int32_t bits) {
    CVarnel engine;
    engine.set_SampleRate(8000);
    engine.set_BitsPerSample(bits);
    engine.GenerateBegin(nullptr);
    queue(engine);
    std::vector<std::uint8_t> block(kBlock);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        std::int32_t n = engine.ExecRequest(block.data(), kBlock);
        if (n <= 0) {
            state.PauseTiming();
            queue(engine);
            state.ResumeTiming();
            n = engine.ExecRequest(block.data(), kBlock);
        }
        bytes += n;
        benchmark::DoNotOptimize(block.data());
    }
    state.SetBytesProcessed(bytes);
    state.counters["samples/s"] =
        benchmark::Counter(static_cast<double>(bytes / (bits / 8)), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(BM_ExecRequest, dtmf_8bit, Queue(QueueDtmf), 8);
BENCHMARK_CAPTURE(BM_ExecRequest, dtmf_16bit, Queue(QueueDtmf), 16);
BENCHMARK_CAPTURE(BM_ExecRequest, dual_tone_8bit, Queue(QueueDualTone), 8);
BENCHMARK_CAPTURE(BM_ExecRequest, dual_tone_16bit, Queue(QueueDualTone), 16);
BENCHMARK_CAPTURE(BM_ExecRequest, silence_8bit, Queue(QueueSilence), 8);
BENCHMARK_CAPTURE(BM_ExecRequest, silence_16bit, Queue(QueueSilence), 16);
BENCHMARK_CAPTURE(BM_ExecRequest, caller_id_16bit, Queue(QueueCallerId), 16);
BENCHMARK_CAPTURE(BM_ExecRequest, tty_16bit, Queue(QueueTty), 16);

}  // namespace

BENCHMARK_MAIN();
