#include "varnel/script/PcmPuller.h"

#include <algorithm>
#include <cstring>

#include "varnel/signal/OutputStage.h"

namespace Quorvex::VarnelNet::Script {

namespace {

// More than a pull renderer leaves unfilled at the end of a block.
constexpr std::size_t kSpareBytes = 8192;

}  // namespace

PcmPuller::PcmPuller(Pull pull, SampleFormat pcm, std::size_t blockSamples)
    : m_pull(std::move(pull)),
      m_pcm(pcm),
      m_bytesPerSample(static_cast<std::size_t>(BytesPerSample(pcm))),
      m_buffer(2 * blockSamples * m_bytesPerSample + kSpareBytes) {}

void PcmPuller::Take(double* out, std::size_t n) {
    const std::size_t wanted = n * m_bytesPerSample;
    if (m_end - m_begin < wanted && !m_ended) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
        while (m_end - m_begin < wanted) {
            const std::size_t got = m_pull(std::span(m_buffer).subspan(m_end));
            if (got == 0) {
                m_ended = true;
                break;
            }
            m_end += got;
        }
    }
    const std::size_t have = std::min(wanted, m_end - m_begin) / m_bytesPerSample;
    LoadPcmSamples(m_pcm, m_buffer.data() + m_begin, out, have);
    std::fill(out + have, out + n, 0.0);
    m_begin += have * m_bytesPerSample;
}

}  // namespace Quorvex::VarnelNet::Script
