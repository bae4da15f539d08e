#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cli/Options.h"
#include "cli/Request.h"
#include "varnel/Varnel.h"

namespace Quorvex::VarnelNet::Cli {

// The component refused something, or the output failed: exit status 1. context names what
// (the request as written, the output file; may be empty), what() is the reason.
class Failure : public std::runtime_error {
public:
    Failure(std::string context, const std::string& reason) : std::runtime_error(reason), m_context(std::move(context)) {}
    const std::string& Context() const { return m_context; }

private:
    std::string m_context;
};

// The reason a component exception gives: its text, or its HRESULT when the text is empty.
std::string Reason(const Exception& e);

// Queues one request on the component and returns the request IDs it got: one for most kinds,
// one per step for tones: (a sounding step is GenerateTone(duration, 0, f1, f2, f3), a pause
// GenerateSilence(duration); a pause of 0 ms queues nothing), none for set:, which changes the
// setting. A request with a --dbm0 level sets Amplitude first (for tones:, before each step).
// The component's exceptions pass through.
std::vector<std::int32_t> QueueRequest(Varnel& varnel, const Request& request);

// QueueRequest, with a refusal turned into a Failure naming the request.
std::vector<std::int32_t> QueueOrFail(Varnel& varnel, const Request& request);

// Applies the tool's defaults (ToolDefaults), the options' settings, then the set: requests
// that come before the first signal request, so that they shape the stream's format. Returns
// the index of the first request not yet applied.
std::size_t ApplyLeadingSettings(Varnel& varnel, const Options& options, const std::vector<Request>& requests);

// Prints every diagnostic line of the component to err.
void PrintDebugLines(Varnel& varnel, std::FILE* err);

// The bytes one second of the component's output takes: G.711 writes one byte a sample.
double BytesPerSecond(const Varnel& varnel);

// The output format as the tool reports it: "8000 Hz, 16-bit mono", "8000 Hz, G.711 mu-law mono".
std::string FormatText(const Varnel& varnel);

// The format record of the component's output, as its own WAV files carry it.
WAVEFORMATEX WaveFormat(const Varnel& varnel);

// Every setting of the component as "NAME=VALUE", separated by spaces.
std::string SettingsText(const Varnel& varnel);

// What the tool warns about a request at the output's sample rate: what its parsing found
// (skipped DTMF keys), and any frequency of a tone, tones, pattern or plan request at or above
// half the rate, which aliases.
std::vector<std::string> Warnings(const Request& request, std::int32_t sampleRate);

// What one request of the command line rendered.
struct RequestSummary {
    const Request* request = nullptr;
    std::vector<std::int32_t> ids;
    std::uint64_t bytes = 0;  // of samples
    double bytesPerSecond = 0.0;
    double Seconds() const;
};

// Queues requests[first...] on the component's buffer stream, without rendering them, and takes
// the bytes each one will give from the queue (QueuedBytes), so that their lengths are known
// exactly (and any the component refuses is found) before anything is written. set: requests
// are applied, not listed. Throws Failure.
std::vector<RequestSummary> QueueAndMeasure(Varnel& varnel, const std::vector<Request>& requests, std::size_t first);

// QueueAndMeasure on a component of its own, with the options and the leading set: requests
// applied: the same settings and the same order give the same lengths as any rendering.
std::vector<RequestSummary> MeasureRequests(const Options& options, const std::vector<Request>& requests);

// The bytes of all the summaries.
std::uint64_t TotalBytes(const std::vector<RequestSummary>& summaries);

// Starts the component's buffer stream; throws Failure.
void BeginStream(Varnel& varnel);

}  // namespace Quorvex::VarnelNet::Cli
