#include "db/sql_tokenizer.h"

namespace vexla::db {

namespace {

bool nameChar(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c >= 0x80;
}
bool digit(char c) { return c >= '0' && c <= '9'; }
bool space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool isKeyword(const Token& t, std::string_view kw) {
    if (t.kind != Tok::Name || t.raw.size() != kw.size()) return false;
    for (size_t i = 0; i < kw.size(); ++i) {
        char c = t.raw[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        char k = kw[i];
        if (k >= 'a' && k <= 'z') k = static_cast<char>(k - 32);
        if (c != k) return false;
    }
    return true;
}

std::vector<Token> tokenize(std::string_view sql) {
    std::vector<Token> out;
    size_t i = 0;
    auto push = [&](Tok kind, size_t start, size_t end, std::string value = {}) {
        Token t;
        t.kind = kind;
        t.raw = sql.substr(start, end - start);
        t.value = std::move(value);
        t.offset = start;
        out.push_back(std::move(t));
    };
    while (true) {
        while (i < sql.size() && space(sql[i])) ++i;
        if (i >= sql.size()) {
            push(Tok::End, i, i);
            return out;
        }
        const size_t start = i;
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            std::string value;
            ++i;
            bool closed = false;
            while (i < sql.size()) {
                if (sql[i] == c) {
                    if (i + 1 < sql.size() && sql[i + 1] == c) {
                        value += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += sql[i++];
            }
            if (!closed) {
                push(Tok::Invalid, start, sql.size());
                return out;
            }
            push(Tok::String, start, i, std::move(value));
            continue;
        }
        if (c == '#' || c == '[') {
            const char close = c == '#' ? '#' : ']';
            const size_t end = sql.find(close, i + 1);
            if (end == std::string_view::npos) {
                push(Tok::Invalid, start, sql.size());
                return out;
            }
            i = end + 1;
            push(c == '#' ? Tok::Date : Tok::BracketName, start, i,
                 std::string(sql.substr(start + 1, end - start - 1)));
            continue;
        }
        if (digit(c) || (c == '.' && i + 1 < sql.size() && digit(sql[i + 1]))) {
            while (i < sql.size() && digit(sql[i])) ++i;
            if (i < sql.size() && sql[i] == '.') {
                ++i;
                while (i < sql.size() && digit(sql[i])) ++i;
            }
            if (i < sql.size() && (sql[i] == 'e' || sql[i] == 'E')) {
                size_t j = i + 1;
                if (j < sql.size() && (sql[j] == '+' || sql[j] == '-')) ++j;
                if (j < sql.size() && digit(sql[j])) {
                    i = j;
                    while (i < sql.size() && digit(sql[i])) ++i;
                }
            }
            // A number running straight into a name ("12abc") is no number.
            if (i < sql.size() && nameChar(static_cast<unsigned char>(sql[i]))) {
                push(Tok::Invalid, start, i);
                return out;
            }
            push(Tok::Number, start, i, std::string(sql.substr(start, i - start)));
            continue;
        }
        if (nameChar(static_cast<unsigned char>(c))) {
            while (i < sql.size() && nameChar(static_cast<unsigned char>(sql[i]))) ++i;
            push(Tok::Name, start, i, std::string(sql.substr(start, i - start)));
            continue;
        }
        Tok kind = Tok::Invalid;
        size_t len = 1;
        switch (c) {
            case '?': kind = Tok::Param; break;
            case '(': kind = Tok::LParen; break;
            case ')': kind = Tok::RParen; break;
            case ',': kind = Tok::Comma; break;
            case ';': kind = Tok::Semicolon; break;
            case '*': kind = Tok::Star; break;
            case '.': kind = Tok::Dot; break;
            case '=': kind = Tok::Eq; break;
            case '+': kind = Tok::Plus; break;
            case '-': kind = Tok::Minus; break;
            case '<':
                if (i + 1 < sql.size() && sql[i + 1] == '>')
                    kind = Tok::Ne, len = 2;
                else if (i + 1 < sql.size() && sql[i + 1] == '=')
                    kind = Tok::Le, len = 2;
                else
                    kind = Tok::Lt;
                break;
            case '>':
                if (i + 1 < sql.size() && sql[i + 1] == '=')
                    kind = Tok::Ge, len = 2;
                else
                    kind = Tok::Gt;
                break;
            default: break;
        }
        i += len;
        push(kind, start, i);
        if (kind == Tok::Invalid) return out;
    }
}

}  // namespace vexla::db
