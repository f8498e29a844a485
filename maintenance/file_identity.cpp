#include "maintenance/file_identity.h"

#include <pwd.h>
#include <unistd.h>

#include <string>

namespace vexla {

namespace {

bool isNumber(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name)
        if (c < '0' || c > '9') return false;
    return true;
}

// Whether one of the descriptors listed in `fds` (/proc/PID/fd) is the
// file (dev, ino); a folder that cannot be listed holds none.
bool holdsFile(FileSystem& files, const std::string& fds, unsigned long dev, unsigned long ino) {
    auto names = files.listFolder(fds);
    if (!names) return false;
    for (const std::string& name : *names) {
        auto opened = files.info(fds + "/" + name, true);
        if (opened && opened->kind != FileKind::Missing && opened->dev == dev && opened->ino == ino) return true;
    }
    return false;
}

// The process `pid` as a holder: its command name and the user it runs as.
Holder holderOf(FileSystem& files, const std::string& pid) {
    Holder holder;
    holder.pid = std::stol(pid);
    if (auto comm = files.readSmallFile("/proc/" + pid + "/comm")) {
        holder.program = *comm;
        if (!holder.program.empty() && holder.program.back() == '\n') holder.program.pop_back();
    }
    if (auto process = files.info("/proc/" + pid, true); process && process->kind != FileKind::Missing) {
        const passwd* user = ::getpwuid(process->uid);
        holder.user = user ? user->pw_name : std::to_string(process->uid);
    }
    return holder;
}

}  // namespace

std::vector<Holder> processesWithFileOpen(FileSystem& files, unsigned long dev, unsigned long ino) {
    std::vector<Holder> found;
    auto processes = files.listFolder("/proc");
    if (!processes) return found;
    const std::string self = std::to_string(::getpid());
    for (const std::string& pid : *processes) {
        if (!isNumber(pid) || pid == self) continue;
        if (holdsFile(files, "/proc/" + pid + "/fd", dev, ino)) found.push_back(holderOf(files, pid));
    }
    return found;
}

bool openedHere(FileSystem& files, unsigned long dev, unsigned long ino) {
    return holdsFile(files, "/proc/self/fd", dev, ino);
}

}  // namespace vexla
