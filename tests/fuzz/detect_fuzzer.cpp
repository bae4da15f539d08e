// What `varnel detect` reads: a WAV file (first byte 0 modulo 4), a pcap (2 modulo 4) or raw
// samples (odd; the next bytes their encoding and size, and rate); the second-to-last byte
// sizes the blocks fed. A refusal has a reason, every sample is within full scale, keys, MF
// signals, tones, Caller-ID and TTY text heard in blocks are those heard at once; a pcap's streams give
// their audio alike in any blocks, as long as their last packet's, events that end no earlier
// than they start, and text blocks in order, UTF-8 and never empty; only a Caller-ID message of
// a good check has fields. Every detector at once (Detect::Hearing, the rules across them
// applied) hears in blocks what it hears at once, and the page's detection (web/src) hears a WAV
// file as it does, or refuses the file with a reason, as it refuses a capture.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzScript.h"
#include "PageDetection.h"
#include "varnel/detect/CallerIdDecoder.h"
#include "varnel/detect/DtmfDetector.h"
#include "varnel/detect/Hearing.h"
#include "varnel/detect/PcapStreams.h"
#include "varnel/detect/PcmReader.h"
#include "varnel/detect/ToneListeners.h"
#include "varnel/detect/TtyDetector.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/script/HeardSignalLabels.h"

using namespace Quorvex::VarnelNet;

