#include "cli/TtyLines.h"

#include <algorithm>

#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

// The text between the quotes of a timeline line.
std::string Quoted(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

TtyLines::TtyLines(int sampleRate)
    : rate_(sampleRate), detector_(sampleRate, [this](const Detect::TtyMessage& heard) {
          Message message;
          message.heard = heard;
          message.coding = std::string(Detect::TtyCodingWord(heard.coding));
          message.rate = std::string(heard.rate);
          message.text = std::string(heard.text);
          message.characters.assign(heard.characters.begin(), heard.characters.end());
          messages_.push_back(std::move(message));
      }) {}

void TtyLines::Print(bool json, std::FILE* out, std::vector<Script::Label>& heard, const Fields& fields) const {
    for (const Message& message : messages_) {
        std::int32_t index = 0;
        const std::size_t firstLabel = heard.size();
        for (const Detect::TtyCharacter& c : message.characters) {
            Script::Label& label = heard.emplace_back(Script::HeardCharacterLabel(Detect::TtyCharacterText(c, message.heard.coding), index++,
                                                                                  Detect::TtyCharacterCode(c, message.heard.coding), c.first,
                                                                                  c.last + 1));
            label.fields = fields;
        }
        if (out == nullptr) continue;
        if (json) {
            std::fputs(Script::JsonLabels(std::span(heard).subspan(firstLabel)).c_str(), out);
            continue;
        }
        std::fprintf(out, "TTY %.3f %.3f %s %s \"%s\" %.1f dBm0\n", static_cast<double>(message.heard.first) / rate_,
                     static_cast<double>(message.heard.last + 1) / rate_, message.coding.c_str(), message.rate.c_str(),
                     Quoted(message.text).c_str(), message.heard.dbm0);
    }
}

bool TtyLines::Overlaps(std::uint64_t first, std::uint64_t last) const {
    return std::any_of(messages_.begin(), messages_.end(),
                       [&](const Message& message) { return first <= message.heard.last && last >= message.heard.first; });
}

}  // namespace Quorvex::VarnelNet::Cli
