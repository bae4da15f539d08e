#include "cli/Interrupt.h"

#include <csignal>

namespace Quorvex::VarnelNet::Cli {

namespace {

volatile std::sig_atomic_t g_caught = 0;

constexpr int kSignals[] = {SIGINT, SIGTERM};
struct sigaction g_previous[2];

extern "C" void OnSignal(int signal) {
    if (g_caught == 0) g_caught = signal;
}

}  // namespace

InterruptCatcher::InterruptCatcher() {
    g_caught = 0;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: blocked calls return EINTR
    for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
}

InterruptCatcher::~InterruptCatcher() {
    // After a stop the handler stays: a second signal may come after the first was acted on (the
    // sender descheduled between the two), and must not kill the tool as it exits with its status.
    if (g_caught != 0) return;
    for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
}

int CaughtSignal() { return g_caught; }

std::string Interrupted::Message() const {
    std::string message = "interrupted by ";
    message += m_signal == SIGINT ? "SIGINT" : m_signal == SIGTERM ? "SIGTERM" : "signal " + std::to_string(m_signal);
    if (*what() != '\0') message.append(": ").append(what());
    return message;
}

void StopIfInterrupted() {
    if (const int signal = CaughtSignal(); signal != 0) throw Interrupted(signal, "");
}

}  // namespace Quorvex::VarnelNet::Cli
