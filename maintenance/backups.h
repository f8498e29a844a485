// The dated backups of the booking database beside it: their names, which
// never replace a file, how one is made, and which of them stay.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "common/datetime.h"
#include "common/platform/file_system.h"
#include "common/result.h"
#include "session/job_context.h"

namespace vexla {

// 2026-12-04 -> 20261204: days in the order of the calendar.
long dayNumber(const DateTime& t);

// "Vexla2026-12-04.db" -> (20261204, 1), "Vexla2026-12-04-3.db" -> (20261204, 3),
// when the date is a day of the calendar (2026-02-30 is none); nothing for
// any other name.
std::optional<std::pair<long, int>> backupOrder(const std::string& name);

// The database file's own name in its folder (which may look like a backup's).
bool isDatabaseName(JobContext& ctx, const std::string& name);

// A second name for the database file `real` (links resolved): a hard link
// unless `copy` is asked for, or a copy where the file system will not link
// (then with `copyMode`, the database's owner and group, and synced when
// `durable`). A copy whose group could not be given gets the owner's group
// without the group's bits (the activity log says so). Never replaces a
// file; 58 when the name is taken; a stop ends a copy (stoppedByUser).
Status secondName(JobContext& ctx, const std::string& real, const std::string& name, const FileInfo& database,
                  unsigned copyMode, bool durable, bool copy);

// The day's next free backup name, made a second name of the database
// (`copy`: a copy of its own). On the disk when it returns if `durable`;
// otherwise on its way there, and the caller syncs the copy (syncFile) and
// the folder before the backup is all that holds the old content.
Result<std::string> makeBackup(JobContext& ctx, const std::string& real, const FileInfo& database, bool copy,
                               bool durable);

// BackupKeep=N of Vexla.ini: the N newest backups stay, the older ones are
// deleted, each logged. Not set: all stay. A backup is this program's by
// all of: its name with a day of the calendar not after today, a regular
// file, a booking database inside (read without holding it), not the
// database itself; anything else is neither counted nor deleted. The one
// just written is always one of the N. A folder that cannot be listed
// deletes nothing, and a backup that cannot be looked at stays: both are
// told (txt::BackupsNotPruned).
void keepNewestBackups(JobContext& ctx, const std::string& written, const FileInfo& database);

// The dated backup's file name for a day, "Vexla2026-12-04.db"; the n-th of
// that day from the second on "Vexla2026-12-04-2.db".
std::string backupName(const DateTime& day, int n = 1);

}  // namespace vexla
