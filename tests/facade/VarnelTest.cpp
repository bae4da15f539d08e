#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/TestDestination.h"
#include "support/WaveFiles.h"

namespace {

using namespace varnel_test;
using Bytes = std::vector<std::uint8_t>;

const std::string kNotGenerating = "Not in generate state, Please call GenerateBegin() method first.";
const std::string kWaveFileError = "Unable to create or write this wave file.";

Bytes FetchAll(Varnel& v, std::size_t block) {
    Bytes out, buffer(block);
    for (std::int32_t n; (n = v.FetchWaveStream(buffer)) > 0;) out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    return out;
}

TEST(VarnelTest, NewComponentReportsTheDefaultSettings) {
    Varnel v;
    EXPECT_EQ(v.CID_Format(), CID_MDMF);
    EXPECT_EQ(v.TTY_Rate(), BR_45_45_Baud);
    EXPECT_EQ(v.TTY_Mode(), Baudot_Mode);
    EXPECT_EQ(v.SampleRate(), 11025);
    EXPECT_EQ(v.BitsPerSample(), 16);
    EXPECT_EQ(v.DTMF_ToneTime(), 80);
    EXPECT_EQ(v.DTMF_BreakTime(), 150);
    EXPECT_EQ(v.DTMF_PauseTime(), 400);
    EXPECT_EQ(v.Amplitude(), -6.0f);
    EXPECT_EQ(v.CID_BitTiming(), CBT_WholeSamples);
    EXPECT_EQ(v.TTY_FigsAfterSpace(), 0);
    EXPECT_EQ(v.Encoding(), ENC_PCM);
}

TEST(VarnelTest, RefusedSettingsThrowArgumentExceptionAndKeepTheValue) {
    Varnel v;
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.BitsPerSample(24); }).first, E_INVALIDARG);
    EXPECT_EQ(v.BitsPerSample(), 16);
    v.CID_BitTiming(CBT_Exact);
    EXPECT_EQ(v.CID_BitTiming(), CBT_Exact);
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.CID_BitTiming(static_cast<CID_BIT_TIMING>(2)); }).first, E_INVALIDARG);
    EXPECT_EQ(v.CID_BitTiming(), CBT_Exact);
    v.TTY_FigsAfterSpace(1);
    EXPECT_EQ(v.TTY_FigsAfterSpace(), 1);
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.TTY_FigsAfterSpace(2); }).first, E_INVALIDARG);
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.TTY_FigsAfterSpace(-1); }).first, E_INVALIDARG);
    EXPECT_EQ(v.TTY_FigsAfterSpace(), 1);
    v.Encoding(ENC_ALaw);
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.Encoding(static_cast<ENCODING_TYPE>(3)); }),
              Failure(E_INVALIDARG, "Encoding out of range: it must be ENC_PCM (0), ENC_MuLaw (1) or ENC_ALaw (2)."));
    EXPECT_EQ(v.Encoding(), ENC_ALaw);
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.SampleRate(16777217); }),
              Failure(E_INVALIDARG, "Sample rate out of range: it must be from 1 to 16777216 Hz."));
    EXPECT_EQ(v.SampleRate(), 11025);
}

// Set applies any row of the settings catalog as the row's property would.
TEST(VarnelTest, SetAppliesACatalogRowLikeItsProperty) {
    Varnel v;
    v.Set(SettingsCatalog::kEncoding, {.integer = ENC_MuLaw});
    EXPECT_EQ(v.Encoding(), ENC_MuLaw);
    v.Set(SettingsCatalog::kAmplitude, {.number = -20.0f});
    EXPECT_EQ(v.Amplitude(), -20.0f);
    v.Set(SettingsCatalog::kTtyRate, {.integer = BR_110_Baud});
    EXPECT_EQ(v.TTY_Rate(), BR_110_Baud);
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.Set(SettingsCatalog::kSampleRate, {.integer = 0}); }),
              Failure(E_INVALIDARG, "Sample rate out of range: it must be from 1 to 16777216 Hz."));
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.Set(SettingSpec{}, {}); }).first, E_INVALIDARG);
}

