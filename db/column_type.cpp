#include "db/column_type.h"

#include <cstdlib>
#include <limits>
#include <string>

#include "db/variant.h"

namespace vexla::db {

namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

ColumnType integer(int dao, std::int64_t lo, std::int64_t hi) {
    ColumnType t;
    t.storage = Storage::Integer;
    t.daoType = dao;
    t.minimum = lo;
    t.maximum = hi;
    return t;
}

ColumnType simple(Storage s, int dao) {
    ColumnType t;
    t.storage = s;
    t.daoType = dao;
    return t;
}

}  // namespace

ColumnType columnTypeOf(std::string_view declared) {
    std::string name = upper(declared);
    int size = 0;
    if (const size_t open = name.find('('); open != std::string::npos) {
        size = std::atoi(name.c_str() + open + 1);
        name.erase(open);
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    if (name.empty()) return simple(Storage::Any, dao::Text);

    constexpr std::int64_t i32min = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t i32max = std::numeric_limits<std::int32_t>::max();
    const auto is = [&](std::initializer_list<const char*> names) {
        for (const char* n : names)
            if (name == n) return true;
        return false;
    };
    if (is({"BOOLEAN", "BOOL", "BIT", "YESNO", "LOGICAL"})) return simple(Storage::Boolean, dao::Boolean);
    if (is({"BYTE", "TINYINT"})) return integer(dao::Byte, 0, 255);
    if (is({"SMALLINT", "SHORT", "INTEGER2"})) return integer(dao::Integer, -32768, 32767);
    if (is({"LONG", "INT", "INTEGER", "INTEGER4", "COUNTER", "AUTOINCREMENT"}))
        return integer(dao::Long, i32min, i32max);
    if (is({"BIGINT", "INTEGER8"}))
        return integer(dao::Long, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
    if (is({"CURRENCY", "MONEY"})) return simple(Storage::Real, dao::Currency);
    if (is({"SINGLE", "FLOAT4"})) return simple(Storage::Real, dao::Single);
    if (is({"DOUBLE", "DOUBLE PRECISION", "FLOAT", "FLOAT8", "REAL", "NUMERIC", "DECIMAL", "NUMBER"}))
        return simple(Storage::Real, dao::Double);
    if (is({"DATETIME", "DATE", "TIME", "TIMESTAMP"})) return simple(Storage::DateTime, dao::Date);
    if (is({"TEXT", "VARCHAR", "CHAR", "NVARCHAR", "NCHAR", "CHARACTER", "STRING", "CHARACTER VARYING"})) {
        ColumnType t = simple(Storage::Text, dao::Text);
        t.maxLength = size > 0 ? size : 0;
        return t;
    }
    if (is({"MEMO", "LONGTEXT", "NOTE", "LONGCHAR", "CLOB"})) return simple(Storage::Text, dao::Memo);
    if (is({"BLOB", "BINARY", "VARBINARY", "LONGBINARY", "OLEOBJECT", "IMAGE"}))
        return simple(Storage::Binary, dao::LongBinary);

    // SQLite's affinity rules for names we do not know.
    if (name.find("INT") != std::string::npos)
        return integer(dao::Long, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
    if (name.find("CHAR") != std::string::npos || name.find("CLOB") != std::string::npos ||
        name.find("TEXT") != std::string::npos)
        return simple(Storage::Text, dao::Text);
    if (name.find("BLOB") != std::string::npos) return simple(Storage::Binary, dao::LongBinary);
    return simple(Storage::Real, dao::Double);
}

}  // namespace vexla::db
