// What a column's declared type means to the engine: how its values are
// stored, which type code its field reports, and which values fit it.
// The booking database declares its types by name (BOOLEAN, LONG, DOUBLE,
// DATETIME, VARCHAR(50), MEMO, ...); SQLite itself would store anything in
// any column, so the engine checks every value against this before writing.
#pragma once

#include <cstdint>
#include <string_view>

namespace vexla::db {

enum class Storage : std::uint8_t {
    Boolean,   // integer 0 or 1
    Integer,   // integer within [minimum, maximum]
    Real,      // floating point
    DateTime,  // ISO text, see stored_format.h
    Text,      // UTF-8 text of at most maxLength characters (0: no limit)
    Binary,    // bytes
    Any,       // no declared type: values are stored as written
};

struct ColumnType {
    Storage storage = Storage::Any;
    int daoType = 10;
    std::int64_t minimum = 0, maximum = 0;  // for Storage::Integer
    int maxLength = 0;                      // for Storage::Text
};

// Declared type names (letter case ignored, a size in parentheses read as the
// text length):
//   BOOLEAN BOOL BIT YESNO LOGICAL                    -> Yes/No (1)
//   BYTE TINYINT                                      -> Byte (2), 0..255
//   SMALLINT SHORT INTEGER2                           -> Integer (3), 16 bits
//   LONG INT INTEGER INTEGER4 COUNTER AUTOINCREMENT   -> Long (4), 32 bits
//   BIGINT INTEGER8                                   -> Long (4), 64 bits
//   CURRENCY MONEY                                    -> Currency (5)
//   SINGLE FLOAT4                                     -> Single (6)
//   DOUBLE FLOAT FLOAT8 REAL NUMERIC DECIMAL NUMBER   -> Double (7)
//   DATETIME DATE TIME TIMESTAMP                      -> Date/Time (8)
//   TEXT VARCHAR CHAR NVARCHAR NCHAR CHARACTER STRING -> Text (10)
//   MEMO LONGTEXT NOTE LONGCHAR CLOB                  -> Memo (12)
//   BLOB BINARY VARBINARY LONGBINARY OLEOBJECT IMAGE  -> Long binary (11)
// Other names follow SQLite's affinity rules; no name at all gives Any (10).
ColumnType columnTypeOf(std::string_view declared);

}  // namespace vexla::db
