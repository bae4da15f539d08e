#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Quorvex::VarnelNet {

// The library's narrow ("ANSI") code page is Windows-1252. Characters it lacks become '?';
// a surrogate pair counts as one character.
std::string NarrowToAnsi(std::u16string_view text);

// Widens Windows-1252 text into out, at most capacity - 1 characters plus a terminating zero.
// Returns the number of characters written before the terminator. capacity must be >= 1.
std::size_t WidenFromAnsi(std::string_view text, char16_t* out, std::size_t capacity);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16. Every maximal ill-formed subsequence (a stray or truncated sequence, an
// overlong form, an encoded surrogate, a code point above U+10FFFF) becomes one U+FFFD, as the
// Unicode Standard recommends; code points above U+FFFF become surrogate pairs.
std::u16string Utf8ToUtf16(std::string_view text);

// A zero-terminated UTF-16 text as a view; nullptr gives an empty view.
inline std::u16string_view WideView(const char16_t* text) {
    return text ? std::u16string_view(text) : std::u16string_view();
}

// A UTF-8 text as the engine takes it: UTF-16, zero-terminated, and nullptr when empty (the
// engine's null text, which the component treats as an empty one).
class WideArgument {
public:
    explicit WideArgument(std::string_view text) : m_text(Utf8ToUtf16(text)) {}
    const char16_t* get() const { return m_text.empty() ? nullptr : m_text.c_str(); }

private:
    std::u16string m_text;
};

}  // namespace Quorvex::VarnelNet
