// SIGINT and SIGTERM as a request to stop: a program that catches them
// (vexla-transfer) lets its job undo what it started instead of ending in
// the middle of it, and every wait of the process asks stopSignal() so that
// it ends within a second of the signal: the engine's busy wait, the polls
// of the jobs, a blocked read of a terminal or a pipe.
#pragma once

namespace vexla {

// The signal (SIGINT, SIGTERM) that asked the process to stop, 0 before one
// or when none is caught. Safe from any thread.
int stopSignal();

// Catches SIGINT and SIGTERM from now on, for stopSignal() to answer.
// Without SA_RESTART: a blocked read (the password prompt, standard input)
// returns at once with EINTR. Also ignores SIGPIPE: a write to a pipe whose
// reader is gone is then an error (EPIPE) the job answers, not the end of
// the process with nothing undone.
void catchStopSignals();

}  // namespace vexla
