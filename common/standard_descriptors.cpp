#include "common/standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vexla {

namespace {

// Whether descriptor `fd` is closed; if so, /dev/null now stands in its
// place (open takes the lowest free number, and the lower ones are open).
bool reopenIfClosed(int fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) return false;
    const int opened = ::open("/dev/null", O_RDWR | O_NOCTTY);
    if (opened >= 0 && opened != fd) ::close(opened);
    return true;
}

}  // namespace

ClosedStreams reopenClosedStandardStreams() {
    ClosedStreams closed;
    closed.in = reopenIfClosed(STDIN_FILENO);
    closed.out = reopenIfClosed(STDOUT_FILENO);
    closed.err = reopenIfClosed(STDERR_FILENO);
    return closed;
}

}  // namespace vexla
