#pragma once

#include <string>

#include "cli/UsageError.h"
#include "varnel/options/Refusal.h"

namespace Quorvex::VarnelNet::Cli {

// A refused option in the tool's words: "--ptime: '61' is not a whole number of milliseconds
// from 10 to 60"; a refusal with remedies gives them as options, by their letter where they have
// one: "G.711 in RTP runs at 8000 Hz: the output is 16000 Hz, G.711 mu-law mono; give -r 8000";
// options together are named as options: "--noise and --snr both set the noise: give one".
std::string RefusalText(const VarnelNet::Option::Refusal& refusal);

// An option's name as the tool writes it: "--dbm0".
std::string ToolName(std::string_view name);

// Runs the action; a refusal of the library becomes a UsageError in the tool's words.
template <class Action>
void Worded(Action action) {
    try {
        action();
    } catch (const VarnelNet::Option::OptionRefused& e) {
        throw UsageError(RefusalText(e.Refused()));
    } catch (const Script::RequestError& e) {
        throw UsageError(e.Spelled(ToolName));
    }
}

}  // namespace Quorvex::VarnelNet::Cli
