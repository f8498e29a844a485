#include "transfer/standard_streams.h"
#include "texts/text_codes.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "common/platform/file_system.h"
#include "common/posix_file_system.h"

namespace vexla::transfer {

namespace {

constexpr std::size_t kBlock = 1 << 16;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

}  // namespace

ScratchFolder::ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexla-transfer.XXXXXX";
    if (::mkdtemp(pattern.data()))
        path_ = pattern;
    else
        made_ = fileError(errno, pattern, txt::OpCreate);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);  // a leftover in TMPDIR harms nobody
}

Status receiveStream(std::FILE* from, const std::string& path, JobProgress* progress) {
    File to(std::fopen(path.c_str(), "wbx"), std::fclose);
    if (!to) return fileError(errno, path, txt::OpCreate);
    std::vector<char> block(kBlock);
    std::uint64_t copied = 0;
    for (;;) {
        if (progress && progress->stopRequested()) return stoppedByUser();
        const std::size_t got = std::fread(block.data(), 1, block.size(), from);
        if (got > 0 && std::fwrite(block.data(), 1, got, to.get()) != got) return fileError(errno, path, txt::OpWrite);
        copied += got;
        if (progress) progress->report(copied, 0, ProgressUnit::Bytes);
        if (got < block.size()) {
            if (std::ferror(from)) return fileError(errno, "-", txt::OpRead);
            break;
        }
    }
    if (std::fflush(to.get()) != 0) return fileError(errno, path, txt::OpWrite);
    return {};
}

Status sendFile(const std::string& path, std::FILE* to) {
    File from(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!from) return fileError(errno, path, txt::OpRead);
    std::vector<char> block(kBlock);
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), from.get());
        if (got > 0 && std::fwrite(block.data(), 1, got, to) != got) return fileError(errno, "-", txt::OpWrite);
        if (got < block.size()) {
            if (std::ferror(from.get())) return fileError(errno, path, txt::OpRead);
            break;
        }
    }
    if (std::fflush(to) != 0) return fileError(errno, "-", txt::OpWrite);
    return {};
}

Status standardOutputTakesWrites(std::FILE* out) {
    const int fd = ::fileno(out);
    pollfd watched{fd, POLLOUT, 0};
    // A pipe's writing end reports an error once its reader is gone; an
    // empty write to it would answer nothing.
    if (::poll(&watched, 1, 0) > 0 && (watched.revents & POLLERR)) return fileError(EPIPE, "-", txt::OpWrite);
    if (::write(fd, "", 0) < 0) return fileError(errno, "-", txt::OpWrite);
    return {};
}

bool OutputWatch::lost() {
    if (!found_) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now < next_) return false;
    next_ = now + std::chrono::milliseconds(250);
    found_ = standardOutputTakesWrites(out_);
    return !found_;
}

}  // namespace vexla::transfer
