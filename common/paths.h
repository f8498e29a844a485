// Paths: the folder separator and the folder of a path, in the two senses
// the program needs.
#pragma once

#include <optional>
#include <string>

namespace vexla {

// The separator of folders in a path on this system.
inline constexpr char kPathSeparator = '/';

// The folder a file at `path` is in, as the system would resolve it: "."
// for a bare name, "/" for a name in the root.
std::string folderOf(const std::string& path);

// The folder part of a path as the program settles the database folder:
// the part before the last `separator`, blanks trimmed; nullopt when the
// path holds no separator.
std::optional<std::string> folderOfPath(const std::string& path, char separator = kPathSeparator);

}  // namespace vexla
