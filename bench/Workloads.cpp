#include "Workloads.h"

#include <string>
#include <vector>

#include "RatioReporter.h"
#include "ReferenceTone.h"
#include "varnel/engine/CVarnel.h"
#include "varnel/engine/Enumerations.h"

using namespace Quorvex::VarnelNet;

namespace {

// Every queue call holds twenty minutes of signal or more, so that refilling is rare.
constexpr std::uint32_t kToneMs = 3600000;

void Pcm16(CVarnel& engine) { engine.set_BitsPerSample(16); }
void Pcm8(CVarnel& engine) { engine.set_BitsPerSample(8); }

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

const Workload kClassic[] = {
    {"one_tone_16bit", Pcm16, 2, QueueOneTone},
    {"dual_tone_16bit", Pcm16, 2, QueueDualTone},
    {"three_tone_16bit", Pcm16, 2, QueueThreeTone},
    {"dtmf_16bit", Pcm16, 2, QueueDtmf},
    {"caller_id_mdmf_16bit", Pcm16, 2, QueueCallerId},
    {"tty_baudot_16bit", Pcm16, 2, QueueTty},
    {"silence_16bit", Pcm16, 2, QueueSilence},
    {"dual_tone_8bit", Pcm8, 1, QueueDualTone},
    {"dtmf_8bit", Pcm8, 1, QueueDtmf},
};

void ReportSamples(benchmark::State& state, std::int64_t samples, std::int64_t bytes) {
    state.SetBytesProcessed(bytes);
    state.counters[kSamplesPerSecond] =
        benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

}  // namespace

std::span<const Workload> ClassicWorkloads() { return kClassic; }

std::string ReferenceName(int blockSamples) { return "reference_two_tone/" + std::to_string(blockSamples); }

std::string WorkloadName(const Workload& workload, int blockSamples) {
    return std::string("ExecRequest/") + workload.name + "/" + std::to_string(blockSamples);
}

// Each tone at half of full scale and the two averaged, like the engine's default of -6 dB.
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
    const std::int32_t blockBytes = blockSamples * workload.bytesPerSample;
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
    ReportSamples(state, bytes / workload.bytesPerSample, bytes);
}
