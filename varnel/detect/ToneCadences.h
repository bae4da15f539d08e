#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace Quorvex::VarnelNet::Detect {

// A tone or a silence heard, as the tone detector's runs hold them: for a tone its tones
// (lowest first, the frequencies measured) and its modulation rate.
struct HeardElement {
    bool tone = false;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    int toneCount = 0;
    std::array<double, 3> hz{};
    double modulationHz = 0.0;
    double dbm0 = 0.0;  // of its loudest tone
    double Ms(int rate) const { return static_cast<double>(last - first + 1) * 1000.0 / rate; }
};

// How the silence after a run's last tone ended: with the input (a cadence whose silence is
// shorter stopped early, and fits less well), or cut by a silence longer than any cadence's
// pause or by another tone (any silence of the cadence fits).
enum class RunEnd : std::uint8_t { Input, Cut };

// The cadences of the library's call-progress tones (TonePlanRows(), compiled from
// data/tone-plans.tsv), and which of them a run of tones and silences fits.
class ToneCadences {
public:
    struct Element {
        bool tone = false;
        int toneCount = 0;
        std::array<double, 3> hz{};  // lowest first
        double modulationHz = 0.0;
        double ms = 0.0;  // 0: continuous
        int step = 0;     // its element's position in the pattern, as the renderer's labels count
    };
    struct Cadence {
        std::size_t row = 0;  // in TonePlanRows()
        std::vector<Element> elements;
        std::size_t cyclic = 0;  // the first element that repeats; elements.size() when none does
    };
    struct Match {
        std::size_t cadence = 0;
        std::size_t start = 0;  // the element of the pattern the run starts with
        double score = 0.0;     // 0 for a perfect fit, larger the farther off
    };

    // A SIT's three segments, as SitRows() gives them.
    struct SitShape {
        std::array<double, 3> hz{};
        std::array<double, 3> ms{};
    };

    ToneCadences();

    const std::vector<Cadence>& Cadences() const { return cadences_; }
    // Every tone frequency and modulation rate the cadences use, each once.
    const std::vector<double>& Frequencies() const { return frequencies_; }
    const std::vector<double>& ModulationRates() const { return rates_; }
    // By row of SitRows().
    const std::vector<SitShape>& Sits() const { return sits_; }

    // How well the run fits cadence c, or a negative score when it does not. The run alternates
    // tones and silences, starting and ending with a tone; `gap` is the silence after it.
    double Fit(const Cadence& c, std::span<const HeardElement> run, double gapMs, RunEnd end, int rate, std::size_t& start) const;
    // The element of a cadence at position i of its endless play, nullptr past its end.
    static const Element* At(const Cadence& c, std::size_t i);
    // Whether a heard element is passed over where the cadence has e next: a silence of a few
    // ms between tones the cadence plays one after the other.
    static bool Passed(const Element* e, const HeardElement& heard, int rate);

private:
    std::vector<Cadence> cadences_;
    std::vector<double> frequencies_;
    std::vector<double> rates_;
    std::vector<SitShape> sits_;
};

// The first count frequencies in rising order.
void SortTones(std::array<double, 3>& hz, int count);

// Whether two tones hold the same frequencies (2 % and 2 Hz) and modulation (1.5 Hz apart).
bool SameTones(int countA, const std::array<double, 3>& hzA, double modulationA, int countB, const std::array<double, 3>& hzB,
               double modulationB);

}  // namespace Quorvex::VarnelNet::Detect
