#include "varnel/signal/ModemTones.h"

#include <algorithm>


namespace Quorvex::VarnelNet {

std::vector<ToneSequence::Step> ModemToneSteps(const ModemToneSpec& spec, std::int64_t totalMs) {
    ToneSequence::Step tone;
    tone.tones[0] = {spec.hz, spec.modulationHz};
    tone.toneCount = 1;
    tone.length = spec.onMs == 0 ? std::max<std::int64_t>(totalMs, 0) : spec.onMs;
    tone.reversal = spec.reversalMs;
    std::vector<ToneSequence::Step> steps{tone};
    if (spec.offMs != 0) {
        ToneSequence::Step silence;
        silence.length = spec.offMs;
        steps.push_back(silence);
    }
    return steps;
}

}  // namespace Quorvex::VarnelNet
