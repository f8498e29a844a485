// How the SQLite engine puts new content into a database file that the
// booking system keeps using meanwhile (see engine.h for the contracts):
// never by replacing the file, always through the engine's own locks and
// journal, so every connection sees the old content or the new.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "common/open_descriptors.h"
#include "db/errors.h"
#include "db/sqlite_database.h"
#include "db/sqlite_errors.h"

namespace vexla::db {

namespace {

// Pages copied per step of the write-in: a stop is looked for between
// steps, so a step must take well under a second (4096 pages of 4 KB are
// some tens of milliseconds with the files in the page cache).
constexpr int kWriteInPages = 4096;

// A descriptor this process already has open on `path`'s file, or a
// negative number. It is only used to hand the kernel work, never closed:
// closing any descriptor of the file would drop the engine's locks on it.
int openDescriptorOf(const std::string& path) {
    struct stat wanted {};
    if (::stat(path.c_str(), &wanted) != 0) return kNoDescriptor;
    return descriptorOf("/proc/self/fd", wanted.st_dev, wanted.st_ino);
}

// The file change counter in the database header (bytes 24 to 27, big
// endian), which every commit in rollback-journal mode raises, read through
// a descriptor this process already has open on the file: -1 when none
// answers.
long long fileChangeCounter(const std::string& path) {
    const int fd = openDescriptorOf(path);
    unsigned char b[4] = {};
    if (fd < 0 || ::pread(fd, b, sizeof b, 24) != static_cast<ssize_t>(sizeof b)) return -1;
    return (static_cast<long long>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
}

}  // namespace

Status SqliteDatabase::HoldWriters() {
    if (depth_ != 0) return invalidOperation(source::Database);
    // SQLite grants a connection that may not write the file its write lock
    // all the same; only the first page written would fail.
    if (conn_->isOpen() && sqlite3_db_readonly(conn_->handle(), "main") == 1) return readOnly();
    return exec("BEGIN IMMEDIATE");
}

Status SqliteDatabase::ReleaseWriters() {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    if (sqlite3_get_autocommit(conn_->handle())) return {};
    return exec("ROLLBACK");
}

// In WAL mode a reader sees beside a writer and the engine's data version
// answers. In rollback mode a write-in holds the exclusive lock from its
// first step, and nobody could read the data version then: the file's own
// counter of commits, read past the locks, answers instead.
Result<long long> SqliteDatabase::DataVersion() {
    auto mode = textOf("PRAGMA journal_mode");
    if (!mode) return mode.error();
    if (*mode != "wal") {
        const long long counter = fileChangeCounter(conn_->path());
        return counter < 0 ? Result<long long>(diskError()) : Result<long long>(counter);
    }
    auto version = textOf("PRAGMA data_version");
    if (!version) return version.error();
    return std::stoll(*version);
}

// Copies the pages step by step; the step that copies the last pages also
// commits them, and once it has begun the write-in is no longer stopped.
// Before it, abandoning the backup rolls this file's transaction back.
// Answers the last step's SQLite code (SQLITE_DONE when committed).
int SqliteDatabase::copyPages(sqlite3_backup* backup, long pages, const std::function<Status()>& alongside,
                              Status& besideAnswer) {
    std::future<Status> beside;
    if (alongside) beside = std::async(std::launch::async, alongside);
    // Takes `alongside`'s answer once it has one (or, waiting, when it has).
    const auto settle = [&](bool wait) {
        if (!beside.valid() || (!wait && beside.wait_for(std::chrono::seconds(0)) != std::future_status::ready)) return;
        besideAnswer = beside.get();
    };
    int rc = SQLITE_OK;
    const int fd = openDescriptorOf(conn_->path());
    for (long remaining = pages;;) {
        const bool last = remaining <= kWriteInPages;
        settle(last);
        if (!besideAnswer) break;
        if (interruptWhen_ && interruptWhen_()) {
            rc = SQLITE_INTERRUPT;
            break;
        }
        rc = sqlite3_backup_step(backup, kWriteInPages);
        if (rc != SQLITE_OK) break;
        remaining = sqlite3_backup_remaining(backup);
        // The pages written so far go on to the disk meanwhile: the sync of
        // the commit, or of a rollback after a stop, then has little to wait for.
        if (fd >= 0) ignoreBecause(::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE), Untold::Hint);
    }
    settle(true);
    return rc;
}

Status SqliteDatabase::WriteInFrom(Database& result, Database& holder, long long builtAt, double lockWait,
                                   const std::function<Status()>& alongside) {
    auto* from = dynamic_cast<SqliteDatabase*>(&result);
    if (!conn_->isOpen() || !from || !from->conn_->isOpen()) return objectClosed(source::Database);
    if (auto s = from->exec("BEGIN"); !s) return s;
    auto pages = from->textOf("PRAGMA page_count");
    if (!pages) {
        ignoreBecause(from->exec("ROLLBACK"), Untold::OnlyRead);
        return pages.error();
    }
    setCache(true);
    holdInterrupts_ = true;
    const double wait = conn_->busy().limit();
    conn_->busy().setLimit(lockWait);
    sqlite3_backup* backup = sqlite3_backup_init(conn_->handle(), "main", from->conn_->handle(), "main");
    // The holder lets go and the backup takes the write lock at once, asking
    // for no page yet: a writer can get in only in that moment, and the
    // holder's data version says whether one did. A holder that cannot let
    // go keeps the lock the backup needs: its failure is the answer.
    const Status released = holder.ReleaseWriters();
    int rc = !released ? SQLITE_ABORT
             : backup  ? sqlite3_backup_step(backup, 0)
                       : sqlite3_extended_errcode(conn_->handle());
    Status besideAnswer;
    bool changed = false;
    if (rc == SQLITE_OK) {
        auto after = holder.DataVersion();
        changed = !after || *after != builtAt;
    }
    if (rc == SQLITE_OK && !changed) rc = copyPages(backup, std::stol(*pages), alongside, besideAnswer);
    const int finished = backup ? sqlite3_backup_finish(backup) : SQLITE_OK;
    ignoreBecause(from->exec("COMMIT"), Untold::OnlyRead);
    conn_->busy().setLimit(wait);
    holdInterrupts_ = false;
    fitCache();
    if (!released) return released;
    if (changed) return contentChanged();
    if (rc == SQLITE_DONE && finished == SQLITE_OK) return {};
    if (!besideAnswer) return besideAnswer;
    if (rc == SQLITE_INTERRUPT) return errorFromSqlite(conn_->handle(), SQLITE_INTERRUPT);
    return errorFromSqlite(conn_->handle(), rc == SQLITE_DONE || rc == SQLITE_OK ? finished : rc);
}

Result<std::uint64_t> SqliteDatabase::Checkpoint(bool truncate, double limitSeconds) {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    auto mode = textOf("PRAGMA journal_mode");
    if (!mode) return mode.error();
    if (*mode != "wal") return std::uint64_t{0};
    auto pageSize = textOf("PRAGMA page_size");
    if (!pageSize) return pageSize.error();
    const double wait = conn_->busy().limit();
    conn_->busy().setLimit(limitSeconds);
    int log = 0, folded = 0;
    const int rc = sqlite3_wal_checkpoint_v2(
        conn_->handle(), "main", truncate ? SQLITE_CHECKPOINT_TRUNCATE : SQLITE_CHECKPOINT_PASSIVE, &log, &folded);
    conn_->busy().setLimit(wait);
    // A reader on an older snapshot keeps part of the log out of the file
    // (SQLITE_BUSY): what is left is told, not failed.
    if (rc != SQLITE_OK && (rc & 0xFF) != SQLITE_BUSY) return errorFromSqlite(conn_->handle(), rc);
    if (log <= folded) return std::uint64_t{0};
    // Each frame of the log is a page and its 24-byte header.
    return static_cast<std::uint64_t>(log - folded) * (std::stoull(*pageSize) + 24);
}

}  // namespace vexla::db
