#include "maintenance/compaction.h"

#include <algorithm>
#include <cctype>
#include <future>
#include <map>

#include "common/file_writing.h"
#include "common/ini_file.h"
#include "db/booking_file.h"
#include "db/errors.h"
#include "maintenance/backups.h"
#include "maintenance/exclusive_test.h"
#include "maintenance/file_identity.h"
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

// The compacted file at `path` checked (checkResult) and, when whole,
// answered still open for exclusive use, so it stays locked when it takes
// the database's place.
Result<std::unique_ptr<db::Database>> verify(JobContext& ctx, const std::string& path, const Counts& expected) {
    auto opened = ctx.main.engine().OpenDatabase(path, true);
    if (!opened) return opened.error();
    if (Status s = checkResult(ctx, **opened, path, expected); !s) {
        (void)(*opened)->Close();
        return s.error();
    }
    return std::move(*opened);
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
    return Error{fserr::FileExists, "File already exists", "Vexla Admin", name, fileop::Rename};
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
    aside = *free;
    if (Status moved = renameDurably(files, result, aside); !moved) return moved.error();
    Error e = ctx.described(failure);
    e.description += "\r\n" + ctx.text("R9050") + ": " + aside;
    return e;
}

// A journal beside the database may hold changes the file itself does not.
// The exclusive-use test's opening has already rolled a hot journal back and
// folded a write-ahead log in; what is still there holds nothing the engine
// would apply. It must not stay beside the compacted file (it would be taken
// for that file's journal), and it is the user's file: it is renamed aside
// and the activity log says where. A journal the held connection has open
// is its own (a WAL database's log, a journal its opening kept) and stays:
// the caller has folded a log into the file first. `path`: the real file,
// where the engine keeps its journals.
Status setJournalsAside(JobContext& ctx, const std::string& path) {
    FileSystem& files = ctx.platform.files;
    for (const char* suffix : {"-journal", "-wal"}) {
        const std::string journal = path + suffix;
        if (!files.exists(journal)) continue;
        if (auto own = files.info(journal, false); own && openedHere(own->dev, own->ino)) continue;
        auto aside = unusedName(files, journal + ".old");
        if (!aside) return aside.error();
        if (auto s = renameDurably(files, journal, *aside); !s) return s;
        ctx.main.Logg(ctx.text("R9052") + ": " + *aside);
    }
    return {};
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
    constexpr std::uint64_t MB = 1024 * 1024;
    Error tooLittle{fserr::DiskFull,
                    ctx.text("R9051") + ": " + std::to_string((needed + MB - 1) / MB) + " MB / " +
                        std::to_string(*free / MB) + " MB",
                    "Vexla Admin"};
    tooLittle.worded = true;
    return tooLittle;
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
        if (!work) ctx.main.Logg(ctx.text("R9158") + ": " + path);
    }
    return {};
}

// A file of the job that is there already: a regular file is a leftover of
// a run cut off and is removed; anything else is no file of ours and stops
// the job, named.
Status clearLeftover(FileSystem& files, const std::string& path) {
    auto there = files.info(path, false);
    if (!there) return there.error();
    if (there->kind == FileKind::Missing) return {};
    if (there->kind != FileKind::Regular)
        return Error{fserr::PathFileAccess, "Path/File access error", "Vexla Admin", path, refusalFor(there->kind)};
    return removeDurably(files, path);
}

// Refuses a database whose owner, group and mode neither way would keep,
// naming why the rename would not.
Error cannotKeepTheFile(JobContext& ctx, const WayChosen& chosen) {
    Error refused{fserr::PathFileAccess, ctx.text("R9300") + ": " + ctx.text(chosen.reason), "Vexla Admin"};
    refused.worded = true;
    return refused;
}

