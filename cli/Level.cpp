#include "cli/Level.h"

#include <algorithm>
#include <cmath>

#include "varnel/signal/TonePattern.h"
#include "varnel/signal/ToneTables.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

int PatternToneCount(std::string_view text) {
    TonePattern pattern;
    std::string error;
    return ParseTonePattern(text, pattern, error) ? pattern.MaxToneCount() : 1;
}

}  // namespace

int ToneCount(const ToneStep& step) {
    return static_cast<int>(std::count_if(step.frequencies.begin(), step.frequencies.end(), [](float f) { return f != 0.0f; }));
}

int ToneCount(const Request& r, bool dualToneCallerId) {
    switch (r.kind) {
        case RequestKind::Dtmf:
        case RequestKind::Mf:
        case RequestKind::R2Forward:
        case RequestKind::R2Backward: return 2;
        case RequestKind::CallerId:
        case RequestKind::Vmwi: return dualToneCallerId ? 2 : 1;
        case RequestKind::Tone:
            return static_cast<int>(std::count_if(std::begin(r.frequencies), std::end(r.frequencies), [](float f) { return f != 0.0f; }));
        case RequestKind::Tones: {
            int most = 0;
            for (const ToneStep& step : r.steps) most = std::max(most, ToneCount(step));
            return most;
        }
        case RequestKind::Pattern: return PatternToneCount(r.pattern);
        case RequestKind::Plan: {
            const TonePlanRow* row = FindTonePlan(r.country, r.tone);
            return row ? PatternToneCount(row->pattern) : 1;
        }
        case RequestKind::Tty:
        case RequestKind::TtyFile:
        case RequestKind::TtyHex:
        case RequestKind::Sit:
        case RequestKind::Modem: return 1;
        case RequestKind::Silence:
        case RequestKind::Set: break;
    }
    return 0;
}

float AmplitudeForDbm0(float dbm0, int tones) {
    const double db = static_cast<double>(dbm0) - kFullScaleDbm0 + 20.0 * std::log10(static_cast<double>(tones));
    return static_cast<float>(std::min(db, 0.0));
}

double HighestDbm0(int tones) {
    // Rounded down to hundredths, so that the level printed is one that is accepted.
    return std::floor((kFullScaleDbm0 - 20.0 * std::log10(static_cast<double>(tones))) * 100.0 + 1e-9) / 100.0;
}

}  // namespace Quorvex::VarnelNet::Cli
