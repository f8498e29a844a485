#include "common/stop_signals.h"

#include <csignal>

namespace vexla {

namespace {

volatile std::sig_atomic_t caught = 0;

void noteStop(int signal) { caught = signal; }

}  // namespace

int stopSignal() { return caught; }

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace vexla
