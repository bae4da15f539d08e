#pragma once

// The object behind a SondixControl: a stream destination that plays through SDL2 audio.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "varnel/facade/CAudioDataSource.h"

namespace Quorvex::SondixNet {

// How a control plays. The format is PCM mono; the component takes it over at GenerateBegin.
struct SondixOptions {
    std::int32_t sampleRate = 8000;        // samples per second
    std::int32_t bitsPerSample = 16;       // 8 (unsigned) or 16 (signed little-endian)
    const char* driver = nullptr;          // SDL audio driver ("pulseaudio", "alsa", "disk",
                                           // "dummy", ...), taking precedence over the
                                           // SDL_AUDIODRIVER environment variable; nullptr: SDL's
                                           // choice, which honours that variable
    std::uint16_t samplesPerBuffer = 1024; // size of one SDL audio buffer, in samples
};

// Plays through one SDL audio device, opened at construction and running until Close or
// destruction. SDL's audio thread fills each device buffer by pulling the bound component with
// pFun(Receiver, MSG_DATA_REQUEST, buffer address, size) into a staging area of its own (so that
// audio stays contiguous when a pull delivers less than was offered) and plays silence for
// whatever the component does not deliver: nothing bound, an answer of 0 or -1.
//
// set_DestEventhande is synchronous with the pulls: once it returns, the previous pFun is not
// called again, and audio pulled through it but not yet played is dropped. It waits for a pull
// in progress, so pFun must never wait for the thread that rebinds (the component's does not:
// it only posts to the message window); pFun itself may rebind, on the audio thread, without
// waiting.
//
// When SDL audio cannot be opened the object still serves as a destination: it reports its
// format, lends its window and accepts a callback, but never pulls. Error() tells why.
class SondixDataSource : public VarnelNet::CAudioDataSource {
public:
    explicit SondixDataSource(const SondixOptions& options);
    ~SondixDataSource() override;
    SondixDataSource(const SondixDataSource&) = delete;
    SondixDataSource& operator=(const SondixDataSource&) = delete;

    std::string ToString() const override { return "Quorvex.SondixNet.SondixDataSource"; }

    // The operations the component calls, in the order it expects them.
    std::int32_t get_RecordFormatEx() override { return 0; }  // no recording
    std::int32_t set_EventHandle(std::intptr_t, std::intptr_t) override { return 0; }
    bool set_Owner(std::shared_ptr<VarnelNet::Object> owner) override;
    const VarnelNet::WAVEFORMATEX* get_PlayFormatEx() override { return &m_format; }
    std::int32_t set_DestEventhande(void* Receiver, VarnelNet::DataCallback pFun) override;
    VarnelNet::HWND get_MsgWinHandle() override { return m_window; }
    std::int32_t InternalMsg(std::int32_t, std::int32_t, std::int32_t) override { return 0; }

    // True while the SDL audio device is open and running.
    bool IsPlaying() const;
    // Why the device could not be opened; empty when it was.
    std::string Error() const;
    // The SDL audio driver in use; empty when no device is open.
    std::string Driver() const;
    // The thread of the message window: the component raises OnComplete and OnDebug there.
    std::thread::id WindowThread() const { return m_windowThread; }
    // Waits until a pull that began after this call found nothing more to play (answered 0 or
    // -1, or nothing was bound) and SDL has since played the buffer holding the last audio.
    // False on timeout, or when no device is open (nothing is ever played). stop, when given,
    // is asked every 20 ms (with the source's lock held: it must only look at a flag); true
    // ends the wait, with false.
    bool WaitUntilDrained(std::chrono::milliseconds timeout, const std::function<bool()>& stop = {});
    // Stops and closes the device; afterwards nothing pulls. The window stays until destruction.
    void Close();

private:
    struct Binding {
        void* receiver;
        VarnelNet::DataCallback callback;
    };

    static std::intptr_t WindowProc(VarnelNet::HWND hwnd, std::uint32_t msg, std::uint64_t wparam,
                                    std::int64_t lparam);
    static void AudioCallback(void* userdata, std::uint8_t* stream, int len);
    void Open(const SondixOptions& options);
    void Fill(std::uint8_t* stream, std::size_t len);

    VarnelNet::WAVEFORMATEX m_format{};
    std::uint8_t m_silence = 0;
    VarnelNet::HWND m_window = nullptr;
    std::thread::id m_windowThread;

    mutable std::mutex m_mutex;  // everything below; never held while pFun runs
    std::condition_variable m_changed;
    std::shared_ptr<const Binding> m_binding;
    const Binding* m_pulling = nullptr;  // the binding whose pFun runs right now
    std::thread::id m_pullThread;        // and the thread it runs on
    std::weak_ptr<VarnelNet::Object> m_owner;
    std::uint32_t m_device = 0;          // SDL_AudioDeviceID; 0 = none
    std::string m_error;
    std::string m_driver;
    // Pulled audio not yet handed to SDL: m_staging[m_pendingBegin, m_pendingEnd). Written by
    // pFun only on the audio thread.
    std::vector<std::uint8_t> m_staging;
    std::size_t m_pendingBegin = 0;
    std::size_t m_pendingEnd = 0;
    std::uint64_t m_callbacksStarted = 0;
    std::uint64_t m_callbacksDone = 0;
    std::uint64_t m_lastDryCallback = 0;  // the last callback that ran out of audio
};

}  // namespace Quorvex::SondixNet
