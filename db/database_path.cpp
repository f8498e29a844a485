#include "db/database_path.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/platform/file_system.h"
#include "common/system_user.h"
#include "db/errors.h"
#include "db/sqlite_uri.h"

namespace vexla::db {

namespace {

// The first folder on the way to `path` that this user may not enter,
// else the folder that holds it.
std::string deniedFolder(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::faccessat(AT_FDCWD, folder.c_str(), X_OK, AT_EACCESS) != 0 && errno == EACCES) return folder;
    }
    const std::size_t last = path.rfind('/');
    if (last == std::string::npos) return ".";
    return last == 0 ? "/" : path.substr(0, last);
}

// The system's refusal `err` of looking `path` up, in words of its own;
// nothing for a failure without them.
std::optional<Error> lookUpRefusal(const std::string& path, int err) {
    switch (err) {
        // A missing folder means the file is not there either.
        case ENOENT:
        case ENOTDIR: return fileNotFound(path);
        case ENAMETOOLONG: return pathTooLong(path);
        case ELOOP: return linkLoop(path);
        // Looking a name up needs only the right to enter each folder on the way.
        case EACCES: return accessDenied(deniedFolder(path), true, systemUserName());
        default: return std::nullopt;
    }
}

// Whether `path`, made full as the engine makes it, is longer than the
// engine takes: it then refuses to open the file, whatever the system says.
bool beyondTheEngine(const std::string& path) {
    const sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    if (!vfs) return false;
    std::size_t full = path.size();
    if (path.front() != '/') {
        char here[4096];
        full += ::getcwd(here, sizeof here) ? std::strlen(here) + 1 : 0;
    }
    return full > static_cast<std::size_t>(vfs->mxPathname);
}

bool unreadable(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0 && errno == EACCES;
}

}  // namespace

std::optional<Error> refusalOfPath(const std::string& path) {
    if (path.empty()) return fileNotFound(path);
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0) {
        if (auto refused = lookUpRefusal(path, errno)) return refused;
        return cannotOpen(path);
    }
    if (beyondTheEngine(path)) return pathTooLong(path);
    if (!S_ISREG(st.st_mode)) return notARegularFile(path, fileKindOf(st.st_mode));
    if (st.st_size == 0) return unrecognizedFormat(path);
    // SQLite would read, truncate or delete a journal through a link
    // planted under its name: such a database is not opened.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const std::string journal = path + suffix;
        struct stat j = {};
        if (::lstat(journal.c_str(), &j) == 0 && !S_ISREG(j.st_mode))
            return Error{err::CannotOpen, "", source::Engine, journal, refusalFor(fileKindOf(j.st_mode))};
    }
    return std::nullopt;
}

Error unopenedFile(const std::string& path) {
    if (auto e = refusalOfPath(path)) return *e;
    if (unreadable(path)) return accessDenied(path, false, systemUserName());
    return cannotOpen(path);
}

std::optional<Error> refusalAsDatabaseFile(const std::string& path) {
    if (auto e = refusalOfPath(path)) return e;
    if (unreadable(path)) return accessDenied(path, false, systemUserName());
    sqlite3* db = nullptr;
    // immutable: no lock is taken, no journal or shared-memory file looked for or made.
    int rc = sqlite3_open_v2(sqliteFileUri(path, "immutable=1").c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                             nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        rc = sqlite3_exec(db, "SELECT 1 FROM sqlite_schema LIMIT 1", nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
    // Only the header tells a file that is no database; damage inside one does not.
    if ((rc & 0xFF) == SQLITE_NOTADB) return unrecognizedFormat(path);
    return std::nullopt;
}

}  // namespace vexla::db
