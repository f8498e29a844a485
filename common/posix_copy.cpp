#include "common/posix_copy.h"
#include "texts/text_codes.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <vector>

#include "common/job_progress.h"
#include "common/posix_file_system.h"

namespace vexla {

namespace {

// What the copying child reports back when it fails: which side, and errno.
struct CopyFailure {
    int side = 0;  // 0 reading the source, 1 writing the copy
    int err = 0;
};

// Makes the copying child no holder of anything but its copy: it shares the
// open file descriptions of every descriptor it inherits, and with them the
// locks that belong to them (the database's fence, a temporary file's
// "writer alive" lock). It keeps only standard input, output and error,
// `out` and `report`, and it dies with the thread that started it, so a
// killed job leaves no copy running that holds the database for nobody.
// Answers 0, or the errno of the step that failed: a child that is not
// detached copies nothing.
int detachFromParent(pid_t parent, int out, int report) {
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return errno;
    if (::getppid() != parent) ::_exit(1);  // the parent was gone before that
    const unsigned low = static_cast<unsigned>(std::min(out, report));
    const unsigned high = static_cast<unsigned>(std::max(out, report));
    if (low > 3 && ::close_range(3, low - 1, 0) != 0) return errno;
    if (high > low + 1 && ::close_range(low + 1, high - 1, 0) != 0) return errno;
    if (::close_range(high + 1, ~0U, 0) != 0) return errno;
    return 0;
}

// The child's work: only system calls, nothing that allocates (the parent may
// have other threads, and the child has only a copy of this one). A clone of
// the source's blocks first (copy-on-write file systems), then the kernel's
// own copy, then plain reads and writes.
[[noreturn]] void copyInChild(const char* from, int out, char* buf, std::size_t size, int report) {
    const auto fail = [&](int side) {
        const CopyFailure f{side, errno};
        ignoreBecause(::write(report, &f, sizeof f), Untold::ChildExit);
        ::_exit(1);
    };
    const int in = ::open(from, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (in < 0) fail(0);
    struct stat st {};
    if (::fstat(in, &st) != 0) fail(0);
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        fail(0);
    }
    if (::lseek(out, 0, SEEK_END) == 0 && ::ioctl(out, FICLONE, in) == 0) {
        if (::lseek(out, 0, SEEK_END) < 0) fail(1);
        ::_exit(0);
    }
    bool kernelCopy = true;
    for (;;) {
        ssize_t n;
        if (kernelCopy) {
            n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                kernelCopy = false;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) fail(errno == EIO ? 0 : 1);
            if (n == 0) break;
            continue;
        }
        n = ::read(in, buf, size);
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
    ::_exit(0);
}

// Waits until the copying child reports (its end), telling `progress`
// the file's size every tenth of a second: false when progress asked to stop.
bool watchCopy(int report, int out, const std::function<bool(std::uint64_t)>& progress) {
    pollfd watched{report, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&watched, 1, 100);
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return true;
        struct stat st {};
        if (::fstat(out, &st) == 0 && !progress(static_cast<std::uint64_t>(st.st_size))) return false;
    }
}

}  // namespace

Status copyIntoInChild(const std::string& source, int out, const std::string& target,
                       const std::function<bool(std::uint64_t)>& progress) {
    std::vector<char> buf(1 << 20);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return fileError(errno, target, txt::OpWrite);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int err = errno;
        ::close(report[0]);
        ::close(report[1]);
        return fileError(err, target, txt::OpWrite);
    }
    if (pid == 0) {
        if (const int err = detachFromParent(parent, out, report[1]); err != 0) {
            const CopyFailure f{1, err};
            ignoreBecause(::write(report[1], &f, sizeof f), Untold::ChildExit);
            ::_exit(1);
        }
        copyInChild(source.c_str(), out, buf.data(), buf.size(), report[1]);
    }
    ::close(report[1]);
    // The child reports only at its end; meanwhile the file's growing
    // size is the progress, and a stop ends the child where it is.
    if (progress && !watchCopy(report[0], out, progress)) {
        ::kill(pid, SIGKILL);
        ::close(report[0]);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
        return stoppedByUser();
    }
    CopyFailure failure;
    ssize_t got;
    do got = ::read(report[0], &failure, sizeof failure);
    while (got < 0 && errno == EINTR);
    ::close(report[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (got == static_cast<ssize_t>(sizeof failure))
        return failure.side == 0 ? fileError(failure.err, source, txt::OpRead)
                                 : fileError(failure.err, target, txt::OpWrite);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return fileError(EIO, target, txt::OpWrite);
    return {};
}

}  // namespace vexla
