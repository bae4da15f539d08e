#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/TestDestination.h"
#include "support/WaveFiles.h"

namespace {

using namespace varnel_test;
using Bytes = std::vector<std::uint8_t>;

const std::string kAssociated = "Associated with Sondix.Net component.";

std::shared_ptr<TestSondixControl> ControlOf(std::shared_ptr<TestDataSource> source) {
    return std::make_shared<TestSondixControl>(std::move(source));
}

bool Has(const std::vector<std::uint32_t>& messages, std::uint32_t msg) {
    return std::find(messages.begin(), messages.end(), msg) != messages.end();
}

std::int32_t Offer(TestDataSource& source, Bytes& block) {
    return source.Call(MSG_DATA_REQUEST, reinterpret_cast<std::uintptr_t>(block.data()), static_cast<std::int64_t>(block.size()));
}

TEST(DestinationTest, NullBoxedValuesAndForeignObjectsBindNothing) {
    auto source = std::make_shared<TestDataSource>(PcmFormat(8000, 8));
    EventLog log;  // outlives the component, whose handlers write to it
    Varnel v;
    log.Attach(v);
    EXPECT_NO_THROW(v.Destination(nullptr));
    EXPECT_NO_THROW(v.Destination(Box(42)));
    EXPECT_NO_THROW(v.Destination(Box(std::string("x"))));
    EXPECT_NO_THROW(v.Destination(Box(std::string(kSondixControlTypeName))));
    EXPECT_NO_THROW(v.Destination(ControlOf(nullptr)));  // an adapter without an underlying object
    const std::shared_ptr<Object> foreign[] = {std::make_shared<Object>(), std::make_shared<TestSondixControl>(source, "Quorvex.SondixNet.Other")};
    for (const auto& object : foreign) {
        const std::string refused = "Destination must be a Quorvex.SondixNet.SondixControl, not " + object->ToString() + ".";
        EXPECT_EQ(Thrown<ArgumentException>([&] { v.Destination(object); }), Failure(E_INVALIDARG, refused));
    }
    EXPECT_TRUE(source->Snapshot().owners.empty());
    EXPECT_TRUE(source->Snapshot().bindings.empty());
    EXPECT_TRUE(log.debug.empty());
    v.GenerateBegin();
    EXPECT_EQ(v.SampleRate(), 11025);
    EXPECT_EQ(v.BitsPerSample(), 16);
}

TEST(DestinationTest, DestinationWithoutWindowIsTooOldButStaysTheFormatSource) {
    auto source = std::make_shared<TestDataSource>(PcmFormat(8000, 8), false);
    Varnel v;
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.Destination(ControlOf(source)); }),
              Failure(E_INVALIDARG, "Version of Sondix.Net too old!"));
    EXPECT_EQ(source->Snapshot().owners, std::vector<std::string>{kSondixControlTypeName});
    EXPECT_TRUE(source->Snapshot().bindings.empty());
    v.GenerateBegin();
    EXPECT_EQ(v.SampleRate(), 8000);
    EXPECT_EQ(v.BitsPerSample(), 8);
}

TEST(DestinationTest, PlayFormatOtherThanPcmMonoStopsGenerateBegin) {
    WAVEFORMATEX floatMono = PcmFormat(8000, 16);
    floatMono.wFormatTag = 3;
    for (const WAVEFORMATEX& format : {PcmFormat(8000, 16, 2), floatMono}) {
        auto source = std::make_shared<TestDataSource>(format);
        EventLog log;  // outlives the component, whose handlers write to it
        Varnel v;
        log.Attach(v);
        v.Destination(ControlOf(source));
        EXPECT_NO_THROW(v.GenerateBegin());
        EXPECT_TRUE(log.Logged("Supports the PCM mono-channel data from Sondix.Net only!"));
        EXPECT_EQ(Thrown<COMException>([&] { v.GenerateDTMFs("1"); }),
                  Failure(E_FAIL, "Not in generate state, Please call GenerateBegin() method first."));
        EXPECT_EQ(v.SampleRate(), 11025);
    }
}

