#include "db/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pwd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

#include "common/paths.h"
#include "db/engine_steps.h"
#include "db/errors.h"

namespace vexla::db {

class LockFile {
public:
    LockFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    ~LockFile() {
        if (engineStep("lock file removal") == 0) ::unlink(path_.c_str());
        ::close(fd_);
    }
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

private:
    std::string path_;
    int fd_;
};

namespace {

std::mutex registryMutex;
std::map<std::string, std::weak_ptr<LockFile>>& registry() {
    static std::map<std::string, std::weak_ptr<LockFile>> r;
    return r;
}

// The lock file's path with its folder resolved, so that two spellings of
// one database share one entry of the registry.
bool canonical(const std::string& lockPath, std::string& out, int& error) {
    const size_t slash = lockPath.rfind('/');
    const std::string folder = folderOf(lockPath);
    const std::string name = slash == std::string::npos ? lockPath : lockPath.substr(slash + 1);
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved)) {
        error = errno;
        return false;
    }
    out = std::string(resolved) + (resolved[1] ? "/" : "") + name;
    return true;
}

// 0 when locked, EAGAIN when someone else holds it, another errno otherwise.
int tryLock(int fd) {
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
    if (errno == EAGAIN || errno == EACCES) return EAGAIN;
    if (errno != EINVAL) return errno;
    // No OFD locks here: flock() also belongs to the open file description.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
    return errno == EWOULDBLOCK ? EAGAIN : errno;
}

bool heldByOther(int readOnlyFd) {
    struct flock fl = {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    if (::fcntl(readOnlyFd, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

Holder readHolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return {};
    char buf[600];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    if (n <= 0) return {};
    return parseHolderLine(std::string(buf, static_cast<size_t>(n)));
}

// A name as one word of the holder's line: blanks and control characters
// would split it, so they become '_'.
std::string word(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) <= ' ') c = '_';
    return text.empty() ? "?" : text;
}

std::string userName() {
    struct passwd pw = {};
    struct passwd* found = nullptr;
    char buf[1024];
    if (::getpwuid_r(::geteuid(), &pw, buf, sizeof buf, &found) == 0 && found) return found->pw_name;
    return std::to_string(::geteuid());
}

void writeHolder(int fd) {
    const std::string line = word(localHostName()) + " " + std::to_string(::getpid()) + " " +
                             word(program_invocation_short_name) + " " + word(userName()) + "\n";
    if (engineStep("lock file holder") == 0 && ::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(fd, line.data(), line.size(), 0);
    }
}

LockAttempt busy(const std::string& path) {
    LockAttempt a;
    a.outcome = LockAttempt::Outcome::Busy;
    a.holder = readHolder(path);
    return a;
}

LockAttempt unavailable(int error) {
    LockAttempt a;
    a.outcome = LockAttempt::Outcome::Unavailable;
    a.error = error;
    return a;
}

}  // namespace

std::string lockFilePath(const std::string& databasePath) { return databasePath + ".lock"; }

Holder parseHolderLine(const std::string& line) {
    std::istringstream words(line.substr(0, line.find('\n')));
    Holder h;
    std::string pid;
    if (!(words >> h.host >> pid)) return {};
    char* end = nullptr;
    const long number = std::strtol(pid.c_str(), &end, 10);
    if (number <= 0 || *end != '\0') return {};
    h.pid = number;
    words >> h.program >> h.user;
    return h;
}

namespace {

LockAttempt acquired(std::shared_ptr<LockFile> lock) {
    LockAttempt a;
    a.outcome = LockAttempt::Outcome::Acquired;
    a.lock = std::move(lock);
    return a;
}

// The answer when the lock file at path cannot be opened for writing.
LockAttempt openRefused(const std::string& path, int openError) {
    // Not a lock file of anybody's: said for what it is, not taken for a holder.
    struct stat st = {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        LockAttempt a = unavailable(openError);
        a.wrongKind = st.st_mode & S_IFMT;
        return a;
    }
    // Someone else's lock file we may not write: we can still see whether it is held.
    const int ro = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (ro >= 0) {
        const bool held = heldByOther(ro);
        ::close(ro);
        if (held) return busy(path);
    }
    return unavailable(openError);
}

// Tries to lock the opened lock file fd (closed unless it is taken); nothing
// when the file was removed under us and the open has to be tried again.
std::optional<LockAttempt> lockOpened(const std::string& path, int fd) {
    struct stat kind = {};
    if (::fstat(fd, &kind) == 0 && !S_ISREG(kind.st_mode)) {
        ::close(fd);
        LockAttempt a = unavailable(EINVAL);
        a.wrongKind = kind.st_mode & S_IFMT;
        return a;
    }
    const int rc = tryLock(fd);
    if (rc != 0) {
        ::close(fd);
        return rc == EAGAIN ? busy(path) : unavailable(rc);
    }
    // The previous holder may have removed the file between our open and
    // our lock; then we hold a lock nobody else can see.
    struct stat byFd = {}, byPath = {};
    if (::fstat(fd, &byFd) != 0 || ::stat(path.c_str(), &byPath) != 0 || byFd.st_ino != byPath.st_ino ||
        byFd.st_dev != byPath.st_dev) {
        ::close(fd);
        return std::nullopt;
    }
    writeHolder(fd);
    auto lock = std::make_shared<LockFile>(path, fd);
    registry()[path] = lock;
    return acquired(std::move(lock));
}

}  // namespace

LockAttempt acquireDatabaseLock(const std::string& databasePath) {
    std::string path;
    int error = 0;
    if (!canonical(lockFilePath(databasePath), path, error)) return unavailable(error);

    std::lock_guard<std::mutex> guard(registryMutex);
    if (auto held = registry()[path].lock()) return acquired(std::move(held));
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int fd =
            engineStep("lock file open")
                ? -1
                : ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0666);
        if (fd < 0) return openRefused(path, errno);
        if (auto taken = lockOpened(path, fd)) return std::move(*taken);
    }
    return unavailable(EAGAIN);
}

}  // namespace vexla::db
