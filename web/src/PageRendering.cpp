#include "PageRendering.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "JsonText.h"
#include "varnel/render/Job.h"
#include "varnel/render/Outputs.h"
#include "varnel/engine/Enumerations.h"
#include "varnel/script/Facts.h"
#include "varnel/script/Labels.h"
#include "varnel/script/RequestError.h"
#include "varnel/signal/G711.h"
#include "varnel/wave/WaveHeader.h"

namespace Quorvex::VarnelNet::Web {

namespace {

std::string_view EncodingWord(std::int32_t encoding) {
    switch (encoding) {
        case ENC_MuLaw: return "ulaw";
        case ENC_ALaw: return "alaw";
        default: return "pcm";
    }
}

// The data bytes as samples from -1 to 1: G.711 through its decoding table, as 16-bit PCM.
std::vector<float> Samples(const std::uint8_t* data, std::size_t bytes, std::int32_t encoding, std::int32_t bits) {
    std::vector<float> samples;
    if (encoding == ENC_PCM && bits == 16) {
        samples.resize(bytes / 2);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const auto value = static_cast<std::int16_t>(data[2 * i] | (data[2 * i + 1] << 8));
            samples[i] = static_cast<float>(value) / 32768.0f;
        }
        return samples;
    }
    samples.resize(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        switch (encoding) {
            case ENC_MuLaw: samples[i] = static_cast<float>(LinearFromMuLaw(data[i])) / 32768.0f; break;
            case ENC_ALaw: samples[i] = static_cast<float>(LinearFromALaw(data[i])) / 32768.0f; break;
            default: samples[i] = static_cast<float>(data[i] - 128) / 128.0f; break;
        }
    }
    return samples;
}

void WriteLabels(JsonText& json, const Script::Rendering& rendering) {
    json.Key("labels").BeginArray();
    for (const Script::Label& label : rendering.Labels()) {
        json.BeginObject().Key("request").Integer(static_cast<std::int64_t>(label.position));
        json.Key("kind").String(label.kind).Key("symbol").String(Script::SymbolWord(label.symbol));
        json.Key("start").Integer(static_cast<std::int64_t>(label.first)).Key("end").Integer(static_cast<std::int64_t>(label.end - 1));
        json.Key("text").String(Script::LabelText(label)).EndObject();
    }
    json.EndArray();
    json.Key("labelTrack").String(Script::AudacityLabels(rendering.Labels(), rendering.Format().nSamplesPerSec));
    json.Key("labelLines").String(Script::JsonLabels(rendering.Labels()));
}

std::string Summary(const Script::Rendering& rendering, bool withLabels) {
    const WAVEFORMATEX format = rendering.Format();
    const Script::SettingValues& start = rendering.StartSettings();
    JsonText json;
    json.BeginObject().Key("format").BeginObject();
    json.Key("rate").Integer(format.nSamplesPerSec).Key("bits").Integer(format.wBitsPerSample);
    json.Key("encoding").String(EncodingWord(start.Integer(SettingsCatalog::kEncoding)));
    json.Key("text").String(rendering.FormatText()).Key("blockAlign").Integer(format.nBlockAlign);
    json.EndObject();
    json.Key("bytes").Integer(static_cast<std::int64_t>(rendering.TotalBytes()));
    json.Key("seconds").Number(rendering.TotalSeconds());
    json.Key("sampleCount").Integer(static_cast<std::int64_t>(rendering.TotalBytes() / format.nBlockAlign));
    json.Key("requests").BeginArray();
    std::uint64_t position = 0;
    for (const Script::MeasuredRequest& measured : rendering.Measured()) {
        const Script::Entry& entry = *measured.entry;
        const std::uint64_t end = position + measured.bytes / format.nBlockAlign;
        json.BeginObject();
        json.Key("index").Integer(static_cast<std::int64_t>(entry.index));
        json.Key("line").Integer(static_cast<std::int64_t>(entry.line));
        json.Key("text").String(entry.text);
        json.Key("kind").String(Script::KindOf(entry.request).word);
        json.Key("description").String(Script::Describe(entry.request, measured.settings));
        json.Key("start").Integer(static_cast<std::int64_t>(position)).Key("end").Integer(static_cast<std::int64_t>(end));
        json.Key("warnings").BeginArray();
        for (const std::string& warning : Script::Warnings(entry, measured.settings)) json.String(warning);
        json.EndArray().EndObject();
        position = end;
    }
    json.EndArray();
    if (withLabels) WriteLabels(json, rendering);
    json.EndObject();
    return json.Text();
}

}  // namespace

Script::Requests PageRequests(std::string_view script) {
    Script::Requests requests = Script::ParseScript(script);
    for (const Script::Entry& entry : requests) {
        if (std::holds_alternative<Script::TtyFile>(entry.request)) {
            throw Script::RequestError("a page reads no files: write the text as tty:TEXT", entry.text, entry.index,
                                       entry.line);
        }
    }
    return requests;
}

void CheckPageLimit(const Script::Rendering& rendering, std::uint64_t maxBytes) {
    try {
        Render::CheckMemoryLimit(rendering, maxBytes);
    } catch (const Render::TooLarge& e) {
        char text[160];
        std::snprintf(text, sizeof text, "the rendering would take %llu bytes (%.3f s of audio), more than the limit of %llu bytes",
                      static_cast<unsigned long long>(e.Bytes()), e.Seconds(), static_cast<unsigned long long>(e.Limit()));
        throw Script::RequestError(text);
    }
}

PageRendering RenderForPage(const Script::RenderOptions& options, std::string_view script, std::uint64_t maxBytes,
                            bool forViews) {
    Render::Job job{PageRequests(script), options, std::nullopt};
    job.options.labels = forViews;
    const std::unique_ptr<Script::Rendering> rendering = Render::OpenRendering(job);
    if (const std::string refusal = Render::CheckWaveSize(*rendering); !refusal.empty()) throw Script::RequestError(refusal);
    // The file must fit the memory's sizes too (32 bits in WebAssembly).
    CheckPageLimit(*rendering, std::min<std::uint64_t>(maxBytes, SIZE_MAX / 4));
    const auto bytes = static_cast<std::size_t>(rendering->TotalBytes());
    PageRendering page;
    const WaveHeader header(rendering->Format());
    page.wave.reserve(header.Size() + bytes + 1);
    Render::MemorySink sink(page.wave);
    Render::Tally tally;
    Render::WriteWave(*rendering, sink, {}, tally);
    if (forViews) {
        const Script::SettingValues& start = rendering->StartSettings();
        page.samples = Samples(page.wave.data() + header.Size(), bytes,
                               start.Integer(SettingsCatalog::kEncoding), start.Integer(SettingsCatalog::kBitsPerSample));
    }
    page.summary = Summary(*rendering, forViews);
    return page;
}

}  // namespace Quorvex::VarnelNet::Web
