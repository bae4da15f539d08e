#include "varnel/generators/CGenSilence.h"

#include <algorithm>
#include <cstring>

#include "varnel/generators/ByteLength.h"

namespace Quorvex::VarnelNet {

CGenSilence::~CGenSilence() { Clear(); }

void CGenSilence::Clear() { m_remaining = 0; }

int CGenSilence::Init(std::uint8_t is16Bit, float sampleRate, float /*amplitude*/) {
    m_is16Bit = is16Bit ? 1 : 0;
    m_sampleRate = sampleRate;
    return 0;
}

int CGenSilence::SetDuration(float ms) {
    const auto bytes = DurationBytes(ms, m_sampleRate, m_is16Bit + 1);
    if (!bytes) return -1;
    m_remaining = *bytes;
    return 0;
}

int CGenSilence::Read(std::uint8_t* buffer, int byteCount) {
    if (byteCount < 1) return 0;
    const int whole = byteCount - byteCount % (m_is16Bit + 1);
    const int n = std::min(m_remaining, whole);
    std::memset(buffer, m_is16Bit ? 0 : kSilence8, static_cast<std::size_t>(n));
    m_remaining -= n;
    return n;
}

}  // namespace Quorvex::VarnelNet
