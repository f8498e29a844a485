#include "common/open_descriptors.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>

namespace vexla {

int descriptorOf(const std::string& fds, unsigned long dev, unsigned long ino) {
    DIR* dir = ::opendir(fds.c_str());
    if (!dir) return kDescriptorsUnreadable;
    int found = kNoDescriptor;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        struct stat st {};
        if (::stat((fds + "/" + entry->d_name).c_str(), &st) != 0) continue;
        if (st.st_dev == dev && st.st_ino == ino) {
            found = std::atoi(entry->d_name);
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace vexla
