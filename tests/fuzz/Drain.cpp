#include "Drain.h"

#include <array>
#include <span>

namespace Quorvex::VarnelNet::Fuzz {

namespace {

constexpr std::int32_t kBlock = 8192;
// A pull of this many bytes or fewer renders nothing, whatever is queued.
constexpr std::int32_t kMinimumRoom = 100;
constexpr double kMostLabelledSeconds = 600.0;

template <class Pull>
void DrainWith(std::int64_t queued, PullBudget& budget, bool checkLength, Pull pull) {
    std::array<std::uint8_t, kBlock> block{};
    std::int64_t rendered = 0;
    for (std::int32_t size = kBlock; budget.Take(&size);) {
        const std::int32_t n = pull(std::span<std::uint8_t>(block.data(), static_cast<std::size_t>(size)));
        Require(n >= -1 && n <= size, "a pull reported more bytes than it was offered");
        if (n > 0) {
            rendered += n;
            continue;
        }
        if (n == 0 && checkLength && size > kMinimumRoom) {
            Require(rendered == queued, "QueuedBytes differs from the bytes rendered");
        }
        return;
    }
}

}  // namespace

void Drain(CVarnel& engine, PullBudget& budget, bool checkLength) {
    DrainWith(engine.QueuedBytes(), budget, checkLength, [&](std::span<std::uint8_t> block) {
        return engine.ExecRequest(block.data(), static_cast<std::int32_t>(block.size()));
    });
}

void Drain(Varnel& varnel, PullBudget& budget, bool checkLength) {
    DrainWith(varnel.QueuedBytes(), budget, checkLength,
              [&](std::span<std::uint8_t> block) { return varnel.FetchWaveStream(block); });
}

void Drain(const Script::RenderOptions& options, const Script::Requests& requests, PullBudget& budget) {
    // A request's labels all arrive at its first sample, in proportion to its symbols: a pattern
    // of days holds millions. They are asked for only where the audio is short enough.
    Script::RenderOptions asked = options;
    if (asked.labels) {
        Script::RenderOptions plain = options;
        plain.labels = false;
        asked.labels = Script::Rendering(plain, requests).TotalSeconds() <= kMostLabelledSeconds;
    }
    Script::Rendering rendering(asked, requests);
    DrainWith(static_cast<std::int64_t>(rendering.TotalBytes()), budget, true, [&](std::span<std::uint8_t> block) {
        return static_cast<std::int32_t>(rendering.Pull(block));
    });
    const std::uint64_t samples = rendering.TotalBytes() / rendering.Format().nBlockAlign;
    for (const Script::Label& label : rendering.Labels()) {
        Require(label.first < label.end && label.end <= samples, "a label outside the samples rendered");
    }
}

}  // namespace Quorvex::VarnelNet::Fuzz
