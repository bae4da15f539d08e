#include "varnel/wave/CSoundBase.h"

namespace Quorvex::VarnelNet {

CSoundBase::CSoundBase() {
    m_format.wFormatTag = WAVE_FORMAT_PCM;
    m_format.nChannels = 1;
    m_format.nSamplesPerSec = 8000;
    m_format.wBitsPerSample = 16;
    m_format.cbSize = 0;
    UpdateDerived();
}

void CSoundBase::SetFormatTag(std::uint16_t tag) { m_format.wFormatTag = tag; }

void CSoundBase::SetBitsPerSample(std::uint16_t bits) {
    m_format.wBitsPerSample = bits;
    UpdateDerived();
}

void CSoundBase::SetSamplesPerSec(std::uint32_t rate) {
    m_format.nSamplesPerSec = rate;
    UpdateDerived();
}

void CSoundBase::SetChannels(std::uint16_t channels) {
    m_format.nChannels = channels;
    UpdateDerived();
}

void CSoundBase::UpdateDerived() {
    const std::uint32_t bytesPerSample = m_format.wBitsPerSample / 8u;
    m_format.nBlockAlign = static_cast<std::uint16_t>(bytesPerSample * m_format.nChannels);
    m_format.nAvgBytesPerSec = bytesPerSample * m_format.nSamplesPerSec * m_format.nChannels;
}

}  // namespace Quorvex::VarnelNet
