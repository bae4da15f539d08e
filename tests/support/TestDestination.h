#pragma once

// A stream destination for the component suites: a control that names itself like the Sondix
// control, and a data source with its own message window that pulls audio on its own thread.
// Also an event recorder for the component's two events.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "varnel/Varnel.h"

namespace varnel_test {

using namespace Quorvex::VarnelNet;
using namespace std::chrono_literals;

constexpr std::uint32_t kWhoAmI = 0x8001;  // the destination asks its own window for its thread
constexpr auto kPatience = 30s;             // generous bound for every wait

inline WAVEFORMATEX PcmFormat(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels = 1) {
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    return WAVEFORMATEX{1, channels, rate, rate * align, align, bits, 0};
}

// While it pulls, its thread waits in each diagnostic line for the window thread; so a handler
// running there must not unbind it (set_DestEventhande waits for the pull in progress).
class TestDataSource : public CAudioDataSource {
public:
    struct Binding {
        bool receiver;  // a non-null Receiver
        bool callback;  // a non-empty pFun
    };

    explicit TestDataSource(WAVEFORMATEX format = PcmFormat(8000, 16), bool withWindow = true);
    ~TestDataSource() override;

    std::int32_t get_RecordFormatEx() override { return 0; }
    std::int32_t set_EventHandle(std::intptr_t, std::intptr_t) override { return 0; }
    bool set_Owner(std::shared_ptr<Object> owner) override;
    const WAVEFORMATEX* get_PlayFormatEx() override { return &m_format; }
    // Waits for a pull in progress, so that the previous pFun is never called afterwards.
    std::int32_t set_DestEventhande(void* Receiver, DataCallback pFun) override;
    HWND get_MsgWinHandle() override { return m_window; }
    std::int32_t InternalMsg(std::int32_t, std::int32_t, std::int32_t) override { return 0; }

    void Start();  // pulls 4096-byte blocks on a thread of its own until Stop or destruction
    void Stop();
    // One call of the bound pFun on the caller's thread; -2 when nothing is bound.
    std::int32_t Call(std::int32_t msg, std::uint64_t wparam, std::int64_t lparam);
    // Waits for a pull that answers 0 or -1 and ends after this call began.
    bool WaitForEmptyPull();
    std::thread::id WindowThread();

    struct Records {
        std::vector<std::uint8_t> pulled;
        std::vector<Binding> bindings;      // every set_DestEventhande
        std::vector<std::string> owners;    // ToString of every set_Owner argument
        std::vector<std::uint32_t> unknown; // messages that reached the destination's own procedure
        std::thread::id windowThread;
        std::uint64_t emptyPulls = 0;
    };
    Records Snapshot() const {
        const std::lock_guard lock(m_mutex);
        return m_records;
    }

private:
    static std::intptr_t WindowProc(HWND hwnd, std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam);
    void PullLoop();

    WAVEFORMATEX m_format;
    HWND m_window = nullptr;
    std::mutex m_pullMutex;  // held around every call of m_callback and around its replacement
    void* m_receiver = nullptr;
    DataCallback m_callback;
    std::thread m_puller;

    mutable std::mutex m_mutex;  // the records below; never held while the callback runs
    std::condition_variable m_changed;
    bool m_stop = false;
    Records m_records;
};

class TestSondixControl : public Object, public ICustomAdapter {
public:
    explicit TestSondixControl(std::shared_ptr<TestDataSource> source, std::string name = kSondixControlTypeName)
        : m_source(std::move(source)), m_name(std::move(name)) {}
    std::string ToString() const override { return m_name; }
    std::shared_ptr<Object> GetUnderlyingObject() override { return m_source; }

private:
    std::shared_ptr<TestDataSource> m_source;
    std::string m_name;
};

// Everything the component's events delivered, with the thread each handler ran on.
struct EventLog {
    struct Entry {
        std::string text;  // InfoMsg, or empty for OnComplete
        std::int32_t value;  // RefCode, or RequestID
        std::thread::id thread;
        const Object* sender;
    };
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<Entry> debug, complete;

    void Attach(Varnel& v) {
        v.OnDebug += Varnel::Delegate_OnDebug([this](Object& s, const OnDebugArgs& e) {
            Add(debug, {e.InfoMsg(), e.RefCode(), std::this_thread::get_id(), &s});
        });
        v.OnComplete += Varnel::Delegate_OnComplete([this](Object& s, const OnCompleteArgs& e) {
            Add(complete, {{}, e.RequestID(), std::this_thread::get_id(), &s});
        });
    }
    void Add(std::vector<Entry>& list, Entry entry) {
        const std::lock_guard lock(mutex);
        list.push_back(std::move(entry));
        changed.notify_all();
    }
    bool WaitForCompletion(std::int32_t id) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kPatience, [&] { return std::ranges::count(CompletedIDsLocked(), id) > 0; });
    }
    std::vector<std::int32_t> CompletedIDs() const {
        const std::lock_guard lock(mutex);
        return CompletedIDsLocked();
    }
    std::vector<std::int32_t> CompletedIDsLocked() const {
        std::vector<std::int32_t> ids;
        for (const Entry& e : complete) ids.push_back(e.value);
        return ids;
    }
    bool Logged(const std::string& tail) const {  // a line ending with tail
        const std::lock_guard lock(mutex);
        return std::ranges::any_of(debug, [&](const Entry& e) { return e.text.ends_with(tail); });
    }
};

// The HRESULT and text of the Ex that f throws.
using Failure = std::pair<HRESULT, std::string>;
template <class Ex, class F>
Failure Thrown(F&& f) {
    try {
        f();
    } catch (const Ex& e) {
        return {e.HResult(), e.what()};
    } catch (const std::exception& e) {
        return {S_OK, std::string("another exception: ") + e.what()};
    }
    return {S_OK, "nothing thrown"};
}

// One request of every kind, with fixed texts; returns the IDs in order.
std::vector<std::int32_t> QueueEveryKind(Varnel& v);
// The data chunk of the WAV file that a fresh component writes at this format for queue().
std::vector<std::uint8_t> RenderedToFile(const std::function<void(Varnel&)>& queue, std::int32_t rate,
                                         std::int32_t bits, const std::string& path);

}  // namespace varnel_test
