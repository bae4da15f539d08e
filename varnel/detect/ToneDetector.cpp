#include "varnel/detect/ToneDetector.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "varnel/signal/ModemTones.h"
#include "varnel/signal/ToneTables.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

// A run of tones ends with a silence longer than any cadence's pauses but the rare ones of
// call waiting (6 s).
constexpr double kRunGapMs = 6000.0;
// A SIT's segments follow each other within 40 ms, each within 2 % of its frequency and 60 ms of
// its length (the North American ones 274 or 380 ms, the ITU's 330 ms).
constexpr double kSitGapMs = 40.0;
constexpr double kSitShare = 0.02;
constexpr double kSitMs = 60.0;
// CNG's bursts are 500 ms, ANS lasts 2.6 to 4 s; both are held within 1 %, and V.21's two
// tones too.
constexpr double kModemShare = 0.01;
constexpr double kFlagMs = 8000.0 / 300.0;

HeardElement ElementOf(const ToneSegment& segment) {
    HeardElement e;
    e.tone = true;
    e.first = segment.first;
    e.last = segment.last;
    e.toneCount = segment.toneCount;
    e.hz = segment.hz;
    SortTones(e.hz, segment.toneCount);
    e.modulationHz = segment.modulationHz;
    e.dbm0 = segment.dbm0[0];
    return e;
}

bool Near(double hz, double nominal, double share) { return std::fabs(hz - nominal) <= share * nominal; }

}  // namespace

const ToneCadences& ToneDetector::Cadences() {
    static const ToneCadences cadences;
    return cadences;
}

int ToneDetector::CheckedRate(int sampleRate) {
    if (sampleRate < kLowestRate || sampleRate > kHighestRate) {
        throw std::invalid_argument("the tone detector takes " + std::to_string(kLowestRate) + " to " + std::to_string(kHighestRate) +
                                    " Hz, not " + std::to_string(sampleRate));
    }
    return sampleRate;
}

ToneDetector::ToneDetector(int sampleRate, EventSink sink)
    : rate_(CheckedRate(sampleRate)),
      sink_(std::move(sink)),
      segmenter_(sampleRate, Cadences().Frequencies(), Cadences().ModulationRates(), [this](const ToneSegment& s) { Heard(s); }) {}

void ToneDetector::Feed(std::span<const double> samples) { segmenter_.Feed(samples); }

void ToneDetector::Finish() {
    segmenter_.Finish();
    if (runCount_ == 0) return;
    const double gapMs = static_cast<double>(segmenter_.Position() - std::min(segmenter_.Position(), runLast_ + 1)) * 1000.0 / rate_;
    EndRun(gapMs, gapMs > kRunGapMs ? RunEnd::Cut : RunEnd::Input);
}

void ToneDetector::Heard(const ToneSegment& segment) {
    const HeardElement heard = ElementOf(segment);
    const int modem = ModemOf(segment);
    if (runCount_ > 0) {
        const double gapMs = static_cast<double>(segment.first - std::min(segment.first, runLast_ + 1)) * 1000.0 / rate_;
        if (gapMs > kRunGapMs || runCut_ || modem >= 0) EndRun(gapMs, RunEnd::Cut);
    }
    if (modem >= 0) {
        EmitModem(segment, modem);
        recentCount_ = 0;
        return;
    }
    std::move(recent_.begin() + 1, recent_.end(), recent_.begin());
    recent_.back() = segment;
    recentCount_ = std::min(recentCount_ + 1, 3);
    if (recentCount_ == 3 && Sit()) recentCount_ = 0;

    if (runCount_ == 0) {
        run_[0] = heard;
        runCount_ = 1;
        runCut_ = false;
    } else if (segment.first <= runLast_ + 1 && SameTones(heard.toneCount, heard.hz, heard.modulationHz, run_[static_cast<std::size_t>(runCount_ - 1)].toneCount,
                                                       run_[static_cast<std::size_t>(runCount_ - 1)].hz, run_[static_cast<std::size_t>(runCount_ - 1)].modulationHz)) {
        HeardElement& last = run_[static_cast<std::size_t>(runCount_ - 1)];
        last.last = std::max(last.last, segment.last);
    } else if (runCount_ + 2 <= kRunElements) {
        HeardElement gap;
        gap.first = runLast_ + 1;
        gap.last = std::max(segment.first, gap.first) - 1;  // none, when the tones follow each other
        run_[static_cast<std::size_t>(runCount_++)] = gap;
        run_[static_cast<std::size_t>(runCount_++)] = heard;
    } else {
        runCut_ = true;
    }
    runLast_ = std::max(runLast_, segment.last);
}

