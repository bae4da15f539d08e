#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "testkit/Requests.h"
#include "varnel/render/Job.h"
#include "varnel/script/Rendering.h"
#include "varnel/signal/SplitMix64.h"

namespace Quorvex::VarnelNet::Kit {

// What a receiver should make of a file: report what was sent, report nothing, or either.
enum class Verdict : std::uint8_t { Detect, Reject, Either };
std::string_view VerdictWord(Verdict verdict);

using Pairs = std::vector<std::pair<std::string, std::string>>;

// One file of a suite: how it is rendered and what a receiver should report. Everything is a
// pure function of the suite, the seed and the file's index.
struct SuiteFile {
    std::string name;      // the file's name without extension, unique in its suite
    std::string family;
    Pairs parameters;      // the values the family varies, as the manifest writes them
    RequestList requests;  // after the suite's format settings
    Script::Impairments impairments;
    RequestList mix;       // requests sounding under them, or none
    std::string sent;      // the keys or the number the file carries; empty for none
    Verdict verdict = Verdict::Either;
    std::string requirement;  // the id of the requirement the verdict comes from, or empty
};

// How a family's results become a figure: the parameter it varies, followed from the file
// nearest the reference value upward and/or downward as long as the receiver reports what was
// sent; with a group parameter, per group (each group reported, or only the least of them).
struct Figure {
    std::string_view label;      // "detection bandwidth"
    std::string_view parameter;  // "offset_percent"
    std::string_view unit;       // "%"
    double reference = 0.0;
    bool up = false;
    bool down = false;
    std::string_view group;      // a parameter that splits the files, or empty
    bool eachGroup = false;      // report every group, not only the least
};

struct Family {
    std::string_view name;
    std::string_view description;
    std::size_t count;
    SuiteFile (*file)(std::size_t index, std::uint64_t seed);  // index within the family
    std::optional<Figure> figure;
};

struct Suite {
    std::string_view name;
    std::string_view description;
    std::span<const Family> families;
    bool madeByPrograms = false;  // its sounds come from other programs (TalkOff.h), not from requests
};

std::span<const Suite> Suites();
const Suite* FindSuite(std::string_view name);
const Family* FindFamily(const Suite& suite, std::string_view name);
std::size_t FileCount(const Suite& suite);
// The suite's file at index (from 0, families in order), and the family it is of.
SuiteFile FileAt(const Suite& suite, std::size_t index, std::uint64_t seed);
// Its repeat with another seed (--repeat): repeat 0 is FileAt's file; repeat R is drawn from
// RepeatSeed(FileSeed(seed, index), R), named NAME-rR, with the parameter repeat=R.
SuiteFile RepeatAt(const Suite& suite, std::size_t index, std::uint64_t seed, std::size_t repeat);
const Family& FamilyAt(const Suite& suite, std::size_t index);

// The seed of a file's noise: SplitMix64 of the suite's seed and the file's index.
std::uint64_t FileSeed(std::uint64_t seed, std::size_t index);
std::uint64_t RepeatSeed(std::uint64_t fileSeed, std::size_t repeat);
// The draws of what a file carries (its keys, or its number, name and date): SplitMix64 of the
// file's seed (FileSeed) and its suite's name, apart from the draws of its noise. A receiver
// that prints the same thing for every file cannot meet a requirement that way.
SplitMix64 PayloadDraws(std::string_view suite, std::uint64_t fileSeed);
// A whole number from 0 to count - 1.
std::size_t Draw(SplitMix64& draws, std::size_t count);

// The sample formats a suite is written in: kSuiteRate Hz, 16-bit PCM or G.711.
inline constexpr std::int32_t kSuiteRate = 8000;
enum class SuiteEncoding : std::uint8_t { Pcm, MuLaw, ALaw };

// The file as a job of the render layer: the suite's format settings at `rate` Hz, its requests
// (numbered from 1, each with its canonical text for messages), its impairments, its mix and
// labels. Throws RequestError when the impairments do not go together at that rate.
Render::Job JobOf(const SuiteFile& file, SuiteEncoding encoding, std::int32_t rate = kSuiteRate);

// Helpers of the suites' definitions: a number with at most `decimals` decimals as the manifest
// writes it; the amplitude (dB) that puts each of `tones` equal tones at dbm0.
std::string Decimal(double value, int decimals);
double AmplitudeFor(double dbm0, int tones);

// The suites' families, by suite.
std::span<const Family> DtmfFamilies();
std::span<const Family> BellCallerIdFamilies();
std::span<const Family> EtsiCallerIdFamilies();
std::span<const Family> TalkOffFamilies();
std::span<const Family> TtyFamilies();

// The TTY modes of the tty suite and of corpora: the tty_mode a file names, the tty-mode and
// tty-rate settings it is sent with.
struct TtyMode {
    std::string_view name;  // "baudot45", "baudot50", "ascii7", "ascii8"
    std::int32_t mode;
    std::int32_t rate;
};
std::span<const TtyMode> TtyModes();
const TtyMode* FindTtyMode(std::string_view name);
// count characters of TTY text: letters mostly, single spaces between words, figures and
// punctuation every code sends, a letter first and last.
std::string DrawTtyText(SplitMix64& draws, std::size_t count);

}  // namespace Quorvex::VarnelNet::Kit
