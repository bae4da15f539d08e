#include "sondix/SondixDataSource.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

namespace Quorvex::SondixNet {

using namespace VarnelNet;

namespace {

// Sent once at construction: the window procedure stores its thread's id at wparam.
constexpr std::uint32_t kRecordThread = 0x8001;
// Buffers SDL must have asked for after the one that ran dry before the stream counts as
// drained: the buffer holding the last audio is then past SDL and, allowing a period or two of
// latency in the device, out of the speaker.
constexpr std::uint64_t kPlayoutCallbacks = 3;
// How often WaitUntilDrained asks whether to stop.
constexpr std::chrono::milliseconds kStopPoll{20};
// The smallest staging area; the component renders nothing into 100 bytes or less.
constexpr std::size_t kMinimumStaging = 4096;

// SDL's audio subsystem is process-wide and its setup functions are not thread-safe.
std::mutex g_sdlMutex;

std::string SdlError(const char* what) {
    const char* detail = SDL_GetError();
    return std::string(what) + (detail && *detail ? std::string(": ") + detail : std::string());
}

}  // namespace

SondixDataSource::SondixDataSource(const SondixOptions& options) {
    const auto rate = static_cast<std::uint32_t>(std::max<std::int32_t>(options.sampleRate, 0));
    const auto bits = static_cast<std::uint16_t>(std::clamp<std::int32_t>(options.bitsPerSample, 0, 0xFFFF));
    const auto align = static_cast<std::uint16_t>(bits / 8);
    m_format = WAVEFORMATEX{1, 1, rate, rate * align, align, bits, 0};
    m_silence = bits == 8 ? 0x80 : 0x00;
    m_window = CreateMessageWindow(&WindowProc);
    SendMessageA(m_window, kRecordThread, reinterpret_cast<std::uintptr_t>(&m_windowThread), 0);
    Open(options);
}

SondixDataSource::~SondixDataSource() {
    Close();
    DestroyWindow(m_window);
}

// Nothing of the window's traffic is the destination's own business: while the component holds
// the window it handles its notifications and passes only unknown messages on to here.
std::intptr_t SondixDataSource::WindowProc(HWND, std::uint32_t msg, std::uint64_t wparam, std::int64_t) {
    if (msg == kRecordThread && wparam != 0) {
        *reinterpret_cast<std::thread::id*>(wparam) = std::this_thread::get_id();
        return 1;
    }
    return 0;
}

void SondixDataSource::Open(const SondixOptions& options) {
    std::string error;
    if (options.bitsPerSample != 8 && options.bitsPerSample != 16) {
        error = "Unsupported bits per sample " + std::to_string(options.bitsPerSample) + " (8 or 16)";
    } else if (options.sampleRate < 1000 || options.sampleRate > 384000) {
        error = "Unsupported sample rate " + std::to_string(options.sampleRate) + " Hz (1000 to 384000)";
    } else if (options.samplesPerBuffer == 0) {
        error = "The audio buffer must hold at least one sample";
    }
    if (!error.empty()) {
        const std::lock_guard lock(m_mutex);
        m_error = std::move(error);
        return;
    }

    const std::lock_guard sdl(g_sdlMutex);
    const std::string driver = options.driver ? options.driver : "";
    if (!driver.empty() && SDL_WasInit(SDL_INIT_AUDIO) != 0) {
        const char* current = SDL_GetCurrentAudioDriver();
        if (!current || driver != current) {
            const std::lock_guard lock(m_mutex);
            m_error = "SDL audio already runs with the driver \"" + std::string(current ? current : "") +
                      "\"; it cannot play through \"" + driver + "\" at the same time";
            return;
        }
    }
    if (!driver.empty()) SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, driver.c_str(), SDL_HINT_OVERRIDE);
    const int initialised = SDL_InitSubSystem(SDL_INIT_AUDIO);
    if (!driver.empty()) {
#if SDL_VERSION_ATLEAST(2, 24, 0)
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
#else
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, nullptr, SDL_HINT_OVERRIDE);
#endif
    }
    if (initialised != 0) {
        const std::lock_guard lock(m_mutex);
        m_error = SdlError("Cannot start SDL audio");
        return;
    }

    SDL_AudioSpec want{};
    want.freq = options.sampleRate;
    want.format = options.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = 1;
    want.samples = options.samplesPerBuffer;
    want.callback = &SondixDataSource::AudioCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    {
        // Ready before the first callback: SDL may call it as soon as the device is open.
        const std::lock_guard lock(m_mutex);
        const std::size_t buffer = std::size_t{options.samplesPerBuffer} * static_cast<std::size_t>(options.bitsPerSample / 8);
        m_staging.assign(std::max(buffer, kMinimumStaging), 0);
    }
    // No allowed changes: SDL converts to the device's format, so the callback sees this one.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        std::string failure = SdlError("Cannot open an SDL audio device");
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        const std::lock_guard lock(m_mutex);
        m_error = std::move(failure);
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_device = device;
        const char* current = SDL_GetCurrentAudioDriver();
        m_driver = current ? current : "";
    }
    SDL_PauseAudioDevice(device, 0);
}

