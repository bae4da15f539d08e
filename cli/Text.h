#pragma once

#include <string>
#include <string_view>

namespace Quorvex::VarnelNet::Cli {

// The text as it may be echoed in a message: control characters are escaped ("\n", "\t",
// "\r", "\x1b", and "\u0085" for the C1 controls), and so are bytes that are not UTF-8
// ("\xff"); everything else is kept.
std::string Printable(std::string_view text);

// The words of text as lines of at most width columns (unless a word is longer), each indented
// to column indent and ended by a newline.
std::string Wrapped(const std::string& text, std::size_t indent, std::size_t width = 94);

}  // namespace Quorvex::VarnelNet::Cli
