#include "varnel/script/Labels.h"

#include <cstdio>

#include "varnel/options/Refusal.h"
#include "varnel/platform/DecimalText.h"
#include "varnel/platform/PrintableText.h"
#include "varnel/script/Request.h"
#include "varnel/signal/DtmfKeypad.h"
#include "varnel/script/RequestError.h"

namespace Quorvex::VarnelNet::Script {

namespace {

std::string Hex(std::int32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value) & 0xFFu);
    return text;
}

std::string HzText(const std::vector<double>& hz) {
    std::string text;
    for (const double f : hz) {
        if (!text.empty()) text += '+';
        text += ShortestText(f);
    }
    return text + " Hz";
}

// The length of the UTF-8 sequence at the start of text, or 0 when it is not one.
std::size_t Utf8Length(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

// A JSON string: quotes, backslashes and control characters escaped.
std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char ch : Utf8Text(text)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string Seconds(std::uint64_t samples, double sampleRate) {
    char text[40];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(samples) / sampleRate);
    return text;
}

}  // namespace

std::string Utf8Text(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t sequence = c >= 0x80 ? Utf8Length(text.substr(i)) : 1;
        if (sequence == 0) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        } else {
            out.append(text.substr(i, sequence));
            i += sequence;
        }
    }
    return out;
}

std::string_view SymbolWord(SymbolKind kind) {
    switch (kind) {
        case SymbolKind::Key: return "key";
        case SymbolKind::Tone: return "tone";
        case SymbolKind::Silence: return "silence";
        case SymbolKind::Message: return "message";
        case SymbolKind::Byte: return "byte";
        case SymbolKind::Character: return "character";
    }
    return "symbol";
}

std::string LabelText(const Label& label) {
    if (label.mixed) {
        Label own = label;
        own.mixed = false;
        return "mix: " + LabelText(own);
    }
    switch (label.symbol) {
        case SymbolKind::Key:
        case SymbolKind::Character: return Printable(label.text);
        case SymbolKind::Tone: return (label.text.empty() ? "" : label.text + " ") + HzText(label.hz);
        case SymbolKind::Silence: return "silence";
        case SymbolKind::Byte: return "byte " + std::to_string(label.index) + " " + Hex(label.value);
        case SymbolKind::Message: {
            std::string text = label.text;
            for (const auto& [name, value] : label.fields) text += " " + name + "=" + Printable(value);
            return text;
        }
    }
    return {};
}

std::string AudacityLabels(std::span<const Label> labels, double sampleRate) {
    std::string text;
    for (const Label& label : labels) {
        text += Seconds(label.first, sampleRate) + "\t" + Seconds(label.end, sampleRate) + "\t" + LabelText(label) + "\n";
    }
    return text;
}

std::string JsonLabels(std::span<const Label> labels) {
    std::string out;
    for (const Label& label : labels) {
        out += "{\"request\":" + std::to_string(label.position) + ",\"kind\":" + JsonString(label.kind) +
               ",\"symbol\":" + JsonString(SymbolWord(label.symbol)) + ",\"start\":" + std::to_string(label.first) +
               ",\"end\":" + std::to_string(label.end - 1);
        if (!label.text.empty()) out += ",\"text\":" + JsonString(label.text);
        if (!label.hz.empty()) {
            out += ",\"hz\":[";
            for (std::size_t i = 0; i < label.hz.size(); ++i) {
                if (i > 0) out += ',';
                out += ShortestText(label.hz[i]);
            }
            out += "]";
        }
        if (label.index >= 0) out += ",\"index\":" + std::to_string(label.index);
        if (label.value >= 0) out += ",\"value\":" + std::to_string(label.value);
        if (label.mixed) out += ",\"mix\":true";
        if (!label.fields.empty()) {
            out += ",\"fields\":{";
            for (std::size_t i = 0; i < label.fields.size(); ++i) {
                if (i > 0) out += ',';
                out += JsonString(label.fields[i].first) + ":" + JsonString(label.fields[i].second);
            }
            out += "}";
        }
        out += "}\n";
    }
    return out;
}

Label HeardKeyLabel(char key, std::uint64_t firstSample, std::uint64_t end, std::string_view kind) {
    Label label;
    label.kind = kind;
    label.symbol = SymbolKind::Key;
    label.first = firstSample;
    label.end = end;
    label.text = std::string(1, key);
    if (const auto pair = DtmfKeypad::Find(key)) label.hz = {static_cast<double>(pair->row), static_cast<double>(pair->column)};
    return label;
}

Label HeardCharacterLabel(std::string text, std::int32_t index, std::int32_t code, std::uint64_t firstSample, std::uint64_t end) {
    Label label;
    label.kind = "tty";
    label.symbol = SymbolKind::Character;
    label.first = firstSample;
    label.end = end;
    label.text = std::move(text);
    label.index = index;
    label.value = code;
    return label;
}

LabelFormat LabelFormatOf(std::string_view path) {
    const auto endsWith = [&](std::string_view suffix) {
        return path.size() > suffix.size() && path.substr(path.size() - suffix.size()) == suffix;
    };
    if (endsWith(".txt")) return LabelFormat::Audacity;
    if (endsWith(".jsonl")) return LabelFormat::JsonLines;
    Option::Refuse("labels", path, "names neither a .txt file (Audacity's label track) nor a .jsonl file (JSON lines)");
}

void LabelRecorder::Expect(std::int32_t requestId, const Entry& entry, std::uint64_t firstSample) {
    m_origins[requestId] = {&entry, firstSample};
}

void LabelRecorder::Add(std::int32_t requestId, const Symbol& symbol) {
    const auto origin = m_origins.find(requestId);
    if (origin == m_origins.end() || symbol.last < symbol.first || symbol.first < 0) return;
    Label label;
    label.position = origin->second.entry->index;
    label.kind = KindOf(origin->second.entry->request).word;
    label.symbol = symbol.kind;
    label.first = origin->second.firstSample + static_cast<std::uint64_t>(symbol.first);
    label.end = origin->second.firstSample + static_cast<std::uint64_t>(symbol.last) + 1;
    label.text = symbol.text;
    label.hz.assign(symbol.hz.begin(), symbol.hz.begin() + std::min(symbol.toneCount, 3));
    label.index = symbol.index;
    label.value = symbol.value;
    for (const SymbolField& field : symbol.fields) label.fields.emplace_back(field.name, field.value);
    m_labels.push_back(std::move(label));
}

}  // namespace Quorvex::VarnelNet::Script