// Get reads any row of the settings catalog as the row's property would.
TEST(VarnelTest, GetReadsACatalogRowLikeItsProperty) {
    Varnel v;
    for (const SettingSpec* spec : SettingsCatalog::All()) {
        const SettingValue value = v.Get(*spec);
        EXPECT_EQ(value.integer, spec->defaultValue.integer) << spec->name;
        EXPECT_EQ(value.number, spec->defaultValue.number) << spec->name;
    }
    v.Amplitude(-20.0f);
    v.TTY_Rate(BR_110_Baud);
    EXPECT_EQ(v.Get(SettingsCatalog::kAmplitude).number, -20.0f);
    EXPECT_EQ(v.Get(SettingsCatalog::kTtyRate).integer, BR_110_Baud);
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.Get(SettingSpec{}); }).first, E_INVALIDARG);
}

// A WAV file's format is fixed from GenerateBegin to GenerateEnd; G.711 files carry their tag.
TEST(VarnelTest, FormatPropertiesThrowWhileAFileGenerationIsOpen) {
    const std::string path = TempWavePath("alaw");
    const Failure fixed(E_FAIL, "The format cannot change during a file generation: call GenerateEnd first.");
    Varnel v;
    v.SampleRate(8000);
    v.Encoding(ENC_ALaw);
    v.GenerateBegin(path);
    EXPECT_EQ(Thrown<COMException>([&] { v.SampleRate(16000); }), fixed);
    EXPECT_EQ(Thrown<COMException>([&] { v.BitsPerSample(8); }), fixed);
    EXPECT_EQ(Thrown<COMException>([&] { v.Encoding(ENC_PCM); }), fixed);
    EXPECT_EQ(Thrown<COMException>([&] { v.Set(SettingsCatalog::kEncoding, {.integer = ENC_MuLaw}); }), fixed);
    EXPECT_NO_THROW(v.Amplitude(-10.0f));
    v.GenerateEnd();
    const auto wave = ReadWave(path);
    std::remove(path.c_str());
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->format.wFormatTag, 6);
    EXPECT_EQ(wave->format.wBitsPerSample, 8);
    EXPECT_EQ(wave->format.nAvgBytesPerSec, 8000u);
    EXPECT_NO_THROW(v.Encoding(ENC_PCM));
}

TEST(VarnelTest, RequestsBeforeGenerateBeginThrowTheNotGeneratingCOMException) {
    Varnel v;
    EXPECT_EQ(Thrown<COMException>([&] { v.GenerateDTMFs("123"); }), Failure(static_cast<HRESULT>(0x80004005), kNotGenerating));
    EXPECT_EQ(Thrown<COMException>([&] { v.GenerateCallerID("5551234", "", ""); }), Failure(E_FAIL, kNotGenerating));
    EXPECT_NO_THROW(v.GenerateEnd());
}

TEST(VarnelTest, CallerIdWithoutNumberIsRefusedBeforeTheEngineIsAsked) {
    Varnel v;
    const Failure noNumber(E_INVALIDARG, "Number is empty: GenerateCallerID needs the caller's number.");
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.GenerateCallerID("", "Name", "01/02 03:04"); }), noNumber);
    v.GenerateBegin();
    EXPECT_EQ(v.GenerateSilence(10.0f), 0);
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.GenerateCallerID("", "", ""); }), noNumber);
    EXPECT_EQ(v.GenerateCallerID("5551234", "", ""), 1);  // empty name and date travel as null
    EXPECT_EQ(v.GenerateSilence(10.0f), 2);
}

TEST(VarnelTest, GenerateTTYExRefusesAnEmptyArrayElseReturnsTheRequestID) {
    Varnel v;
    v.GenerateBegin();
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.GenerateTTYEx({}); }),
              Failure(E_INVALIDARG, "BinaryData is empty: GenerateTTYEx needs at least one byte."));
    const std::uint8_t text[] = {'O', 'K'};
    EXPECT_EQ(v.GenerateTTYEx(text), 0);
    EXPECT_EQ(v.GenerateTTYEx(text), 1);
}

