#include "maintenance/file_identity.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/open_descriptors.h"
#include "common/paths.h"

namespace vexla {

namespace {

// Whether a file of the process's descriptor folder `fds` is (dev, ino):
// 1, 0, or -1 when the folder cannot be read.
int holds(const std::string& fds, unsigned long dev, unsigned long ino) {
    const int fd = descriptorOf(fds, dev, ino);
    return fd >= 0 ? 1 : fd == kNoDescriptor ? 0 : -1;
}

bool isNumber(const char* name) {
    if (!*name) return false;
    for (; *name; ++name)
        if (*name < '0' || *name > '9') return false;
    return true;
}

// Root, or the owner who may give the file its group.
bool mayGiveOwnerAndGroup(const struct stat& st) {
    const uid_t me = ::geteuid();
    if (me == 0) return true;
    if (st.st_uid != me) return false;
    if (st.st_gid == ::getegid()) return true;
    std::vector<gid_t> groups(static_cast<std::size_t>(::getgroups(0, nullptr)) + 1);
    const int n = ::getgroups(static_cast<int>(groups.size()), groups.data());
    for (int i = 0; i < n; ++i)
        if (groups[static_cast<std::size_t>(i)] == st.st_gid) return true;
    return false;
}

}  // namespace

int openedElsewhere(unsigned long dev, unsigned long ino) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return -1;
    const std::string self = std::to_string(::getpid());
    int answer = 0;
    while (const dirent* entry = ::readdir(proc)) {
        if (!isNumber(entry->d_name) || self == entry->d_name) continue;
        const int held = holds(std::string("/proc/") + entry->d_name + "/fd", dev, ino);
        // A process that ended meanwhile holds nothing.
        if (held < 0 && ::access((std::string("/proc/") + entry->d_name).c_str(), F_OK) != 0) continue;
        if (held == 1) {
            answer = 1;
            break;
        }
        if (held < 0) answer = -1;
    }
    ::closedir(proc);
    return answer;
}

bool openedHere(unsigned long dev, unsigned long ino) { return holds("/proc/self/fd", dev, ino) == 1; }

WayChosen chooseCompactionWay(const std::string& path) {
    WayChosen chosen;
    char real[PATH_MAX];
    struct stat st {};
    if (!::realpath(path.c_str(), real) || ::stat(real, &st) != 0) {
        chosen.reason = "R9305";
        return chosen;
    }
    chosen.file = real;
    const std::string folder = folderOf(chosen.file);
    if (!mayGiveOwnerAndGroup(st))
        chosen.reason = "R9301";
    else if (st.st_nlink != 1)
        chosen.reason = "R9302";
    else if (::listxattr(real, nullptr, 0) != 0)  // also -1: what it has cannot be known
        chosen.reason = "R9303";
    else if (::access(folder.c_str(), W_OK | X_OK) != 0)
        chosen.reason = "R9304";
    else if (const int elsewhere = openedElsewhere(st.st_dev, st.st_ino); elsewhere != 0)
        chosen.reason = elsewhere > 0 ? "R9306" : "R9307";
    if (chosen.reason.empty())
        chosen.way = CompactionWay::Rename;
    else if (::access(real, W_OK) == 0)
        chosen.way = CompactionWay::WriteBack;
    return chosen;
}

}  // namespace vexla
