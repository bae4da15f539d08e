#pragma once

#include <time.h>

#include <cstdint>
#include <functional>

namespace Quorvex::VarnelNet::Rtp {

// The schedule of a live send on the monotonic clock: instant t (samples at the session's
// clock rate) is start + t, however long the work between waits takes, so that lateness never
// adds up (no drift).
class Pacer {
public:
    // The schedule starts now, counting sampleRate samples a second.
    explicit Pacer(std::uint32_t sampleRate);

    // Sleeps until instant `samples` (returns at once when it has passed). When a signal cuts the
    // sleep short, `interrupted` runs (it may throw to stop) and the sleep goes on.
    void WaitUntil(std::uint64_t samples, const std::function<void()>& interrupted) const;

private:
    std::uint32_t m_sampleRate;
    timespec m_start{};
};

}  // namespace Quorvex::VarnelNet::Rtp
