// The unattended job: "/a k", "/a c" or "/a r" on the command line compacts
// the database without a window and without a question, logging its steps,
// and ends the program. Run from cron, with no window system at all.
#pragma once

#include <functional>
#include <string>

#include "session/job_context.h"

namespace vexla {

// The exit statuses of the unattended job, as vexla-transfer answers them.
namespace unattended {
constexpr int Done = 0;
constexpr int Failed = 1;  // no database path, or the compaction failed
constexpr int InUse = 3;   // another program held the database (to the end of any wait)
}  // namespace unattended

// How the job ended: its exit status and, when it failed, why (the text
// shown on standard error).
struct UnattendedEnd {
    int status = unattended::Done;
    std::string reason;
    // The longest span the compaction held the booking system's commits off, in seconds.
    double heldSeconds = 0;
};

// Runs the unattended compaction. Sets Kommandorad first.
//
// Without a database path it logs one line (text R1774, "!: ", now), shows
// R1774 on `errors` and ends Failed. Otherwise it logs a blank line, R1775,
// "R1776: now", runs the compaction (which logs its own steps), "R1777:
// now", R1778 and a blank line. A failure is logged (the exclusive-use
// test's line, or the message box's text) and shown on `errors` as well
// (standard error, which cron mails); nobody is there to answer a box.
// The notices of the job (JobContext::notice: a file left behind, a folder
// not listed or synced, ...) go to the system log as they happen and to
// the activity log after all of these lines, one line each.
//
// `waitAgain`, when given, is asked each time the database is found held by
// another program before the compaction starts: true after it has waited a
// while and the job should look again, false to give up. The looks are
// quiet; only the compaction's own test is logged. Every file is closed
// before the answer.
UnattendedEnd runUnattendedJob(JobContext& ctx, MessageBoxes& errors, const std::function<bool()>& waitAgain = {});

}  // namespace vexla
