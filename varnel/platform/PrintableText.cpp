#include "varnel/platform/PrintableText.h"

#include <cstdint>
#include <cstdio>

namespace Quorvex::VarnelNet {

namespace {

// The length of the well-formed UTF-8 sequence at the start of text, or 0.
std::size_t SequenceLength(std::string_view text, char32_t& codePoint) {
    const auto lead = static_cast<std::uint8_t>(text[0]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(text[i]);
        if ((next & 0xC0u) != 0x80u) return 0;
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < minimum || codePoint > 0x10FFFF || surrogate ? 0 : length;
}

std::string Escaped(const char* format, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string printable;
    printable.reserve(text.size());
    while (!text.empty()) {
        char32_t c = 0;
        const std::size_t length = SequenceLength(text, c);
        if (length == 0) {
            printable += Escaped("\\x%02x", static_cast<std::uint8_t>(text[0]));
            text.remove_prefix(1);
            continue;
        }
        if (c == '\n') {
            printable += "\\n";
        } else if (c == '\t') {
            printable += "\\t";
        } else if (c == '\r') {
            printable += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            printable += Escaped("\\x%02x", static_cast<unsigned>(c));
        } else if (c >= 0x80 && c < 0xA0) {
            printable += Escaped("\\u%04x", static_cast<unsigned>(c));
        } else {
            printable.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return printable;
}

}  // namespace Quorvex::VarnelNet
