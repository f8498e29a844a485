#include "db/jobs/durable_files.h"

namespace vexla {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

Status copyDurably(FileSystem& files, const std::string& from, const std::string& to) {
    const std::string part = to + ".part";
    Status s = files.copyFile(from, part);
    if (s) s = files.syncFile(part);
    if (s) s = files.renameFile(part, to);
    if (!s) {
        if (files.exists(part)) (void)files.removeFile(part);
        return s;
    }
    return files.syncFolder(folderOf(to));
}

Status renameDurably(FileSystem& files, const std::string& from, const std::string& to) {
    if (auto s = files.renameFile(from, to); !s) return s;
    return files.syncFolder(folderOf(to));
}

Status removeDurably(FileSystem& files, const std::string& path) {
    if (auto s = files.removeFile(path); !s) return s;
    return files.syncFolder(folderOf(path));
}

}  // namespace vexla
