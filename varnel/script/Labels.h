#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "varnel/generators/Symbols.h"
#include "varnel/script/Parser.h"

namespace Quorvex::VarnelNet::Script {

// One symbol of a rendering, where it lies in the output: its first and last sample (both
// included), and what it is.
struct Label {
    std::size_t position = 0;  // its request's position in the script (Entry::index, from 1)
    std::string_view kind;    // the request's kind word: "dtmf", "plan", "cid"
    SymbolKind symbol = SymbolKind::Silence;
    std::uint64_t first = 0;  // its first sample in the output
    std::uint64_t end = 0;    // the sample after its last, as spans end
    std::string text;         // the key, signal or character; a message's layout; a tone's name
    std::vector<double> hz;
    std::int32_t index = -1;  // the element's step, the byte's or character's position
    std::int32_t value = -1;  // the byte or code sent
    std::vector<std::pair<std::string, std::string>> fields;  // a message's decoded fields
    bool mixed = false;       // a symbol of the script mixed under the first
};

// A DTMF key a detector heard from firstSample to the sample before end, as a label of the
// labels' schema (symbol key, the key's nominal frequencies), so that a detection compares with a
// rendering's labels: kind "dtmf" for a key heard in audio, "rfc4733" for a telephone event.
Label HeardKeyLabel(char key, std::uint64_t firstSample, std::uint64_t end, std::string_view kind);
// A TTY character frame a detector heard, as a rendering labels it: kind "tty", symbol
// character, its text (the character, or "FIGS" or "LTRS"), its position in the message and code.
Label HeardCharacterLabel(std::string text, std::int32_t index, std::int32_t code, std::uint64_t firstSample, std::uint64_t end);

// The text as UTF-8: a byte that is not part of a UTF-8 sequence stands for the Latin-1
// character of its value (the pound sign 0xA3 of a TTY figures table).
std::string Utf8Text(std::string_view text);

// "key", "tone", "silence", "message", "byte", "character".
std::string_view SymbolWord(SymbolKind kind);

// The text of a label in a label track: "5", "350+440 Hz", "silence", "MDMF number=5551234
// name=JOHN DOE", "byte 3 0x80", "A"; control characters escaped; "mix: " before a label of
// the mixed script.
std::string LabelText(const Label& label);

// Audacity's label track: one line a label, start and end in seconds with six decimals (the
// start of the first sample and the end of the last), a tab between the fields.
std::string AudacityLabels(std::span<const Label> labels, double sampleRate);

// One JSON object a line: request, kind, symbol, start and end (samples), and the symbol's
// fields (text, hz, index, value, mix, fields) where it has them.
std::string JsonLabels(std::span<const Label> labels);

// The format a labels file is written in, by its extension: .txt (Audacity) or .jsonl.
enum class LabelFormat { Audacity, JsonLines };
// Throws RequestError for any other extension.
LabelFormat LabelFormatOf(std::string_view path);

// Collects the symbols an engine reports as labels of the script's requests.
class LabelRecorder final : public SymbolSink {
public:
    // The queued request `requestId` belongs to entry and starts at firstSample of the output.
    void Expect(std::int32_t requestId, const Entry& entry, std::uint64_t firstSample);
    void Add(std::int32_t requestId, const Symbol& symbol) override;
    const std::vector<Label>& Labels() const { return m_labels; }

private:
    struct Origin {
        const Entry* entry;
        std::uint64_t firstSample;
    };
    std::map<std::int32_t, Origin> m_origins;
    std::vector<Label> m_labels;
};

}  // namespace Quorvex::VarnelNet::Script
