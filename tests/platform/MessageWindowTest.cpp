#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <latch>
#include <mutex>
#include <thread>
#include <vector>

#include "varnel/platform/MessageWindow.h"

namespace {

using namespace Quorvex::VarnelNet;

// What a window's procedure saw; a procedure finds it through the window's user data.
struct Probe {
    std::mutex mutex;
    std::vector<std::uint32_t> seen;
    std::thread::id thread;
    WNDPROC saved = nullptr;
    std::latch entered{1};
    std::latch release{1};
    std::condition_variable cv;
    bool finished = false;
};

Probe& ProbeOf(HWND hwnd) { return *reinterpret_cast<Probe*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

// Records the message; message 1 sends message 2 to its own window. Answers wparam + lparam.
std::intptr_t Record(HWND hwnd, std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam) {
    Probe& probe = ProbeOf(hwnd);
    {
        std::lock_guard lock(probe.mutex);
        probe.seen.push_back(msg);
        probe.thread = std::this_thread::get_id();
    }
    if (msg == 1) return SendMessageA(hwnd, 2, 40, 0) + 2;
    return static_cast<std::intptr_t>(wparam) + static_cast<std::intptr_t>(lparam);
}

// Answers 100 itself and passes everything else to the procedure it replaced.
std::intptr_t Wrap(HWND hwnd, std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam) {
    if (msg == 100) return 7;
    return CallWindowProcA(ProbeOf(hwnd).saved, hwnd, msg, wparam, lparam);
}

// Message 9 holds the window thread until the test releases it.
std::intptr_t Block(HWND hwnd, std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam) {
    Probe& probe = ProbeOf(hwnd);
    if (msg == 9) {
        probe.entered.count_down();
        probe.release.wait();
    }
    return Record(hwnd, msg, wparam, lparam);
}

// Message 9 destroys its own window from inside the handler.
std::intptr_t DestroySelf(HWND hwnd, std::uint32_t msg, std::uint64_t, std::int64_t) {
    Probe& probe = ProbeOf(hwnd);
    probe.entered.count_down();
    probe.release.wait();
    probe.seen.push_back(msg);
    DestroyWindow(hwnd);
    probe.seen.push_back(PostMessageA(hwnd, 12, 0, 0) ? 0 : 1);  // the window takes no more
    std::lock_guard lock(probe.mutex);  // notified under the lock: the test may then end
    probe.finished = true;
    probe.cv.notify_all();
    return 0;
}

HWND Open(WNDPROC proc, Probe& probe) {
    const HWND hwnd = CreateMessageWindow(proc);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<std::intptr_t>(&probe));
    return hwnd;
}

TEST(MessageWindowTest, SendRunsOnTheWindowThreadWaitsAndRunsDirectlyFromThere) {
    Probe probe;
    const HWND hwnd = Open(Record, probe);
    EXPECT_EQ(SendMessageA(hwnd, 5, 30, 12), 42);
    EXPECT_EQ(probe.seen, std::vector<std::uint32_t>{5});
    EXPECT_NE(probe.thread, std::this_thread::get_id());
    EXPECT_EQ(SendMessageA(hwnd, 1, 0, 0), 42);  // message 1 sends 2 from the window thread
    EXPECT_EQ(probe.seen, (std::vector<std::uint32_t>{5, 1, 2}));
    DestroyWindow(hwnd);
}

TEST(MessageWindowTest, PostsAndSendsAreDeliveredInQueueOrder) {
    Probe probe;
    const HWND hwnd = Open(Record, probe);
    EXPECT_TRUE(PostMessageA(hwnd, 3, 0, 0));
    EXPECT_TRUE(PostMessageA(hwnd, 4, 0, 0));
    EXPECT_EQ(SendMessageA(hwnd, 5, 1, 1), 2);
    EXPECT_TRUE(PostMessageA(hwnd, 6, 0, 0));
    EXPECT_EQ(SendMessageA(hwnd, 7, 0, 0), 0);
    EXPECT_EQ(probe.seen, (std::vector<std::uint32_t>{3, 4, 5, 6, 7}));
    DestroyWindow(hwnd);
}

TEST(MessageWindowTest, SlotsGiveTheOldValueAndTheReplacedProcedureIsPassedOn) {
    Probe probe;
    const HWND hwnd = Open(Record, probe);
    const auto self = reinterpret_cast<std::intptr_t>(&probe);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), self);
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, -5), self);
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, self), -5);
    EXPECT_EQ(SetWindowLongPtrA(hwnd, 0, 1), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, 0), 0);

    const auto wrap = reinterpret_cast<std::intptr_t>(&Wrap);
    probe.saved = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, wrap));
    EXPECT_EQ(probe.saved, &Record);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), wrap);
    EXPECT_EQ(SendMessageA(hwnd, 100, 60, 40), 7);
    EXPECT_EQ(SendMessageA(hwnd, 8, 2, 3), 5);
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<std::intptr_t>(&Record)), wrap);
    EXPECT_EQ(SendMessageA(hwnd, 100, 60, 40), 100);
    EXPECT_EQ(probe.seen, (std::vector<std::uint32_t>{8, 100}));
    EXPECT_EQ(CallWindowProcA(nullptr, hwnd, 8, 1, 1), 0);
    DestroyWindow(hwnd);
}

