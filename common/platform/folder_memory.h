// The folders the user last chose files in, remembered between runs so that
// a file dialog can start where the user's files are. Each kind of file has
// its own key (the register files by register name).
#pragma once

#include <string>
#include <string_view>

namespace vexla {

class FolderMemory {
public:
    virtual ~FolderMemory() = default;
    // The folder remembered under `key`; "" when none is.
    virtual std::string recall(std::string_view key) = 0;
    // Remembers `folder` under `key`. Never fails aloud: the memory is a
    // convenience, and no job waits for it or stops because of it.
    virtual void remember(std::string_view key, const std::string& folder) = 0;

    // A memory that keeps nothing: for the programs without dialogs.
    static FolderMemory& none();
};

}  // namespace vexla
