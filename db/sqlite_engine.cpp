#include "db/sqlite_engine.h"

#include "db/sqlite_busy_wait.h"
#include "texts/text_codes.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <optional>

#include "common/platform/file_system.h"
#include "common/posix_file_system.h"
#include "db/database_path.h"
#include "db/errors.h"
#include "db/lock_file.h"
#include "db/sqlite_connection.h"
#include "db/sqlite_database.h"
#include "db/sqlite_errors.h"
#include "db/sqlite_examined.h"
#include "db/sqlite_uri.h"
#include "db/swedish_collation.h"

namespace vexla::db {

namespace {

// Maps a failure while SQLite first reads and locks the file.
Error openFailure(sqlite3* db, int rc, const std::string& path, bool exclusive) {
    switch (rc & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return exclusive ? openedExclusively(localHostName()) : recordLocked(localHostName());
        case SQLITE_NOTADB: return unrecognizedFormat(path);
        case SQLITE_CORRUPT: return corrupt(path);
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH: return unopenedFile(path);
        default: {
            Error e = errorFromSqlite(db, rc, source::Engine);
            return e;
        }
    }
}

// 3356 for a database our lock keeps: on the holder's machine, naming the
// holder where it wrote itself into the lock file.
Error heldBy(const Holder& holder) {
    Error e = openedExclusively(holder.host.empty() ? localHostName() : holder.host);
    e.holder = holder;
    return e;
}

int exec(sqlite3* db, const char* sql) {
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    return sqlite3_extended_errcode(db);
}

// Reads the file in one short read transaction and makes sure it is a
// database with at least its first page. Nothing is kept locked after it.
int lockAndCheck(sqlite3* db) {
    int rc = SQLITE_OK;
    // The large cache comes with a writing transaction (SqliteDatabase::BeginTrans).
    if ((rc = exec(db, kReadCache)) != SQLITE_OK) return rc;
    // A library built to overwrite deleted content writes every page an
    // emptied register frees, and journals it first: emptying 3,000,000
    // bookings then takes seconds in one step of the engine that no stop
    // can end, and as long again to roll back. Freed pages keep their old
    // bytes until they are reused or the compaction leaves them out, as the
    // booking system's own database always did; pages that stay in use are
    // still cleared.
    if ((rc = exec(db, "PRAGMA secure_delete = FAST")) != SQLITE_OK) return rc;
    if ((rc = exec(db, "BEGIN")) != SQLITE_OK) return rc;
    sqlite3_stmt* st = nullptr;
    rc = sqlite3_prepare_v2(db, "PRAGMA page_count", -1, &st, nullptr);
    long pages = 0;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            pages = static_cast<long>(sqlite3_column_int64(st, 0));
            rc = SQLITE_OK;
        }
        sqlite3_finalize(st);
    }
    if (rc == SQLITE_OK) rc = exec(db, "SELECT count(*) FROM sqlite_schema");
    if (rc != SQLITE_OK) {
        exec(db, "ROLLBACK");
        return rc;
    }
    if (pages == 0) {
        exec(db, "ROLLBACK");
        return SQLITE_NOTADB;
    }
    return exec(db, "COMMIT");
}

}  // namespace

Result<std::unique_ptr<Database>> SqliteEngine::OpenDatabase(const std::string& path, bool exclusive) {
    if (auto e = refusalOfPath(path)) return *e;

    std::shared_ptr<LockFile> lock;
    if (exclusive) {
        LockAttempt attempt = acquireDatabaseLock(path);
        if (attempt.outcome == LockAttempt::Outcome::Busy) return heldBy(attempt.holder);
        // Unavailable (a folder we may not write): SQLite's own lock still excludes.
        lock = std::move(attempt.lock);
    }

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        Error e = openFailure(db, rc, path, exclusive);
        sqlite3_close(db);
        return e;
    }
    sqlite3_extended_result_codes(db, 1);
    auto busy = std::make_unique<BusyWait>(settings_.waitSeconds);
    busy->install(db);
    registerSwedishCollation(db);
    if ((rc = lockAndCheck(db)) != SQLITE_OK) {
        Error e = openFailure(db, rc, path, exclusive);
        sqlite3_close(db);
        return e;
    }
    DatePictures pictures{settings_.shortDate, settings_.longTime};
    auto conn = std::make_shared<Connection>(db, path, std::move(pictures), settings_.decimalSeparator, std::move(lock),
                                             std::move(busy));
    return std::unique_ptr<Database>(std::make_unique<SqliteDatabase>(std::move(conn)));
}

