#include "varnel/platform/LocalTime.h"

#include <atomic>
#include <ctime>

namespace Quorvex::VarnelNet {

namespace {

std::atomic<LocalTimeSource> g_source{nullptr};

LocalTime SystemLocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm parts{};
    localtime_r(&now.tv_sec, &parts);
    LocalTime t;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec;
    t.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    return t;
}

}  // namespace

LocalTime GetLocalTime() {
    const LocalTimeSource source = g_source.load(std::memory_order_acquire);
    return source ? source() : SystemLocalTime();
}

void SetLocalTimeSource(LocalTimeSource source) {
    g_source.store(source, std::memory_order_release);
}

}  // namespace Quorvex::VarnelNet
