#include "maintenance/compaction.h"
#include "texts/text_codes.h"

#include <algorithm>
#include <cctype>
#include <future>
#include <map>

#include "common/file_writing.h"
#include "common/ini_file.h"
#include "db/booking_file.h"
#include "db/errors.h"
#include "maintenance/backups.h"
#include "maintenance/content_placement.h"
#include "maintenance/exclusive_test.h"
#include "session/damaged_file.h"

namespace vexla {

namespace {

using Counts = std::map<std::string, long>;

// Whether the compacted file, open in `database`, is whole: the quick
// check (every page and the structure of every b-tree; a damaged page
// fails it) or, asked for, the full check, and the same row count for
// every table and entry count for every index as the database had (a lost
// row fails that). A stop interrupts the checks (stoppedByUser).
Status checkResult(JobContext& ctx, db::Database& database, const std::string& path, const Counts& expected) {
    Result<Counts> counts = Counts{};
    Status s =
        ctx.stoppable(database, [&] { return ctx.fullCheck ? database.CheckIntegrity() : database.QuickCheck(); });
    if (s)
        s = ctx.stoppable(database,
                          [&] { return (counts = database.ContentCounts()) ? Status() : Status(counts.error()); });
    for (auto n = expected.begin(); s && n != expected.end(); ++n) {
        const auto found = counts->find(n->first);
        const long got = found == counts->end() ? -1 : found->second;
        if (got != n->second)
            s = db::corrupt(path + ": " + n->first + " " + std::to_string(got) + " <> " + std::to_string(n->second));
    }
    return s;
}

// `name`, or when that is taken the first free of "name.1", "name.2", ...:
// a file set aside never replaces one set aside earlier. A name that
// cannot be looked up (too long for the system, a folder gone) ends the
// search with that error, and so does running out of numbers.
Result<std::string> unusedName(FileSystem& files, const std::string& name) {
    std::string free = name;
    for (int n = 1; n <= 10000; ++n) {
        auto there = files.info(free, false);
        if (!there) return there.error();
        if (there->kind == FileKind::Missing) return free;
        free = name + "." + std::to_string(n);
    }
    return Error{fserr::FileExists, "File already exists", "Vexla Admin", name, txt::OpRename};
}

// A result that failed its check (`failure`): moved beside the database
// (`path`) under a name that says so, never over one set aside before, and
// answered as that failure naming where it went (R9050), or as the failure
// to move it.
Error setAside(JobContext& ctx, const std::string& result, const std::string& path, const Error& failure,
               std::string& aside) {
    FileSystem& files = ctx.platform.files;
    auto free = unusedName(files, path + ".unverified");
    if (!free) return free.error();
    if (Status moved = files.renameFile(result, *free); !moved) return moved.error();
    aside = *free;
    // Moved, whether or not the move is on the disk yet.
    if (Status synced = files.syncFolder(folderOf(aside)); !synced)
        ctx.notice(txt::FolderNotSynced, folderOf(aside), synced.error());
    Error e = ctx.described(failure);
    e.description += "\r\n" + ctx.text(txt::CompactedFileFailedCheck) + ": " + aside;
    return e;
}

// Room for a backup, the work copy and the result, each at most the
// database's size (where the backup and the work copy become links, they
// take none).
Status checkSpace(JobContext& ctx, const std::string& path, const std::string& folder) {
    auto size = ctx.platform.files.fileSize(path);
    if (!size) return size.error();
    auto free = ctx.platform.files.availableBytes(folder);
    if (!free) return free.error();
    const std::uint64_t needed = 3 * *size;
    if (*free >= needed) return {};
    return tooLittleSpace(ctx, txt::NotEnoughDiskForCompaction, needed, *free);
}

// The database's own names that a cut-off run may have left as links to
// it: a "backup" that is the live database is none, and a work copy left
// over is of no use; both are removed (logged) before the run makes its own.
Status removeStaleLinks(JobContext& ctx, const FileInfo& database) {
    FileSystem& files = ctx.platform.files;
    auto names = files.listFolder(ctx.main.state().msSökväg);
    if (!names) return names.error();
    for (const std::string& name : *names) {
        const bool work = name == kWorkCopyName;
        if ((!work && !backupOrder(name)) || isDatabaseName(ctx, name)) continue;
        const std::string path = ctx.inDatabaseFolder(name);
        auto there = files.info(path, false);
        if (!there) return there.error();
        if (!there->sameFile(database)) continue;
        if (auto s = removeDurably(files, path); !s) return s;
        if (!work) ctx.main.Logg(ctx.text(txt::BackupWasTheDatabase) + ": " + path);
    }
    return {};
}

// The compacted copy of the held database, made privately beside the
// database with its mode and owner and placed at `result`; not synced, as
// it is read once and removed.
Status compactedCopy(JobContext& ctx, db::Database& held, const std::string& result, const FileInfo& database) {
    Placement placement;
    placement.replace = false;
    placement.durable = false;
    placement.privately = true;
    placement.mode = database.mode;
    placement.owner = std::make_pair(database.uid, database.gid);
    placement.database = ctx.main.state().DataBas;
    auto file = ctx.platform.files.createFile(result, placement);
    if (!file) return file.error();
    Status s = ctx.stoppable(held, [&] { return held.CompactInto((*file)->temporaryPath()); });
    if (s) s = (*file)->commit();
    if (!s) closeAbandoned(**file, ctx.notices());
    return s;
}

// The compaction's plan: the result built by the engine from the held
// database (VACUUM INTO, never synced: it is read once and removed), with
// the row count of every table and entry count of every index taken at the
// same moment for its check; the backup a copy of the file's bytes.
PlacementPlan compactionPlan(JobContext& ctx, const std::string& real, const FileInfo& database,
                             const std::string& result, Counts& counts) {
    PlacementPlan plan;
    plan.result = result;
    plan.build = [&ctx, &counts, result, database](db::Database& held) {
        Result<Counts> counted = Counts{};
        Status s = ctx.stoppable(held, [&] { return (counted = held.ContentCounts()) ? Status() : counted.error(); });
        if (s) counts = *counted;
        return s ? compactedCopy(ctx, held, result, database) : s;
    };
    plan.check = [&ctx, &counts, result]() -> Status {
        auto reading = ctx.main.engine().OpenDatabase(result, false);
        if (!reading) return reading.error();
        Status s = checkResult(ctx, **reading, result, counts);
        ctx.close(**reading);
        return s;
    };
    plan.keepBackup = [&ctx, real, database] { return makeBackup(ctx, real, database, true, false); };
    plan.resumeProgress = [&ctx] {
        ctx.report(static_cast<std::uint64_t>(CompactionStep::Compaction), kCompactionSteps, ProgressUnit::Steps);
    };
    return plan;
}

Status compact(JobContext& ctx, ExclusiveHold& hold, CompactionOutcome& outcome) {
    const auto enter = [&](CompactionStep next) -> Status {
        outcome.failedAt = next;
        if (!ctx.advance(static_cast<std::uint64_t>(next), kCompactionSteps, ProgressUnit::Steps))
            return stoppedByUser();
        return {};
    };
    if (auto s = enter(CompactionStep::Preparation); !s) return s;
    AdminState& state = ctx.main.state();
    FileSystem& files = ctx.platform.files;
    const std::string& path = state.DataBas;
    ctx.removeAbandonedFiles(state.msSökväg);
    auto database = files.info(path, true);
    if (!database) return database.error();
    auto plain = files.info(path, false);
    if (!plain) return plain.error();
    // Through a link, the file behind it may have other names of its own.
    if (plain->kind == FileKind::Regular) {
        if (auto s = removeStaleLinks(ctx, *database); !s) return s;
    }
    auto working = workingFile(ctx);
    if (!working) return working.error();
    const std::string& real = *working;
    const std::string result = real + kCompactedSuffix;
    if (auto s = clearLeftover(files, ctx.inDatabaseFolder(kWorkCopyName)); !s) return s;
    if (auto s = clearLeftover(files, result); !s) return s;
    if (auto s = checkSpace(ctx, path, state.msSökväg); !s) return s;
    if (state.Kommandorad) ctx.main.Logg(ctx.text(txt::Compacting) + ": " + ctx.now());
    if (auto s = enter(CompactionStep::Compaction); !s) return s;

    Counts counts;
    PlacementOutcome placed;
    Status s = placeContent(ctx, *hold.connection, compactionPlan(ctx, real, *database, result, counts), placed);
    outcome.backup = placed.backup;
    outcome.heldSeconds = placed.heldSeconds;
    outcome.walBytes = placed.walBytes;
    if (!s && placed.checkFailed) {
        outcome.failedAt = CompactionStep::Verification;
        return setAside(ctx, result, real, s.error(), outcome.setAside);
    }
    if (!s && s.error().number == db::err::OpenedExclusively) outcome.failedAt = CompactionStep::ExclusiveUse;
    // Committed or not, the result's own file is only a leftover now.
    if (files.exists(result)) {
        if (Status removed = removeDurably(files, result); !removed) ctx.noticeNotRemoved(removed.error());
    }
    if (!s) return s;
    ctx.report(kCompactionSteps, kCompactionSteps, ProgressUnit::Steps);
    if (state.Kommandorad) ctx.main.Logg(ctx.text(txt::CompactionFinished) + ": " + ctx.now());
    return {};
}

}  // namespace

CompactionOutcome compactDatabase(JobContext& ctx) {
    CompactionOutcome outcome;
    ctx.report(static_cast<std::uint64_t>(CompactionStep::ExclusiveUse), kCompactionSteps, ProgressUnit::Steps);
    // Held, connection and fence, until the job has ended either way.
    auto hold = testExclusiveUse(ctx, "", true);
    if (!hold) {
        outcome.failure = hold.error();
        return outcome;
    }
    AdminState& state = ctx.main.state();
    ctx.main.setInfo(ctx.text(txt::PleaseWait) + "...");
    ctx.platform.pointer.setBusy(true);
    if (state.Kommandorad) ctx.main.Logg(ctx.text(txt::BackingUp) + ": " + state.DataBas + " " + ctx.now());

    const Status s = compact(ctx, *hold, outcome);
    ctx.close(*hold->connection);
    if (!s) {
        // A result that failed its check is the result's fault, not the
        // database's, and a booking system that kept its transaction open
        // is nobody's: only the database's own damage sends the user to the
        // check and the rescue.
        const bool databaseFault = outcome.setAside.empty() && !outcome.refused();
        outcome.failure = databaseFault ? withDamageAdvice(ctx, ctx.described(s.error())) : ctx.described(s.error());
    }
    ctx.platform.pointer.setBusy(false);
    if (!outcome.backup.empty()) ctx.main.Logg(ctx.text(txt::BackupWritten) + ": " + outcome.backup);
    if (s) {
        auto database = ctx.platform.files.info(state.DataBas, true);
        if (database) keepNewestBackups(ctx, outcome.backup, *database);
    }
    return outcome;
}

std::string compactionFailureText(const CompactionOutcome& outcome, TextSource& texts) {
    return outcome.failure ? numberAndDescription(*outcome.failure) + " " + texts.TextTillAndra(txt::LineWord) + ": 0"
                           : std::string();
}

std::string compactionInfoLine(JobContext& ctx, const CompactionOutcome& outcome) {
    const std::string backup =
        outcome.backup.empty() ? "" : ". " + ctx.text(txt::BackupWritten) + ": " + outcome.backup;
    if (outcome.stopped()) return ctx.text(txt::CompactionStopped) + backup;
    if (!outcome.compacted()) return {};
    return ctx.text(txt::BackedUpAndCompacted) + backup;
}

void showCompaction(JobContext& ctx, const CompactionOutcome& outcome) {
    if (outcome.refused()) {
        reportRefusal(ctx, *outcome.failure);
        return;
    }
    if (outcome.failure && !outcome.stopped())
        ctx.platform.messages.show(compactionFailureText(outcome, ctx.texts), kProgramTitle, MsgIcon::None,
                                   MsgButtons::Ok);
    ctx.main.setInfo(compactionInfoLine(ctx, outcome));
}

}  // namespace vexla
