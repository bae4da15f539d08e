#include "testkit/TalkOffSources.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "varnel/signal/SplitMix64.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

struct Words {
    std::string_view language;
    std::array<std::string_view, 32> words;
};

// Common words, enough for espeak-ng to speak them as the language is spoken.
constexpr Words kWords[] = {
    {"en", {"the", "morning", "train", "was", "late", "again", "and", "we", "walked", "along", "river", "under", "a", "grey",
            "sky", "talking", "about", "old", "friends", "house", "garden", "children", "played", "near", "water", "while",
            "bells", "rang", "over", "quiet", "town", "slowly"}},
    {"de", {"der", "Zug", "kam", "heute", "wieder", "spät", "und", "wir", "gingen", "langsam", "am", "Fluss", "entlang",
            "unter", "grauem", "Himmel", "sprachen", "über", "alte", "Freunde", "das", "Haus", "im", "Garten", "Kinder",
            "spielten", "Wasser", "Glocken", "läuteten", "über", "der", "Stadt"}},
    {"fr", {"le", "train", "du", "matin", "était", "encore", "en", "retard", "et", "nous", "avons", "marché", "le", "long",
            "de", "la", "rivière", "sous", "un", "ciel", "gris", "parlant", "vieux", "amis", "maison", "jardin", "enfants",
            "jouaient", "près", "eau", "cloches", "ville"}},
    {"es", {"el", "tren", "de", "la", "mañana", "llegó", "tarde", "otra", "vez", "y", "caminamos", "junto", "al", "río",
            "bajo", "un", "cielo", "gris", "hablando", "de", "viejos", "amigos", "casa", "jardín", "niños", "jugaban", "cerca",
            "del", "agua", "campanas", "pueblo", "tranquilo"}},
    {"it", {"il", "treno", "del", "mattino", "era", "ancora", "in", "ritardo", "e", "abbiamo", "camminato", "lungo", "il",
            "fiume", "sotto", "un", "cielo", "grigio", "parlando", "di", "vecchi", "amici", "casa", "giardino", "bambini",
            "giocavano", "vicino", "acqua", "campane", "città", "tranquilla", "piano"}},
    {"nl", {"de", "trein", "van", "de", "ochtend", "was", "weer", "te", "laat", "en", "wij", "liepen", "langs", "rivier",
            "onder", "een", "grijze", "hemel", "pratend", "over", "oude", "vrienden", "huis", "tuin", "kinderen", "speelden",
            "bij", "het", "water", "klokken", "stad", "rustig"}},
    {"pt", {"o", "comboio", "da", "manhã", "chegou", "atrasado", "outra", "vez", "e", "nós", "andamos", "ao", "longo", "do",
            "rio", "sob", "um", "céu", "cinzento", "falando", "de", "velhos", "amigos", "casa", "jardim", "crianças",
            "brincavam", "perto", "água", "sinos", "cidade", "calma"}},
};

std::size_t Draw(SplitMix64& draws, std::size_t count) {
    return static_cast<std::size_t>(draws.Uniform() * static_cast<double>(count));
}

// A variable-length quantity of a MIDI file: seven bits a byte, the first bytes flagged.
void Quantity(std::vector<std::uint8_t>& out, std::uint32_t value) {
    std::uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) out.push_back(static_cast<std::uint8_t>(bytes[--n] | 0x80));
    out.push_back(bytes[0]);
}

void BigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

constexpr int kTicksPerBeat = 480;
constexpr int kMajor[7] = {0, 2, 4, 5, 7, 9, 11};
constexpr int kMinor[7] = {0, 2, 3, 5, 7, 8, 10};
// Chords on degrees I, IV, V and VI, a bar each, in one of these orders.
constexpr int kProgressions[4][4] = {{0, 3, 4, 0}, {0, 5, 3, 4}, {0, 4, 5, 3}, {5, 3, 0, 4}};

// Events at absolute ticks, written with the time since the one before.
class Track {
public:
    void Event(std::uint32_t tick, std::initializer_list<std::uint8_t> bytes) {
        Quantity(bytes_, tick - last_);
        last_ = tick;
        bytes_.insert(bytes_.end(), bytes);
    }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t last_ = 0;
};

struct Note {
    std::uint32_t on = 0;
    std::uint32_t off = 0;
    int channel = 0;
    int key = 0;
    int velocity = 0;
};

}  // namespace

