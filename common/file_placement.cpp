#include "common/file_placement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vexla {

int giveModeAndOwner(int fd, unsigned mode, const std::optional<std::pair<unsigned, unsigned>>& owner,
                     bool* ownerKept) {
    struct stat st {};
    if (ownerKept) *ownerKept = true;
    if (owner && ::fstat(fd, &st) == 0 && (st.st_uid != owner->first || st.st_gid != owner->second) &&
        ::fchown(fd, owner->first, owner->second) != 0) {
        // An ordinary user may still hand the file to one of their groups.
        const bool groupGiven = st.st_gid == owner->second || ::fchown(fd, static_cast<uid_t>(-1), owner->second) == 0;
        if (ownerKept) *ownerKept = st.st_uid == owner->first && groupGiven;
        if (!groupGiven) mode &= ~070u;
    }
    return ::fchmod(fd, static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

int renameWithoutReplacing(const std::string& temp, const std::string& target) {
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (::link(temp.c_str(), target.c_str()) != 0) return errno;
    ::unlink(temp.c_str());
    return 0;
}

}  // namespace vexla
