#include "varnel/generators/CGenCallerID.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "varnel/generators/CMultiTone.h"
#include "varnel/platform/LocalTime.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kMarkHz = 1200.0;
constexpr double kSpaceHz = 2200.0;
constexpr double kBitRate = 1200.0;

constexpr std::int64_t kSeizureBits = 300;   // alternating, space first
constexpr std::int64_t kMarkBits = 181;      // continuous mark before the data
constexpr std::int64_t kDataStart = kSeizureBits + kMarkBits;
constexpr std::int64_t kBitsPerByte = 10;    // start bit, 8 data bits, stop bit

// Sample rates above this would make a bit too long to count in bytes.
constexpr float kHighestRate = 2147483648.0f;

constexpr std::size_t kSdmfLongestNumber = 40;
constexpr std::size_t kLengthByteLimit = 255;

std::size_t TextLength(const char* text) { return text ? std::strlen(text) : 0; }

void AppendText(std::vector<std::uint8_t>& out, const char* text, std::size_t length) {
    out.insert(out.end(), reinterpret_cast<const std::uint8_t*>(text),
               reinterpret_cast<const std::uint8_t*>(text) + length);
}

std::uint8_t Digit(int value) { return static_cast<std::uint8_t>('0' + value); }

}  // namespace

CGenCallerID::~CGenCallerID() { Clear(); }

void CGenCallerID::Clear() {
    m_work = {};
    m_message = {};
    m_bitLength = 0;
    m_bitSent = 0;
}

int CGenCallerID::Init(std::uint8_t is16Bit, float sampleRate, float amplitude) {
    m_is16Bit = is16Bit ? 1 : 0;
    m_sampleRate = sampleRate;
    m_amplitude = amplitude;
    m_samplesPerBit = 0;
    m_longestBit = 0;
    m_work = {};
    if (sampleRate > 0.0f && sampleRate <= kHighestRate) {
        const double samplesPerBit = static_cast<double>(sampleRate) / kBitRate;
        m_samplesPerBit = static_cast<std::int32_t>(samplesPerBit + 0.5);
        // Exact timing makes bits of floor and ceiling of the rate / 1200 samples.
        m_longestBit = std::max(m_samplesPerBit, static_cast<std::int32_t>(samplesPerBit) + 1);
        // Room for two seed samples even when a bit is shorter.
        m_work.assign(static_cast<std::size_t>(std::max(m_longestBit, 2) + 2), 0.0);
    }
    m_markStep = kTwoPi * kMarkHz / static_cast<double>(sampleRate);
    m_spaceStep = kTwoPi * kSpaceHz / static_cast<double>(sampleRate);
    m_markCosine = std::cos(m_markStep);
    m_spaceCosine = std::cos(m_spaceStep);
    m_phase = std::numbers::pi;
    m_nextBit = 0;
    m_samplesDone = 0;
    m_bitLength = 0;
    m_bitSent = 0;
    m_bitStart = 0;
    m_markComputed = 0;
    return 0;
}

void CGenCallerID::SetBitTiming(CID_BIT_TIMING timing) {
    m_timing = timing == CBT_Exact ? CBT_Exact : CBT_WholeSamples;
}

std::int32_t CGenCallerID::MinimumSamplesPerBit() const {
    if (m_work.empty()) return 0;
    if (m_timing == CBT_Exact) {
        return static_cast<std::int32_t>(static_cast<double>(m_sampleRate) / kBitRate);
    }
    return m_samplesPerBit;
}

// ---- Messages ----

int CGenCallerID::FormatDateTime(const char* dateTime, std::uint8_t (&out)[8]) {
    if (dateTime == nullptr || *dateTime == '\0') {
        const LocalTime now = GetLocalTime();
        const int fields[4] = {now.month, now.day, now.hour, now.minute};
        for (int i = 0; i < 4; ++i) {
            out[2 * i] = Digit(fields[i] / 10);
            out[2 * i + 1] = Digit(fields[i] % 10);
        }
        return 0;
    }
    if (std::strlen(dateTime) != 11) return -1;
    // "MM/DD HH:MM": four pairs of characters, taken as they are, and three separators.
    const char separators[3] = {'/', ' ', ':'};
    for (int i = 0; i < 4; ++i) {
        out[2 * i] = static_cast<std::uint8_t>(dateTime[3 * i]);
        out[2 * i + 1] = static_cast<std::uint8_t>(dateTime[3 * i + 1]);
        if (i < 3 && dateTime[3 * i + 2] != separators[i]) return -2;
    }
    return 0;
}

