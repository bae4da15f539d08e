// A rendering's options as Python and the page give them: each line is "NAME VALUE" for any
// option Option::ApplyOptions takes (an impairment, a setting, mix and mix-dbm0, an RTP
// session's), or "script SCRIPT" (the requests; several lines add up). What parses is rendered
// through the render layer with labels within a budget, twice in blocks of different sizes: both
// must give the bytes measured, the same bytes, and labels within them; with a session's option,
// its pcap too.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzScript.h"
#include "varnel/options/OptionRegistry.h"
#include "varnel/render/ByteSink.h"
#include "varnel/render/Job.h"
#include "varnel/render/Outputs.h"
#include "varnel/script/Parser.h"
#include "varnel/script/RequestError.h"

namespace {

using namespace Quorvex::VarnelNet;

constexpr std::size_t kMaxCommands = 32;
constexpr std::uint64_t kMaxBytes = 1 << 20;

// The bytes of a rendering pulled in blocks of `block` bytes, or nothing past the budget.
std::vector<std::uint8_t> Pulled(const Render::Job& job, std::size_t block) {
    const std::unique_ptr<Script::Rendering> opened = Render::OpenRendering(job);
    Script::Rendering& rendering = *opened;
    if (rendering.TotalBytes() > kMaxBytes) return {};
    std::vector<std::uint8_t> bytes, piece(block);
    for (std::size_t n; (n = rendering.Pull(piece)) > 0;) {
        Fuzz::Require(n <= block, "a pull reported more bytes than it was offered");
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
    }
    Fuzz::Require(bytes.size() == rendering.TotalBytes(), "the bytes rendered differ from the bytes measured");
    const std::uint64_t samples = rendering.TotalBytes() / rendering.Format().nBlockAlign;
    for (const Script::Label& label : rendering.Labels()) {
        Fuzz::Require(label.first < label.end && label.end <= samples, "a label outside the samples rendered");
    }
    return bytes;
}

// The job's pcap, within the budget.
void WritePcap(const Render::Job& job) {
    const std::unique_ptr<Script::Rendering> rendering = Render::OpenRendering(job);
    if (rendering->TotalBytes() > kMaxBytes) return;
    Rtp::Session session(*rendering, *job.rtp);
    std::vector<std::uint8_t> file;
    Render::MemorySink sink(file);
    Render::Tally tally;
    Render::WritePcap(session, sink, Render::PcapStart(*job.rtp), false, {}, tally);
    Fuzz::Require(!file.empty(), "a pcap without its header");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Render::Job job;
    job.options.labels = true;
    Rtp::SessionOptions session;
    session.pcapStartMicroseconds = 0;
    bool sessionAsked = false;
    std::string script;
    try {
        for (const Fuzz::Command& command :
             Fuzz::ParseScript(std::string_view(reinterpret_cast<const char*>(data), size), kMaxCommands)) {
            if (command.word == "script") {
                script.append(command.args).append("\n");
                continue;
            }
            Option::ApplyOptions(job.options, &session, {{std::string(command.word), std::string(command.args)}});
            sessionAsked = sessionAsked || Option::Lands(command.word, Option::Target::Session);
        }
        job.requests = Script::ParseScript(script);
        // --snr renders the whole audio to measure it: only audio within the budget goes on.
        Render::Job measured = job;
        measured.options.impairments = job.options.impairments.SenderOnly();
        if (Render::OpenRendering(measured)->TotalBytes() > kMaxBytes) return 0;
        const std::vector<std::uint8_t> once = Pulled(job, 8192);
        Fuzz::Require(once == Pulled(job, 333), "blocks of another size gave other bytes");
        if (sessionAsked) {
            job.rtp = session;
            WritePcap(job);
        }
    } catch (const Script::RequestError& e) {
        Fuzz::Require(!e.Reason().empty(), "a refusal without its reason");
    }
    return 0;
}
