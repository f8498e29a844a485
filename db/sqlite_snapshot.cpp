// SqliteEngine::OpenSnapshot (see engine.h and sqlite_engine.h for the contract).
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "db/errors.h"
#include "db/sqlite_busy_wait.h"
#include "db/sqlite_database.h"
#include "db/sqlite_engine.h"
#include "db/sqlite_errors.h"

namespace vexla::db {

namespace {

int exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// Copies the database `from` has open into the empty file `to`, in one read
// transaction of `from`: the only time the booking system's commits wait.
int copyInOneRead(sqlite3* from, const std::string& to) {
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(to.c_str(), &copy, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) rc = exec(copy, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF");
    if (rc == SQLITE_OK) rc = exec(from, "BEGIN; SELECT count(*) FROM sqlite_schema");
    sqlite3_backup* backup = rc == SQLITE_OK ? sqlite3_backup_init(copy, "main", from, "main") : nullptr;
    if (rc == SQLITE_OK && !backup) rc = sqlite3_errcode(copy);
    if (backup) {
        rc = sqlite3_backup_step(backup, -1);
        const int finished = sqlite3_backup_finish(backup);
        rc = rc == SQLITE_DONE ? finished : rc;
    }
    exec(from, "COMMIT");
    if (sqlite3_close(copy) != SQLITE_OK && rc == SQLITE_OK) rc = SQLITE_IOERR;
    return rc;
}

// A new empty file of ours in the system's folder for temporary files.
std::string scratchFile() {
    const char* folder = std::getenv("TMPDIR");
    std::string name = std::string(folder && *folder ? folder : "/tmp") + "/vexla-snapshot-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return {};
    ::close(fd);
    return name;
}

}  // namespace

// The database at `path`, already opened (`from`), copied in one read into a
// scratch file of ours: its path, or the failure.
Result<std::string> SqliteEngine::copyToScratch(sqlite3* from) {
    const std::string scratch = scratchFile();
    int rc = scratch.empty() ? SQLITE_CANTOPEN : copyInOneRead(from, scratch);
    if (rc == SQLITE_OK) return scratch;
    Error failure = errorFromSqlite(from, rc, source::Engine);
    if (!scratch.empty()) ::unlink(scratch.c_str());
    return failure;
}

// Opens the scratch copy `scratch` as a database of ours, removed when closed.
Result<std::unique_ptr<Database>> SqliteEngine::openScratch(const std::string& scratch) {
    auto copy = OpenDatabase(scratch, false);
    if (!copy) {
        ::unlink(scratch.c_str());
        return copy.error();
    }
    static_cast<SqliteDatabase&>(**copy).removeFileOnClose(scratch);
    return copy;
}

// The database at `path` for a job that reads it long: itself where
// `walInPlace` and it is in WAL mode (readers keep no writer out), else a
// copy of it in a scratch file of ours, taken in one read.
Result<std::unique_ptr<Database>> SqliteEngine::openCopy(const std::string& path, bool walInPlace) {
    // Opened first for its refusals, worded as every job's are.
    auto opened = OpenDatabase(path, false);
    if (!opened) return opened.error();
    sqlite3* from = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &from, SQLITE_OPEN_READONLY, nullptr);
    BusyWait wait(settings_.waitSeconds);
    wait.install(from);
    if (rc == SQLITE_OK && walInPlace && journalModeOf(from) == "wal") {
        sqlite3_close(from);
        return opened;
    }
    ignoreBecause((*opened)->Close(), Untold::OnlyRead);  // opened for its refusals alone
    auto scratch = rc == SQLITE_OK ? copyToScratch(from) : Result<std::string>(errorFromSqlite(from, rc));
    sqlite3_close(from);
    if (!scratch) return scratch.error();
    return openScratch(*scratch);
}

Result<std::unique_ptr<Database>> SqliteEngine::OpenSnapshot(const std::string& path) { return openCopy(path, true); }

Result<std::unique_ptr<Database>> SqliteEngine::OpenStagingCopy(const std::string& path) {
    return openCopy(path, false);
}

}  // namespace vexla::db
