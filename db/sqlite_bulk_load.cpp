// The indexes of a table set aside while many rows are loaded into it (see
// Database::DropReadingIndexes in engine.h for the contract).
#include <sqlite3.h>

#include "db/errors.h"
#include "db/sql_translator.h"
#include "db/sqlite_connection.h"
#include "db/sqlite_database.h"
#include "db/sqlite_errors.h"

namespace vexla::db {

namespace {

// The indexes CREATE INDEX made on a table (origin 'c'), not UNIQUE, with
// the statement that made each, in the order of the schema table: the order
// a dump of the file lists them in.
constexpr const char* kReadingIndexes =
    "SELECT l.name, s.sql FROM pragma_index_list(?1) AS l JOIN sqlite_schema AS s ON s.name = l.name "
    "WHERE s.type = 'index' AND l.origin = 'c' AND NOT l.\"unique\" AND s.sql IS NOT NULL ORDER BY s.rowid";

// The page cache while indexes are built (see CreateIndexes).
constexpr const char* kIndexBuildCache = "PRAGMA cache_size = -16384";

}  // namespace

Result<std::vector<std::string>> SqliteDatabase::DropReadingIndexes(std::string_view table) {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    if (depth_ == 0) return noTransaction();
    sqlite3* db = conn_->handle();
    sqlite3_stmt* stmt = nullptr;
    std::vector<std::string> names, statements;
    int rc = sqlite3_prepare_v2(db, kReadingIndexes, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_bind_text(stmt, 1, table.data(), static_cast<int>(table.size()), SQLITE_STATIC);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        statements.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
        rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) return errorFromSqlite(db, sqlite3_extended_errcode(db));
    // One savepoint for the drops: a failure part-way leaves every index.
    if (auto s = exec("SAVEPOINT vexla_indexes"); !s) return s.error();
    for (const std::string& name : names) {
        const std::string drop = "DROP INDEX " + quoteIdentifier(name);
        if (auto s = exec(drop.c_str()); !s) {
            ignoreBecause(exec("ROLLBACK TO vexla_indexes; RELEASE vexla_indexes"), Untold::AfterFailure);
            return s.error();
        }
    }
    if (auto s = exec("RELEASE vexla_indexes"); !s) return s.error();
    return statements;
}

// Each index is built by the engine's sorter, whose memory grows to the
// page cache's size before it spills sorted runs to temporary files: with
// the large cache of a writing transaction the build would take that much
// again. A small cache keeps the build's memory small and costs it nothing
// (the runs are merged from the system's file cache).
Status SqliteDatabase::CreateIndexes(const std::vector<std::string>& statements) {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    if (depth_ == 0) return noTransaction();
    if (auto s = exec(kIndexBuildCache); !s) return s;
    Status result;
    for (const std::string& statement : statements) {
        if (result = exec(statement.c_str()); !result) break;
    }
    if (auto s = exec(kWriteCache); result && !s) result = s;
    return result;
}

}  // namespace vexla::db
