// The compaction of the booking database in place, behind a dated backup:
// what a click on cmdKomprimera does, and what the unattended job runs.
#pragma once

#include "db/jobs/job_context.h"

namespace vexla {

// Runs the compaction to its end and answers true when the database was
// compacted.
//
// After the exclusive-use test (which reports its own failure; nothing is
// touched then) the database stays locked against every other process to
// the end: its connection stays open (SQLite's lock, which any SQLite
// program respects) and our fence is taken (which keeps our own openers out
// without a connection). The steps: the dated backup "Vexla<yyyy-mm-dd>.db"
// and the work copy "Vexlaol.db" are copied beside the database; the work
// copy is compacted into "<database>.compacted", which is checked
// (integrity and the row count of every table against the work copy) and,
// still locked by that check, renamed over the database file; then the work
// copy is deleted. The database file is thus deleted by being replaced, and
// the same files are left as by deleting it first. Every copy is written
// under a temporary name, synced and renamed, and the folder synced, so each
// step is whole or not done at all. In unattended mode (Kommandorad) the
// steps are logged.
//
// Before the first copy, a journal file the test's opening left beside the
// database is renamed aside ("-journal.old", logged), and too little free
// space for two copies and the result stops the job with nothing touched.
//
// Any failure after the test ends the job at once with a message box (error
// number, CR LF, description, " Rad: 0") and an empty information line;
// nothing is undone, and the database is the whole file it was until the
// compacted one replaces it. A result that fails its check is renamed aside
// ("<database>.unverified"), never deleted.
bool cmdKomprimera_Click(JobContext& ctx);

// The dated backup's file name for a day, "Vexla2026-12-04.db".
std::string backupName(const DateTime& day);
// The work copy's file name.
inline constexpr const char* kWorkCopyName = "Vexlaol.db";
// Appended to the database path for the compacted file before it takes the
// database's place.
inline constexpr const char* kCompactedSuffix = ".compacted";

}  // namespace vexla
