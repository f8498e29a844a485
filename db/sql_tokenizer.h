// Splits a statement of the booking system's SQL dialect into tokens:
//   names        Kund, FörNamn (letters, digits, _ and any non-ASCII character)
//   [names]      [P-adress] (anything but ] inside)
//   'text'       '' inside stands for one '; "text" is read the same way
//   #dates#      the text between the marks, read later by the column's rules
//   numbers      12, 12.5, .5, 1E3 (a sign is a token of its own)
//   ?            a value slot
//   ( ) , ; * . = <> < > <= >= + -
// Anything else (a comment, a backslash, an unterminated text) is an Invalid
// token, so the parser refuses the statement.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexla::db {

enum class Tok : std::uint8_t {
    End,
    Name,
    BracketName,
    String,
    Date,
    Number,
    Param,
    LParen,
    RParen,
    Comma,
    Semicolon,
    Star,
    Dot,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    Plus,
    Minus,
    Invalid,
};

struct Token {
    Tok kind = Tok::End;
    std::string_view raw;  // the token as written, delimiters included
    std::string value;     // names without brackets, text undoubled, date without #
    std::size_t offset = 0;
};

// The tokens of sql, ending with one End token (or an Invalid one where
// reading stopped).
std::vector<Token> tokenize(std::string_view sql);

// True when the token is the keyword kw (ASCII letters, case ignored; a
// bracketed name is never a keyword).
bool isKeyword(const Token& t, std::string_view kw);

}  // namespace vexla::db
