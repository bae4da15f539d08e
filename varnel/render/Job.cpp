#include "varnel/render/Job.h"

#include "varnel/rtp/Session.h"

namespace Quorvex::VarnelNet::Render {

Script::RenderOptions RenderOptionsOf(const Job& job) {
    return job.rtp ? Rtp::RenderOptionsFor(job.options, *job.rtp) : job.options;
}

std::unique_ptr<Script::Rendering> OpenRendering(const Job& job, Script::Rendering::DebugLine debugLine) {
    return std::make_unique<Script::Rendering>(RenderOptionsOf(job), job.requests, std::move(debugLine));
}

}  // namespace Quorvex::VarnelNet::Render
