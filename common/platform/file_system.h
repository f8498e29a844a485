// The file operations the jobs need. Failures carry the file-system error
// numbers the program reports (53 file not found, 76 path not found,
// 70 permission denied, 61 disk full, 75 path/file access error), and name
// the file and, as a text code, the operation (Error::file, Error::what).
//
// Every file the program writes goes through createFile: the bytes go to a
// fresh file beside the target, created O_EXCL|O_NOFOLLOW under a name
// nobody can guess, so no link or node planted under any name the job uses
// is ever written through, and locked while it is written (a killed job's
// file is known by its lock, free, and removed by the next job on that
// folder: common/temporary_files.h); commit() syncs it, gives it its mode and owner
// and renames it over the target, then syncs the folder. A target that is
// not a regular file, or that is one of the files the job reads, or the
// database or one of its own files under any name, is refused before a byte
// is written (checkWriteTarget, common/write_target.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "texts/text_codes.h"

namespace vexla {

namespace fserr {
constexpr long FileNotFound = 53;
constexpr long FileExists = 58;
constexpr long DiskFull = 61;
constexpr long PermissionDenied = 70;
constexpr long PathFileAccess = 75;
constexpr long PathNotFound = 76;
}  // namespace fserr

enum class FileKind { Missing, Regular, Folder, Link, Fifo, Device, Socket };

// What lstat (or stat, through links) says about a path.
struct FileInfo {
    FileKind kind = FileKind::Missing;
    unsigned mode = 0;  // permission bits
    unsigned uid = 0, gid = 0;
    std::uint64_t dev = 0, ino = 0, size = 0;
    bool sameFile(const FileInfo& o) const { return kind != FileKind::Missing && dev == o.dev && ino == o.ino; }
};

// The refusal text code for a kind that is not a regular file ("" for one).
const char* refusalFor(FileKind kind);
// A file step refused for what stands at `path` (75, naming the file, the
// refusal's text code as what was refused): `code`, or refusalFor(kind).
Error fileRefusal(const std::string& path, const char* code);
Error fileRefusal(const std::string& path, FileKind kind);
// "/dev/stdout" and "/dev/stderr": the names of the standard streams.
bool isStandardStream(const std::string& path);
// The kind of st_mode's file type bits.
FileKind fileKindOf(unsigned mode);

// An open file being written. Writes are buffered; sync() makes them durable.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    virtual Status write(std::string_view bytes) = 0;
    virtual Status flush() = 0;
    virtual Status sync() = 0;
    virtual Status close() = 0;
};

// How a new file takes its target's place.
struct Placement {
    // false: the target name must be free; a name taken meanwhile is 58.
    bool replace = true;
    // The permission bits; default: those of the regular file replaced, or
    // 0666 less the umask for a new name.
    std::optional<unsigned> mode;
    // The owner and group (given away where the system permits); default:
    // those of the regular file replaced.
    std::optional<std::pair<unsigned, unsigned>> owner;
    // Synced before the rename (a file deleted at the end of the job need not be).
    bool durable = true;
    // The files the job reads: a target that is one of them, through any
    // path or link, is refused (IsInUse).
    std::vector<std::string> protect;
    // The database the job works on: the target may be neither it nor a
    // file the engine keeps beside it (its -journal, -wal, -shm, and our
    // .lock), under any name (a hard or symbolic link, a relative path),
    // whether that file exists now or not (TargetIsTheDatabase).
    std::string database;
    // The product is text: "/dev/stdout" and "/dev/stderr" name the
    // standard streams and are written in place (a pipe or a terminal
    // too). Otherwise they are refused (StreamNotADatabaseTarget).
    bool toStream = false;
    // Made in a folder of its own (mode 0700) beside the target, for a file
    // another program (the engine) writes by its path, side files and all:
    // nobody can plant a link among them or open them before the rename.
    bool privately = false;
};

// A file written under a temporary name until commit() puts it in place.
// close() before commit() abandons it: the temporary file is removed, and
// the answer is whether it could be (a file error naming it, Remove); the
// destructor does the same for an owner that did not close it.
class NewFile : public OutputFile {
public:
    // Appends the bytes of `source` (a clone of its blocks where the file
    // system shares them). Read in a child process: closing a descriptor of
    // a database file would drop its engine's locks in this one.
    // `progress`, when given, hears the bytes copied now and then; answering
    // false stops the copy, which then ends with stoppedByUser().
    virtual Status copyFrom(const std::string& source, const std::function<bool(std::uint64_t)>& progress = {}) = 0;
    // The temporary file's path until commit(): another program (the
    // engine) may change the new file there before it takes its place.
    virtual const std::string& temporaryPath() const = 0;
    // Syncs, sets mode and owner, renames over the target, syncs the folder.
    // A failure before the rename leaves the file under its temporary name
    // for close() to remove; one after it (closing, the folder's sync) leaves
    // it in place.
    virtual Status commit() = 0;
    // After commit: whether the owner asked for could be given.
    virtual bool ownerKept() const = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // A regular file (or a link to one) is there.
    virtual bool exists(const std::string& path) = 0;
    // The path with every symbolic link resolved; an error when it cannot be.
    virtual Result<std::string> realPath(const std::string& path) = 0;
    // The text of a small file the system makes (a /proc entry), whole.
    virtual Result<std::string> readSmallFile(const std::string& path) = 0;
    // lstat, or stat when `follow`; a missing path is FileKind::Missing, not an error.
    virtual Result<FileInfo> info(const std::string& path, bool follow) = 0;
    // Opens the activity log for appending, creating it when missing: a
    // regular file or a symbolic link to one; anything else at its name is
    // refused (fileRefusal).
    virtual Result<std::unique_ptr<OutputFile>> openAppend(const std::string& path) = 0;
    // Starts a file that will replace (or take the free name) `target`.
    virtual Result<std::unique_ptr<NewFile>> createFile(const std::string& target, const Placement& placement) = 0;
    // A second name for a file; never replaces anything (58 when taken).
    virtual Status linkFile(const std::string& from, const std::string& to) = 0;
    virtual Status removeFile(const std::string& path) = 0;
    // Removes `path` when it is a temporary file or folder a killed job
    // left (common/temporary_files.h: ours, of its kind, its lock free),
    // answering every path removed; anything else stays (an empty answer).
    virtual Result<std::vector<std::string>> removeAbandoned(const std::string& path) = 0;
    virtual Status renameFile(const std::string& from, const std::string& to) = 0;
    virtual Status syncFolder(const std::string& folder) = 0;
    // Writes a file's content to the disk; a link is not followed (an error).
    // Only for a file no engine connection of this process has open: the
    // descriptor it closes would take that connection's locks with it.
    virtual Status syncFile(const std::string& path) = 0;
    // The names in a folder.
    virtual Result<std::vector<std::string>> listFolder(const std::string& folder) = 0;
    // The size of a file in bytes.
    virtual Result<std::uint64_t> fileSize(const std::string& path) = 0;
    virtual Result<std::uint64_t> availableBytes(const std::string& folder) = 0;
    // The user may make files in the folder (false for a missing one).
    virtual bool writable(const std::string& folder) = 0;
};

}  // namespace vexla
