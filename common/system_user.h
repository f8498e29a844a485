// The account the program runs as, for the lines of the activity log: the
// login name is whom the database admitted, this is who sat at the machine.
#pragma once

#include <string>

namespace vexla {

// The name of the effective user's account; its number when the account
// database does not know it (a container, a user from a directory that is
// gone). Never empty.
std::string systemUserName();

}  // namespace vexla