TEST(VarnelTest, GenerateEndThrowsOnlyWhenTheWaveFileCannotBeWritten) {
    Varnel v;
    v.GenerateBegin("/dev/full");
    v.GenerateDTMFs("123");
    EXPECT_EQ(Thrown<COMException>([&] { v.GenerateEnd(); }),
              Failure(E_FAIL, kWaveFileError + " (No space left on device)"));
    EXPECT_NO_THROW(v.GenerateEnd());
    EXPECT_EQ(Thrown<COMException>([&] { v.GenerateBegin("/nonexistent-dir/x.wav"); }),
              Failure(E_FAIL, kWaveFileError + " (No such file or directory)"));
    EXPECT_NO_THROW(v.GenerateEnd());
    v.GenerateBegin();
    v.GenerateSilence(10.0f);
    EXPECT_NO_THROW(v.GenerateEnd());
}

TEST(VarnelTest, HandlersRunInTheOrderAddedOncePerAddition) {
    Varnel v;
    std::vector<std::string> calls;
    Varnel::Delegate_OnComplete a([&](Object&, const OnCompleteArgs& e) { calls.push_back("a" + std::to_string(e.RequestID())); });
    Varnel::Delegate_OnComplete b([&](Object&, const OnCompleteArgs& e) { calls.push_back("b" + std::to_string(e.RequestID())); });
    v.OnComplete += a;
    v.OnComplete += b;
    v.OnComplete += a;
    v.GenerateBegin();
    Bytes buffer(4096);
    v.GenerateSilence(10.0f);
    v.FetchWaveStream(buffer);
    EXPECT_EQ(calls, (std::vector<std::string>{"a0", "b0", "a0"}));
    v.OnComplete -= a;
    v.GenerateSilence(10.0f);
    v.FetchWaveStream(buffer);
    EXPECT_EQ(calls, (std::vector<std::string>{"a0", "b0", "a0", "a1", "b1"}));
    v.OnComplete -= a;
    v.OnComplete -= b;
    v.GenerateSilence(10.0f);
    EXPECT_GT(v.FetchWaveStream(buffer), 0);
    EXPECT_EQ(calls.size(), 5u);
}

TEST(VarnelTest, EventsComeFromTheComponentOnTheCallersThreadWithRefCodeZero) {
    EventLog log;  // outlives the component, whose handlers write to it
    Varnel v;
    log.Attach(v);
    v.GenerateBegin();
    const std::int32_t id = v.GenerateTone(20, 0, 440.0f, 0.0f, 0.0f);
    FetchAll(v, 1000);
    EXPECT_EQ(log.CompletedIDs(), std::vector<std::int32_t>{id});
    EXPECT_TRUE(log.Logged("Generation begin, (To buffer stream)."));
    ASSERT_GE(log.debug.size(), 3u);
    for (const auto* list : {&log.debug, &log.complete}) {
        for (const EventLog::Entry& e : *list) {
            EXPECT_EQ(e.sender, &v);
            EXPECT_EQ(e.thread, std::this_thread::get_id());
            if (list == &log.debug) {
                EXPECT_EQ(e.value, 0) << e.text;
            }
        }
    }
}

TEST(VarnelTest, StreamedBytesEqualTheWaveFileDataForEveryRequestKind) {
    for (const std::int32_t bits : {16, 8}) {
        EventLog log;  // outlives the component, whose handlers write to it
        Varnel v;
        log.Attach(v);
        v.BitsPerSample(bits);
        v.GenerateBegin();
        const std::vector<std::int32_t> ids = QueueEveryKind(v);
        EXPECT_EQ(ids, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6}));
        const Bytes streamed = FetchAll(v, 777);
        Bytes empty(1000);
        EXPECT_EQ(v.FetchWaveStream(empty), 0);
        EXPECT_EQ(log.CompletedIDs(), ids);
        const Bytes file = RenderedToFile(QueueEveryKind, 11025, bits, TempWavePath("café_é"));
        EXPECT_GT(streamed.size(), 11025u);
        EXPECT_TRUE(streamed == file) << bits << " bits: " << streamed.size() << " streamed, " << file.size() << " in the file";
    }
}

