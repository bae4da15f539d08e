#pragma once

#include <string>

#include "varnel/script/Request.h"
#include "varnel/script/SettingText.h"

namespace Quorvex::VarnelNet::Script {

// Why a request cannot be rendered as the user wrote it with these settings, in the words of the
// options and requests (--cid-alert none, not the engine's names), or an empty text. It catches
// what the engine would take but change: a Caller-ID name that the layout does not send, an
// absence reason in a raw message, characters the standard cannot carry (which the engine
// would send as '?'), an alert the standard does not define. Everything else is the engine's
// to judge when the request is queued.
std::string CheckRequest(const Request& request, const SettingValues& settings);

}  // namespace Quorvex::VarnelNet::Script
