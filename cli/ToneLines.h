#pragma once

#include <cstdio>
#include <vector>

#include "varnel/detect/MfDetector.h"
#include "varnel/detect/ToneDetector.h"

namespace Quorvex::VarnelNet::Cli {

// The timeline lines varnel detect prints of the MF and tone detectors' events, a line each:
//   MF 1.200 1.300 KP r1 1100.0+1700.0 Hz -7.0 -7.0 dBm0
//   TONE 0.000 3.000 busy:uk 400.0 Hz cadence 0.375/0.375 -13.0 dBm0
//   SIT 0.000 1.140 nc 985.2/1428.5/1776.7 Hz 0.380/0.380/0.380 -24.0 dBm0
//   MODEM 0.000 3.300 ANSam/PR 2100.0*15 Hz depth 0.20 reversals 7 -10.0 dBm0
void PrintMfLines(const std::vector<Detect::MfEvent>& events, int rate, std::FILE* out);
void PrintToneLines(const std::vector<Detect::ToneEvent>& events, int rate, std::FILE* out);

}  // namespace Quorvex::VarnelNet::Cli
