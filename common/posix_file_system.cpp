#include "common/posix_file_system.h"
#include "texts/text_codes.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/file_placement.h"
#include "common/file_writing.h"
#include "common/job_progress.h"
#include "common/temporary_files.h"

namespace vexla {

namespace {

FileKind kindOf(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISDIR(mode)) return FileKind::Folder;
    if (S_ISLNK(mode)) return FileKind::Link;
    if (S_ISFIFO(mode)) return FileKind::Fifo;
    if (S_ISSOCK(mode)) return FileKind::Socket;
    return FileKind::Device;
}

FileInfo infoOf(const struct stat& st) {
    FileInfo i;
    i.kind = kindOf(st.st_mode);
    i.mode = st.st_mode & 07777;
    i.uid = st.st_uid;
    i.gid = st.st_gid;
    i.dev = st.st_dev;
    i.ino = st.st_ino;
    i.size = static_cast<std::uint64_t>(st.st_size);
    return i;
}

Status writeAll(int fd, std::string_view bytes, const std::string& path) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return fileError(errno, path, txt::OpWrite);
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return {};
}

// Buffered writing to a descriptor; `path` is the name errors give.
class BufferedFile {
public:
    BufferedFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    Status write(std::string_view bytes) {
        if (fd_ < 0) return fileError(EBADF, path_, txt::OpWrite);
        if (buffer_.size() + bytes.size() > kBufferSize) {
            if (auto s = flush(); !s) return s;
        }
        if (bytes.size() >= kBufferSize) return writeAll(fd_, bytes, path_);
        buffer_.append(bytes);
        return {};
    }

    Status flush() {
        if (buffer_.empty()) return {};
        auto s = writeAll(fd_, buffer_, path_);
        buffer_.clear();
        return s;
    }

    Status sync() {
        if (auto s = flush(); !s) return s;
        if (fd_ >= 0 && ::fsync(fd_) != 0) return fileError(errno, path_, txt::OpSync);
        return {};
    }

    Status close() {
        if (fd_ < 0) return {};
        Status s = flush();
        if (::close(fd_) != 0 && s) s = fileError(errno, path_, txt::OpWrite);
        fd_ = -1;
        return s;
    }

protected:
    static constexpr size_t kBufferSize = 1 << 16;
    int fd_;
    std::string path_;
    std::string buffer_;
};

class PosixOutputFile final : public OutputFile, private BufferedFile {
public:
    PosixOutputFile(int fd, std::string path) : BufferedFile(fd, std::move(path)) {}
    // The activity log, its only owner, closes it itself and tells a failure.
    ~PosixOutputFile() override { ignoreBecause(close(), Untold::DestructorFallback); }
    Status write(std::string_view bytes) override { return BufferedFile::write(bytes); }
    Status flush() override { return BufferedFile::flush(); }
    Status sync() override { return BufferedFile::sync(); }
    Status close() override { return BufferedFile::close(); }
};

// What the copying child reports back when it fails: which side, and errno.
struct CopyFailure {
    int side = 0;  // 0 reading the source, 1 writing the copy
    int err = 0;
};

// Makes the copying child no holder of anything but its copy: it shares the
// open file descriptions of every descriptor it inherits, and with them the
// locks that belong to them (the database's fence, a temporary file's
// "writer alive" lock). It keeps only standard input, output and error,
// `out` and `report`, and it dies with the thread that started it, so a
// killed job leaves no copy running that holds the database for nobody.
// Answers 0, or the errno of the step that failed: a child that is not
// detached copies nothing.
int detachFromParent(pid_t parent, int out, int report) {
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return errno;
    if (::getppid() != parent) ::_exit(1);  // the parent was gone before that
    const unsigned low = static_cast<unsigned>(std::min(out, report));
    const unsigned high = static_cast<unsigned>(std::max(out, report));
    if (low > 3 && ::close_range(3, low - 1, 0) != 0) return errno;
    if (high > low + 1 && ::close_range(low + 1, high - 1, 0) != 0) return errno;
    if (::close_range(high + 1, ~0U, 0) != 0) return errno;
    return 0;
}

