#pragma once

#include <string>
#include <vector>

namespace Quorvex::VarnelNet::Cli {

// One request of the built-in scenario, as it would be written on the command line, and what
// it shows.
struct ScenarioStep {
    std::string request;
    std::string description;  // empty for set: requests
};

// The scenario rendered when no request is given: one of every signal type, as a short call.
const std::vector<ScenarioStep>& BuiltInScenario();

// One line that says what the scenario renders.
const char* ScenarioSummary();

}  // namespace Quorvex::VarnelNet::Cli
