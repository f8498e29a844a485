// The user's remembered dialog folders in a small settings file of their
// own, by default ~/.config/vexla-admin/folders.ini:
//
//   [Folders]
//   Kund=/home/anna/export
//
// one "key=folder" line per key, in UTF-8 as the folder names are. The file
// is rewritten whole through FileSystem::createFile, so it is never left
// half written; it is the program's only file in the user's own folders.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/platform/file_system.h"
#include "common/platform/folder_memory.h"
#include "common/platform/notices.h"

namespace vexla {

class FoldersFile final : public FolderMemory {
public:
    // The settings file at `path` ("" keeps nothing), written through
    // `files`; a failure to write it is told to `notices`.
    FoldersFile(std::string path, FileSystem& files, const Notices& notices)
        : path_(std::move(path)), files_(files), notices_(notices) {}

    // "" for a key the file lacks, and for a file that is missing or unreadable.
    std::string recall(std::string_view key) override;
    // Rewrites the file with the key's new folder, creating the file's folder
    // when missing. A failure leaves the file as it was; the dialogs go on
    // as before, and the failure is told (txt::FoldersNotSaved).
    void remember(std::string_view key, const std::string& folder) override;

private:
    std::vector<std::pair<std::string, std::string>> entries() const;

    std::string path_;
    FileSystem& files_;
    const Notices& notices_;
};

// Where the settings file lies: "vexla-admin/folders.ini" below
// $XDG_CONFIG_HOME when that is an absolute path, else below ~/.config
// ($HOME); "" when neither is known. The caller hands in the variables.
std::string userFoldersFile(const char* xdgConfigHome, const char* home);

}  // namespace vexla
