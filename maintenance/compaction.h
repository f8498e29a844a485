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
    std::string backup;          // the backup written, "" when none is left
    std::string setAside;        // where an unverified result was moved
    double heldSeconds = 0;      // the longest span the booking system could not commit
    std::uint64_t walBytes = 0;  // log left for the booking system's next checkpoint
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
// a long one (the counts, the check, the building of the result, the
// backup's copy, the write-in before its commit); the database is then as
// it was. Shows nothing: the information line says R1749 "..." while it
// runs, the activity log gets its steps (in unattended mode: R1758, R1759,
// R1760 with the time), a WAL log left for the booking system (R9582), the
// backups it wrote or deleted; the front ends tell the outcome
// (showCompaction for the window).
//
// The booking system goes on using the database meanwhile. Our fence keeps
// our own other jobs out for the whole run; the booking system's writers
// are held off only from the moment the content is read until the
// compacted content is committed (content_placement.h), which waits for
// the booking system's transactions up to ctx.waitSeconds and is refused
// (3356, refused()) when they do not end.
//
// The file compacted is the one the database path names, through any
// symbolic link, and it stays that file for everyone: never replaced, its
// owner, group, mode, other names and extended attributes as before, and
// nothing but its free space changes (no table or setting added;
// user_version, application_id, page size and journal mode kept). The
// result is built by the engine in "<real file>.compacted", checked (quick
// check, and the row count of every table and entry count of every index
// against the database; the full integrity check with ctx.fullCheck) while
// it is written into the database as one transaction of the engine, whose
// commit waits for the check. A result failing it is renamed aside
// ("<database>.unverified"), never deleted, and the database is untouched.
//
// The dated backup is a copy of the file's bytes made under the hold (a
// WAL database's log folded in first): "Vexla<yyyy-mm-dd>.db", later ones of
// the day "Vexla<yyyy-mm-dd>-2.db", "-3", ...; never replacing anything,
// with the database's mode and group (where its owner may not give that
// group, the owner's group without the group's bits, logged R9309). A
// backup name that is still the database file itself (a run of an older
// version cut off) is removed first. Afterwards `BackupKeep` of Vexla.ini
// ([System]), when set, keeps that many of the newest backups and deletes
// the older ones, each logged; the information line names the backup.
// Too little free space for a backup, the result and the journal stops the
// job with nothing touched.
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
