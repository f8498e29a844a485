// The copy of the database to a file the user chooses, whole or limited to
// the bookings that start inside an interval. The database itself is only
// read, and afterwards compacted as by cmdKomprimera.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "maintenance/compaction.h"
#include "maintenance/job_dialogs.h"
#include "session/job_context.h"

namespace vexla {

// What a click on cmdKopiera does. After the exclusive-use test it asks
// whether to limit the copy to an interval (Yes shows `interval`; No copies
// whole; Cancel stops with R1743), then asks for the target file until it is
// not the database itself (R1747). A name ending in the separator gets R1748
// + ".db", a name without any "." gets ".db"; a completed name that is an
// existing file is asked about ("name R1794 ?"; No asks for a name again).
// Then copyDatabase runs and its outcome is shown (showCopy); a missing
// folder asks for the file again. Cancelling at any question leaves lblInfo
// at R1743 and no file changed.
void askAndCopyDatabase(JobContext& ctx, IntervalDialog& interval);

// A target as the user named it, completed the way the copy job completes
// the save dialog's answer: a name ending in the separator gets R1748 +
// ".db", then a name without any "." gets ".db".
std::string withDatabaseExtension(JobContext& ctx, std::string name);

// The bookings an interval copy keeps: those starting from `first` to
// `last`, both included.
struct CopyInterval {
    DateTime first, last;
};

// How a copy to a settled target ended.
enum class CopyEnd {
    Copied,         // written, and the database compacted
    NotCompacted,   // written; the compaction failed
    FolderMissing,  // nothing written: the target's folder does not exist (76)
    Failed,         // nothing written: any other failure
    Stopped,        // nothing written: the user stopped it
};

// What a copy did.
struct CopyOutcome {
    CopyEnd end = CopyEnd::Failed;
    std::string target;
    bool limited = false;          // an interval copy
    std::optional<Error> failure;  // the copy's failure (FolderMissing, Failed, Stopped), described
    CompactionOutcome compaction;  // of the database, after the copy
};

// The copy job from its settled target on, as cmdKopiera runs it once the
// file is chosen: `name` is complete (withDatabaseExtension). Shows the
// hourglass and R1749 "...", and writes the copy into a new file under a
// temporary name beside `name`, with the database held by an exclusive
// connection meanwhile (it gets the database's mode and owner; a target
// that is no regular file, or is the database under another name, is
// refused). A whole copy is the database's bytes, reporting the bytes
// copied. An interval copy is a new database built from the rows it keeps
// (Database::CopyRowsInto): the database's settings and schema, every table
// whole but Bokning and PrelBokning, which keep the bookings starting from
// the interval's first to its last moment (both included), reporting the
// rows written against the rows to write. Then the copy is synced and
// renamed over `name`, and the database is compacted (compactDatabase,
// reporting its steps). A failure or a stop before the rename leaves
// `name` as it was and no file of the job behind; a stop interrupts the
// engine's statement at once. Shows nothing; showCopy tells the outcome as
// the window does.
CopyOutcome copyDatabase(JobContext& ctx, const std::string& name, const std::optional<CopyInterval>& interval);

// Tells a copy's outcome as the window does. A failed copy beeps: 76 shows
// R1753 ": folder", R1754 (information icon), any other failure R17: number,
// description, R0690 (critical) and empties lblInfo. A stopped copy says
// R9208. A failed compaction is told as showCompaction tells it; then
// lblInfo says R1750 'name' R1751! or R1752 name (and after a stopped
// compaction ". " and its line).
void showCopy(JobContext& ctx, const CopyOutcome& outcome);
// The information line after a copy: R1750 'name' R1751! or R1752 name.
std::string copyInfoLine(JobContext& ctx, const CopyOutcome& outcome);

}  // namespace vexla
