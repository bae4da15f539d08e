#include "Render.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "cli/Options.h"
#include "cli/Session.h"
#include "cli/UsageError.h"
#include "varnel/Varnel.h"

using namespace Quorvex::VarnelNet;

namespace varnel_python {

namespace {

Cli::Options Parse(const RenderArguments& arguments, const std::string& path) {
    if (arguments.requests.empty()) throw Cli::UsageError("no requests to render");
    std::vector<std::string> args;
    if (path.empty()) {
        args.emplace_back("--raw");
    } else {
        args.emplace_back("--output=" + path);
    }
    args.emplace_back("--rate=" + arguments.rate);
    args.emplace_back("--bits=" + arguments.bits);
    args.emplace_back("--encoding=" + arguments.encoding);
    for (const auto& [name, value] : arguments.settings) {
        if (Cli::IsFlagSetting(name)) {
            if (value != "0" && value != "1") throw Cli::UsageError("--" + name + " is 0 or 1, not '" + value + "'");
            args.emplace_back((value == "1" ? "--" : "--no-") + name);
        } else {
            args.emplace_back("--" + name + "=" + value);
        }
    }
    if (!arguments.dbm0.empty()) args.emplace_back("--dbm0=" + arguments.dbm0);
    args.emplace_back("--");
    args.insert(args.end(), arguments.requests.begin(), arguments.requests.end());
    return Cli::ParseArguments(args);
}

// The tool's defaults, the options' settings, then the set: requests before the first signal,
// as the tool applies them, but with the component's exceptions passed through.
std::size_t ApplyLeadingSettings(Varnel& varnel, const Cli::Options& options) {
    for (const Cli::Setting& setting : Cli::ToolDefaults()) Cli::ApplySetting(varnel, setting);
    for (const Cli::Setting& setting : options.settings) Cli::ApplySetting(varnel, setting);
    std::size_t first = 0;
    while (first < options.requests.size() && options.requests[first].kind == Cli::RequestKind::Set) {
        Cli::QueueRequest(varnel, options.requests[first++]);
    }
    return first;
}

}  // namespace

Rendering RenderRaw(const RenderArguments& arguments) {
    const Cli::Options options = Parse(arguments, {});
    Varnel varnel;
    std::size_t next = ApplyLeadingSettings(varnel, options);
    Rendering rendering;
    rendering.wide = varnel.Encoding() == ENC_PCM && varnel.BitsPerSample() == 16;
    varnel.GenerateBegin();
    for (; next < options.requests.size(); ++next) Cli::QueueRequest(varnel, options.requests[next]);
    std::array<std::uint8_t, 8192> block{};
    for (std::int32_t n; (n = varnel.FetchWaveStream(block)) > 0;) {
        rendering.bytes.insert(rendering.bytes.end(), block.begin(), block.begin() + n);
    }
    varnel.GenerateEnd();
    return rendering;
}

void RenderFile(const RenderArguments& arguments, const std::string& path) {
    const Cli::Options options = Parse(arguments, path);
    bool started = false;
    try {
        Varnel varnel;
        std::size_t next = ApplyLeadingSettings(varnel, options);
        varnel.GenerateBegin(path);
        started = true;
        for (; next < options.requests.size(); ++next) Cli::QueueRequest(varnel, options.requests[next]);
        varnel.GenerateEnd();
    } catch (...) {
        std::error_code ignored;
        if (started && std::filesystem::symlink_status(path, ignored).type() == std::filesystem::file_type::regular) {
            std::filesystem::remove(path, ignored);
        }
        throw;
    }
}

}  // namespace varnel_python
