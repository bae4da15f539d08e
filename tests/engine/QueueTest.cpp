#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "support/EngineHarness.h"
#include "support/WaveFiles.h"
#include "varnel/engine/ErrorTexts.h"

namespace {

using namespace varnel_test;
using Bytes = std::vector<std::uint8_t>;
using Queuer = std::function<void(CVarnel&)>;

constexpr std::size_t kSilence10ms = 220;  // 110 samples of 16 bits at 11025 Hz

std::string Message(const std::string& line) { return line.substr(line.find("--\t") + 3); }

bool Logged(const Recorder& rec, std::size_t from, const std::string& message) {
    return std::any_of(rec.lines.begin() + static_cast<std::ptrdiff_t>(from), rec.lines.end(),
                       [&](const std::string& line) { return Message(line) == message; });
}

// Records like Recorder::Attach, then hands every message to hook.
void AttachWithHook(CVarnel& engine, Recorder& rec, std::function<void(std::int32_t msg, std::uint64_t wparam)> hook) {
    engine.SetCallBack([&rec, hook](void*, std::int32_t msg, std::uint64_t wparam, std::int64_t lparam) {
        if (msg == MSG_DEBUG_TEXT) {
            rec.lines.push_back(Utf16ToUtf8(reinterpret_cast<const char16_t*>(wparam)));
            rec.refCodes.push_back(lparam);
        } else if (msg == MSG_REQUEST_DONE) {
            rec.done.push_back(static_cast<std::int32_t>(wparam));
        } else if (msg == MSG_STREAM_FORMAT) {
            rec.formats.push_back(*reinterpret_cast<const WAVEFORMATEX*>(wparam));
        }
        hook(msg, wparam);
        return 0;
    });
}

std::int32_t Silence(CVarnel& engine, float ms) {
    std::int32_t id = -1;
    EXPECT_EQ(engine.GenerateSilence(ms, &id), S_OK);
    return id;
}

// What queue() renders, in a buffer-stream generation of its own, with one large pull.
Bytes RenderAlone(const Queuer& queue, std::int32_t bits = 16) {
    CVarnel engine;
    engine.set_BitsPerSample(bits);
    EXPECT_EQ(engine.GenerateBegin(nullptr), S_OK);
    queue(engine);
    Bytes pcm(1 << 21);
    const std::int32_t n = engine.ExecRequest(pcm.data(), static_cast<std::int32_t>(pcm.size()));
    EXPECT_GE(n, 0);
    pcm.resize(static_cast<std::size_t>(std::max(n, 0)));
    EXPECT_EQ(engine.ExecRequest(Bytes(1 << 12).data(), 1 << 12), 0);
    return pcm;
}

const Queuer kOneSecondTone = [](CVarnel& e) {
    std::int32_t id;
    EXPECT_EQ(e.GenerateTone(1000, 0, 440, 0, 0, &id), S_OK);
};

class QueueTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto& p : {path, otherPath}) std::filesystem::remove(p);
    }
    std::u16string Wide(const std::string& p) const { return Utf8ToUtf16(p); }
    std::string path = TempWavePath("queue");
    std::string otherPath = TempWavePath("queue_other");
};

TEST_F(QueueTest, RequestIDsCountFromZeroInEveryGeneration) {
    CVarnel engine;
    std::int32_t dtmf = -1, tone = -1;
    for (const bool toFile : {false, true, false}) {
        ASSERT_EQ(engine.GenerateBegin(toFile ? Wide(path).c_str() : nullptr), S_OK);
        ASSERT_EQ(engine.GenerateDTMFs(u"1", &dtmf), S_OK);
        ASSERT_EQ(engine.GenerateTone(10, 0, 440, 0, 0, &tone), S_OK);
        EXPECT_EQ(dtmf, 0);
        EXPECT_EQ(tone, 1);
        EXPECT_EQ(Silence(engine, 1), 2);
        ASSERT_EQ(engine.GenerateTones(u"440@1,0@1"), S_OK);
        EXPECT_EQ(Silence(engine, 1), 5);
    }
}

