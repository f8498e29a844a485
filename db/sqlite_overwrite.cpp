// Putting a whole database's bytes into a file that no connection can open
// any more, the way SQLite itself would write it: under its exclusive lock.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "common/posix_copy.h"
#include "common/posix_file_system.h"
#include "db/errors.h"
#include "db/sqlite_engine.h"
#include "texts/text_codes.h"

namespace vexla::db {

namespace {

// SQLite's lock bytes on a database file: a reader locks the shared range
// (taking the pending byte for a moment first), a writer the reserved byte,
// and the exclusive lock is the pending byte and the whole shared range
// locked for writing. They lie at 1 GB, where no page of data is read.
constexpr off_t kPendingByte = 0x40000000;
constexpr off_t kReservedByte = kPendingByte + 1;
constexpr off_t kSharedFirst = kPendingByte + 2;
constexpr off_t kSharedSize = 510;

// 0 when set, EAGAIN when somebody holds a lock in the way, else errno.
int lockRange(int fd, short type, off_t start, off_t length) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = length;
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
    return errno == EAGAIN || errno == EACCES ? EAGAIN : errno;
}

// Closing the descriptor releases its locks in any case.
void unlockAll(int fd) { ignoreBecause(lockRange(fd, F_UNLCK, kPendingByte, 2 + kSharedSize), Untold::Hint); }

// The exclusive lock, waiting up to `wait` seconds: the reserved byte keeps
// other writers out, the pending byte new readers, and the shared range is
// had once the readers already in have left.
Status lockExclusively(int fd, const std::string& path, double wait) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(wait);
    for (;;) {
        int rc = lockRange(fd, F_WRLCK, kReservedByte, 1);
        if (rc == 0) rc = lockRange(fd, F_WRLCK, kPendingByte, 1);
        if (rc == 0) rc = lockRange(fd, F_WRLCK, kSharedFirst, kSharedSize);
        if (rc == 0) return {};
        unlockAll(fd);
        if (rc != EAGAIN) return fileError(rc, path, txt::OpWrite);
        if (std::chrono::steady_clock::now() >= until) return recordLocked(localHostName());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Empties the journal or log `path` when there is one: its pages belong
// to content that is no more, and must never be played into the new.
Status emptyBeside(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT ? Status() : fileError(errno, path, txt::OpWrite);
    Status s;
    if (::ftruncate(fd, 0) != 0) s = fileError(errno, path, txt::OpWrite);
    if (s && ::fsync(fd) != 0) s = fileError(errno, path, txt::OpSync);
    ::close(fd);
    return s;
}

// Puts the whole of `content` into `fd` in place of what it held, through
// the project's one file copy (common/posix_copy.h), and syncs it.
Status writeAll(int fd, const std::string& path, const std::string& content) {
    if (::ftruncate(fd, 0) != 0) return fileError(errno, path, txt::OpWrite);
    if (Status s = copyIntoInChild(content, fd, path, {}); !s) return s;
    if (::fsync(fd) != 0) return fileError(errno, path, txt::OpSync);
    return {};
}

}  // namespace

Result<double> SqliteEngine::OverwriteUnopenable(const std::string& path, const std::string& content,
                                                 const std::function<Status()>& keep) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return fileError(errno, path, txt::OpWrite);
    Status s = lockExclusively(fd, path, settings_.waitSeconds);
    if (!s) {
        ::close(fd);
        return s.error();
    }
    const auto locked = std::chrono::steady_clock::now();
    if (keep) s = keep();
    for (const char* suffix : {"-journal", "-wal"}) {
        if (s) s = emptyBeside(path + suffix);
    }
    if (s) s = writeAll(fd, path, content);
    unlockAll(fd);
    const double held = std::chrono::duration<double>(std::chrono::steady_clock::now() - locked).count();
    ::close(fd);
    if (!s) return s.error();
    return held;
}

}  // namespace vexla::db
