// The file operations of the jobs on a POSIX file system, with errno mapped
// to the error numbers the program reports.
#pragma once

#include "common/platform/file_system.h"

namespace vexla {

class PosixFileSystem final : public FileSystem {
public:
    bool exists(const std::string& path) override;
    Result<std::unique_ptr<OutputFile>> openAppend(const std::string& path) override;
    Result<std::unique_ptr<OutputFile>> openWrite(const std::string& path) override;
    // Copies byte for byte, replacing `to`; the copy is not synced (call
    // syncFile/rename as the job needs).
    Status copyFile(const std::string& from, const std::string& to) override;
    Status removeFile(const std::string& path) override;
    Status renameFile(const std::string& from, const std::string& to) override;
    Status syncFile(const std::string& path) override;
    Status syncFolder(const std::string& folder) override;
    Result<std::uint64_t> fileSize(const std::string& path) override;
    Result<std::uint64_t> availableBytes(const std::string& folder) override;
};

// The file-system error for errno `err` met while working on `path`:
// 53/76 for a missing file or folder, 70 permission, 61 disk full, 75 other.
Error fileError(int err, const std::string& path);

}  // namespace vexla
