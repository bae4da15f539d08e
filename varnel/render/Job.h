#pragma once

#include <memory>
#include <optional>

#include "varnel/rtp/SessionOptions.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Render {

// One rendering as a front end asks for it: the requests, how they are rendered (settings,
// level, labels, the sender's deviations and the line's impairments, a mixed script) and, when
// the audio goes out as RTP, the session.
struct Job {
    Script::Requests requests;
    Script::RenderOptions options;
    std::optional<Rtp::SessionOptions> rtp;
};

// How the job's requests are rendered: its options, and with a session 8000 Hz G.711 (unless
// its own settings say otherwise, which the session then refuses) labelled as the session's
// events and text need. Throws RequestError for a mix with events or text.
Script::RenderOptions RenderOptionsOf(const Job& job);

// The job's rendering: every request checked, queued and measured before a byte is rendered
// (Script::Rendering). Throws RequestError. The job must outlive it.
std::unique_ptr<Script::Rendering> OpenRendering(const Job& job, Script::Rendering::DebugLine debugLine = {});

}  // namespace Quorvex::VarnelNet::Render
