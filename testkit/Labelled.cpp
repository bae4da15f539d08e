#include "testkit/Labelled.h"

#include <array>
#include <cstdint>
#include <fstream>

#include <nlohmann/json.hpp>

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr std::size_t kHeaderBytes = 4096;
constexpr std::size_t kDateDigits = 4;  // MMDD before HHMM

std::uint32_t Little32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t k = 4; k-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[at + k]);
    return value;
}

void AddField(Pairs& fields, const std::string& name, const std::string& value) {
    for (const auto& [known, _] : fields) {
        if (known == name) return;
    }
    fields.emplace_back(name, value);
}

std::string Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return "";
    return std::string(text.substr(first, text.find_last_not_of(" \t\r") - first + 1));
}

std::string Digits(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (c >= '0' && c <= '9') digits += c;
    }
    return digits;
}

}  // namespace

Labelled ReadLabels(std::string_view jsonl, double rate) {
    using nlohmann::json;
    Labelled labelled;
    while (!jsonl.empty()) {
        const std::size_t end = std::min(jsonl.find('\n'), jsonl.size());
        const json label = json::parse(jsonl.substr(0, end), nullptr, false);
        jsonl.remove_prefix(std::min(end + 1, jsonl.size()));
        if (!label.is_object()) continue;
        const json none;
        const auto member = [&](const char* name) -> const json& {
            const auto it = label.find(name);
            return it == label.end() ? none : *it;
        };
        const auto text = [&](const char* name) { return member(name).is_string() ? member(name).get<std::string>() : std::string(); };
        if (member("mix").is_boolean() && member("mix").get<bool>()) continue;
        if (!member("start").is_number_unsigned() || !member("end").is_number_unsigned()) continue;
        const double first = member("start").get<double>() / rate, last = (member("end").get<double>() + 1.0) / rate;
        const std::string symbol = text("symbol");
        if (symbol == "key" && text("kind") == "dtmf") labelled.keys.push_back({text("text"), first, last});
        if (symbol != "message" || !member("fields").is_object()) continue;
        AddField(labelled.fields, "type", text("text"));
        const json& fields = member("fields");
        for (const auto& [name, value] : fields.items()) {
            if (!value.is_string()) continue;
            const bool absence = name == "number absence" || name == "name absence";
            AddField(labelled.fields, absence ? "reason" : name, value.get<std::string>());
        }
    }
    return labelled;
}

std::optional<WaveLength> ReadWaveLength(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(kHeaderBytes, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return std::nullopt;
    double rate = 0.0, byteRate = 0.0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const std::uint32_t size = Little32(bytes, at + 4);
        if (id == "fmt " && at + 20 <= bytes.size()) {
            rate = Little32(bytes, at + 12);
            byteRate = Little32(bytes, at + 16);
        } else if (id == "data") {
            if (rate <= 0.0 || byteRate <= 0.0) return std::nullopt;
            return WaveLength{rate, size / byteRate};
        }
        at += 8 + static_cast<std::size_t>(size) + (size & 1u);
    }
    return std::nullopt;
}

std::optional<std::string> ExpectedField(const Labelled& labelled, std::string_view field, bool timeApart) {
    const bool time = field == "time";
    for (const auto& [name, value] : labelled.fields) {
        if (name != (time ? "date" : field)) continue;
        if (time) return value.size() > kDateDigits ? std::optional(value.substr(kDateDigits)) : std::nullopt;
        return field == "date" && timeApart ? value.substr(0, kDateDigits) : value;
    }
    return std::nullopt;
}

bool SameField(std::string_view field, std::string_view expected, std::string_view reported) {
    if (field == "number" || field == "date" || field == "time") return Digits(expected) == Digits(reported);
    return Trimmed(expected) == Trimmed(reported);
}

}  // namespace Quorvex::VarnelNet::Kit