// The child's work: only system calls, nothing that allocates (the parent may
// have other threads, and the child has only a copy of this one). A clone of
// the source's blocks first (copy-on-write file systems), then the kernel's
// own copy, then plain reads and writes.
[[noreturn]] void copyInChild(const char* from, int out, char* buf, std::size_t size, int report) {
    const auto fail = [&](int side) {
        const CopyFailure f{side, errno};
        ignoreBecause(::write(report, &f, sizeof f), Untold::ChildExit);
        ::_exit(1);
    };
    const int in = ::open(from, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (in < 0) fail(0);
    struct stat st {};
    if (::fstat(in, &st) != 0) fail(0);
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        fail(0);
    }
    if (::lseek(out, 0, SEEK_END) == 0 && ::ioctl(out, FICLONE, in) == 0) {
        if (::lseek(out, 0, SEEK_END) < 0) fail(1);
        ::_exit(0);
    }
    bool kernelCopy = true;
    for (;;) {
        ssize_t n;
        if (kernelCopy) {
            n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                kernelCopy = false;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) fail(errno == EIO ? 0 : 1);
            if (n == 0) break;
            continue;
        }
        n = ::read(in, buf, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(0);
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buf + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) fail(1);
            done += w;
        }
    }
    ::_exit(0);
}

unsigned currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

class PosixNewFile final : public NewFile, private BufferedFile {
public:
    PosixNewFile(int fd, std::string temp, std::string target, unsigned mode,
                 std::optional<std::pair<unsigned, unsigned>> owner, const Placement& placement)
        : BufferedFile(fd, target),
          temp_(std::move(temp)),
          target_(std::move(target)),
          mode_(mode),
          owner_(owner),
          replace_(placement.replace),
          durable_(placement.durable) {}
    // Every owner closes a file it abandons itself (closeAbandoned) and
    // tells a temporary file left behind.
    ~PosixNewFile() override { ignoreBecause(close(), Untold::DestructorFallback); }

    Status write(std::string_view bytes) override { return BufferedFile::write(bytes); }
    Status flush() override { return BufferedFile::flush(); }
    Status sync() override { return BufferedFile::sync(); }
    // Before commit() the file is abandoned: what it holds is thrown away
    // and the answer is whether its temporary file could be removed.
    Status close() override {
        Status s = BufferedFile::close();
        if (committed_ || temp_.empty()) return s;
        ignoreBecause(s, Untold::Abandoned);
        const std::string temp = std::move(temp_);
        temp_.clear();
        if (::unlink(temp.c_str()) != 0 && errno != ENOENT) return fileError(errno, temp, txt::OpDelete);
        return {};
    }

    Status copyFrom(const std::string& source, const std::function<bool(std::uint64_t)>& progress) override {
        if (auto s = flush(); !s) return s;
        std::vector<char> buf(1 << 20);
        int report[2];
        if (::pipe2(report, O_CLOEXEC) != 0) return fileError(errno, target_, txt::OpWrite);
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid < 0) {
            const int err = errno;
            ::close(report[0]);
            ::close(report[1]);
            return fileError(err, target_, txt::OpWrite);
        }
        if (pid == 0) {
            if (const int err = detachFromParent(parent, fd_, report[1]); err != 0) {
                const CopyFailure f{1, err};
                ignoreBecause(::write(report[1], &f, sizeof f), Untold::ChildExit);
                ::_exit(1);
            }
            copyInChild(source.c_str(), fd_, buf.data(), buf.size(), report[1]);
        }
        ::close(report[1]);
        // The child reports only at its end; meanwhile the file's growing
        // size is the progress, and a stop ends the child where it is.
        if (progress && !watchCopy(report[0], progress)) {
            ::kill(pid, SIGKILL);
            ::close(report[0]);
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
            return stoppedByUser();
        }
        CopyFailure failure;
        ssize_t got;
        do got = ::read(report[0], &failure, sizeof failure);
        while (got < 0 && errno == EINTR);
        ::close(report[0]);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        if (got == static_cast<ssize_t>(sizeof failure))
            return failure.side == 0 ? fileError(failure.err, source, txt::OpRead)
                                     : fileError(failure.err, target_, txt::OpWrite);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return fileError(EIO, target_, txt::OpWrite);
        return {};
    }

    Status commit() override {
        if (fd_ < 0 || temp_.empty()) return fileError(EBADF, target_, txt::OpWrite);
        Status s = durable_ ? BufferedFile::sync() : flush();
        // Not synced now, but on its way to the disk: a sync asked for later
        // (syncFile) then has less to wait for.
        if (s && !durable_) ignoreBecause(::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE), Untold::Hint);
        if (s) s = giveModeAndOwner();
        // Open, and so locked, until it has its place: a job clearing the
        // folder meanwhile never takes it for abandoned.
        // A failure leaves the file open under its temporary name: its owner
        // closes it (closeAbandoned), which removes it and tells a failure to.
        if (s) s = putInPlace();
        if (!s) return s;
        committed_ = true;
        temp_.clear();
        // In place now; a failure of its closing (a write the system
        // deferred) or of the folder's sync is still the commit's.
        s = BufferedFile::close();
        if (s && durable_) s = syncFolderOf(target_);
        return s;
    }

    bool ownerKept() const override { return ownerKept_; }
    const std::string& temporaryPath() const override { return temp_; }