// Puts the verified result in the database's place by a rename: the
// database path never stands empty and never holds a file this job has
// not locked: the test's connection keeps the database locked while it is
// compacted, the compacted file is written under a name of its own and
// locked by its check, and one rename puts it in the real file's place
// (never over a link). It is chosen only where no other process has the
// file open, so nobody is left on the old file. Until the rename the
// database is the file it was. `compacted` (the result, open) stays open
// and keeps the database locked until the caller has finished.
Status placeByRename(JobContext& ctx, ExclusiveHold& hold, db::Database& compacted, const WayChosen& chosen,
                     const std::string& result) {
    FileSystem& files = ctx.platform.files;
    auto given = files.info(result, false);
    auto database = files.info(chosen.file, false);
    if (given && database && (given->uid != database->uid || given->gid != database->gid))
        ctx.main.Logg(ctx.text("R9156") + ": " + chosen.file);
    if (auto s = renameDurably(files, result, chosen.file); !s) {
        (void)compacted.Close();
        return s;
    }
    // The replaced file's connection goes first: while the new file is still
    // locked, nobody can have made a journal beside it that the old
    // connection's closing could take for its own.
    (void)hold.connection->Close();
    return {};
}

// Checks the compacted file and writes it back into the held database as
// one transaction of the engine: the file is the same inode with every
// name, owner, group, mode and attribute it had, and a program that keeps
// it open reads the new content at its next transaction.
//
// The check and the sync of the backup (the old content is about to live
// there alone) run on a thread of their own while the engine writes the
// pages, journaled and uncommitted: the commit waits for both and is not
// taken unless both succeed, so the database is the file it was unless it
// gets the checked result whole. The result is read through a connection
// of its own in one read transaction and the check through another, so
// nobody can change it in between. Once the last step commits the job is
// done whatever is asked meanwhile; the result's own file is then only a
// leftover, and failing to remove it is logged, not failed. A result that
// fails its check is set aside (`outcome.setAside`), failedAt Verification.
Status writeBackChecked(JobContext& ctx, ExclusiveHold& hold, const WayChosen& chosen, const std::string& result,
                        const Counts& counts, CompactionOutcome& outcome) {
    FileSystem& files = ctx.platform.files;
    auto source = ctx.main.engine().OpenDatabase(result, false);
    if (!source) return source.error();
    bool checked = false, failedItsCheck = false;
    const auto checkAndKeepBackup = [&]() -> Status {
        auto reading = ctx.main.engine().OpenDatabase(result, false);
        if (!reading) return reading.error();
        Status s = checkResult(ctx, **reading, result, counts);
        (void)(*reading)->Close();
        if (!s) {
            failedItsCheck = s.error().number != kStoppedByUser;
            return s;
        }
        checked = true;
        s = files.syncFile(outcome.backup);
        return s ? files.syncFolder(folderOf(outcome.backup)) : s;
    };
    Status s =
        ctx.stoppable(*hold.connection, [&] { return hold.connection->WriteBackFrom(**source, checkAndKeepBackup); });
    (void)(*source)->Close();  // read only: nothing of it to lose
    if (checked) outcome.failedAt = CompactionStep::Replacement;
    if (failedItsCheck) return setAside(ctx, result, chosen.file, s.error(), outcome.setAside);
    if (Status removed = removeDurably(files, result); s && !removed)
        ctx.main.Logg(numberAndDescription(ctx.described(removed.error())));
    else if (!s && !removed)
        return removed;
    if (s) ctx.main.Logg(ctx.text("R9308") + ": " + ctx.text(chosen.reason));
    return s;
}

