// Putting a whole database's bytes into a file that no connection can open
// any more, the way SQLite itself would write it: through its own file layer
// (the default VFS), under its own exclusive lock. Through the VFS, the lock
// is the one every connection of the engine takes, in other processes and
// in this one, and every step is an engine step like any other.
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

#include "common/posix_file_system.h"
#include "db/errors.h"
#include "db/sqlite_engine.h"
#include "db/sqlite_errors.h"
#include "texts/text_codes.h"

namespace vexla::db {

namespace {

using Clock = std::chrono::steady_clock;

// A file opened through a VFS, closed with this object. The locks are
// POSIX locks, which any close of the same file by this process would drop;
// SQLite's own closes keep the descriptor while its locks are held, and the
// jobs copy a database's bytes in a child process, so nothing drops them.
class VfsFile {
public:
    explicit VfsFile(sqlite3_vfs& vfs)
        : vfs_(vfs), memory_(new std::max_align_t[vfs.szOsFile / sizeof(std::max_align_t) + 1]()) {}
    ~VfsFile() {
        if (file()->pMethods) file()->pMethods->xClose(file());
    }
    VfsFile(const VfsFile&) = delete;
    VfsFile& operator=(const VfsFile&) = delete;

    // Opens `path` as `flags` asks: a refusal (or a file SQLite would only
    // open for reading when writing was asked) is a file error on `path`.
    Status open(const std::string& path, int flags, const char* op) {
        int granted = 0;
        errno = 0;
        const int rc = vfs_.xOpen(&vfs_, path.c_str(), file(), flags, &granted);
        const int why = errno ? errno : EIO;
        if (rc != SQLITE_OK) return fileError(why, path, op);
        if ((flags & SQLITE_OPEN_READWRITE) && !(granted & SQLITE_OPEN_READWRITE)) return fileError(EACCES, path, op);
        return {};
    }
    sqlite3_file* file() { return reinterpret_cast<sqlite3_file*>(memory_.get()); }
    const sqlite3_io_methods& io() { return *file()->pMethods; }
    int lock(int level) { return io().xLock(file(), level); }
    void unlock() { ignoreBecause(io().xUnlock(file(), SQLITE_LOCK_NONE), Untold::Hint); }

private:
    sqlite3_vfs& vfs_;
    std::unique_ptr<std::max_align_t[]> memory_;
};

// Asks `step` again every 20 ms while it answers SQLITE_BUSY, until `until`.
template <class Step>
int retried(Step step, Clock::time_point until) {
    int rc = SQLITE_OK;
    while ((rc = step()) == SQLITE_BUSY && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return rc;
}

// SQLite's exclusive lock, waiting up to `wait` seconds as its busy handler
// would: 3260 when the booking system keeps the file that long. A shared lock
// is never kept while another writer has the reserved one (that writer
// could not commit); once reserved, the pending lock keeps new readers out
// while those already in finish.
Status lockExclusively(VfsFile& f, double wait) {
    const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(wait));
    const int rc = retried(
        [&] {
            int rc = f.lock(SQLITE_LOCK_SHARED);
            if (rc == SQLITE_OK) rc = f.lock(SQLITE_LOCK_RESERVED);
            if (rc == SQLITE_OK) rc = retried([&] { return f.lock(SQLITE_LOCK_EXCLUSIVE); }, until);
            if (rc != SQLITE_OK) f.unlock();
            return rc;
        },
        until);
    if (rc == SQLITE_OK) return {};
    if (rc == SQLITE_BUSY) return recordLocked(localHostName());
    return errorFromSqlite(nullptr, rc, source::Engine);
}

// Empties the journal or log `path` (opened as `kind`) when it holds
// anything: its pages belong to content that is no more, and must never
// be played into the new.
Status emptyBeside(sqlite3_vfs& vfs, const std::string& path, int kind) {
    int holds = 0;
    if (const int rc = vfs.xAccess(&vfs, path.c_str(), SQLITE_ACCESS_EXISTS, &holds); rc != SQLITE_OK)
        return errorFromSqlite(nullptr, rc, source::Engine);
    if (!holds) return {};
    VfsFile f(vfs);
    if (Status s = f.open(path, kind | SQLITE_OPEN_READWRITE, txt::OpWrite); !s) return s;
    int rc = f.io().xTruncate(f.file(), 0);
    if (rc == SQLITE_OK) rc = f.io().xSync(f.file(), SQLITE_SYNC_NORMAL);
    return rc == SQLITE_OK ? Status() : Status(errorFromSqlite(nullptr, rc, source::Engine));
}

// Writes the bytes of the file `content` over those of `to` from the first
// byte, cuts `to` to their size and syncs it.
Status writeContent(sqlite3_vfs& vfs, VfsFile& to, const std::string& content) {
    VfsFile from(vfs);
    if (Status s = from.open(content, SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_READONLY, txt::OpRead); !s) return s;
    sqlite3_int64 size = 0;
    int rc = from.io().xFileSize(from.file(), &size);
    std::vector<char> buffer(1 << 16);
    for (sqlite3_int64 at = 0; rc == SQLITE_OK && at < size; at += static_cast<sqlite3_int64>(buffer.size())) {
        const int n = static_cast<int>(std::min<sqlite3_int64>(static_cast<sqlite3_int64>(buffer.size()), size - at));
        rc = from.io().xRead(from.file(), buffer.data(), n, at);
        if (rc == SQLITE_OK) rc = to.io().xWrite(to.file(), buffer.data(), n, at);
    }
    if (rc == SQLITE_OK) rc = to.io().xTruncate(to.file(), size);
    if (rc == SQLITE_OK) rc = to.io().xSync(to.file(), SQLITE_SYNC_NORMAL);
    return rc == SQLITE_OK ? Status() : Status(errorFromSqlite(nullptr, rc, source::Engine));
}

}  // namespace

Result<double> SqliteEngine::OverwriteUnopenable(const std::string& path, const std::string& content,
                                                 const std::function<Status()>& keep) {
    sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    if (!vfs) return errorFromSqlite(nullptr, SQLITE_ERROR, source::Engine);
    VfsFile database(*vfs);
    if (Status s = database.open(path, SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_READWRITE, txt::OpWrite); !s) return s.error();
    if (Status s = lockExclusively(database, settings_.waitSeconds); !s) return s.error();
    const auto locked = Clock::now();
    Status s = keep ? keep() : Status();
    if (s) s = emptyBeside(*vfs, path + "-journal", SQLITE_OPEN_MAIN_JOURNAL);
    if (s) s = emptyBeside(*vfs, path + "-wal", SQLITE_OPEN_WAL);
    if (s) s = writeContent(*vfs, database, content);
    database.unlock();
    const double held = std::chrono::duration<double>(Clock::now() - locked).count();
    if (!s) return s.error();
    return held;
}

}  // namespace vexla::db
