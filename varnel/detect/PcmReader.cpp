#include "varnel/detect/PcmReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "varnel/signal/G711.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

constexpr std::uint64_t kToTheEnd = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint32_t kUnknownSize = 0xFFFFFFFFu;
constexpr std::uint16_t kPcmTag = 1;
constexpr std::uint16_t kFloatTag = 3;
constexpr std::uint16_t kALawTag = 6;
constexpr std::uint16_t kMuLawTag = 7;
constexpr std::uint16_t kExtensibleTag = 0xFFFE;
constexpr std::size_t kLongestFormat = 1024;  // a fmt chunk's bytes read; the rest is skipped

std::uint32_t Little(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

bool ReadExactly(std::istream& in, unsigned char* bytes, std::size_t count) {
    in.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(count));
    return static_cast<std::size_t>(in.gcount()) == count;
}

// Skips count bytes; false when the stream ends first.
bool Skip(std::istream& in, std::uint64_t count) {
    while (count > 0) {
        const std::uint64_t step = std::min<std::uint64_t>(count, 1u << 20);
        in.ignore(static_cast<std::streamsize>(step));
        if (static_cast<std::uint64_t>(in.gcount()) != step) return false;
        count -= step;
    }
    return true;
}

PcmFormat FormatChunk(std::istream& in, std::uint32_t size) {
    if (size < 16) throw ReadError("its fmt chunk is " + std::to_string(size) + " bytes, not the 16 or more of a WAV format");
    std::array<unsigned char, kLongestFormat> bytes{};
    const std::size_t kept = std::min<std::size_t>(size, kLongestFormat);
    if (!ReadExactly(in, bytes.data(), kept) || !Skip(in, size - kept + (size & 1u))) {
        throw ReadError("it ends inside its fmt chunk");
    }
    std::uint16_t tag = static_cast<std::uint16_t>(Little(&bytes[0], 2));
    if (tag == kExtensibleTag) {
        if (size < 40) throw ReadError("its extensible fmt chunk is " + std::to_string(size) + " bytes, not 40");
        tag = static_cast<std::uint16_t>(Little(&bytes[24], 2));  // the sub-format's first two bytes
    }
    PcmFormat format;
    format.channels = static_cast<int>(Little(&bytes[2], 2));
    const std::uint32_t rate = Little(&bytes[4], 4);
    const std::uint32_t blockAlign = Little(&bytes[12], 2);
    format.bits = static_cast<int>(Little(&bytes[14], 2));
    switch (tag) {
        case kPcmTag: format.encoding = format.bits == 8 ? Encoding::Unsigned : Encoding::Signed; break;
        case kFloatTag: format.encoding = Encoding::Float; break;
        case kALawTag: format.encoding = Encoding::ALaw; break;
        case kMuLawTag: format.encoding = Encoding::MuLaw; break;
        default: throw ReadError("its samples are of WAV format " + std::to_string(tag) + ": PCM, float, mu-law and A-law are read");
    }
    if (!HasBits(format.encoding, format.bits)) throw ReadError("its samples have " + std::to_string(format.bits) + " bits, not read in its format");
    if (format.channels < 1) throw ReadError("it has no channels");
    if (rate < 1 || rate > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) throw ReadError("its sample rate is " + std::to_string(rate));
    format.rate = static_cast<int>(rate);
    if (blockAlign != static_cast<std::uint32_t>(format.channels * format.bits / 8)) {
        throw ReadError("its block alignment " + std::to_string(blockAlign) + " is not its channels times its sample bytes");
    }
    return format;
}

}  // namespace

bool HasBits(Encoding encoding, int bits) {
    switch (encoding) {
        case Encoding::Signed:
        case Encoding::Unsigned: return bits == 8 || bits == 16 || bits == 24 || bits == 32;
        case Encoding::Float: return bits == 32;
        case Encoding::MuLaw:
        case Encoding::ALaw: return bits == 8;
    }
    return false;
}

