// Reads a statement of the dialect (see engine.h) into its parts. The
// parser knows nothing of the file: names are checked against the tables
// later, by the translator. It refuses, with the engine's syntax errors,
// everything the program never writes: a second statement, a comment, a
// sub-select or function call, and in a VALUES list anything but literals
// and value slots.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "db/conversion.h"
#include "db/sql_tokenizer.h"

namespace vexla::db {

struct Operand {
    enum class Kind : std::uint8_t { Column, Literal, Param };
    Kind kind = Kind::Literal;
    std::string name;  // Column: the name as written, without brackets
    Literal::Kind literal = Literal::Kind::Null;
    std::string text;  // Literal: as Literal::text (a number with its sign)
    bool boolean = false;
    int param = 0;    // Param: its number, from 0, in order of appearance
    std::string raw;  // as written (for messages)

    Literal asLiteral() const { return Literal{literal, text, boolean}; }
};

struct Expr {
    enum class Kind : std::uint8_t { And, Or, Not, Compare, IsNull, IsNotNull };
    Kind kind = Kind::Compare;
    Tok op = Tok::Eq;  // Compare: Eq Ne Lt Le Gt Ge
    Operand lhs, rhs;
    std::unique_ptr<Expr> left, right;  // And, Or: both; Not: left
};

struct OrderItem {
    std::string column;
    bool descending = false;
};

struct ParsedStatement {
    enum class Kind : std::uint8_t { Select, Delete, Insert };
    Kind kind = Kind::Select;
    std::string table;
    // Select: the listed columns (empty for *); Insert: the column list
    // (empty when the statement names none: every column in table order).
    std::vector<std::string> columns;
    std::unique_ptr<Expr> where;
    std::string whereText;  // the WHERE clause as written, for messages
    std::vector<OrderItem> orderBy;
    std::vector<Operand> values;  // Insert: literals and slots
    int paramCount = 0;
};

Result<ParsedStatement> parseStatement(std::string_view sql);

}  // namespace vexla::db
