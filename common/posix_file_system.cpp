#include "common/posix_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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

Status PosixFileSystem::copyFile(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return fileError(errno, from);
    auto out = openWrite(to);
    if (!out) {
        ::close(in);
        return out.error();
    }
    std::vector<char> buf(1 << 20);
    Status status;
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            status = fileError(errno, from);
            break;
        }
        if (n == 0) break;
        if (status = (*out)->write({buf.data(), static_cast<size_t>(n)}); !status) break;
    }
    ::close(in);
    Status closed = (*out)->close();
    return status ? closed : status;
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
