// The unattended job: "/a k", "/a c" or "/a r" on the command line compacts
// the database without a window and without a question, logging its steps,
// and ends the program. Run from cron, with no window system at all.
#pragma once

#include "session/job_context.h"

namespace vexla {

// Runs the unattended compaction and answers the program's exit status: 0
// when the database was compacted, 1 when there is no database path or the
// job failed. Sets Kommandorad first.
//
// Without a database path it logs one line (text R1774, "!: ", now) and
// nothing else. Otherwise it logs a blank line, R1775, "R1776: now", runs
// the compaction (which logs its own steps), "R1777: now", R1778 and a
// blank line. A failure is logged (the exclusive-use test's line, or the
// message box's text) and shown on `errors` as well (standard error, which
// cron mails); nobody is there to answer a box. Every file is closed before
// the answer.
int runUnattendedJob(JobContext& ctx, MessageBoxes& errors);

}  // namespace vexla
