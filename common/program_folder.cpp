#include "common/program_folder.h"

#include <unistd.h>

#include <climits>

#include "common/paths.h"

namespace vexla {

std::string programFolder() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return folderOf(std::string(buf, static_cast<size_t>(n)));
}

}  // namespace vexla
