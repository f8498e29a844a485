// Turns a parsed statement into SQLite's SQL for the tables of the file.
// Names are checked and written out as the file declares them ("quoted");
// every literal becomes a bound value, converted by its column's rules
// (conversion.h), so no text of the statement ever reaches SQLite as SQL.
// A text comparison gets the engine's own collation (swedish_collation.h).
//
// In the SQL produced, the statement's own ? slots are ?1..?P in order, and
// the literals follow as ?P+1 onwards. Two statements that differ only in
// their literals therefore give the same SQL, which lets the connection
// reuse one prepared SQLite statement for every line of an import.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "db/column_type.h"
#include "db/conversion.h"
#include "db/schema.h"
#include "db/sql_parser.h"

namespace vexla::db {

// A converted literal that owns its text.
struct OwnedValue {
    StoredValue::Kind kind = StoredValue::Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string text;
};

OwnedValue ownValue(const StoredValue& v);

struct FieldDef {
    std::string name;
    ColumnType type;
};

struct Translation {
    ParsedStatement::Kind kind = ParsedStatement::Kind::Select;
    std::string sql;
    std::vector<ColumnType> slotTypes;  // the type each ? slot is converted to
    std::vector<OwnedValue> literals;   // bound at slotTypes.size() + 1 onwards
    std::vector<FieldDef> fields;       // Select: the columns of the rows
};

Result<Translation> translate(const ParsedStatement& statement, Schema& schema, const DatePictures& pictures);

// "name" with any " inside doubled.
std::string quoteIdentifier(std::string_view name);

}  // namespace vexla::db
