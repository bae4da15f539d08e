// Plays a DTMF number and a ring-back cadence through the default audio device.
// SDL_AUDIODRIVER chooses another output, e.g. SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=out.raw.

#include <chrono>
#include <cstdio>
#include <memory>

#include "sondix/SondixControl.h"
#include "varnel/Varnel.h"

using namespace Quorvex::VarnelNet;
using Quorvex::SondixNet::SondixControl;

int main() {
    auto control = std::make_shared<SondixControl>();  // 8000 Hz, 16-bit
    if (!control->IsPlaying()) {
        std::fprintf(stderr, "play: no audio device: %s\n", control->Error().c_str());
        return 1;
    }
    Varnel varnel;
    varnel.OnComplete += Varnel::Delegate_OnComplete(
        [](Object&, const OnCompleteArgs& e) { std::printf("request %d played\n", e.RequestID()); });

    varnel.Destination(control);  // the control pulls the audio on its own thread
    varnel.GenerateBegin();       // in the control's format
    varnel.GenerateDTMFs("5551234");
    for (int ring = 0; ring < 2; ++ring) varnel.GenerateTone(2000, 4000, 440.0f, 480.0f, 0.0f);
    control->WaitUntilDrained(std::chrono::seconds(30));
    varnel.Destination(nullptr);
    return 0;
}
