#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Quorvex::VarnelNet::Detect {

enum class TtyCoding : std::uint8_t { Baudot, Ascii7, Ascii8 };
// "baudot", "ascii7", "ascii8": the words of the tty-mode setting.
std::string_view TtyCodingWord(TtyCoding coding);

// A character frame heard: its start bit to its second stop bit, the code it carried (a Baudot
// code 0-31 or an ASCII byte) and what it stands for: the character, or for a Baudot shift
// kFigures or kLetters with no character.
struct TtyCharacter {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    int code = 0;
    char character = 0;
    bool shift = false;  // a Baudot LTRS or FIGS
};

// What a frame stands for in the coding: "FIGS" or "LTRS" for a shift, else its character (of
// ASCII-7 the low 7 bits); and its code (of ASCII-7 the low 7 bits).
std::string TtyCharacterText(const TtyCharacter& character, TtyCoding coding);
int TtyCharacterCode(const TtyCharacter& character, TtyCoding coding);

// A run of TTY text: from the first carrier to the last, its coding and bit rate (as the
// tty-rate setting names it, "45.45"), the text printed (shifts and NULs left out), the
// characters' frames and the tones' level in dBm0. The views last until the sink returns.
struct TtyMessage {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    TtyCoding coding = TtyCoding::Baudot;
    std::string_view rate;
    std::string_view text;
    std::span<const TtyCharacter> characters;
    double dbm0 = 0.0;
};

// A streaming text-telephone receiver: 1400 Hz mark and 1800 Hz space, each mixed down and
// summed over a window of 1/400 s (which nulls the other tone), their difference deciding the
// bit. While the two tones hold most of the power, the stronger within 3.5 % of its frequency
// (each smoothed over some 8 ms), twelve start-stop receivers run on it together, Baudot and
// 8-bit ASCII at each of the six rates, each deciding a bit by the sign of the difference summed over the middle half of it (the
// stop bit over the second quarter, so that a sender a few per cent fast is followed); a frame
// the carrier leaves is dropped. When the carrier has been away for kHoldMs (or
// kMostCharacters have been heard) the message is reported as the rate whose bit time the gaps
// between transitions fit best (or the one of twice its bit time, when that frames with fewer
// errors) and the coding with the fewest framing errors at it; ASCII whose bit 7 is nearly
// always the stop bit is ASCII-7. Baudot starts in letters, reads the US figures table and
// returns to letters after a space, as US TTYs do (the tool's tty-figs-after-space, on by
// default, sends FIGS again for them).
//
// The state is carried across calls, so feeding a signal in blocks of any size reports what
// feeding it at once does, to the sample. Nothing is allocated once constructed.
class TtyDetector {
public:
    using MessageSink = std::function<void(const TtyMessage&)>;

    static constexpr int kLowestRate = 8000;
    static constexpr int kHighestRate = 48000;
    static constexpr int kHoldMs = 100;
    static constexpr std::size_t kMostCharacters = 1024;

    // Throws std::invalid_argument for a rate outside kLowestRate to kHighestRate.
    TtyDetector(int sampleRate, MessageSink sink);

    // Samples where full scale is 1.0, or 16-bit ones (full scale 32768). A sample that is not
    // a finite number is taken as silence.
    void Feed(std::span<const double> samples);
    void Feed(std::span<const std::int16_t> samples);
    // The input has ended: reports a message still open.
    void Finish();

private:
    static constexpr int kRates = 6;
    static constexpr int kReceivers = 2 * kRates;  // Baudot at each rate, then ASCII
    static constexpr int kLongestWindow = kHighestRate / 400 + 1;

    struct Complex {
        double re = 0.0;
        double im = 0.0;
    };
    struct Receiver {
        double bitSamples = 0.0;
        int dataBits = 5;
        bool inFrame = false;
        bool markSeen = false;
        double edge = 0.0;  // the start bit's leading edge, in samples
        int bit = 0;        // the bit being summed, 0 the start bit
        double windowStart = 0.0;
        double windowEnd = 0.0;
        double sum = 0.0;
        int value = 0;
        bool figures = false;
        std::size_t frames = 0;
        std::size_t errors = 0;
        std::vector<TtyCharacter> heard;  // capacity kMostCharacters
    };

    void Push(double sample);
    void Run(Receiver& receiver, double difference);
    void Decide(Receiver& receiver);
    void StartMessage();
    void EndMessage();

    int window_;
    MessageSink sink_;
    Complex markTurn_, spaceTurn_;  // e^{-jw} of each tone
    Complex markPhase_, spacePhase_;
    std::array<Complex, kLongestWindow> markRing_{}, spaceRing_{};
    std::array<double, kLongestWindow> powerRing_{};
    std::array<Complex, kLongestWindow> markPast_{}, spacePast_{};  // the sums a window ago
    double markTangent_ = 0.0, spaceTangent_ = 0.0;  // of the turn a window at the tolerance
    double smoothOnTone_ = 0.0;
    Complex markSum_, spaceSum_;
    double powerSum_ = 0.0;
    int at_ = 0;  // the ring's oldest entry
    std::uint64_t samples_ = 0;
    double previous_ = 0.0;  // the last difference
    double lastEdge_ = -1.0;

    bool open_ = false;  // a message is being heard
    std::uint64_t messageFirst_ = 0;
    std::uint64_t lastCarrier_ = 0;
    std::uint64_t holdSamples_ = 0;
    double lowestPower_ = 0.0;  // of the two tones at kLowestDbm0
    double smoothing_ = 0.0;    // of the one-pole smoothing of the powers
    double smoothTones_ = 0.0;
    double smoothPower_ = 0.0;
    double tonePower_ = 0.0;  // summed over the carrier's samples
    std::uint64_t carrierSamples_ = 0;
    std::array<double, kRates> fit_{};  // squared misfit of transitions, by rate
    std::array<std::size_t, kRates> gaps_{};
    std::array<Receiver, kReceivers> receivers_;
    std::vector<char> text_;  // capacity kMostCharacters
};

}  // namespace Quorvex::VarnelNet::Detect
