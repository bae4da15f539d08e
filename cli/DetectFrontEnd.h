#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/DetectCommand.h"
#include "cli/DetectExpect.h"

namespace Quorvex::VarnelNet::Cli {

// The options of varnel detect that say where its input comes from and what becomes of it:
// --expect SCRIPT, -f/--script FILE, --junit FILE, --labels FILE, --rtp-listen [ADDR:]PORT and
// --duration SECONDS. Applies arg when it is one of them (taking its value from value) and
// returns whether it was. Throws UsageError, a script that does not parse in its own words.
using DetectValue = std::function<const std::string&(std::string_view option)>;
bool ParseDetectFrontEnd(const std::string& arg, const DetectValue& value, DetectOptions& detect);

// Refuses the options that do not go together. Throws UsageError.
void CheckDetectFrontEnd(const DetectOptions& detect);

// Writes --labels and --junit; a file that cannot be written is said on err. Returns whether both were written.
bool WriteDetectOutputs(const DetectOptions& detect, const std::vector<HeardStream>& heard, const ExpectReport* expect, std::FILE* err);

}  // namespace Quorvex::VarnelNet::Cli
