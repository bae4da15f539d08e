#include "cli/Scenario.h"

namespace Quorvex::VarnelNet::Cli {

// The Caller-ID carries a fixed date and time, so that the scenario renders the same bytes
// every time. Apart from the Caller-ID standards it shows, it sets nothing: the tool's defaults
// (MDMF, exact bit timing) and the options given apply.
const std::vector<ScenarioStep>& BuiltInScenario() {
    static const std::vector<ScenarioStep> steps = {
        {"tone:1500,0,350,440", "dial tone, 350+440 Hz"},
        {"dtmf:5550123", "DTMF number 555-0123"},
        {"silence:500", "pause"},
        {"tones:440|480@2000,0@4000", "ring-back cadence, 440+480 Hz 2 s on, 4 s off"},
        {"cid:5550123|VARNEL DEMO|01/02 03:04", "Caller-ID, MDMF with exact bit timing"},
        {"silence:300", "pause"},
        {"set:cid-standard=etsi", ""},
        {"cid:0123456789|VARNEL DEMO|01/02 03:04", "Caller-ID, ETSI V.23"},
        {"silence:300", "pause"},
        {"vmwi:on", "message waiting on, ETSI V.23"},
        {"set:cid-standard=bell", ""},
        {"silence:300", "pause"},
        {"tty:HELLO THIS IS VARNEL GA", "TTY greeting"},
    };
    return steps;
}

const char* ScenarioSummary() {
    return "no request given: rendering the built-in scenario (dial tone, a DTMF number, ring-back "
           "cadence, Caller-ID MDMF with exact bit timing, ETSI V.23 Caller-ID, message waiting, a TTY "
           "greeting)";
}

}  // namespace Quorvex::VarnelNet::Cli
