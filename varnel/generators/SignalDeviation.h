#pragma once

#include <vector>

#include "varnel/signal/ModemSpec.h"
#include "varnel/signal/ToneSequence.h"

namespace Quorvex::VarnelNet {

// How far a sender strays from the nominal signal, for receiver tests: every frequency scaled
// (DTMF, MF, tones, alerts, FSK mark and space; not the rate of a tone's amplitude modulation),
// the FSK bit rate scaled, the FSK space tone at a level relative to the mark tone. The defaults
// change no byte.
struct SignalDeviation {
    double frequencyScale = 1.0;
    double bitRateScale = 1.0;
    double spaceLevel = 1.0;  // linear

    double Hz(double hz) const { return frequencyScale == 1.0 ? hz : hz * frequencyScale; }
};

// The modem's tones and bit rate as the deviation moves them.
ModemSpec Deviated(const ModemSpec& spec, const SignalDeviation& deviation);
// Every tone of the steps at its deviated frequency.
void DeviateSteps(std::vector<ToneSequence::Step>& steps, const SignalDeviation& deviation);

}  // namespace Quorvex::VarnelNet
