// Putting a dated backup back in the booking database's place, behind a
// backup of the state it replaces: what vexla-transfer restore runs and the
// window's restore offers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "maintenance/backup_list.h"
#include "session/job_context.h"

namespace vexla {

// The step a restore stopped at.
enum class RestoreStep {
    ExclusiveUse = 1,  // the database could not be had alone: nothing touched
    Check,             // the backup copied beside the database and checked
    KeepCurrent,       // the database kept as a dated backup of its own
    Replacement,       // the backup's content put in the database's place
};

// The steps a restore reports its progress in (RestoreStep's count).
inline constexpr std::uint64_t kRestoreSteps = 4;

// What a restore did. Unless restored(), the database is the whole file it
// was and nothing of the restore is left beside it.
struct RestoreOutcome {
    std::optional<Error> failure;  // described: number, text naming file and operation
    RestoreStep failedAt = RestoreStep::ExclusiveUse;
    // The backup was refused before anything changed: it is damaged, no
    // booking database, of another kind than the database, or the database.
    bool backupRefused = false;
    // The write-back failed at its commit and the database may hold either
    // state (both have the same register counts): `kept` holds the replaced one.
    bool uncertain = false;
    std::string backup;          // the backup restored, a full path
    std::string kept;            // the backup of the replaced state, "" when none is left
    double heldSeconds = 0;      // the longest span the booking system could not commit
    std::uint64_t walBytes = 0;  // log left for the booking system's next checkpoint
    RegisterCounts before;       // the database's counts before the restore
    RegisterCounts restored;     // the backup's counts
    bool restoredOk() const { return !failure; }
    // The exclusive-use test refused the database.
    bool refused() const { return failure && failedAt == RestoreStep::ExclusiveUse; }
    bool stopped() const { return failure && failure->number == kStoppedByUser; }
};

// Restores `backup` (a path) into the database and answers what it did,
// while the booking system goes on using the database. In order, each step
// reported as progress:
// - our fence taken (our own other jobs kept out to the job's end);
// - the backup copied beside the real file under "<real file>.restored"
//   (given the database's mode, owner and group, synced) and that copy read
//   as the engine reads it: the quick check, the booking tables and the same
//   tables as the database. A backup that fails is refused (backupRefused)
//   with nothing changed; the backup itself is only ever read;
// - with the booking system's writers held off (content_placement.h, which
//   waits for its transactions up to ctx.waitSeconds and refuses after):
//   the database kept as a dated backup of its own under the compaction's
//   never-overwrite names (makeBackup, a copy of the file's bytes), and the
//   copy's content written into the database as one transaction of the
//   engine. The file is never replaced.
// A damaged database is restored the same way; a count the damage hides is
// unknown (-1) in `before`, and its tables are compared only where they can
// be read. A database the engine cannot open at all (its first page
// destroyed) is held by our fence, and under the engine's exclusive lock
// (DBEngine::OverwriteUnopenable; a reader in it refuses the restore like
// a database in use) its bytes are kept as the dated backup and the copy's
// bytes written into the same file, synced. A failure once that backup is
// kept leaves the outcome `uncertain` and the backup in place.
// A stop asked for is taken between steps and inside each long one (the
// copy, the check, the write-in before its commit) until the commit; after
// that the restore ends done (a commit that fails after its point of no
// return is logged; the counts tell such a commit from one that did not
// happen, and where they cannot, the outcome is `uncertain` and every
// backup stays). A failure or a stop leaves the database as it was and
// removes the copy and the backup of the state it still holds. The
// activity log gets each step (in unattended mode with the time) and the
// backup kept; the information line says R1749 "..." while it runs.
RestoreOutcome restoreBackup(JobContext& ctx, const std::string& backup);

// What a restore would change, for its confirmation: per register whose
// count differs, "Kunder 203 → 198", joined by ", ", the numbers grouped as
// the locale writes them; R9481 when no count differs.
std::string restoreChangeText(JobContext& ctx, const RegisterCounts& database, const RegisterCounts& backup);

// The outcome as lines for a terminal or a message: done (R9474 with the
// backup, the kept backup, the change in counts), stopped (R9475), the
// backup refused or another failure (its number and description; R9499 and
// the kept backup when it is uncertain).
std::vector<std::string> restoreReportLines(JobContext& ctx, const RestoreOutcome& outcome);

// The information line after a restore: R9474 and the kept backup after
// it is done, R9475 after a stop, "" after a failure.
std::string restoreInfoLine(JobContext& ctx, const RestoreOutcome& outcome);

// Appended to the real file's path for the copy of the backup before it
// takes the database's place.
inline constexpr const char* kRestoredSuffix = ".restored";

}  // namespace vexla
