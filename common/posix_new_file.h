// The open files of PosixFileSystem: the activity log appended to, a new
// file under its temporary name until it takes its place, and a standard
// stream written in place.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>

#include "common/platform/file_system.h"

namespace vexla {

FileKind kindOf(mode_t mode);
FileInfo infoOf(const struct stat& st);

// The log open as `fd` (appending), written as `path`.
std::unique_ptr<OutputFile> appendingFile(int fd, std::string path);

// A fresh file for `target` (what stands there now: `there`), made beside
// it or, as `placement` asks, in a private folder beside it.
Result<std::unique_ptr<NewFile>> startNewFile(const std::string& target, const FileInfo& there,
                                              const Placement& placement);

// Standard output or standard error ("/dev/stdout", "/dev/stderr") as a new
// file that is written in place: committing only flushes it.
Result<std::unique_ptr<NewFile>> streamFile(const std::string& name);

}  // namespace vexla
