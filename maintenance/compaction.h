// The compaction of the booking database in place, behind a dated backup:
// what a click on cmdKomprimera does, and what the unattended job runs.
#pragma once

#include "session/job_context.h"

namespace vexla {

// Runs the compaction to its end and answers true when the database was
// compacted.
//
// After the exclusive-use test (which reports its own failure; nothing is
// touched then) the database stays locked against every other process to
// the end: its connection stays open (SQLite's lock, which any SQLite
// program respects) and our fence is taken (which keeps our own openers out
// without a connection).
//
// The steps: the dated backup and the work copy "Vexlaol.db" are made
// beside the database as second names (hard links) of the database file,
// or, where the file system has none, as copies (the backup with the
// database's mode and owner, the work copy 0600). The held database is
// compacted into "<database>.compacted" (made in a private folder and given
// the database's mode and owner before it shows), which is checked (quick
// check, and the row count of every table and entry count of every index
// against the database; the full integrity check with ctx.fullCheck) and,
// still locked by that check, renamed over the database file. The old file
// then lives on as the backup only. Then the work copy is deleted.
//
// A backup never replaces anything: the day's first is
// "Vexla<yyyy-mm-dd>.db", later ones "Vexla<yyyy-mm-dd>-2.db", "-3", ...
// A backup name that is still the database file itself (a run cut off
// before its rename) is no backup and is removed first, and so is one left
// when the job fails. Afterwards `BackupKeep` of Vexla.ini ([System]), when
// set, keeps that many of the newest backups in the folder and deletes the
// older ones. The backup written and every one deleted are logged; the
// information line names the backup.
//
// Before the first step, a journal file the test's opening left beside the
// database is renamed aside ("-journal.old", logged), and too little free
// space for a backup, a work copy and the result stops the job with nothing
// touched.
//
// Any failure after the test ends the job at once with a message box (error
// number, CR LF, description naming the file and the operation, " Rad: 0")
// and an empty information line; the database is the whole file it was
// until the compacted one replaces it. A result that fails its check is
// renamed aside ("<database>.unverified"), never deleted.
bool cmdKomprimera_Click(JobContext& ctx);

// The dated backup's file name for a day, "Vexla2026-12-04.db"; the n-th of
// that day from the second on "Vexla2026-12-04-2.db".
std::string backupName(const DateTime& day, int n = 1);
// The work copy's file name.
inline constexpr const char* kWorkCopyName = "Vexlaol.db";
// Appended to the database path for the compacted file before it takes the
// database's place.
inline constexpr const char* kCompactedSuffix = ".compacted";

}  // namespace vexla
