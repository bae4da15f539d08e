#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "varnel/platform/HResult.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Request.h"

namespace Quorvex::VarnelNet {
class CVarnel;
}

namespace Quorvex::VarnelNet::Script {

// Queues a request on the engine with the settings it has now, as the component's Generate
// operations would: one request for most kinds, one per step for tones: (a sounding step is
// GenerateTone(ms, 0, f1, f2, f3), a pause GenerateSilence(ms); a pause of 0 ms queues nothing);
// set: changes the setting and queues nothing. The IDs of what was queued are appended to ids.
//
// Before anything is queued the request is checked against the engine's settings
// (CheckRequest): a refusal there throws RequestError. Otherwise returns S_OK, or the failure
// of the engine operation that refused (its text stored as the engine stores every failure).
HRESULT Queue(CVarnel& engine, const Request& request, std::vector<std::int32_t>& ids);

// Queue for a request of a script, refusals thrown as a RequestError that names it: the
// language's reason, or the engine's text and code (E_FAIL when nothing is being generated).
// Returns the IDs. With dbm0, a request whose tones would pass full scale at that level is
// refused first (CheckDbm0).
std::vector<std::int32_t> QueueEntry(CVarnel& engine, const Entry& entry, const std::optional<float>& dbm0 = {});

// The engine's text for a failure of the call a FailureRecord watched, or its code when it
// stored none: "refused by the engine (HRESULT 0x80004005)".
std::string EngineReason(HRESULT hr, const std::string& recorded);

}  // namespace Quorvex::VarnelNet::Script
