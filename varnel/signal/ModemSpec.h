#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace Quorvex::VarnelNet {

// One row of the FSK table: the tone of a 1 (mark) and of a 0 (space), and the bit rate.
// Where a standard fixes the bit time instead of the rate, bitSeconds holds it, and a bit of
// whole samples is trunc(rate * bitSeconds + 0.5); otherwise trunc(rate / bitRate + 0.5).
struct ModemSpec {
    std::string_view name;
    double markHz;
    double spaceHz;
    double bitRate;
    double bitSeconds;  // 0: 1 / bitRate
};

inline constexpr ModemSpec kBell202 = {"Bell 202", 1200.0, 2200.0, 1200.0, 0.0};
inline constexpr ModemSpec kV23 = {"ITU-T V.23", 1300.0, 2100.0, 1200.0, 0.0};

// Text telephone FSK (1400/1800 Hz) at its six rates, by BAUDOT_RATE index. The 110 baud row
// keeps its historical bit time of 9.375 ms (106.67 baud).
inline constexpr ModemSpec kTtyRates[6] = {
    {"45.45 baud", 1400.0, 1800.0, 45.45, 0.022},
    {"50 baud", 1400.0, 1800.0, 50.0, 0.02},
    {"56.92 baud", 1400.0, 1800.0, 56.92, 0.01757},
    {"74.20 baud", 1400.0, 1800.0, 74.20, 0.01347},
    {"100 baud", 1400.0, 1800.0, 100.0, 0.01},
    {"110 baud", 1400.0, 1800.0, 110.0, 0.009375},
};

}  // namespace Quorvex::VarnelNet
