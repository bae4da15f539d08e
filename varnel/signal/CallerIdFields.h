#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/signal/CallerIdStandard.h"

namespace Quorvex::VarnelNet {

// A Caller-ID message read back as a receiver reads it: its layout and the fields it carries,
// for the labels of a rendering.
struct CallerIdField {
    std::string name;   // "date", "number", "number absence", "name", "name absence",
                        // "message waiting", or "parameter 0xNN" for one without a name
    std::string value;  // the bytes as sent; absences 'O' or 'P'; message waiting "on"/"off"
};

struct DecodedCallerId {
    std::string_view layout;  // "SDMF", "MDMF", "NTT", "DTMF" or "raw"
    std::vector<CallerIdField> fields;
};

// Reads a message as CallerIdPlan builds it for the standard (the octets after the preamble,
// or the DTMF keys). What does not parse is reported as far as it goes, never past the end.
DecodedCallerId DecodeCallerId(CallerIdStandard standard, std::span<const std::uint8_t> message);

}  // namespace Quorvex::VarnelNet