Result<DatabaseFence> SqliteEngine::FenceDatabase(const std::string& path) {
    LockAttempt attempt = acquireDatabaseLock(path);
    switch (attempt.outcome) {
        case LockAttempt::Outcome::Acquired: return DatabaseFence(std::move(attempt.lock));
        case LockAttempt::Outcome::Busy: return heldBy(attempt.holder);
        case LockAttempt::Outcome::Unavailable: break;
    }
    if (attempt.wrongKind != 0)
        return Error{err::CannotOpen, "", source::Engine, lockFilePath(path),
                     refusalFor(fileKindOf(attempt.wrongKind))};
    if (attempt.error == ENOENT || attempt.error == ENOTDIR) return fileNotFound(path);
    // A folder that refuses the lock file refuses jobs on the database as the
    // engine words it; any other failure (a full disk) is said for what it is.
    if (attempt.error == EACCES || attempt.error == EPERM || attempt.error == EROFS) return unopenedFile(path);
    return fileError(attempt.error, lockFilePath(path), txt::OpWrite);
}

int openForReading(const std::string& path, sqlite3** db, double waitSeconds) {
    int rc = sqlite3_open_v2(sqliteFileUri(path, "mode=ro").c_str(), db,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) return rc;
    sqlite3_extended_result_codes(*db, 1);
    installTimedWait(*db, waitSeconds);
    registerSwedishCollation(*db);
    // A file cut short is larger by its header than on disk, which the
    // engine takes for damage to the whole file; with the schema
    // "writable" it reads the pages that are there instead. Opened read
    // only, nothing can be written all the same.
    rc = exec(*db, "PRAGMA writable_schema = ON");
    if (rc == SQLITE_OK) rc = lockAndCheck(*db);
    // lockAndCheck ends its transaction: the one kept from here to Close.
    if (rc == SQLITE_OK) rc = exec(*db, "BEGIN");
    if (rc == SQLITE_OK) rc = exec(*db, "SELECT count(*) FROM sqlite_schema");
    return rc;
}

// The file is opened read only (mode=ro): SQLite then never writes it, nor
// deletes, truncates or plays back anything beside it. A hot rollback
// journal beside it (a writer cut off in a transaction) would have to be
// played back into the file before it reads consistently; read only, SQLite
// refuses instead (SQLITE_READONLY_ROLLBACK, 3051 here) and the file and its
// journal stay as they are, for the booking system or a compaction to roll
// back. A write-ahead log beside it is read with the file (what it has
// committed is part of the database) and is neither folded into the file
// nor removed, as only a writer does that; its shared-memory index may be
// made or updated, which is no part of the database.
//
// The read transaction taken here, and kept to Close, holds SQLite's shared
// lock: no writer can commit while the file is read. Our fence keeps our
// own programs out as the exclusive-use test would, without opening the
// file for writing as the test does.
Result<std::unique_ptr<ExaminedFile>> SqliteEngine::OpenForExamination(const std::string& path) {
    if (auto e = refusalOfPath(path)) return *e;
    DatabaseFence fence;
    LockAttempt attempt = acquireDatabaseLock(path);
    if (attempt.outcome == LockAttempt::Outcome::Busy) return heldBy(attempt.holder);
    // Unavailable (a folder we may not write): SQLite's own lock still counts.
    if (attempt.outcome == LockAttempt::Outcome::Acquired) fence = DatabaseFence(std::move(attempt.lock));

    sqlite3* db = nullptr;
    sqlite3* links = nullptr;
    int rc = openForReading(path, &db, settings_.waitSeconds);
    // The link checks read through a connection of their own, beside the
    // engine check (two shared locks of this process on the same file).
    if (rc == SQLITE_OK) rc = openForReading(path, &links, settings_.waitSeconds);
    if (rc != SQLITE_OK) {
        Error e = rc == SQLITE_READONLY_ROLLBACK ? cannotOpen(path + "-journal") : openFailure(db, rc, path, true);
        sqlite3_close(links);
        sqlite3_close(db);
        return e;
    }
    return std::unique_ptr<ExaminedFile>(std::make_unique<SqliteExaminedFile>(db, links, path, std::move(fence)));
}

}  // namespace vexla::db
