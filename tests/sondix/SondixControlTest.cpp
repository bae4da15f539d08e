// SondixControl over SDL's "disk" audio driver: the device writes what it plays to a file, so no
// sound card is needed and the played bytes can be compared with what the component renders.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sondix/SondixControl.h"
#include "varnel/Varnel.h"

namespace {

using namespace Quorvex::VarnelNet;
using Quorvex::SondixNet::SondixControl;
using Quorvex::SondixNet::SondixDataSource;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

constexpr auto kPatience = 20s;  // a bound only: every wait ends on a condition

// Every control plays into a file of its own; the driver is the environment's unless named.
class SondixControlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIODELAY", "1", 1);  // ms per buffer: much faster than real time
    }
    void TearDown() override { std::remove(m_path.c_str()); }

    std::shared_ptr<SondixControl> Control(std::int32_t rate, std::int32_t bits, const char* driver = nullptr) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = ::testing::TempDir() + "sondix_" + info->name() + "_" + std::to_string(::getpid()) + ".raw";
        ::setenv("SDL_DISKAUDIOFILE", m_path.c_str(), 1);
        auto control = std::make_shared<SondixControl>(SondixControl::Options{rate, bits, driver, 512});
        EXPECT_TRUE(control->IsPlaying()) << control->Error();
        EXPECT_EQ(control->Driver(), "disk");
        return control;
    }
    Bytes Played() const {
        std::ifstream in(m_path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string m_path;
};

// The OnComplete IDs a component delivered, with the thread of each.
struct Completions {
    std::mutex mutex;
    std::condition_variable changed;
    std::multimap<std::int32_t, std::thread::id> seen;

    void Attach(Varnel& v) {
        v.OnComplete += Varnel::Delegate_OnComplete([this](Object&, const OnCompleteArgs& e) {
            const std::lock_guard lock(mutex);
            seen.emplace(e.RequestID(), std::this_thread::get_id());
            changed.notify_all();
        });
    }
    bool WaitFor(const std::vector<std::int32_t>& ids) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kPatience, [&] {
            for (const std::int32_t id : ids)
                if (seen.count(id) == 0) return false;
            return true;
        });
    }
};

void QueueRequests(Varnel& v) {
    v.GenerateDTMFs("159#*D");
    v.GenerateTone(60, 20, 350.0f, 440.0f, 0.0f);
    v.GenerateSilence(25.0f);
    v.GenerateTTY("GA 123");
}

// What the host pulls with FetchWaveStream at this format for queue().
Bytes Fetched(std::int32_t rate, std::int32_t bits, void (*queue)(Varnel&)) {
    Varnel v;
    v.SampleRate(rate);
    v.BitsPerSample(bits);
    v.GenerateBegin();
    queue(v);
    Bytes all, block(3000);
    for (std::int32_t n; (n = v.FetchWaveStream(block)) > 0;) all.insert(all.end(), block.begin(), block.begin() + n);
    return all;
}

// The bytes from the first sample that is not silence on.
Bytes WithoutLeadingSilence(const Bytes& bytes, std::int32_t bits) {
    std::size_t i = 0;
    if (bits == 8) {
        while (i < bytes.size() && bytes[i] == 0x80) ++i;
    } else {
        while (i + 1 < bytes.size() && bytes[i] == 0 && bytes[i + 1] == 0) i += 2;
    }
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.end());
}

// Compares the played stream with the fetched one, and checks that only silence follows.
void ExpectPlayed(const Bytes& played, const Bytes& fetched, std::int32_t bits) {
    const Bytes expected = WithoutLeadingSilence(fetched, bits);
    const Bytes heard = WithoutLeadingSilence(played, bits);
    ASSERT_FALSE(expected.empty());
    ASSERT_GE(heard.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), heard.begin()));
    const std::uint8_t silence = bits == 8 ? 0x80 : 0x00;
    EXPECT_TRUE(std::all_of(heard.begin() + static_cast<std::ptrdiff_t>(expected.size()), heard.end(),
                            [&](std::uint8_t b) { return b == silence; }));
}

