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

// The journal mode of the file `db` has open, or "" when it cannot be read.
std::string journalMode(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    std::string mode;
    if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        if (const unsigned char* text = sqlite3_column_text(st, 0)) mode = reinterpret_cast<const char*>(text);
    sqlite3_finalize(st);
    return mode;
}

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

Result<std::unique_ptr<Database>> SqliteEngine::OpenSnapshot(const std::string& path) {
    auto opened = OpenDatabase(path, false);
    if (!opened) return opened.error();
    sqlite3* from = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &from, SQLITE_OPEN_READONLY, nullptr);
    BusyWait wait(settings_.waitSeconds);
    wait.install(from);
    const std::string mode = rc == SQLITE_OK ? journalMode(from) : "";
    if (rc == SQLITE_OK && mode == "wal") {
        sqlite3_close(from);
        return opened;
    }
    (void)(*opened)->Close();
    const std::string scratch = rc == SQLITE_OK ? scratchFile() : "";
    if (rc == SQLITE_OK && scratch.empty()) rc = SQLITE_CANTOPEN;
    if (rc == SQLITE_OK) rc = copyInOneRead(from, scratch);
    Error failure = rc == SQLITE_OK ? Error() : errorFromSqlite(from, rc, source::Engine);
    sqlite3_close(from);
    if (rc != SQLITE_OK) {
        if (!scratch.empty()) ::unlink(scratch.c_str());
        return failure;
    }
    auto copy = OpenDatabase(scratch, false);
    if (!copy) {
        ::unlink(scratch.c_str());
        return copy.error();
    }
    static_cast<SqliteDatabase&>(**copy).removeFileOnClose(scratch);
    return copy;
}

}  // namespace vexla::db
