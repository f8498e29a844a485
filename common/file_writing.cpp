#include "common/file_writing.h"

namespace vexla {

Status copyDurably(FileSystem& files, const std::string& from, const std::string& to, const Placement& placement,
                   bool* ownerKept) {
    auto file = files.createFile(to, placement);
    if (!file) return file.error();
    Status s = (*file)->copyFrom(from);
    if (s) s = (*file)->commit();
    if (!s) (void)(*file)->close();
    if (ownerKept) *ownerKept = !s || (*file)->ownerKept();
    return s;
}

Status renameDurably(FileSystem& files, const std::string& from, const std::string& to) {
    if (auto s = files.renameFile(from, to); !s) return s;
    return files.syncFolder(folderOf(to));
}

Status removeDurably(FileSystem& files, const std::string& path) {
    if (auto s = files.removeFile(path); !s) return s;
    return files.syncFolder(folderOf(path));
}

Error describedFileError(const Error& e, TextSource& texts) {
    if (e.file.empty() || e.what.empty()) return e;
    Error d = e;
    const std::string named = texts.TextTillAndra(e.what) + ": " + e.file;
    d.description = e.description.empty() ? named : e.description + " (" + named + ")";
    d.what.clear();
    return d;
}

}  // namespace vexla
