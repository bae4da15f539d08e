// The Caller-ID decoder's throughput beside spandsp's (adsi_rx), on the same 8000 Hz audio: a
// Bell 202 MDMF message and an ETSI one after its dual-tone alert, 16-bit samples fed in blocks
// of 160; varnel listening for every standard (VarnelBell, VarnelEtsi) and for the one spandsp
// listens for (VarnelBellOnly, VarnelEtsiOnly). Items are samples: items_per_second is samples a second, to set beside 8000 a channel.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "varnel/detect/CallerIdDecoder.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Rendering.h"
#include "varnel/script/SettingText.h"

#if VARNEL_HAVE_SPANDSP
#include <spandsp.h>
#endif

namespace {

using namespace Quorvex::VarnelNet;

constexpr std::size_t kBlock = 160;

std::vector<std::int16_t> Render(const std::string& script) {
    Script::RenderOptions options;
    options.settings.push_back(Script::ParseNamedSetting("rate", "8000"));
    options.dbm0 = -20.0f;
    Script::Rendering rendering(options, Script::ParseScript(script));
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> block(8192);
    for (std::size_t n; (n = rendering.Pull(block)) > 0;) bytes.insert(bytes.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return samples;
}

const std::vector<std::int16_t>& Bell() {
    static const std::vector<std::int16_t> samples = Render("silence:200 \"cid:5551234|JOHN DOE|12/25 10:30\" silence:300");
    return samples;
}

const std::vector<std::int16_t>& Etsi() {
    static const std::vector<std::int16_t> samples =
        Render("silence:200 set:cid-standard=etsi set:cid-alert=dtas \"cid:01632960000|ANNA SMITH|12/25 10:30\" silence:300");
    return samples;
}

void Varnel(benchmark::State& state, const std::vector<std::int16_t>& samples, std::optional<CallerIdStandard> standard) {
    std::size_t messages = 0;
    for (auto _ : state) {
        Detect::CallerIdDecoder decoder(8000, [&messages](const Detect::HeardCallerId&) { ++messages; }, nullptr, standard);
        for (std::size_t at = 0; at < samples.size(); at += kBlock) {
            decoder.Feed(std::span(samples).subspan(at, std::min(kBlock, samples.size() - at)));
        }
        decoder.Finish();
    }
    if (messages != static_cast<std::size_t>(state.iterations())) state.SkipWithError("a message was not decoded");
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples.size()));
}

void VarnelBell(benchmark::State& state) { Varnel(state, Bell(), std::nullopt); }
void VarnelEtsi(benchmark::State& state) { Varnel(state, Etsi(), std::nullopt); }
void VarnelBellOnly(benchmark::State& state) { Varnel(state, Bell(), CallerIdStandard::Bell202); }
void VarnelEtsiOnly(benchmark::State& state) { Varnel(state, Etsi(), CallerIdStandard::Etsi); }
BENCHMARK(VarnelBell);
BENCHMARK(VarnelEtsi);
BENCHMARK(VarnelBellOnly);
BENCHMARK(VarnelEtsiOnly);

#if VARNEL_HAVE_SPANDSP
void CountMessage(void* user, const std::uint8_t*, int) { ++*static_cast<std::size_t*>(user); }

void Spandsp(benchmark::State& state, const std::vector<std::int16_t>& samples, int standard) {
    std::size_t messages = 0;
    for (auto _ : state) {
        adsi_rx_state_t* rx = adsi_rx_init(nullptr, standard, CountMessage, &messages);
        for (std::size_t at = 0; at < samples.size(); at += kBlock) {
            adsi_rx(rx, samples.data() + at, static_cast<int>(std::min(kBlock, samples.size() - at)));
        }
        adsi_rx_free(rx);
    }
    if (messages != static_cast<std::size_t>(state.iterations())) state.SkipWithError("a message was not decoded");
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples.size()));
}

void SpandspBell(benchmark::State& state) { Spandsp(state, Bell(), ADSI_STANDARD_CLASS); }
void SpandspEtsi(benchmark::State& state) { Spandsp(state, Etsi(), ADSI_STANDARD_CLIP); }
BENCHMARK(SpandspBell);
BENCHMARK(SpandspEtsi);
#endif

}  // namespace

BENCHMARK_MAIN();
