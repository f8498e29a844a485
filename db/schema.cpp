#include "db/schema.h"

#include <sqlite3.h>

#include "db/errors.h"
#include "db/sql_translator.h"
#include "db/sqlite_errors.h"
#include "db/swedish_collation.h"

namespace vexla::db {

int TableInfo::find(std::string_view column) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (equalSwedish(columns[i].name, column)) return static_cast<int>(i);
    return -1;
}

bool isSystemTable(std::string_view name) {
    return name.size() >= 4 && (name[0] == 'M' || name[0] == 'm') && (name[1] == 'S' || name[1] == 's') &&
           (name[2] == 'y' || name[2] == 'Y') && (name[3] == 's' || name[3] == 'S');
}

namespace {

std::string text(sqlite3_stmt* st, int col) {
    const auto* p = sqlite3_column_text(st, col);
    return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_column_bytes(st, col)) : std::string();
}

}  // namespace

Status Schema::load() {
    if (loaded_) return {};
    tables_.clear();
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(
        db_,
        "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
        -1, &st, nullptr);
    if (rc != SQLITE_OK) return errorFromSqlite(db_, rc);
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) tables_.push_back(TableInfo{text(st, 0), {}});
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) return errorFromSqlite(db_, rc);
    for (TableInfo& t : tables_) {
        const std::string sql = "PRAGMA table_info(" + quoteIdentifier(t.name) + ")";
        rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr);
        if (rc != SQLITE_OK) return errorFromSqlite(db_, rc);
        // cid, name, type, notnull, dflt_value, pk
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            ColumnInfo c;
            c.name = text(st, 1);
            c.declared = text(st, 2);
            c.type = columnTypeOf(c.declared);
            c.notNull = sqlite3_column_int(st, 3) != 0;
            // An INTEGER PRIMARY KEY is the row number: SQLite fills it in.
            const bool rowKey = sqlite3_column_int(st, 5) == 1 && equalSwedish(c.declared, "INTEGER");
            c.required = c.notNull && sqlite3_column_type(st, 4) == SQLITE_NULL && !rowKey;
            t.columns.push_back(std::move(c));
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) return errorFromSqlite(db_, rc);
    }
    loaded_ = true;
    return {};
}

Result<const TableInfo*> Schema::table(std::string_view name) {
    if (auto s = load(); !s) return s.error();
    for (const TableInfo& t : tables_)
        if (equalSwedish(t.name, name)) return &t;
    return tableNotFound(name);
}

Result<const std::vector<TableInfo>*> Schema::tables() {
    if (auto s = load(); !s) return s.error();
    return &tables_;
}

}  // namespace vexla::db