TEST_F(QueueTest, PullNeedsAGenerationAQueueAndMoreThan100Bytes) {
    CVarnel engine;
    Recorder rec;
    rec.Attach(engine);
    Bytes buffer(256, 0xEE);
    EXPECT_EQ(engine.ExecRequest(buffer.data(), 200), -1);
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    EXPECT_EQ(engine.ExecRequest(buffer.data(), 200), 0);

    Silence(engine, 10);
    Silence(engine, 10);
    EXPECT_EQ(engine.ExecRequest(buffer.data(), 100), 0);
    EXPECT_EQ(buffer, Bytes(256, 0xEE));
    EXPECT_EQ(engine.ExecRequest(buffer.data(), 101), 100);  // whole 16-bit samples only
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 100), Bytes(100, 0));
    EXPECT_EQ(buffer[100], 0xEE);
    // The first request's last 120 bytes leave exactly 100 free: the call stops there.
    EXPECT_EQ(engine.ExecRequest(buffer.data(), 220), 120);
    EXPECT_TRUE(rec.done.empty());
    EXPECT_EQ(PullAll(engine, 101).size(), kSilence10ms);
    EXPECT_EQ(rec.done, (std::vector<std::int32_t>{0, 1}));
}

TEST_F(QueueTest, OnePullRendersConsecutiveRequestsBackToBack) {
    const Bytes dtmf = RenderAlone([](CVarnel& e) {
        std::int32_t id;
        EXPECT_EQ(e.GenerateDTMFs(u"5", &id), S_OK);
    });
    CVarnel engine;
    Recorder rec;
    rec.Attach(engine);
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    Silence(engine, 10);
    std::int32_t id;
    ASSERT_EQ(engine.GenerateDTMFs(u"5", &id), S_OK);

    Bytes buffer(65536);
    const std::int32_t n = engine.ExecRequest(buffer.data(), 65536);
    EXPECT_EQ(rec.done, (std::vector<std::int32_t>{0, 1}));
    ASSERT_EQ(n, static_cast<std::int32_t>(kSilence10ms + dtmf.size()));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + kSilence10ms), Bytes(kSilence10ms, 0));
    EXPECT_EQ(Bytes(buffer.begin() + kSilence10ms, buffer.begin() + n), dtmf);
}

class FileRenderTest : public QueueTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(FileRenderTest, FileHoldsExactlyWhatAPullWouldGive) {
    const Queuer mix = [](CVarnel& e) {
        std::int32_t id;
        EXPECT_EQ(e.GenerateDTMFs(u"159#", &id), S_OK);
        EXPECT_EQ(e.GenerateTone(200, 100, 350, 440, 0, &id), S_OK);
        EXPECT_EQ(e.GenerateSilence(33.3f, &id), S_OK);
        EXPECT_EQ(e.GenerateTones(u"480|620@150,0@51"), S_OK);
        EXPECT_EQ(e.GenerateTone(8, 0, 1000, 0, 0, &id), S_OK);  // 88 bytes in 8 bits: an odd total
    };
    const Bytes expected = RenderAlone(mix, GetParam());

    CVarnel engine;
    Recorder rec;
    rec.Attach(engine);
    ASSERT_EQ(engine.set_BitsPerSample(GetParam()), S_OK);
    ASSERT_EQ(engine.GenerateBegin(Wide(path).c_str()), S_OK);
    mix(engine);
    EXPECT_TRUE(rec.done.empty());
    ASSERT_EQ(engine.GenerateEnd(), S_OK);
    EXPECT_EQ(rec.done, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5}));
    const auto wave = ReadWave(path);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->data, expected);
}

INSTANTIATE_TEST_SUITE_P(Bits, FileRenderTest, ::testing::Values(8, 16));

// GenerateBegin from each state, to a file, to a file that cannot be created, or to a stream.
enum class Target { File, BadFile, Stream };

struct BeginCase {
    const char* name;
    std::int32_t from;
    Target target;
    std::int32_t after;
};