TEST_F(SondixControlTest, PlaysWhatIsRenderedAndCompletesOnItsWindowThread) {
    auto control = Control(8000, 16);
    Completions completions;
    Varnel v;
    completions.Attach(v);
    // Queued before binding, so that no pull finds the queue empty between two requests.
    v.SampleRate(8000);
    v.BitsPerSample(16);
    v.GenerateBegin();
    const std::vector<std::int32_t> ids = {v.GenerateDTMFs("159#*D"), v.GenerateTone(60, 20, 350.0f, 440.0f, 0.0f),
                                           v.GenerateSilence(25.0f), v.GenerateTTY("GA 123")};
    v.Destination(control);
    ASSERT_TRUE(completions.WaitFor(ids));
    ASSERT_TRUE(control->WaitUntilDrained(kPatience));
    v.Destination(nullptr);
    {
        const std::lock_guard lock(completions.mutex);
        EXPECT_EQ(completions.seen.size(), ids.size());
        for (const auto& [id, thread] : completions.seen) EXPECT_EQ(thread, control->WindowThread()) << id;
    }
    EXPECT_NE(control->WindowThread(), std::this_thread::get_id());
    control.reset();  // closes the device, and with it the file
    ExpectPlayed(Played(), Fetched(8000, 16, &QueueRequests), 16);
}

TEST_F(SondixControlTest, BoundControlLendsItsFormatToGenerateBegin) {
    auto control = Control(11025, 8, "disk");
    EXPECT_EQ(control->PlayFormat().nSamplesPerSec, 11025u);
    EXPECT_EQ(control->PlayFormat().wBitsPerSample, 8);
    Completions completions;
    Varnel v;
    completions.Attach(v);
    v.SampleRate(8000);
    v.Destination(control);
    v.GenerateBegin();
    EXPECT_EQ(v.SampleRate(), 11025);
    EXPECT_EQ(v.BitsPerSample(), 8);
    const std::int32_t id = v.GenerateDTMFs("0123456789");
    ASSERT_TRUE(completions.WaitFor({id}));
    ASSERT_TRUE(control->WaitUntilDrained(kPatience));
    v.Destination(nullptr);
    control.reset();
    ExpectPlayed(Played(), Fetched(11025, 8, [](Varnel& r) { r.GenerateDTMFs("0123456789"); }), 8);
}

TEST_F(SondixControlTest, UnboundControlPullsNothingMore) {
    auto control = Control(8000, 16);
    Varnel v;
    v.Destination(control);
    v.GenerateBegin();
    v.Destination(nullptr);
    QueueRequests(v);
    // The device keeps playing (silence), yet the queue stays whole for the host.
    ASSERT_TRUE(control->WaitUntilDrained(kPatience));
    Bytes all, block(3000);
    for (std::int32_t n; (n = v.FetchWaveStream(block)) > 0;) all.insert(all.end(), block.begin(), block.begin() + n);
    EXPECT_EQ(all, Fetched(8000, 16, &QueueRequests));
    control.reset();
    EXPECT_TRUE(std::ranges::all_of(Played(), [](std::uint8_t b) { return b == 0; }));
}

