// CompactDatabase of the SQLite engine (see sqlite_engine.h for the contract).
#include <sys/stat.h>

#include "common/paths.h"
#include "db/errors.h"
#include "db/sqlite_database.h"
#include "db/sqlite_engine.h"
#include "db/sqlite_errors.h"

namespace vexla::db {

// The engine writes only the file it is given; where that file is made,
// with which mode and owner, and how it takes its place is its caller's
// (FileSystem::createFile).
Status compactInto(SqliteDatabase& source, const std::string& path) {
    if (path.empty()) return invalidPath(path);
    return source.vacuumInto(path);
}

Status SqliteEngine::CompactDatabase(const std::string& source, const std::string& destination) {
    if (destination.empty()) return invalidPath(destination);
    struct stat st = {};
    if (::lstat(destination.c_str(), &st) == 0) return databaseExists();
    if (::stat(folderOf(destination).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return invalidPath(folderOf(destination));

    auto src = OpenDatabase(source, true);
    if (!src) return src.error();
    // A second connection would find the file locked: the copy is written
    // through the exclusive one.
    Status status = compactInto(static_cast<SqliteDatabase&>(**src), destination);
    if (auto closed = (*src)->Close(); status && !closed) status = closed;
    return status;
}

}  // namespace vexla::db
