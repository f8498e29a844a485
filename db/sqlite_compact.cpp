// CompactDatabase of the SQLite engine (see sqlite_engine.h for the contract).
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "common/file_placement.h"
#include "common/paths.h"
#include "common/temporary_files.h"
#include "db/errors.h"
#include "db/sqlite_database.h"
#include "db/sqlite_engine.h"
#include "db/sqlite_errors.h"

namespace vexla::db {

namespace {

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

bool allDigits(const std::string& s, size_t from, bool hex) {
    if (from >= s.size()) return false;
    for (size_t i = from; i < s.size(); ++i) {
        const char c = s[i];
        if (!((c >= '0' && c <= '9') || (hex && ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))))) return false;
    }
    return true;
}

// ";LANGID=0x041D;CP=1252;COUNTRY=0" -> {LANGID: 0x041D, CP: 1252, COUNTRY: 0}.
bool parseLocale(const std::string& locale, std::map<std::string, std::string>& parts) {
    size_t pos = 0;
    while (pos <= locale.size()) {
        size_t end = locale.find(';', pos);
        if (end == std::string::npos) end = locale.size();
        const std::string part = locale.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty()) continue;
        const size_t eq = part.find('=');
        if (eq == std::string::npos) return false;
        const std::string key = upper(part.substr(0, eq));
        const std::string value = part.substr(eq + 1);
        if (parts.count(key)) return false;
        if (key == "LANGID") {
            if (value.size() < 3 || value[0] != '0' || (value[1] != 'x' && value[1] != 'X') ||
                !allDigits(value, 2, true))
                return false;
        } else if (key == "CP" || key == "COUNTRY") {
            if (!allDigits(value, 0, false)) return false;
        } else {
            return false;
        }
        parts[key] = value;
    }
    return parts.count("LANGID") == 1;
}

// Opens `path` and syncs it; given `like`, first gives it that file's owner,
// group and permission bits, as far as this process may give them away (a
// group it may not give takes the group's bits with it). Answers 0 or the
// errno of the step that failed: a mode that cannot be set fails the file.
[[nodiscard]] int syncPath(const std::string& path, int flags, const struct stat* like = nullptr) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return errno;
    int err = like ? giveModeAndOwner(fd, like->st_mode & 07777, std::make_pair(like->st_uid, like->st_gid)) : 0;
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    ::close(fd);
    return err;
}

Status recordLocale(const std::string& file, const std::string& locale,
                    const std::map<std::string, std::string>& parts) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        std::string sql =
            "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN; "
            "CREATE TABLE IF NOT EXISTS MSysLocale (Name VARCHAR(20) PRIMARY KEY, Value VARCHAR(255)); "
            "DELETE FROM MSysLocale;";
        auto quote = [](const std::string& s) {
            std::string q = "'";
            for (char c : s) q += c == '\'' ? std::string("''") : std::string(1, c);
            return q + "'";
        };
        sql += "INSERT INTO MSysLocale VALUES ('Locale', " + quote(locale) + ");";
        for (const auto& [key, value] : parts)
            sql += "INSERT INTO MSysLocale VALUES (" + quote(key) + ", " + quote(value) + ");";
        sql += "COMMIT;";
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) rc = sqlite3_extended_errcode(db);
    }
    Status result;
    if (rc != SQLITE_OK) result = errorFromSqlite(db, rc, source::Engine);
    sqlite3_close(db);
    return result;
}

Error folderError(int err, const std::string& path) {
    if (err == ENOSPC || err == EDQUOT) return notEnoughSpace();
    if (err == EACCES || err == EPERM || err == EROFS) return cannotOpen(path);
    return diskError();
}

}  // namespace

// The new file is made in a folder of its own (mode 0700, a name nobody can
// guess) beside the destination, so nobody can plant a link under its name
// or open it while it is still open to all: it gets its mode and owner
// before it is renamed into the shared folder.
Status compactInto(SqliteDatabase& source, const std::string& destination, const std::string& locale) {
    std::map<std::string, std::string> parts;
    if (!locale.empty() && !parseLocale(locale, parts)) return invalidArgument(source::Engine);
    if (destination.empty()) return invalidPath(destination);
    struct stat st = {};
    if (::lstat(destination.c_str(), &st) == 0) return databaseExists();
    const std::string folder = folderOf(destination);
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return invalidPath(folder);
    struct stat original = {};
    if (::stat(source.Name().c_str(), &original) != 0) return diskError();

    PrivateFolder privateFolder;
    if (const int err = privateFolder.make(folder); err != 0) return folderError(err, destination);
    const std::string temp = privateFolder.path() + "/compacting.db";

    // The new file is nobody's until it is renamed: it is synced once, whole,
    // before that, and neither the compaction nor the locale's record need
    // sync it on the way (a crash leaves only the private folder).
    Status status = source.vacuumInto(temp);
    if (status && !locale.empty()) status = recordLocale(temp, locale, parts);
    if (status) {
        if (const int err = syncPath(temp, O_RDONLY, &original); err != 0) status = folderError(err, destination);
    }
    if (status) {
        if (const int err = renameWithoutReplacing(temp, destination); err != 0)
            status = err == EEXIST ? databaseExists() : folderError(err, destination);
    }
    privateFolder.remove();
    // The rename is only durable once the folder is: a folder that cannot
    // be synced fails the compaction (the caller still has the database).
    if (status) {
        if (const int err = syncPath(folder, O_RDONLY | O_DIRECTORY); err != 0) status = folderError(err, folder);
    }
    return status;
}

Status SqliteEngine::CompactDatabase(const std::string& source, const std::string& destination,
                                     const std::string& locale) {
    std::map<std::string, std::string> parts;
    if (!locale.empty() && !parseLocale(locale, parts)) return invalidArgument(source::Engine);
    if (destination.empty()) return invalidPath(destination);
    struct stat st = {};
    if (::lstat(destination.c_str(), &st) == 0) return databaseExists();
    if (::stat(folderOf(destination).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return invalidPath(folderOf(destination));

    auto src = OpenDatabase(source, true);
    if (!src) return src.error();
    // A second connection would find the file locked: the copy is written
    // through the exclusive one.
    Status status = compactInto(static_cast<SqliteDatabase&>(**src), destination, locale);
    if (auto closed = (*src)->Close(); status && !closed) status = closed;
    return status;
}

}  // namespace vexla::db
