#include "db/booking_file.h"

#include <sqlite3.h>

namespace vexla::db {

namespace {

// A path as the path part of an SQLite file: URI, every byte that is no
// letter, digit or '/' written as %XX.
std::string fileUri(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    // "//x" would name a host: one leading slash says the same path.
    const std::size_t from = path.find_first_not_of('/') == std::string::npos ? 0 : path.find_first_not_of('/');
    if (from > 0) uri += '/';
    for (unsigned char c : path.substr(from)) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '.' ||
            c == '-' || c == '_') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    // immutable: no lock is taken, no journal or shared-memory file looked for or made.
    return uri + "?immutable=1";
}

}  // namespace

bool isBookingDatabase(const std::string& path) {
    if (path.empty()) return false;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(fileUri(path).c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    int tables = 0;
    sqlite3_stmt* st = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(db,
                                "SELECT count(DISTINCT lower(name)) FROM sqlite_schema WHERE type = 'table' AND "
                                "lower(name) IN ('kund', 'person', 'bokning')",
                                -1, &st, nullptr);
    if (rc == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) tables = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return tables == 3;
}

}  // namespace vexla::db
