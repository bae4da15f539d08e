#pragma once

#include <pthread.h>

namespace Quorvex::VarnelNet::Rtp {

// Runs the calling thread at real-time priority (SCHED_FIFO, priority 10) for as long as it
// lives, where the system allows it (root, CAP_SYS_NICE, or an RLIMIT_RTPRIO of 10 or more), so
// that a live send wakes on time even when every core is busy; elsewhere the thread runs as it
// was. The thread's own scheduling comes back when it is destroyed.
class RealTimePriority {
public:
    RealTimePriority();
    ~RealTimePriority();
    RealTimePriority(const RealTimePriority&) = delete;
    RealTimePriority& operator=(const RealTimePriority&) = delete;

    // Whether the thread runs at real-time priority.
    bool Active() const { return m_active; }

private:
    int m_policy = SCHED_OTHER;
    sched_param m_parameters{};
    bool m_active = false;
};

}  // namespace Quorvex::VarnelNet::Rtp
