#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "varnel/detect/MfDetector.h"
#include "varnel/detect/ToneDetector.h"
#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Cli {

// What varnel detect prints of the MF and tone detectors: a timeline line an event, or with
// json their labels (Detect::MfLabel, Detect::ToneLabels), one JSON line each; nothing when out
// is null (--expect prints verdicts instead). Their labels are added to heard.
//   MF 1.200 1.300 KP r1 1100.0+1700.0 Hz -7.0 -7.0 dBm0
//   TONE 0.000 3.000 busy:uk 400.0 Hz cadence 0.375/0.375 -13.0 dBm0
//   SIT 0.000 1.140 nc 985.2/1428.5/1776.7 Hz 0.380/0.380/0.380 -24.0 dBm0
//   MODEM 0.000 3.300 ANSam/PR 2100.0*15 Hz depth 0.20 reversals 7 -10.0 dBm0
// fields: added to every label (a capture's stream).
using LabelFields = std::vector<std::pair<std::string, std::string>>;
void PrintMfEvents(const std::vector<Detect::MfEvent>& events, int rate, bool json, std::FILE* out, std::vector<Script::Label>& heard,
                   const LabelFields& fields = {});
void PrintToneEvents(const std::vector<Detect::ToneEvent>& events, int rate, bool json, std::FILE* out, std::vector<Script::Label>& heard,
                     const LabelFields& fields = {});

}  // namespace Quorvex::VarnelNet::Cli
