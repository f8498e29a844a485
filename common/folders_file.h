// The window's settings kept in small files in the user's own folders: the
// remembered dialog folders, by default ~/.config/vexla-admin/folders.ini
//
//   [Folders]
//   Kund=/home/anna/export
//
// and the database last chosen in the window, ~/.config/vexla-admin/Vexla.ini
//
//   [System]
//   DataBas1=/srv/vexla/bok.db
//
// one section, one "key=value" line per key, in UTF-8 as the paths are. A
// file is rewritten whole through FileSystem::createFile, so it is never left
// half written; it holds only what the program itself wrote into it.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/platform/file_system.h"
#include "common/platform/folder_memory.h"
#include "common/platform/notices.h"
#include "texts/text_codes.h"

namespace vexla {

class FoldersFile final : public FolderMemory {
public:
    // The settings file at `path` ("" keeps nothing) with the one section
    // `section` ("[Folders]"), written through `files`; a failure to write it
    // is told to `notices` as `failureText`.
    FoldersFile(std::string path, FileSystem& files, const Notices& notices, std::string section = "[Folders]",
                const char* failureText = txt::FoldersNotSaved)
        : path_(std::move(path)),
          files_(files),
          notices_(notices),
          section_(std::move(section)),
          failureText_(failureText) {}

    // "" for a key the file lacks, and for a file that is missing or unreadable.
    std::string recall(std::string_view key) override;
    // Rewrites the file with the key's new folder, creating the file's folder
    // when missing. A failure leaves the file as it was; the dialogs go on
    // as before, and the failure is told (the failure text).
    void remember(std::string_view key, const std::string& folder) override;

private:
    std::vector<std::pair<std::string, std::string>> entries() const;

    std::string path_;
    FileSystem& files_;
    const Notices& notices_;
    std::string section_;
    const char* failureText_;
};

// Where the settings file lies: "vexla-admin/folders.ini" below
// $XDG_CONFIG_HOME when that is an absolute path, else below ~/.config
// ($HOME); "" when neither is known. The caller hands in the variables.
std::string userFoldersFile(const char* xdgConfigHome, const char* home);
// The same for the window's own Vexla.ini: "vexla-admin/Vexla.ini".
std::string userSettingsFile(const char* xdgConfigHome, const char* home);

}  // namespace vexla
