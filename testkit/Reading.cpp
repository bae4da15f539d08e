#include "testkit/Reading.h"

#include <algorithm>

#include "varnel/platform/DecimalText.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

// Like the scoring of keys: each line cut to its first 1024 characters.
constexpr std::size_t kLongestLine = 1024;

std::optional<double> Seconds(std::string_view text) {
    double value = 0.0;
    if (text.empty() || ReadDecimal(text, value) != DecimalRead::Number || !(value >= 0.0)) return std::nullopt;
    return value;
}

// "KEY START END ...": the key and its times, or nothing for another line.
std::optional<ReportedKey> TimelineKey(std::string_view line) {
    std::vector<std::string_view> words;
    while (words.size() < 3 && !line.empty()) {
        const std::size_t space = std::min(line.find(' '), line.size());
        words.push_back(line.substr(0, space));
        line.remove_prefix(std::min(space + 1, line.size()));
    }
    if (words.size() < 3 || words[0].size() != 1) return std::nullopt;
    const std::optional<double> start = Seconds(words[1]), end = Seconds(words[2]);
    if (!start || !end) return std::nullopt;
    return ReportedKey{std::string(words[0]), start, end};
}

std::string_view MappedKey(std::string_view symbol, const KeyMap& keyMap) {
    for (const auto& [from, to] : keyMap) {
        if (from == symbol) return to;
    }
    return symbol;
}

template <typename EachLine>
void Lines(std::string_view output, EachLine each) {
    while (!output.empty()) {
        const std::size_t end = output.find('\n');
        each(output.substr(0, std::min({end, output.size(), kLongestLine})));
        if (end == std::string_view::npos) break;
        output.remove_prefix(end + 1);
    }
}

void ReadNamed(std::string_view output, const FieldPattern& pattern, const KeyMap& keyMap, Reading& reading) {
    const std::optional<std::size_t> key = pattern.Group("key"), number = pattern.Group("number");
    const std::optional<std::size_t> start = pattern.Group("start"), end = pattern.Group("end");
    Lines(output, [&](std::string_view view) {
        const std::string line(view);
        for (auto it = std::sregex_iterator(line.begin(), line.end(), pattern.regex); it != std::sregex_iterator(); ++it) {
            const std::smatch& match = *it;
            const auto text = [&](std::optional<std::size_t> group) -> std::optional<std::string> {
                if (!group || !match[*group].matched) return std::nullopt;
                return match[*group].str();
            };
            if (const std::optional<std::string> k = text(key)) {
                const std::string mapped(MappedKey(*k, keyMap));
                reading.detected += mapped;
                const std::optional<std::string> s = text(start), e = text(end);
                reading.keys.push_back({mapped, s ? Seconds(*s) : std::nullopt, e ? Seconds(*e) : std::nullopt});
            } else if (const std::optional<std::string> n = text(number); n && !key) {
                reading.detected += *n;
            }
            for (const auto& group : pattern.groups) {
                const std::string& name = group.first;
                if (name == "key" || name == "start" || name == "end" || !match[group.second].matched) continue;
                const bool known = std::any_of(reading.fields.begin(), reading.fields.end(), [&](const auto& f) { return f.first == name; });
                if (!known) reading.fields.emplace_back(name, match[group.second].str());
            }
        }
    });
}

}  // namespace

Reading ReadOutput(std::string_view output, const std::optional<FieldPattern>& pattern, const KeyMap& keyMap) {
    Reading reading;
    if (pattern && pattern->Named()) {
        ReadNamed(output, *pattern, keyMap, reading);
        return reading;
    }
    reading.detected = Detected(output, pattern ? std::optional<std::regex>(pattern->regex) : std::nullopt, keyMap);
    if (pattern) return reading;
    Lines(output, [&](std::string_view line) {
        if (std::optional<ReportedKey> key = TimelineKey(line)) {
            key->key = std::string(MappedKey(key->key, keyMap));
            reading.keys.push_back(std::move(*key));
        }
    });
    return reading;
}

}  // namespace Quorvex::VarnelNet::Kit
