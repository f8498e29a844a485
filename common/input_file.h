// Opening a file the program reads: a settings file (Vexla.ini, Lang.ini),
// a register file to import, a mapping file. Only a regular file is read:
// a FIFO, a device, a folder or a socket is refused at once, never waited
// for and never read without end (a link to /dev/zero).
#pragma once

#include <cstdint>
#include <string>

#include "common/platform/file_system.h"
#include "common/result.h"

namespace vexla {

// An open regular file, closed when this goes.
class InputFile {
public:
    // Opens `path` for reading. The open does not block (O_NONBLOCK, so a
    // FIFO nobody writes to is no wait; O_NOCTTY, so a terminal never
    // becomes the controlling one), the descriptor's own kind is then
    // checked, and O_NONBLOCK is cleared for the reads of a regular file.
    // A failure is the open's file error (fileError: 53 or 76 for a missing
    // file, 70 without permission), or
    // for a file of another kind 75 naming the path with the refusal of its
    // kind as Error::what (readingRefusalFor).
    static Result<InputFile> open(const std::string& path);

    InputFile(InputFile&& other) noexcept : fd_(other.fd_), size_(other.size_) { other.fd_ = -1; }
    InputFile& operator=(InputFile&&) = delete;
    ~InputFile();

    int fd() const { return fd_; }
    std::uint64_t size() const { return size_; }
    // Hands the descriptor over to the caller, who closes it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    InputFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_;
    std::uint64_t size_;
};

// The text code that refuses to read a file of `kind` ("" for a regular or
// missing one).
const char* readingRefusalFor(FileKind kind);
// The kind a refusal of InputFile::open names; Regular for any other error.
FileKind refusedKind(const Error& error);

}  // namespace vexla
