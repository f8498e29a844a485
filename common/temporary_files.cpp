#include "common/temporary_files.h"
#include "texts/text_codes.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "common/paths.h"
#include "common/posix_file_system.h"
#include "common/unique_fd.h"

namespace vexla {

namespace {

constexpr std::string_view kFileMarker = ".vexla-", kFileEnd = ".part", kFolderStart = ".vexla-compact-";

bool randomLetters(std::string_view s) {
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

// The same node: lstat of the name against fstat of the descriptor.
bool sameNode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Deletes the regular files in the folder open as `fd` (the engine's
// journal beside the new file, the file itself when it was never moved).
void removeContents(int fd) {
    const int listed = ::dup(fd);
    if (listed < 0) return;
    DIR* dir = ::fdopendir(listed);
    if (!dir) {
        ::close(listed);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(dir);
}

}  // namespace

bool isTemporaryFileName(std::string_view name) {
    const std::size_t tail = kFileMarker.size() + 8 + kFileEnd.size();
    if (name.size() <= tail || !name.ends_with(kFileEnd)) return false;
    const std::string_view marked = name.substr(name.size() - tail);
    return marked.starts_with(kFileMarker) && randomLetters(marked.substr(kFileMarker.size(), 8));
}

bool isPrivateFolderName(std::string_view name) {
    return name.size() == kFolderStart.size() + 6 && name.starts_with(kFolderStart) &&
           randomLetters(name.substr(kFolderStart.size()));
}

std::string temporaryNameFor(const std::string& target) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char random[8] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // No entropy source: the clock and the process still make a guess
        // unlikely, and O_EXCL makes a planted name fail, not follow.
        std::uint64_t seed =
            static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(::clock());
        for (unsigned char& c : random) c = static_cast<unsigned char>(seed >>= 7);
    }
    std::string name = target + std::string(kFileMarker);
    for (unsigned char c : random) name += letters[c % (sizeof letters - 1)];
    return name + std::string(kFileEnd);
}

bool lockAsOurs(int fd, const std::string& path) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
    struct stat opened {
    }, named{};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && sameNode(opened, named);
}

int PrivateFolder::make(const std::string& parent) {
    remove();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string made = parent + "/" + std::string(kFolderStart) + "XXXXXX";
        if (!::mkdtemp(made.data())) return errno;
        const int fd = ::open(made.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            const int err = errno;
            ::rmdir(made.c_str());
            return err;
        }
        if (lockAsOurs(fd, made)) {
            path_ = std::move(made);
            fd_ = fd;
            return 0;
        }
        ::close(fd);  // another job's cleanup took it for abandoned and removes it
    }
    return EEXIST;
}

void PrivateFolder::remove() {
    if (fd_ < 0) return;
    removeContents(fd_);
    ::rmdir(path_.c_str());
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

Result<std::vector<std::string>> removeIfAbandoned(const std::string& path) {
    std::vector<std::string> removed;
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0) return removed;  // gone meanwhile: nothing to do
    // A private folder's name on a folder, a temporary file's on a regular file.
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const bool folder = isPrivateFolderName(name);
    if (!(folder ? S_ISDIR(named.st_mode) : isTemporaryFileName(name) && S_ISREG(named.st_mode)) ||
        named.st_uid != ::geteuid())
        return removed;
    const UniqueFd fd(
        ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (folder ? O_DIRECTORY : 0)));
    if (!fd) return removed;
    struct stat opened {};
    // Locked: its writer is alive. The lock taken here is held while the
    // file goes, so no writer can take the name back meanwhile.
    if (::fstat(fd.get(), &opened) != 0 || !sameNode(opened, named) || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return removed;
    if (folder) {
        removeContents(fd.get());
        if (::rmdir(path.c_str()) != 0) return fileError(errno, path + "/", txt::OpDelete);
        removed.push_back(path);
        return removed;
    }
    if (::unlink(path.c_str()) != 0) return fileError(errno, path, txt::OpDelete);
    removed.push_back(path);
    // The engine's files of a temporary database (an interval copy is pruned
    // under its temporary name) and the lock file of its opening: of no use
    // without it, and their writer was the one just found gone.
    for (const char* suffix : {"-journal", "-wal", "-shm", ".lock"}) {
        const std::string companion = path + suffix;
        struct stat st {};
        if (::lstat(companion.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (::unlink(companion.c_str()) != 0) return fileError(errno, companion, txt::OpDelete);
        removed.push_back(companion);
    }
    return removed;
}

AbandonedCleanup removeAbandonedFiles(FileSystem& files, const std::string& folder) {
    AbandonedCleanup cleanup;
    auto names = files.listFolder(folder);
    if (!names) {
        cleanup.unlisted = names.error();
        return cleanup;
    }
    for (const std::string& name : *names) {
        if (!isTemporaryFileName(name) && !isPrivateFolderName(name)) continue;
        auto removed = files.removeAbandoned(folder + kPathSeparator + name);
        if (!removed) {
            cleanup.failures.push_back(removed.error());
            continue;
        }
        cleanup.removed.insert(cleanup.removed.end(), removed->begin(), removed->end());
    }
    if (!cleanup.removed.empty()) {
        if (auto s = files.syncFolder(folder); !s) cleanup.unsynced = s.error();
    }
    return cleanup;
}

}  // namespace vexla
