#pragma once

#include <cstdarg>
#include <cstddef>

#include "varnel/platform/LocalTime.h"

namespace Quorvex::VarnelNet {

// Size of a diagnostic line, terminator included; longer messages are cut to fit.
constexpr std::size_t kDebugLineSize = 2048;

// Writes "H:M:SS.mmm--\t" and the printf-formatted message into line. Returns its length.
std::size_t FormatDebugLine(char (&line)[kDebugLineSize], const LocalTime& time,
                            const char* format, std::va_list args);

}  // namespace Quorvex::VarnelNet
