#include "varnel/platform/TextConversion.h"

#include <array>
#include <cstdint>

namespace Quorvex::VarnelNet {

namespace {

// Code points of Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves undefined
// map to the C1 control of the same value, as the Windows conversion functions do.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char AnsiFromCodePoint(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp) return static_cast<char>(0x80 + i);
    }
    return '?';
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Decodes one code point at text[i], advancing i; unpaired surrogates give U+FFFD.
char32_t NextCodePoint(std::u16string_view text, std::size_t& i) {
    const char16_t c = text[i++];
    if (IsHighSurrogate(c) && i < text.size() && IsLowSurrogate(text[i])) {
        const char16_t low = text[i++];
        return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (low - 0xDC00);
    }
    if (IsHighSurrogate(c) || IsLowSurrogate(c)) return 0xFFFD;
    return c;
}

}  // namespace

std::string NarrowToAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) out.push_back(AnsiFromCodePoint(NextCodePoint(text, i)));
    return out;
}

std::size_t WidenFromAnsi(std::string_view text, char16_t* out, std::size_t capacity) {
    std::size_t n = 0;
    for (; n < text.size() && n + 1 < capacity; ++n) {
        const auto byte = static_cast<std::uint8_t>(text[n]);
        out[n] = (byte >= 0x80 && byte < 0xA0) ? kHighControls[byte - 0x80] : char16_t{byte};
    }
    out[n] = 0;
    return n;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = NextCodePoint(text, i);
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    constexpr char16_t kReplacement = 0xFFFD;
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[i++]);
        if (lead < 0x80) {
            out.push_back(char16_t{lead});
            continue;
        }
        // The number of continuation bytes and the range allowed for the first one; the narrow
        // ranges after E0, ED, F0 and F4 exclude overlong forms, surrogates and values above
        // U+10FFFF.
        std::size_t count = 0;
        std::uint8_t low = 0x80;
        std::uint8_t high = 0xBF;
        char32_t cp = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            count = 1;
            cp = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            count = 2;
            cp = lead & 0x0Fu;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            count = 3;
            cp = lead & 0x07u;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            out.push_back(kReplacement);
            continue;
        }
        // A sequence cut short gives one U+FFFD; the byte that broke it starts afresh.
        bool complete = true;
        for (std::size_t k = 0; k < count; ++k) {
            if (i >= text.size()) {
                complete = false;
                break;
            }
            const auto next = static_cast<std::uint8_t>(text[i]);
            if (next < low || next > high) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (next & 0x3Fu);
            ++i;
            low = 0x80;
            high = 0xBF;
        }
        if (!complete) {
            out.push_back(kReplacement);
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char16_t>(cp));
        } else {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        }
    }
    return out;
}

}  // namespace Quorvex::VarnelNet