private:
    // Waits until the copying child reports (its end), telling `progress`
    // the file's size every tenth of a second: false when progress asked to stop.
    bool watchCopy(int report, const std::function<bool(std::uint64_t)>& progress) {
        pollfd watched{report, POLLIN, 0};
        for (;;) {
            const int ready = ::poll(&watched, 1, 100);
            if (ready > 0) return true;
            if (ready < 0 && errno != EINTR) return true;
            struct stat st {};
            if (::fstat(fd_, &st) == 0 && !progress(static_cast<std::uint64_t>(st.st_size))) return false;
        }
    }

    Status giveModeAndOwner() {
        const int err = vexla::giveModeAndOwner(fd_, mode_, owner_, &ownerKept_);
        return err == 0 ? Status() : fileError(err, target_, txt::OpWrite);
    }

    Status putInPlace() {
        if (replace_) {
            // Renaming replaces a name, never writes through it; what stands
            // there now must still be a regular file or nothing.
            struct stat st {};
            if (::lstat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
                return Error{fserr::PathFileAccess, "Path/File access error", "Vexla Admin", target_,
                             refusalFor(kindOf(st.st_mode))};
            if (::rename(temp_.c_str(), target_.c_str()) != 0) return fileError(errno, target_, txt::OpRename);
            return {};
        }
        const int err = renameWithoutReplacing(temp_, target_);
        if (err == 0) return {};
        if (err == EEXIST)
            return Error{fserr::FileExists, "File already exists", "Vexla Admin", target_, txt::OpRename};
        return fileError(err, target_, txt::OpRename);
    }

    static Status syncFolderOf(const std::string& path) { return PosixFileSystem().syncFolder(folderOf(path)); }

    std::string temp_, target_;
    unsigned mode_;
    std::optional<std::pair<unsigned, unsigned>> owner_;
    bool replace_, durable_;
    bool committed_ = false, ownerKept_ = true;
};

}  // namespace

FileKind fileKindOf(unsigned mode) { return kindOf(static_cast<mode_t>(mode)); }

const char* refusalFor(FileKind kind) {
    switch (kind) {
        case FileKind::Folder: return txt::FolderWhereFileBelongs;
        case FileKind::Link: return txt::LinkWhereFileBelongs;
        case FileKind::Fifo: return txt::FifoWhereFileBelongs;
        case FileKind::Device: return txt::DeviceWhereFileBelongs;
        case FileKind::Socket: return txt::SocketWhereFileBelongs;
        case FileKind::Missing:
        case FileKind::Regular: break;
    }
    return "";
}

Error fileError(int err, const std::string& path, const char* what) {
    Error e{fserr::PathFileAccess, "Path/File access error", "Vexla Admin", path, what};
    switch (err) {
        case ENOENT:
        case ENOTDIR: {
            struct stat st {};
            if (::stat(folderOf(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                e.number = fserr::PathNotFound;
                e.description = "Path not found";
            } else {
                e.number = fserr::FileNotFound;
                e.description = "File not found";
            }
            break;
        }
        case EACCES:
        case EPERM:
            e.number = fserr::PermissionDenied;
            e.description = "Permission denied";
            break;
        case ENOSPC:
        case EDQUOT:
            e.number = fserr::DiskFull;
            e.description = "Disk full";
            break;
        case ENAMETOOLONG:
            // Said for what it is, whatever was being done: no other text fits.
            e.description.clear();
            e.what = txt::PathTooLong;
            break;
        // The number says little here (an I/O error, a file system mounted
        // read-only, ...): the system's own words go with it.
        default: e.description += std::string(": ") + std::strerror(err); break;
    }
    return e;
}

bool PosixFileSystem::exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

Result<FileInfo> PosixFileSystem::info(const std::string& path, bool follow) {
    struct stat st {};
    if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) == 0) return infoOf(st);
    if (errno == ENOENT || errno == ENOTDIR) return FileInfo{};
    return fileError(errno, path, txt::OpLookUp);
}

