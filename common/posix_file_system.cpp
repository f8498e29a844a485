#include "common/posix_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace vexla {

namespace {

std::string parentFolder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

class PosixOutputFile final : public OutputFile {
public:
    PosixOutputFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixOutputFile() override { (void)close(); }

    Status write(std::string_view bytes) override {
        if (fd_ < 0) return Error{fserr::PathFileAccess, "Bad file name or number", "Vexla Admin"};
        if (buffer_.size() + bytes.size() > kBufferSize) {
            if (auto s = flush(); !s) return s;
        }
        if (bytes.size() >= kBufferSize) return writeAll(bytes);
        buffer_.append(bytes);
        return {};
    }

    Status flush() override {
        if (buffer_.empty()) return {};
        auto s = writeAll(buffer_);
        buffer_.clear();
        return s;
    }

    Status sync() override {
        if (auto s = flush(); !s) return s;
        if (fd_ >= 0 && ::fsync(fd_) != 0) return fileError(errno, path_);
        return {};
    }

    Status close() override {
        if (fd_ < 0) return {};
        Status s = flush();
        if (::close(fd_) != 0 && s) s = fileError(errno, path_);
        fd_ = -1;
        return s;
    }

private:
    static constexpr size_t kBufferSize = 1 << 16;

    Status writeAll(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                return fileError(errno, path_);
            }
            bytes.remove_prefix(static_cast<size_t>(n));
        }
        return {};
    }

    int fd_;
    std::string path_;
    std::string buffer_;
};

Result<std::unique_ptr<OutputFile>> openWith(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return fileError(errno, path);
    return std::unique_ptr<OutputFile>(new PosixOutputFile(fd, path));
}

}  // namespace

Error fileError(int err, const std::string& path) {
    switch (err) {
        case ENOENT:
        case ENOTDIR: {
            struct stat st {};
            if (::stat(parentFolder(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                return {fserr::PathNotFound, "Path not found", "Vexla Admin"};
            return {fserr::FileNotFound, "File not found", "Vexla Admin"};
        }
        case EACCES:
        case EPERM: return {fserr::PermissionDenied, "Permission denied", "Vexla Admin"};
        case ENOSPC:
        case EDQUOT: return {fserr::DiskFull, "Disk full", "Vexla Admin"};
        default: return {fserr::PathFileAccess, "Path/File access error", "Vexla Admin"};
    }
}

bool PosixFileSystem::exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

Result<std::unique_ptr<OutputFile>> PosixFileSystem::openAppend(const std::string& path) {
    return openWith(path, O_APPEND);
}

Result<std::unique_ptr<OutputFile>> PosixFileSystem::openWrite(const std::string& path) {
    return openWith(path, O_TRUNC);
}

namespace {

// What the copying child reports back when it fails: which side, and errno.
struct CopyFailure {
    int side = 0;  // 0 reading the source, 1 writing the copy
    int err = 0;
};

// The child's work: only system calls, nothing that allocates (the parent may
// have other threads, and the child has only a copy of this one).
[[noreturn]] void copyInChild(const char* from, const char* to, char* buf, std::size_t size, int report) {
    const auto fail = [&](int side) {
        const CopyFailure f{side, errno};
        (void)!::write(report, &f, sizeof f);
        ::_exit(1);
    };
    const int in = ::open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0) fail(0);
    const int out = ::open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) fail(1);
    for (;;) {
        const ssize_t n = ::read(in, buf, size);
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
    if (::close(out) != 0) fail(1);
    ::_exit(0);
}

}  // namespace

// The bytes are copied by a child process. A process loses every POSIX record
// lock it holds on a file as soon as it closes any descriptor of that file;
// the database engine's lock on a database that is being copied while its
// connection holds it must survive the copy, and a child's descriptors are
// its own.
Status PosixFileSystem::copyFile(const std::string& from, const std::string& to) {
    std::vector<char> buf(1 << 20);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return fileError(errno, to);
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int err = errno;
        ::close(report[0]);
        ::close(report[1]);
        return fileError(err, to);
    }
    if (pid == 0) {
        ::close(report[0]);
        copyInChild(from.c_str(), to.c_str(), buf.data(), buf.size(), report[1]);
    }
    ::close(report[1]);
    CopyFailure failure;
    ssize_t got;
    do got = ::read(report[0], &failure, sizeof failure);
    while (got < 0 && errno == EINTR);
    ::close(report[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (got == static_cast<ssize_t>(sizeof failure)) return fileError(failure.err, failure.side == 0 ? from : to);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return fileError(EIO, to);
    return {};
}

Status PosixFileSystem::removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) return fileError(errno, path);
    return {};
}

Status PosixFileSystem::renameFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return fileError(errno, from);
    return {};
}

Status PosixFileSystem::syncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fileError(errno, path);
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0) return fileError(err, path);
    return {};
}

Result<std::uint64_t> PosixFileSystem::fileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return fileError(errno, path);
    return static_cast<std::uint64_t>(st.st_size);
}

Status PosixFileSystem::syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return fileError(errno, folder + "/");
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0) return fileError(err, folder + "/");
    return {};
}

Result<std::uint64_t> PosixFileSystem::availableBytes(const std::string& folder) {
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0) return fileError(errno, folder + "/");
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

}  // namespace vexla