void SondixDataSource::Close() {
    std::uint32_t device = 0;
    {
        const std::lock_guard lock(m_mutex);
        device = std::exchange(m_device, 0);
        m_changed.notify_all();
    }
    if (device == 0) return;
    // Waits for SDL's audio thread to end; the callback is never entered with g_sdlMutex held.
    const std::lock_guard sdl(g_sdlMutex);
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SondixDataSource::set_Owner(std::shared_ptr<Object> owner) {
    const std::lock_guard lock(m_mutex);
    m_owner = owner;  // weak: the control owns this object, not the other way round
    return true;
}

std::int32_t SondixDataSource::set_DestEventhande(void* Receiver, DataCallback pFun) {
    auto binding = pFun ? std::make_shared<const Binding>(Binding{Receiver, std::move(pFun)}) : nullptr;
    std::unique_lock lock(m_mutex);
    const auto previous = std::exchange(m_binding, std::move(binding));
    m_pendingBegin = m_pendingEnd = 0;
    // The audio thread reads m_binding afresh before every pull, so only a pull already under
    // way can still reach the previous pFun. Called from inside that pull (pFun rebinding on the
    // audio thread), there is nothing to wait for: the pull ends when its caller returns.
    if (previous && std::this_thread::get_id() != m_pullThread) {
        m_changed.wait(lock, [&] { return m_pulling != previous.get(); });
    }
    return 0;
}

bool SondixDataSource::IsPlaying() const {
    const std::lock_guard lock(m_mutex);
    return m_device != 0;
}

std::string SondixDataSource::Error() const {
    const std::lock_guard lock(m_mutex);
    return m_error;
}

std::string SondixDataSource::Driver() const {
    const std::lock_guard lock(m_mutex);
    return m_device != 0 ? m_driver : std::string();
}

bool SondixDataSource::WaitUntilDrained(std::chrono::milliseconds timeout, const std::function<bool()>& stop) {
    std::unique_lock lock(m_mutex);
    const std::uint64_t after = m_callbacksStarted;
    std::uint64_t dry = 0;  // the first callback seen to run dry after this call began
    const auto drained = [&] {
        if (dry == 0 && m_lastDryCallback > after) dry = m_lastDryCallback;
        return dry != 0 && m_callbacksDone >= dry + kPlayoutCallbacks;
    };
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_device != 0 && !drained()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline || (stop && stop())) return false;
        m_changed.wait_until(lock, std::min(deadline, now + kStopPoll));
    }
    return m_device != 0 && drained();
}

void SondixDataSource::AudioCallback(void* userdata, std::uint8_t* stream, int len) {
    static_cast<SondixDataSource*>(userdata)->Fill(stream, static_cast<std::size_t>(std::max(len, 0)));
}

// Runs on SDL's audio thread. Hands over pulled audio first, then pulls until the device buffer
// is full or the component has nothing more; the rest of the buffer is silence.
void SondixDataSource::Fill(std::uint8_t* stream, std::size_t len) {
    std::unique_lock lock(m_mutex);
    const std::uint64_t serial = ++m_callbacksStarted;
    std::size_t filled = 0;
    bool dry = false;
    while (filled < len) {
        if (m_pendingBegin < m_pendingEnd) {
            const std::size_t n = std::min(len - filled, m_pendingEnd - m_pendingBegin);
            std::memcpy(stream + filled, m_staging.data() + m_pendingBegin, n);
            m_pendingBegin += n;
            filled += n;
            continue;
        }
        const std::shared_ptr<const Binding> binding = m_binding;
        if (!binding) {
            dry = true;
            break;
        }
        m_pulling = binding.get();
        m_pullThread = std::this_thread::get_id();
        lock.unlock();
        std::int32_t got = 0;
        try {
            got = binding->callback(binding->receiver, MSG_DATA_REQUEST, reinterpret_cast<std::uintptr_t>(m_staging.data()),
                                    static_cast<std::int64_t>(m_staging.size()));
        } catch (...) {
            got = 0;  // nothing escapes into SDL's thread; a failing pull counts as an empty one
        }
        lock.lock();
        m_pulling = nullptr;
        m_pullThread = std::thread::id();
        m_changed.notify_all();
        if (binding != m_binding) continue;  // rebound meanwhile: that audio belongs to nobody now
        if (got <= 0) {
            dry = true;
            break;
        }
        m_pendingBegin = 0;
        m_pendingEnd = std::min(static_cast<std::size_t>(got), m_staging.size());
    }
    std::memset(stream + filled, m_silence, len - filled);
    if (dry) m_lastDryCallback = serial;
    m_callbacksDone = serial;
    m_changed.notify_all();
}

}  // namespace Quorvex::SondixNet