std::string ProseText(std::string_view language, std::size_t words, std::uint64_t seed) {
    const Words* vocabulary = nullptr;
    for (const Words& w : kWords) {
        if (w.language == language) vocabulary = &w;
    }
    if (!vocabulary) throw std::invalid_argument("no words of the language '" + std::string(language) + "'");
    SplitMix64 draws(seed);
    std::string text;
    std::size_t spoken = 0;
    while (spoken < words) {
        const std::size_t length = 4 + Draw(draws, 11);
        for (std::size_t k = 0; k < length; ++k, ++spoken) {
            std::string word(vocabulary->words[Draw(draws, vocabulary->words.size())]);
            if (k == 0 && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 'a' + 'A');
            if (k > 0 && Draw(draws, 12) == 0) word = std::to_string(1 + Draw(draws, 9999));
            text += word;
            if (k + 1 < length) text += k > 1 && Draw(draws, 7) == 0 ? ", " : " ";
        }
        text += Draw(draws, 5) == 0 ? "? " : ". ";
        if (Draw(draws, 6) == 0) text += "\n\n";
    }
    return text;
}

std::vector<std::uint8_t> PieceMidi(const Piece& piece, std::uint64_t seed) {
    SplitMix64 draws(seed);
    const int* scale = piece.minor ? kMinor : kMajor;
    const auto bar = static_cast<std::uint32_t>(4 * kTicksPerBeat);
    std::vector<Note> notes;
    int degree = 7;  // of the melody, counted in scale steps from the tonic an octave below
    for (int b = 0; b < piece.bars; ++b) {
        const std::uint32_t start = static_cast<std::uint32_t>(b) * bar;
        const int root = kProgressions[(b / 4) % 4][b % 4];
        for (int voice = 0; voice < 3; ++voice) {
            const int step = root + 2 * voice;
            const int key = piece.tonic - 12 + 12 * (step / 7) + scale[step % 7];
            notes.push_back({start, start + bar - 24, 1, key, 56});
        }
        for (std::uint32_t t = start; t < start + bar;) {
            const std::uint32_t length = kTicksPerBeat / 2 * static_cast<std::uint32_t>(1 + Draw(draws, 4));
            const std::uint32_t end = std::min(t + length, start + bar);
            degree += static_cast<int>(Draw(draws, 5)) - 2;
            degree = degree < 3 ? 3 : degree > 14 ? 14 : degree;
            if (Draw(draws, 8) != 0) {
                const int key = piece.tonic - 12 + 12 * (degree / 7) + scale[degree % 7];
                notes.push_back({t, end - 12, 0, key, 70 + static_cast<int>(Draw(draws, 40))});
            }
            t = end;
        }
    }
    // Every note's on and off as events in time order, offs before ons at the same tick.
    struct Timed {
        std::uint32_t tick;
        bool on;
        const Note* note;
    };
    std::vector<Timed> events;
    for (const Note& n : notes) {
        events.push_back({n.on, true, &n});
        events.push_back({n.off, false, &n});
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const Timed& a, const Timed& b) { return a.tick != b.tick ? a.tick < b.tick : !a.on && b.on; });
    Track track;
    const auto tempo = static_cast<std::uint32_t>(60000000 / piece.beatsPerMinute);
    track.Event(0, {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(tempo >> 16), static_cast<std::uint8_t>(tempo >> 8),
                    static_cast<std::uint8_t>(tempo)});
    track.Event(0, {0xC0, static_cast<std::uint8_t>(piece.melodyProgram)});
    track.Event(0, {0xC1, static_cast<std::uint8_t>(piece.chordProgram)});
    for (const Timed& e : events) {
        const auto status = static_cast<std::uint8_t>((e.on ? 0x90 : 0x80) | e.note->channel);
        track.Event(e.tick, {status, static_cast<std::uint8_t>(e.note->key), static_cast<std::uint8_t>(e.on ? e.note->velocity : 0)});
    }
    track.Event(static_cast<std::uint32_t>(piece.bars) * bar, {0xFF, 0x2F, 0x00});
    std::vector<std::uint8_t> midi = {'M', 'T', 'h', 'd'};
    BigEndian(midi, 6, 4);
    BigEndian(midi, 0, 2);
    BigEndian(midi, 1, 2);
    BigEndian(midi, kTicksPerBeat, 2);
    midi.insert(midi.end(), {'M', 'T', 'r', 'k'});
    BigEndian(midi, static_cast<std::uint32_t>(track.Bytes().size()), 4);
    midi.insert(midi.end(), track.Bytes().begin(), track.Bytes().end());
    return midi;
}

}  // namespace Quorvex::VarnelNet::Kit
