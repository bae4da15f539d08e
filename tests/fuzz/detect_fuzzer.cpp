// What `varnel detect` reads: a WAV file (first byte even) or raw samples (odd; the next bytes
// their encoding and size, and rate); the second-to-last byte sizes the blocks fed. A refusal
// has a reason, every sample is within full scale, keys heard in blocks are those heard at once.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzScript.h"
#include "varnel/detect/DtmfDetector.h"
#include "varnel/detect/PcmReader.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const bool raw = data[0] % 2 == 1;
    const std::size_t block = 1 + data[size - 2];
    std::istringstream in(std::string(reinterpret_cast<const char*>(data) + (raw ? 3 : 1), size - (raw ? 3 : 1)));
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
    return 0;
}
