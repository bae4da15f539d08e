#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "testkit/Runs.h"
#include "testkit/Suite.h"
#include "testkit/TalkOffSources.h"

namespace Quorvex::VarnelNet::Kit {

// The talkoff suite: over an hour of speech and music without a key in it, made on this machine
// by espeak-ng (voices of seven languages reading prose drawn here) and fluidsynth (pieces drawn
// here as MIDI files, played with the FluidR3 General MIDI soundfont), brought to 8000 Hz, set
// to a level and sent through the line: noise of the telephone band and a G.711 tandem. A
// receiver should report nothing; the score counts its false detections per hour. The same
// versions of the programs give the same bytes: the manifest names each file's program, its
// Debian version and licence, and the SHA-256 of the sound it made.

// A program or file the suite needs that is missing, or a program that failed; what() names it
// and the Debian package it comes with.
class TalkOffError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The programs, found on PATH, and the soundfont, with their Debian versions ("unknown" where
// dpkg-query does not know them). Throws TalkOffError for one that is missing.
struct TalkOffTools {
    std::string espeak = "espeak-ng";
    std::string fluidsynth = "fluidsynth";
    std::string soundfont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    std::string espeakVersion, fluidsynthVersion, soundfontVersion;
};
TalkOffTools FindTalkOffTools(const RunControl& control);

// What a source is made from: a voice reading prose, or a piece played.
struct TalkOffSpeech {
    const char* language;  // of ProseText
    const char* voice;     // espeak-ng's -v
    int wordsPerMinute;
    int pitch;             // 0 to 99
    std::size_t words;
    double levelDbm0;      // the power of the whole file
};
struct TalkOffMusic {
    const char* instruments;  // as the manifest names them
    Piece piece;
    double levelDbm0;
};

// A source's sound as its program wrote it, named by the SHA-256 of its bytes, and its samples
// brought to kSuiteRate.
struct SourceSound {
    std::string sha256;
    std::vector<double> samples;
};
// Made with files in `scratch` named `base` and an extension, removed after. Throws
// TalkOffError when the program fails.
SourceSound MakeSpeech(const TalkOffSpeech& speech, std::uint64_t seed, const TalkOffTools& tools, const std::filesystem::path& base,
                       const RunControl& control);
SourceSound MakeMusic(const TalkOffMusic& music, std::uint64_t seed, const TalkOffTools& tools, const std::filesystem::path& base,
                      const RunControl& control);

// A file's sound at kSuiteRate after the line, and its manifest row with the source named.
struct TalkOffSound {
    ManifestRow row;
    std::vector<double> samples;
};
// File `index` of the suite (families in order): its source made in `scratch` (files there
// named after it and `tag`, removed after), set to its level and sent through the line with
// the noise of `seed`. Throws TalkOffError when a program fails.
TalkOffSound MakeTalkOffSound(const Suite& suite, std::size_t index, std::uint64_t seed, const TalkOffTools& tools,
                              const std::filesystem::path& scratch, const std::string& tag, const RunControl& control);

// The sound as a WAV file of the encoding, written whole through a ClipFile.
void WriteSoundWave(const std::filesystem::path& path, const std::vector<double>& samples, SuiteEncoding encoding);

}  // namespace Quorvex::VarnelNet::Kit
