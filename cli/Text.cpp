#include "cli/Text.h"

namespace Quorvex::VarnelNet::Cli {

std::string Wrapped(const std::string& text, std::size_t indent, std::size_t width) {
    std::string lines;
    std::string line;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
            lines += std::string(indent, ' ') + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    return lines + std::string(indent, ' ') + line + "\n";
}

}  // namespace Quorvex::VarnelNet::Cli