class BeginStateTest : public QueueTest, public ::testing::WithParamInterface<BeginCase> {};

TEST_P(BeginStateTest, FollowsTheStateTable) {
    const BeginCase& c = GetParam();
    CVarnel engine;
    Recorder rec;
    rec.Attach(engine);
    if (c.from != kIdle) {
        ASSERT_EQ(engine.GenerateBegin(c.from == kToFile ? Wide(otherPath).c_str() : nullptr), S_OK);
        Silence(engine, 10);
    }
    const std::size_t formats = rec.formats.size();

    const std::string missing = ::testing::TempDir() + "varnel_no_such_dir/x.wav";
    const std::u16string name = c.target == Target::File ? Wide(path) : c.target == Target::BadFile ? Wide(missing) : u"";
    const HRESULT hr = engine.GenerateBegin(name.c_str());
    if (c.target == Target::BadFile) {
        EXPECT_EQ(hr, E_FAIL);
        EXPECT_EQ(engine.GetErrMsg(), std::string(ErrorText::kWaveFile) + " (No such file or directory)");
    } else {
        EXPECT_EQ(hr, S_OK);
    }
    EXPECT_EQ(rec.formats.size() - formats, c.target == Target::Stream ? 1u : 0u);
    if (c.from == kToFile) {  // the earlier file is closed, complete and without the dropped request
        const auto earlier = ReadWave(otherPath);
        ASSERT_TRUE(earlier);
        EXPECT_TRUE(earlier->data.empty());
    }

    std::int32_t id = -1;
    const HRESULT queued = engine.GenerateSilence(10, &id);
    if (c.after == kIdle) {
        EXPECT_EQ(queued, E_FAIL);
        return;
    }
    ASSERT_EQ(queued, S_OK);
    EXPECT_EQ(id, 0);
    const std::size_t lines = rec.lines.size();
    if (c.target == Target::File) {
        ASSERT_EQ(engine.GenerateEnd(), S_OK);
        EXPECT_TRUE(Logged(rec, lines, "Start the generation, writing !"));
        const auto wave = ReadWave(path);
        ASSERT_TRUE(wave);
        EXPECT_EQ(wave->data, Bytes(kSilence10ms, 0));  // the earlier queue is gone
        return;
    }
    // A stream, or a file generation that lost its file: pulls render, and ending drops the
    // queue without announcing any completion.
    EXPECT_EQ(PullAll(engine, 8192), Bytes(kSilence10ms, 0));
    Silence(engine, 10);
    const std::size_t done = rec.done.size();
    ASSERT_EQ(engine.GenerateEnd(), S_OK);
    EXPECT_FALSE(Logged(rec, lines, "Start the generation, writing !"));
    EXPECT_EQ(rec.done.size(), done);
    EXPECT_EQ(engine.GenerateSilence(10, &id), E_FAIL);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BeginStateTest,
    ::testing::Values(BeginCase{"IdleToFile", kIdle, Target::File, kToFile},
                      BeginCase{"IdleToBadFile", kIdle, Target::BadFile, kIdle},
                      BeginCase{"IdleToStream", kIdle, Target::Stream, kToBufferStream},
                      BeginCase{"FileToFile", kToFile, Target::File, kToFile},
                      BeginCase{"FileToBadFile", kToFile, Target::BadFile, kToFile},  // still generating, without a file
                      BeginCase{"FileToStream", kToFile, Target::Stream, kToBufferStream},
                      BeginCase{"StreamToFile", kToBufferStream, Target::File, kToFile},
                      BeginCase{"StreamToBadFile", kToBufferStream, Target::BadFile, kToBufferStream},
                      BeginCase{"StreamToStream", kToBufferStream, Target::Stream, kToBufferStream}),
    [](const auto& info) { return std::string(info.param.name); });

// A notification handler ends, discards or restarts the generation while request 0 (a
// one-second tone) completes; a restarting handler also queues a request of the new generation
// at once.
enum class Trigger { RequestDone, CompletedLine };
enum class Action { End, Discard, Restart };

