#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/TestDestination.h"
#include "support/WaveFiles.h"

namespace {

using namespace varnel_test;

constexpr int kFirstBatch = 20;  // queued before the restart
constexpr int kRequests = 300;
constexpr int kMarker = -2;      // the request whose completion restarts generation 0

// Request number n of the mixed sequence; a negative n is the follow-up silence.
std::int32_t Issue(Varnel& v, int n) {
    if (n < 0) return v.GenerateSilence(3.0f);
    switch (n % 5) {
        case 0: return v.GenerateDTMFs(std::string(1, "0123456789*#ABCD"[n % 16]));
        case 1: return v.GenerateTone(20 + n % 30, 10, 300.0f + static_cast<float>(n), 0.0f, 0.0f);
        case 2: return v.GenerateSilence(5.0f + static_cast<float>(n % 10));
        case 3: return v.GenerateTTY(std::to_string(n % 100));
        default: return v.GenerateCallerID("555" + std::to_string(n), "N", "01/02 03:04");
    }
}

struct StressRun {
    std::mutex mutex;
    std::condition_variable changed;
    int generation = 0;
    std::map<std::pair<int, std::int32_t>, int> completions;  // (generation, ID) -> times reported
    std::map<std::pair<int, std::int32_t>, int> issued;       // (generation, ID) -> request number
    std::atomic<int> debugCalls{0};
    std::atomic<bool> offWindowThread{false};
    std::int32_t restartAt = -1;  // ID of the marker request

    bool AllCompleted(int g) {
        for (const auto& [key, n] : issued) if (key.first == g && !Completed(g, key.second)) return false;
        return true;
    }

    std::int32_t MaxIssued(int g) {
        std::int32_t max = -1;
        for (const auto& [key, n] : issued) if (key.first == g) max = std::max(max, key.second);
        return max;
    }
    bool Completed(int g, std::int32_t id) { return completions.count({g, id}) > 0; }
};

// Pulls through a test destination while the host queues kRequests requests; handlers queue
// follow-ups, call a getter and, with restart, begin generation 1 from inside OnComplete.
void Stress(StressRun& run, bool restart, std::vector<std::uint8_t>* pulled) {
    auto source = std::make_shared<TestDataSource>(PcmFormat(8000, 16));
    Varnel v;
    v.Destination(std::make_shared<TestSondixControl>(source));
    const std::thread::id window = source->WindowThread();
    v.OnComplete += Varnel::Delegate_OnComplete([&](Object&, const OnCompleteArgs& e) {  // follow-ups
        std::unique_lock lock(run.mutex);
        const int g = run.generation;
        const auto it = run.issued.find({g, e.RequestID()});
        if (e.RequestID() % 7 != 3 || (it != run.issued.end() && it->second < 0)) return;  // none for a follow-up
        lock.unlock();  // queueing sends a diagnostic line to this thread's handlers
        const std::int32_t id = Issue(v, -1);
        lock.lock();
        run.issued[{g, id}] = -1;
    });
    v.OnComplete += Varnel::Delegate_OnComplete([&](Object&, const OnCompleteArgs& e) {  // the count, before the restart
        if (std::this_thread::get_id() != window) run.offWindowThread = true;
        const std::lock_guard lock(run.mutex);
        ++run.completions[{run.generation, e.RequestID()}];
        run.changed.notify_all();
    });
    v.OnComplete += Varnel::Delegate_OnComplete([&](Object&, const OnCompleteArgs& e) {  // the restart
        {
            const std::lock_guard lock(run.mutex);
            if (!restart || e.RequestID() != run.restartAt || run.generation != 0) return;
        }
        v.GenerateBegin();
        const std::lock_guard lock(run.mutex);
        run.generation = 1;
        run.changed.notify_all();
    });
    v.OnDebug += Varnel::Delegate_OnDebug([&](Object&, const OnDebugArgs&) {
        if (std::this_thread::get_id() != window) run.offWindowThread = true;
        if (v.SampleRate() == 8000) ++run.debugCalls;
    });

    source->Start();
    v.GenerateBegin();
    for (int n = 0; n < kRequests; ++n) {
        if (restart && n == kFirstBatch) {
            // Completions are posted, so one that was rendered before a restart may still be on
            // its way after it. The restart therefore comes with the last request of generation 0,
            // queued once everything before it (follow-ups too) has been reported.
            std::unique_lock lock(run.mutex);
            ASSERT_TRUE(run.changed.wait_for(lock, kPatience, [&] { return run.AllCompleted(0); }));
            // Queued with the lock held, so that its handler sees restartAt set.
            const std::int32_t marker = Issue(v, kMarker);
            run.restartAt = marker;
            run.issued[{0, marker}] = kMarker;
            ASSERT_TRUE(run.changed.wait_for(lock, kPatience, [&] { return run.generation == 1; }));
        }
        const std::int32_t id = Issue(v, n);
        const std::lock_guard lock(run.mutex);
        run.issued[{run.generation, id}] = n;
    }
    const int last = restart ? 1 : 0;
    {
        std::unique_lock lock(run.mutex);
        ASSERT_TRUE(run.changed.wait_for(lock, kPatience, [&] { return run.Completed(last, run.MaxIssued(last)); }));
    }
    ASSERT_TRUE(source->WaitForEmptyPull());
    EXPECT_EQ(source->WindowThread(), window);  // every completion posted so far has been handled
    if (pulled) *pulled = source->Snapshot().pulled;
}

// Each (generation, ID) reported once; generation g reports exactly IDs 0 .. max.
void ExpectEachOnce(StressRun& run, int g, std::int32_t max) {
    std::int32_t expected = 0;
    for (const auto& [key, count] : run.completions) {
        if (key.first != g) continue;
        EXPECT_EQ(count, 1) << "generation " << g << ", ID " << key.second;
        EXPECT_EQ(key.second, expected++) << "generation " << g;
    }
    EXPECT_EQ(expected, max + 1) << "generation " << g;
}

TEST(StressTest, RestartFromOnCompleteWhileTheDestinationPulls) {
    StressRun run;
    Stress(run, true, nullptr);
    EXPECT_EQ(run.generation, 1);
    ExpectEachOnce(run, 0, run.restartAt);
    ExpectEachOnce(run, 1, run.MaxIssued(1));
    EXPECT_GT(run.MaxIssued(1), kRequests - kFirstBatch);
    EXPECT_GT(run.debugCalls.load(), kRequests);
    EXPECT_FALSE(run.offWindowThread.load());
}

TEST(StressTest, PulledBytesEqualTheSameRequestsWrittenToAWaveFile) {
    StressRun run;
    std::vector<std::uint8_t> pulled;
    Stress(run, false, &pulled);
    ExpectEachOnce(run, 0, run.MaxIssued(0));
    EXPECT_FALSE(run.offWindowThread.load());
    // IDs are given in queue order, so replaying the requests by ID renders the same audio.
    const std::vector<std::uint8_t> file = RenderedToFile(
        [&](Varnel& v) {
            for (const auto& [key, n] : run.issued) EXPECT_EQ(Issue(v, n), key.second);
        },
        8000, 16, TempWavePath("stress"));
    EXPECT_GT(file.size(), 100000u);
    EXPECT_TRUE(pulled == file) << pulled.size() << " bytes pulled, " << file.size() << " in the file";
}

}  // namespace
