#pragma once

#include <string>
#include <string_view>

namespace Quorvex::VarnelNet {

// The text as it may be echoed in a message: control characters are escaped ("\n", "\t",
// "\r", "\x1b", and "\u0085" for the C1 controls), and so are bytes that are not UTF-8
// ("\xff"); everything else is kept.
std::string Printable(std::string_view text);

}  // namespace Quorvex::VarnelNet
