// The compaction of the booking database in place, behind a dated backup:
// what a click on cmdKomprimera does, what the unattended job runs, and what
// follows every copy of the database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "maintenance/backups.h"
#include "session/job_context.h"

namespace vexla {

// The step a compaction stopped at.
enum class CompactionStep {
    ExclusiveUse = 1,  // the database could not be had alone: nothing touched
    Preparation,       // stale links, journals set aside, free space
    Backup,            // the dated backup
    WorkCopy,          // the work copy beside the database
    Compaction,        // writing the compacted file
    Verification,      // the compacted file failed its check and was set aside
    Replacement,       // putting it in the database's place, removing the work copy
};

// What a compaction did. The database is the whole file it was unless
// compacted() (then it is the compacted file); `backup` is kept either way.
struct CompactionOutcome {
    std::optional<Error> failure;  // described: number, text naming file and operation
    CompactionStep failedAt = CompactionStep::ExclusiveUse;
    std::string backup;    // the backup written, "" when none is left
    std::string setAside;  // where an unverified result was moved
    bool compacted() const { return !failure; }
    // The exclusive-use test refused the database (another program holds it,
    // it is missing or no database).
    bool refused() const { return failure && failedAt == CompactionStep::ExclusiveUse; }
    // The user stopped it before the compacted file took the database's place.
    bool stopped() const { return failure && failure->number == kStoppedByUser; }
};

// The steps a compaction reports its progress in (CompactionStep's count).
inline constexpr std::uint64_t kCompactionSteps = 7;

// Runs the compaction to its end and answers what it did; reports each
// step as progress and, when asked to stop, stops at the next step or inside
// a long one (the counts, the checks, the writing of the compacted file, a
// backup made as a copy, the write-back before its commit); the database is
// then the file it was. Shows nothing: the information line says R1749
// "..." while it runs, the activity log gets its steps (in unattended mode:
// R1758, R1759, R1760 with the time), the journals it set aside, the way
// it took when it wrote back (R9308 and why), the backups it wrote or
// deleted; the front ends tell the outcome (showCompaction for the window).
//
// After the exclusive-use test (nothing is touched when it refuses) the
// database stays locked against every other process to the end: its
// connection stays open (SQLite's lock, which any SQLite program respects)
// and our fence is taken (which keeps our own openers out without a
// connection).
//
// The file compacted is the one the database path names, through any
// symbolic link, and it stays that file for everyone: its owner, group,
// mode, other names and extended attributes are as before, and nothing but
// its free space changes (no table or setting added; user_version,
// application_id, page size and journal mode kept). Before anything of the
// database's is touched the job picks one of two ways (file_identity.h):
// - Rename, where a new file can be all the old one was and nobody keeps
//   the old one open: the dated backup and the work copy "Vexlaol.db" are
//   made beside the database as second names (hard links) of the real file,
//   or, where the file system has none, as copies. The held database is
//   compacted into "<real file>.compacted" (made in a private folder and
//   given the database's mode and owner before it shows), which is checked
//   (quick check, and the row count of every table and entry count of every
//   index against the database; the full integrity check with
//   ctx.fullCheck) and, still locked by that check, renamed over the real
//   file, never over a link. The old file then lives on as the backup only.
//   Then the work copy is deleted.
// - Write-back otherwise: the backup is a copy of its own, there is no work
//   copy, and the result is written back into the held file as one
//   transaction of the engine; its own file is then deleted. The result is
//   checked as above (and the backup synced) on a second thread while the
//   engine writes the pages, journaled: the commit waits for the check and
//   is not taken unless it passes, so a result failing it leaves the
//   database the file it was.
// A database that neither way keeps (not ours to replace and not writable
// by us) is refused with R9300 and why, nothing touched. A backup made as a
// copy has the database's mode and group; where its owner may not give that
// group, the owner's group without the group's bits (logged, R9309).
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
// Before the first step, a WAL database's log is folded into the file, a
// journal the test's opening left beside the database that is not the held
// connection's own is renamed aside ("-journal.old", logged), and too little
// free space for a backup, a work copy and the result stops the job with
// nothing touched.
//
// Any failure after the test ends the job at once; the database is the
// whole file it was until the compacted one replaces it or its write-back
// commits (after that commit the job ends done, even when asked to stop). A
// result that fails its check is renamed aside ("<database>.unverified"),
// never deleted.
CompactionOutcome compactDatabase(JobContext& ctx);

// The failure of a compaction past its exclusive-use test as the message
// box says it: error number, CR LF, description, " ", the text of R9040 ("Line"), ": 0".
std::string compactionFailureText(const CompactionOutcome& outcome, TextSource& texts);
// The information line after a compaction: R1761 ". " R9155 ": " backup;
// after a stop R9207 and the backup kept, if any; "" after a failure.
std::string compactionInfoLine(JobContext& ctx, const CompactionOutcome& outcome);

// Tells the outcome as the window does: a refusal as the exclusive-use test
// tells it (reportRefusal), a failure in a message box, and the information
// line.
void showCompaction(JobContext& ctx, const CompactionOutcome& outcome);

// The work copy's file name.
inline constexpr const char* kWorkCopyName = "Vexlaol.db";
// Appended to the database path for the compacted file before it takes the
// database's place.
inline constexpr const char* kCompactedSuffix = ".compacted";

}  // namespace vexla
