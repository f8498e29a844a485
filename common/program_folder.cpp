#include "common/program_folder.h"

#include <unistd.h>

#include <climits>

namespace vexla {

std::string programFolder() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string exe(buf, static_cast<size_t>(n));
    const auto slash = exe.rfind('/');
    return slash == 0 ? "/" : exe.substr(0, slash);
}

}  // namespace vexla