Status compact(JobContext& ctx, ExclusiveHold& hold, CompactionOutcome& outcome) {
    CompactionStep& step = outcome.failedAt;
    // Each step is reported; a stop asked for is taken at the next step,
    // up to the replacement, and inside each long one.
    const auto enter = [&](CompactionStep next) -> Status {
        step = next;
        if (!ctx.advance(static_cast<std::uint64_t>(next), kCompactionSteps, ProgressUnit::Steps))
            return stoppedByUser();
        return {};
    };
    if (auto s = enter(CompactionStep::Preparation); !s) return s;
    AdminState& state = ctx.main.state();
    FileSystem& files = ctx.platform.files;
    const std::string& path = state.DataBas;
    const std::string work = ctx.inDatabaseFolder(kWorkCopyName);
    ctx.removeAbandonedFiles(state.msSökväg);

    auto database = files.info(path, true);
    if (!database) return database.error();
    auto plain = files.info(path, false);
    if (!plain) return plain.error();
    // Through a link, the file behind it may have other names of its own.
    if (plain->kind == FileKind::Regular) {
        if (auto s = removeStaleLinks(ctx, *database); !s) return s;
    }
    // Chosen before anything of the database's own is touched.
    const WayChosen chosen = chooseCompactionWay(path);
    if (chosen.way == CompactionWay::Refused) return cannotKeepTheFile(ctx, chosen);
    const bool writeBack = chosen.way == CompactionWay::WriteBack;
    const std::string result = chosen.file + kCompactedSuffix;
    // Through a link the work happens in the real file's folder, which may
    // hold a killed run's files of its own.
    if (folderOf(chosen.file) != state.msSökväg) ctx.removeAbandonedFiles(folderOf(chosen.file));
    // A WAL database's log goes into the file first: the backup is a copy
    // of the file alone, and the log is the held connection's own.
    if (auto s = hold.connection->Checkpoint(); !s) return s;
    if (auto s = setJournalsAside(ctx, chosen.file); !s) return s;
    if (auto s = checkSpace(ctx, path, state.msSökväg); !s) return s;
    if (auto s = enter(CompactionStep::Backup); !s) return s;
    // Renamed, the backup is a second name of the old file, made at once.
    // A file written back into keeps no old content under a second name:
    // its backup is a copy of its own, made below while the database is
    // compacted and synced before the write-back commits.
    if (!writeBack) {
        auto made = makeBackup(ctx, chosen.file, *database, false, true);
        if (!made) return made.error();
        outcome.backup = *made;
    }
    if (auto s = enter(CompactionStep::WorkCopy); !s) return s;
    if (auto s = clearLeftover(files, work); !s) return s;
    // The work copy is a second name for the old file while it is replaced.
    // A file written back into has none to give (a link would be the file
    // being rewritten), and a second full copy would only double the backup
    // it already has: there is no work copy then.
    if (!writeBack) {
        if (auto s = secondName(ctx, chosen.file, work, *database, 0600, false, false); !s) return s;
    }
    if (state.Kommandorad) ctx.main.Logg(ctx.text("R1759") + ": " + ctx.now());

    if (auto s = enter(CompactionStep::Compaction); !s) return s;
    // A result left by a run that was cut off before its rename: the
    // database was still the whole file then, so the leftover is redundant.
    if (auto s = clearLeftover(files, result); !s) return s;
    // The backup copy is the kernel's work and the compaction the engine's:
    // on a thread of its own the copy costs the job next to nothing. Meanwhile
    // this thread touches no file but through the engine. A stop ends both.
    std::future<Result<std::string>> copying;
    if (writeBack)
        copying = std::async(std::launch::async, [&] { return makeBackup(ctx, chosen.file, *database, true, false); });
    Result<Counts> counts = Counts{};
    Status written = ctx.stoppable(*hold.connection, [&] {
        return (counts = hold.connection->ContentCounts()) ? Status() : Status(counts.error());
    });
    // A stop asked for while the engine writes the compacted file ends the
    // writing there; the engine removes what it had written. A file that
    // will be renamed into the database's place is on its way to the disk
    // while it is checked, and synced before it is placed; one whose
    // content is written back is read once and removed, never synced.
    const db::FileSync sync = writeBack ? db::FileSync::Skip : db::FileSync::Start;
    const auto writeCompacted = [&] { return hold.connection->CompactInto(result, sync); };
    if (written) written = ctx.stoppable(*hold.connection, writeCompacted);
    if (copying.valid()) {
        auto made = copying.get();
        if (!made) {
            step = CompactionStep::Backup;
            if (written) (void)removeDurably(files, result);
            return made.error();
        }
        outcome.backup = *made;
    }
    if (!written) return written;
    if (auto s = enter(CompactionStep::Verification); !s) {
        (void)removeDurably(files, result);  // a stop: the database stays the file it is
        return s;
    }
    if (writeBack) {
        if (auto s = writeBackChecked(ctx, hold, chosen, result, *counts, outcome); !s) return s;
        if (state.Kommandorad) ctx.main.Logg(ctx.text("R1760") + ": " + ctx.now());
        return {};
    }
    auto compacted = verify(ctx, result, *counts);
    if (compacted) {
        Status synced = (*compacted)->SyncFile();
        if (synced) synced = files.syncFolder(folderOf(result));
        if (!synced) {
            (void)(*compacted)->Close();
            (void)removeDurably(files, result);  // never placed: the database stays the file it is
            return synced;
        }
    }
    if (!compacted && compacted.error().number == kStoppedByUser) {
        (void)removeDurably(files, result);
        return compacted.error();
    }
    if (!compacted) return setAside(ctx, result, chosen.file, compacted.error(), outcome.setAside);
    if (auto s = enter(CompactionStep::Replacement); !s) {
        (void)(*compacted)->Close();
        if (auto removed = removeDurably(files, result); !removed) return removed;
        return s;
    }
    if (auto s = placeByRename(ctx, hold, **compacted, chosen, result); !s) return s;
    if (state.Kommandorad) ctx.main.Logg(ctx.text("R1760") + ": " + ctx.now());
    Status s = removeDurably(files, work);
    (void)(*compacted)->Close();
    return s;
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
    ctx.main.setInfo(ctx.text("R1749") + "...");
    ctx.platform.pointer.setBusy(true);
    if (state.Kommandorad) ctx.main.Logg(ctx.text("R1758") + ": " + state.DataBas + " " + ctx.now());

    const Status s = compact(ctx, *hold, outcome);
    (void)hold->connection->Close();
    if (!s) {
        // A result that failed its check is the result's fault, not the
        // database's: only the database's own damage sends the user to the
        // check and the rescue.
        outcome.failure =
            outcome.setAside.empty() ? withDamageAdvice(ctx, ctx.described(s.error())) : ctx.described(s.error());
        // Unless the compacted file took the database's place, a backup or
        // work copy made as a link is the live database under another
        // name: no copy at all, and it must not pass for one.
        FileSystem& files = ctx.platform.files;
        auto d = files.info(state.DataBas, true);
        for (const std::string& name : {outcome.backup, ctx.inDatabaseFolder(kWorkCopyName)}) {
            auto b = name.empty() ? Result<FileInfo>(FileInfo{}) : files.info(name, false);
            if (d && b && b->sameFile(*d) && removeDurably(files, name) && name == outcome.backup)
                outcome.backup.clear();
        }
    }
    ctx.platform.pointer.setBusy(false);
    if (!outcome.backup.empty()) ctx.main.Logg(ctx.text("R9155") + ": " + outcome.backup);
    if (s) {
        auto database = ctx.platform.files.info(state.DataBas, true);
        if (database) keepNewestBackups(ctx, outcome.backup, *database);
    }
    return outcome;
}

std::string compactionFailureText(const CompactionOutcome& outcome, TextSource& texts) {
    return outcome.failure ? numberAndDescription(*outcome.failure) + " " + texts.TextTillAndra("R9040") + ": 0"
                           : std::string();
}

std::string compactionInfoLine(JobContext& ctx, const CompactionOutcome& outcome) {
    const std::string backup = outcome.backup.empty() ? "" : ". " + ctx.text("R9155") + ": " + outcome.backup;
    if (outcome.stopped()) return ctx.text("R9207") + backup;
    if (!outcome.compacted()) return {};
    return ctx.text("R1761") + backup;
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
