#include "varnel/generators/CEncBaudotCode.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "varnel/engine/Enumerations.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr float kMarkHz = 1400.0f;
constexpr float kSpaceHz = 1800.0f;

// Seconds per bit of each BAUDOT_RATE. 110 baud is sent at 0.009375 s, not 1/110.
constexpr double kBitTime[6] = {0.022, 0.02, 0.01757, 0.01347, 0.01, 0.009375};

constexpr std::uint16_t kLeadIn = 0xFF00;       // 7 mark bits, also the Baudot trailer
constexpr std::uint16_t kAsciiLeadIn = 0x1FFF;  // 12 mark bits
constexpr std::uint16_t kEndMarker = 0xFFFF;
constexpr std::uint16_t kAscii7Frame = 0x0700;  // start bit below, two mark bits and sentinel above
constexpr std::uint16_t kAscii8Frame = 0x0E00;

constexpr int kCodeBackspace = 0;
constexpr int kCodeLineFeed = 2;
constexpr int kCodeSpace = 4;
constexpr int kCodeFigures = 27;
constexpr int kCodeLetters = 31;

constexpr std::int32_t kFigures = 0;
constexpr std::int32_t kLetters = 1;
constexpr std::int32_t kUnset = -1;

// Text bytes by code. The letters table is used for A-Z only; LF, space and (third figures
// table) backspace never reach a lookup, and a text holds no NUL.
constexpr std::array<std::uint8_t, 32> kLetterCodes = {
    0x00, 'E', 0x0A, 'A', ' ', 'S', 'I', 'U', 0x0D, 'D', 'R', 'J', 'N', 'F', 'C', 'K',
    'T', 'Z', 'L', 'W', 'H', 'Y', 'P', 'Q', 'O', 'B', 'G', 0x1B, 'M', 'X', 'V', 0x1F};

constexpr std::array<std::uint8_t, 32> kFigureCodes[3] = {
    // mode 0
    {0x00, '3', 0x0A, '-', ' ', 0x07, '8', '7', 0x0D, '$', '4', '\'', ',', '!', ':', '(',
     '5', '"', ')', '2', '#', '6', '0', '1', '9', '?', '&', 0x1B, '.', '/', ';', 0x1F},
    // mode 3
    {0x00, '3', 0x0A, '-', ' ', '\'', '8', '7', 0x0D, 0x05, '4', 0x07, ',', '!', ':', '(',
     '5', '+', ')', '2', 0xA3, '6', '0', '1', '9', '?', '&', 0x1B, '.', '/', '=', 0x1F},
    // mode 4
    {0x08, '3', 0x0A, '-', ' ', '\'', '8', '7', 0x0D, '$', '4', '\'', ',', '!', ':', '(',
     '5', '"', ')', '2', '=', '6', '0', '1', '9', '?', '+', 0x1B, '.', '/', ';', 0x1F},
};

bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }
bool IsUpper(std::uint8_t c) { return c >= 'A' && c <= 'Z'; }

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
    m_current = 0;
    m_word = 0;
}

int CEncBaudotCode::Init(std::uint8_t is16Bit, float sampleRate, float amplitude) {
    m_is16Bit = is16Bit ? 1 : 0;
    m_sampleRate = WholeHz(sampleRate);
    m_mark.Clear();
    m_space.Clear();
    m_mark.Init(is16Bit, sampleRate, amplitude);
    m_space.Init(is16Bit, sampleRate, amplitude);
    const ToneNode mark{kMarkHz, nullptr, 0.0f};
    const ToneNode space{kSpaceHz, nullptr, 0.0f};
    m_mark.AddTones(&mark);
    m_space.AddTones(&space);
    SetBaudRate(BR_45_45_Baud);
    return 0;
}

std::int32_t CEncBaudotCode::SamplesAt(double sampleRate, std::int32_t rateIndex) {
    if (rateIndex < 0 || rateIndex > 5) return 0;
    const double samples = std::trunc(sampleRate * kBitTime[rateIndex] + 0.5);
    if (!(samples >= 0.0)) return 0;
    // A whole-Hz rate stays far below this; only a huge float rate reaches it.
    if (samples > 1.0e9) return 1000000000;
    return static_cast<std::int32_t>(samples);
}

