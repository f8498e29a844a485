// The file operations of the jobs on a POSIX file system, with errno mapped
// to the error numbers the program reports.
#pragma once

#include "common/platform/file_system.h"

namespace vexla {

class PosixFileSystem final : public FileSystem {
public:
    bool exists(const std::string& path) override;
    Result<std::string> realPath(const std::string& path) override;
    Result<std::string> readSmallFile(const std::string& path) override;
    Result<FileInfo> info(const std::string& path, bool follow) override;
    Result<std::unique_ptr<OutputFile>> openAppend(const std::string& path) override;
    Result<std::unique_ptr<NewFile>> createFile(const std::string& target, const Placement& placement) override;
    Status linkFile(const std::string& from, const std::string& to) override;
    Status removeFile(const std::string& path) override;
    Result<std::vector<std::string>> removeAbandoned(const std::string& path) override;
    Status renameFile(const std::string& from, const std::string& to) override;
    Status syncFolder(const std::string& folder) override;
    Status syncFile(const std::string& path) override;
    Result<std::vector<std::string>> listFolder(const std::string& folder) override;
    Result<std::uint64_t> fileSize(const std::string& path) override;
    Result<std::uint64_t> availableBytes(const std::string& folder) override;
    bool writable(const std::string& folder) override;
};

// The file-system error for errno `err` met while doing `what` (an
// operation's text code, txt::OpWrite and the like) to `path`: 53/76 for a
// missing file or folder, 70 permission, 61 disk full, 75 other, whose
// description then ends in the system's own words for `err`, which is
// kept as Error::systemNumber.
Error fileError(int err, const std::string& path, const char* what = "");

}  // namespace vexla
