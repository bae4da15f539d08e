#pragma once

#include "varnel/detect/CallerIdDecoder.h"
#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Script {

// What the Caller-ID decoder heard as labels of the labels' schema, kind "cid", so that they
// compare with a rendering's: a message (text its layout, fields its decoded fields, then
// "standard", "alert" when one was seen, "checksum" ok or bad where it has one, "level_dbm0"),
// or the alert as a tone of 2130 and 2750 Hz with each tone's level ("low_dbm0", "high_dbm0").
Label HeardCallerIdLabel(const Detect::HeardCallerId& message);
Label HeardAlertLabel(const Detect::AlertEvent& alert);

}  // namespace Quorvex::VarnelNet::Script
