#include "PageDetection.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstddef>
#include <sstream>

#include "varnel/detect/Hearing.h"
#include "varnel/detect/PcapStreams.h"
#include "varnel/detect/PcmReader.h"
#include "varnel/script/HeardSignalLabels.h"

namespace Quorvex::VarnelNet::Web {

namespace {

// Every sample of a reader, as numbers and as the waveform's floats.
template <typename Reader>
std::vector<double> AllSamples(Reader& reader) {
    std::vector<double> samples;
    std::array<double, 4096> block{};
    while (const std::size_t count = reader.Read(block)) samples.insert(samples.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(count));
    return samples;
}

std::vector<float> Floats(const std::vector<double>& samples) { return {samples.begin(), samples.end()}; }

PageDetection DetectCapture(std::istream& in) {
    std::vector<Detect::RtpStream> streams;
    try {
        streams = Detect::ReadPcapStreams(in);
    } catch (const Detect::NotCapture&) {
        throw Detect::ReadError(Detect::kNotWav);
    }
    PageDetection detection;
    detection.rate = Detect::kStreamRate;
    detection.events = EventsJson(Script::CaptureEvents(streams));
    if (!streams.empty()) {
        Detect::StreamAudio audio(streams.front());
        detection.samples = Floats(AllSamples(audio));
    }
    return detection;
}

PageDetection DetectWave(std::istream& in) {
    Detect::PcmReader reader = Detect::PcmReader::Wav(in);
    PageDetection detection;
    detection.rate = reader.Format().rate;
    Detect::CheckHearingRate(detection.rate);
    const std::vector<double> samples = AllSamples(reader);
    Detect::Hearing hearing(detection.rate);
    hearing.Feed(samples);
    hearing.Finish();
    detection.events = EventsJson(Script::HeardEvents(hearing.Heard()));
    detection.samples = Floats(samples);
    return detection;
}

}  // namespace

std::string EventsJson(const std::vector<Script::HeardEvent>& events) {
    std::string json = "[";
    for (const Script::HeardEvent& event : events) {
        if (json.size() > 1) json += ',';
        json += "{\"dbm0\":[";
        for (std::size_t i = 0; i < event.dbm0.size(); ++i) {
            std::array<char, 32> level{};
            std::snprintf(level.data(), level.size(), "%s%.1f", i > 0 ? "," : "", event.dbm0[i]);
            json += level.data();
        }
        json += "],\"labels\":[";
        std::string lines = Script::JsonLabels(event.labels);
        if (!lines.empty()) lines.pop_back();
        std::replace(lines.begin(), lines.end(), '\n', ',');
        json += lines + "]}";
    }
    return json + "]";
}

PageDetection DetectForPage(std::span<const std::uint8_t> file) {
    std::istringstream in(std::string(file.begin(), file.end()));
    return !file.empty() && Detect::MayBePcap(file.front()) ? DetectCapture(in) : DetectWave(in);
}

}  // namespace Quorvex::VarnelNet::Web
