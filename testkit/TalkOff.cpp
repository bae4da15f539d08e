#include "testkit/TalkOff.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "testkit/FolderFiles.h"
#include "testkit/Manifest.h"
#include "testkit/ReceiverProcess.h"
#include "testkit/Resampler.h"
#include "testkit/Sha256.h"
#include "testkit/TalkOffSources.h"
#include "varnel/detect/PcmReader.h"
#include "varnel/platform/DecimalText.h"
#include "varnel/script/Level.h"
#include "varnel/signal/G711.h"
#include "varnel/signal/LineImpairments.h"
#include "varnel/signal/PortableMath.h"
#include "varnel/wave/WaveHeader.h"

namespace Quorvex::VarnelNet::Kit {

namespace fs = std::filesystem;

namespace {

// The noise of the line under every file, in the telephone band.
constexpr double kNoiseDbm0 = -60.0;
// A program's time to make one source.
constexpr double kProgramSeconds = 900.0;

// About five minutes each.
constexpr TalkOffSpeech kSpeech[] = {
    {"en", "en-us", 165, 50, 630, -12.0}, {"en", "en-gb+f3", 150, 60, 580, -15.0}, {"de", "de+m3", 155, 40, 600, -10.0},
    {"fr", "fr-fr+f2", 165, 55, 800, -14.0}, {"es", "es+m2", 170, 45, 650, -11.0}, {"it", "it+f4", 160, 65, 600, -16.0},
    {"nl", "nl+m4", 155, 35, 590, -13.0},
};

// Five minutes each: bars of four beats, beatsPerMinute * 5 / 4 of them.
constexpr TalkOffMusic kMusic[] = {
    {"piano and strings", {0, 48, 60, false, 96, 120}, -13.0},
    {"flute and nylon guitar", {73, 24, 67, false, 112, 140}, -16.0},
    {"violin and church organ", {40, 19, 62, true, 72, 90}, -12.0},
    {"trumpet and brass section", {56, 61, 65, false, 120, 150}, -14.0},
    {"clarinet and acoustic bass", {71, 32, 57, true, 88, 110}, -15.0},
    {"choir aahs and pad", {52, 89, 64, false, 80, 100}, -11.0},
    {"alto sax and electric piano", {65, 4, 58, true, 104, 130}, -17.0},
};
constexpr std::size_t kSpeechCount = std::size(kSpeech);
constexpr std::size_t kMusicCount = std::size(kMusic);

// Tandems alternate between the laws file by file.
SampleFormat TandemLaw(std::size_t index) { return index % 2 == 0 ? SampleFormat::MuLaw : SampleFormat::ALaw; }

// The text and the MIDI files are drawn from these, not from the suite's seed: every run plays
// the same sources, only the line's noise follows the seed.
std::uint64_t SourceSeed(std::size_t index) { return 0x7A1C0FFEE0ull + index; }

std::string Numbered(const char* family, std::size_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "%s-%04zu", family, index);
    return name;
}

SuiteFile NoKeyFile(std::string name, double levelDbm0, std::size_t index) {
    SuiteFile file;
    file.name = std::move(name);
    file.verdict = Verdict::Reject;
    file.requirement = "dtmf-talk-off";
    file.parameters = {{"level_dbm0", Decimal(levelDbm0, 1)},
                       {"noise_dbm0", Decimal(kNoiseDbm0, 1)},
                       {"tandem", TandemLaw(index) == SampleFormat::MuLaw ? "ulaw" : "alaw"}};
    return file;
}

SuiteFile SpeechFile(std::size_t index, std::uint64_t) {
    const TalkOffSpeech& s = kSpeech[index];
    SuiteFile file = NoKeyFile(Numbered("speech", index), s.levelDbm0, index);
    file.parameters.insert(file.parameters.begin(), {{"language", s.language}, {"voice", s.voice},
                                                     {"words_per_minute", std::to_string(s.wordsPerMinute)},
                                                     {"pitch", std::to_string(s.pitch)}, {"words", std::to_string(s.words)}});
    return file;
}

SuiteFile MusicFile(std::size_t index, std::uint64_t) {
    const TalkOffMusic& m = kMusic[index];
    SuiteFile file = NoKeyFile(Numbered("music", index), m.levelDbm0, kSpeechCount + index);
    const char* keys[12] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
    file.parameters.insert(file.parameters.begin(),
                           {{"instruments", m.instruments},
                            {"programs", std::to_string(m.piece.melodyProgram) + "+" + std::to_string(m.piece.chordProgram)},
                            {"key", std::string(keys[m.piece.tonic % 12]) + (m.piece.minor ? " minor" : " major")},
                            {"beats_per_minute", std::to_string(m.piece.beatsPerMinute)}, {"bars", std::to_string(m.piece.bars)}});
    return file;
}

constexpr Family kFamilies[] = {
    {"speech", "espeak-ng reading prose of seven languages, some five minutes each, no key", kSpeechCount, SpeechFile, std::nullopt},
    {"music", "fluidsynth playing pieces for two instruments in several keys, five minutes each, no key", kMusicCount, MusicFile,
     std::nullopt},
};

// Runs a program to its end; a failure of it, or one to start it, is a TalkOffError.
ReceiverRun RunProgram(const std::vector<std::string>& argv, const std::string& package, const RunControl& control) {
    ReceiverRun run;
    try {
        run = RunReceiver(argv, kProgramSeconds, control.stopIfAsked);
    } catch (const ReceiverError& e) {
        throw TalkOffError("the talkoff suite needs " + argv[0] + " (Debian package " + package + "): cannot run it: " + e.what());
    }
    if (run.timedOut || run.status != 0) {
        throw TalkOffError(argv[0] + " failed making the talkoff suite's sound (" +
                           (run.timedOut ? "timed out" : "exit status " + std::to_string(run.status)) + ")");
    }
    return run;
}

std::string PackageVersion(const std::string& package, const RunControl& control) {
    try {
        const ReceiverRun run = RunReceiver({"dpkg-query", "-W", "-f=${Version}", package}, 60.0, control.stopIfAsked);
        if (run.status == 0 && !run.output.empty()) return run.output;
    } catch (const ReceiverError&) {
    }
    return "unknown";
}

void WriteBytes(const fs::path& path, const void* data, std::size_t size) {
    ClipFile file(path);
    file.Write(data, size);
    file.Finish();
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TalkOffError("cannot read the sound made at " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Removes the scratch files however the making of a source ends.
struct Scratch {
    std::vector<fs::path> paths;
    ~Scratch() {
        for (const fs::path& path : paths) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    }
};

double RmsOf(double dbm0) { return PortableMath::Pow10((dbm0 - Script::kFullScaleDbm0) / 20.0) / std::sqrt(2.0); }

}  // namespace

std::span<const Family> TalkOffFamilies() { return kFamilies; }

TalkOffTools FindTalkOffTools(const RunControl& control) {
    TalkOffTools tools;
    RunProgram({tools.espeak, "--version"}, "espeak-ng", control);
    RunProgram({tools.fluidsynth, "--version"}, "fluidsynth", control);
    std::error_code error;
    if (!fs::is_regular_file(tools.soundfont, error)) {
        throw TalkOffError("the talkoff suite needs the soundfont " + tools.soundfont + " (Debian package fluid-soundfont-gm)");
    }
    tools.espeakVersion = PackageVersion("espeak-ng", control);
    tools.fluidsynthVersion = PackageVersion("fluidsynth", control);
    tools.soundfontVersion = PackageVersion("fluid-soundfont-gm", control);
    return tools;
}

namespace {

// The program's sound read, named by its digest and brought to kSuiteRate.
SourceSound ReadSource(const fs::path& made) {
    const std::string wave = ReadBytes(made);
    SourceSound sound;
    Sha256 sha;
    sha.Add({reinterpret_cast<const std::uint8_t*>(wave.data()), wave.size()});
    sound.sha256 = sha.Hex();
    int rate = 0;
    try {
        std::istringstream in(wave);
        Detect::PcmReader reader = Detect::PcmReader::Wav(in);
        rate = reader.Format().rate;
        double block[4096];
        for (std::size_t n; (n = reader.Read(block)) > 0;) sound.samples.insert(sound.samples.end(), block, block + n);
    } catch (const Detect::ReadError& e) {
        throw TalkOffError("the sound made at " + made.string() + " cannot be read: " + e.what());
    }
    sound.samples = Resampled(sound.samples, rate, kSuiteRate);
    return sound;
}

}  // namespace

SourceSound MakeSpeech(const TalkOffSpeech& speech, std::uint64_t seed, const TalkOffTools& tools, const fs::path& base,
                       const RunControl& control) {
    const fs::path text = base.string() + ".txt";
    const fs::path made = base.string() + ".wav";
    const Scratch scratch{{text, made}};
    const std::string prose = ProseText(speech.language, speech.words, seed);
    WriteBytes(text, prose.data(), prose.size());
    RunProgram({tools.espeak, "-v", speech.voice, "-s", std::to_string(speech.wordsPerMinute), "-p", std::to_string(speech.pitch),
                "-f", text.string(), "-w", made.string()},
               "espeak-ng", control);
    return ReadSource(made);
}

SourceSound MakeMusic(const TalkOffMusic& music, std::uint64_t seed, const TalkOffTools& tools, const fs::path& base,
                      const RunControl& control) {
    const fs::path midi = base.string() + ".mid";
    const fs::path made = base.string() + ".wav";
    const Scratch scratch{{midi, made}};
    const std::vector<std::uint8_t> bytes = PieceMidi(music.piece, seed);
    WriteBytes(midi, bytes.data(), bytes.size());
    // One core and no audio driver: the synthesis runs the same way every time.
    RunProgram({tools.fluidsynth, "-n", "-i", "-q", "-o", "synth.cpu-cores=1", "-r", std::to_string(kSuiteRate), "-g", "0.5", "-F",
                made.string(), tools.soundfont, midi.string()},
               "fluidsynth", control);
    return ReadSource(made);
}

TalkOffSound MakeTalkOffSound(const Suite& suite, std::size_t index, std::uint64_t seed, const TalkOffTools& tools,
                              const fs::path& scratchFolder, const std::string& tag, const RunControl& control) {
    const SuiteFile file = FileAt(suite, index, seed);
    const fs::path base = scratchFolder / ("." + file.name + "-" + tag);
    const bool speech = index < kSpeechCount;
    SourceSound source = speech ? MakeSpeech(kSpeech[index], SourceSeed(index), tools, base, control)
                                : MakeMusic(kMusic[index - kSpeechCount], SourceSeed(index), tools, base, control);
    const double levelDbm0 = speech ? kSpeech[index].levelDbm0 : kMusic[index - kSpeechCount].levelDbm0;
    std::vector<double>& samples = source.samples;
    control.stopIfAsked();
    double power = 0.0;
    for (const double x : samples) power += x * x;
    const double rms = samples.empty() ? 0.0 : std::sqrt(power / static_cast<double>(samples.size()));
    if (rms > 0.0) {
        const double gain = RmsOf(levelDbm0) / rms;
        for (double& x : samples) x *= gain;
    }
    LineSpec line;
    line.noiseRms = RmsOf(kNoiseDbm0);
    line.telephoneBand = true;
    line.seed = FileSeed(seed, index);
    line.tandemPasses = 1;
    line.tandemLaw = TandemLaw(index);
    Line(line, kSuiteRate).Apply(samples.data(), samples.size());

    TalkOffSound sound;
    sound.row = RowOf(suite, file);
    if (speech) {
        sound.row.parameters.insert(sound.row.parameters.end(),
                                    {{"program", "espeak-ng " + tools.espeakVersion}, {"licence", "GPL-3+ (espeak-ng and its voices)"}});
    } else {
        sound.row.parameters.insert(sound.row.parameters.end(), {{"program", "fluidsynth " + tools.fluidsynthVersion},
                                                                  {"soundfont", "FluidR3_GM " + tools.soundfontVersion},
                                                                  {"licence", "LGPL-2.1+ (fluidsynth)/MIT (FluidR3_GM)"}});
    }
    sound.row.parameters.insert(sound.row.parameters.end(),
                                {{"source_sha256", source.sha256},
                                 {"seconds", Decimal(static_cast<double>(samples.size()) / kSuiteRate, 3)}});
    sound.samples = std::move(samples);
    return sound;
}

void WriteSoundWave(const fs::path& path, const std::vector<double>& samples, SuiteEncoding encoding) {
    const bool pcm = encoding == SuiteEncoding::Pcm;
    const std::uint16_t bytesPerSample = pcm ? 2 : 1;
    WAVEFORMATEX format{};
    format.wFormatTag = pcm ? WAVE_FORMAT_PCM : encoding == SuiteEncoding::MuLaw ? WAVE_FORMAT_MULAW : WAVE_FORMAT_ALAW;
    format.nChannels = 1;
    format.nSamplesPerSec = kSuiteRate;
    format.nAvgBytesPerSec = kSuiteRate * bytesPerSample;
    format.nBlockAlign = bytesPerSample;
    format.wBitsPerSample = static_cast<std::uint16_t>(8 * bytesPerSample);
    std::vector<std::uint8_t> data;
    data.reserve(samples.size() * bytesPerSample + 1);
    for (const double x : samples) {
        const std::int16_t s = NearestPcm16(x);
        if (pcm) {
            data.push_back(static_cast<std::uint8_t>(s & 0xFF));
            data.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
        } else {
            data.push_back(encoding == SuiteEncoding::MuLaw ? MuLawFromLinear(s) : ALawFromLinear(s));
        }
    }
    const std::uint64_t dataBytes = data.size();
    if (WaveHeader::PadBytes(dataBytes) != 0) data.push_back(0);
    const std::vector<std::uint8_t> head = WaveHeader(format).Settled(dataBytes);
    ClipFile file(path);
    file.Write(head.data(), head.size());
    file.Write(data.data(), data.size());
    file.Finish();
}

}  // namespace Quorvex::VarnelNet::Kit
