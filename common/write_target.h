// The one rule for every file the programs write: the target is a regular
// file or nothing; a device, FIFO, socket, folder or link is refused; so is
// the database and every file the engine keeps beside it, under any of its
// names; the standard streams only where the product is text.
#pragma once

#include <string>
#include <vector>

#include "common/platform/file_system.h"

namespace vexla {

// The files of the database `database` that no job may write: the file
// and its -journal, -wal, -shm and .lock, under the name given and, where a
// link stands on the way, under its real one.
std::vector<std::string> databaseFiles(FileSystem& files, const std::string& database);

// Whether `target` may take the place `placement` describes, looked at
// before a byte is written: a standard stream (without toStream) is
// StreamNotADatabaseTarget; the database or one of its files
// TargetIsTheDatabase; any node but a regular file its fileRefusal; a
// regular file without `replace` 58; a file the job reads FileInUseByJob.
Status checkWriteTarget(FileSystem& files, const std::string& target, const Placement& placement);

}  // namespace vexla