std::int32_t CEncBaudotCode::SamplesPerBit(float sampleRate, std::int32_t rateIndex) {
    return SamplesAt(static_cast<double>(sampleRate), rateIndex);
}

HRESULT CEncBaudotCode::SetBaudRate(std::int32_t index) {
    if (static_cast<std::uint32_t>(index) > 5u) return E_INVALIDARG;
    m_rateIndex = index;
    m_bytesPerBit = SamplesAt(static_cast<double>(m_sampleRate), index) * (1 + m_is16Bit);
    m_bytesLeft = -2 * m_bytesPerBit;  // two bit times of silence before the first frame
    return S_OK;
}

void CEncBaudotCode::SetFigsAfterSpace(bool on) { m_figsAfterSpace = on; }

std::int32_t CEncBaudotCode::ShiftState() const { return m_shiftState; }

void CEncBaudotCode::SetShiftState(std::int32_t state) {
    m_shiftState = (state == kFigures || state == kLetters) ? state : kUnset;
}

std::int32_t CEncBaudotCode::RateIndex() const { return m_rateIndex; }
std::int32_t CEncBaudotCode::Mode() const { return m_mode; }
std::int32_t CEncBaudotCode::BytesPerBit() const { return m_bytesPerBit; }
const std::vector<std::uint16_t>& CEncBaudotCode::CodeWords() const { return m_codes; }

int CEncBaudotCode::SetText(const char* text, std::int32_t mode) {
    if (mode < 0 || mode > 4) return -1;
    Clear();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text != nullptr ? text : "");
    const std::size_t length = std::strlen(reinterpret_cast<const char*>(bytes));
    if (mode == ASCII7_Mode || mode == ASCII8_Mode) {
        EncodeASCII(bytes, length, mode == ASCII8_Mode);
        m_bitMask = 1;
    } else {
        m_figuresVariant = mode == 3 ? 1 : mode == 4 ? 2 : 0;
        EncodeBaudot(bytes, length);
        m_bitMask = 0x8000;
    }
    m_mode = mode;
    m_current = 0;
    m_word = m_codes.front();
    return 0;
}

std::uint16_t CEncBaudotCode::Reverse5(int x) {
    int r = 0;
    for (int bit = 0; bit < 5; ++bit) {
        if (x & (1 << bit)) r |= 1 << (4 - bit);
    }
    return static_cast<std::uint16_t>(r);
}

int CEncBaudotCode::FindCode(std::uint8_t c, const CodeTable& table) {
    const auto it = std::find(table.begin(), table.end(), c);
    return it == table.end() ? -1 : static_cast<int>(it - table.begin());
}

// A Baudot word: start bit 15 (0), the code from bit 14 down least significant first, stop
// bits 9 and 8, sentinel bit 7.
void CEncBaudotCode::PutCode(int code) {
    m_codes.push_back(static_cast<std::uint16_t>((Reverse5(code) << 10) | 0x0380));
    m_afterSpace = code == kCodeSpace;
}

void CEncBaudotCode::EncodeBaudot(const std::uint8_t* text, std::size_t length) {
    std::vector<std::uint8_t> upper(text, text + length);
    for (std::uint8_t& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<std::uint8_t>(c - 'a' + 'A');
    }
    const std::size_t n = upper.size();
    m_codes.reserve(2 * n + 10);
    m_afterSpace = false;
    m_codes.push_back(kLeadIn);
    if (m_shiftState == kUnset) {
        const bool letter = n > 0 && IsUpper(upper[0]);
        PutCode(letter ? kCodeLetters : kCodeFigures);
        m_shiftState = letter ? kLetters : kFigures;
    }
    for (std::size_t i = 0; i < n;) {
        // \NN sends code NN (0-31) as it is, leaving the shift state alone; 32-99 send nothing.
        if (upper[i] == '\\' && i + 2 < n && IsDigit(upper[i + 1]) && IsDigit(upper[i + 2])) {
            const int value = 10 * (upper[i + 1] - '0') + (upper[i + 2] - '0');
            if (value <= 31) PutCode(value);
            i += 3;
            continue;
        }
        EncodeChar(upper[i]);  // a byte no table holds is dropped
        ++i;
    }
    m_codes.push_back(kLeadIn);
    m_codes.push_back(kEndMarker);
}

