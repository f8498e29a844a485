// The unattended job: "/a k", "/a c" or "/a r" on the command line compacts
// the database without a window and without a question, logging its steps,
// and ends the program. Run from cron, with no window system at all.
#pragma once

#include <optional>

#include "session/command_line.h"
#include "session/job_context.h"

namespace vexla {

// Runs the job the command line names. Sets Kommandorad first. Answers the
// program's exit status (0 when the database was compacted, 1 when there is
// no database path or the job failed), or nullopt when /a names no job and
// the window is to open as usual.
//
// Without a database path it logs one line (text R1774, "!: ", now) and
// nothing else. Otherwise it logs a blank line, R1775, "R1776: now", runs the
// compaction (which logs its own steps), "R1777: now", R1778 and a blank
// line. A message box the compaction would show goes to the activity log
// and to standard error instead: nobody is there to answer it; a failure
// the job only logged (the exclusive-use test's report) is written to
// standard error as well. Every file is closed before the answer.
std::optional<int> runUnattendedJob(JobContext& ctx, const CommandLine& options);

// Message boxes for a run nobody watches: each text is written to the
// activity log, then handed to `inner` (which writes it to standard error).
class LoggingMessageBoxes final : public MessageBoxes {
public:
    LoggingMessageBoxes(AdminWindow& main, MessageBoxes& inner) : main_(main), inner_(inner) {}
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) override;
    void beep() override {}

    int shown = 0;

private:
    AdminWindow& main_;
    MessageBoxes& inner_;
};

}  // namespace vexla
