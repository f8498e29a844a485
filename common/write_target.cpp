#include "common/write_target.h"
#include "texts/text_codes.h"

#include "common/paths.h"

namespace vexla {

namespace {

// The name `path` stands for, comparable with another's: the real path of
// what is there, or, for a name still free, the real path of its folder
// and its own name ("" when not even the folder resolves).
std::string canonicalName(FileSystem& files, const std::string& path) {
    if (auto real = files.realPath(path)) return *real;
    auto folder = files.realPath(folderOf(path));
    if (!folder) return {};
    const std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    return (*folder == "/" ? "" : *folder) + "/" + name;
}

// Whether `target` is one of the database's files: the same file (a hard
// link, a link to it) or the same name (one that does not exist yet). An
// error when the target cannot be looked at through its links: then nobody
// can tell that it is not.
Result<bool> isDatabaseFile(FileSystem& files, const std::string& target, const std::string& database) {
    auto there = files.info(target, true);
    if (!there) return there.error();
    const std::string name = canonicalName(files, target);
    for (const std::string& own : databaseFiles(files, database)) {
        auto file = files.info(own, true);
        if (file && there->sameFile(*file)) return true;
        if (!name.empty() && name == canonicalName(files, own)) return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> databaseFiles(FileSystem& files, const std::string& database) {
    std::vector<std::string> names;
    std::vector<std::string> bases{database};
    if (auto real = files.realPath(database); real && *real != database) bases.push_back(*real);
    for (const std::string& base : bases)
        for (const char* suffix : {"", "-journal", "-wal", "-shm", ".lock"}) names.push_back(base + suffix);
    return names;
}

Status checkWriteTarget(FileSystem& files, const std::string& target, const Placement& placement) {
    if (isStandardStream(target))
        return placement.toStream ? Status() : Status(fileRefusal(target, txt::StreamNotADatabaseTarget));
    if (!placement.database.empty()) {
        auto isDatabase = isDatabaseFile(files, target, placement.database);
        if (!isDatabase) return isDatabase.error();
        if (*isDatabase) return fileRefusal(target, txt::TargetIsTheDatabase);
    }
    auto there = files.info(target, false);
    if (!there) return there.error();
    if (there->kind == FileKind::Missing) return {};
    if (there->kind != FileKind::Regular) return fileRefusal(target, there->kind);
    if (!placement.replace)
        return Error{fserr::FileExists, "File already exists", "Vexla Admin", target, txt::OpCreate};
    for (const std::string& read : placement.protect) {
        auto other = files.info(read, true);
        if (other && there->sameFile(*other)) return fileRefusal(target, txt::FileInUseByJob);
    }
    return {};
}

}  // namespace vexla
