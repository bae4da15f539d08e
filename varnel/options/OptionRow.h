#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Quorvex::VarnelNet::Option {

// Where an option's value lands.
enum class Target : std::uint8_t {
    Tool,        // the tool's own (outputs, scripts, help): cli/Options.cpp applies it
    Setting,     // a row of the settings catalog, in the render options
    Impairment,  // the render options' impairments (varnel/script/Impairments.h)
    Session,     // an RTP session's options (varnel/rtp/SessionOptions.h)
    Kit,         // a test kit command's (cli/KitOptions.cpp)
};

// How its value is written.
enum class Kind : std::uint8_t {
    Flag,      // no value; as a pair "1" or "0"
    Whole,     // a whole number from least to most
    Number,    // a decimal number from lowest to highest
    Keyword,   // one of the words
    Time,      // a time since 1970 (ReadTime), or "now"
    Address,   // ADDRESS:PORT or [IPV6]:PORT
    Share,     // I/N
    Compound,  // a form of its own ("N[:ulaw|alaw]", "MS@EVERY"), read by its target
    Text,      // a file name, a script, a level: read by its target
};

// One option, described once: the tool parses it, --help and the bash completion list it,
// Python takes it as a keyword argument, by this row. A refusal of its value says "is not NOUN
// from LOWEST to HIGHEST UNIT" ("is not a percentage from -50 to 50").
struct OptionRow {
    std::string_view name;  // "freq-offset"
    char letter = 0;        // its short option, or 0
    Target target = Target::Tool;
    Kind kind = Kind::Flag;
    std::string_view placeholder;  // "PERCENT", "inband|rfc4733|rfc2833"
    std::string_view noun;         // "a percentage"
    std::string_view unit;         // " dB", " dBm0": after the range in a refusal
    double lowest = 0.0;           // Kind::Number
    double highest = 0.0;
    std::uint64_t least = 0;  // Kind::Whole
    std::uint64_t most = 0;
    std::string_view fallback;  // the value without the option, as written ("20"), or empty
    std::string_view words;     // the values to complete, separated by spaces, or empty
    std::string_view help;      // for --help; empty where the tool's help has its own prose

    bool TakesValue() const { return kind != Kind::Flag; }
};

// "-50 to 50", "1 to 10", "-100 to +3.14": the row's range (least to most where most is set),
// levels in dBm0 with their sign.
std::string RangeText(const OptionRow& row);

// "is not a percentage from -50 to 50", "is not a level from -100 to +3.14 dBm0".
std::string RangeReason(const OptionRow& row);

// The row's value read by the readers within its range; refused with OptionRefused in the
// row's terms.
std::uint64_t WholeOf(const OptionRow& row, std::string_view text);
double NumberOf(const OptionRow& row, std::string_view text);
bool FlagOf(const OptionRow& row, std::string_view text);

// A row with what applies it to a target of type T (Impairments, SessionOptions).
template <class T>
struct AppliedRow {
    OptionRow row;
    void (*apply)(T& target, const OptionRow& row, std::string_view text);
};

}  // namespace Quorvex::VarnelNet::Option