int ToneDetector::ModemOf(const ToneSegment& segment) const {
    const HeardElement e = ElementOf(segment);
    const double ms = e.Ms(rate_);
    if (e.toneCount == 1 && e.modulationHz == 0.0 && Near(e.hz[0], kModemTones[0].hz, kModemShare) && ms >= 300.0 && ms <= 800.0) return 0;
    if (e.toneCount == 1 && Near(e.hz[0], kModemTones[1].hz, kModemShare) && ms >= 1000.0) {
        const bool modulated = std::fabs(e.modulationHz - kModemTones[3].modulationHz) <= 1.5;
        const bool reversed = segment.reversals > 0;
        return modulated ? (reversed ? 4 : 3) : (reversed ? 2 : 1);
    }
    // V.21's flags come every 26.7 ms (eight bits at 300 bit/s): a quarter of a second of them
    // at their rate, not an R2 signal's 150 ms of two tones beating.
    const double flags = ms / kFlagMs;
    if (e.toneCount == 2 && Near(e.hz[0], 1650.0, kModemShare) && Near(e.hz[1], 1850.0, kModemShare) && ms >= 250.0 &&
        segment.spaceRuns >= 0.8 * flags && segment.spaceRuns <= 1.2 * flags + 1.0) {
        return kV21Flags;
    }
    return -1;
}

void ToneDetector::EmitModem(const ToneSegment& segment, int modem) {
    const HeardElement e = ElementOf(segment);
    event_ = ToneEvent{};
    event_.kind = ToneEventKind::Modem;
    event_.first = e.first;
    event_.last = e.last;
    event_.toneCount = e.toneCount;
    event_.hz = e.hz;
    event_.dbm0 = segment.dbm0[0];
    event_.modem = modem;
    if (modem == 3 || modem == 4) {
        event_.modulationHz = segment.modulationHz;
        event_.depth = segment.depth;
    }
    if (modem == 2 || modem == 4) event_.reversals = segment.reversals;
    if (modem == kV21Flags) event_.flags = segment.spaceRuns;
    event_.elementCount = 1;
    ToneEvent::Element& element = event_.elements[0];
    element.tone = true;
    element.first = e.first;
    element.last = e.last;
    element.toneCount = e.toneCount;
    element.hz = modem == kV21Flags ? std::array<double, 3>{1650.0, 1850.0, 0.0} : std::array<double, 3>{kModemTones[static_cast<std::size_t>(modem)].hz, 0.0, 0.0};
    if (sink_) sink_(event_);
}

bool ToneDetector::Sit() {
    for (std::size_t i = 0; i < 3; ++i) {
        const ToneSegment& s = recent_[i];
        if (s.toneCount != 1 || s.modulationHz != 0.0) return false;
        if (i > 0 && static_cast<double>(s.first - std::min(s.first, recent_[i - 1].last + 1)) * 1000.0 / rate_ > kSitGapMs) return false;
    }
    const std::vector<ToneCadences::SitShape>& sits = Cadences().Sits();
    int best = -1;
    double bestScore = 0.0;
    for (std::size_t r = 0; r < sits.size(); ++r) {
        double score = 0.0;
        bool fits = true;
        for (std::size_t i = 0; i < 3 && fits; ++i) {
            const ToneSegment& s = recent_[i];
            const double ms = static_cast<double>(s.last - s.first + 1) * 1000.0 / rate_;
            fits = Near(s.hz[0], sits[r].hz[i], kSitShare) && std::fabs(ms - sits[r].ms[i]) <= kSitMs;
            score += std::fabs(s.hz[0] - sits[r].hz[i]) / sits[r].hz[i] + std::fabs(ms - sits[r].ms[i]) / sits[r].ms[i];
        }
        if (fits && (best < 0 || score < bestScore)) {
            best = static_cast<int>(r);
            bestScore = score;
        }
    }
    if (best < 0) return false;
    event_ = ToneEvent{};
    event_.kind = ToneEventKind::Sit;
    event_.sit = best;
    event_.first = recent_[0].first;
    event_.last = recent_[2].last;
    event_.toneCount = 1;
    double levels = 0.0;
    for (std::size_t i = 0; i < 3; ++i) {
        const ToneSegment& s = recent_[i];
        event_.segmentHz[i] = s.hz[0];
        event_.cadenceMs[i] = static_cast<double>(s.last - s.first + 1) * 1000.0 / rate_;
        levels += s.dbm0[0];
        ToneEvent::Element& element = event_.elements[i];
        element.tone = true;
        element.first = s.first;
        element.last = s.last;
        element.toneCount = 1;
        element.hz[0] = sits[static_cast<std::size_t>(best)].hz[i];
        element.step = static_cast<int>(i);
    }
    event_.hz[0] = event_.segmentHz[0];
    event_.cadenceCount = 3;
    event_.elementCount = 3;
    event_.dbm0 = levels / 3.0;
    if (sink_) sink_(event_);
    return true;
}