TEST(DestinationTest, BindingAnnouncesItselfAndGenerateBeginTakesThePlayFormat) {
    auto source = std::make_shared<TestDataSource>(PcmFormat(8000, 8));
    EventLog log;  // outlives the component, whose handlers write to it
    Varnel v;
    log.Attach(v);
    v.Destination(ControlOf(source));
    ASSERT_EQ(log.debug.size(), 1u);
    EXPECT_EQ(log.debug[0].text, kAssociated);
    EXPECT_EQ(log.debug[0].value, 0);
    EXPECT_EQ(source->Snapshot().owners, std::vector<std::string>{kSondixControlTypeName});
    ASSERT_EQ(source->Snapshot().bindings.size(), 1u);
    EXPECT_TRUE(source->Snapshot().bindings[0].receiver && source->Snapshot().bindings[0].callback);
    EXPECT_EQ(v.SampleRate(), 11025);
    v.GenerateBegin();
    EXPECT_EQ(v.SampleRate(), 8000);
    EXPECT_EQ(v.BitsPerSample(), 8);
}

// The destination plays PCM: GenerateBegin takes its format back to PCM.
TEST(DestinationTest, GenerateBeginTakesTheEncodingBackToPcm) {
    auto source = std::make_shared<TestDataSource>(PcmFormat(8000, 16));
    Varnel v;
    v.Encoding(ENC_MuLaw);
    v.Destination(ControlOf(source));
    v.GenerateBegin();
    EXPECT_EQ(v.Encoding(), ENC_PCM);
    EXPECT_EQ(v.SampleRate(), 8000);
}

// While a file generation is open its format is fixed: a GenerateBegin that would give the
// destination another format throws, one that keeps it goes ahead.
TEST(DestinationTest, GenerateBeginInAFileGenerationKeepsOrRefusesTheFormat) {
    const std::string path = TempWavePath("destination");
    auto first = std::make_shared<TestDataSource>(PcmFormat(8000, 8));
    auto second = std::make_shared<TestDataSource>(PcmFormat(16000, 16));
    Varnel v;
    v.Destination(ControlOf(first));
    v.GenerateBegin(path);
    EXPECT_EQ(v.SampleRate(), 8000);
    EXPECT_NO_THROW(v.GenerateBegin(path));  // the same format
    v.Destination(ControlOf(second));
    EXPECT_EQ(Thrown<COMException>([&] { v.GenerateBegin(); }),
              Failure(E_FAIL, "The format cannot change during a file generation: call GenerateEnd first."));
    EXPECT_EQ(v.SampleRate(), 8000);
    v.GenerateEnd();
    std::remove(path.c_str());
    v.GenerateBegin();
    EXPECT_EQ(v.SampleRate(), 16000);
    EXPECT_EQ(v.BitsPerSample(), 16);
    v.Destination(nullptr);
}

