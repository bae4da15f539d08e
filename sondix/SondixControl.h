#pragma once

// SondixControl: the playback destination for the varnel component on Linux, over SDL2 audio.
//
//     auto control = std::make_shared<Quorvex::SondixNet::SondixControl>();
//     if (!control->IsPlaying()) std::cerr << control->Error() << '\n';
//     varnel.Destination(control);   // the component takes over the control's window
//     varnel.GenerateBegin();        // and its format (8000 Hz, 16 bits unless set otherwise)
//     varnel.GenerateDTMFs("123");
//     control->WaitUntilDrained(std::chrono::seconds(10));
//     varnel.Destination(nullptr);
//
// The device starts playing when the control is constructed and plays silence until a
// component is bound and has audio queued. OnComplete and OnDebug of a bound component are
// raised on the control's window thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "sondix/SondixDataSource.h"
#include "varnel/facade/CAudioDataSource.h"
#include "varnel/platform/Object.h"

namespace Quorvex::SondixNet {

class SondixControl : public VarnelNet::Object, public VarnelNet::ICustomAdapter {
public:
    using Options = SondixOptions;

    // Opens the SDL audio device at once. A device that cannot be opened is no exception: the
    // control then reports why through Error() and still serves as a (silent) destination.
    explicit SondixControl(Options options = {});
    // Stops and closes the device. The underlying object lives on, silent, for as long as a
    // component still holds it.
    ~SondixControl() override;
    SondixControl(const SondixControl&) = delete;
    SondixControl& operator=(const SondixControl&) = delete;

    std::string ToString() const override { return "Quorvex.SondixNet.SondixControl"; }
    // The SondixDataSource that the component talks to.
    std::shared_ptr<VarnelNet::Object> GetUnderlyingObject() override { return m_source; }

    bool IsPlaying() const { return m_source->IsPlaying(); }
    std::string Error() const { return m_source->Error(); }
    std::string Driver() const { return m_source->Driver(); }
    const VarnelNet::WAVEFORMATEX& PlayFormat() const { return *m_source->get_PlayFormatEx(); }
    std::thread::id WindowThread() const { return m_source->WindowThread(); }
    // Returns true once everything the bound component had queued when this was called has been
    // played (see SondixDataSource::WaitUntilDrained); false on timeout, without a device, or
    // when stop (asked every 20 ms) says so.
    bool WaitUntilDrained(std::chrono::milliseconds timeout, const std::function<bool()>& stop = {}) {
        return m_source->WaitUntilDrained(timeout, stop);
    }

private:
    std::shared_ptr<SondixDataSource> m_source;
};

}  // namespace Quorvex::SondixNet
