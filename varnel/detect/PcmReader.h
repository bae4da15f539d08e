#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <span>
#include <stdexcept>
#include <string>

namespace Quorvex::VarnelNet::Detect {

enum class Encoding { Signed, Unsigned, Float, MuLaw, ALaw };

// How samples are stored: little-endian, interleaved when there is more than one channel.
struct PcmFormat {
    int rate = 0;
    Encoding encoding = Encoding::Signed;
    int bits = 16;
    int channels = 1;
};

// Input that cannot be read as samples. what() says why, fit to follow the file's name.
class ReadError : public std::runtime_error {
public:
    explicit ReadError(const std::string& message) : std::runtime_error(message) {}
};

// The refusal of a file that is not a WAV file, read as one.
inline constexpr const char* kNotWav = "it is not a WAV file (no RIFF WAVE header)";

// Whether the encoding stores samples of that many bits: signed and unsigned 8, 16, 24 or 32,
// float 32, G.711 8.
bool HasBits(Encoding encoding, int bits);

// Samples read from a stream block by block, as doubles where full scale is 1.0: the first
// channel of a WAV file (PCM, float, G.711 mu-law or A-law, at any rate, any chunks before
// or after its data), or raw samples of a format given. A data chunk of unknown size (a WAV
// file written to a pipe) is read to the end of the stream, and so is a raw stream; a last
// sample cut short is dropped, float samples beyond full scale are held at it. Nothing is allocated after opening.
class PcmReader {
public:
    // Reads the WAV header up to the data. Throws ReadError for a stream that is not a WAV file,
    // is cut before its data or holds samples of a kind not read here.
    static PcmReader Wav(std::istream& in);
    // Throws ReadError for a format HasBits refuses or a rate or channel count below 1.
    static PcmReader Raw(std::istream& in, const PcmFormat& format);

    const PcmFormat& Format() const { return format_; }

    // Up to out.size() samples, 0 at the end of the data.
    std::size_t Read(std::span<double> out);

private:
    PcmReader(std::istream& in, const PcmFormat& format, std::uint64_t dataBytes);
    double Sample(const unsigned char* bytes) const;

    std::istream* in_;
    PcmFormat format_;
    std::uint64_t remaining_;  // bytes of data still to read
    std::array<unsigned char, 4096> buffer_{};
};

}  // namespace Quorvex::VarnelNet::Detect
