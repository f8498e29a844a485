// SQLite's failures in the engine's numbers: a NOT NULL column left without
// a value is 3314 naming the table and column, a duplicate primary key or
// unique value 3022, a full disk 3026, and so on; what has no number of its
// own becomes 3000 with SQLite's message.
#pragma once

#include "common/result.h"
#include "db/errors.h"

struct sqlite3;

namespace vexla::db {

// rc: the (extended) result code of the failed call on db.
Error errorFromSqlite(sqlite3* db, int rc, const char* src = source::Database);

}  // namespace vexla::db
