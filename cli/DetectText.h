#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "varnel/detect/PcapStreams.h"
#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Cli {

// Text blocks less than this apart make one line of text.
inline constexpr std::uint64_t kTextPause = Detect::kStreamRate;

// The real-time text of a stream, on out unless it is null: in a timeline a line for each run of
// blocks (RTT START END "TEXT", START the first block's time and END the last's), in JSON lines
// a label a character (kind t140, symbol character, index its place in the stream's text), each
// label also added to heard with the fields.
void PrintTexts(const Detect::RtpStream& stream, bool json, std::FILE* out, std::vector<Script::Label>& heard,
                const std::vector<std::pair<std::string, std::string>>& fields);

}  // namespace Quorvex::VarnelNet::Cli
