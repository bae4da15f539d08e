#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "varnel/signal/ToneSequence.h"

namespace Quorvex::VarnelNet {

// The tones modems and fax machines send while a call is set up (ITU-T T.30, V.25, V.8): a
// tone, continuous or in bursts, perhaps amplitude-modulated, perhaps with its phase turned by
// 180 degrees at a fixed interval.
struct ModemToneSpec {
    std::string_view name;
    double hz;
    double modulationHz;      // 0: not modulated
    double depth;             // of the modulation, 0..1
    std::int64_t onMs;        // 0: continuous
    std::int64_t offMs;       // silence after each burst
    std::int64_t reversalMs;  // 0: no phase reversals
    std::int64_t nominalMs;   // how long it is usually sent
};

// By MODEM_TONE index: CNG, ANS, ANS/PR, ANSam, ANSam/PR.
inline constexpr ModemToneSpec kModemTones[5] = {
    {"CNG", 1100.0, 0.0, 0.0, 500, 3000, 0, 7000},
    {"ANS", 2100.0, 0.0, 0.0, 0, 0, 0, 3300},
    {"ANS/PR", 2100.0, 0.0, 0.0, 0, 0, 450, 3300},
    {"ANSam", 2100.0, 15.0, 0.2, 0, 0, 0, 3300},
    {"ANSam/PR", 2100.0, 15.0, 0.2, 0, 0, 450, 3300},
};

// The tone as sequence steps in milliseconds (ToneSequence::Clock::Milliseconds), for a total
// of totalMs: bursts repeat; a continuous tone lasts the total.
std::vector<ToneSequence::Step> ModemToneSteps(const ModemToneSpec& spec, std::int64_t totalMs);

}  // namespace Quorvex::VarnelNet
