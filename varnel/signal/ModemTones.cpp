#include "varnel/signal/ModemTones.h"

#include <algorithm>

#include "varnel/signal/TonePattern.h"

namespace Quorvex::VarnelNet {

std::vector<ToneSequence::Step> ModemToneSteps(const ModemToneSpec& spec, double sampleRate, std::int64_t totalSamples) {
    ToneSequence::Step tone;
    tone.tones[0] = {spec.hz, spec.modulationHz};
    tone.toneCount = 1;
    tone.samples = spec.onMs == 0 ? std::max<std::int64_t>(totalSamples, 0) : SamplesOfMs(spec.onMs, sampleRate);
    tone.reversalSamples = spec.reversalMs == 0 ? 0 : SamplesOfMs(spec.reversalMs, sampleRate);
    std::vector<ToneSequence::Step> steps{tone};
    if (spec.offMs != 0) {
        ToneSequence::Step silence;
        silence.samples = SamplesOfMs(spec.offMs, sampleRate);
        steps.push_back(silence);
    }
    return steps;
}

}  // namespace Quorvex::VarnelNet
