#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnel_python {

// The samples of a rendering, and whether they are 16-bit PCM (else one byte a sample:
// 8-bit PCM or G.711).
struct Rendering {
    std::vector<std::uint8_t> bytes;
    bool wide = false;
};

// The tool's command line for the requests, as `varnel --raw` (path empty) or `varnel -o PATH`
// would take it: format options, then each setting as --NAME=VALUE (a flag as --NAME when
// its value is "1", left out when "0"), --dbm0 when given, then the requests after "--".
struct RenderArguments {
    std::vector<std::string> requests;
    std::string rate, bits, encoding;
    std::vector<std::pair<std::string, std::string>> settings;  // option name, value
    std::string dbm0;                                           // empty: not given
};

// Parses the arguments with the tool's parser and renders the requests as `varnel --raw`
// writes them. Throws the tool's UsageError for what the tool would refuse as a usage error,
// and the component's exceptions for a refused request. Runs without the GIL.
Rendering RenderRaw(const RenderArguments& arguments);

// The same requests into a RIFF/WAVE file, as `varnel -o PATH` writes it; a file the
// component had started is removed when a request is refused.
void RenderFile(const RenderArguments& arguments, const std::string& path);

}  // namespace varnel_python
