// The temporary files and folders a job makes beside the user's files, and
// how a later job tells one that was abandoned (its writer killed) from
// anything else. Each carries ".vexla-" in its name followed by random
// letters ("KundReg.skv.vexla-Xk3v9QzA.part", ".vexla-compact-Q2x9aB"), and
// its writer holds flock(LOCK_EX) on it for as long as it lives: the kernel
// frees that lock when the writer dies, however it dies. A name without the
// marker, a node of another kind, another user's file or one still locked is
// never ours to remove.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/file_system.h"

namespace vexla {

// "<target>.vexla-" + 8 letters or digits + ".part": a file being written.
bool isTemporaryFileName(std::string_view name);
// ".vexla-compact-" + 6 letters or digits: a compaction's private folder.
bool isPrivateFolderName(std::string_view name);

// The temporary file name for `target`, with 8 random letters.
std::string temporaryNameFor(const std::string& target);

// Takes the lifelong lock on `fd`, just opened under `path`, without
// waiting: true when it is taken and `path` still names that file. False
// when a cleanup got there first (it then removes the file): the caller
// drops it and makes another.
bool lockAsOurs(int fd, const std::string& path);

// A folder of this process's own beside the user's files: mode 0700, named
// ".vexla-compact-XXXXXX" in `parent`, locked while this object lives.
// Nobody can plant a link in it or open what is in it before it is moved
// out. Removed, with what is in it, by remove() or the destructor.
class PrivateFolder {
public:
    PrivateFolder() = default;
    ~PrivateFolder() { remove(); }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    // Makes the folder: 0, or the errno of the step that failed.
    [[nodiscard]] int make(const std::string& parent);
    const std::string& path() const { return path_; }
    // Deletes the files in it and the folder, then lets go of its lock.
    void remove();

private:
    std::string path_;
    int fd_ = -1;
};

// What FileSystem::removeAbandoned does on a POSIX system: when `path` is a
// temporary file's name on a regular file, or a private folder's name on a
// folder, owned by this process's user and its lock free, it is removed
// under that lock (a folder with the regular files in it; a file with an
// SQLite "-journal", "-wal", "-shm" or ".lock" of ours beside it) and the answer
// names every path removed. Anything else: nothing removed, an empty answer.
Result<std::vector<std::string>> removeIfAbandoned(const std::string& path);

// Removes every abandoned temporary file and private folder in `folder`
// (by name, then by FileSystem::removeAbandoned). The paths removed, and
// the failures met on the way: a path that could not be removed (each
// naming its file), the folder's listing (then nothing was looked for) and
// its sync after the removals.
struct AbandonedCleanup {
    std::vector<std::string> removed;
    std::vector<Error> failures;
    std::optional<Error> unlisted, unsynced;
};
AbandonedCleanup removeAbandonedFiles(FileSystem& files, const std::string& folder);

}  // namespace vexla
