#include "db/booking_file.h"

#include <sqlite3.h>

#include "db/sqlite_uri.h"

namespace vexla::db {

bool isBookingDatabase(const std::string& path) {
    if (path.empty()) return false;
    sqlite3* db = nullptr;
    // immutable: no lock is taken, no journal or shared-memory file looked for or made.
    int rc = sqlite3_open_v2(sqliteFileUri(path, "immutable=1").c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                             nullptr);
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
