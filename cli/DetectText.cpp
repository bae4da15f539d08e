#include "cli/DetectText.h"

#include "varnel/platform/PrintableText.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

// The length of the UTF-8 character at the start of text (valid UTF-8).
std::size_t CharacterLength(std::string_view text) {
    std::size_t length = 1;
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) ++length;
    return length;
}

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

void PrintTexts(const Detect::RtpStream& stream, bool json, std::FILE* out, std::vector<Script::Label>& heard,
                const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string run;
    std::uint64_t runFirst = 0, runLast = 0;
    std::int32_t index = 0;
    for (const Detect::TextBlock& block : stream.texts) {
        if (!run.empty() && block.first - runLast >= kTextPause) {
            if (out && !json) PrintLine(runFirst, runLast, run, out);
            run.clear();
        }
        if (run.empty()) runFirst = block.first;
        run += block.text;
        runLast = block.first;
        for (std::size_t at = 0; at < block.text.size();) {
            const std::size_t length = CharacterLength(std::string_view(block.text).substr(at));
            Script::Label& label = heard.emplace_back();
            label.kind = "t140";
            label.symbol = SymbolKind::Character;
            label.first = block.first;
            label.end = block.first + 1;
            label.text = block.text.substr(at, length);
            label.index = index++;
            label.fields = fields;
            if (out && json) std::fputs(Script::JsonLabels(std::span(&label, 1)).c_str(), out);
            at += length;
        }
    }
    if (out && !json && !run.empty()) PrintLine(runFirst, runLast, run, out);
}

}  // namespace Quorvex::VarnelNet::Cli
