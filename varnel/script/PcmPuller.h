#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "varnel/signal/SampleFormat.h"

namespace Quorvex::VarnelNet::Script {

// Takes exact counts of samples, as numbers, from a source of PCM bytes that renders what fits
// (an engine's pull renderer: it fills a block but for its last 100 bytes, and answers 0 once
// its queue is empty). Its buffer is allocated once.
class PcmPuller {
public:
    using Pull = std::function<std::size_t(std::span<std::uint8_t>)>;

    // blockSamples: the most samples one Take asks for.
    PcmPuller(Pull pull, SampleFormat pcm, std::size_t blockSamples);
    // n samples (full scale 1.0; LoadPcmSamples), then silence once the source has ended.
    void Take(double* out, std::size_t n);

private:
    Pull m_pull;
    SampleFormat m_pcm;
    std::size_t m_bytesPerSample;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_ended = false;
};

}  // namespace Quorvex::VarnelNet::Script
