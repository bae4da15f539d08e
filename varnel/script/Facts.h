#pragma once

#include <string>
#include <vector>

#include "varnel/script/Parser.h"
#include "varnel/script/Request.h"
#include "varnel/script/SettingText.h"

namespace Quorvex::VarnelNet::Script {

// What a request sounds, known without rendering it, with the settings in effect where they
// matter (the Caller-ID standard and alert, the TTY rate, the sample rate). How long it lasts
// is measured on an engine (Measure.h), which knows every length to the sample.

// Every frequency it sounds, each once, in the order they first sound: the keys' pairs, the
// FSK mark and space, the alerting tones, the tones of a pattern (a modulated tone's carrier).
std::vector<double> Frequencies(const Request& request, const SettingValues& settings);

// How many tones sound at once in each part, in order: {2} for DTMF and MF, {1} for FSK, a
// Caller-ID after a dual-tone alert {2, 0, 1}, a pattern one count per element; silence {0};
// set: none.
std::vector<int> ToneCounts(const Request& request, const SettingValues& settings);

// The most tones that sound at once anywhere in it (0 for silence and set:).
int MostTonesAtOnce(const Request& request, const SettingValues& settings);

// One line that says what it is: "DTMF 5550123", "United Kingdom busy tone 400/375,0/375 for
// 3000 ms", "ETSI Caller-ID: number 0123456789, name VARNEL DEMO, 01/02 03:04".
std::string Describe(const Request& request, const SettingValues& settings);

// What a front end should warn about: what the parser noticed, and every frequency at or above
// half the sample rate, which aliases.
std::vector<std::string> Warnings(const Entry& entry, const SettingValues& settings);

}  // namespace Quorvex::VarnelNet::Script
