#include "common/folders_file.h"

#include <filesystem>
#include <fstream>

#include "common/file_writing.h"
#include "common/paths.h"

namespace vexla {

namespace {

// A settings file bigger than this is not ours; it is left unread.
constexpr std::uintmax_t kMaxFileBytes = 64 * 1024;

class NoFolderMemory final : public FolderMemory {
public:
    std::string recall(std::string_view) override { return {}; }
    void remember(std::string_view, const std::string&) override {}
};

}  // namespace

FolderMemory& FolderMemory::none() {
    static NoFolderMemory memory;
    return memory;
}

std::vector<std::pair<std::string, std::string>> FoldersFile::entries() const {
    std::vector<std::pair<std::string, std::string>> found;
    std::error_code ec;
    if (path_.empty() || std::filesystem::file_size(path_, ec) > kMaxFileBytes || ec) return found;
    std::ifstream in(path_, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;  // the section line, or no key
        found.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return found;
}

std::string FoldersFile::recall(std::string_view key) {
    for (auto& [name, folder] : entries())
        if (name == key) return folder;
    return {};
}

void FoldersFile::remember(std::string_view key, const std::string& folder) {
    // A line end in a name would make lines of its own; such a folder is not kept.
    if (path_.empty() || key.empty() || folder.find_first_of("\r\n") != std::string::npos) return;
    auto all = entries();
    bool known = false;
    for (auto& [name, was] : all) {
        if (name != key) continue;
        if (was == folder) return;  // nothing to write
        was = folder;
        known = true;
    }
    if (!known) all.emplace_back(std::string(key), folder);
    std::string text = section_ + "\n";
    for (const auto& [name, value] : all) text += name + "=" + value + "\n";

    std::error_code ec;
    std::filesystem::create_directories(folderOf(path_), ec);
    auto file = files_.createFile(path_, Placement{});
    Status s = file ? (*file)->write(text) : Status(file.error());
    if (s) s = (*file)->commit();
    if (s) return;
    notices_.tell(failureText_, path_, s.error());
    if (file) closeAbandoned(**file, notices_);
}

namespace {

std::string userConfigFile(const char* xdgConfigHome, const char* home, const char* name) {
    std::string base;
    if (xdgConfigHome && xdgConfigHome[0] == '/')
        base = xdgConfigHome;
    else if (home && home[0] == '/')
        base = std::string(home) + "/.config";
    else
        return {};
    return base + "/vexla-admin/" + name;
}

}  // namespace

std::string userFoldersFile(const char* xdgConfigHome, const char* home) {
    return userConfigFile(xdgConfigHome, home, "folders.ini");
}

std::string userSettingsFile(const char* xdgConfigHome, const char* home) {
    return userConfigFile(xdgConfigHome, home, "Vexla.ini");
}

}  // namespace vexla
