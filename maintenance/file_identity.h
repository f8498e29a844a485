// Who else has the database file open: what a job names when the booking
// system keeps it from the database too long. Every look goes through the
// file system (/proc among it).
#pragma once

#include <string>
#include <vector>

#include "common/platform/file_system.h"
#include "common/result.h"

namespace vexla {

// The other processes that have the file (dev, ino) open, as far as this
// user may see them (a process whose descriptors cannot be read is left
// out): program name, pid and the user it runs as.
std::vector<Holder> processesWithFileOpen(FileSystem& files, unsigned long dev, unsigned long ino);

// Whether this process has the file (dev, ino) open itself.
bool openedHere(FileSystem& files, unsigned long dev, unsigned long ino);

}  // namespace vexla
