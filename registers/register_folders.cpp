#include "registers/register_folders.h"

#include "common/paths.h"

namespace vexla {

std::string registerFileFolder(Platform& platform, std::string_view registerName, const std::string& databaseFolder) {
    const std::string remembered = platform.folders.recall(registerName);
    if (!remembered.empty()) {
        auto info = platform.files.info(remembered, true);
        if (info && info->kind == FileKind::Folder) return remembered;
    }
    if (databaseFolder.empty() || platform.files.writable(platform.programFolder)) return platform.programFolder;
    return databaseFolder;
}

void rememberRegisterFolder(Platform& platform, std::string_view registerName, const std::string& path) {
    if (path.empty() || path.front() != kPathSeparator) return;
    platform.folders.remember(registerName, folderOf(path));
}

}  // namespace vexla
