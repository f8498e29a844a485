#pragma once

#include <string>

namespace vexla {

// The folder that holds the running executable (not the current folder),
// without a trailing separator. Empty when the system cannot tell.
std::string programFolder();

}  // namespace vexla