TEST(DestinationTest, EventsRunOnTheWindowThreadWhileBoundThenOnTheCallers) {
    auto source = std::make_shared<TestDataSource>();
    EventLog log;  // outlives the component, whose handlers write to it
    Varnel v;
    log.Attach(v);
    v.Destination(ControlOf(source));
    const std::thread::id window = source->WindowThread();
    ASSERT_NE(window, std::thread::id());
    ASSERT_NE(window, std::this_thread::get_id());
    SendMessageA(source->get_MsgWinHandle(), 0x1234, 0, 0);  // passed on to the destination's procedure
    EXPECT_TRUE(Has(source->Snapshot().unknown, 0x1234));

    v.GenerateBegin();
    const std::int32_t id = v.GenerateSilence(10.0f);
    Bytes block(4096);
    EXPECT_GT(Offer(*source, block), 0);
    ASSERT_TRUE(log.WaitForCompletion(id));
    {
        const std::lock_guard lock(log.mutex);
        ASSERT_GE(log.debug.size(), 3u);
        EXPECT_EQ(log.debug[0].thread, std::this_thread::get_id());  // the facade's own line
        for (std::size_t i = 1; i < log.debug.size(); ++i) EXPECT_EQ(log.debug[i].thread, window) << log.debug[i].text;
        EXPECT_EQ(log.complete.at(0).thread, window);
        EXPECT_EQ(log.complete.at(0).sender, &v);
    }

    v.Destination(nullptr);
    ASSERT_EQ(source->Snapshot().bindings.size(), 2u);
    EXPECT_FALSE(source->Snapshot().bindings[1].receiver || source->Snapshot().bindings[1].callback);
    const std::size_t before = log.debug.size();
    const std::int32_t next = v.GenerateSilence(10.0f);
    EXPECT_GT(v.FetchWaveStream(block), 0);
    ASSERT_EQ(log.CompletedIDs(), (std::vector<std::int32_t>{id, next}));
    EXPECT_EQ(log.complete[1].thread, std::this_thread::get_id());
    ASSERT_GT(log.debug.size(), before);
    for (std::size_t i = before; i < log.debug.size(); ++i) EXPECT_EQ(log.debug[i].thread, std::this_thread::get_id());
    // The window has its own procedure back: a completion message is an unknown one to it.
    SendMessageA(source->get_MsgWinHandle(), MSG_REQUEST_DONE, 77, 0);
    EXPECT_TRUE(Has(source->Snapshot().unknown, MSG_REQUEST_DONE));
    EXPECT_EQ(log.CompletedIDs().size(), 2u);
}

TEST(DestinationTest, DestinationPullingOnItsThreadGetsTheWaveFileBytes) {
    const std::pair<std::uint32_t, std::uint16_t> formats[] = {{8000, 16}, {11025, 8}};
    for (const auto& [rate, bits] : formats) {
        auto source = std::make_shared<TestDataSource>(PcmFormat(rate, bits));
        EventLog log;  // outlives the component, whose handlers write to it
        Varnel v;
        log.Attach(v);
        v.Destination(ControlOf(source));
        source->Start();
        v.GenerateBegin();
        const std::vector<std::int32_t> ids = QueueEveryKind(v);
        ASSERT_TRUE(log.WaitForCompletion(ids.back()));
        ASSERT_TRUE(source->WaitForEmptyPull());
        EXPECT_EQ(log.CompletedIDs(), ids);
        const Bytes file = RenderedToFile(QueueEveryKind, static_cast<std::int32_t>(rate), bits, TempWavePath("pulled"));
        EXPECT_FALSE(file.empty());
        EXPECT_TRUE(source->Snapshot().pulled == file) << rate << " Hz, " << bits << " bits";
    }
}

TEST(DestinationTest, DestinationPullsNothingFromAFileGeneration) {
    auto source = std::make_shared<TestDataSource>(PcmFormat(8000, 16));
    Varnel v;
    v.Destination(ControlOf(source));
    source->Start();
    const std::string path = TempWavePath("destination_file");
    v.GenerateBegin(path);
    QueueEveryKind(v);
    ASSERT_TRUE(source->WaitForEmptyPull());
    Bytes block(4096);
    EXPECT_EQ(Offer(*source, block), -1);
    v.GenerateEnd();
    const auto wave = ReadWave(path);
    std::remove(path.c_str());
    ASSERT_TRUE(wave);
    EXPECT_TRUE(wave->data == RenderedToFile(QueueEveryKind, 8000, 16, TempWavePath("destination_file_alone")));
    EXPECT_TRUE(source->Snapshot().pulled.empty());
}

