#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

#include "varnel/render/ByteSink.h"
#include "varnel/rtp/Session.h"
#include "varnel/script/Labels.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Render {

// What a front end hands a long write: a check between blocks of work, which throws to stop
// (a signal, a pending KeyboardInterrupt), and the progress, in bytes of audio done.
struct Control {
    std::function<void()> stop;
    std::function<void(std::uint64_t doneBytes)> progress;
};

// How far a write came, also when it was stopped or failed: bytes of audio handed to the
// sink, packets made, packets handed to the sink.
struct Tally {
    std::uint64_t audioBytes = 0;
    std::uint64_t packets = 0;
    std::uint64_t packetsWritten = 0;
};

// A rendering too large for the memory a front end allows it.
class TooLarge : public std::runtime_error {
public:
    TooLarge(std::uint64_t bytes, double seconds, std::uint64_t limit);
    std::uint64_t Bytes() const { return m_bytes; }
    double Seconds() const { return m_seconds; }
    std::uint64_t Limit() const { return m_limit; }

private:
    std::uint64_t m_bytes;
    double m_seconds;
    std::uint64_t m_limit;
};

// Refuses (TooLarge) a rendering of more than maxBytes of audio, before it is rendered.
void CheckMemoryLimit(const Script::Rendering& rendering, std::uint64_t maxBytes);

// Why the rendering does not fit a WAV file (4 GiB of samples), or an empty text.
std::string CheckWaveSize(const Script::Rendering& rendering);

// The rendering as a RIFF/WAVE file: the header with its final sizes, the samples block by
// block, the pad byte. Audio longer than a WAV file can describe is refused (RequestError)
// before anything is written. The sink is not finished.
void WriteWave(Script::Rendering& rendering, ByteSink& sink, const Control& control, Tally& tally);

// The samples alone, as they are pulled.
void WriteRaw(Script::Rendering& rendering, ByteSink& sink, const Control& control, Tally& tally);

// Every byte of the rendering appended to bytes (room reserved once).
void PullAll(Script::Rendering& rendering, std::vector<std::uint8_t>& bytes, const Control& control);

// The labels of a rendering pulled to its end, in the file format asked for.
std::string LabelFile(const Script::Rendering& rendering, Script::LabelFormat format);

// The session as a libpcap file, time-stamped from startMicroseconds (since 1970). With
// inBlocks the records reach the sink in blocks of about 64 KiB (a pipe then gets a few large
// writes rather than one a packet); Tally::packetsWritten counts those that reached it.
void WritePcap(Rtp::Session& session, ByteSink& sink, std::uint64_t startMicroseconds, bool inBlocks, const Control& control,
               Tally& tally);

// When a pcap's first packet is time-stamped: the options' --pcap-start, or now.
std::uint64_t PcapStart(const Rtp::SessionOptions& options);

}  // namespace Quorvex::VarnelNet::Render
