#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/engine/Enumerations.h"
#include "varnel/engine/SettingsCatalog.h"
#include "varnel/script/Request.h"

namespace Quorvex::VarnelNet::Kit {

// The requests the suites and corpora are made of, built as the language's typed values. The
// callers round a value to the decimals the manifest writes it with (Rounded), so that a file
// sounds the value its manifest names; SetLevel and Tone round their own.

using RequestList = std::vector<Script::Request>;

// value rounded to `decimals` decimals, 0 for a negative zero.
double Rounded(double value, int decimals);

// set: of an integer or keyword setting, and of a number setting.
Script::Request SetInteger(const SettingSpec& setting, std::int32_t value);
Script::Request SetNumber(const SettingSpec& setting, double value);

// set:amplitude of the dB, rounded to 4 decimals, that puts each of `tones` equal tones at dbm0.
Script::Request SetLevel(double dbm0, int tones);
// set:dtmf-tone and set:dtmf-break.
void AddTiming(RequestList& requests, std::int32_t toneMs, std::int32_t breakMs);

Script::Request Silence(double ms);
Script::Request DtmfKeys(std::string keys);
// tone:ON,OFF,F1[,F2] with the frequencies rounded to 3 decimals.
Script::Request Tone(std::int32_t onMs, std::int32_t offMs, double hz1, double hz2 = 0.0);
// plan:COUNTRY:TONE:MS of the built-in tone plans; the row must exist.
Script::Request PlanTone(std::string_view country, std::string_view tone, std::int32_t ms);
Script::Request ModemTone(MODEM_TONE tone, std::int32_t ms);
Script::Request CallerIdMessage(std::string number, std::string name, std::string dateTime);
Script::Request TtyText(std::string text);
Script::Request VmwiMessage(bool active);

}  // namespace Quorvex::VarnelNet::Kit
