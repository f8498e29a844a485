#include "common/system_user.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace vexla {

std::string systemUserName() {
    const uid_t uid = ::geteuid();
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name &&
        *found->pw_name)
        return found->pw_name;
    return std::to_string(uid);
}

}  // namespace vexla
