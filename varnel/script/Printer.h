#pragma once

#include <string>
#include <string_view>

#include "varnel/script/Request.h"

namespace Quorvex::VarnelNet::Script {

// The canonical text of a request: kind words and keywords in lower case, numbers in their
// shortest exact form, optional durations written out, no spaces around separators. Parsing it
// gives the request back: ParseRequest(Print(r)) == r.
//   plan:uk:busy:4000   pattern:400/375,0/375:3000   tone:1000,0,440   cid:5551234|JOHN DOE
std::string Print(const Request& request);

// The text as one word of a script: as it is when it has no space, quote, backslash or leading
// '#'; otherwise in double quotes, with '"' and '\' escaped. ParseScript gives the text back.
std::string Quote(std::string_view text);

}  // namespace Quorvex::VarnelNet::Script