// The log is appended to in place, never through a link, and never to a
// FIFO or device (which would block or swallow it).
Result<std::unique_ptr<OutputFile>> PosixFileSystem::openAppend(const std::string& path) {
    const int fd =
        ::open(path.c_str(), O_APPEND | O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) {
        const int err = errno;
        auto there = info(path, false);
        if (there && there->kind != FileKind::Missing && there->kind != FileKind::Regular)
            return Error{fserr::PathFileAccess, "Path/File access error", "Vexla Admin", path, refusalFor(there->kind)};
        return fileError(err, path, txt::OpWrite);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Error{fserr::PathFileAccess, "Path/File access error", "Vexla Admin", path,
                     refusalFor(kindOf(st.st_mode))};
    }
    return std::unique_ptr<OutputFile>(new PosixOutputFile(fd, path));
}

Result<std::unique_ptr<NewFile>> PosixFileSystem::createFile(const std::string& target, const Placement& placement) {
    auto there = info(target, false);
    if (!there) return there.error();
    if (there->kind != FileKind::Missing && there->kind != FileKind::Regular)
        return Error{fserr::PathFileAccess, "Path/File access error", "Vexla Admin", target, refusalFor(there->kind)};
    const bool replacing = there->kind == FileKind::Regular;
    if (replacing && !placement.replace)
        return Error{fserr::FileExists, "File already exists", "Vexla Admin", target, txt::OpCreate};
    if (replacing) {
        for (const std::string& read : placement.protect) {
            auto other = info(read, true);
            if (other && there->sameFile(*other))
                return Error{fserr::PathFileAccess, "Path/File access error", "Vexla Admin", target,
                             txt::FileInUseByJob};
        }
    }
    int fd = -1;
    std::string temp;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = temporaryNameFor(target);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd < 0 && errno != EEXIST) return fileError(errno, target, txt::OpCreate);
        // Locked for as long as it is written, so a later job can tell the
        // file of a killed writer (its lock freed) from one still written.
        if (fd >= 0 && !lockAsOurs(fd, temp)) {
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0) return fileError(EEXIST, target, txt::OpCreate);
    const unsigned mode = placement.mode ? *placement.mode : replacing ? there->mode : 0666 & ~currentUmask();
    auto owner = placement.owner;
    if (!owner && replacing) owner = std::make_pair(there->uid, there->gid);
    return std::unique_ptr<NewFile>(new PosixNewFile(fd, temp, target, mode, owner, placement));
}

Status PosixFileSystem::linkFile(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) return {};
    if (errno == EEXIST) return Error{fserr::FileExists, "File already exists", "Vexla Admin", to, txt::OpLink};
    return fileError(errno, to, txt::OpLink);
}

Result<std::vector<std::string>> PosixFileSystem::removeAbandoned(const std::string& path) {
    return removeIfAbandoned(path);
}

Status PosixFileSystem::removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) return fileError(errno, path, txt::OpDelete);
    return {};
}

Status PosixFileSystem::renameFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return fileError(errno, from, txt::OpRename);
    return {};
}

Result<std::uint64_t> PosixFileSystem::fileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return fileError(errno, path, txt::OpLookUp);
    return static_cast<std::uint64_t>(st.st_size);
}

Status PosixFileSystem::syncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return fileError(errno, path, txt::OpSync);
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0) return fileError(err, path, txt::OpSync);
    return {};
}

Status PosixFileSystem::syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return fileError(errno, folder + "/", txt::OpSync);
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0) return fileError(err, folder + "/", txt::OpSync);
    return {};
}

Result<std::vector<std::string>> PosixFileSystem::listFolder(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return fileError(errno, folder + "/", txt::OpRead);
    std::vector<std::string> names;
    // readdir answers the end and a failure alike, telling them by errno.
    for (errno = 0; const dirent* entry = ::readdir(dir); errno = 0) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    const int err = errno;
    ::closedir(dir);
    if (err != 0) return fileError(err, folder + "/", txt::OpRead);
    return names;
}

Result<std::uint64_t> PosixFileSystem::availableBytes(const std::string& folder) {
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0) return fileError(errno, folder + "/", txt::OpLookUp);
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

bool PosixFileSystem::writable(const std::string& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace vexla
