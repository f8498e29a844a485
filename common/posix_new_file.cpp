#include "common/posix_new_file.h"
#include "texts/text_codes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/file_placement.h"
#include "common/paths.h"
#include "common/posix_copy.h"
#include "common/posix_file_system.h"
#include "common/temporary_files.h"

namespace vexla {

namespace {

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

unsigned currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Where a new file is written until it takes its place: its temporary name
// and, for one made privately, the folder that keeps it.
struct TemporaryPlace {
    int fd = -1;
    std::string path;
    std::unique_ptr<PrivateFolder> folder;
};

class PosixNewFile final : public NewFile, private BufferedFile {
public:
    PosixNewFile(TemporaryPlace place, std::string target, unsigned mode,
                 std::optional<std::pair<unsigned, unsigned>> owner, const Placement& placement)
        : BufferedFile(place.fd, target),
          temp_(std::move(place.path)),
          folder_(std::move(place.folder)),
          target_(std::move(target)),
          mode_(mode),
          owner_(owner),
          replace_(placement.replace),
          durable_(placement.durable) {}
    // Every owner closes a file it abandons itself (closeAbandoned) and
    // tells a temporary file left behind.
    ~PosixNewFile() override { ignoreBecause(close(), Untold::DestructorFallback); }

    Status write(std::string_view bytes) override {
        if (auto s = BufferedFile::write(bytes); !s) return s;
        given_ += bytes.size();
        if (durable_ && given_ - toDisk_ >= kWriteBackEvery) startWriteBack();
        return {};
    }
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
        const int err = ::unlink(temp.c_str()) != 0 && errno != ENOENT ? errno : 0;
        // The engine's side files go with the private folder.
        if (folder_) folder_->remove();
        return err == 0 ? Status() : Status(fileError(err, temp, txt::OpDelete));
    }

    Status copyFrom(const std::string& source, const std::function<bool(std::uint64_t)>& progress) override {
        if (auto s = flush(); !s) return s;
        return copyIntoInChild(source, fd_, target_, progress);
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
        if (folder_) folder_->remove();
        // In place now; a failure of its closing (a write the system
        // deferred) or of the folder's sync is still the commit's.
        s = BufferedFile::close();
        if (s && durable_) s = PosixFileSystem().syncFolder(folderOf(target_));
        return s;
    }

    bool ownerKept() const override { return ownerKept_; }
    const std::string& temporaryPath() const override { return temp_; }

private:
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
                return fileRefusal(target_, kindOf(st.st_mode));
            if (::rename(temp_.c_str(), target_.c_str()) != 0) return fileError(errno, target_, txt::OpRename);
            return {};
        }
        const int err = renameWithoutReplacing(temp_, target_);
        if (err == 0) return {};
        if (err == EEXIST)
            return Error{fserr::FileExists, "File already exists", "Vexla Admin", target_, txt::OpRename};
        return fileError(err, target_, txt::OpRename);
    }

    std::string temp_;
    std::unique_ptr<PrivateFolder> folder_;
    std::string target_;
    unsigned mode_;
    std::optional<std::pair<unsigned, unsigned>> owner_;
    // A durable file's bytes are sent on their way to the disk every few
    // megabytes while the rest is written, so that the sync at the commit
    // waits for the last of them only.
    static constexpr std::uint64_t kWriteBackEvery = 8 << 20;
    void startWriteBack() {
        ignoreBecause(::sync_file_range(fd_, static_cast<off_t>(toDisk_), static_cast<off_t>(given_ - toDisk_),
                                        SYNC_FILE_RANGE_WRITE),
                      Untold::Hint);
        toDisk_ = given_;
    }

    bool replace_, durable_;
    std::uint64_t given_ = 0, toDisk_ = 0;
    bool committed_ = false, ownerKept_ = true;
};

// A standard stream written in place: nothing to sync, rename or remove.
class PosixStreamFile final : public NewFile, private BufferedFile {
public:
    PosixStreamFile(int fd, std::string name) : BufferedFile(fd, std::move(name)) {}
    ~PosixStreamFile() override { ignoreBecause(close(), Untold::DestructorFallback); }
    Status write(std::string_view bytes) override { return BufferedFile::write(bytes); }
    Status flush() override { return BufferedFile::flush(); }
    // A pipe or a terminal keeps nothing to make durable.
    Status sync() override { return BufferedFile::flush(); }
    Status close() override { return BufferedFile::close(); }
    Status copyFrom(const std::string& source, const std::function<bool(std::uint64_t)>& progress) override {
        if (auto s = flush(); !s) return s;
        return copyIntoInChild(source, fd_, path_, progress);
    }
    const std::string& temporaryPath() const override { return none_; }
    Status commit() override { return BufferedFile::close(); }
    bool ownerKept() const override { return true; }

private:
    const std::string none_;
};

// A fresh file beside `target` under a name nobody can guess, locked as ours.
Result<TemporaryPlace> besideTarget(const std::string& target) {
    TemporaryPlace place;
    for (int attempt = 0; place.fd < 0 && attempt < 100; ++attempt) {
        place.path = temporaryNameFor(target);
        place.fd = ::open(place.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
        if (place.fd < 0 && errno != EEXIST) return fileError(errno, target, txt::OpCreate);
        // Locked for as long as it is written, so a later job can tell the
        // file of a killed writer (its lock freed) from one still written.
        if (place.fd >= 0 && !lockAsOurs(place.fd, place.path)) {
            ::close(place.fd);
            place.fd = -1;
        }
    }
    if (place.fd < 0) return fileError(EEXIST, target, txt::OpCreate);
    return place;
}

// A fresh file in a private folder beside `target`; the folder's lock
// stands for the file's. Its name is short, as the engine names its side
// files after it (a target's name may be as long as the system allows).
Result<TemporaryPlace> inPrivateFolder(const std::string& target) {
    TemporaryPlace place;
    place.folder = std::make_unique<PrivateFolder>();
    if (const int err = place.folder->make(folderOf(target)); err != 0) return fileError(err, target, txt::OpCreate);
    place.path = place.folder->path() + "/new";
    place.fd = ::open(place.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (place.fd < 0) return fileError(errno, target, txt::OpCreate);
    return place;
}

}  // namespace

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

std::unique_ptr<OutputFile> appendingFile(int fd, std::string path) {
    return std::make_unique<PosixOutputFile>(fd, std::move(path));
}

Result<std::unique_ptr<NewFile>> startNewFile(const std::string& target, const FileInfo& there,
                                              const Placement& placement) {
    auto place = placement.privately ? inPrivateFolder(target) : besideTarget(target);
    if (!place) return place.error();
    const bool replacing = there.kind == FileKind::Regular;
    const unsigned mode = placement.mode ? *placement.mode : replacing ? there.mode : 0666 & ~currentUmask();
    auto owner = placement.owner;
    if (!owner && replacing) owner = std::make_pair(there.uid, there.gid);
    return std::unique_ptr<NewFile>(new PosixNewFile(std::move(*place), target, mode, owner, placement));
}

Result<std::unique_ptr<NewFile>> streamFile(const std::string& name) {
    const int fd = ::fcntl(name == "/dev/stderr" ? STDERR_FILENO : STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) return fileError(errno, name, txt::OpWrite);
    return std::unique_ptr<NewFile>(new PosixStreamFile(fd, name));
}

}  // namespace vexla
