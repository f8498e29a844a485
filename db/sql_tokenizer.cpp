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

namespace {

// One pass over a statement's text. Each scan* reads the token that starts at
// `i_` and returns false once it has pushed an Invalid token, which ends the
// statement's tokens: nothing after an unreadable token can be trusted.
class Scanner {
public:
    explicit Scanner(std::string_view sql) : sql_(sql) {}

    std::vector<Token> run() {
        while (true) {
            while (i_ < sql_.size() && space(sql_[i_])) ++i_;
            if (i_ >= sql_.size()) {
                push(Tok::End, i_, i_);
                return std::move(out_);
            }
            if (!scanToken()) return std::move(out_);
        }
    }

private:
    bool scanToken() {
        const char c = sql_[i_];
        if (c == '\'' || c == '"') return scanQuoted(c);
        if (c == '#' || c == '[') return scanDelimited(c);
        if (digit(c) || (c == '.' && i_ + 1 < sql_.size() && digit(sql_[i_ + 1]))) return scanNumber();
        if (nameChar(static_cast<unsigned char>(c))) {
            const size_t start = i_;
            while (i_ < sql_.size() && nameChar(static_cast<unsigned char>(sql_[i_]))) ++i_;
            push(Tok::Name, start, i_, std::string(sql_.substr(start, i_ - start)));
            return true;
        }
        return scanSymbol(c);
    }

    // A quoted text or name; the quote doubled stands for itself.
    bool scanQuoted(char quote) {
        const size_t start = i_++;
        std::string value;
        while (i_ < sql_.size()) {
            if (sql_[i_] != quote) {
                value += sql_[i_++];
            } else if (i_ + 1 < sql_.size() && sql_[i_ + 1] == quote) {
                value += quote;
                i_ += 2;
            } else {
                push(Tok::String, start, ++i_, std::move(value));
                return true;
            }
        }
        push(Tok::Invalid, start, sql_.size());
        return false;
    }

    // #date# and [bracketed name]: no escapes, the first closing mark ends it.
    bool scanDelimited(char open) {
        const size_t start = i_;
        const size_t end = sql_.find(open == '#' ? '#' : ']', i_ + 1);
        if (end == std::string_view::npos) {
            push(Tok::Invalid, start, sql_.size());
            return false;
        }
        i_ = end + 1;
        push(open == '#' ? Tok::Date : Tok::BracketName, start, i_,
             std::string(sql_.substr(start + 1, end - start - 1)));
        return true;
    }

    void skipDigits() {
        while (i_ < sql_.size() && digit(sql_[i_])) ++i_;
    }

    bool scanNumber() {
        const size_t start = i_;
        skipDigits();
        if (i_ < sql_.size() && sql_[i_] == '.') {
            ++i_;
            skipDigits();
        }
        if (i_ < sql_.size() && (sql_[i_] == 'e' || sql_[i_] == 'E')) {
            size_t j = i_ + 1;
            if (j < sql_.size() && (sql_[j] == '+' || sql_[j] == '-')) ++j;
            if (j < sql_.size() && digit(sql_[j])) {
                i_ = j;
                skipDigits();
            }
        }
        // A number running straight into a name ("12abc") is no number.
        if (i_ < sql_.size() && nameChar(static_cast<unsigned char>(sql_[i_]))) {
            push(Tok::Invalid, start, i_);
            return false;
        }
        push(Tok::Number, start, i_, std::string(sql_.substr(start, i_ - start)));
        return true;
    }

    bool scanSymbol(char c) {
        const bool nextEq = i_ + 1 < sql_.size() && sql_[i_ + 1] == '=';
        const bool nextGt = i_ + 1 < sql_.size() && sql_[i_ + 1] == '>';
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
            case '<': kind = nextGt ? Tok::Ne : nextEq ? Tok::Le : Tok::Lt; break;
            case '>': kind = nextEq ? Tok::Ge : Tok::Gt; break;
            default: break;
        }
        if (kind == Tok::Ne || kind == Tok::Le || kind == Tok::Ge) len = 2;
        const size_t start = i_;
        i_ += len;
        push(kind, start, i_);
        return kind != Tok::Invalid;
    }

    void push(Tok kind, size_t start, size_t end, std::string value = {}) {
        Token t;
        t.kind = kind;
        t.raw = sql_.substr(start, end - start);
        t.value = std::move(value);
        t.offset = start;
        out_.push_back(std::move(t));
    }

    std::string_view sql_;
    size_t i_ = 0;
    std::vector<Token> out_;
};

}  // namespace

std::vector<Token> tokenize(std::string_view sql) { return Scanner(sql).run(); }

}  // namespace vexla::db
