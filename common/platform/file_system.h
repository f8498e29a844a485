// The file operations the jobs need. Failures carry the file-system error
// numbers the program reports (53 file not found, 76 path not found,
// 70 permission denied, 61 disk full, 75 path/file access error).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/result.h"

namespace vexla {

namespace fserr {
constexpr long FileNotFound = 53;
constexpr long DiskFull = 61;
constexpr long PermissionDenied = 70;
constexpr long PathFileAccess = 75;
constexpr long PathNotFound = 76;
}  // namespace fserr

// An open file being written. Writes are buffered; sync() makes them durable.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    virtual Status write(std::string_view bytes) = 0;
    virtual Status flush() = 0;
    virtual Status sync() = 0;
    virtual Status close() = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool exists(const std::string& path) = 0;
    // Opens for appending, creating the file when missing.
    virtual Result<std::unique_ptr<OutputFile>> openAppend(const std::string& path) = 0;
    // Creates the file, or empties it when it exists.
    virtual Result<std::unique_ptr<OutputFile>> openWrite(const std::string& path) = 0;
    virtual Status copyFile(const std::string& from, const std::string& to) = 0;
    virtual Status removeFile(const std::string& path) = 0;
    virtual Status renameFile(const std::string& from, const std::string& to) = 0;
    // Makes the file's contents durable (fsync).
    virtual Status syncFile(const std::string& path) = 0;
    virtual Status syncFolder(const std::string& folder) = 0;
    // The size of a file in bytes.
    virtual Result<std::uint64_t> fileSize(const std::string& path) = 0;
    virtual Result<std::uint64_t> availableBytes(const std::string& folder) = 0;
};

}  // namespace vexla