TEST(VarnelTest, FetchWaveStreamChecksItsRangeBeforeRendering) {
    Varnel v;
    Bytes buffer(1000, 0x5A);
    EXPECT_EQ(v.FetchWaveStream(buffer, 1000, 0), -1);
    EXPECT_EQ(v.FetchWaveStream(buffer), -1);
    v.GenerateBegin();
    EXPECT_EQ(v.FetchWaveStream(buffer, 1000, 0), 0);
    v.GenerateSilence(100.0f);
    const std::string negativeOffset = "Offset must not be negative.";
    const std::string offsetBeyond = "Offset is beyond the end of AudioData.";
    const std::string countBeyond = "Offset + Count is beyond the end of AudioData.";
    const std::tuple<std::int32_t, std::int32_t, std::string> wrong[] = {
        {-1, 0, negativeOffset},        {0, -1, "Count must not be negative."}, {1001, 0, offsetBeyond},
        {500, 501, countBeyond},        {1, 1000, countBeyond},                 {INT_MAX, INT_MAX, offsetBeyond},
        {INT_MIN, 10, negativeOffset}};
    for (const auto& [offset, count, text] : wrong) {
        EXPECT_EQ(Thrown<ArgumentException>([&] { v.FetchWaveStream(buffer, offset, count); }), Failure(E_INVALIDARG, text))
            << offset << ", " << count;
    }
    EXPECT_EQ(v.FetchWaveStream(buffer, 0, 100), 0);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](std::uint8_t b) { return b == 0x5A; }));
    const std::int32_t n = v.FetchWaveStream(buffer, 300, 101);
    ASSERT_GT(n, 0);
    ASSERT_LE(n, 101);
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        const bool inside = i >= 300 && i < 300 + static_cast<std::size_t>(n);
        EXPECT_EQ(buffer[i], inside ? 0 : 0x5A) << i;  // 16-bit silence is zeros
    }
}

// Pulling during a file generation would take audio the file is owed: nothing is rendered.
TEST(VarnelTest, FetchWaveStreamLeavesAFileGenerationsAudioToTheFile) {
    const std::string path = TempWavePath("fetch_file");
    Varnel v;
    v.GenerateBegin(path);
    QueueEveryKind(v);
    Bytes buffer(8192, 0x5A);
    EXPECT_EQ(v.FetchWaveStream(buffer), -1);
    EXPECT_EQ(v.FetchWaveStream(buffer, 100, 4000), -1);
    EXPECT_EQ(buffer, Bytes(8192, 0x5A));
    v.GenerateEnd();
    const auto wave = ReadWave(path);
    std::remove(path.c_str());
    ASSERT_TRUE(wave);
    EXPECT_TRUE(wave->data == RenderedToFile(QueueEveryKind, 11025, 16, TempWavePath("fetch_file_alone")));
}

