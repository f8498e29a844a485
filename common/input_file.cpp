#include "common/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/posix_file_system.h"
#include "texts/text_codes.h"

namespace vexla {

namespace {

constexpr FileKind kRefusedKinds[] = {FileKind::Fifo, FileKind::Device, FileKind::Folder, FileKind::Socket};

}  // namespace

Result<InputFile> InputFile::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        // A folder refuses O_RDONLY opens on no system we run on, but its
        // refusal is the same as the fstat's below either way.
        if (errno == EISDIR)
            return Error{fserr::PathFileAccess, "", "Vexla Admin", path, readingRefusalFor(FileKind::Folder)};
        return fileError(errno, path);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return fileError(err, path, txt::OpRead);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return Error{fserr::PathFileAccess, "", "Vexla Admin", path, readingRefusalFor(fileKindOf(st.st_mode))};
    }
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        const int err = errno;
        ::close(fd);
        return fileError(err, path, txt::OpRead);
    }
    return InputFile(fd, static_cast<std::uint64_t>(st.st_size));
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

const char* readingRefusalFor(FileKind kind) {
    switch (kind) {
        case FileKind::Fifo: return txt::FifoNotRead;
        case FileKind::Device: return txt::DeviceNotRead;
        case FileKind::Folder: return txt::FolderNotRead;
        case FileKind::Socket: return txt::SocketNotRead;
        case FileKind::Link:
        case FileKind::Missing:
        case FileKind::Regular: break;
    }
    return "";
}

FileKind refusedKind(const Error& error) {
    for (FileKind kind : kRefusedKinds)
        if (error.what == readingRefusalFor(kind)) return kind;
    return FileKind::Regular;
}

}  // namespace vexla
