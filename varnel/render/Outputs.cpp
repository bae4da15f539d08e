#include "varnel/render/Outputs.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "varnel/engine/SettingsCatalog.h"
#include "varnel/script/RequestError.h"
#include "varnel/wave/WaveHeader.h"

namespace Quorvex::VarnelNet::Render {

namespace {

constexpr std::size_t kBlockBytes = 8192;
constexpr std::size_t kPcapBlockBytes = 65536;
constexpr std::uint64_t kPacketsPerProgress = 256;

std::string TooLargeText(std::uint64_t bytes, double seconds, std::uint64_t limit) {
    char text[160];
    std::snprintf(text, sizeof text, "the rendering would take %llu bytes (%.3f s of audio), more than %llu",
                  static_cast<unsigned long long>(bytes), seconds, static_cast<unsigned long long>(limit));
    return text;
}

// Pulls the rendering block by block into write, checking and reporting between blocks.
template <class Write>
void PullBlocks(Script::Rendering& rendering, const Control& control, Tally& tally, Write&& write) {
    std::array<std::uint8_t, kBlockBytes> block{};
    for (;;) {
        if (control.stop) control.stop();
        if (control.progress) control.progress(tally.audioBytes);
        const std::size_t n = rendering.Pull(block);
        if (n == 0) return;
        write(block.data(), n);
        tally.audioBytes += n;
    }
}

}  // namespace

TooLarge::TooLarge(std::uint64_t bytes, double seconds, std::uint64_t limit)
    : std::runtime_error(TooLargeText(bytes, seconds, limit)), m_bytes(bytes), m_seconds(seconds), m_limit(limit) {}

void CheckMemoryLimit(const Script::Rendering& rendering, std::uint64_t maxBytes) {
    if (rendering.TotalBytes() > maxBytes) throw TooLarge(rendering.TotalBytes(), rendering.TotalSeconds(), maxBytes);
}

std::string CheckWaveSize(const Script::Rendering& rendering) {
    const WaveHeader header(rendering.Format());
    if (rendering.TotalBytes() <= header.MaxDataBytes()) return "";
    return "the audio takes " + std::to_string(rendering.TotalBytes()) + " bytes, more than the " +
           std::to_string(header.MaxDataBytes()) + " that the size fields of a WAV file can describe";
}

void WriteWave(Script::Rendering& rendering, ByteSink& sink, const Control& control, Tally& tally) {
    if (const std::string refusal = CheckWaveSize(rendering); !refusal.empty()) throw Script::RequestError(refusal);
    const std::vector<std::uint8_t> head = WaveHeader(rendering.Format()).Settled(rendering.TotalBytes());
    sink.Write(head.data(), head.size());
    PullBlocks(rendering, control, tally, [&](const std::uint8_t* data, std::size_t n) { sink.Write(data, n); });
    if (tally.audioBytes != rendering.TotalBytes()) {
        throw std::logic_error("rendered " + std::to_string(tally.audioBytes) + " bytes where " +
                               std::to_string(rendering.TotalBytes()) + " were measured");
    }
    if (WaveHeader::PadBytes(rendering.TotalBytes()) != 0) {
        const std::uint8_t pad = 0;
        sink.Write(&pad, 1);
    }
}

void WriteRaw(Script::Rendering& rendering, ByteSink& sink, const Control& control, Tally& tally) {
    PullBlocks(rendering, control, tally, [&](const std::uint8_t* data, std::size_t n) { sink.Write(data, n); });
}

void PullAll(Script::Rendering& rendering, std::vector<std::uint8_t>& bytes, const Control& control) {
    // Room for all of it where the memory's sizes can hold it (front ends refuse larger ones).
    bytes.reserve(bytes.size() + static_cast<std::size_t>(std::min<std::uint64_t>(rendering.TotalBytes(), SIZE_MAX - bytes.size())));
    Tally tally;
    PullBlocks(rendering, control, tally, [&](const std::uint8_t* data, std::size_t n) { bytes.insert(bytes.end(), data, data + n); });
}

std::string LabelFile(const Script::Rendering& rendering, Script::LabelFormat format) {
    if (format == Script::LabelFormat::JsonLines) return Script::JsonLabels(rendering.Labels());
    const auto rate = static_cast<double>(rendering.StartSettings().Integer(SettingsCatalog::kSampleRate));
    return Script::AudacityLabels(rendering.Labels(), rate);
}

void WritePcap(Rtp::Session& session, ByteSink& sink, std::uint64_t startMicroseconds, bool inBlocks, const Control& control,
               Tally& tally) {
    std::vector<std::uint8_t> block;
    if (inBlocks) block.reserve(kPcapBlockBytes);
    const auto flush = [&] {
        sink.Write(block.data(), block.size());
        block.clear();
        tally.packetsWritten = tally.packets;
    };
    Rtp::WritePcap(
        session, startMicroseconds,
        [&](const std::uint8_t* data, std::size_t length) {
            if (!inBlocks) return sink.Write(data, length);
            if (block.size() + length > kPcapBlockBytes) flush();
            block.insert(block.end(), data, data + length);
        },
        [&] {
            if (control.stop) control.stop();
            if (++tally.packets % kPacketsPerProgress == 0) {
                tally.audioBytes = session.Plan().audioFormat.BytesOf(session.Counts().audio * session.Plan().slotSamples);
                if (control.progress) control.progress(tally.audioBytes);
            }
        });
    if (inBlocks) flush();
}

std::uint64_t PcapStart(const Rtp::SessionOptions& options) {
    if (options.pcapStartMicroseconds) return *options.pcapStartMicroseconds;
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count());
}

}  // namespace Quorvex::VarnelNet::Render