class ReentrancyTest : public QueueTest,
                       public ::testing::WithParamInterface<std::tuple<Trigger, Action, bool>> {};

TEST_P(ReentrancyTest, RenderingStopsWithWhatItHad) {
    const auto [trigger, action, toFile] = GetParam();
    const Bytes tone = RenderAlone(kOneSecondTone);
    ASSERT_GT(tone.size(), 8192u * 2);

    CVarnel engine;
    Recorder rec;
    bool fired = false;
    AttachWithHook(engine, rec, [&](std::int32_t msg, std::uint64_t wparam) {
        const bool hit = trigger == Trigger::RequestDone
                             ? msg == MSG_REQUEST_DONE && wparam == 0
                             : msg == MSG_DEBUG_TEXT && Message(rec.lines.back()) == "Request completed, requestID:0";
        if (!hit || fired) return;
        fired = true;
        if (action == Action::End) {
            EXPECT_EQ(engine.GenerateEnd(), S_OK);
        } else if (action == Action::Discard) {
            engine.Discard();
        } else {
            EXPECT_EQ(engine.GenerateBegin(nullptr), S_OK);
            EXPECT_EQ(Silence(engine, 10), 0);
        }
    });
    ASSERT_EQ(engine.GenerateBegin(toFile ? Wide(path).c_str() : nullptr), S_OK);
    kOneSecondTone(engine);
    Silence(engine, 10);

    if (toFile) {
        EXPECT_EQ(engine.GenerateEnd(), S_OK);
        const auto wave = ReadWave(path);
        ASSERT_TRUE(wave);
        EXPECT_EQ(wave->data, tone);
    } else {
        Bytes buffer(65536);
        const std::int32_t n = engine.ExecRequest(buffer.data(), 65536);
        ASSERT_EQ(n, static_cast<std::int32_t>(tone.size()));
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + n), tone);
    }
    ASSERT_TRUE(fired);
    if (trigger == Trigger::RequestDone) {
        EXPECT_EQ(rec.done, std::vector<std::int32_t>{0});
    } else if (action == Action::Restart) {
        EXPECT_TRUE(rec.done.empty());  // a late "0 done" would name the new generation's request
    }
    if (action != Action::Restart) {
        EXPECT_EQ(engine.ExecRequest(Bytes(1000).data(), 1000), -1);
        std::int32_t id;
        EXPECT_EQ(engine.GenerateDTMFs(u"1", &id), E_FAIL);
    } else {
        EXPECT_EQ(PullAll(engine, 8192), Bytes(kSilence10ms, 0));
        EXPECT_EQ(rec.done.back(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReentrancyTest,
                         ::testing::Combine(::testing::Values(Trigger::RequestDone, Trigger::CompletedLine),
                                            ::testing::Values(Action::End, Action::Discard, Action::Restart),
                                            ::testing::Bool()));

TEST_F(QueueTest, RequestQueuedByTheCompletionHandlerIsRendered) {
    for (const bool toFile : {false, true}) {
        SCOPED_TRACE(toFile ? "file" : "buffer stream");
        CVarnel engine;
        Recorder rec;
        AttachWithHook(engine, rec, [&](std::int32_t msg, std::uint64_t wparam) {
            if (msg == MSG_REQUEST_DONE && wparam == 0) {
                EXPECT_EQ(Silence(engine, 20), 1);
            }
        });
        ASSERT_EQ(engine.GenerateBegin(toFile ? Wide(path).c_str() : nullptr), S_OK);
        Silence(engine, 10);
        if (toFile) {
            ASSERT_EQ(engine.GenerateEnd(), S_OK);
            const auto wave = ReadWave(path);
            ASSERT_TRUE(wave);
            EXPECT_EQ(wave->data.size(), 3 * kSilence10ms);
        } else {
            Bytes buffer(8192);
            EXPECT_EQ(engine.ExecRequest(buffer.data(), 8192), static_cast<std::int32_t>(3 * kSilence10ms));
        }
        EXPECT_EQ(rec.done, (std::vector<std::int32_t>{0, 1}));
    }
}

// A finished request is unlinked before its completion is announced: a handler that pulls gets
// the next request, and every request completes once.
TEST_F(QueueTest, CompletionHandlerCanPull) {
    CVarnel engine;
    Recorder rec;
    std::int32_t nested = -2;
    bool pulled = false;
    AttachWithHook(engine, rec, [&](std::int32_t msg, std::uint64_t wparam) {
        if (msg == MSG_REQUEST_DONE && wparam == 0 && !pulled) {
            pulled = true;
            nested = engine.ExecRequest(Bytes(8192).data(), 8192);
        }
    });
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    Silence(engine, 10);
    Silence(engine, 20);
    EXPECT_EQ(engine.ExecRequest(Bytes(8192).data(), 8192), static_cast<std::int32_t>(kSilence10ms));
    EXPECT_EQ(nested, static_cast<std::int32_t>(2 * kSilence10ms));
    EXPECT_EQ(rec.done, (std::vector<std::int32_t>{0, 1}));
}

// Every kind of request, twice, read in blocks of one size: the same bytes as one large read,
// and no call reports a byte it did not write (each block starts out filled with junk).
class BlockReadTest : public ::testing::TestWithParam<std::tuple<int, std::int32_t, std::int32_t>> {};

const Queuer kKinds[] = {
    [](CVarnel& e) {
        Silence(e, 123.4f);
        Silence(e, 7);
    },
    [](CVarnel& e) {
        std::int32_t id;
        EXPECT_EQ(e.GenerateDTMFs(u"1*9#,0", &id), S_OK);
        EXPECT_EQ(e.GenerateDTMFs(u"D", &id), S_OK);
    },
    [](CVarnel& e) {
        std::int32_t id;
        EXPECT_EQ(e.GenerateTone(150, 70, 350, 440, 0, &id), S_OK);
        EXPECT_EQ(e.GenerateTone(33, 0, 1000, 1400, 2060, &id), S_OK);
    },
    [](CVarnel& e) { EXPECT_EQ(e.GenerateTones(u"697|1209@90,0@35,941|1477@61"), S_OK); },
};

TEST_P(BlockReadTest, SplitReadsEqualOneRead) {
    const auto [kind, bits, block] = GetParam();
    const Bytes expected = RenderAlone(kKinds[kind], bits);
    ASSERT_FALSE(expected.empty());
    for (const int junk : {0x5A, 0xA5}) {
        CVarnel engine;
        engine.set_BitsPerSample(bits);
        ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
        kKinds[kind](engine);
        ASSERT_EQ(engine.QueuedBytes(), static_cast<std::int64_t>(expected.size()));
        Bytes out, buffer(static_cast<std::size_t>(block));
        for (;;) {
            std::fill(buffer.begin(), buffer.end(), static_cast<std::uint8_t>(junk));
            const std::int32_t n = engine.ExecRequest(buffer.data(), block);
            ASSERT_LE(n, block);
            if (n <= 0) break;
            ASSERT_EQ(n % (bits / 8), 0);
            out.insert(out.end(), buffer.begin(), buffer.begin() + n);
            ASSERT_EQ(engine.QueuedBytes() + static_cast<std::int64_t>(out.size()), static_cast<std::int64_t>(expected.size()));
        }
        EXPECT_EQ(out, expected) << "junk " << junk;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BlockReadTest,
                         ::testing::Combine(::testing::Range(0, 4), ::testing::Values(8, 16),
                                            ::testing::Values(101, 102, 333, 8192)));

TEST_F(QueueTest, QueuedBytesStartAfreshWithEveryGeneration) {
    CVarnel engine;
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    Silence(engine, 10);
    Silence(engine, 10);
    Bytes block(400);
    ASSERT_EQ(engine.ExecRequest(block.data(), 400), 400);  // the first, and 180 bytes of the second
    EXPECT_EQ(engine.QueuedBytes(), static_cast<std::int64_t>(2 * kSilence10ms - 400));
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    EXPECT_EQ(engine.QueuedBytes(), 0);
    Silence(engine, 10);
    EXPECT_EQ(engine.QueuedBytes(), static_cast<std::int64_t>(kSilence10ms));
    ASSERT_EQ(engine.GenerateEnd(), S_OK);
    EXPECT_EQ(engine.QueuedBytes(), 0);
}

// A stream pull during a file generation would take audio the file is owed.
TEST_F(QueueTest, StreamPullsRenderOnlyABufferStream) {
    CVarnel engine;
    Bytes buffer(8192);
    EXPECT_EQ(engine.ExecStreamRequest(buffer.data(), 8192), -1);
    ASSERT_EQ(engine.GenerateBegin(Wide(path).c_str()), S_OK);
    Silence(engine, 10);
    EXPECT_EQ(engine.ExecStreamRequest(buffer.data(), 8192), -1);
    ASSERT_EQ(engine.GenerateEnd(), S_OK);
    const auto wave = ReadWave(path);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->data, Bytes(kSilence10ms, 0));
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    EXPECT_EQ(engine.ExecStreamRequest(buffer.data(), 8192), 0);
    Silence(engine, 10);
    EXPECT_EQ(engine.ExecStreamRequest(buffer.data(), 100), 0);
    EXPECT_EQ(engine.ExecStreamRequest(buffer.data(), 8192), static_cast<std::int32_t>(kSilence10ms));
}

// Discarding ends any generation at once, renders nothing and says nothing; a file keeps what
// was written before.
TEST_F(QueueTest, DiscardEndsTheGenerationSilently) {
    for (const bool toFile : {false, true}) {
        SCOPED_TRACE(toFile ? "file" : "buffer stream");
        CVarnel engine;
        Recorder rec;
        rec.Attach(engine);
        ASSERT_EQ(engine.GenerateBegin(toFile ? Wide(path).c_str() : nullptr), S_OK);
        Silence(engine, 10);
        const std::size_t lines = rec.lines.size();
        engine.Discard();
        EXPECT_EQ(rec.lines.size(), lines);
        EXPECT_TRUE(rec.done.empty());
        EXPECT_EQ(engine.ExecRequest(Bytes(1000).data(), 1000), -1);
        std::int32_t id;
        EXPECT_EQ(engine.GenerateSilence(10, &id), E_FAIL);
        EXPECT_EQ(engine.GenerateEnd(), S_OK);
        if (toFile) {
            const auto wave = ReadWave(path);
            ASSERT_TRUE(wave);
            EXPECT_TRUE(wave->data.empty());
        }
    }
    CVarnel idle;
    idle.Discard();
    EXPECT_EQ(idle.ExecRequest(Bytes(1000).data(), 1000), -1);
}

TEST_F(QueueTest, UnwritableFileFailsAtEndAndStillEnds) {
    CVarnel engine;
    ASSERT_EQ(engine.GenerateBegin(u"/dev/full"), S_OK);
    Silence(engine, 10);
    EXPECT_EQ(engine.GenerateEnd(), E_FAIL);
    EXPECT_EQ(engine.GetErrMsg(), std::string(ErrorText::kWaveFile) + " (No space left on device)");
    std::int32_t id;
    EXPECT_EQ(engine.GenerateDTMFs(u"1", &id), E_FAIL);
    EXPECT_EQ(engine.GetErrMsg(), ErrorText::kNotGenerating);
}

TEST_F(QueueTest, DestroyingTheEngineLeavesACompleteFileAndSaysNothing) {
    Recorder rec;
    std::size_t lines = 0;
    {
        CVarnel engine;
        rec.Attach(engine);
        ASSERT_EQ(engine.GenerateBegin(Wide(path).c_str()), S_OK);
        kOneSecondTone(engine);
        lines = rec.lines.size();
    }
    EXPECT_EQ(rec.lines.size(), lines);
    EXPECT_TRUE(rec.done.empty());
    const auto wave = ReadWave(path);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->format.nSamplesPerSec, 11025u);
    EXPECT_TRUE(wave->data.empty());  // nothing is rendered on the way out
}

}  // namespace