TEST(DestinationTest, ReleasingABoundComponentUnbindsItsDestinationFirst) {
    for (const bool dispose : {true, false}) {
        auto source = std::make_shared<TestDataSource>();
        source->Start();
        auto v = std::make_unique<Varnel>();
        v->Destination(ControlOf(source));
        v->GenerateBegin();
        v->GenerateTone(500, 0, 440.0f, 0.0f, 0.0f);
        if (dispose) {
            v->Dispose();
        } else {
            v.reset();
        }
        ASSERT_EQ(source->Snapshot().bindings.size(), 2u);
        EXPECT_FALSE(source->Snapshot().bindings[1].receiver || source->Snapshot().bindings[1].callback);
        EXPECT_TRUE(source->WaitForEmptyPull());
        EXPECT_TRUE(source->WaitForEmptyPull());
        Bytes block(4096);
        EXPECT_EQ(Offer(*source, block), -2);  // nothing bound any more
        SendMessageA(source->get_MsgWinHandle(), MSG_REQUEST_DONE, 0, 0);
        EXPECT_TRUE(Has(source->Snapshot().unknown, MSG_REQUEST_DONE));
        if (v) {
            EXPECT_THROW(v->GenerateSilence(1.0f), COMException);
        }
        v.reset();
    }
}

TEST(DestinationTest, NullBufferAndUnknownMessagesGetNothing) {
    auto source = std::make_shared<TestDataSource>();
    Varnel v;
    v.Destination(ControlOf(source));
    EXPECT_EQ(source->Call(MSG_DATA_REQUEST, 0, 4096), -1);
    v.GenerateBegin();
    v.GenerateSilence(10.0f);
    EXPECT_EQ(source->Call(MSG_DATA_REQUEST, 0, 4096), 0);
    EXPECT_EQ(source->Call(0x1234, 1, 2), 0);
    EXPECT_EQ(source->Call(MSG_STREAM_FORMAT, 0, 0), 0);
    Bytes block(4096);
    EXPECT_GT(Offer(*source, block), 0);
}

}  // namespace

namespace {

// Binding a new destination over a bound one, or over one that turns out to be unusable,
// unbinds the old one: destroying the component later leaves no destination calling into it.
TEST(DestinationTest, RebindingUnbindsThePreviousDestination) {
    auto first = std::make_shared<TestDataSource>();
    auto second = std::make_shared<TestDataSource>();
    auto noWindow = std::make_shared<TestDataSource>(PcmFormat(8000, 16), false);
    first->Start();
    auto v = std::make_unique<Varnel>();
    v->Destination(ControlOf(first));
    v->Destination(ControlOf(second));
    ASSERT_EQ(first->Snapshot().bindings.size(), 2u);
    EXPECT_FALSE(first->Snapshot().bindings[1].callback);
    EXPECT_THROW(v->Destination(ControlOf(noWindow)), ArgumentException);
    ASSERT_EQ(second->Snapshot().bindings.size(), 2u);
    EXPECT_FALSE(second->Snapshot().bindings[1].callback);
    v.reset();
    EXPECT_TRUE(first->WaitForEmptyPull());
    Bytes block(4096);
    EXPECT_EQ(Offer(*first, block), -2);
}

// A handler on the window thread may unbind the destination while it is pulling.
TEST(DestinationTest, UnbindingFromAHandlerWhileTheDestinationPulls) {
    std::mutex mutex;
    std::condition_variable unbound;
    bool done = false;
    auto source = std::make_shared<TestDataSource>();
    Varnel v;
    v.OnComplete += Varnel::Delegate_OnComplete([&](Object&, const OnCompleteArgs& e) {
        if (e.RequestID() != 1) return;
        v.Destination(nullptr);
        const std::lock_guard lock(mutex);
        done = true;
        unbound.notify_all();
    });
    v.Destination(ControlOf(source));
    source->Start();
    v.GenerateBegin();
    for (int i = 0; i < 40; ++i) v.GenerateSilence(20.0f);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(unbound.wait_for(lock, kPatience, [&] { return done; }));
    EXPECT_FALSE(source->Snapshot().bindings.back().callback);
}

}  // namespace
