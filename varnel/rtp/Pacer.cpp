#include "varnel/rtp/Pacer.h"

#include <cerrno>

namespace Quorvex::VarnelNet::Rtp {

namespace {

constexpr std::uint64_t kNanosecondsPerSecond = 1000000000;

}  // namespace

Pacer::Pacer(std::uint32_t sampleRate) : m_sampleRate(sampleRate) { ::clock_gettime(CLOCK_MONOTONIC, &m_start); }

void Pacer::WaitUntil(std::uint64_t samples, const std::function<void()>& interrupted) const {
    const std::uint64_t ns =
        static_cast<std::uint64_t>(m_start.tv_nsec) + samples % m_sampleRate * kNanosecondsPerSecond / m_sampleRate;
    timespec at{};
    at.tv_sec = m_start.tv_sec + static_cast<time_t>(samples / m_sampleRate + ns / kNanosecondsPerSecond);
    at.tv_nsec = static_cast<long>(ns % kNanosecondsPerSecond);
    while (const int error = ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr)) {
        if (error != EINTR) return;
        if (interrupted) interrupted();
    }
}

}  // namespace Quorvex::VarnelNet::Rtp
