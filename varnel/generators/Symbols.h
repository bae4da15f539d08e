#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace Quorvex::VarnelNet {

// What a symbol of a request is.
enum class SymbolKind : std::uint8_t {
    Key,        // a DTMF key, an MF (R1) or R2 signal
    Tone,       // a sounding element: of a tone pattern, plan, SIT or modem tone, a tone request,
                // a Caller-ID alert, channel seizure or mark signal
    Silence,    // a silence request, a pause element of a pattern or a DTMF ','
    Message,    // a Caller-ID message, with its decoded fields
    Byte,       // one byte of a Caller-ID message, start bit to stop bit
    Character,  // one TTY character (or LTRS/FIGS shift), start bit to the last stop bit
};

// A name and its value, as a receiver would decode them ("number", "5551234").
struct SymbolField {
    std::string_view name;
    std::string_view value;
};

// One symbol: where its samples lie (counted from the request's first sample, both ends
// included, as rendered: after every rounding of the request's timing) and what it is. The
// views live only during the report.
struct Symbol {
    SymbolKind kind = SymbolKind::Silence;
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::string_view text{};     // the key or signal, the character, the message's layout
    std::array<double, 3> hz{};  // the frequencies sounding, as rendered
    int toneCount = 0;
    std::int32_t index = -1;     // the element's step, the byte's or character's position; -1: none
    std::int32_t value = -1;     // the byte or the code sent; -1: none
    std::span<const SymbolField> fields{};
};

// Receives the symbols of the requests an engine renders, each request's symbols once, in
// order, when its first sample is about to be rendered (on the rendering thread, under the
// engine's lock: the sink must not call the engine).
class SymbolSink {
public:
    virtual void Add(std::int32_t requestId, const Symbol& symbol) = 0;

protected:
    ~SymbolSink() = default;
};

// A generator's symbols go to the sink under its request's ID.
struct SymbolReport {
    SymbolSink* sink = nullptr;
    std::int32_t requestId = 0;
    void operator()(const Symbol& symbol) const { sink->Add(requestId, symbol); }
};

}  // namespace Quorvex::VarnelNet
