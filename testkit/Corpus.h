#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "testkit/Manifest.h"
#include "testkit/Suite.h"

namespace Quorvex::VarnelNet::Kit {

// A random labelled corpus of DTMF, Caller-ID or TTY clips for training and testing learned detectors, as a JSON
// recipe describes it (see docs/receiver-kit.md): every value of a clip is drawn from its range by a generator
// seeded with the recipe's seed and the clip's index, so a clip is a pure function of the recipe
// and its index.
struct Range {
    double low = 0.0;
    double high = 0.0;
};

// What a corpus's clips sound: DTMF keys, a Caller-ID message or TTY text.
enum class CorpusSignal : std::uint8_t { Dtmf, CallerId, Tty };

struct CorpusRecipe {
    CorpusSignal signal = CorpusSignal::Dtmf;
    std::size_t clips = 0;
    std::uint64_t seed = 0;
    SuiteEncoding encoding = SuiteEncoding::Pcm;
    std::string alphabet = "0123456789*#ABCD";
    std::size_t minKeys = 1;
    std::size_t maxKeys = 1;
    Range toneMs{50, 50};
    Range pauseMs{50, 50};
    Range levelDbm0{-10, -10};  // the low group's tone
    Range twistDb{0, 0};        // the high group against the low group
    Range frequencyOffsetPercent{0, 0};
    Range leadMs{100, 100};     // silence before the keys
    Range tailMs{100, 100};     // and after them
    std::optional<Range> snrDb; // noise, or none
    bool telephoneBand = false;
    // Caller-ID and TTY: the standards or modes drawn from (CallerIdStandards(), TtyModes()),
    // the FSK's bit rate offset, and for TTY the characters of its text. The level is the FSK's
    // (each tone of DTMF Caller-ID), the twist its space tone against its mark tone.
    std::vector<std::string> kinds;
    Range bitRateOffsetPercent{0, 0};
    std::size_t minCharacters = 20;
    std::size_t maxCharacters = 20;
};

class CorpusError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a recipe; throws CorpusError saying what is wrong (malformed JSON, an unknown or
// mistyped member, a range outside what can be rendered).
CorpusRecipe ReadCorpusRecipe(std::string_view json);

// One clip: its name, its manifest row (the keys sent, the values drawn, verdict "either") and
// how it is rendered.
struct Clip {
    std::string name;
    ManifestRow row;
    Render::Job job;
};
Clip ClipAt(const CorpusRecipe& recipe, std::size_t index);
// The clip of a file drawn for a corpus: its row (suite corpus, verdict either, what the file
// sends) and its job.
Clip ClipOf(const SuiteFile& file, SuiteEncoding encoding);

}  // namespace Quorvex::VarnelNet::Kit