TEST(MessageWindowTest, ReplacingTheProcedureWaitsForTheRunningHandler) {
    Probe probe;
    const HWND hwnd = Open(Block, probe);
    ASSERT_TRUE(PostMessageA(hwnd, 9, 0, 0));
    probe.entered.wait();
    auto swap = std::async(std::launch::async, [&] {
        return SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<std::intptr_t>(&Record));
    });
    // A bounded look: the replacement must still be waiting while the handler is held.
    EXPECT_EQ(swap.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    probe.release.count_down();
    EXPECT_EQ(swap.get(), reinterpret_cast<std::intptr_t>(&Block));
    EXPECT_EQ(probe.seen, std::vector<std::uint32_t>{9});
    DestroyWindow(hwnd);
}

TEST(MessageWindowTest, NullAndDestroyedHandlesAreHarmless) {
    const HWND destroyed = CreateMessageWindow(Record);
    DestroyWindow(destroyed);
    for (const HWND hwnd : {static_cast<HWND>(nullptr), destroyed}) {
        EXPECT_EQ(SendMessageA(hwnd, 5, 1, 1), 0);
        EXPECT_FALSE(PostMessageA(hwnd, 5, 1, 1));
        EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 1), 0);
        EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 0);
        EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<std::intptr_t>(&Wrap)), 0);
        EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), 0);
        DestroyWindow(hwnd);
    }
}

TEST(MessageWindowTest, DestroyDeliversTheQueuedMessagesFirst) {
    Probe probe;
    const HWND hwnd = Open(Block, probe);
    std::vector<std::uint32_t> expected;
    for (std::uint32_t msg = 9; msg < 30; ++msg) {
        ASSERT_TRUE(PostMessageA(hwnd, msg, 0, 0));
        expected.push_back(msg);
    }
    probe.entered.wait();
    auto destroy = std::async(std::launch::async, [&] { DestroyWindow(hwnd); });
    // A bounded look: destroying waits while the handler is held and messages are queued.
    EXPECT_EQ(destroy.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    probe.release.count_down();
    destroy.get();
    EXPECT_EQ(probe.seen, expected);
}

TEST(MessageWindowTest, DestroyFromInsideAHandlerStopsAfterIt) {
    Probe probe;
    const HWND hwnd = Open(DestroySelf, probe);
    ASSERT_TRUE(PostMessageA(hwnd, 9, 0, 0));
    ASSERT_TRUE(PostMessageA(hwnd, 10, 0, 0));
    probe.entered.wait();
    // Whether this send is queued before the window goes or finds it gone, it answers 0.
    auto sender = std::async(std::launch::async, [&] { return SendMessageA(hwnd, 11, 0, 0); });
    sender.wait_for(std::chrono::milliseconds(20));
    probe.release.count_down();
    EXPECT_EQ(sender.get(), 0);
    std::unique_lock lock(probe.mutex);
    probe.cv.wait(lock, [&] { return probe.finished; });
    EXPECT_EQ(probe.seen, (std::vector<std::uint32_t>{9, 1}));
    EXPECT_FALSE(PostMessageA(hwnd, 12, 0, 0));
}

}  // namespace
