#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "varnel/engine/ErrorTexts.h"
#include "varnel/render/ByteSink.h"

namespace Quorvex::VarnelNet::Cli {

// Where the tool writes an output named on its command line: "-" is the stream out (standard
// output), written as the bytes come, a blocked write stopped by a signal; any other path a file
// replaced only once complete, whose failures say `refusal` ("Unable to create or write this
// wave file.") with the system's reason.
std::unique_ptr<Render::ByteSink> OpenSink(const std::string& path, std::FILE* out, const char* refusal = ErrorText::kWaveFile);

}  // namespace Quorvex::VarnelNet::Cli
