#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/TestDestination.h"
#include "support/WaveFiles.h"

namespace {

using namespace varnel_test;
using Bytes = std::vector<std::uint8_t>;

const Failure kDisposed(E_FAIL, "This Varnel component has been disposed: its engine is released.");
constexpr std::size_t kSilence10ms = 220;  // 110 samples of 16 bits at 11025 Hz

std::shared_ptr<TestSondixControl> ControlOf(std::shared_ptr<TestDataSource> source) {
    return std::make_shared<TestSondixControl>(std::move(source));
}

void QueueSilences(Varnel& v) {
    for (int i = 0; i < 3; ++i) v.GenerateSilence(10.0f);
}

// A handler disposes the component from inside a call that is rendering or notifying.
struct DisposeDuring {
    const char* name;
    std::function<void(Varnel&, const std::string& path)> prepare;
    std::function<std::int32_t(Varnel&, const std::string& path)> call;
    const char* line;  // the OnDebug line (a part of it) whose handler disposes; nullptr: OnComplete of request 0
    std::int32_t result;                  // what the call returns
    std::optional<std::size_t> fileData;  // the bytes the WAV file keeps
};

TEST(DisposeTest, AHandlerDisposingStopsTheCallItInterrupts) {
    const auto none = [](Varnel&, const std::string&) {};
    const auto stream = [](Varnel& v, const std::string&) {
        v.GenerateBegin();
        QueueSilences(v);
    };
    const auto file = [](Varnel& v, const std::string& path) {
        v.GenerateBegin(path);
        QueueSilences(v);
    };
    const auto fetch = [](Varnel& v, const std::string&) {
        Bytes buffer(8192);
        return v.FetchWaveStream(buffer);
    };
    const auto end = [](Varnel& v, const std::string&) {
        v.GenerateEnd();
        return 0;
    };
    const std::vector<DisposeDuring> cases = {
        {"FetchWaveStream, OnComplete", stream, fetch, nullptr, kSilence10ms, std::nullopt},
        {"FetchWaveStream with Offset, OnDebug", stream,
         [](Varnel& v, const std::string&) {
             Bytes buffer(8192);
             return v.FetchWaveStream(buffer, 100, 4000);
         },
         "Request completed, requestID:1", 2 * kSilence10ms, std::nullopt},
        {"GenerateBegin(), OnDebug", none, [](Varnel& v, const std::string&) { v.GenerateBegin(); return 0; },
         "Generation begin, (To buffer stream).", 0, std::nullopt},
        {"GenerateBegin(file), OnDebug", none, [](Varnel& v, const std::string& path) { v.GenerateBegin(path); return 0; },
         "Generation begin (To file", 0, 0},
        {"GenerateDTMFs, OnDebug", stream, [](Varnel& v, const std::string&) { return v.GenerateDTMFs("1"); },
         "Added request to generation queue, type: DTMF", 3, std::nullopt},
        {"GenerateEnd() of a file, OnComplete", file, end, nullptr, 0, kSilence10ms},
        {"GenerateEnd() of a file, OnDebug", file, end, "Start the generation, writing !", 0, 0},
        {"GenerateEnd() of a buffer stream, OnDebug", stream, end, "End of the generation.", 0, std::nullopt},
    };
    for (const DisposeDuring& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = TempWavePath("dispose");
        Varnel v;
        c.prepare(v, path);
        bool disposed = false;
        int late = 0;  // events raised after the disposal
        v.OnDebug += Varnel::Delegate_OnDebug([&](Object&, const OnDebugArgs& e) {
            if (disposed) {
                ++late;
            } else if (c.line && e.InfoMsg().find(c.line) != std::string::npos) {
                v.Dispose();
                disposed = true;
            }
        });
        v.OnComplete += Varnel::Delegate_OnComplete([&](Object&, const OnCompleteArgs& e) {
            if (disposed) {
                ++late;
            } else if (!c.line && e.RequestID() == 0) {
                v.Dispose();
                disposed = true;
            }
        });
        EXPECT_EQ(c.call(v, path), c.result);
        EXPECT_TRUE(disposed);
        EXPECT_EQ(late, 0);
        EXPECT_EQ(Thrown<COMException>([&] { v.SampleRate(); }), kDisposed);
        EXPECT_EQ(Thrown<COMException>([&] { v.GenerateEnd(); }), kDisposed);
        if (c.fileData) {
            const auto wave = ReadWave(path);
            ASSERT_TRUE(wave);
            EXPECT_EQ(wave->data, Bytes(*c.fileData, 0));
        }
        std::remove(path.c_str());
    }
}

TEST(DisposeTest, DisposingWhenTheBindingIsAnnouncedUnbindsTheDestination) {
    auto source = std::make_shared<TestDataSource>();
    Varnel v;
    v.OnDebug += Varnel::Delegate_OnDebug([&](Object&, const OnDebugArgs&) { v.Dispose(); });
    v.Destination(ControlOf(source));
    ASSERT_EQ(source->Snapshot().bindings.size(), 2u);
    EXPECT_FALSE(source->Snapshot().bindings[1].callback);
    Bytes block(4096);
    EXPECT_EQ(source->Call(MSG_DATA_REQUEST, reinterpret_cast<std::uintptr_t>(block.data()), 4096), -2);
    EXPECT_EQ(Thrown<COMException>([&] { v.GenerateBegin(); }), kDisposed);
}

// The window thread's handler disposes while the destination pulls on its thread and the host
// keeps queueing: the host's next call is refused, and the destination is let go.
TEST(DisposeTest, AWindowThreadHandlerDisposesWhileTheDestinationPulls) {
    std::mutex mutex;
    std::condition_variable changed;
    bool disposed = false;
    auto source = std::make_shared<TestDataSource>();
    Varnel v;
    v.OnComplete += Varnel::Delegate_OnComplete([&](Object&, const OnCompleteArgs& e) {
        if (e.RequestID() != 1) return;
        v.Dispose();
        const std::lock_guard lock(mutex);
        disposed = true;
        changed.notify_all();
    });
    v.Destination(ControlOf(source));
    source->Start();
    v.GenerateBegin();
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    Failure refused(S_OK, "nothing thrown");
    while (refused.first == S_OK && std::chrono::steady_clock::now() < deadline) {
        refused = Thrown<COMException>([&] { v.GenerateSilence(5.0f); });
        std::this_thread::sleep_for(100us);
    }
    EXPECT_EQ(refused, kDisposed);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, kPatience, [&] { return disposed; }));
    EXPECT_FALSE(source->Snapshot().bindings.back().callback);
    Bytes block(4096);
    EXPECT_EQ(source->Call(MSG_DATA_REQUEST, reinterpret_cast<std::uintptr_t>(block.data()), 4096), -2);
}