int CEncBaudotCode::EncodeChar(std::uint8_t c) {
    if (c == 0x0A) {
        PutCode(kCodeLineFeed);
        return 0;
    }
    if (c == ' ') {
        PutCode(kCodeSpace);
        return 0;
    }
    if (m_figuresVariant == 2 && c == 0x08) {
        PutCode(kCodeBackspace);
        return 0;
    }
    if (IsUpper(c)) {
        const int code = FindCode(c, kLetterCodes);
        if (m_shiftState == kFigures) {
            PutCode(kCodeLetters);
            m_shiftState = kLetters;
        }
        PutCode(code);
        return 0;
    }
    const int code = FindCode(c, kFigureCodes[m_figuresVariant]);
    if (code < 0) return -2;
    // Some receivers drop back to letters on a space; for them FIGS is repeated after one.
    if (m_shiftState != kFigures || (m_figsAfterSpace && m_afterSpace)) {
        PutCode(kCodeFigures);
        m_shiftState = kFigures;
    }
    PutCode(code);
    return 0;
}

void CEncBaudotCode::EncodeASCII(const std::uint8_t* bytes, std::size_t count, bool eightBit) {
    const std::uint16_t nul = eightBit ? kAscii8Frame : kAscii7Frame;
    m_codes.reserve(count + 6);
    m_codes.push_back(kAsciiLeadIn);
    m_codes.push_back(nul);
    m_codes.push_back(nul);
    for (std::size_t i = 0; i < count; ++i) {
        // In ASCII-7 bit 7 of the byte falls on the first mark bit, so it is never sent.
        m_codes.push_back(static_cast<std::uint16_t>((bytes[i] << 1) | nul));
    }
    m_codes.push_back(nul);
    m_codes.push_back(nul);
    m_codes.push_back(kEndMarker);
}

bool CEncBaudotCode::Ended() const { return m_current >= m_codes.size() || m_word == kEndMarker; }

int CEncBaudotCode::Read(std::uint8_t* buffer, int byteCount) {
    if (buffer == nullptr || byteCount <= 0) return 0;
    const std::uint8_t silence = m_is16Bit ? 0 : kSilence8;
    const int room = byteCount - byteCount % (m_is16Bit + 1);
    if (m_bytesPerBit <= 0) m_current = m_codes.size();  // a bit without samples: nothing to send
    int written = 0;

    while (!Ended() && m_bytesLeft < 0 && written < room) {
        const int n = std::min(room - written, -m_bytesLeft);
        std::memset(buffer + written, silence, static_cast<std::size_t>(n));
        written += n;
        m_bytesLeft += n;
        if (m_bytesLeft == 0) m_bytesLeft = m_bytesPerBit;
    }

    while (!Ended() && written < room) {
        const int n = std::min(room - written, m_bytesLeft);
        CMultiTone& tone = (m_word & m_bitMask) ? m_mark : m_space;
        tone.Read(buffer + written, n);
        written += n;
        m_bytesLeft -= n;
        if (m_bytesLeft > 0) break;  // the bit goes on in the next call
        m_word = m_bitMask == 0x8000 ? static_cast<std::uint16_t>(m_word << 1)
                                     : static_cast<std::uint16_t>(m_word >> 1);
        if (m_word == m_bitMask) {
            ++m_current;
            m_word = m_current < m_codes.size() ? m_codes[m_current] : kEndMarker;
        }
        m_bytesLeft = m_bytesPerBit;
    }

    if (Ended() && written < byteCount) {
        std::memset(buffer + written, silence, static_cast<std::size_t>(byteCount - written));
    }
    return written;
}

}  // namespace Quorvex::VarnelNet
