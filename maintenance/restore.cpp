#include "maintenance/restore.h"
#include "texts/text_codes.h"

#include <algorithm>
#include <cctype>

#include "common/file_writing.h"
#include "common/input_file.h"
#include "db/booking_file.h"
#include "db/errors.h"
#include "maintenance/backups.h"
#include "maintenance/content_placement.h"
#include "maintenance/exclusive_test.h"

namespace vexla {

namespace {

// A refusal of the backup with nothing changed: `code` says why, the
// backup is named, `detail` (when given) says what was found.
Error refuseBackup(JobContext& ctx, RestoreOutcome& outcome, long number, const char* code, const std::string& detail) {
    outcome.backupRefused = true;
    Error refused{number, ctx.text(code) + ": " + outcome.backup + (detail.empty() ? "" : " (" + detail + ")"),
                  "Vexla Admin"};
    refused.worded = true;
    return refused;
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The tables one of the two has and the other has not (letter case
// ignored), joined by ", "; "" when they have the same.
std::string tablesThatDiffer(std::vector<std::string> a, std::vector<std::string> b) {
    for (auto* names : {&a, &b}) {
        std::transform(names->begin(), names->end(), names->begin(), lowered);
        std::sort(names->begin(), names->end());
    }
    std::vector<std::string> differ;
    std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(differ));
    std::string joined;
    for (const std::string& name : differ) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

// Whether an error of the engine's says the file's content is damaged.
bool damage(const Error& e) { return e.number == db::err::Corrupt || e.number == db::err::UnrecognizedFormat; }

// The database's register counts, through the held connection. With
// `damageHides`, a register whose count the damage hides is unknown (-1)
// rather than a reason to stop.
Result<RegisterCounts> countsOf(db::Database& database, bool damageHides = false) {
    RegisterCounts counts;
    for (auto [table, count] : {std::pair{"Kund", &counts.customers}, std::pair{"Person", &counts.resources},
                                std::pair{"Bokning", &counts.bookings}}) {
        auto n = database.TableRecordCount(table);
        if (!n && !(damageHides && damage(n.error()))) return n.error();
        if (n) *count = *n;
    }
    return counts;
}

// What the database holds, as far as it can be read: its tables (none
// when its schema is damaged or it cannot be opened at all, `connection`
// null) and its counts.
Result<std::vector<std::string>> readDatabase(db::Database* connection, RestoreOutcome& outcome) {
    if (!connection) return std::vector<std::string>{};
    auto tables = connection->TableNames();
    if (!tables && !damage(tables.error())) return tables.error();
    auto before = countsOf(*connection, true);
    if (!before) return before.error();
    outcome.before = *before;
    return tables ? *tables : std::vector<std::string>{};
}

// The copy of the backup, checked: the step that may refuse the backup.
// `copy` is set once the copy may exist. The backup's tables must be the
// database's, where those can still be read.
Status copyAndCheck(JobContext& ctx, ExclusiveHold& hold, RestoreOutcome& outcome, const std::string& real,
                    const FileInfo& database, std::string& copy) {
    FileSystem& files = ctx.platform.files;
    auto given = files.info(outcome.backup, true);
    if (!given) return given.error();
    if (given->kind == FileKind::Missing) return db::fileNotFound(outcome.backup);
    // A backup is read: a FIFO, a device, a folder or a socket is said to
    // be no file to read, not waited for.
    if (given->kind != FileKind::Regular) return fileRefusal(outcome.backup, readingRefusalFor(given->kind));
    if (given->sameFile(database))
        return refuseBackup(ctx, outcome, db::err::InvalidOperation, txt::BackupRefusedIsTheDatabase, "");
    auto tables = readDatabase(hold.connection.get(), outcome);
    if (!tables) return tables.error();

    // Room for the copy, the database's own backup and the journal of the write-in.
    auto free = files.availableBytes(folderOf(real));
    if (!free) return free.error();
    const std::uint64_t needed = given->size + 2 * database.size;
    if (*free < needed) return tooLittleSpace(ctx, txt::NotEnoughDiskForRestore, needed, *free);

    const std::string target = real + kRestoredSuffix;
    if (auto s = clearLeftover(files, target); !s) return s;
    copy = target;
    Placement placement;
    placement.replace = false;
    placement.mode = database.mode;
    placement.owner = std::make_pair(database.uid, database.gid);
    placement.durable = true;
    placement.database = ctx.main.state().DataBas;
    bool ownerKept = true;
    const auto goOn = [&] { return !ctx.stopRequested(); };
    if (auto s = copyDurably(files, ctx.notices(), outcome.backup, copy, placement, &ownerKept, goOn); !s) return s;
    if (!ownerKept) ctx.main.Logg(ctx.text(txt::CopyWithoutGroup) + ": " + copy);

    // What is checked is the copy that will be put in place, not the backup
    // it came from: the backup may change meanwhile, the copy is ours.
    const db::BookingFileFacts facts = db::inspectBookingFile(copy, [&] { return ctx.stopRequested(); });
    if (facts.stopped) return stoppedByUser();
    // A disk that will not read says nothing about the backup.
    if (facts.unreadable) return Error{db::err::DiskError, facts.problem, "Vexla Admin", copy, txt::OpRead};
    if (facts.damaged || (facts.bookingDatabase && !facts.sound))
        return refuseBackup(ctx, outcome, db::err::Corrupt, txt::BackupRefusedDamaged, facts.problem);
    if (!facts.bookingDatabase)
        return refuseBackup(ctx, outcome, db::err::UnrecognizedFormat, txt::BackupRefusedNotBookingDatabase,
                            facts.problem);
    if (const std::string differ = tables->empty() ? "" : tablesThatDiffer(*tables, facts.tables); !differ.empty())
        return refuseBackup(ctx, outcome, db::err::UnrecognizedFormat, txt::BackupRefusedNotBookingDatabase,
                            ctx.text(txt::TablesOnlyOneHas) + ": " + differ);
    outcome.restored = {facts.customers, facts.resources, facts.bookings};
    return {};
}

// A write-in that failed after the commit's point of no return (the sync
// that follows the clearing of the journal) leaves the backup's content in
// the file though it answers an error. Which of the two it holds is read
// from the registers' counts; where both have the same, nobody can tell,
// and every backup stays. A full disk, a stop, a refusal and a content that
// changed are always before that point.
Status settleFailedWriteIn(JobContext& ctx, db::Database& connection, RestoreOutcome& outcome, Status s) {
    switch (s.error().number) {
        case kStoppedByUser:
        case db::err::NotEnoughSpace:
        case db::err::OpenedExclusively:
        case db::err::ContentChanged: return s;
        default: break;
    }
    auto now = countsOf(connection);
    const bool same = outcome.before == outcome.restored;
    if (!now || same || (*now != outcome.before && *now != outcome.restored)) {
        outcome.uncertain = true;
        return s;
    }
    if (*now == outcome.before) return s;
    ctx.main.Logg(numberAndDescription(ctx.described(s.error())));
    return {};
}

// The copy's content written into the database through the engine, with
// the booking system's writers held off and the current state kept first.
Status writeIn(JobContext& ctx, db::Database& connection, RestoreOutcome& outcome, const std::string& real,
               const FileInfo& database, const std::string& copy) {
    PlacementPlan plan;
    plan.result = copy;
    plan.keepBackup = [&ctx, real, info = database] { return makeBackup(ctx, real, info, true, false); };
    plan.resumeProgress = [&ctx] {
        ctx.report(static_cast<std::uint64_t>(RestoreStep::KeepCurrent), kRestoreSteps, ProgressUnit::Steps);
    };
    PlacementOutcome placed;
    Status s = placeContent(ctx, connection, plan, placed);
    outcome.kept = placed.backup;
    outcome.heldSeconds = placed.heldSeconds;
    outcome.walBytes = placed.walBytes;
    if (!s && s.error().number == db::err::OpenedExclusively) outcome.failedAt = RestoreStep::ExclusiveUse;
    if (!s && placed.wroteIn) s = settleFailedWriteIn(ctx, connection, outcome, s);
    return s;
}

// A database no connection can open: its bytes are kept as a backup and
// the copy's bytes written over them, both under the engine's exclusive
// lock (nobody can write such a file, but a connection may be about to
// read it). Once the backup is kept, a failure may have left the file
// partly written: the backup stays, and the outcome is uncertain.
Status writeOver(JobContext& ctx, RestoreOutcome& outcome, const std::string& real, const FileInfo& database,
                 const std::string& copy) {
    const auto keep = [&]() -> Status {
        auto kept = makeBackup(ctx, real, database, true, true);
        if (!kept) return kept.error();
        outcome.kept = *kept;
        return {};
    };
    auto held = ctx.main.engine().OverwriteUnopenable(real, copy, keep);
    if (!held) {
        if (held.error().number == db::err::RecordLocked) outcome.failedAt = RestoreStep::ExclusiveUse;
        outcome.uncertain = !outcome.kept.empty();
        return held.error();
    }
    outcome.heldSeconds = *held;
    return {};
}

Status restore(JobContext& ctx, ExclusiveHold& hold, RestoreOutcome& outcome, std::string& copy) {
    AdminState& state = ctx.main.state();
    const auto enter = [&](RestoreStep next, const char* logged) -> Status {
        outcome.failedAt = next;
        if (!ctx.advance(static_cast<std::uint64_t>(next), kRestoreSteps, ProgressUnit::Steps)) return stoppedByUser();
        if (state.Kommandorad) ctx.main.Logg(ctx.text(logged) + ": " + ctx.now());
        return {};
    };
    if (auto s = enter(RestoreStep::Check, txt::CheckingBackup); !s) return s;
    FileSystem& files = ctx.platform.files;
    ctx.removeAbandonedFiles(state.msSökväg);
    auto database = files.info(state.DataBas, true);
    if (!database) return database.error();
    auto working = workingFile(ctx);
    if (!working) return working.error();
    const std::string& real = *working;
    if (auto s = copyAndCheck(ctx, hold, outcome, real, *database, copy); !s) return s;

    if (auto s = enter(RestoreStep::KeepCurrent, txt::KeepingCurrentAsBackup); !s) return s;
    const Status s = hold.connection ? writeIn(ctx, *hold.connection, outcome, real, *database, copy)
                                     : writeOver(ctx, outcome, real, *database, copy);
    if (!s) return s;
    outcome.failedAt = RestoreStep::Replacement;
    if (state.Kommandorad) ctx.main.Logg(ctx.text(txt::PuttingBackupContentIn) + ": " + ctx.now());
    // Committed: the job is done, the copy only a leftover.
    if (Status removed = removeDurably(files, copy); !removed) ctx.noticeNotRemoved(removed.error());
    copy.clear();
    return {};
}

// The size of the engine's smallest page: a database file is a whole
// number of pages.
constexpr std::uint64_t kSmallestPage = 512;

// Whether a database the engine refused to open is still restored into:
// a damaged one whose header can be read, or one whose size is a whole
// number of pages, as a database's with its first page destroyed is.
// Anything else (a text file, an empty file) is no database to overwrite.
// A file that cannot be looked at answers why: the engine's refusal would
// call a restorable database none.
Result<bool> restorableDespite(JobContext& ctx, const Error& e) {
    if (e.number == db::err::Corrupt) return true;
    if (e.number != db::err::UnrecognizedFormat) return false;
    auto info = ctx.platform.files.info(ctx.main.state().DataBas, true);
    if (!info) return ctx.described(info.error());
    return info->kind == FileKind::Regular && info->size >= 2 * kSmallestPage && info->size % kSmallestPage == 0;
}

// A database the engine cannot open held by our fence alone: the restore
// writes it under the engine's lock of its own.
Result<ExclusiveHold> fenceAlone(JobContext& ctx) {
    auto fence = ctx.main.engine().FenceDatabase(ctx.main.state().DataBas);
    if (!fence) return ctx.described(fence.error());
    ExclusiveHold hold;
    hold.fence = std::move(*fence);
    return hold;
}

}  // namespace

RestoreOutcome restoreBackup(JobContext& ctx, const std::string& backup) {
    RestoreOutcome outcome;
    outcome.backup = backup;
    ctx.report(static_cast<std::uint64_t>(RestoreStep::ExclusiveUse), kRestoreSteps, ProgressUnit::Steps);
    auto hold = testExclusiveUse(ctx, "", true);
    if (!hold) {
        const Result<bool> despite = restorableDespite(ctx, hold.error());
        if (!despite) hold = despite.error();
        if (despite && *despite) hold = fenceAlone(ctx);
    }
    if (!hold) {
        outcome.failure = hold.error();
        return outcome;
    }
    AdminState& state = ctx.main.state();
    ctx.main.setInfo(ctx.text(txt::PleaseWait) + "...");
    ctx.platform.pointer.setBusy(true);
    if (state.Kommandorad) ctx.main.Logg(ctx.text(txt::RestoringFromBackup) + ": " + backup + " " + ctx.now());

    std::string copy;
    const Status s = restore(ctx, *hold, outcome, copy);
    if (hold->connection) ctx.close(*hold->connection);
    if (!s) {
        outcome.failure = ctx.described(s.error());
        FileSystem& files = ctx.platform.files;
        if (!copy.empty() && files.exists(copy)) {  // ours, never in use
            if (Status removed = removeDurably(files, copy); !removed) ctx.noticeNotRemoved(removed.error());
        }
        // The database still holds the state the backup was to keep: made
        // as a second name it is no backup at all, made as a copy it is
        // one more of what the database is. Either way it goes, unless
        // nobody can tell which state the database holds; one that cannot
        // go stays named as kept.
        if (!outcome.uncertain && !outcome.kept.empty()) {
            const Status removed = removeDurably(files, outcome.kept);
            if (!removed) ctx.noticeNotRemoved(removed.error());
            // Removed, if perhaps not on the disk yet: no backup any more.
            if (removed || removed.error().what == txt::OpSync) outcome.kept.clear();
        }
    }
    ctx.platform.pointer.setBusy(false);
    if (!outcome.kept.empty()) ctx.main.Logg(ctx.text(txt::BackupWritten) + ": " + outcome.kept);
    if (s) ctx.main.Logg(ctx.text(txt::RestoredFromBackup) + ": " + backup);
    if (s && state.Kommandorad) ctx.main.Logg(ctx.text(txt::RestoreDone) + ": " + ctx.now());
    return outcome;
}

std::string restoreChangeText(JobContext& ctx, const RegisterCounts& database, const RegisterCounts& backup) {
    const auto number = [&](long n) { return n < 0 ? std::string("?") : groupedNumber(ctx, n); };
    std::string text;
    for (auto [code, now, then] : {std::tuple{txt::CustomersFrame, database.customers, backup.customers},
                                   std::tuple{txt::ResourcesFrame, database.resources, backup.resources},
                                   std::tuple{txt::BookingsFrame, database.bookings, backup.bookings}}) {
        if (now == then) continue;
        // The arrow is a sign, not a word: Lang.ini's code page has none.
        text += (text.empty() ? "" : ", ") + ctx.text(code) + " " + number(now) + " \u2192 " + number(then);
    }
    return text.empty() ? ctx.text(txt::SameRecordCounts) : text;
}

std::vector<std::string> restoreReportLines(JobContext& ctx, const RestoreOutcome& outcome) {
    if (outcome.stopped()) return {ctx.text(txt::RestoreStopped)};
    if (outcome.failure) {
        std::vector<std::string> lines{std::to_string(outcome.failure->number)};
        std::string description = outcome.failure->description;
        for (std::size_t at; (at = description.find("\r\n")) != std::string::npos; description.erase(0, at + 2))
            lines.push_back(description.substr(0, at));
        lines.push_back(description);
        if (outcome.uncertain) lines.push_back(ctx.text(txt::RestoreOutcomeUnknown) + ": " + outcome.kept);
        return lines;
    }
    return {ctx.text(txt::RestoredFromBackup) + ": " + outcome.backup,
            ctx.text(txt::BackupWritten) + ": " + outcome.kept,
            restoreChangeText(ctx, outcome.before, outcome.restored)};
}

std::string restoreInfoLine(JobContext& ctx, const RestoreOutcome& outcome) {
    if (outcome.stopped()) return ctx.text(txt::RestoreStopped);
    if (outcome.failure) return {};
    return ctx.text(txt::RestoredFromBackup) + ". " + ctx.text(txt::BackupWritten) + ": " + outcome.kept;
}

}  // namespace vexla
