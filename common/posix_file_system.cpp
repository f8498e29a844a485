#include "common/posix_file_system.h"
#include "texts/text_codes.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/paths.h"
#include "common/posix_new_file.h"
#include "common/temporary_files.h"
#include "common/write_target.h"

namespace vexla {

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

Error fileRefusal(const std::string& path, const char* code) {
    return Error{fserr::PathFileAccess, "Path/File access error", "Vexla Admin", path, code};
}

Error fileRefusal(const std::string& path, FileKind kind) { return fileRefusal(path, refusalFor(kind)); }

bool isStandardStream(const std::string& path) { return path == "/dev/stdout" || path == "/dev/stderr"; }

Error fileError(int err, const std::string& path, const char* what) {
    Error e{fserr::PathFileAccess, "Path/File access error", "Vexla Admin", path, what};
    e.systemNumber = err;
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

Result<std::string> PosixFileSystem::realPath(const std::string& path) {
    char real[PATH_MAX];
    if (!::realpath(path.c_str(), real)) return fileError(errno, path, txt::OpLookUp);
    return std::string(real);
}

Result<std::string> PosixFileSystem::readSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return fileError(errno, path, txt::OpRead);
    std::string text;
    char block[4096];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return fileError(err, path, txt::OpRead);
        }
        if (n == 0 || text.size() > (1 << 20)) break;
        text.append(block, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

namespace {

// Whether the symbolic link `link` (lstat: `st`) may be followed to the
// log: made by the user who runs the job, or by the owner of its folder
// where nobody else may write in that folder. A link another user planted
// in a folder open to others is never followed.
bool trustedLink(const std::string& link, const struct stat& st) {
    if (st.st_uid == ::geteuid()) return true;
    struct stat folder {};
    return ::stat(folderOf(link).c_str(), &folder) == 0 && folder.st_uid == st.st_uid && (folder.st_mode & 022) == 0;
}

}  // namespace

// The log is appended to in place, through a trusted symbolic link too (its
// real file may live elsewhere), and never to a FIFO or device (which would
// block or swallow it): opened without blocking, then looked at. A link
// swapped for another between the look and the opening is refused.
Result<std::unique_ptr<OutputFile>> PosixFileSystem::openAppend(const std::string& path) {
    struct stat named {};
    const bool link = ::lstat(path.c_str(), &named) == 0 && S_ISLNK(named.st_mode);
    if (link && !trustedLink(path, named)) return fileRefusal(path, FileKind::Link);
    const int fd =
        ::open(path.c_str(),
               O_APPEND | O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (link ? 0 : O_NOFOLLOW), 0666);
    if (fd < 0) {
        const int err = errno;
        auto there = info(path, link);
        if (there && there->kind != FileKind::Missing && there->kind != FileKind::Regular)
            return fileRefusal(path, there->kind);
        return fileError(err, path, txt::OpWrite);
    }
    struct stat st {
    }, again{};
    const bool same =
        !link || (::lstat(path.c_str(), &again) == 0 && again.st_ino == named.st_ino && again.st_dev == named.st_dev);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !same) {
        ::close(fd);
        return fileRefusal(path, same ? kindOf(st.st_mode) : FileKind::Link);
    }
    return appendingFile(fd, path);
}

Result<std::unique_ptr<NewFile>> PosixFileSystem::createFile(const std::string& target, const Placement& placement) {
    if (auto s = checkWriteTarget(*this, target, placement); !s) return s.error();
    if (isStandardStream(target)) return streamFile(target);
    auto there = info(target, false);
    if (!there) return there.error();
    return startNewFile(target, *there, placement);
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
