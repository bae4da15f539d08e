#include "cli/Settings.h"

#include <array>
#include <cmath>
#include <utility>

#include "cli/Numbers.h"
#include "cli/UsageError.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

struct NamedSetting {
    std::string_view name;
    SettingName setting;
};

constexpr std::array<NamedSetting, 11> kNames = {{
    {"amplitude", SettingName::Amplitude},
    {"rate", SettingName::Rate},
    {"bits", SettingName::Bits},
    {"dtmf-tone", SettingName::DtmfTone},
    {"dtmf-break", SettingName::DtmfBreak},
    {"dtmf-pause", SettingName::DtmfPause},
    {"tty-mode", SettingName::TtyMode},
    {"tty-rate", SettingName::TtyRate},
    {"cid-format", SettingName::CidFormat},
    {"cid-timing", SettingName::CidTiming},
    {"tty-figs-after-space", SettingName::TtyFigsAfterSpace},
}};

struct Keyword {
    std::string_view word;
    std::int32_t value;
};

// The value of a keyword from the list, or a usage error listing them.
template <std::size_t N>
std::int32_t ParseKeyword(std::string_view value, std::string_view what, const std::array<Keyword, N>& words) {
    std::string choices;
    for (const Keyword& k : words) {
        if (k.word == value) return k.value;
        choices += choices.empty() ? "" : "|";
        choices += k.word;
    }
    throw UsageError(std::string(what) + ": '" + std::string(value) + "' is not one of " + choices);
}

constexpr std::array<Keyword, 8> kTtyModes = {{{"baudot", Baudot_Mode},
                                               {"ascii7", ASCII7_Mode},
                                               {"ascii8", ASCII8_Mode},
                                               {"0", 0},
                                               {"1", 1},
                                               {"2", 2},
                                               {"3", 3},
                                               {"4", 4}}};
constexpr std::array<Keyword, 3> kCidFormats = {{{"sdmf", CID_SDMF}, {"mdmf", CID_MDMF}, {"raw", CID_RAW}}};
constexpr std::array<Keyword, 2> kCidTimings = {{{"whole", CBT_WholeSamples}, {"exact", CBT_Exact}}};
constexpr std::array<Keyword, 2> kFlags = {{{"0", 0}, {"1", 1}}};

// The TTY bit rates as numbers, so that "74.2" and "74.20" both name BR_74_20_Baud.
std::int32_t ParseTtyRate(std::string_view value, std::string_view what) {
    constexpr std::array<std::pair<float, BAUDOT_RATE>, 6> kRates = {{{45.45f, BR_45_45_Baud},
                                                                      {50.0f, BR_50_Baud},
                                                                      {56.92f, BR_56_92_Baud},
                                                                      {74.20f, BR_74_20_Baud},
                                                                      {100.0f, BR_100_Baud},
                                                                      {110.0f, BR_110_Baud}}};
    const std::string expected = "' is not one of 45.45|50|56.92|74.20|100|110";
    float baud = 0.0f;
    try {
        baud = ParseFloat(value, what);
    } catch (const UsageError&) {
        throw UsageError(std::string(what) + ": '" + std::string(value) + expected);
    }
    for (const auto& [rate, index] : kRates) {
        if (std::fabs(baud - rate) < 0.001f) return index;
    }
    throw UsageError(std::string(what) + ": '" + std::string(value) + expected);
}

}  // namespace

bool IsSettingName(std::string_view name) {
    for (const NamedSetting& n : kNames) {
        if (n.name == name) return true;
    }
    return false;
}

Setting ParseSetting(std::string_view name, std::string_view value, std::string_view prefix) {
    Setting s;
    bool known = false;
    for (const NamedSetting& n : kNames) {
        if (n.name == name) {
            s.name = n.setting;
            known = true;
        }
    }
    if (!known) throw UsageError("unknown setting '" + std::string(name) + "'");
    const std::string what = std::string(prefix) + std::string(name);
    s.text = std::string(name) + "=" + std::string(value);
    switch (s.name) {
        case SettingName::Amplitude: s.number = ParseFloat(value, what); break;
        case SettingName::Rate:
        case SettingName::DtmfTone:
        case SettingName::DtmfBreak:
        case SettingName::DtmfPause: s.integer = ParseInt32(value, what); break;
        case SettingName::Bits:
            if (value != "8" && value != "16") throw UsageError(what + ": '" + std::string(value) + "' is not 8 or 16");
            s.integer = value == "8" ? 8 : 16;
            break;
        case SettingName::TtyMode: s.integer = ParseKeyword(value, what, kTtyModes); break;
        case SettingName::TtyRate: s.integer = ParseTtyRate(value, what); break;
        case SettingName::CidFormat: s.integer = ParseKeyword(value, what, kCidFormats); break;
        case SettingName::CidTiming: s.integer = ParseKeyword(value, what, kCidTimings); break;
        case SettingName::TtyFigsAfterSpace: s.integer = ParseKeyword(value, what, kFlags); break;
    }
    return s;
}

void ApplySetting(Varnel& varnel, const Setting& s) {
    switch (s.name) {
        case SettingName::Amplitude: varnel.Amplitude(s.number); break;
        case SettingName::Rate: varnel.SampleRate(s.integer); break;
        case SettingName::Bits: varnel.BitsPerSample(s.integer); break;
        case SettingName::DtmfTone: varnel.DTMF_ToneTime(s.integer); break;
        case SettingName::DtmfBreak: varnel.DTMF_BreakTime(s.integer); break;
        case SettingName::DtmfPause: varnel.DTMF_PauseTime(s.integer); break;
        case SettingName::TtyMode: varnel.TTY_Mode(static_cast<TTY_MODE>(s.integer)); break;
        case SettingName::TtyRate: varnel.TTY_Rate(static_cast<BAUDOT_RATE>(s.integer)); break;
        case SettingName::CidFormat: varnel.CID_Format(static_cast<CID_FORMAT>(s.integer)); break;
        case SettingName::CidTiming: varnel.CID_BitTiming(static_cast<CID_BIT_TIMING>(s.integer)); break;
        case SettingName::TtyFigsAfterSpace: varnel.TTY_FigsAfterSpace(s.integer); break;
    }
}

bool ChangesFormat(const Setting& setting) {
    return setting.name == SettingName::Rate || setting.name == SettingName::Bits;
}

}  // namespace Quorvex::VarnelNet::Cli