PcmReader::PcmReader(std::istream& in, const PcmFormat& format, std::uint64_t dataBytes)
    : in_(&in), format_(format), remaining_(dataBytes) {
    if (static_cast<std::size_t>(format.channels) * static_cast<std::size_t>(format.bits / 8) > buffer_.size()) {
        throw ReadError("its frames of " + std::to_string(format.channels) + " channels are too wide to read");
    }
}

PcmReader PcmReader::Wav(std::istream& in) {
    unsigned char header[12];
    if (!ReadExactly(in, header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0) {
        throw ReadError(kNotWav);
    }
    bool haveFormat = false;
    PcmFormat format;
    for (;;) {
        unsigned char chunk[8];
        if (!ReadExactly(in, chunk, sizeof chunk)) throw ReadError(haveFormat ? "it has no data chunk" : "it has no fmt chunk");
        const std::uint32_t size = Little(chunk + 4, 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            format = FormatChunk(in, size);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) throw ReadError("its data chunk comes before its fmt chunk");
            return PcmReader(in, format, size == kUnknownSize ? kToTheEnd : size);
        } else if (!Skip(in, static_cast<std::uint64_t>(size) + (size & 1u))) {
            throw ReadError(haveFormat ? "it has no data chunk" : "it has no fmt chunk");
        }
    }
}

PcmReader PcmReader::Raw(std::istream& in, const PcmFormat& format) {
    if (!HasBits(format.encoding, format.bits)) throw ReadError("raw samples of " + std::to_string(format.bits) + " bits are not read in that encoding");
    if (format.rate < 1 || format.channels < 1) throw ReadError("raw samples need a rate and a channel count");
    return PcmReader(in, format, kToTheEnd);
}

double PcmReader::Sample(const unsigned char* bytes) const {
    const int count = format_.bits / 8;
    const std::uint32_t value = Little(bytes, count);
    switch (format_.encoding) {
        case Encoding::MuLaw: return LinearFromMuLaw(bytes[0]) / 32768.0;
        case Encoding::ALaw: return LinearFromALaw(bytes[0]) / 32768.0;
        case Encoding::Float: {
            float sample = 0.0f;
            std::memcpy(&sample, &value, sizeof sample);
            // Held within full scale, as a converter clips; what is not a number is silence.
            return sample != sample ? 0.0 : std::clamp(static_cast<double>(sample), -1.0, 1.0);
        }
        case Encoding::Unsigned: return (static_cast<double>(value) - std::ldexp(1.0, format_.bits - 1)) / std::ldexp(1.0, format_.bits - 1);
        case Encoding::Signed: break;
    }
    // Sign-extended from its top bit.
    const double top = std::ldexp(1.0, format_.bits - 1);
    const double unsignedValue = static_cast<double>(value);
    return (unsignedValue >= top ? unsignedValue - 2.0 * top : unsignedValue) / top;
}

std::size_t PcmReader::Read(std::span<double> out) {
    const std::size_t sampleBytes = static_cast<std::size_t>(format_.bits / 8);
    const std::size_t frameBytes = sampleBytes * static_cast<std::size_t>(format_.channels);
    std::size_t frames = std::min(out.size(), buffer_.size() / frameBytes);
    frames = static_cast<std::size_t>(std::min<std::uint64_t>(frames, remaining_ / frameBytes));
    if (frames == 0) return 0;
    in_->read(reinterpret_cast<char*>(buffer_.data()), static_cast<std::streamsize>(frames * frameBytes));
    const std::size_t got = static_cast<std::size_t>(in_->gcount()) / frameBytes;
    if (remaining_ != kToTheEnd) remaining_ -= got * frameBytes;
    if (got < frames) remaining_ = 0;
    for (std::size_t i = 0; i < got; ++i) out[i] = Sample(&buffer_[i * frameBytes]);
    return got;
}

}  // namespace Quorvex::VarnelNet::Detect