void ToneDetector::EndRun(double gapMs, RunEnd end) {
    const std::span<const HeardElement> run(run_.data(), static_cast<std::size_t>(runCount_));
    runCount_ = 0;
    if (run.empty() || Report(run, gapMs, end)) return;
    // No cadence fits it whole: the stretches of one tone it holds (a dial tone, then a busy
    // tone) may fit one each.
    std::size_t from = 0;
    for (std::size_t i = 2; from < run.size(); i += 2) {
        const HeardElement& first = run[from];
        const bool ended = i >= run.size();
        if (!ended && SameTones(run[i].toneCount, run[i].hz, run[i].modulationHz, first.toneCount, first.hz, first.modulationHz)) continue;
        if (from == 0 && ended) return;
        if (ended) {
            Report(run.subspan(from), gapMs, end);
        } else {
            Report(run.subspan(from, i - 1 - from), run[i - 1].Ms(rate_), RunEnd::Cut);
        }
        from = i;
    }
}

bool ToneDetector::Report(std::span<const HeardElement> run, double gapMs, RunEnd end) {
    const std::vector<ToneCadences::Cadence>& cadences = Cadences().Cadences();
    struct Fit {
        double score;
        std::size_t cadence;
        std::size_t start;
    };
    std::array<Fit, ToneEvent::kMaxMatches> fits{};
    int count = 0;
    for (std::size_t c = 0; c < cadences.size(); ++c) {
        std::size_t start = 0;
        const double score = Cadences().Fit(cadences[c], run, gapMs, end, rate_, start);
        if (score < 0.0) continue;
        const Fit fit{score, c, start};
        int at = count;
        while (at > 0 && fits[static_cast<std::size_t>(at - 1)].score > score) --at;
        if (at >= ToneEvent::kMaxMatches) continue;
        for (int i = std::min(count, ToneEvent::kMaxMatches - 1); i > at; --i) fits[static_cast<std::size_t>(i)] = fits[static_cast<std::size_t>(i - 1)];
        fits[static_cast<std::size_t>(at)] = fit;
        count = std::min(count + 1, ToneEvent::kMaxMatches);
    }
    if (count == 0) return false;
    event_ = ToneEvent{};
    event_.kind = ToneEventKind::Progress;
    const HeardElement& first = run.front();
    event_.first = first.first;
    event_.last = run.back().last;
    event_.toneCount = first.toneCount;
    event_.modulationHz = first.modulationHz;
    // The tones and level of those elements that sound as the first does.
    int tones = 0;
    for (const HeardElement& e : run) {
        if (!e.tone || !SameTones(e.toneCount, e.hz, e.modulationHz, first.toneCount, first.hz, first.modulationHz)) continue;
        ++tones;
        event_.dbm0 += e.dbm0;
        for (std::size_t t = 0; t < 3; ++t) event_.hz[t] += e.hz[t];
    }
    event_.dbm0 /= tones;
    for (double& hz : event_.hz) hz /= tones;
    event_.matchCount = count;
    for (int i = 0; i < count; ++i) event_.matches[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(cadences[fits[static_cast<std::size_t>(i)].cadence].row);
    // The elements as the best cadence takes them, and the cadence measured: its first whole
    // cycle heard (the silence after the run included).
    const ToneCadences::Cadence& best = cadences[fits[0].cadence];
    const bool continuous = std::any_of(best.elements.begin(), best.elements.end(), [](const ToneCadences::Element& e) { return e.tone && e.ms == 0.0; });
    const std::size_t period = best.cyclic < best.elements.size() ? best.elements.size() - best.cyclic : best.elements.size();
    const std::size_t cadence = continuous ? 0 : std::min<std::size_t>(period, ToneEvent::kMaxCadence);
    std::size_t p = fits[0].start;
    for (std::size_t i = 0; i < run.size(); ++i) {
        const ToneCadences::Element* e = ToneCadences::At(best, p);
        if (ToneCadences::Passed(e, run[i], rate_)) continue;
        if ((p >= best.cyclic || best.cyclic >= best.elements.size()) && static_cast<std::size_t>(event_.cadenceCount) < cadence) {
            event_.cadenceMs[static_cast<std::size_t>(event_.cadenceCount++)] = run[i].Ms(rate_);
        }
        ++p;
        if (event_.elementCount == ToneEvent::kMaxElements) continue;
        ToneEvent::Element& element = event_.elements[static_cast<std::size_t>(event_.elementCount++)];
        element.tone = run[i].tone;
        element.first = run[i].first;
        element.last = run[i].last;
        element.toneCount = e->toneCount;
        element.hz = e->hz;
        element.step = e->step;
    }
    // A cadence played once, not a cycle of it: what was heard.
    if (!continuous && event_.cadenceCount == 0) {
        for (std::size_t i = 0; i < run.size() && event_.cadenceCount < ToneEvent::kMaxCadence; ++i) {
            event_.cadenceMs[static_cast<std::size_t>(event_.cadenceCount++)] = run[i].Ms(rate_);
        }
    }
    if (static_cast<std::size_t>(event_.cadenceCount) < cadence && end != RunEnd::Cut && event_.cadenceCount > 0) {
        event_.cadenceMs[static_cast<std::size_t>(event_.cadenceCount++)] = gapMs;
    }
    if (sink_) sink_(event_);
    return true;
}

}  // namespace Quorvex::VarnelNet::Detect
