#pragma once

// Pulls a generation dry within a budget, checking every pull: it reports -1, or 0 up to the
// size offered. When the queue empties, the bytes rendered must equal the QueuedBytes the drain
// began with (unless checkLength is false: handlers may queue or end the generation meanwhile).

#include "FuzzScript.h"
#include "varnel/Varnel.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Fuzz {

void Drain(CVarnel& engine, PullBudget& budget, bool checkLength);
void Drain(Varnel& varnel, PullBudget& budget, bool checkLength);
// A script rendered as the tool renders it: refusals throw Script::RequestError.
void Drain(const Script::RenderOptions& options, const Script::Requests& requests, PullBudget& budget);

}  // namespace Quorvex::VarnelNet::Fuzz
