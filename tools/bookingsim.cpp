// vexla-bookingsim DB [--rate N] [--style per-booking|kept-open|idle|report]
//                     [--wal] [--busy-timeout S] [--log FILE] [--duration S] [--count N]
// Plays the booking system beside one of our jobs: books into Bokning at the
// rate (a connection for each booking by default, or one kept open), or only
// holds a connection (idle), or reads the way its reports do (report). Each
// write attempt is one line on standard output or appended to FILE:
//   <seq> <ok|busy|locked|error> <id or 0> <marker> <wait_ms> <SQLite's message>
// tab separated; remarks start with '#'. Runs until SIGINT or SIGTERM (the
// booking under way is finished first), or the duration or count is reached,
// then writes "# attempts=N ok=N failed=N longest_wait_ms=X.XXX" on standard
// error. Exit status 0 then, 1 when the database (never created) or the log
// cannot be used, 2 for a wrong command line.
#include <signal.h>

#include <csignal>
#include <cstdio>

#include "tools/booking_simulator.h"

namespace {

volatile std::sig_atomic_t stopAsked = 0;

void askStop(int) { stopAsked = 1; }

}  // namespace

int main(int argc, char** argv) {
    std::string problem;
    const auto options = vexla::sim::parseSimArgs({argv + 1, argv + argc}, problem);
    if (!options) {
        std::fprintf(stderr, "vexla-bookingsim: %s; usage: %s\n", problem.c_str(), vexla::sim::kSimUsage);
        return 2;
    }
    vexla::sim::SimLog log;
    if (!log.open(options->log, problem)) {
        std::fprintf(stderr, "vexla-bookingsim: %s\n", problem.c_str());
        return 1;
    }
    struct sigaction stop {};
    stop.sa_handler = askStop;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);

    const int status = vexla::sim::runSimulator(
        *options, [] { return stopAsked != 0; }, [&](const vexla::sim::Attempt& a) { log.write(a); },
        [&](const std::string& remark) { log.note(remark); });
    if (status == 0) std::fprintf(stderr, "%s\n", log.summary().c_str());
    return status;
}
