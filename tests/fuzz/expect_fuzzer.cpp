// What `varnel detect --expect` and `--rtp-listen` take: events to compare and datagrams of a
// live stream. The first byte counts the expected events; events are 4 bytes each (what, text,
// start and length in hundredths of a second), the heard ones after the expected ones up to the
// first byte 0xFF; the rest are datagrams, each a length byte and its bytes. A list compared
// with itself matches, a verdict always has a text; the live stream's keys and events end no
// earlier than they start, and a stream fed twice the same datagrams hears the same.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "FuzzScript.h"
#include "varnel/detect/Expectation.h"
#include "varnel/detect/LiveStream.h"

using namespace Quorvex::VarnelNet;

namespace {

constexpr std::string_view kWhats[] = {"key", "tone", "number"};

std::vector<Detect::Compared> Events(std::span<const std::uint8_t> bytes) {
    std::vector<Detect::Compared> events;
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
        const double start = bytes[at + 2] / 100.0;
        events.push_back({kWhats[bytes[at] % 3], std::string(1, static_cast<char>(bytes[at + 1])), start, start + bytes[at + 3] / 100.0});
    }
    std::stable_sort(events.begin(), events.end(), [](const Detect::Compared& a, const Detect::Compared& b) { return a.start < b.start; });
    return events;
}

// Everything a live stream tells of the datagrams: each key's and event's span and text.
std::vector<std::uint64_t> Heard(std::span<const std::uint8_t> datagrams) {
    std::vector<std::uint64_t> told;
    Detect::LiveStream stream(
        [&](const Detect::DtmfEvent& key) {
            Fuzz::Require(key.first <= key.last, "a key ending before it starts");
            told.insert(told.end(), {static_cast<std::uint64_t>(key.key), key.first, key.last});
        },
        [&](const Detect::TelephoneEvent& event) {
            Fuzz::Require(event.first <= event.end, "an event ending before it starts");
            told.insert(told.end(), {event.code, event.first, event.end, event.ended});
        });
    for (std::size_t at = 0; at < datagrams.size();) {
        const std::size_t length = std::min<std::size_t>(datagrams[at], datagrams.size() - at - 1);
        stream.Add(datagrams.subspan(at + 1, length));
        at += 1 + length;
    }
    stream.Finish();
    return told;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::span<const std::uint8_t> input(data + 1, size - 1);
    const std::size_t split = std::min<std::size_t>(data[0] * 4u, input.size());
    const auto end = std::find(input.begin() + static_cast<std::ptrdiff_t>(split), input.end(), 0xFF);
    const std::size_t heardEnd = static_cast<std::size_t>(end - input.begin());
    const std::vector<Detect::Compared> expected = Events(input.first(split));
    const std::vector<Detect::Compared> heard = Events(input.subspan(split, heardEnd - split));
    const Detect::Verdict verdict = Detect::Compare(expected, heard);
    Fuzz::Require(!verdict.text.empty() && verdict.matches == (verdict.text.rfind("matches: ", 0) == 0), "a verdict without its text");
    Fuzz::Require(Detect::Compare(expected, expected).matches && Detect::Compare(heard, heard).matches, "events differing from themselves");
    if (heardEnd < input.size()) {
        const std::span<const std::uint8_t> datagrams = input.subspan(heardEnd + 1);
        Fuzz::Require(Heard(datagrams) == Heard(datagrams), "the same datagrams heard otherwise");
    }
    return 0;
}
