#include "varnel/detect/ToneCadences.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "varnel/signal/TonePattern.h"
#include "varnel/signal/ToneTables.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

// A continuous tone is one heard for this long at least (no cadence sounds a tone longer than
// 2.5 s).
constexpr double kContinuousMs = 2500.0;
// A silence this short between two tones is none (the edges' error), where the pattern has
// the tones follow each other.
constexpr double kNoGapMs = 10.0;
// What a cadence that stopped before the input's end adds to its score (0 a perfect fit).
constexpr double kStoppedScore = 0.5;
// An element's length fits within 15 % or 40 ms.
double Tolerance(double ms) { return std::max(40.0, 0.15 * ms); }

void AddOnce(std::vector<double>& values, double value) {
    if (std::find(values.begin(), values.end(), value) == values.end()) values.push_back(value);
}

}  // namespace

void SortTones(std::array<double, 3>& hz, int count) {
    for (std::size_t i = 1; i < static_cast<std::size_t>(count) && i < hz.size(); ++i) {
        for (std::size_t j = i; j > 0 && hz[j] < hz[j - 1]; --j) std::swap(hz[j], hz[j - 1]);
    }
}

bool SameTones(int countA, const std::array<double, 3>& hzA, double modulationA, int countB, const std::array<double, 3>& hzB,
               double modulationB) {
    if (countA != countB || (modulationA == 0.0) != (modulationB == 0.0) || std::fabs(modulationA - modulationB) > 1.5) return false;
    for (std::size_t t = 0; t < static_cast<std::size_t>(countA); ++t) {
        if (!(std::fabs(hzA[t] - hzB[t]) <= 0.02 * hzB[t] + 2.0)) return false;
    }
    return true;
}

ToneCadences::ToneCadences() {
    for (const char* const extra : {"1100", "2100", "1650", "1850"}) AddOnce(frequencies_, std::stod(extra));
    AddOnce(rates_, 15.0);
    for (const SitRow& sit : SitRows()) {
        SitShape shape;
        std::size_t i = 0;
        for (const std::string_view segment : {sit.segment1, sit.segment2, sit.segment3}) {
            const std::size_t slash = segment.find('/');
            shape.hz[i] = std::stod(std::string(segment.substr(0, slash)));
            shape.ms[i] = slash == std::string_view::npos ? 0.0 : std::stod(std::string(segment.substr(slash + 1)));
            AddOnce(frequencies_, shape.hz[i++]);
        }
        sits_.push_back(shape);
    }
    const std::span<const TonePlanRow> rows = TonePlanRows();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        TonePattern pattern;
        std::string error;
        if (!ParseTonePattern(rows[r].pattern, pattern, error)) continue;
        Cadence cadence;
        cadence.row = r;
        cadence.cyclic = pattern.elements.size();
        for (std::size_t i = 0; i < pattern.elements.size(); ++i) {
            const PatternElement& p = pattern.elements[i];
            Element e;
            e.tone = p.toneCount > 0;
            e.toneCount = p.toneCount;
            for (std::size_t t = 0; t < static_cast<std::size_t>(p.toneCount); ++t) {
                e.hz[t] = p.tones[t].hz;
                e.modulationHz = std::max(e.modulationHz, p.tones[t].modulationHz);
                AddOnce(frequencies_, p.tones[t].hz);
                if (p.tones[t].modulationHz > 0.0) AddOnce(rates_, p.tones[t].modulationHz);
            }
            SortTones(e.hz, p.toneCount);
            e.ms = static_cast<double>(p.ms);
            e.step = static_cast<int>(i);
            if (!p.once && cadence.cyclic == pattern.elements.size()) cadence.cyclic = cadence.elements.size();
            // Silences in a row are one, as a listener hears them.
            if (!e.tone && !cadence.elements.empty() && !cadence.elements.back().tone) {
                Element& last = cadence.elements.back();
                last.ms = e.ms == 0.0 || last.ms == 0.0 ? 0.0 : last.ms + e.ms;
                continue;
            }
            cadence.elements.push_back(e);
        }
        // Silence repeated for ever is one continuous silence.
        if (cadence.cyclic + 1 == cadence.elements.size() && !cadence.elements.back().tone) cadence.elements.back().ms = 0.0;
        if (!cadence.elements.empty()) cadences_.push_back(std::move(cadence));
    }
}

const ToneCadences::Element* ToneCadences::At(const Cadence& c, std::size_t i) {
    const std::size_t n = c.elements.size();
    if (i < n) return &c.elements[i];
    if (c.cyclic >= n) return nullptr;
    return &c.elements[c.cyclic + (i - n) % (n - c.cyclic)];
}

bool ToneCadences::Passed(const Element* e, const HeardElement& heard, int rate) {
    return !heard.tone && (e == nullptr || e->tone) && heard.Ms(rate) <= kNoGapMs;
}

double ToneCadences::Fit(const Cadence& c, std::span<const HeardElement> run, double gapMs, RunEnd end, int rate, std::size_t& start) const {
    double best = -1.0;
    for (std::size_t s = 0; s < c.elements.size(); ++s) {
        if (!c.elements[s].tone || (s > 0 && s < c.cyclic)) continue;
        double score = s == 0 ? 0.0 : 0.05;
        bool fits = true;
        bool continuous = false;
        int whole = 0;  // tones heard for their full length
        std::size_t p = s;
        for (std::size_t i = 0; i < run.size() && fits; ++i) {
            const Element* e = At(c, p);
            const HeardElement& heard = run[i];
            if (Passed(e, heard, rate)) continue;
            ++p;
            if (e == nullptr || e->tone != heard.tone) {
                fits = false;
                break;
            }
            const double ms = heard.Ms(rate);
            if (e->tone) {
                if (!SameTones(heard.toneCount, heard.hz, heard.modulationHz, e->toneCount, e->hz, e->modulationHz)) {
                    fits = false;
                    break;
                }
                for (std::size_t t = 0; t < static_cast<std::size_t>(e->toneCount); ++t) score += std::fabs(heard.hz[t] - e->hz[t]) / e->hz[t];
            }
            const bool last = i + 1 == run.size();
            if (e->ms == 0.0) {
                fits = last && (!e->tone || ms >= kContinuousMs);
                continuous = true;
                whole += e->tone ? 1 : 0;
                continue;
            }
            // The input may cut the last tone short, and a run heard from the middle of its
            // cadence its first.
            const bool cutShort = (last && end == RunEnd::Input && gapMs < Tolerance(e->ms)) || (i == 0 && s > 0);
            if (cutShort && ms < e->ms) continue;
            if (!(std::fabs(ms - e->ms) <= Tolerance(e->ms))) {
                fits = false;
                break;
            }
            score += std::fabs(ms - e->ms) / e->ms;
            whole += e->tone ? 1 : 0;
        }
        // A tone cut short fits any longer: at least one must have been heard whole.
        if (!fits || whole == 0) continue;
        // The silence after the run: the pattern's next element must allow it.
        const Element* next = At(c, p);
        if (!continuous && next != nullptr) {
            // A silence longer than the cadence's says it stopped there: possible (it was cut,
            // or something else followed), but a cadence that pauses so long fits better.
            const bool longer = next->tone ? gapMs > kNoGapMs : next->ms > 0.0 && At(c, p + 1) != nullptr && gapMs > next->ms + Tolerance(next->ms);
            if (end == RunEnd::Input && longer) score += kStoppedScore;
        }
        if (best < 0.0 || score < best) {
            best = score;
            start = s;
        }
    }
    return best;
}

}  // namespace Quorvex::VarnelNet::Detect
