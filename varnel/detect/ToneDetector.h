#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "varnel/detect/ToneCadences.h"
#include "varnel/detect/ToneSegmenter.h"

namespace Quorvex::VarnelNet::Detect {

enum class ToneEventKind : std::uint8_t {
    Progress,  // a call-progress tone: the plans it fits
    Sit,       // a special information tone
    Modem,     // a modem or fax tone, or V.21's flags
};

// What a tone event's `modem` names beyond the library's modem tones (kModemTones).
inline constexpr int kV21Flags = 5;

// A tone heard: its first and last sample (both included), its tones (lowest first, the
// frequencies measured, averaged over its elements), its level in dBm0 (of its loudest tone),
// and by kind:
//   Progress: the cadence measured (tone and silence lengths of one cycle, in ms; none for a
//     continuous tone) and the rows of TonePlanRows() it fits, best first;
//   Sit: the row of SitRows(), the cadence its three segments' lengths, `segmentHz` their
//     frequencies;
//   Modem: the index of kModemTones (or kV21Flags), its modulation, its phase reversals, the
//     flags heard.
// `elements` are its tones and the silences between them as played, for labels: each with the
// nominal tones of what it was taken for and the position of its element in the pattern.
struct ToneEvent {
    static constexpr int kMaxMatches = 48;
    static constexpr int kMaxCadence = 8;
    static constexpr int kMaxElements = 32;
    struct Element {
        bool tone = false;
        std::uint64_t first = 0;
        std::uint64_t last = 0;
        int toneCount = 0;
        std::array<double, 3> hz{};
        int step = 0;
    };

    ToneEventKind kind = ToneEventKind::Progress;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    int toneCount = 0;
    std::array<double, 3> hz{};
    double dbm0 = 0.0;
    double modulationHz = 0.0;
    double depth = 0.0;
    int cadenceCount = 0;
    std::array<double, kMaxCadence> cadenceMs{};
    int matchCount = 0;
    std::array<std::uint16_t, kMaxMatches> matches{};
    std::array<double, 3> segmentHz{};
    int sit = -1;
    int modem = -1;
    int reversals = 0;
    int flags = 0;
    int elementCount = 0;
    std::array<Element, kMaxElements> elements{};
};

// A streaming receiver of the tones of calls: the call-progress tones of the library's 40
// country plans (a tone, two or three, or one amplitude-modulated, with their cadence), the
// special information tones, and the modem and fax tones (CNG, ANS, ANS/PR, ANSam, ANSam/PR,
// V.21's flags). A ToneSegmenter cuts the input into steady tones; a modem tone is known by
// one segment; a SIT by three in a row; a call-progress tone is a run of segments, the
// silences between them under 6 s, reported when it ends with the plans whose cadence it fits
// (or, when none fits it whole, each stretch of one tone in it that one fits).
//
// Blocks of any size report what the whole input does; nothing is allocated once constructed.
class ToneDetector {
public:
    using EventSink = std::function<void(const ToneEvent&)>;

    static constexpr int kLowestRate = 8000;
    static constexpr int kHighestRate = 48000;

    // Throws std::invalid_argument for a rate outside kLowestRate to kHighestRate.
    ToneDetector(int sampleRate, EventSink sink);

    // Samples where full scale is 1.0; a slot holding one that is not a finite number is silence.
    void Feed(std::span<const double> samples);
    // The input has ended: reports the tones still sounding.
    void Finish();

    // The cadences it matches against, shared by every detector.
    static const ToneCadences& Cadences();

private:
    static constexpr int kRunElements = 2 * ToneEvent::kMaxElements;
    static int CheckedRate(int sampleRate);
    void Heard(const ToneSegment& segment);
    // The index of kModemTones (or kV21Flags) the segment is, or -1.
    int ModemOf(const ToneSegment& segment) const;
    void EmitModem(const ToneSegment& segment, int modem);
    bool Sit();
    // Reports the run kept, or the stretches of one tone in it, with the plans they fit.
    void EndRun(double gapMs, RunEnd end);
    // Reports a run if any cadence fits it.
    bool Report(std::span<const HeardElement> run, double gapMs, RunEnd end);

    int rate_;
    EventSink sink_;
    ToneSegmenter segmenter_;
    std::array<ToneSegment, 3> recent_{};  // the last segments, for SITs
    int recentCount_ = 0;
    std::array<HeardElement, kRunElements> run_{};
    int runCount_ = 0;
    bool runCut_ = false;  // more elements were heard than are kept
    std::uint64_t runLast_ = 0;  // the run's last tone's last sample, beyond the elements kept
    ToneEvent event_;
};

}  // namespace Quorvex::VarnelNet::Detect