namespace {

constexpr int kRates[] = {8000, 11025, 16000, 44100, 48000};
constexpr Detect::Encoding kEncodings[] = {Detect::Encoding::Signed, Detect::Encoding::Unsigned, Detect::Encoding::Float,
                                           Detect::Encoding::MuLaw, Detect::Encoding::ALaw};
constexpr int kBits[] = {8, 16, 24, 32};

std::vector<Detect::DtmfEvent> Heard(const std::vector<double>& samples, int rate, std::size_t block) {
    std::vector<Detect::DtmfEvent> events;
    Detect::DtmfDetector detector(rate, [&events](const Detect::DtmfEvent& e) { events.push_back(e); });
    for (std::size_t at = 0; at < samples.size(); at += block) {
        detector.Feed(std::span(samples).subspan(at, std::min(block, samples.size() - at)));
    }
    detector.Finish();
    return events;
}

// The MF signals and tones, each as its kind, first and last sample and what it was taken for.
std::vector<std::array<std::uint64_t, 4>> Tones(const std::vector<double>& samples, int rate, std::size_t block) {
    std::vector<std::array<std::uint64_t, 4>> heard;
    Detect::ToneListeners listeners(
        rate, [&heard](const Detect::MfEvent& e) { heard.push_back({static_cast<std::uint64_t>(e.system), e.first, e.last, static_cast<std::uint64_t>(e.signal)}); },
        [&heard](const Detect::ToneEvent& e) {
            const std::uint64_t what = e.matchCount > 0 ? e.matches[0] : static_cast<std::uint64_t>(e.sit + 1000 * (e.modem + 1));
            heard.push_back({10 + static_cast<std::uint64_t>(e.kind), e.first, e.last, what});
        });
    for (std::size_t at = 0; at < samples.size(); at += block) {
        listeners.Feed(std::span(samples).subspan(at, std::min(block, samples.size() - at)));
    }
    listeners.Finish();
    return heard;
}

// The Caller-ID decoder's messages and alerts, written out.
std::string CallerId(const std::vector<double>& samples, int rate, std::size_t block) {
    std::string heard;
    Detect::CallerIdDecoder decoder(
        rate,
        [&heard](const Detect::HeardCallerId& m) {
            Fuzz::Require(m.first <= m.last, "a message ending before it starts");
            Fuzz::Require(m.check != Detect::CallerIdCheck::Bad || m.fields.empty(), "a message of a bad check with fields");
            heard += "M" + std::to_string(m.first) + " " + std::to_string(m.last) + std::string(m.layout) +
                     std::to_string(static_cast<int>(m.check));
            for (const CallerIdField& field : m.fields) heard += field.name + "=" + field.value + ";";
        },
        [&heard](const Detect::AlertEvent& a) { heard += "A" + std::to_string(a.first) + " " + std::to_string(a.last); });
    for (std::size_t at = 0; at < samples.size(); at += block) {
        decoder.Feed(std::span(samples).subspan(at, std::min(block, samples.size() - at)));
    }
    decoder.Finish();
    return heard;
}

// The TTY messages heard: text, coding, rate and span, one string a message.
std::vector<std::string> HeardText(const std::vector<double>& samples, int rate, std::size_t block) {
    std::vector<std::string> messages;
    Detect::TtyDetector detector(rate, [&messages](const Detect::TtyMessage& m) {
        Fuzz::Require(m.first <= m.last && !m.text.empty() && m.characters.size() <= Detect::TtyDetector::kMostCharacters,
                      "a TTY message ending before it starts, empty or of too many characters");
        messages.push_back(std::string(m.text) + "|" + std::string(Detect::TtyCodingWord(m.coding)) + "|" + std::string(m.rate) + "|" +
                           std::to_string(m.first) + "|" + std::to_string(m.last));
    });
    for (std::size_t at = 0; at < samples.size(); at += block) {
        detector.Feed(std::span(samples).subspan(at, std::min(block, samples.size() - at)));
    }
    detector.Finish();
    return messages;
}

// What every detector at once heard, its labels and levels, as the page gets it.
std::string HeardJson(const std::vector<double>& samples, int rate, std::size_t block) {
    Detect::Hearing hearing(rate);
    for (std::size_t at = 0; at < samples.size(); at += block) {
        hearing.Feed(std::span(samples).subspan(at, std::min(block, samples.size() - at)));
    }
    hearing.Finish();
    return Web::EventsJson(Script::HeardEvents(hearing.Heard()));
}

// What the page's detection heard in the file, or "" when it refuses it with a reason.
std::string PageEvents(std::span<const std::uint8_t> file) {
    try {
        return Web::DetectForPage(file).events;
    } catch (const Detect::ReadError& e) {
        Fuzz::Require(*e.what() != '\0', "the page refused a file without its reason");
    }
    return {};
}

std::vector<double> Audio(const Detect::RtpStream& stream, std::size_t block) {
    Detect::StreamAudio audio(stream);
    std::vector<double> samples(block);
    std::size_t total = 0;
    while (const std::size_t n = audio.Read(std::span(samples).subspan(total, block))) samples.resize((total += n) + block);
    samples.resize(total);
    return samples;
}

// Streams spanning more than this are not rendered: their samples would take the fuzzer's time.
constexpr std::uint64_t kLongestRendered = 10 * Detect::kStreamRate;

int Capture(std::istringstream& in, std::span<const std::uint8_t> file, std::size_t block) {
    std::vector<Detect::RtpStream> streams;
    try {
        streams = Detect::ReadPcapStreams(in);
    } catch (const Detect::ReadError& e) {
        Fuzz::Require(*e.what() != '\0', "a capture refused without its reason");
    }
    bool allShort = true;
    for (const Detect::RtpStream& stream : streams) {
        for (const Detect::TelephoneEvent& event : stream.events) Fuzz::Require(event.first <= event.end, "an event ending before it starts");
        for (std::size_t i = 0; i < stream.texts.size(); ++i) {
            const std::string& text = stream.texts[i].text;
            Fuzz::Require(!text.empty() && Utf16ToUtf8(Utf8ToUtf16(text)) == text, "a text block empty or not UTF-8");
            Fuzz::Require(i == 0 || stream.texts[i - 1].first <= stream.texts[i].first, "text blocks out of order");
        }
        std::uint64_t end = 0;
        for (const Detect::RtpStream::Chunk& chunk : stream.chunks) end = std::max(end, chunk.first + chunk.length);
        allShort = allShort && end <= kLongestRendered;
        if (end > kLongestRendered) continue;
        const std::vector<double> whole = Audio(stream, end + 1);
        Fuzz::Require(whole.size() == end && Audio(stream, block) == whole, "a stream's audio another in blocks, or not its packets' length");
    }
    if (allShort && !streams.empty()) {
        Fuzz::Require(PageEvents(file) == Web::EventsJson(Script::CaptureEvents(streams)), "the page heard a capture otherwise");
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const bool raw = data[0] % 2 == 1;
    const std::size_t block = 1 + data[size - 2];
    std::istringstream in(std::string(reinterpret_cast<const char*>(data) + (raw ? 3 : 1), size - (raw ? 3 : 1)));
    const std::span<const std::uint8_t> file(data + 1, size - 1);
    if (data[0] % 4 == 2) return Capture(in, file, block);
    std::vector<double> samples;
    int rate = 0;
    try {
        Detect::PcmFormat format;
        format.encoding = kEncodings[data[1] % 5];
        format.bits = kBits[data[1] / 5 % 4];
        format.rate = kRates[data[2] % 5];
        Detect::PcmReader reader = raw ? Detect::PcmReader::Raw(in, format) : Detect::PcmReader::Wav(in);
        rate = reader.Format().rate;
        double chunk[97];
        while (const std::size_t n = reader.Read(chunk)) samples.insert(samples.end(), chunk, chunk + n);
    } catch (const Detect::ReadError& e) {
        Fuzz::Require(*e.what() != '\0', "a file refused without its reason");
        return 0;
    }
    for (const double sample : samples) Fuzz::Require(sample >= -1.0 && sample <= 1.0, "a sample beyond full scale");
    if (rate < Detect::DtmfDetector::kLowestRate || rate > Detect::DtmfDetector::kHighestRate) return 0;
    const std::vector<Detect::DtmfEvent> whole = Heard(samples, rate, samples.size() + 1);
    const std::vector<Detect::DtmfEvent> split = Heard(samples, rate, block);
    Fuzz::Require(whole.size() == split.size(), "split input heard another number of keys");
    for (std::size_t i = 0; i < whole.size() && i < split.size(); ++i) {
        Fuzz::Require(whole[i].key == split[i].key && whole[i].first == split[i].first && whole[i].last == split[i].last &&
                          whole[i].first <= whole[i].last,
                      "split input heard another key, or one ending before it starts");
    }
    const auto tones = Tones(samples, rate, samples.size() + 1);
    Fuzz::Require(tones == Tones(samples, rate, block), "split input heard other MF signals or tones");
    for (const auto& tone : tones) Fuzz::Require(tone[1] <= tone[2], "an MF signal or tone ending before it starts");
    Fuzz::Require(CallerId(samples, rate, samples.size() + 1) == CallerId(samples, rate, block), "split input heard other Caller-ID");
    Fuzz::Require(HeardText(samples, rate, samples.size() + 1) == HeardText(samples, rate, block), "split input heard other TTY text");
    const std::string heard = HeardJson(samples, rate, samples.size() + 1);
    Fuzz::Require(heard == HeardJson(samples, rate, block), "split input heard other events from every detector at once");
    if (!raw && !Detect::MayBePcap(data[1])) Fuzz::Require(PageEvents(file) == heard, "the page heard a WAV file otherwise");
    return 0;
}