int CGenCallerID::BuildSDMF(const char* number, const char* dateTime) {
    m_message.clear();
    const std::size_t n = TextLength(number);
    if (n == 0 || n > kSdmfLongestNumber) return -1;
    std::uint8_t stamp[8];
    if (const int result = FormatDateTime(dateTime, stamp); result != 0) return result;

    m_message.reserve(n + 12);
    m_message.push_back(0x04);
    m_message.push_back(static_cast<std::uint8_t>(8 + n));
    m_message.insert(m_message.end(), std::begin(stamp), std::end(stamp));
    AppendText(m_message, number, n);
    AddChecksum();
    return 0;
}

int CGenCallerID::BuildMDMF(const char* number, const char* name, const char* dateTime) {
    m_message.clear();
    const std::size_t n = TextLength(number);
    const std::size_t m = TextLength(name);
    if (n > kLengthByteLimit || m > kLengthByteLimit) return -1;
    const std::size_t parameters = 10 + (n ? n + 2 : 0) + (m ? m + 2 : 0);
    if (parameters > kLengthByteLimit) return -1;
    std::uint8_t stamp[8];
    if (const int result = FormatDateTime(dateTime, stamp); result != 0) return result;

    m_message.reserve(parameters + 4);
    m_message.push_back(0x80);
    m_message.push_back(static_cast<std::uint8_t>(parameters));
    m_message.push_back(0x01);
    m_message.push_back(8);
    m_message.insert(m_message.end(), std::begin(stamp), std::end(stamp));
    if (n) {
        m_message.push_back(0x02);
        m_message.push_back(static_cast<std::uint8_t>(n));
        AppendText(m_message, number, n);
    }
    if (m) {
        m_message.push_back(0x07);
        m_message.push_back(static_cast<std::uint8_t>(m));
        AppendText(m_message, name, m);
    }
    AddChecksum();
    return 0;
}

int CGenCallerID::BuildRaw(const char* data) {
    m_message.clear();
    const std::size_t d = TextLength(data);
    m_message.reserve(d + 2);
    AppendText(m_message, data, d);
    AddChecksum();
    return 0;
}

// Appends the two's-complement checksum, so that the message bytes sum to 0 modulo 256, and
// the zero byte sent after it.
void CGenCallerID::AddChecksum() {
    unsigned sum = 0;
    for (const std::uint8_t byte : m_message) sum += byte;
    m_message.push_back(static_cast<std::uint8_t>((256u - sum % 256u) % 256u));
    m_message.push_back(0x00);
}

// ---- Rendering ----

std::int64_t CGenCallerID::TotalBits() const {
    if (m_message.empty()) return 0;
    return kDataStart + kBitsPerByte * static_cast<std::int64_t>(m_message.size());
}

bool CGenCallerID::IsMarkBit(std::int64_t bit) const {
    if (bit < kSeizureBits) return bit % 2 != 0;
    if (bit < kDataStart) return true;
    const std::int64_t d = bit - kDataStart;
    // Start bit (0) in bit 0, the data bits least significant first, stop bit (1) in bit 9.
    const unsigned frame = m_message[static_cast<std::size_t>(d / kBitsPerByte)] * 2u + 0x200u;
    return ((frame >> (d % kBitsPerByte)) & 1u) != 0;
}

std::int32_t CGenCallerID::NextBitLength() const {
    std::int64_t length = m_samplesPerBit;
    if (m_timing == CBT_Exact) {
        const double end = static_cast<double>(m_nextBit + 1) * static_cast<double>(m_sampleRate) / kBitRate;
        length = std::llround(end) - m_samplesDone;
    }
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(length, 0, m_longestBit));
}

