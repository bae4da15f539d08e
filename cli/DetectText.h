#pragma once

#include <cstdio>

#include "varnel/detect/PcapStreams.h"

namespace Quorvex::VarnelNet::Cli {

// Text blocks less than this apart make one line of text.
inline constexpr std::uint64_t kTextPause = Detect::kStreamRate;

// The real-time text of a stream as timeline lines, a line for each run of blocks
// (RTT START END "TEXT", START the first block's time and END the last's).
void PrintTextLines(const Detect::RtpStream& stream, std::FILE* out);

}  // namespace Quorvex::VarnelNet::Cli
