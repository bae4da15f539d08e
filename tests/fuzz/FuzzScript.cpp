#include "FuzzScript.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "varnel/platform/TextFields.h"

namespace Quorvex::VarnelNet::Fuzz {

namespace {

// Up to `digits` hexadecimal digits at the start of text, all of them required.
bool Hex(std::string_view text, std::size_t digits, std::uint32_t* value) {
    if (text.size() < digits) return false;
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const char c = text[i];
        const int d = (c >= '0' && c <= '9')   ? c - '0'
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                               : -1;
        if (d < 0) return false;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    *value = v;
    return true;
}

// Calls unit(value, isUnicodeEscape) for every byte or escape of the text.
template <class Unit>
void Unescape(std::string_view text, Unit unit) {
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t value = 0;
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char kind = text[i + 1];
            if (kind == '\\') {
                unit(static_cast<std::uint32_t>('\\'), false);
                i += 2;
                continue;
            }
            if (kind == 'x' && Hex(text.substr(i + 2), 2, &value)) {
                unit(value, false);
                i += 4;
                continue;
            }
            if (kind == 'u' && Hex(text.substr(i + 2), 4, &value)) {
                unit(value, true);
                i += 6;
                continue;
            }
        }
        unit(static_cast<std::uint8_t>(text[i]), false);
        ++i;
    }
}

}  // namespace

Command ParseCommand(std::string_view line) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return {line, {}};
    return {line.substr(0, space), line.substr(space + 1)};
}

std::vector<Command> ParseScript(std::string_view script, std::size_t maxCommands) {
    std::vector<Command> commands;
    for (const std::string_view line : Fields(script, '\n')) {
        if (commands.size() == maxCommands) break;
        if (!line.empty()) commands.push_back(ParseCommand(line));
    }
    return commands;
}

std::vector<std::string_view> Fields(std::string_view text, char separator) { return SplitFields(text, separator); }

std::string_view Field(std::string_view args, std::size_t i) {
    const std::vector<std::string_view> fields = Fields(args, ' ');
    return i < fields.size() ? fields[i] : std::string_view();
}

std::string_view Rest(std::string_view args, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t space = args.find(' ');
        if (space == std::string_view::npos) return {};
        args.remove_prefix(space + 1);
    }
    return args;
}

std::int32_t Int32(std::string_view field) {
    const std::string text(field);
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<unsigned long long>(value)));
}

std::uint32_t UInt32(std::string_view field) { return static_cast<std::uint32_t>(Int32(field)); }

float Float(std::string_view field) {
    const std::string text(field);
    return std::strtof(text.c_str(), nullptr);
}

bool IsNull(std::string_view field) { return field == "~"; }

std::u16string Wide(std::string_view field) {
    std::u16string text;
    Unescape(field, [&](std::uint32_t value, bool) { text.push_back(static_cast<char16_t>(value)); });
    return text;
}

std::string Bytes(std::string_view field) {
    std::string text;
    Unescape(field, [&](std::uint32_t value, bool unicode) {
        if (!unicode || value < 0x80) {
            text.push_back(static_cast<char>(value));
        } else if (value < 0x800) {
            text.push_back(static_cast<char>(0xC0 | (value >> 6)));
            text.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else {
            text.push_back(static_cast<char>(0xE0 | (value >> 12)));
            text.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        }
    });
    return text;
}

bool PullBudget::Take(std::int32_t* size) {
    const std::int64_t affordable = m_bytes / m_weight;
    if (m_pulls <= 0 || affordable <= 0) return false;
    --m_pulls;
    if (*size > affordable) *size = static_cast<std::int32_t>(affordable);
    if (*size > 0) m_bytes -= std::int64_t{*size} * m_weight;
    return true;
}

void PullBudget::Weigh(std::int64_t tones) { m_weight = std::max(m_weight, (tones + 3) / 4); }

std::int64_t TonesPerStep(std::string_view notation) {
    std::int64_t most = 1;
    for (const std::string_view step : Fields(notation, ',')) {
        most = std::max<std::int64_t>(most, static_cast<std::int64_t>(std::count(step.begin(), step.end(), '|')) + 1);
    }
    return most;
}

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "contract broken: %s\n", what);
    std::abort();
}

}  // namespace Quorvex::VarnelNet::Fuzz