// x[i] = sin(phase + i * step) by the recursion x[i] = 2 cos(step) x[i-1] - x[i-2]. Seeded,
// x[0] and x[1] are computed from the running phase (both are written even when count < 2);
// otherwise they already hold the two samples before and the recursion starts at x[2].
void CGenCallerID::FillSine(double* samples, std::int32_t count, double cosine, double step, bool seed) const {
    if (seed) {
        samples[0] = std::sin(m_phase);
        samples[1] = std::sin(m_phase + step);
    }
    for (std::int32_t i = 2; i < count; ++i) {
        samples[i] = 2.0 * cosine * samples[i - 1] - samples[i - 2];
    }
}

// Computes the samples of the next bit into the work buffer and moves the phase past it.
void CGenCallerID::RenderNextBit() {
    const std::int64_t bit = m_nextBit;
    const std::int32_t length = NextBitLength();
    const bool mark = IsMarkBit(bit);
    const double step = mark ? m_markStep : m_spaceStep;
    const double cosine = mark ? m_markCosine : m_spaceCosine;
    double* work = m_work.data();

    if (bit < kSeizureBits || bit >= kDataStart) {
        FillSine(work, length, cosine, step, true);
        m_bitStart = 0;
    } else if (bit == kSeizureBits) {
        // The mark signal is one run of the recursion, seeded once.
        FillSine(work + 2, length, cosine, step, true);
        m_markComputed = std::max(length, 2);
        m_bitStart = 2;
    } else {
        // The two samples before this bit, and any the seed put beyond the previous bit, move
        // to the front; the recursion goes on after them.
        const std::int32_t ahead = m_markComputed - m_bitLength;
        for (std::int32_t i = 0; i < ahead + 2; ++i) work[i] = work[m_bitLength + i];
        FillSine(work + ahead, length + 2 - ahead, cosine, step, false);
        m_markComputed = std::max(length, ahead);
    }

    m_phase = m_phase + static_cast<double>(length) * step;
    m_samplesDone += length;
    m_bitLength = length;
    m_bitSent = 0;
    ++m_nextBit;
}

// Writes the next samples of the current bit as PCM; returns how many.
std::int32_t CGenCallerID::Emit(std::uint8_t* out, std::int32_t samples) {
    const double* source = m_work.data() + m_bitStart + m_bitSent;
    const auto count = static_cast<std::uint32_t>(samples);
    if (m_is16Bit) {
        PcmFromDouble16(source, out, count, static_cast<double>(m_amplitude));
    } else {
        PcmFromDouble8(source, out, count, static_cast<double>(m_amplitude));
    }
    m_bitSent += samples;
    return samples;
}

// Whole bits where they fit: first the rest of a bit the previous call could only start, then
// every bit that fits completely. Only a call that has written nothing else starts a bit it
// cannot finish, so a transmission never stalls on a small buffer.
int CGenCallerID::Read(std::uint8_t* buffer, int byteCount) {
    if (buffer == nullptr || byteCount <= 0 || m_work.empty()) return 0;
    const std::int32_t bytesPerSample = m_is16Bit + 1;
    const std::int32_t room = byteCount / bytesPerSample;
    std::int32_t written = 0;

    if (m_bitSent < m_bitLength) {
        written = Emit(buffer, std::min(room, m_bitLength - m_bitSent));
        if (m_bitSent < m_bitLength) return written * bytesPerSample;
    }
    const std::int64_t totalBits = TotalBits();
    while (m_nextBit < totalBits && NextBitLength() <= room - written) {
        RenderNextBit();
        written += Emit(buffer + written * bytesPerSample, m_bitLength);
    }
    if (written == 0 && room > 0 && m_nextBit < totalBits) {
        RenderNextBit();
        written = Emit(buffer, std::min(room, m_bitLength));
    }
    return written * bytesPerSample;
}

}  // namespace Quorvex::VarnelNet
