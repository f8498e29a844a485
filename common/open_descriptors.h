// Which of a process's descriptors is a given file, read from its
// descriptor folder under /proc.
#pragma once

#include <string>

namespace vexla {

// No descriptor of the folder is the file.
inline constexpr int kNoDescriptor = -1;
// The folder could not be read (the process ended, or is not ours to look into).
inline constexpr int kDescriptorsUnreadable = -2;

// The number of a descriptor in `fds` (a process's "/proc/PID/fd") that is
// the file (dev, ino), else kNoDescriptor or kDescriptorsUnreadable. A
// descriptor closed while the folder is read is simply gone.
int descriptorOf(const std::string& fds, unsigned long dev, unsigned long ino);

}  // namespace vexla
