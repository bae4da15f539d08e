#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Web {

// One rendering of a script for the page, through the library's language as the tool renders
// it: the WAV file's bytes (those of `varnel -o` for the same script and options), and a
// summary as JSON:
//   {format: {rate, bits, encoding, text, blockAlign}, bytes, seconds, sampleCount,
//    requests: [{index, line, text, kind, description, start, end, warnings}]}
// where start and end count samples from the start of the audio (end excluded). For the
// page's views it also gives the samples as floats from -1 to 1 (for playback and drawing),
// and the symbols' labels in the summary:
//    labels: [{request, kind, symbol, start, end, text}]   (end: the last sample, included)
//    labelTrack, labelLines: the files `varnel --labels` writes (.txt for Audacity, .jsonl)
struct PageRendering {
    std::vector<std::uint8_t> wave;
    std::vector<float> samples;
    std::string summary;
};

// The script's requests for the page: what the language refuses, and ttyfile: requests (a page
// has no files), are refused with a RequestError naming the request.
Script::Requests PageRequests(std::string_view script);

// Refuses (RequestError) a rendering of more than maxBytes of audio, before it is rendered.
void CheckPageLimit(const Script::Rendering& rendering, std::uint64_t maxBytes);

// Renders the script. Refused with a RequestError (naming the request where one is to blame)
// before anything is rendered: what the language refuses, ttyfile: requests (a page has no
// files), and audio of more than maxBytes.
PageRendering RenderForPage(const Script::RenderOptions& options, std::string_view script, std::uint64_t maxBytes,
                            bool forViews);

}  // namespace Quorvex::VarnelNet::Web
