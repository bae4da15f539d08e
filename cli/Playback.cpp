#include "cli/Playback.h"

#include "cli/Interrupt.h"
#include "cli/Failure.h"
#include "varnel/Varnel.h"

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

void PlayRequests(const Options& options, const Script::Requests& requests, const Script::Rendering& measured,
                  std::FILE* err) {
    using Quorvex::SondixNet::SondixControl;
    // The device is opened in the format of the rendering, which the component takes back from
    // the control at GenerateBegin.
    SondixControl::Options device;
    device.sampleRate = measured.StartSettings().Integer(SettingsCatalog::kSampleRate);
    device.bitsPerSample = measured.StartSettings().Integer(SettingsCatalog::kBitsPerSample);
    device.samplesPerBuffer = ShortBuffer(device.sampleRate);
    // Declared before the component, so that the component (which unbinds it) goes first.
    const auto control = std::make_shared<SondixControl>(device);
    if (!control->IsPlaying()) throw Failure("cannot open the audio device", control->Error());

    Varnel varnel;
    if (options.verbose) {
        varnel.OnDebug += Varnel::Delegate_OnDebug(
            [err](Object&, const OnDebugArgs& e) { std::fprintf(err, "%s\n", e.InfoMsg().c_str()); });
    }
    try {
        for (const Script::Set& setting : Script::StartingSettings(options.render)) varnel.Set(*setting.spec, setting.value);
        std::size_t next = 0;
        for (; next < requests.size() && Script::IsSetting(requests[next].request); ++next) varnel.Generate(requests[next].request);
        varnel.Destination(control);
        varnel.GenerateBegin();
        for (; next < requests.size(); ++next) varnel.Generate(requests[next].request);
    } catch (const Exception& e) {
        throw Failure("cannot start playback", e.what());
    }
    // Everything queued plays in real time; the margin covers the device's buffers. A signal
    // ends the wait at once, and the queue is dropped so that the device falls silent.
    const double seconds = measured.TotalSeconds();
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

void PlayRequests(const Options&, const Script::Requests&, const Script::Rendering&, std::FILE*) {
    throw Failure("", "playback is not available in this build");
}

#endif

}  // namespace Quorvex::VarnelNet::Cli
