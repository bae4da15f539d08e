#include "varnel/rtp/RealTimePriority.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {
constexpr int kPriority = 10;
}

RealTimePriority::RealTimePriority() {
    if (::pthread_getschedparam(::pthread_self(), &m_policy, &m_parameters) != 0) return;
    sched_param realTime{};
    realTime.sched_priority = kPriority;
    m_active = ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &realTime) == 0;
}

RealTimePriority::~RealTimePriority() {
    if (m_active) ::pthread_setschedparam(::pthread_self(), m_policy, &m_parameters);
}

}  // namespace Quorvex::VarnelNet::Rtp
