#include "varnel/detect/Expectation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

#include "varnel/platform/PrintableText.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

std::string Seconds(double seconds) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.3f s", seconds);
    return text.data();
}

std::string Milliseconds(double seconds) { return std::to_string(static_cast<long long>(std::round(seconds * 1000.0))) + " ms"; }

std::string Quoted(std::string_view text) {
    std::string quoted(1, '\'');
    quoted.append(Printable(text)).push_back('\'');
    return quoted;
}

struct Difference {
    double time = 0.0;  // in the script's time, to find the first
    std::string text;
};

// The first difference between the events of one kind, the heard ones moved by offset into the
// script's time.
std::optional<Difference> FirstDifference(std::string_view what, const std::vector<Compared>& expected, const std::vector<Compared>& heard,
                                          double offset) {
    const auto fits = [&](const Compared& e, const Compared& h) {
        return e.text == h.text && std::abs(h.start - offset - e.start) <= kStartTolerance;
    };
    const std::string name(what);
    std::size_t i = 0, j = 0;
    for (;; ++i, ++j) {
        const std::string which = name + " " + std::to_string(i + 1) + ": ";
        if (i == expected.size() && j == heard.size()) return std::nullopt;
        if (j == heard.size()) return Difference{expected[i].start, which + "expected " + Quoted(expected[i].text) + " at " + Seconds(expected[i].start) + ", missing"};
        const Compared& h = heard[j];
        const std::string extra = "extra " + name + " " + Quoted(h.text) + " at " + Seconds(h.start) +
                                  (i == 0 ? ", before " + name + " 1" : ", after " + name + " " + std::to_string(i));
        if (i == expected.size()) return Difference{h.start - offset, extra};
        const Compared& e = expected[i];
        const std::string sent = "expected " + Quoted(e.text) + " at " + Seconds(e.start);
        if (fits(e, h)) {
            const double longer = (h.end - h.start) - (e.end - e.start);
            if (std::abs(longer) <= kDurationTolerance) continue;
            return Difference{e.start, which + "expected " + Quoted(e.text) + " lasting " + Milliseconds(e.end - e.start) + ", heard it lasting " +
                                           Milliseconds(h.end - h.start) + " at " + Seconds(h.start) + " (" +
                                           Milliseconds(kDurationTolerance) + " allowed)"};
        }
        if (j + 1 < heard.size() && fits(e, heard[j + 1])) return Difference{h.start - offset, extra};
        if (i + 1 < expected.size() && fits(expected[i + 1], h)) return Difference{e.start, which + sent + ", missing"};
        if (e.text != h.text) return Difference{e.start, which + sent + ", heard " + Quoted(h.text) + " at " + Seconds(h.start)};
        const double late = h.start - offset - e.start;
        return Difference{e.start, which + sent + ", heard it at " + Seconds(h.start) + ": " + Milliseconds(std::abs(late)) +
                                       (late > 0 ? " late" : " early") + " (" + Milliseconds(kStartTolerance) + " allowed)"};
    }
}

std::vector<Compared> OfWhat(std::span<const Compared> events, std::string_view what) {
    std::vector<Compared> chosen;
    std::copy_if(events.begin(), events.end(), std::back_inserter(chosen), [&](const Compared& e) { return e.what == what; });
    return chosen;
}

}  // namespace

Verdict Compare(std::span<const Compared> expected, std::span<const Compared> heard) {
    const double offset = expected.empty() || heard.empty() ? 0.0 : heard.front().start - expected.front().start;
    std::vector<std::string_view> whats;  // in the order they first come, expected before heard
    for (const auto events : {expected, heard}) {
        for (const Compared& event : events) {
            if (std::find(whats.begin(), whats.end(), event.what) == whats.end()) whats.push_back(event.what);
        }
    }
    std::optional<Difference> first;
    std::string counts;
    for (const std::string_view what : whats) {
        const std::vector<Compared> sent = OfWhat(expected, what);
        const std::optional<Difference> difference = FirstDifference(what, sent, OfWhat(heard, what), offset);
        if (difference && (!first || difference->time < first->time)) first = difference;
        if (!sent.empty()) {
            counts += (counts.empty() ? "" : ", ") + std::to_string(sent.size()) + " " + std::string(what) + (sent.size() == 1 ? "" : "s");
        }
    }
    if (first) return {false, first->text};
    return {true, "matches: " + (counts.empty() ? std::string("nothing expected, nothing heard") : counts)};
}

}  // namespace Quorvex::VarnelNet::Detect
