#include "cli/Playback.h"

#include "cli/Interrupt.h"
#include "cli/Session.h"

#if VARNEL_HAVE_SONDIX
#include <chrono>
#include <memory>

#include "sondix/SondixControl.h"
#endif

namespace Quorvex::VarnelNet::Cli {

#if VARNEL_HAVE_SONDIX

namespace {

// SDL lets a closing device play out twice its buffer before it returns, so the buffer is kept
// short, about 25 ms (a power of two of samples), for playback to stop at once on a signal.
std::uint16_t ShortBuffer(std::int32_t sampleRate) {
    std::uint16_t samples = 64;
    while (samples < 8192 && samples * 40 < sampleRate) samples = static_cast<std::uint16_t>(samples * 2);
    return samples;
}

}  // namespace

bool PlaybackAvailable() { return true; }

void PlayRequests(const Options& options, const std::vector<Request>& requests, double seconds, std::FILE* err) {
    using Quorvex::SondixNet::SondixControl;
    // The device is opened in the component's format (its defaults, the options and the leading
    // set: requests), which the component takes back from the control at GenerateBegin.
    SondixControl::Options device;
    {
        Varnel probe;
        ApplyLeadingSettings(probe, options, requests);
        device.sampleRate = probe.SampleRate();
        device.bitsPerSample = probe.BitsPerSample();
        device.samplesPerBuffer = ShortBuffer(device.sampleRate);
    }
    // Declared before the component, so that the component (which unbinds it) goes first.
    const auto control = std::make_shared<SondixControl>(device);
    if (!control->IsPlaying()) throw Failure("cannot open the audio device", control->Error());

    Varnel varnel;
    if (options.verbose) PrintDebugLines(varnel, err);
    std::size_t next = ApplyLeadingSettings(varnel, options, requests);
    try {
        varnel.Destination(control);
        varnel.GenerateBegin();
    } catch (const Exception& e) {
        throw Failure("cannot start playback", Reason(e));
    }
    for (; next < requests.size(); ++next) QueueOrFail(varnel, requests[next]);
    // Everything queued plays in real time; the margin covers the device's buffers. A signal
    // ends the wait at once, and the queue is dropped so that the device falls silent.
    const auto timeout = std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000.0) + 10000);
    const bool drained = control->WaitUntilDrained(timeout, [] { return CaughtSignal() != 0; });
    varnel.GenerateEnd();
    varnel.Destination(nullptr);
    if (const int signal = CaughtSignal(); signal != 0 && !drained) throw Interrupted(signal, "playback stopped");
    if (!drained) throw Failure("playback", "the audio device did not finish playing in time");
    std::fprintf(err, "varnel: played %.3f s through the %s audio driver, %d Hz, %d-bit mono\n", seconds,
                 control->Driver().c_str(), device.sampleRate, device.bitsPerSample);
}

#else

bool PlaybackAvailable() { return false; }

void PlayRequests(const Options&, const std::vector<Request>&, double, std::FILE*) {
    throw Failure("", "playback is not available in this build");
}

#endif

}  // namespace Quorvex::VarnelNet::Cli
