// Turning a value of a statement into what is stored in a column, by the
// column's declared type. The same rules serve literals written into the
// statement text, values bound to a prepared statement and parameters, so an
// import gets the same answer whichever way it passes its values:
//
//   column     accepts                                      refuses with
//   Yes/No     True/False, numbers (0 false, else true),     3464
//              text True/False/Yes/No/On/Off or a number
//   integer    numbers (rounded half to even), True (-1),    3464, 3349 out of range
//              False (0), text holding a number
//   real       numbers, True/False, text holding a number    3464
//   date/time  #dates#, numbers as serial dates, text        3464; a #literal# that
//              holding a date                                names no date: 3075
//   text/memo  text, numbers as written, True/False, dates   3163 longer than the column
//   binary     text                                          3464
// Null fits every column here; whether the column takes Null is the table's
// business (3314).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/result.h"
#include "db/column_type.h"
#include "db/date_literal.h"
#include "db/variant.h"

namespace vexla::db {

// A literal as the statement wrote it.
struct Literal {
    enum class Kind : std::uint8_t { Null, Number, Text, Date, Boolean };
    Kind kind = Kind::Null;
    // Number: as written, a sign included, "." as decimal point; Text: the
    // content between the quotes, undoubled; Date: the text between the # marks.
    std::string_view text;
    bool boolean = false;
};

// A value ready to bind to SQLite. text() stays valid as long as this value
// and the literal or variant it came from.
class StoredValue {
public:
    enum class Kind : std::uint8_t { Null, Integer, Real, Text, Blob };

    Kind kind() const { return kind_; }
    std::int64_t integer() const { return integer_; }
    double real() const { return real_; }
    std::string_view text() const { return own_ ? std::string_view(buf_, len_) : borrowed_; }

    static StoredValue null() { return {}; }
    static StoredValue ofInteger(std::int64_t v);
    static StoredValue ofReal(double v);
    static StoredValue ofText(std::string_view borrowed, Kind kind = Kind::Text);
    // Copies up to 40 bytes into the value itself.
    static StoredValue ofOwnText(std::string_view text);

private:
    Kind kind_ = Kind::Null;
    bool own_ = false;
    std::uint8_t len_ = 0;
    std::int64_t integer_ = 0;
    double real_ = 0;
    std::string_view borrowed_;
    char buf_[40] = {};
};

Result<StoredValue> storeLiteral(const Literal& literal, const ColumnType& column, const DatePictures& pictures);
Result<StoredValue> storeVariant(const Variant& value, const ColumnType& column, const DatePictures& pictures);

// Reads an unquoted literal as an import passes it: an optional sign, a
// number with "." or decimalSeparator as its decimal point, or True, False,
// Null (letter case ignored). Anything else is the INSERT syntax error 3134.
// scratch holds the rewritten number; the literal points into it or into text.
Result<Literal> parseBareLiteral(std::string_view text, std::string_view decimalSeparator, std::string& scratch);

// Number of characters (code points) of UTF-8 text.
std::size_t characterCount(std::string_view utf8);

}  // namespace vexla::db
