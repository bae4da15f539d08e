#include "varnel/generators/CEncBaudotCode.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "varnel/signal/AsyncFramer.h"
#include "varnel/signal/BaudotCoder.h"
#include "varnel/signal/OutputStage.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr std::int32_t kAscii7 = 1;
constexpr std::int32_t kAscii8 = 2;

constexpr std::uint16_t kLeadIn = 0xFF00;       // 7 mark bits, also the Baudot trailer
constexpr std::uint16_t kAsciiLeadIn = 0x1FFF;  // 12 mark bits
constexpr std::uint16_t kEndMarker = 0xFFFF;
constexpr std::uint16_t kAscii7Frame = 0x0700;  // start bit below, two mark bits and sentinel above
constexpr std::uint16_t kAscii8Frame = 0x0E00;

constexpr AsyncFrame kBaudotFrame{5, Parity::None, StopBits::Two};
constexpr AsyncFrame kAscii7Character{7, Parity::None, StopBits::Two};
constexpr AsyncFrame kAscii8Character{8, Parity::None, StopBits::Two};
constexpr std::size_t kLeadInBits = 7;
constexpr std::size_t kAsciiLeadInBits = 12;
constexpr std::size_t kSilentBits = 2;

// The low 5 bits of x in reverse order.
std::uint16_t Reverse5(int x) {
    int r = 0;
    for (int bit = 0; bit < 5; ++bit) {
        if (x & (1 << bit)) r |= 1 << (4 - bit);
    }
    return static_cast<std::uint16_t>(r);
}

// A float rate as the whole number of Hz kept by the encoder; NaN and negative rates give 0.
std::int32_t WholeHz(float sampleRate) {
    if (!(sampleRate >= 0.0f)) return 0;
    if (sampleRate >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(sampleRate);
}

}  // namespace

CEncBaudotCode::~CEncBaudotCode() { Clear(); }

void CEncBaudotCode::Clear() {
    m_codes.clear();
    m_codes.shrink_to_fit();
    m_modem.Load({});
}

int CEncBaudotCode::Init(SampleFormat format, float sampleRate, float amplitude) {
    m_format = format;
    m_sampleRate = WholeHz(sampleRate);
    m_amplitude = amplitude;
    m_rateIndex = 0;
    Load();
    return 0;
}

std::int32_t CEncBaudotCode::SamplesPerBit(float sampleRate, std::int32_t rateIndex) {
    if (rateIndex < 0 || rateIndex > 5) return 0;
    const double samples = std::trunc(static_cast<double>(sampleRate) * kTtyRates[rateIndex].bitSeconds + 0.5);
    if (!(samples >= 0.0)) return 0;
    // A whole-Hz rate stays far below this; only a huge float rate reaches it.
    if (samples > 1.0e9) return 1000000000;
    return static_cast<std::int32_t>(samples);
}

HRESULT CEncBaudotCode::SetBaudRate(std::int32_t index) {
    if (static_cast<std::uint32_t>(index) > 5u) return E_INVALIDARG;
    m_rateIndex = index;
    Load();
    return S_OK;
}

void CEncBaudotCode::SetFigsAfterSpace(bool on) { m_figsAfterSpace = on; }

std::int32_t CEncBaudotCode::ShiftState() const { return m_shiftState; }

void CEncBaudotCode::SetShiftState(std::int32_t state) {
    m_shiftState = (state == BaudotCoder::kShiftFigures || state == BaudotCoder::kShiftLetters) ? state : -1;
}

std::int32_t CEncBaudotCode::RateIndex() const { return m_rateIndex; }
std::int32_t CEncBaudotCode::Mode() const { return m_mode; }
std::int32_t CEncBaudotCode::BytesPerBit() const {
    return m_modem.SamplesPerBit() * PcmBytesPerSample(m_format);
}
const std::vector<std::uint16_t>& CEncBaudotCode::CodeWords() const { return m_codes; }

int CEncBaudotCode::SetText(const char* text, std::int32_t mode) {
    if (mode < 0 || mode > 4) return -1;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text != nullptr ? text : "");
    const std::size_t length = std::strlen(reinterpret_cast<const char*>(bytes));
    m_codes.clear();
    if (mode == kAscii7 || mode == kAscii8) {
        // 12 mark bits, two NULs, the bytes as they are, two NULs. In ASCII-7 bit 7 of a byte
        // falls on the first stop bit, so it is never sent.
        const std::uint16_t nul = mode == kAscii8 ? kAscii8Frame : kAscii7Frame;
        m_codes.reserve(length + 6);
        m_codes.insert(m_codes.end(), {kAsciiLeadIn, nul, nul});
        for (std::size_t i = 0; i < length; ++i) m_codes.push_back(static_cast<std::uint16_t>((bytes[i] << 1) | nul));
        m_codes.insert(m_codes.end(), {nul, nul});
    } else {
        m_textShiftState = m_shiftState;
        BaudotCoder coder(mode == 3 ? 1 : mode == 4 ? 2 : 0, m_shiftState, m_figsAfterSpace);
        const std::vector<std::int16_t> codes = coder.Encode(bytes, length);
        m_shiftState = coder.ShiftState();
        m_codes.reserve(codes.size() + 1);
        // Start bit at bit 15, the code from bit 14 down least significant first, stop bits 9
        // and 8, sentinel bit 7.
        for (const std::int16_t code : codes) {
            m_codes.push_back(code == BaudotCoder::kIdle ? kLeadIn : static_cast<std::uint16_t>((Reverse5(code) << 10) | 0x0380));
        }
    }
    m_codes.push_back(kEndMarker);
    m_mode = mode;
    Load();
    return 0;
}

