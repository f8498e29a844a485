#include "maintenance/database_copy.h"
#include "texts/text_codes.h"

#include "common/file_writing.h"
#include "common/open_save_dialog.h"
#include "db/errors.h"
#include "maintenance/content_placement.h"
#include "maintenance/exclusive_test.h"

namespace vexla {

namespace {

enum class CopyMode { Whole, Interval, Cancelled };

CopyMode askForMode(JobContext& ctx, IntervalDialog& interval) {
    switch (ctx.platform.messages.show(ctx.text(txt::LimitCopyToIntervalQuestion) + "?", kProgramTitle,
                                       MsgIcon::Question, MsgButtons::YesNoCancel)) {
        case MsgAnswer::Yes:
            if (interval.showModal() != "Avbryt") return CopyMode::Interval;
            interval.unload();
            return CopyMode::Cancelled;
        case MsgAnswer::No: return CopyMode::Whole;
        default: return CopyMode::Cancelled;
    }
}

// The target file, or "" when the user cancelled. The database itself is
// refused and asked for again.
std::string chooseTarget(JobContext& ctx, CopyMode mode) {
    const bool limited = mode == CopyMode::Interval;
    for (;;) {
        std::string name = OpenSaveDialog(ctx.platform.fileDialogs, ctx.platform.messages, -1, 0x282806,
                                          ctx.text(txt::DatabaseFilesFilter) + " (*.db)|*.db",
                                          ctx.text(limited ? txt::SaveIntervalCopyAs : txt::SaveCopyAs),
                                          ctx.main.state().msSökväg, limited ? "Interval.db" : "Copy.db");
        if (name != ctx.main.state().DataBas) return name;
        ctx.platform.messages.beep();
        ctx.platform.messages.show(ctx.text(txt::CopyCannotReplaceDatabase), kProgramTitle, MsgIcon::None,
                                   MsgButtons::Ok);
    }
}

// Builds a copy in `copy` from the rows it keeps (all without an interval), through the
// connection that holds the database, reporting the rows written.
Status copyKeptRows(JobContext& ctx, db::Database& database, const std::string& copy,
                    const std::optional<CopyInterval>& interval) {
    std::vector<db::KeptRows> keep;
    for (const char* table : {"Bokning", "PrelBokning"})
        if (interval) keep.push_back({table, "StartTid", interval->first, interval->last});
    const Status s = database.CopyRowsInto(copy, keep, [&](std::uint64_t done, std::uint64_t total) {
        return ctx.advance(done, total, ProgressUnit::Rows);
    });
    return !s && ctx.stopRequested() ? Status(stoppedByUser()) : s;
}

// A whole copy, byte for byte, of the file as it is while the booking
// system's writers are held off for the moment of the copy (a WAL
// database's log folded in first, so the file alone holds every commit).
// Where a reader keeps part of the log out of the file, or this user may
// not take the write lock (a file it may only read), the copy is built from
// the rows instead, in one read transaction, which nobody waits for.
Status copyWhole(JobContext& ctx, db::Database& connection, NewFile& file, const FileInfo& database) {
    auto holder = ctx.main.engine().OpenDatabase(connection.Name(), false);
    if (!holder) return holder.error();
    Status s = ctx.stoppable(**holder, [&] { return (*holder)->HoldWriters(); });
    bool byRows = !s && s.error().number == db::err::ReadOnly;
    if (byRows) s = Status();
    if (s && !byRows) {
        auto unfolded = connection.Checkpoint(false, 0);
        if (!unfolded) s = unfolded.error();
        byRows = unfolded && *unfolded > 0;
    }
    if (s && !byRows)
        s = file.copyFrom(connection.Name(),
                          [&](std::uint64_t done) { return ctx.advance(done, database.size, ProgressUnit::Bytes); });
    ctx.close(**holder);
    if (s && byRows) s = copyKeptRows(ctx, connection, file.temporaryPath(), std::nullopt);
    return !s && s.error().number == db::err::RecordLocked ? Status(keptOpenRefusal(ctx, ctx.waitSeconds)) : s;
}

// Copies the database into a new file under a temporary name beside the
// target: a whole copy byte for byte (copyWhole), an interval copy built
// from the rows it keeps in one read transaction. The booking system goes
// on using the database meanwhile. Only the finished copy takes the
// target's place: a failure or a stop leaves the target as it was. The copy
// gets the database's mode and, as far as the system permits, its owner
// and group: it is never open to more people than the database. The
// database itself, under any name, is never the target.
Status writeCopy(JobContext& ctx, const std::string& target, const std::optional<CopyInterval>& interval) {
    const std::string& path = ctx.main.state().DataBas;
    FileSystem& files = ctx.platform.files;
    auto connection = ctx.main.engine().OpenDatabase(path, false);
    if (!connection) return connection.error();
    auto database = files.info(path, true);
    if (!database) {
        ctx.close(**connection);
        return database.error();
    }
    Placement placement;
    placement.mode = database->mode;
    placement.owner = std::make_pair(database->uid, database->gid);
    placement.database = path;
    // The engine writes an interval copy by its path, journal and all.
    placement.privately = true;
    ctx.removeAbandonedFiles(folderOf(target));
    auto file = files.createFile(target, placement);
    Status s = file ? Status() : Status(file.error());
    if (s && interval) s = copyKeptRows(ctx, **connection, (*file)->temporaryPath(), interval);
    if (s && !interval) s = copyWhole(ctx, **connection, **file, *database);
    if (s) s = (*file)->flush();
    if (s && ctx.stopRequested()) s = stoppedByUser();
    if (s) s = (*file)->commit();
    if (!s && file) closeAbandoned(**file, ctx.notices());
    ctx.close(**connection);
    return s;
}

}  // namespace

std::string withDatabaseExtension(JobContext& ctx, std::string name) {
    if (!name.empty() && name.back() == kPathSeparator) name += ctx.text(txt::CopyFileName) + ".db";
    if (name.find('.') == std::string::npos) name += ".db";
    return name;
}

CopyOutcome copyDatabase(JobContext& ctx, const std::string& name, const std::optional<CopyInterval>& interval) {
    CopyOutcome outcome;
    outcome.target = name;
    outcome.limited = interval.has_value();
    ctx.platform.pointer.setBusy(true);
    ctx.main.setInfo(ctx.text(txt::PleaseWait) + "...");
    if (Status s = writeCopy(ctx, name, interval); !s) {
        ctx.platform.pointer.setBusy(false);
        outcome.failure = ctx.described(s.error());
        outcome.end = s.error().number == kStoppedByUser        ? CopyEnd::Stopped
                      : s.error().number == fserr::PathNotFound ? CopyEnd::FolderMissing
                                                                : CopyEnd::Failed;
        return outcome;
    }
    outcome.compaction = compactDatabase(ctx);
    ctx.platform.pointer.setBusy(false);
    outcome.end = outcome.compaction.compacted() ? CopyEnd::Copied : CopyEnd::NotCompacted;
    return outcome;
}

void showCopy(JobContext& ctx, const CopyOutcome& outcome) {
    MessageBoxes& messages = ctx.platform.messages;
    if (outcome.end == CopyEnd::FolderMissing || outcome.end == CopyEnd::Failed) {
        messages.beep();
        if (outcome.end == CopyEnd::FolderMissing) {
            // The folder that is missing is named: the user may have typed it.
            messages.show(ctx.text(txt::FolderDoesNotExist) + ": " + folderOf(outcome.target) + "\r\n\r\n" +
                              ctx.text(txt::ChooseAnotherFolderForCopy),
                          kProgramTitle, MsgIcon::Information, MsgButtons::Ok);
            return;
        }
        messages.show(ctx.text(txt::CopyingFailed) + ": " + numberAndDescription(*outcome.failure) + "\r\n" +
                          ctx.text(txt::CopyMayBeIncomplete),
                      kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        ctx.main.setInfo("");
        return;
    }
    if (outcome.end == CopyEnd::Stopped) {
        ctx.main.setInfo(ctx.text(txt::CopyStopped));
        return;
    }
    showCompaction(ctx, outcome.compaction);
    // A compaction stopped after the copy: the copy is whole, and the line says
    // both, as two sentences (the interval copy's line already ends in "!").
    std::string line = copyInfoLine(ctx, outcome);
    if (outcome.compaction.stopped())
        line += (line.ends_with('!') ? " " : ". ") + compactionInfoLine(ctx, outcome.compaction);
    ctx.main.setInfo(line);
}

std::string copyInfoLine(JobContext& ctx, const CopyOutcome& outcome) {
    if (outcome.limited)
        return ctx.text(txt::TheIntervalCopy) + " '" + outcome.target + "' " + ctx.text(txt::IsReady) + "!";
    return ctx.text(txt::DatabaseCopiedTo) + outcome.target;
}

void askAndCopyDatabase(JobContext& ctx, IntervalDialog& interval) {
    if (!TestaExklusiv(ctx, "")) return;
    const CopyMode mode = askForMode(ctx, interval);
    if (mode == CopyMode::Cancelled) {
        ctx.main.setInfo(ctx.text(txt::CopyingCancelled));
        return;
    }
    for (;;) {
        const std::string chosen = chooseTarget(ctx, mode);
        if (chosen.empty()) {
            ctx.main.setInfo(ctx.text(txt::CopyingCancelled));
            return;
        }
        std::optional<CopyInterval> limits;
        if (mode == CopyMode::Interval) limits = CopyInterval{interval.DTPStartTid(), interval.DTPSlutTid()};
        const std::string name = withDatabaseExtension(ctx, chosen);
        // The save dialog asked before replacing the file it was given; a
        // completed name may be another file that is there.
        if (name != chosen && ctx.platform.files.exists(name)) {
            ctx.platform.messages.beep();
            if (ctx.platform.messages.show(name + " " + ctx.text(txt::AlreadyExistsReplaceQuestion) + " ?",
                                           kProgramTitle, MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes)
                continue;
        }
        ctx.main.setInfo("");
        CopyOutcome outcome;
        ctx.runLong([&](JobContext& worker) { outcome = copyDatabase(worker, name, limits); });
        if (limits) interval.unload();
        showCopy(ctx, outcome);
        if (outcome.end != CopyEnd::FolderMissing) return;
    }
}

}  // namespace vexla
