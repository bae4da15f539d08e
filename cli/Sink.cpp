#include "cli/Sink.h"

#include "cli/Interrupt.h"

namespace Quorvex::VarnelNet::Cli {

std::unique_ptr<Render::ByteSink> OpenSink(const std::string& path, std::FILE* out, const char* refusal) {
    if (path != "-") return std::make_unique<Render::FileSink>(path, refusal);
    std::fflush(out);
    return std::make_unique<Render::DescriptorSink>(::fileno(out), "standard output", StopIfInterrupted);
}

}  // namespace Quorvex::VarnelNet::Cli
