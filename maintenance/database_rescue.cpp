#include "maintenance/database_rescue.h"
#include "texts/text_codes.h"

#include "common/file_writing.h"
#include "common/open_save_dialog.h"
#include "common/paths.h"
#include "common/write_target.h"
#include "db/booking_file.h"
#include "db/errors.h"
#include "maintenance/backup_counts.h"
#include "maintenance/examination.h"
#include "maintenance/restore.h"

namespace vexla {

namespace {

// Whether the written file passes the engine's full check; a failure when
// it cannot be checked (a stop among them).
Result<bool> wholeFile(JobContext& ctx, const std::string& path) {
    auto file = ctx.main.engine().OpenForExamination(path);
    if (!file) return file.error();
    Result<std::vector<std::string>> messages = std::vector<std::string>{};
    Status s = stoppableExamination(
        ctx, **file, [&] { return (messages = (*file)->EngineCheck(true)) ? Status() : Status(messages.error()); });
    ctx.close(**file, path);
    if (!s) return s.error();
    return messages->empty();
}

// Rescues the rows of `file` (at `source`) into `into`, the new file under
// its temporary name, and checks it whole before it may take its place.
Status rescue(JobContext& ctx, db::ExaminedFile& file, const std::string& source, const std::string& into,
              RescueOutcome& outcome) {
    const auto progress = [&](std::uint64_t rows, std::uint64_t total) {
        return ctx.advance(rows, total, ProgressUnit::Rows);
    };
    Result<std::vector<db::TableRescue>> tables = std::vector<db::TableRescue>{};
    if (auto s = stoppableExamination(
            ctx, file, [&] { return (tables = file.RescueInto(into, progress)) ? Status() : Status(tables.error()); });
        !s)
        return s;
    std::vector<std::string> unknown;
    for (const db::TableRescue& t : *tables) {
        RescuedTable table{t.table, t.rescued, std::nullopt, false};
        // Read without a fault: every row was seen, and those not rescued the new file refused.
        if (t.faults == 0) table.known = t.rescued + t.refused;
        Result<std::optional<long>> count = std::optional<long>();
        if (!table.known) {
            if (auto s = stoppableExamination(
                    ctx, file, [&] { return (count = file.RowCount(t.table)) ? Status() : Status(count.error()); });
                !s)
                return s;
            table.known = *count;
        }
        if (!table.known) unknown.push_back(t.table);
        outcome.tables.push_back(table);
    }
    if (!unknown.empty()) {
        if (auto backup = newestSoundBackupCounts(ctx, folderOf(source), unknown, source)) {
            outcome.backup = backup->path;
            for (RescuedTable& t : outcome.tables) {
                const auto found = backup->rows.find(t.table);
                if (t.known || found == backup->rows.end()) continue;
                t.known = found->second;
                t.knownFromBackup = true;
            }
        }
    }
    auto whole = wholeFile(ctx, into);
    if (!whole) return whole.error();
    if (!*whole) return db::corrupt(outcome.target);
    return {};
}

}  // namespace

bool RescueOutcome::held() const {
    return failure && (failure->number == db::err::OpenedExclusively || failure->number == db::err::RecordLocked);
}

RescueOutcome rescueDatabase(JobContext& ctx, const std::string& target, bool replace, const std::string& source) {
    RescueOutcome outcome;
    outcome.target = target;
    const std::string from = source.empty() ? ctx.main.state().DataBas : source;
    ctx.report(0, 0, ProgressUnit::Rows);
    FileSystem& files = ctx.platform.files;
    // The new file gets the damaged file's mode and owner; it is never the
    // damaged file itself, under any of its names, nor a node of another
    // kind, not even when the user allowed replacing: only a regular file is.
    auto damaged = files.info(from, true);
    Placement placement;
    placement.replace = replace;
    placement.privately = true;
    placement.database = from;
    if (damaged && damaged->kind == FileKind::Regular) {
        placement.mode = damaged->mode;
        placement.owner = std::make_pair(damaged->uid, damaged->gid);
    }
    if (Status s = checkWriteTarget(files, target, placement); !s) {
        outcome.failure = ctx.described(s.error());
        return outcome;
    }
    auto file = openBookingFile(ctx, from);
    if (!file) {
        outcome.failure = file.error();
        return outcome;
    }
    // A killed rescue's private folder, the damaged file's copy in it, can
    // be as large as the database: the next one into that folder removes it.
    ctx.removeAbandonedFiles(folderOf(target));
    auto made = files.createFile(target, placement);
    Status s = made ? rescue(ctx, **file, from, (*made)->temporaryPath(), outcome) : Status(made.error());
    ctx.close(**file, from);
    if (s) s = (*made)->commit();
    if (!s) {
        if (made) closeAbandoned(**made, ctx.notices());
        outcome.tables.clear();
        outcome.backup.clear();
        outcome.failure = ctx.described(s.error());
    }
    return outcome;
}

std::vector<std::string> rescueLines(JobContext& ctx, const RescueOutcome& outcome) {
    if (outcome.failure) return {failureLine(ctx, *outcome.failure)};
    std::vector<std::string> lines;
    for (const RescuedTable& t : outcome.tables) {
        std::string line = t.table + ": " + std::to_string(t.rescued) + " " + ctx.text(txt::RowsRescued);
        if (const auto lost = t.lost())
            line += ", " + std::to_string(*lost) + " " + ctx.text(txt::LostWord) +
                    (t.knownFromBackup ? " (" + ctx.text(txt::CountedInNewestBackup) + ")" : "");
        else
            line += ", " + ctx.text(txt::LostCountUnknown);
        lines.push_back(line);
    }
    if (!outcome.backup.empty()) lines.push_back(ctx.text(txt::CountedInNewestBackup) + ": " + outcome.backup);
    lines.push_back(ctx.text(txt::RescuedIntoNewFile) + ": " + outcome.target);
    return lines;
}

}  // namespace vexla
