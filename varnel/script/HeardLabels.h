#pragma once

#include <string>
#include <vector>

#include "varnel/detect/MfDetector.h"
#include "varnel/detect/ToneDetector.h"
#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Script {

// What the MF and tone detectors heard as labels of the labels' schema, kind and symbol, text,
// nominal frequencies and element index as a render of the same request labels them, so that
// a detection compares with a rendering's labels: an MF signal is a key of kind "mf", "r2f" or
// "r2b"; a call-progress tone's elements are tones and silences of kind "plan" (field "plans":
// the plans it fits, best first, "busy:uk"), a SIT's segments tones of kind "sit" (field
// "code"), a modem tone a tone of kind "modem" (field "tone": "CNG", "ANSam/PR", "V.21",
// and "reversals" or "flags" where it has them).
Label MfLabel(const Detect::MfEvent& event);
std::vector<Label> ToneLabels(const Detect::ToneEvent& event);

// The names the timeline and the labels give: "busy:uk", "nc", "ANSam/PR", "V.21".
std::string PlanName(std::size_t row);
std::string ModemName(int modem);

}  // namespace Quorvex::VarnelNet::Script
