#include "testkit/Requests.h"

#include <cmath>
#include <stdexcept>

#include "testkit/Suite.h"
#include "varnel/signal/PortableMath.h"
#include "varnel/signal/ToneTables.h"

namespace Quorvex::VarnelNet::Kit {

double Rounded(double value, int decimals) {
    const double scale = PortableMath::Pow10(decimals);
    const double rounded = std::round(value * scale) / scale;
    return rounded == 0.0 ? 0.0 : rounded;
}

Script::Request SetInteger(const SettingSpec& setting, std::int32_t value) {
    return Script::Set{&setting, SettingValue{.integer = value}};
}

Script::Request SetNumber(const SettingSpec& setting, double value) {
    return Script::Set{&setting, SettingValue{.number = static_cast<float>(value)}};
}

Script::Request SetLevel(double dbm0, int tones) {
    return SetNumber(SettingsCatalog::kAmplitude, Rounded(AmplitudeFor(dbm0, tones), 4));
}

void AddTiming(RequestList& requests, std::int32_t toneMs, std::int32_t breakMs) {
    requests.push_back(SetInteger(SettingsCatalog::kDtmfToneTime, toneMs));
    requests.push_back(SetInteger(SettingsCatalog::kDtmfBreakTime, breakMs));
}

Script::Request Silence(double ms) { return Script::Silence{static_cast<float>(ms)}; }

Script::Request DtmfKeys(std::string keys) { return Script::Dtmf{std::move(keys)}; }

Script::Request Tone(std::int32_t onMs, std::int32_t offMs, double hz1, double hz2) {
    return Script::Tone{onMs, offMs, {static_cast<float>(Rounded(hz1, 3)), static_cast<float>(Rounded(hz2, 3)), 0.0f}};
}

Script::Request PlanTone(std::string_view country, std::string_view tone, std::int32_t ms) {
    Script::Plan plan;
    plan.row = FindTonePlan(country, tone);
    std::string error;
    if (!plan.row || !ParseTonePattern(plan.row->pattern, plan.pattern, error)) {
        throw std::logic_error("the tone plans have no " + std::string(country) + " " + std::string(tone));
    }
    plan.ms = ms;
    return plan;
}

Script::Request ModemTone(MODEM_TONE tone, std::int32_t ms) { return Script::Modem{tone, ms}; }

Script::Request CallerIdMessage(std::string number, std::string name, std::string dateTime) {
    Script::CallerId message;
    message.number = std::move(number);
    message.name = std::move(name);
    message.dateTime = std::move(dateTime);
    return message;
}

Script::Request TtyText(std::string text) { return Script::Tty{std::move(text)}; }

Script::Request VmwiMessage(bool active) { return Script::Vmwi{active}; }

}  // namespace Quorvex::VarnelNet::Kit
