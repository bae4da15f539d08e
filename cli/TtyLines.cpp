#include "cli/TtyLines.h"

#include <string>
#include <string_view>

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

void PrintTtyLines(const std::vector<Detect::HeardTty>& messages, int rate, std::FILE* out) {
    for (const Detect::HeardTty& message : messages) {
        std::fprintf(out, "TTY %.3f %.3f %s %s \"%s\" %.1f dBm0\n", static_cast<double>(message.first) / rate,
                     static_cast<double>(message.last + 1) / rate, std::string(Detect::TtyCodingWord(message.coding)).c_str(),
                     message.rate.c_str(), Quoted(message.text).c_str(), message.dbm0);
    }
}

}  // namespace Quorvex::VarnelNet::Cli