TEST(VarnelTest, DisposedComponentThrowsOnEveryCall) {
    Varnel v;
    v.Dispose();
    Bytes buffer(1000);
    const std::uint8_t bytes[] = {'A'};
    const std::vector<std::function<void()>> calls = {
        [&] { v.CID_Format(); }, [&] { v.CID_Format(CID_SDMF); }, [&] { v.TTY_Rate(); }, [&] { v.TTY_Rate(BR_50_Baud); },
        [&] { v.TTY_Mode(); }, [&] { v.TTY_Mode(ASCII7_Mode); }, [&] { v.DTMF_BreakTime(); }, [&] { v.DTMF_BreakTime(1); },
        [&] { v.DTMF_ToneTime(); }, [&] { v.DTMF_ToneTime(1); }, [&] { v.Amplitude(); }, [&] { v.Amplitude(-3.0f); },
        [&] { v.DTMF_PauseTime(); }, [&] { v.DTMF_PauseTime(1); }, [&] { v.BitsPerSample(); }, [&] { v.BitsPerSample(8); },
        [&] { v.SampleRate(); }, [&] { v.SampleRate(8000); }, [&] { v.CID_BitTiming(); }, [&] { v.CID_BitTiming(CBT_Exact); },
        [&] { v.TTY_FigsAfterSpace(); }, [&] { v.TTY_FigsAfterSpace(1); }, [&] { v.Encoding(); },
        [&] { v.Encoding(ENC_MuLaw); }, [&] { v.Set(SettingsCatalog::kEncoding, {}); }, [&] { v.GenerateBegin(); },
        [&] { v.GenerateBegin(TempWavePath("disposed")); }, [&] { v.GenerateEnd(); }, [&] { v.GenerateDTMFs("1"); },
        [&] { v.GenerateSilence(1.0f); }, [&] { v.GenerateTone(1, 0, 1.0f, 0.0f, 0.0f); }, [&] { v.GenerateTTY("A"); },
        [&] { v.GenerateTTYEx(bytes); }, [&] { v.GenerateTTYEx({}); }, [&] { v.GenerateCallerID("1", "", ""); },
        [&] { v.GenerateCallerID("", "", ""); }, [&] { v.FetchWaveStream(buffer); }, [&] { v.FetchWaveStream(buffer, 0, 500); },
        [&] { v.Destination(nullptr); }, [&] { v.Destination(Box(42)); }};
    const Failure disposed(E_FAIL, "This Varnel component has been disposed: its engine is released.");
    for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(Thrown<COMException>(calls[i]), disposed) << "call " << i;
    EXPECT_NO_THROW(v.Dispose());
}

}  // namespace

namespace {

TEST(VarnelSignallingTest, PropertiesAndMethodsOfTheSignallingRequests) {
    Varnel v;
    EXPECT_EQ(v.CID_Standard(), CS_Bell202);
    EXPECT_EQ(v.CID_Alert(), CA_None);
    v.CID_Standard(CS_ETSI);
    v.CID_Alert(CA_DTAS);
    EXPECT_EQ(v.CID_Standard(), CS_ETSI);
    EXPECT_EQ(v.CID_Alert(), CA_DTAS);
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.CID_Standard(static_cast<CID_STANDARD>(9)); }),
              Failure(E_INVALIDARG, "CID_Standard must be CS_Bell202, CS_ETSI, CS_BT, CS_NTT or CS_DTMF."));
    v.GenerateBegin();
    // Without an absence reason the number is required, as for GenerateCallerID.
    EXPECT_EQ(Thrown<ArgumentException>([&] {
                  v.GenerateCallerID("", "", "", CallerIdAbsence::None, CallerIdAbsence::Private);
              }),
              Failure(E_INVALIDARG,
                      "Number is empty: GenerateCallerID needs the caller's number, or a NumberAbsence other than None."));
    EXPECT_EQ(v.GenerateCallerID("", "", "", CallerIdAbsence::Private, CallerIdAbsence::Unavailable), 0);
    EXPECT_EQ(v.GenerateVMWI(true), 1);
    EXPECT_EQ(v.GenerateMF("K0123S"), 2);
    EXPECT_EQ(v.GenerateR2MF("1F", false), 3);
    EXPECT_EQ(v.GenerateR2MF("1F", true), 4);
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.GenerateMF("K0123X"); }),
              Failure(E_INVALIDARG, "MF (R1) signals are 0-9, KP (* or K), ST (# or S), A, B and C only."));
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.GenerateCallerID("123456789012345678901", "", ""); }),
              Failure(E_INVALIDARG, "Caller-ID number too long for ETSI: at most 20 characters."));
    v.CID_Standard(CS_NTT);
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.GenerateVMWI(false); }),
              Failure(E_INVALIDARG, "NTT Caller-ID defines no alerting signal or call waiting: use CA_None."));
    EXPECT_EQ(v.GenerateSilence(10.0f), 5);
    EXPECT_GT(FetchAll(v, 4096).size(), 0u);
}

}  // namespace