void CEncBaudotCode::Load() {
    m_modem.Start(Deviated(kTtyRates[m_rateIndex], Deviation()), FskKeying::SwitchedTones, BitTiming::WholeSamples,
                  static_cast<double>(m_sampleRate), m_format, static_cast<double>(m_amplitude));
    m_modem.SetSpaceLevel(Deviation().spaceLevel);
    if (m_codes.empty() || m_modem.SamplesPerBit() <= 0) return;
    const bool ascii = m_mode == kAscii7 || m_mode == kAscii8;
    const AsyncFrame& character = m_mode == kAscii8 ? kAscii8Character : ascii ? kAscii7Character : kBaudotFrame;
    FskSymbols symbols;
    symbols.reserve(2 + 11 * m_codes.size());
    AppendSilence(symbols, kSilentBits);
    for (const std::uint16_t word : m_codes) {
        if (word == kEndMarker) break;
        if (word == kLeadIn) {
            AppendMarks(symbols, kLeadInBits);
        } else if (word == kAsciiLeadIn) {
            AppendMarks(symbols, kAsciiLeadInBits);
        } else if (ascii) {
            character.Append(symbols, static_cast<std::uint32_t>(word >> 1));
        } else {
            character.Append(symbols, Reverse5(word >> 10));
        }
    }
    m_modem.Load(std::move(symbols));
}

std::size_t CEncBaudotCode::SymbolsOf(std::uint16_t word) const {
    if (word == kLeadIn) return kLeadInBits;
    if (word == kAsciiLeadIn) return kAsciiLeadInBits;
    const int dataBits = m_mode == kAscii8 ? 8 : m_mode == kAscii7 ? 7 : 5;
    return static_cast<std::size_t>(1 + dataBits + 2);
}

void CEncBaudotCode::ReportSymbols(const SymbolReport& report) const {
    if (m_codes.empty() || m_modem.SamplesPerBit() <= 0) return;
    std::vector<std::int64_t> starts;  // the first sample of every symbol, then the end
    m_modem.ForEachSymbol([&](std::size_t, std::int64_t first, std::int64_t) { starts.push_back(first); });
    starts.push_back(m_modem.TotalSamples());
    const bool ascii = m_mode == kAscii7 || m_mode == kAscii8;
    const int table = m_mode == 3 ? 1 : m_mode == 4 ? 2 : 0;
    bool figures = m_textShiftState == BaudotCoder::kShiftFigures;
    std::size_t symbol = kSilentBits;
    std::int32_t index = 0;
    for (const std::uint16_t word : m_codes) {
        if (word == kEndMarker) break;
        const std::size_t count = SymbolsOf(word);
        if (word != kLeadIn && word != kAsciiLeadIn && symbol + count < starts.size()) {
            const int code = ascii ? (word >> 1) & (m_mode == kAscii8 ? 0xFF : 0x7F) : Reverse5(word >> 10);
            char character[1] = {static_cast<char>(code)};
            std::string_view text(character, 1);
            if (!ascii && code == BaudotCoder::kFigures) {
                figures = true;
                text = "FIGS";
            } else if (!ascii && code == BaudotCoder::kLetters) {
                figures = false;
                text = "LTRS";
            } else if (!ascii) {
                character[0] = static_cast<char>(BaudotCoder::Character(code, figures, table));
            }
            Symbol frame{.kind = SymbolKind::Character, .first = starts[symbol], .last = starts[symbol + count] - 1};
            frame.text = text;
            frame.index = index++;
            frame.value = code;
            report(frame);
        }
        symbol += count;
    }
}

std::int64_t CEncBaudotCode::Length() const {
    return (m_modem.TotalSamples() - m_modem.Position()) * BytesPerSample(m_format);
}

int CEncBaudotCode::Read(std::uint8_t* buffer, int byteCount) {
    if (buffer == nullptr || byteCount <= 0) return 0;
    const int bytesPerSample = BytesPerSample(m_format);
    const auto room = static_cast<std::size_t>(byteCount / bytesPerSample);
    const std::size_t written = m_modem.Render(buffer, room) * static_cast<std::size_t>(bytesPerSample);
    if (m_modem.Done() && written < static_cast<std::size_t>(byteCount)) {
        std::memset(buffer + written, SilenceByte(m_format), static_cast<std::size_t>(byteCount) - written);
    }
    return static_cast<int>(written);
}

}  // namespace Quorvex::VarnelNet
