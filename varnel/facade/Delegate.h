#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace Quorvex::VarnelNet {

// A handler with identity: copies of one Delegate compare equal, two Delegates made from the
// same callable do not.
template <class Signature>
class Delegate;

template <class R, class... Args>
class Delegate<R(Args...)> {
public:
    Delegate() = default;
    template <class F>
    explicit Delegate(F&& f) : m_target(std::make_shared<std::function<R(Args...)>>(std::forward<F>(f))) {}

    R operator()(Args... args) const { return (*m_target)(std::forward<Args>(args)...); }
    explicit operator bool() const { return m_target && *m_target; }
    bool operator==(const Delegate& other) const { return m_target == other.m_target; }

private:
    std::shared_ptr<std::function<R(Args...)>> m_target;
};

// A multicast event: handlers are called in the order they were added; adding one twice calls
// it twice; removing takes out its last occurrence. Raising works on a snapshot, so a handler
// may add or remove handlers, from any thread.
template <class D>
class Event {
public:
    void add(const D& handler) {
        const std::lock_guard<std::mutex> guard(m_mutex);
        m_handlers.push_back(handler);
    }
    void remove(const D& handler) {
        const std::lock_guard<std::mutex> guard(m_mutex);
        for (auto it = m_handlers.rbegin(); it != m_handlers.rend(); ++it) {
            if (*it == handler) {
                m_handlers.erase(std::next(it).base());
                return;
            }
        }
    }
    Event& operator+=(const D& handler) {
        add(handler);
        return *this;
    }
    Event& operator-=(const D& handler) {
        remove(handler);
        return *this;
    }

    template <class... Args>
    void Raise(Args&&... args) const {
        std::vector<D> snapshot;
        {
            const std::lock_guard<std::mutex> guard(m_mutex);
            snapshot = m_handlers;
        }
        for (const D& handler : snapshot) {
            if (handler) handler(args...);
        }
    }

private:
    mutable std::mutex m_mutex;
    std::vector<D> m_handlers;
};

}  // namespace Quorvex::VarnelNet
