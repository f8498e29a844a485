// The tables and columns of an open file, read once per connection (an
// exclusively opened file cannot change under us). Names are found with the
// engine's text comparison, so kund and KUND name the table Kund and
// förnamn names FörNamn.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "db/column_type.h"

struct sqlite3;

namespace vexla::db {

struct ColumnInfo {
    std::string name;
    std::string declared;
    ColumnType type;
    bool notNull = false;
    bool required = false;  // NOT NULL, no default, not the engine-numbered key
};

struct TableInfo {
    std::string name;
    std::vector<ColumnInfo> columns;
    // Position of the column of that name, or -1.
    int find(std::string_view column) const;
};

// Tables whose names start with MSys hold the engine's own bookkeeping and
// are left out of the list of user tables.
bool isSystemTable(std::string_view name);

class Schema {
public:
    explicit Schema(sqlite3* db) : db_(db) {}
    // The table of that name; 3078 when there is none.
    Result<const TableInfo*> table(std::string_view name);
    // Every table, in the file's order, system tables included.
    Result<const std::vector<TableInfo>*> tables();
    void forget() { loaded_ = false, tables_.clear(); }

private:
    Status load();
    sqlite3* db_;
    bool loaded_ = false;
    std::vector<TableInfo> tables_;
};

}  // namespace vexla::db
