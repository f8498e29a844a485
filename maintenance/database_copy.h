// The copy of the database to a file the user chooses, whole or limited to
// the bookings that start inside an interval. The database itself is only
// read, and afterwards compacted as by cmdKomprimera.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "session/job_context.h"
#include "maintenance/job_dialogs.h"

namespace vexla {

// What a click on cmdKopiera does. After the exclusive-use test it asks
// whether to limit the copy to an interval (Yes shows `interval`; No copies
// whole; Cancel stops with R1743), then asks for the target file until it is
// not the database itself (R1747). A name ending in the separator gets R1748
// + ".db", a name without any "." gets ".db"; a completed name that is an
// existing file is asked about ("name R1794 ?"; No asks for a name again).
// The copy is written under a temporary name, synced and renamed, with the
// database fenced against other processes meanwhile; it gets the database's
// mode and owner, and a target that is no regular file, or is the database
// under another name, is refused. An interval copy then loses the bookings outside the
// interval (RensaBokningar). Both end with the compaction of the database
// and a line in lblInfo (R1750 'name' R1751! or R1752 name).
//
// A missing folder (error 76) says so (R1753, R1754) and asks for the file
// again; any other failure shows R17: number, description and R0690 and
// stops with an empty information line. Cancelling at any question leaves
// lblInfo at R1743 and no file changed.
void cmdKopiera_Click(JobContext& ctx, IntervalDialog& interval);

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
    Copied,           // written (and pruned), and the database compacted
    NotCompacted,     // written (and pruned); the compaction failed and said so
    FolderMissing,    // nothing written: the target's folder does not exist (76)
    Failed,           // nothing written: any other failure
};

// The copy job from its settled target on, as cmdKopiera runs it once the
// file is chosen: `name` is complete (withDatabaseExtension). Shows the
// hourglass and R1749 "...", copies the database to `name`; for an interval
// copy runs RensaBokningar on the copy, then calls `pruned` (the window
// unloads its interval dialog there); then compacts the database
// (cmdKomprimera) and sets lblInfo to R1750 'name' R1751! or R1752 name.
// A failed copy beeps: 76 shows R1753, R1754 (information icon), any other
// failure R17: number, description, R0690 (critical) and empties lblInfo.
CopyEnd copyDatabaseTo(JobContext& ctx, const std::string& name, const std::optional<CopyInterval>& interval,
                       const std::function<void()>& pruned = {});

// Deletes from the copy at `path` every booking and preliminary booking whose
// start time lies before `first` or after `last`; those starting exactly at
// either end stay. Runs in one transaction on a connection of its own: a
// failure shows the engine's description in a box and leaves the copy
// unchanged.
void RensaBokningar(JobContext& ctx, const std::string& path, const DateTime& first, const DateTime& last);

}  // namespace vexla
