#pragma once

#include <optional>
#include <regex>
#include <string>
#include <string_view>

#include "testkit/Manifest.h"

namespace Quorvex::VarnelNet::Kit {

// Files that carry text (a tty_mode parameter: the tty suite's and TTY corpus clips) are
// scored by their character error rate, not by keys.

// A file passes at this character error rate or less: the 911 TTY test programs' 1 %.
inline constexpr double kPassingCharacterErrors = 0.01;

bool CarriesText(const ManifestRow& row);

// The text a receiver printed: the quoted text of each TTY timeline line (`TTY START END CODING
// RATE "TEXT" ...`, as `varnel detect` prints them, its escapes undone) run together, every
// other line but varnel detect's lines of keys and other signals as it is, lines apart by a space; with a pattern, the matches of each line
// (Detected). Runs of white space (carriage returns and line feeds included) become one space,
// none at either end; other control characters (the NULs ASCII TTYs send) are left out.
std::string ReceivedText(std::string_view output, const std::optional<std::regex>& pattern);

// The Levenshtein distance of received from sent over the characters sent (1 for a text sent
// empty and something received). Past four times the length sent and 64 more, each character
// received counts as one insertion, without being compared.
double CharacterErrorRate(std::string_view sent, std::string_view received);

bool TextPasses(const ManifestRow& row, std::string_view received);

// "CER 0.5 %": the rate as a report shows it.
std::string CerText(double rate);

}  // namespace Quorvex::VarnelNet::Kit
