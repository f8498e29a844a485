#include "maintenance/file_identity.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>

#include "common/open_descriptors.h"

namespace vexla {

namespace {

bool isNumber(const char* name) {
    if (!*name) return false;
    for (; *name; ++name)
        if (*name < '0' || *name > '9') return false;
    return true;
}

// The process `pid` as a holder: its command name and the user it runs as.
Holder holderOf(const std::string& pid) {
    Holder holder;
    holder.pid = std::stol(pid);
    std::ifstream comm("/proc/" + pid + "/comm");
    std::getline(comm, holder.program);
    struct stat st {};
    if (::stat(("/proc/" + pid).c_str(), &st) == 0) {
        const passwd* user = ::getpwuid(st.st_uid);
        holder.user = user ? user->pw_name : std::to_string(st.st_uid);
    }
    return holder;
}

}  // namespace

std::string realFileOf(const std::string& path) {
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) ? std::string(real) : std::string();
}

std::vector<Holder> processesWithFileOpen(unsigned long dev, unsigned long ino) {
    std::vector<Holder> found;
    DIR* proc = ::opendir("/proc");
    if (!proc) return found;
    const std::string self = std::to_string(::getpid());
    while (const dirent* entry = ::readdir(proc)) {
        if (!isNumber(entry->d_name) || self == entry->d_name) continue;
        if (descriptorOf(std::string("/proc/") + entry->d_name + "/fd", dev, ino) >= 0)
            found.push_back(holderOf(entry->d_name));
    }
    ::closedir(proc);
    return found;
}

bool openedHere(unsigned long dev, unsigned long ino) { return descriptorOf("/proc/self/fd", dev, ino) >= 0; }

}  // namespace vexla
