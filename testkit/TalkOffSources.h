#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Quorvex::VarnelNet::Kit {

// What the talkoff suite's speech and music are made from, drawn by a seeded generator so
// that the same seed gives the same text and the same MIDI file on every build.

// Prose in one of the languages below (its two-letter code), about `words` words long:
// sentences of its common words drawn one after another, some with a number or a question
// mark. Throws std::invalid_argument for a language it has no words of.
std::string ProseText(std::string_view language, std::size_t words, std::uint64_t seed);

// A piece for two General MIDI instruments: a melody over the scale of a key and, on a second
// channel, its chords a bar each. One track, 480 ticks a quarter note.
struct Piece {
    int melodyProgram = 0;  // General MIDI program, 0 to 127
    int chordProgram = 0;
    int tonic = 60;         // MIDI note of the key's tonic
    bool minor = false;
    int beatsPerMinute = 100;
    int bars = 100;         // of four beats
};
// The bytes of a standard MIDI file (format 0) of the piece.
std::vector<std::uint8_t> PieceMidi(const Piece& piece, std::uint64_t seed);

}  // namespace Quorvex::VarnelNet::Kit
