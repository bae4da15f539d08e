#include "testkit/TextScore.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "testkit/Score.h"
#include "varnel/platform/DecimalText.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr std::size_t kComparedSlack = 64;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Collapsed(std::string_view text) {
    std::string out;
    bool gap = false;
    for (const char c : text) {
        if (IsSpace(c)) {
            gap = !out.empty();
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) continue;
        if (gap) out += ' ';
        gap = false;
        out += c;
    }
    return out;
}

// The text between the quotes of a TTY timeline line, unescaped, or nothing when the line is
// not one.
std::optional<std::string> TimelineText(std::string_view line) {
    if (line.rfind("TTY ", 0) != 0) return std::nullopt;
    const std::size_t open = line.find('"');
    if (open == std::string_view::npos) return std::nullopt;
    std::string text;
    for (std::size_t i = open + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') return text;
        if (c != '\\' || i + 1 >= line.size()) {
            text += c;
        } else if (line[i + 1] == 'x' && i + 3 < line.size()) {
            text += static_cast<char>(std::stoi(std::string(line.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            text += line[++i];
        }
    }
    return std::nullopt;
}

}  // namespace

bool CarriesText(const ManifestRow& row) { return !row.Parameter("tty_mode").empty(); }

std::string ReceivedText(std::string_view output, const std::optional<std::regex>& pattern) {
    if (pattern) return Collapsed(Detected(output, pattern));
    std::string text;
    bool lineBefore = false;
    while (!output.empty()) {
        const std::size_t end = std::min(output.find('\n'), output.size());
        const std::string_view line = output.substr(0, end);
        std::optional<std::string> heard;
        try {
            heard = TimelineText(line);
        } catch (const std::exception&) {  // an escape that is no hex number
            heard.reset();
        }
        if (heard) {
            text += *heard;
            lineBefore = false;
        } else if (!IsKeyOrSignalLine(line)) {
            if (lineBefore) text += ' ';
            text += line;
            lineBefore = true;
        }
        output.remove_prefix(std::min(end + 1, output.size()));
    }
    return Collapsed(text);
}

double CharacterErrorRate(std::string_view sent, std::string_view received) {
    if (sent.empty()) return received.empty() ? 0.0 : 1.0;
    const std::size_t compared = std::min(received.size(), 4 * sent.size() + kComparedSlack);
    std::vector<std::size_t> row(compared + 1), next(compared + 1);
    for (std::size_t j = 0; j <= compared; ++j) row[j] = j;
    for (std::size_t i = 1; i <= sent.size(); ++i) {
        next[0] = i;
        for (std::size_t j = 1; j <= compared; ++j) {
            const std::size_t substitution = row[j - 1] + (sent[i - 1] == received[j - 1] ? 0 : 1);
            next[j] = std::min({row[j] + 1, next[j - 1] + 1, substitution});
        }
        std::swap(row, next);
    }
    const std::size_t distance = row[compared] + (received.size() - compared);
    return static_cast<double>(distance) / static_cast<double>(sent.size());
}

bool TextPasses(const ManifestRow& row, std::string_view received) {
    return row.verdict == Verdict::Detect && CharacterErrorRate(row.sent, received) <= kPassingCharacterErrors + 1e-12;
}

std::string CerText(double rate) { return "CER " + ShortestText(std::round(rate * 10000.0) / 100.0) + " %"; }

}  // namespace Quorvex::VarnelNet::Kit
