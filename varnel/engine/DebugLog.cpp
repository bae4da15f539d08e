#include "varnel/engine/DebugLog.h"

#include <cstdio>
#include <cstring>

namespace Quorvex::VarnelNet {

std::size_t FormatDebugLine(char (&line)[kDebugLineSize], const LocalTime& time,
                            const char* format, std::va_list args) {
    const int stamp = std::snprintf(line, kDebugLineSize, "%d:%d:%2d.%3d--\t", time.hour,
                                    time.minute, time.second, time.millisecond);
    if (stamp < 0) {
        line[0] = '\0';
        return 0;
    }
    const auto used = static_cast<std::size_t>(stamp) < kDebugLineSize ? static_cast<std::size_t>(stamp)
                                                                         : kDebugLineSize - 1;
    std::vsnprintf(line + used, kDebugLineSize - used, format, args);
    return std::strlen(line);
}

}  // namespace Quorvex::VarnelNet
