#pragma once

// The small command language most harnesses read, so that a corpus entry or a crash reproducer
// is a readable call sequence:
//
//   rate 96000
//   dtmf 12,#
//   pull 1000
//
// One command per line: a word, then (after one space) its arguments. Unknown words are
// skipped. Numbers are base 10; an integer keeps the low 32 bits of what strtoll reads, a float
// is what strtof reads ("nan", "inf", "1e40" and "0x1p31" included). Texts take the rest of
// the field with three escapes: \xHH (one byte or UTF-16 unit), \uHHHH (one UTF-16 unit; as
// UTF-8 in a byte text, surrogates too) and \\; a field that is exactly ~ is the null text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Quorvex::VarnelNet::Fuzz {

struct Command {
    std::string_view word;
    std::string_view args;
};

// The commands of a script, the first maxCommands of them.
std::vector<Command> ParseScript(std::string_view script, std::size_t maxCommands);
Command ParseCommand(std::string_view line);

// Every piece of text between separators, empty ones included.
std::vector<std::string_view> Fields(std::string_view text, char separator);
// Field i of the space-separated arguments, or "" when there are fewer.
std::string_view Field(std::string_view args, std::size_t i);
// The arguments after the first `count` space-separated fields.
std::string_view Rest(std::string_view args, std::size_t count);

std::int32_t Int32(std::string_view field);
std::uint32_t UInt32(std::string_view field);
float Float(std::string_view field);

bool IsNull(std::string_view field);
// The text as UTF-16: each byte one unit (Latin-1), escapes as above.
std::u16string Wide(std::string_view field);
// The text as bytes, escapes as above.
std::string Bytes(std::string_view field);

// Bounds the audio one input may pull, so that a slow input means a hang, not a long render.
// Bytes are weighed by the tones a request sounds at once (a sample costs one step per tone).
class PullBudget {
public:
    PullBudget(std::int64_t bytes, int pulls) : m_bytes(bytes), m_pulls(pulls) {}

    // The size to pull for a requested size: positive sizes are cut to what is left; false
    // once the pulls are used up or nothing is left.
    bool Take(std::int32_t* size);
    // Requests sounding this many tones at once may be queued.
    void Weigh(std::int64_t tones);

private:
    std::int64_t m_bytes;
    int m_pulls;
    std::int64_t m_weight = 1;
};

// The tones of the busiest step of a tone-step notation, counted generously (every '|' starts
// one), for PullBudget::Weigh.
std::int64_t TonesPerStep(std::string_view notation);

// Ends the run with a crash report when a result breaks the contract of the call that gave it.
void Require(bool condition, const char* what);

}  // namespace Quorvex::VarnelNet::Fuzz