// The host disposes at different moments of a pull in progress: the destination has received
// a prefix of the audio, nothing after it, and is let go.
TEST(DisposeTest, TheHostDisposesWhileTheDestinationPulls) {
    const auto queue = [](Varnel& v) {
        for (int i = 0; i < 8; ++i) v.GenerateTone(200, 0, 300.0f + 100.0f * static_cast<float>(i), 0.0f, 0.0f);
    };
    const Bytes file = RenderedToFile(queue, 8000, 16, TempWavePath("dispose_pull"));
    ASSERT_GT(file.size(), 20000u);
    for (std::size_t round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        auto source = std::make_shared<TestDataSource>(PcmFormat(8000, 16));
        Varnel v;
        v.Destination(ControlOf(source));
        source->Start();
        v.GenerateBegin();
        queue(v);
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (source->Snapshot().pulled.size() < round * 1000 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        v.Dispose();
        ASSERT_EQ(source->Snapshot().bindings.size(), 2u);
        EXPECT_FALSE(source->Snapshot().bindings[1].callback);
        ASSERT_TRUE(source->WaitForEmptyPull());  // the pull that was under way has recorded its block
        const Bytes pulled = source->Snapshot().pulled;
        ASSERT_LE(pulled.size(), file.size());
        EXPECT_TRUE(std::equal(pulled.begin(), pulled.end(), file.begin()));
        ASSERT_TRUE(source->WaitForEmptyPull());
        EXPECT_EQ(source->Snapshot().pulled.size(), pulled.size());
        EXPECT_EQ(Thrown<COMException>([&] { v.GenerateSilence(1.0f); }), kDisposed);
    }
}

}  // namespace
