#include "cli/Progress.h"

#include <chrono>
#include <cmath>
#include <utility>

namespace Quorvex::VarnelNet::Cli {

namespace {

constexpr double kLongRender = 10.0;    // s of work that make a render long
constexpr double kFirstEstimate = 1.0;  // s of work before the rate is trusted
constexpr double kRedraw = 0.25;        // s between two drawings

}  // namespace

Progress::Progress(std::FILE* err, bool terminal, std::uint64_t totalBytes, double bytesPerSecond, Clock clock)
    : m_err(err),
      m_terminal(terminal),
      m_total(totalBytes),
      m_bytesPerSecond(bytesPerSecond),
      m_clock(std::move(clock)),
      m_start(m_terminal ? m_clock() : 0.0) {}

Progress::~Progress() {
    if (m_shown) std::fputc('\n', m_err);
}

double Progress::SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string Progress::AudioTime(double seconds) {
    const auto whole = static_cast<std::uint64_t>(seconds > 0.0 ? seconds : 0.0);
    char text[40];
    std::snprintf(text, sizeof text, "%llu:%02u:%02u", static_cast<unsigned long long>(whole / 3600),
                  static_cast<unsigned>(whole / 60 % 60), static_cast<unsigned>(whole % 60));
    return text;
}

void Progress::Update(std::uint64_t doneBytes) {
    if (!m_terminal || m_total == 0) return;
    const double now = m_clock();
    const double elapsed = now - m_start;
    if (!m_shown) {
        if (elapsed < kFirstEstimate || doneBytes == 0) return;
        const double expected = elapsed * static_cast<double>(m_total) / static_cast<double>(doneBytes);
        if (expected <= kLongRender) return;
        m_shown = true;
    } else if (now - m_lastDraw < kRedraw && doneBytes < m_total) {
        return;
    }
    m_lastDraw = now;
    Draw(doneBytes);
}

void Progress::Draw(std::uint64_t doneBytes) {
    const double fraction = static_cast<double>(doneBytes) / static_cast<double>(m_total);
    const int percent = static_cast<int>(std::floor(fraction * 100.0));
    const double seconds = m_bytesPerSecond > 0.0 ? static_cast<double>(doneBytes) / m_bytesPerSecond : 0.0;
    const double total = m_bytesPerSecond > 0.0 ? static_cast<double>(m_total) / m_bytesPerSecond : 0.0;
    std::fprintf(m_err, "\rvarnel: rendering %3d%% (%s of %s of audio)", percent, AudioTime(seconds).c_str(),
                 AudioTime(total).c_str());
    std::fflush(m_err);
}

}  // namespace Quorvex::VarnelNet::Cli
