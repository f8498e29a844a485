// CompactDatabase of the SQLite engine (see sqlite_engine.h for the contract).
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/file_placement.h"
#include "common/paths.h"
#include "common/temporary_files.h"
#include "db/errors.h"
#include "db/sqlite_database.h"
#include "db/sqlite_engine.h"
#include "db/sqlite_errors.h"

namespace vexla::db {

namespace {

// Opens `path` and, as `sync` says, syncs it, starts its writing to the
// disk or leaves that to the system; given `like`, first gives it that
// file's owner, group and permission bits, as far as this process may give
// them away (a group it may not give takes the group's bits with it).
// Answers 0 or the errno of the step that failed: a mode that cannot be set
// fails the file.
[[nodiscard]] int syncPath(const std::string& path, int flags, FileSync sync, const struct stat* like = nullptr) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return errno;
    int err = like ? giveModeAndOwner(fd, like->st_mode & 07777, std::make_pair(like->st_uid, like->st_gid)) : 0;
    if (err == 0 && sync == FileSync::Wait && ::fsync(fd) != 0) err = errno;
    // The caller's own sync later answers for the file.
    if (err == 0 && sync == FileSync::Start)
        ignoreBecause(::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE), Untold::Hint);
    ::close(fd);
    return err;
}

Error folderError(int err, const std::string& path) {
    if (err == ENOSPC || err == EDQUOT) return notEnoughSpace();
    if (err == EACCES || err == EPERM || err == EROFS) return cannotOpen(path);
    return diskError();
}

}  // namespace

// The new file is made in a folder of its own (mode 0700, a name nobody can
// guess) beside the destination, so nobody can plant a link under its name
// or open it while it is still open to all: it gets its mode and owner
// before it is renamed into the shared folder. Synced only when asked to
// wait: a caller that checks the file first lets the disk write it while
// the check reads it from memory.
Status compactInto(SqliteDatabase& source, const std::string& destination, FileSync sync) {
    if (destination.empty()) return invalidPath(destination);
    struct stat st = {};
    if (::lstat(destination.c_str(), &st) == 0) return databaseExists();
    const std::string folder = folderOf(destination);
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return invalidPath(folder);
    struct stat original = {};
    if (::stat(source.Name().c_str(), &original) != 0) return diskError();

    PrivateFolder privateFolder;
    if (const int err = privateFolder.make(folder); err != 0) return folderError(err, destination);
    const std::string temp = privateFolder.path() + "/compacting.db";

    // The new file is nobody's until it is renamed: it is synced once, whole,
    // before that, and neither the compaction nor its journal mode need sync
    // it on the way (a crash leaves only the private folder).
    Status status = source.vacuumInto(temp);
    if (status) {
        if (const int err = syncPath(temp, O_RDONLY, sync, &original); err != 0) status = folderError(err, destination);
    }
    if (status) {
        if (const int err = renameWithoutReplacing(temp, destination); err != 0)
            status = err == EEXIST ? databaseExists() : folderError(err, destination);
    }
    privateFolder.remove();
    // The rename is only durable once the folder is: a folder that cannot
    // be synced fails the compaction (the caller still has the database).
    if (status && sync == FileSync::Wait) {
        if (const int err = syncPath(folder, O_RDONLY | O_DIRECTORY, sync); err != 0) status = folderError(err, folder);
    }
    return status;
}

Status SqliteEngine::CompactDatabase(const std::string& source, const std::string& destination) {
    if (destination.empty()) return invalidPath(destination);
    struct stat st = {};
    if (::lstat(destination.c_str(), &st) == 0) return databaseExists();
    if (::stat(folderOf(destination).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return invalidPath(folderOf(destination));

    auto src = OpenDatabase(source, true);
    if (!src) return src.error();
    // A second connection would find the file locked: the copy is written
    // through the exclusive one.
    Status status = compactInto(static_cast<SqliteDatabase&>(**src), destination, FileSync::Wait);
    if (auto closed = (*src)->Close(); status && !closed) status = closed;
    return status;
}

}  // namespace vexla::db
