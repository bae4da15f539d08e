#include "varnel/generators/CGenCallerID.h"

#include <algorithm>
#include <utility>

#include "varnel/signal/AsyncFramer.h"
#include "varnel/signal/CallerIdMessage.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr int kSeizureBits = 300;  // alternating, space first
constexpr int kMarkBits = 181;     // one continuous run of the mark tone before the data
constexpr AsyncFrame kCharacter{8, Parity::None, StopBits::One};

// Sample rates above this would make a bit too long to count in bytes.
constexpr float kHighestRate = 2147483648.0f;

}  // namespace

CGenCallerID::~CGenCallerID() { Clear(); }

void CGenCallerID::Clear() {
    m_message = {};
    m_modem.Load({});
}

int CGenCallerID::Init(SampleFormat format, float sampleRate, float amplitude) {
    m_format = format;
    m_sampleRate = sampleRate;
    m_amplitude = amplitude;
    m_usable = sampleRate > 0.0f && sampleRate <= kHighestRate;
    m_message = {};
    Load(0);
    return 0;
}

void CGenCallerID::SetBitTiming(BitTiming timing) {
    m_timing = timing;
    Load(0);
}

std::int32_t CGenCallerID::MinimumSamplesPerBit() const { return m_usable ? m_modem.ShortestBit() : 0; }

int CGenCallerID::FormatDateTime(const char* dateTime, std::uint8_t (&out)[8]) {
    return CallerIdMessage::FormatDateTime(dateTime, out);
}

int CGenCallerID::BuildSDMF(const char* number, const char* dateTime) {
    return Load(CallerIdMessage::BuildSDMF(number, dateTime, m_message));
}

int CGenCallerID::BuildMDMF(const char* number, const char* name, const char* dateTime) {
    return Load(CallerIdMessage::BuildMDMF(number, name, dateTime, m_message));
}

int CGenCallerID::BuildRaw(const char* data) { return Load(CallerIdMessage::BuildRaw(data, m_message)); }

int CGenCallerID::Load(int built) {
    m_modem.Start(kBell202, FskKeying::ContinuousPhase, m_timing, static_cast<double>(m_sampleRate), m_format,
                  static_cast<double>(m_amplitude));
    if (m_message.empty() || !m_usable) return built;
    FskSymbols symbols;
    symbols.reserve(kSeizureBits + kMarkBits + 10 * m_message.size());
    AppendAlternating(symbols, kSeizureBits);
    symbols.push_back(FskSymbol::kMark);
    symbols.insert(symbols.end(), kMarkBits - 1, FskSymbol::kMark | FskSymbol::kContinue);
    for (const std::uint8_t byte : m_message) kCharacter.Append(symbols, byte);
    m_modem.Load(std::move(symbols));
    return built;
}

std::int64_t CGenCallerID::Length() const {
    return (m_modem.TotalSamples() - m_modem.Position()) * BytesPerSample(m_format);
}

int CGenCallerID::Read(std::uint8_t* buffer, int byteCount) {
    if (buffer == nullptr || byteCount <= 0 || m_modem.Done()) return 0;
    const int bytesPerSample = BytesPerSample(m_format);
    const std::int64_t room = byteCount / bytesPerSample;
    return static_cast<int>(m_modem.RenderWholeSymbols(buffer, static_cast<std::size_t>(room))) * bytesPerSample;
}

}  // namespace Quorvex::VarnelNet
