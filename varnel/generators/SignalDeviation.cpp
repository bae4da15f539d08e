#include "varnel/generators/SignalDeviation.h"

namespace Quorvex::VarnelNet {

ModemSpec Deviated(const ModemSpec& spec, const SignalDeviation& deviation) {
    ModemSpec moved = spec;
    moved.markHz = deviation.Hz(spec.markHz);
    moved.spaceHz = deviation.Hz(spec.spaceHz);
    if (deviation.bitRateScale != 1.0) {
        moved.bitRate = spec.bitRate * deviation.bitRateScale;
        if (spec.bitSeconds > 0.0) moved.bitSeconds = spec.bitSeconds / deviation.bitRateScale;
    }
    return moved;
}

void DeviateSteps(std::vector<ToneSequence::Step>& steps, const SignalDeviation& deviation) {
    if (deviation.frequencyScale == 1.0) return;
    for (ToneSequence::Step& step : steps) {
        for (ToneSequence::Tone& tone : step.tones) tone.hz = deviation.Hz(tone.hz);
    }
}

}  // namespace Quorvex::VarnelNet
