#include "maintenance/content_placement.h"
#include "texts/text_codes.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>
#include <thread>

#include "common/file_writing.h"
#include "common/paths.h"
#include "db/errors.h"
#include "maintenance/file_identity.h"

namespace vexla {

namespace {

using Steady = std::chrono::steady_clock;

double since(Steady::time_point t) { return std::chrono::duration<double>(Steady::now() - t).count(); }

// Once it holds the write lock, the write-in waits this long at most for
// any other lock (a rollback journal's commit waits for every reader).
constexpr double kLockWait = 0.5;
// The data version of a result not built yet (the engine's are positive).
constexpr long long kNotBuilt = -1;
// Between two tries the booking system gets the database to itself.
constexpr auto kPause = std::chrono::milliseconds(100);

// A first look at the lock: a booking is over within it.
constexpr double kFirstLook = 0.2;

// Shows that the job waits for the booking system, at most its wait.
void showWaiting(JobContext& ctx) {
    ctx.report(0, static_cast<std::uint64_t>(std::ceil(ctx.waitSeconds)), ProgressUnit::Waiting);
}

// Holds the booking system's writers off, waiting up to `left` seconds for
// its transactions to end; a wait longer than a first look is shown.
Status holdWriters(JobContext& ctx, db::Database& holder, const PlacementPlan& plan, double left) {
    holder.SetWait(std::clamp(left, 0.0, kFirstLook));
    Status s = ctx.stoppable(holder, [&] { return holder.HoldWriters(); });
    if (s || s.error().number != db::err::RecordLocked || left <= kFirstLook) return s;
    showWaiting(ctx);
    holder.SetWait(left - kFirstLook);
    s = ctx.stoppable(holder, [&] { return holder.HoldWriters(); });
    if (plan.resumeProgress) plan.resumeProgress();
    return s;
}

// What an earlier try left that the changed content makes useless.
Status discardTry(JobContext& ctx, const PlacementPlan& plan, PlacementOutcome& outcome) {
    FileSystem& files = ctx.platform.files;
    if (plan.build && files.exists(plan.result)) {
        if (auto s = removeDurably(files, plan.result); !s) return s;
    }
    if (!outcome.backup.empty()) {
        if (auto s = removeDurably(files, outcome.backup); !s) return s;
        outcome.backup.clear();
    }
    return {};
}

// The backup (a copy of the file's bytes, on a thread of its own) and the
// result, made at once. In WAL mode the file alone holds every commit only
// once the log is folded in; a reader that keeps part of it out makes the
// try wait like a reader that keeps a commit out.
Status keepAndBuild(db::Database& connection, const PlacementPlan& plan, PlacementOutcome& outcome) {
    if (plan.keepBackup) {
        auto unfolded = connection.Checkpoint(false, 0);
        if (!unfolded) return unfolded.error();
        if (*unfolded > 0) return db::recordLocked(db::localHostName());
    }
    std::future<Result<std::string>> copying;
    if (plan.keepBackup) copying = std::async(std::launch::async, plan.keepBackup);
    Status s = plan.build ? plan.build(connection) : Status();
    if (copying.valid()) {
        auto made = copying.get();
        if (!made) return made.error();
        outcome.backup = *made;
    }
    return s;
}

// The check of the result beside the write-in, and the backup on the disk
// before the commit (the old content is about to live there alone).
Status checkBeside(JobContext& ctx, const PlacementPlan& plan, PlacementOutcome& outcome) {
    if (plan.check) {
        if (Status s = plan.check(); !s) {
            outcome.checkFailed = s.error().number != kStoppedByUser;
            return s;
        }
    }
    if (outcome.backup.empty()) return {};
    FileSystem& files = ctx.platform.files;
    Status s = files.syncFile(outcome.backup);
    return s ? files.syncFolder(folderOf(outcome.backup)) : s;
}

// One try, the writers held off by `holder`: the backup and the result
// made again when the content changed since they were, then the write-in.
Status tryOnce(JobContext& ctx, db::Database& connection, db::Database& holder, const PlacementPlan& plan,
               PlacementOutcome& outcome, long long& builtAt) {
    auto version = holder.DataVersion();
    if (!version) return version.error();
    if (builtAt != *version) {
        builtAt = kNotBuilt;
        if (auto s = discardTry(ctx, plan, outcome); !s) return s;
        if (auto s = keepAndBuild(connection, plan, outcome); !s) return s;
        builtAt = *version;
    }
    if (ctx.stopRequested()) return stoppedByUser();
    auto result = ctx.main.engine().OpenDatabase(plan.result, false);
    if (!result) return result.error();
    const auto beside = [&] { return checkBeside(ctx, plan, outcome); };
    outcome.wroteIn = true;
    Status s =
        ctx.stoppable(connection, [&] { return connection.WriteInFrom(**result, holder, builtAt, kLockWait, beside); });
    ctx.close(**result);
    return s;
}

// Whether a failed try is worth another: the content changed, or readers
// kept a lock out that they will give up.
bool worthAnother(const Status& s) {
    return s.error().number == db::err::ContentChanged || s.error().number == db::err::RecordLocked;
}

}  // namespace

Result<std::string> workingFile(JobContext& ctx) {
    const AdminState& state = ctx.main.state();
    auto resolved = ctx.platform.files.realPath(state.DataBas);
    if (!resolved) {
        const long number = resolved.error().number;
        if (number == fserr::FileNotFound || number == fserr::PathNotFound) return db::fileNotFound(state.DataBas);
        return resolved.error();
    }
    const std::string& real = *resolved;
    // Through a link the work happens in the real file's folder, which may
    // hold a killed run's files of its own.
    if (folderOf(real) != state.msSökväg) ctx.removeAbandonedFiles(folderOf(real));
    return real;
}

Error tooLittleSpace(JobContext& ctx, const char* code, std::uint64_t needed, std::uint64_t free) {
    constexpr std::uint64_t MB = 1024 * 1024;
    Error tooLittle{
        fserr::DiskFull,
        ctx.text(code) + ": " + std::to_string((needed + MB - 1) / MB) + " MB / " + std::to_string(free / MB) + " MB",
        "Vexla Admin"};
    tooLittle.worded = true;
    return tooLittle;
}

Status clearLeftover(FileSystem& files, const std::string& path) {
    auto there = files.info(path, false);
    if (!there) return there.error();
    if (there->kind == FileKind::Missing) return {};
    if (there->kind != FileKind::Regular) return fileRefusal(path, there->kind);
    return removeDurably(files, path);
}

Error keptOpenRefusal(JobContext& ctx, double waited) {
    Error e = db::openedExclusively(db::localHostName());
    e.keptOpenSeconds = waited;
    if (auto info = ctx.platform.files.info(ctx.main.state().DataBas, true); info)
        e.openers = processesWithFileOpen(ctx.platform.files, info->dev, info->ino);
    return e;
}

Status placeContent(JobContext& ctx, db::Database& connection, const PlacementPlan& plan, PlacementOutcome& outcome) {
    const auto began = Steady::now();
    auto holder = ctx.main.engine().OpenDatabase(connection.Name(), false);
    if (!holder) return holder.error();
    long long builtAt = kNotBuilt;
    Status s;
    for (bool waiting = false;; waiting = true) {
        s = holdWriters(ctx, **holder, plan, ctx.waitSeconds - since(began));
        if (!s) {
            if (s.error().number == db::err::RecordLocked) s = keptOpenRefusal(ctx, since(began));
            break;
        }
        if (waiting && plan.resumeProgress) plan.resumeProgress();
        const auto held = Steady::now();
        s = tryOnce(ctx, connection, **holder, plan, outcome, builtAt);
        // A holder that cannot let go keeps the booking system out until it
        // is closed below: no other try, and the first failure is the answer.
        const Status released = (*holder)->ReleaseWriters();
        outcome.heldSeconds = std::max(outcome.heldSeconds, since(held));
        if (!released && s) ctx.notice(txt::WritersNotReleased, connection.Name(), released.error());
        if (!released && !s) break;
        if (s || !worthAnother(s)) break;
        if (since(began) >= ctx.waitSeconds) {
            s = keptOpenRefusal(ctx, since(began));
            break;
        }
        showWaiting(ctx);
        std::this_thread::sleep_for(kPause);
        if (ctx.stopRequested()) {
            s = stoppedByUser();
            break;
        }
    }
    ctx.close(**holder);
    // Refused, the job changed nothing: what it made for the try is of no use.
    if (!s && s.error().keptOpenSeconds >= 0) {
        if (Status discarded = discardTry(ctx, plan, outcome); !discarded) ctx.noticeNotRemoved(discarded.error());
    }
    if (!s) return s;
    auto left = connection.Checkpoint(true, 0.2);
    outcome.walBytes = left ? *left : 0;
    if (outcome.walBytes > 0) {
        constexpr std::uint64_t MB = 1024 * 1024;
        ctx.main.Logg(ctx.text(txt::WalLeftForBookingSystem) + ": " + std::to_string((outcome.walBytes + MB - 1) / MB) +
                      " MB");
    }
    return {};
}

}  // namespace vexla
