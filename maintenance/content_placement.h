// The one way a job puts new content into the booking database while the
// booking system goes on using it: the compaction, the interval copy's
// compaction and the restore all take these steps, and only these.
//
// The database file is never replaced: a connection that opened the old
// file would keep it, and the journals beside it are shared by name. The
// new content goes into the same file as one transaction of the engine,
// through the engine's own locks and journal, so every connection of the
// booking system, open before, during or after the job, sees the old
// content or the new, and every booking it was told it saved is kept.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/result.h"
#include "db/engine.h"
#include "session/job_context.h"

namespace vexla {

struct PlacementPlan {
    // The file the new content is in: ours, beside the database.
    std::string result;
    // Builds `result` from the database as it is while its writers are held
    // off, reading through the job's connection; none when the result is
    // made before (a restore's copy of its backup depends on nothing here).
    std::function<Status(db::Database& database)> build;
    // Checks `result` through a connection of its own while its content is
    // written in; the commit waits for it. May be empty.
    std::function<Status()> check;
    // Keeps what the database holds now as a backup, under the hold (a
    // copy of the file's bytes); answers the backup's path.
    std::function<Result<std::string>()> keepBackup;
    // Shows the job's own progress again after it has shown that it waits
    // for the booking system. May be empty.
    std::function<void()> resumeProgress;
};

struct PlacementOutcome {
    std::string backup;          // the backup kept; "" when none was made
    double heldSeconds = 0;      // the longest span the booking system could not commit
    std::uint64_t walBytes = 0;  // log the booking system's next checkpoint folds in
    bool checkFailed = false;    // the result failed its check: its fault, not the database's
    bool wroteIn = false;        // the write-in began: a failure may have come after its commit
};

// Holds the booking system's writers off (waiting for its transactions to
// end up to ctx.waitSeconds), keeps the backup and builds the result at
// once, checks the result while it is written into the database, commits,
// and lets the writers go. The writers are held off from the moment the
// content is read until the write-in commits; in the one moment between
// the hold and the write-in's own lock the database's data version proves
// that nobody wrote. When somebody did, or when readers keep a rollback
// journal's commit out for more than half a second, everything is rolled
// back and released, and the steps start again (a new backup and result
// only when the content changed) while the wait lasts. A database whose
// writers cannot be held off within the wait is refused: 3356 with
// keptOpenSeconds and the processes that have it open, and nothing of the
// job's is left (no backup, no result).
//
// On success a WAL database's log is folded in and emptied, waiting 0.2 s
// at most for its readers; what is left is told in walBytes and in the
// activity log (R9582 and its size in MB). A failure
// leaves the database as it was (and the result file for the caller to
// remove or set aside); the backup is in `outcome.backup` either way.
Status placeContent(JobContext& ctx, db::Database& connection, const PlacementPlan& plan, PlacementOutcome& outcome);

// The real file behind the database path, every symbolic link resolved
// (3024 when there is none), with what killed jobs left in its folder
// removed: where a job that puts content in place does its work.
Result<std::string> workingFile(JobContext& ctx);

// The refusal of a job that needs `needed` bytes where `free` are left,
// worded by the text `code` ("...: 300 MB / 120 MB").
Error tooLittleSpace(JobContext& ctx, const char* code, std::uint64_t needed, std::uint64_t free);

// A file of the job that is there already: a regular file is a leftover of
// a run cut off and is removed; anything else is no file of ours and stops
// the job, named.
Status clearLeftover(FileSystem& files, const std::string& path);

// The refusal of a database whose writers could not be held off for
// `waited` seconds: 3356, naming the processes that have it open.
Error keptOpenRefusal(JobContext& ctx, double waited);

}  // namespace vexla
