#pragma once

#include <string>
#include <string_view>

#include "varnel/platform/PrintableText.h"

namespace Quorvex::VarnelNet::Cli {

// The words of text as lines of at most width columns (unless a word is longer), each indented
// to column indent and ended by a newline.
std::string Wrapped(const std::string& text, std::size_t indent, std::size_t width = 94);

}  // namespace Quorvex::VarnelNet::Cli
