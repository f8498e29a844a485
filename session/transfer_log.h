// The activity log's line for a transfer of a register: each export and
// import, from the window and from vexla-transfer alike, appends one, so
// the log tells who moved which register through which file, and how it
// went. The line is a plain text (transferLogLine) so that whatever else
// carries the log's lines can carry it too.
#pragma once

#include <string>

#include "common/platform/text_source.h"
#include "session/job_context.h"

namespace vexla {

struct TransferLogEntry {
    enum class Kind { Export, Import, TrialImport } kind = Kind::Export;
    std::string time;          // as JobContext::now() writes it
    std::string loginName;     // the administrator who logged in for the transfer
    std::string systemUser;    // the account the program ran as
    std::string registerCode;  // the register's name as a text code
    std::string file;          // the register file
    long records = 0;          // exported, or imported (in a trial: would have been)
    long deleted = 0;          // an import's records deleted first
    long skipped = 0;          // an import's lines skipped
    std::string ending;        // how it ended, in the user's language; empty: it went through
};

// One line, without a line end, every line break of the file name or the
// ending made a blank:
//   time kind register: file; R9549 login, R9550 user; counts; R9555: ending
// kind R9548 (export), R9546 (import) or R9547 (trial import); counts
// "n R9551" for an export, "n R9552, n R9553, n R9554" for an import;
// ending R9556 when it is empty.
std::string transferLogLine(const TransferLogEntry& entry, TextSource& texts);

// Writes the line of `entry` to the activity log, its time, login name (the
// state's) and system user filled in here.
void logTransfer(JobContext& ctx, TransferLogEntry entry);

}  // namespace vexla