// The component's side played by the test: every binding counts the pulls that reach it, and
// one that was replaced must never be called, nor still be running, once the replacement has
// returned.
TEST_F(SondixControlTest, ReplacedCallbackIsNeverCalledAgain) {
    auto control = Control(8000, 16);
    auto source = std::dynamic_pointer_cast<SondixDataSource>(control->GetUnderlyingObject());
    ASSERT_TRUE(source);
    struct Pulls {
        std::atomic<int> calls{0};
        std::atomic<bool> replaced{false};
    };
    std::vector<std::unique_ptr<Pulls>> bindings;
    std::atomic<int> late{0};
    std::mutex mutex;
    std::condition_variable pulled;
    for (int round = 0; round < 100; ++round) {
        auto& pulls = *bindings.emplace_back(std::make_unique<Pulls>());
        const auto callback = [&, round](void* receiver, std::int32_t msg, std::uint64_t wparam, std::int64_t lparam) {
            auto& mine = *static_cast<Pulls*>(receiver);
            if (mine.replaced) ++late;
            EXPECT_EQ(msg, MSG_DATA_REQUEST);
            const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(lparam, 700));
            std::fill_n(reinterpret_cast<std::uint8_t*>(wparam), n, std::uint8_t{0x11});
            {
                const std::lock_guard lock(mutex);
                ++mine.calls;
            }
            pulled.notify_all();
            std::this_thread::sleep_for(200us);  // still running when the test rebinds
            if (mine.replaced) ++late;
            return round % 3 == 0 ? 0 : n;
        };
        ASSERT_EQ(source->set_DestEventhande(&pulls, callback), 0);
        if (round > 0) bindings[bindings.size() - 2]->replaced = true;
        std::unique_lock lock(mutex);
        ASSERT_TRUE(pulled.wait_for(lock, kPatience, [&] { return pulls.calls > 0; }));
    }
    ASSERT_EQ(source->set_DestEventhande(nullptr, DataCallback()), 0);
    bindings.back()->replaced = true;
    ASSERT_TRUE(control->WaitUntilDrained(kPatience));  // the device went on pulling from nobody
    EXPECT_EQ(late, 0);
}

TEST_F(SondixControlTest, CallbackMayUnbindItselfFromInsideAPull) {
    auto control = Control(8000, 16);
    auto source = std::dynamic_pointer_cast<SondixDataSource>(control->GetUnderlyingObject());
    ASSERT_TRUE(source);
    std::atomic<int> calls{0};
    source->set_DestEventhande(nullptr, [&](void*, std::int32_t, std::uint64_t, std::int64_t) {
        ++calls;
        return source->set_DestEventhande(nullptr, DataCallback()) == 0 ? 400 : -1;
    });
    ASSERT_TRUE(control->WaitUntilDrained(kPatience));
    EXPECT_EQ(calls, 1);
    control.reset();
    EXPECT_TRUE(std::ranges::all_of(Played(), [](std::uint8_t b) { return b == 0; }));  // dropped
}

// A wait for a long stream ends soon after its stop predicate says so.
TEST_F(SondixControlTest, AWaitEndsWhenAskedToStop) {
    auto control = Control(8000, 16);
    Varnel v;
    v.SampleRate(8000);
    v.GenerateBegin();
    v.GenerateSilence(3600000.0f);  // an hour: far more than the disk driver plays in the wait
    v.Destination(control);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(control->WaitUntilDrained(60s, [&] { return std::chrono::steady_clock::now() - start > 100ms; }));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 100ms);
    EXPECT_LT(waited, 500ms);
    v.Destination(nullptr);
}

TEST_F(SondixControlTest, WithoutAudioItIsStillADestination) {
    auto control = std::make_shared<SondixControl>(SondixControl::Options{8000, 16, "no-such-driver"});
    EXPECT_EQ(control->ToString(), "Quorvex.SondixNet.SondixControl");
    EXPECT_FALSE(control->IsPlaying());
    EXPECT_NE(control->Error(), "");
    EXPECT_EQ(control->Driver(), "");
    EXPECT_FALSE(control->WaitUntilDrained(10ms));
    auto source = std::dynamic_pointer_cast<CAudioDataSource>(control->GetUnderlyingObject());
    ASSERT_TRUE(source);
    EXPECT_NE(source->get_MsgWinHandle(), nullptr);
    std::vector<std::string> debug;
    Varnel v;
    v.OnDebug += Varnel::Delegate_OnDebug([&](Object&, const OnDebugArgs& e) { debug.push_back(e.InfoMsg()); });
    v.Destination(control);
    EXPECT_NE(std::find(debug.begin(), debug.end(), "Associated with Sondix.Net component."), debug.end());
    v.GenerateBegin();
    EXPECT_EQ(v.SampleRate(), 8000);
    EXPECT_EQ(v.BitsPerSample(), 16);
    v.Destination(nullptr);

    const SondixControl odd(SondixControl::Options{8000, 12});
    EXPECT_FALSE(odd.IsPlaying());
    EXPECT_NE(odd.Error().find("bits per sample"), std::string::npos) << odd.Error();
}

}  // namespace
