#include "varnel/script/Level.h"

#include <cmath>
#include <cstdio>

#include "varnel/options/Refusal.h"
#include "varnel/platform/DecimalText.h"
#include "varnel/platform/PrintableText.h"
#include "varnel/script/Facts.h"
#include "varnel/script/RequestError.h"

namespace Quorvex::VarnelNet::Script {

namespace {

// How far above one tone's level a DTMF pair peaks when its high group is twist dB above its
// low group.
double PairGain(double twist) { return 20.0 * std::log10(1.0 + std::pow(10.0, twist / 20.0)); }

// Rounded down to hundredths, so that the level printed is one that is accepted.
double Hundredths(double db) { return std::floor(db * 100.0 + 1e-9) / 100.0; }

}  // namespace

float ReadDbm0(std::string_view text, std::string_view option) {
    float level = 0.0f;
    if (ReadDecimal(text, level) != DecimalRead::Number || level < -200.0f || level > 200.0f) {
        Option::Refuse(option, text, "is not a number from -200 to 200");
    }
    return level;
}

double HighestDbm0(int tones) {
    return Hundredths(kFullScaleDbm0 - 20.0 * std::log10(static_cast<double>(tones)));
}

std::vector<Set> Dbm0Settings(float dbm0) {
    Set amplitude{&SettingsCatalog::kAmplitude, {}};
    amplitude.value.number = static_cast<float>(static_cast<double>(dbm0) - kFullScaleDbm0);
    Set perTone{&SettingsCatalog::kToneLevelPerTone, {}};
    perTone.value.integer = 1;
    return {perTone, amplitude};
}

std::string CheckDbm0(const Request& request, const SettingValues& settings, float dbm0) {
    const int tones = MostTonesAtOnce(request, settings);
    const double level = dbm0;
    char text[200];
    if (std::holds_alternative<Dtmf>(request)) {
        const double twist = settings.Number(SettingsCatalog::kDtmfTwist);
        const double highest = Hundredths(kFullScaleDbm0 - PairGain(twist));
        if (level <= highest + 1e-6) return "";
        std::snprintf(text, sizeof text,
                      "{dbm0} %g with {dtmf-twist} %g puts the DTMF pair past full scale: with this twist the level "
                      "may be at most %+.2f dBm0",
                      level, twist, highest);
        return text;
    }
    if (tones == 0 || level <= HighestDbm0(tones) + 1e-6) return "";
    std::snprintf(text, sizeof text, "{dbm0} %g is past full scale for %d tone%s at once (at most %+.2f dBm0)", level,
                  tones, tones == 1 ? "" : "s", HighestDbm0(tones));
    return text;
}

}  // namespace Quorvex::VarnelNet::Script
