// File steps that survive a power cut or a killed process: after each one
// returns, its result is on the disk, and a step cut off half way leaves the
// files it works on as they were (at most a "<name>.part" beside them).
#pragma once

#include <string>

#include "common/platform/file_system.h"

namespace vexla {

// Copies `from` over `to`: the copy is written to "<to>.part", synced,
// renamed to `to` and the folder synced. On failure `to` is untouched and the
// part file removed (as far as the failure allows).
Status copyDurably(FileSystem& files, const std::string& from, const std::string& to);

// Renames `from` over `to` and syncs the folder of `to`.
Status renameDurably(FileSystem& files, const std::string& from, const std::string& to);

// Deletes `path` and syncs its folder.
Status removeDurably(FileSystem& files, const std::string& path);

// The folder part of a path ("." for a bare name).
std::string folderOf(const std::string& path);

}  // namespace vexla
