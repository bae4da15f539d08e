#include "varnel/platform/MessageWindow.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>

namespace Quorvex::VarnelNet {

namespace {

// The window whose thread this is, or nullptr. Its procedures still reach it after DestroyWindow,
// while the thread delivers the last messages.
thread_local MessageWindow* t_ownWindow = nullptr;

}  // namespace

// One window: a FIFO of sent and posted messages, pumped by the window's own thread.
//
// Locks: queueMutex_ guards the queue, the closing flags and the replies of sent messages; it is
// never held while a procedure runs. dispatchMutex_ is held while a procedure runs and while the
// procedure slot is replaced; it is recursive so that a handler may replace the procedure or send
// to its own window.
class MessageWindow : public std::enable_shared_from_this<MessageWindow> {
public:
    explicit MessageWindow(WNDPROC proc) : proc_(proc) {}

    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // Starts the thread; the thread keeps the window alive until it has finished.
    void Start() {
        thread_ = std::thread([self = shared_from_this()] { self->Run(); });
        threadId_ = thread_.get_id();
    }

    bool OnWindowThread() const { return std::this_thread::get_id() == threadId_; }

    std::intptr_t Send(std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam) {
        if (OnWindowThread()) return Dispatch(msg, wparam, lparam);
        Reply reply;
        std::unique_lock lock(queueMutex_);
        if (closing_) return 0;
        queue_.push_back(Message{msg, wparam, lparam, &reply});
        queued_.notify_one();
        replied_.wait(lock, [&] { return reply.done; });
        return reply.result;
    }

    bool Post(std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam) {
        {
            std::lock_guard lock(queueMutex_);
            if (closing_) return false;
            queue_.push_back(Message{msg, wparam, lparam, nullptr});
        }
        queued_.notify_one();
        return true;
    }

    std::intptr_t SetProc(WNDPROC proc) {
        std::lock_guard lock(dispatchMutex_);
        return reinterpret_cast<std::intptr_t>(proc_.exchange(proc));
    }
    std::intptr_t GetProc() const { return reinterpret_cast<std::intptr_t>(proc_.load()); }
    std::intptr_t SetUserData(std::intptr_t value) { return userData_.exchange(value); }
    std::intptr_t GetUserData() const { return userData_.load(); }

    // Called once, after the window has left the registry.
    void Close() {
        if (OnWindowThread()) {
            // Inside a handler: stop after the current message. The thread holds its own
            // reference, so the window outlives the handler that is running.
            {
                std::lock_guard lock(queueMutex_);
                closing_ = true;
                stopNow_ = true;
            }
            thread_.detach();
            return;
        }
        {
            std::lock_guard lock(queueMutex_);
            closing_ = true;
        }
        queued_.notify_one();
        thread_.join();
    }

private:
    struct Reply {
        bool done = false;
        std::intptr_t result = 0;
    };
    struct Message {
        std::uint32_t msg;
        std::uint64_t wparam;
        std::int64_t lparam;
        Reply* reply;  // the waiting sender's, or nullptr for a posted message
    };

    std::intptr_t Dispatch(std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam) {
        std::lock_guard lock(dispatchMutex_);
        const WNDPROC proc = proc_.load();
        return proc ? proc(this, msg, wparam, lparam) : 0;
    }

    void Run() {
        t_ownWindow = this;
        std::unique_lock lock(queueMutex_);
        for (;;) {
            queued_.wait(lock, [&] { return !queue_.empty() || closing_; });
            if (stopNow_ || queue_.empty()) break;
            const Message m = queue_.front();
            queue_.pop_front();
            lock.unlock();
            const std::intptr_t result = Dispatch(m.msg, m.wparam, m.lparam);
            lock.lock();
            if (m.reply) {
                m.reply->result = result;
                m.reply->done = true;
                replied_.notify_all();
            }
        }
        // Stopped from inside a handler, whatever is still queued is dropped and its senders
        // get 0.
        for (const Message& m : queue_) {
            if (m.reply) m.reply->done = true;
        }
        queue_.clear();
        replied_.notify_all();
        t_ownWindow = nullptr;
    }

    std::atomic<WNDPROC> proc_;
    std::atomic<std::intptr_t> userData_{0};
    std::recursive_mutex dispatchMutex_;

    std::mutex queueMutex_;
    std::condition_variable queued_;
    std::condition_variable replied_;
    std::deque<Message> queue_;
    bool closing_ = false;  // no more messages are accepted
    bool stopNow_ = false;  // the thread stops without delivering the rest

    std::thread thread_;
    std::thread::id threadId_;
};

namespace {

// Handles are looked up here, so that a null or destroyed handle is only an unknown key, and a
// call holds its own reference to the window while it uses it. Never destroyed: windows still
// open at exit keep their threads, and lookups during exit stay valid.
struct Registry {
    std::mutex mutex;
    std::unordered_map<HWND, std::shared_ptr<MessageWindow>> windows;
};

Registry& Windows() {
    static Registry* const registry = new Registry;
    return *registry;
}

std::shared_ptr<MessageWindow> Find(HWND hwnd) {
    if (!hwnd) return nullptr;
    // On its own thread a window is alive (the thread holds a reference) even once it has left
    // the registry.
    if (hwnd == t_ownWindow) return hwnd->shared_from_this();
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    const auto it = r.windows.find(hwnd);
    return it == r.windows.end() ? nullptr : it->second;
}

}  // namespace

HWND CreateMessageWindow(WNDPROC proc) {
    auto window = std::make_shared<MessageWindow>(proc);
    window->Start();
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    r.windows.emplace(window.get(), window);
    return window.get();
}

void DestroyWindow(HWND hwnd) {
    std::shared_ptr<MessageWindow> window;
    {
        Registry& r = Windows();
        std::lock_guard lock(r.mutex);
        const auto it = r.windows.find(hwnd);
        if (it == r.windows.end()) return;
        window = std::move(it->second);
        r.windows.erase(it);
    }
    window->Close();
}

std::intptr_t SetWindowLongPtrA(HWND hwnd, int index, std::intptr_t value) {
    const auto window = Find(hwnd);
    if (!window) return 0;
    switch (index) {
        case GWLP_WNDPROC: return window->SetProc(reinterpret_cast<WNDPROC>(value));
        case GWLP_USERDATA: return window->SetUserData(value);
        default: return 0;
    }
}

std::intptr_t GetWindowLongPtrA(HWND hwnd, int index) {
    const auto window = Find(hwnd);
    if (!window) return 0;
    switch (index) {
        case GWLP_WNDPROC: return window->GetProc();
        case GWLP_USERDATA: return window->GetUserData();
        default: return 0;
    }
}

std::intptr_t CallWindowProcA(WNDPROC proc, HWND hwnd, std::uint32_t msg, std::uint64_t wparam,
                              std::int64_t lparam) {
    return proc ? proc(hwnd, msg, wparam, lparam) : 0;
}

std::intptr_t SendMessageA(HWND hwnd, std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam) {
    const auto window = Find(hwnd);
    return window ? window->Send(msg, wparam, lparam) : 0;
}

bool PostMessageA(HWND hwnd, std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam) {
    const auto window = Find(hwnd);
    return window && window->Post(msg, wparam, lparam);
}

}  // namespace Quorvex::VarnelNet
