#include "cli/DetectText.h"

#include "varnel/platform/PrintableText.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

void PrintLine(std::uint64_t first, std::uint64_t last, const std::string& text, std::FILE* out) {
    std::string quoted;
    for (const char c : Printable(text)) {
        if (c == '"') quoted += '\\';
        quoted += c;
    }
    std::fprintf(out, "RTT %.3f %.3f \"%s\"\n", static_cast<double>(first) / Detect::kStreamRate, static_cast<double>(last) / Detect::kStreamRate,
                 quoted.c_str());
}

}  // namespace

void PrintTextLines(const Detect::RtpStream& stream, std::FILE* out) {
    std::string run;
    std::uint64_t runFirst = 0, runLast = 0;
    for (const Detect::TextBlock& block : stream.texts) {
        if (!run.empty() && block.first - runLast >= kTextPause) {
            PrintLine(runFirst, runLast, run, out);
            run.clear();
        }
        if (run.empty()) runFirst = block.first;
        run += block.text;
        runLast = block.first;
    }
    if (!run.empty()) PrintLine(runFirst, runLast, run, out);
}

}  // namespace Quorvex::VarnelNet::Cli
