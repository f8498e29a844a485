// The window's way to the check, the rescue and the restore. Each function
// asks what it must (the new file, the confirmation), runs its job as the
// long part of the click (with a window: on the worker, with progress and
// Cancel) and answers what the dialog shows; the dialog itself only lays
// the answer out.
#pragma once

#include <string>
#include <vector>

#include "maintenance/backup_list.h"
#include "maintenance/database_check.h"
#include "session/job_context.h"

namespace vexla {

// What a job leaves for the dialog to show.
struct CareShown {
    std::vector<std::string> lines;    // the job's report, line by line
    bool damaged = false;              // the file is damaged: the rescue is what comes next
    bool changed = false;              // the database was replaced: the list of backups is out of date
    std::vector<CheckRow> rows;        // a check's registers and indexes
    std::vector<std::string> details;  // a check's whole report, the engine's own lines included
};

// Checks the database, with the engine's full check when `full`: `lines`
// hold the verdict (and, for a damaged file whose registers all read whole,
// that the damage lies elsewhere), `rows` the table, `details` checkLines.
// The information line gets the verdict.
CareShown checkFromWindow(JobContext& ctx, bool full);

// Asks for the new file with the save dialog (the database's folder,
// "<database>-räddad.db" proposed (R9397); the dialog itself asks before an existing
// file is replaced; the database itself is refused and asked for again),
// then rescues the database's rows into it. Cancelled: nothing shown.
CareShown rescueFromWindow(JobContext& ctx);

// The database's backups for the list: `lines[0]` names the database,
// `lines[1]` holds the column titles, and `lines[2 + i]` shows backups[i];
// without any backup `lines[1]` says so. A failure or a stop: its lines
// alone, and no backups.
struct BackupsShown {
    std::vector<BackupEntry> backups;
    std::vector<std::string> lines;
};
BackupsShown backupsFromWindow(JobContext& ctx);

// Asks whether `chosen` is to take the database's place, naming what would
// change in each register (default No), then restores it. Of a damaged
// database the question says what could be read of each register, of how
// many where that is known, never that the counts are alike. Answered No:
// nothing shown. The information line gets the outcome.
CareShown restoreFromWindow(JobContext& ctx, const BackupEntry& chosen);

// The window's way to put a rescued file in the database's place: asks for
// the file with the open dialog (the database's folder, the rescue's
// proposed "<database>-räddad.db"), then as restoreFromWindow asks of a
// backup, and restores the database from it as from a backup (restore.h: the
// same checks, the current state kept as a backup, the file keeping its
// identity). Cancelled or answered No: nothing shown, nothing changed.
CareShown placeRescuedFromWindow(JobContext& ctx);

}  // namespace vexla
