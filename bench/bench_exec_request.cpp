// Throughput of the pull renderer: ExecRequest at 8000 Hz for each workload, in blocks of 160
// and 4096 samples, next to a bare two-tone recurrence as the reference; DTMF and Caller-ID
// also with a symbol sink attached, beside the same workload without one. After Google
// Benchmark's own output comes a table of every workload as a ratio to the reference.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "ReferenceTone.h"
#include "varnel/engine/CVarnel.h"
#include "varnel/engine/Enumerations.h"

using namespace Quorvex::VarnelNet;

namespace {

constexpr std::int32_t kSampleRate = 8000;
constexpr int kBlockSamples[] = {160, 4096};

// Every queue call holds twenty minutes of signal or more, so that refilling is rare.
constexpr std::uint32_t kToneMs = 3600000;

// Output formats: each sets the engine up to write one kind of sample.
using Format = void (*)(CVarnel&);

void Pcm16(CVarnel& engine) { engine.set_BitsPerSample(16); }
void Pcm8(CVarnel& engine) { engine.set_BitsPerSample(8); }
void MuLaw(CVarnel& engine) { engine.set_Encoding(ENC_MuLaw); }

// Signals: each queues its requests on a generating engine.
using Queue = void (*)(CVarnel&);

void QueueTone(CVarnel& engine, float f1, float f2, float f3) {
    std::int32_t id = 0;
    engine.GenerateTone(kToneMs, 0, f1, f2, f3, &id);
}

void QueueOneTone(CVarnel& engine) { QueueTone(engine, 440.0f, 0.0f, 0.0f); }
void QueueDualTone(CVarnel& engine) { QueueTone(engine, 350.0f, 440.0f, 0.0f); }
void QueueThreeTone(CVarnel& engine) { QueueTone(engine, 350.0f, 440.0f, 480.0f); }

void QueueDtmf(CVarnel& engine) {
    std::u16string keys;
    for (int i = 0; i < 1000; ++i) keys += u"0123456789*#ABCD";  // 3680 s at 80 ms on, 150 ms off
    std::int32_t id = 0;
    engine.GenerateDTMFs(keys.c_str(), &id);
}

void QueueCallerId(CVarnel& engine) {
    engine.set_CID_Format(CID_MDMF);
    std::int32_t id = 0;
    for (int i = 0; i < 2000; ++i) engine.GenerateCallerID(u"5551234", u"JOHN DOE", u"12/25 10:30", &id);
}

void QueueTty(CVarnel& engine) {
    engine.set_TTY_Mode(Baudot_Mode);
    std::u16string text;
    for (int i = 0; i < 500; ++i) text += u"THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 1234567890 ";
    std::int32_t id = 0;
    engine.GenerateTTY(text.c_str(), &id);
}

void QueueSilence(CVarnel& engine) {
    std::int32_t id = 0;
    engine.GenerateSilence(static_cast<float>(kToneMs), &id);
}

// Counts the symbols an engine reports: the cheapest sink, so that a workload with it shows
// what reporting costs the renderer, beside the same workload without one.
struct CountingSink final : SymbolSink {
    std::int64_t symbols = 0;
    void Add(std::int32_t, const Symbol&) override { ++symbols; }
};

struct Workload {
    const char* name;
    Format format;
    Queue queue;
    bool labelled = false;  // rendered with a CountingSink
};

// One line per workload: its name, an output format and a signal.
const Workload kWorkloads[] = {
    {"one_tone_16bit", Pcm16, QueueOneTone},
    {"dual_tone_16bit", Pcm16, QueueDualTone},
    {"three_tone_16bit", Pcm16, QueueThreeTone},
    {"dtmf_16bit", Pcm16, QueueDtmf},
    {"dtmf_16bit_labelled", Pcm16, QueueDtmf, true},
    {"caller_id_mdmf_16bit", Pcm16, QueueCallerId},
    {"caller_id_mdmf_16bit_labelled", Pcm16, QueueCallerId, true},
    {"tty_baudot_16bit", Pcm16, QueueTty},
    {"silence_16bit", Pcm16, QueueSilence},
    {"dual_tone_8bit", Pcm8, QueueDualTone},
    {"dtmf_8bit", Pcm8, QueueDtmf},
    {"dual_tone_mulaw", MuLaw, QueueDualTone},
};

void ReportSamples(benchmark::State& state, std::int64_t samples, std::int64_t bytes) {
    state.SetBytesProcessed(bytes);
    state.counters[kSamplesPerSecond] =
        benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

// 350 + 440 Hz, each tone at half of full scale and the two averaged, like the engine's
// default level of -6 dB.
void BM_Reference(benchmark::State& state, int blockSamples) {
    ReferenceTone tone(350.0, 440.0, kSampleRate, 32767.0 * 0.5 / 2.0);
    std::vector<std::int16_t> block(static_cast<std::size_t>(blockSamples));
    for (auto _ : state) {
        tone.Render(block.data(), blockSamples);
        benchmark::DoNotOptimize(block.data());
    }
    const std::int64_t samples = state.iterations() * blockSamples;
    ReportSamples(state, samples, samples * 2);
}

void BM_ExecRequest(benchmark::State& state, const Workload& workload, int blockSamples) {
    CVarnel engine;
    engine.set_SampleRate(kSampleRate);
    workload.format(engine);
    std::int32_t bits = 0;
    engine.get_BitsPerSample(&bits);
    std::int32_t encoding = ENC_PCM;
    engine.get_Encoding(&encoding);
    const std::int32_t bytesPerSample = encoding == ENC_PCM ? bits / 8 : 1;
    const std::int32_t blockBytes = blockSamples * bytesPerSample;
    CountingSink sink;
    if (workload.labelled) engine.SetSymbolSink(&sink);
    engine.GenerateBegin(nullptr);
    workload.queue(engine);
    std::vector<std::uint8_t> block(static_cast<std::size_t>(blockBytes));
    std::int64_t bytes = 0;
    for (auto _ : state) {
        std::int32_t n = engine.ExecRequest(block.data(), blockBytes);
        if (n <= 0) {
            state.PauseTiming();
            workload.queue(engine);
            state.ResumeTiming();
            n = engine.ExecRequest(block.data(), blockBytes);
            if (n <= 0) {
                state.SkipWithError("the queued workload rendered nothing");
                break;
            }
        }
        bytes += n;
        benchmark::DoNotOptimize(block.data());
    }
    ReportSamples(state, bytes / bytesPerSample, bytes);
    benchmark::DoNotOptimize(sink.symbols);
}

void RegisterAll(RatioReporter& reporter) {
    for (const int blockSamples : kBlockSamples) {
        const std::string name = "reference_two_tone/" + std::to_string(blockSamples);
        benchmark::RegisterBenchmark(name.c_str(), BM_Reference, blockSamples);
        reporter.TrackReference(name, blockSamples);
        for (const Workload& workload : kWorkloads) {
            const std::string engineName =
                std::string("ExecRequest/") + workload.name + "/" + std::to_string(blockSamples);
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
