// The copy of a file's bytes into an open file, in a child process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/result.h"

namespace vexla {

// Appends the bytes of `source` to the open file `out` (written as
// `target`), read in a child process (closing a descriptor of a database
// file would drop its engine's locks in this one). `progress`, when given,
// hears the size of `out` now and then; false stops the copy (stoppedByUser).
Status copyIntoInChild(const std::string& source, int out, const std::string& target,
                       const std::function<bool(std::uint64_t)>& progress);

}  // namespace vexla
