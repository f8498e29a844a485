// SqliteEngine::OpenSnapshot (see engine.h and sqlite_engine.h for the contract).
#include <fcntl.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "common/posix_copy.h"
#include "common/posix_file_system.h"
#include "common/temporary_files.h"
#include "common/unique_fd.h"
#include "db/engine_steps.h"
#include "db/errors.h"
#include "db/sqlite_busy_wait.h"
#include "db/sqlite_connection.h"
#include "db/sqlite_database.h"
#include "db/sqlite_engine.h"
#include "db/sqlite_errors.h"
#include "texts/text_codes.h"

namespace vexla::db {

namespace {

// The scratch copies' names: this and a temporary file's ending.
constexpr std::string_view kScratchName = "vexla-snapshot.db";

int exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// Copies the database `from` has open into the empty file `to` with the
// engine's backup, page by page.
int backupInto(sqlite3* from, const std::string& to) {
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(to.c_str(), &copy, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) rc = exec(copy, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF");
    sqlite3_backup* backup = rc == SQLITE_OK ? sqlite3_backup_init(copy, "main", from, "main") : nullptr;
    if (rc == SQLITE_OK && !backup) rc = sqlite3_errcode(copy);
    if (backup) {
        rc = sqlite3_backup_step(backup, -1);
        const int finished = sqlite3_backup_finish(backup);
        rc = rc == SQLITE_DONE ? finished : rc;
    }
    if (sqlite3_close(copy) != SQLITE_OK && rc == SQLITE_OK) rc = SQLITE_IOERR;
    return rc;
}

// Copies the database at `path`, which `from` has open, into the empty
// file `to` (open as `fd`) in one read transaction of `from`: the only time
// the booking system's commits wait. In a rollback journal mode no writer
// touches the file while the read lasts, so its bytes are the database: the
// kernel copies them (a clone where the file system shares blocks), at
// twice the speed of the backup, in a child process, since closing a
// descriptor of the database here would drop `from`'s lock. In WAL mode the
// newest pages are in the WAL: the backup reads them through the engine.
Status copyInOneRead(sqlite3* from, const std::string& path, int fd, const std::string& to) {
    int rc = exec(from, "BEGIN; SELECT count(*) FROM sqlite_schema");
    Status copied;
    if (rc == SQLITE_OK && journalModeOf(from) != "wal")
        copied = engineStep("scratch copy") ? fileError(errno, to, txt::OpWrite) : copyIntoInChild(path, fd, to, {});
    else if (rc == SQLITE_OK)
        rc = backupInto(from, to);
    if (rc != SQLITE_OK) copied = errorFromSqlite(from, rc, source::Engine);
    exec(from, "COMMIT");
    return copied;
}

// A new empty file of ours in the system's folder for temporary files,
// named and locked as every temporary file of ours is, so that a job
// killed while its copy has a name leaves nothing the next one keeps: its
// path, with the descriptor holding its lock in `fd`; or why it cannot be made.
Result<std::string> scratchFile(UniqueFd& fd) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp && *tmp ? tmp : "/tmp";
    // What killed jobs left there: temporary files of ours whose lock nobody holds.
    PosixFileSystem files;
    ignoreBecause(removeAbandonedFiles(files, folder), Untold::LeftForCleanup);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporaryNameFor(folder + "/" + std::string(kScratchName));
        fd.reset(engineStep("scratch open")
                     ? -1
                     : ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd && errno != EEXIST) return fileError(errno, name, txt::OpWrite);
        if (fd && lockAsOurs(fd.get(), name)) return name;
        fd.reset();  // another job's cleanup took it for abandoned
    }
    return fileError(EEXIST, folder + "/" + std::string(kScratchName), txt::OpWrite);
}

}  // namespace

// The database at `path`, already opened (`from`), copied in one read into a
// scratch file of ours: its path and, in `lock`, the descriptor holding
// its lock; or the failure.
Result<std::string> SqliteEngine::copyToScratch(sqlite3* from, const std::string& path, UniqueFd& lock) {
    auto scratch = scratchFile(lock);
    if (!scratch) return scratch.error();
    const Status copied = copyInOneRead(from, path, lock.get(), *scratch);
    if (copied) return scratch;
    ignoreBecause(removeEngineFile(*scratch), Untold::LeftForCleanup);
    lock.reset();
    return copied.error();
}

// Opens the scratch copy `scratch` (its lock held by `lock`) as a
// database of ours, removed when closed. A copy that is only read
// (`readOnly`) loses its name at once: the engine reads it through the
// descriptor it holds, and a process killed in the middle of a long export
// leaves no database-sized file behind.
Result<std::unique_ptr<Database>> SqliteEngine::openScratch(const std::string& scratch, UniqueFd lock, bool readOnly) {
    auto copy = OpenDatabase(scratch, false);
    if (!copy || readOnly) {
        ignoreBecause(removeEngineFile(scratch), Untold::LeftForCleanup);
        return copy;  // and the lock let go with its name
    }
    static_cast<SqliteDatabase&>(**copy).removeFileOnClose(scratch, std::move(lock));
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
    UniqueFd lock;
    auto scratch = rc == SQLITE_OK ? copyToScratch(from, path, lock) : Result<std::string>(errorFromSqlite(from, rc));
    sqlite3_close(from);
    if (!scratch) return scratch.error();
    return openScratch(*scratch, std::move(lock), walInPlace);
}

Result<std::unique_ptr<Database>> SqliteEngine::OpenSnapshot(const std::string& path) { return openCopy(path, true); }

Result<std::unique_ptr<Database>> SqliteEngine::OpenStagingCopy(const std::string& path) {
    return openCopy(path, false);
}

}  // namespace vexla::db
