#include "db/sql_parser.h"

#include "db/errors.h"
#include "db/swedish_collation.h"

namespace vexla::db {

namespace {

constexpr const char* kReserved[] = {"SELECT", "FROM",  "WHERE", "AND", "OR",   "NOT",    "IS",   "NULL",   "TRUE",
                                     "FALSE",  "ORDER", "BY",    "ASC", "DESC", "INSERT", "INTO", "VALUES", "DELETE"};

class Parser {
public:
    explicit Parser(std::string_view sql) : sql_(sql), toks_(tokenize(sql)) {}

    Result<ParsedStatement> run() {
        if (kw("SELECT")) return select();
        if (kw("DELETE")) return remove();
        if (kw("INSERT")) return insert();
        return invalidStatement();
    }

private:
    const Token& peek(size_t ahead = 0) const {
        const size_t i = pos_ + ahead;
        return i < toks_.size() ? toks_[i] : toks_.back();
    }
    bool at(Tok kind) const { return peek().kind == kind; }
    bool atKw(std::string_view k) const { return isKeyword(peek(), k); }
    bool kw(std::string_view k) {
        if (!atKw(k)) return false;
        ++pos_;
        return true;
    }
    bool take(Tok kind) {
        if (!at(kind)) return false;
        ++pos_;
        return true;
    }

    static bool reserved(const Token& t) {
        for (const char* r : kReserved)
            if (isKeyword(t, r)) return true;
        return false;
    }

    // A table or column name: a bare name that is no keyword, or [bracketed].
    bool name(std::string& out) {
        const Token& t = peek();
        if (t.kind == Tok::BracketName && !t.value.empty()) {
            out = t.value;
        } else if (t.kind == Tok::Name && !reserved(t)) {
            out = t.value;
        } else {
            return false;
        }
        ++pos_;
        return true;
    }

    // A column, possibly qualified by its table (Kund.Namn); the qualifier
    // must name the statement's table.
    bool column(std::string& out) {
        if (!name(out)) return false;
        if (at(Tok::Dot)) {
            ++pos_;
            std::string col;
            if (!name(col)) return false;
            qualifiers_.push_back(out);
            out = col;
        }
        return true;
    }

    // The end of the statement: nothing, or one ";" and nothing after it.
    enum class End { Ok, Trailing, Garbage };
    End end() {
        if (at(Tok::End)) return End::Ok;
        if (at(Tok::Semicolon)) {
            ++pos_;
            return at(Tok::End) ? End::Ok : End::Trailing;
        }
        return End::Garbage;
    }

    // A literal or value slot (what a VALUES list may hold, and an operand).
    bool literal(Operand& op) {
        const size_t start = pos_;
        op.kind = Operand::Kind::Literal;
        std::string sign;
        if (at(Tok::Minus) || at(Tok::Plus)) {
            sign = at(Tok::Minus) ? "-" : "";
            ++pos_;
            if (!at(Tok::Number)) return pos_ = start, false;
        }
        const Token& t = peek();
        switch (t.kind) {
            case Tok::Number:
                op.literal = Literal::Kind::Number;
                op.text = sign + t.value;
                break;
            case Tok::String:
                op.literal = Literal::Kind::Text;
                op.text = t.value;
                break;
            case Tok::Date:
                op.literal = Literal::Kind::Date;
                op.text = t.value;
                break;
            case Tok::Param:
                op.kind = Operand::Kind::Param;
                op.param = params_++;
                break;
            case Tok::Name:
                if (isKeyword(t, "TRUE") || isKeyword(t, "FALSE")) {
                    op.literal = Literal::Kind::Boolean;
                    op.boolean = isKeyword(t, "TRUE");
                } else if (isKeyword(t, "NULL")) {
                    op.literal = Literal::Kind::Null;
                } else {
                    return pos_ = start, false;
                }
                break;
            default: return pos_ = start, false;
        }
        ++pos_;
        op.raw = std::string(sql_.substr(toks_[start].offset, t.offset + t.raw.size() - toks_[start].offset));
        return true;
    }

    bool operand(Operand& op) {
        if (literal(op)) return true;
        op.kind = Operand::Kind::Column;
        const size_t start = pos_;
        if (!column(op.name)) return false;
        op.raw = std::string(sql_.substr(toks_[start].offset, peek().offset - toks_[start].offset));
        while (!op.raw.empty() && op.raw.back() == ' ') op.raw.pop_back();
        return true;
    }

    std::unique_ptr<Expr> orExpr() {
        auto left = andExpr();
        while (left && kw("OR")) {
            auto right = andExpr();
            if (!right) return nullptr;
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Or;
            e->left = std::move(left);
            e->right = std::move(right);
            left = std::move(e);
        }
        return left;
    }

    std::unique_ptr<Expr> andExpr() {
        auto left = notExpr();
        while (left && kw("AND")) {
            auto right = notExpr();
            if (!right) return nullptr;
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::And;
            e->left = std::move(left);
            e->right = std::move(right);
            left = std::move(e);
        }
        return left;
    }

    std::unique_ptr<Expr> notExpr() {
        if (kw("NOT")) {
            auto inner = notExpr();
            if (!inner) return nullptr;
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Not;
            e->left = std::move(inner);
            return e;
        }
        if (take(Tok::LParen)) {
            auto inner = orExpr();
            if (!inner || !take(Tok::RParen)) return nullptr;
            return inner;
        }
        auto e = std::make_unique<Expr>();
        if (!operand(e->lhs)) return nullptr;
        if (kw("IS")) {
            e->kind = kw("NOT") ? Expr::Kind::IsNotNull : Expr::Kind::IsNull;
            if (!kw("NULL")) return nullptr;
            return e;
        }
        switch (peek().kind) {
            case Tok::Eq:
            case Tok::Ne:
            case Tok::Lt:
            case Tok::Le:
            case Tok::Gt:
            case Tok::Ge: e->op = peek().kind; break;
            default: return nullptr;
        }
        ++pos_;
        if (!operand(e->rhs)) return nullptr;
        return e;
    }

    // The text from the current token up to (not including) the token at `stop`.
    std::string textUntil(size_t stop) const {
        const size_t from = peek().offset;
        const size_t to = stop < toks_.size() ? toks_[stop].offset : sql_.size();
        std::string s(sql_.substr(from, to > from ? to - from : 0));
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
            s.pop_back();
        return s;
    }

    // Where the WHERE clause ends: ORDER BY at depth 0, a ";" or the end.
    size_t whereStop() const {
        int depth = 0;
        for (size_t i = pos_; i < toks_.size(); ++i) {
            const Token& t = toks_[i];
            if (t.kind == Tok::LParen) ++depth;
            if (t.kind == Tok::RParen) --depth;
            if (t.kind == Tok::End || t.kind == Tok::Semicolon) return i;
            if (depth == 0 && isKeyword(t, "ORDER") && i + 1 < toks_.size() && isKeyword(toks_[i + 1], "BY")) return i;
        }
        return toks_.size() - 1;
    }

    // WHERE expr, when present. The whole clause must be one expression.
    Status where(ParsedStatement& st) {
        if (!kw("WHERE")) return {};
        const size_t stop = whereStop();
        st.whereText = textUntil(stop);
        st.where = orExpr();
        if (!st.where || pos_ != stop) return queryExpressionSyntax(st.whereText);
        return {};
    }

    Status finish(ParsedStatement& st, Error garbage) {
        switch (end()) {
            case End::Ok: break;
            case End::Trailing: return charactersAfterEnd();
            case End::Garbage: return garbage;
        }
        st.paramCount = params_;
        for (const std::string& q : qualifiers_)
            if (!equalSwedish(q, st.table)) return tooFewParameters(1);
        return {};
    }

    Result<ParsedStatement> select() {
        ParsedStatement st;
        st.kind = ParsedStatement::Kind::Select;
        if (!take(Tok::Star)) {
            do {
                std::string col;
                if (!name(col)) return selectSyntax();
                st.columns.push_back(col);
            } while (take(Tok::Comma));
        }
        if (!kw("FROM")) return selectSyntax();
        if (!name(st.table)) return fromClauseSyntax();
        if (!atKw("WHERE") && !atKw("ORDER") && !at(Tok::End) && !at(Tok::Semicolon)) return fromClauseSyntax();
        if (auto s = where(st); !s) return s.error();
        if (kw("ORDER")) {
            if (!kw("BY")) return orderBySyntax();
            do {
                OrderItem item;
                if (!column(item.column)) return orderBySyntax();
                if (kw("DESC"))
                    item.descending = true;
                else
                    kw("ASC");
                st.orderBy.push_back(std::move(item));
            } while (take(Tok::Comma));
            if (!at(Tok::End) && !at(Tok::Semicolon)) return orderBySyntax();
        }
        if (auto s = finish(st, fromClauseSyntax()); !s) return s.error();
        return st;
    }

    Result<ParsedStatement> remove() {
        ParsedStatement st;
        st.kind = ParsedStatement::Kind::Delete;
        // DELETE * FROM t and DELETE t.* FROM t mean the same as DELETE FROM t.
        if (!take(Tok::Star) && !atKw("FROM")) {
            std::string t;
            if (!name(t) || !take(Tok::Dot) || !take(Tok::Star)) return deleteWithoutTable();
        }
        if (!kw("FROM")) return deleteWithoutTable();
        if (!name(st.table)) return fromClauseSyntax();
        if (!atKw("WHERE") && !at(Tok::End) && !at(Tok::Semicolon)) return fromClauseSyntax();
        if (auto s = where(st); !s) return s.error();
        if (atKw("ORDER")) return queryExpressionSyntax(st.whereText);
        if (auto s = finish(st, fromClauseSyntax()); !s) return s.error();
        return st;
    }

    Result<ParsedStatement> insert() {
        ParsedStatement st;
        st.kind = ParsedStatement::Kind::Insert;
        if (!kw("INTO") || !name(st.table)) return insertSyntax();
        if (take(Tok::LParen)) {
            do {
                std::string col;
                if (!name(col)) return insertSyntax();
                st.columns.push_back(col);
            } while (take(Tok::Comma));
            if (!take(Tok::RParen)) return insertSyntax();
        }
        if (!kw("VALUES") || !take(Tok::LParen)) return insertSyntax();
        do {
            Operand value;
            if (!literal(value)) return insertSyntax();
            st.values.push_back(std::move(value));
        } while (take(Tok::Comma));
        if (!take(Tok::RParen)) return insertSyntax();
        if (auto s = finish(st, insertSyntax()); !s) return s.error();
        return st;
    }

    std::string_view sql_;
    std::vector<Token> toks_;
    size_t pos_ = 0;
    int params_ = 0;
    std::vector<std::string> qualifiers_;
};

}  // namespace

Result<ParsedStatement> parseStatement(std::string_view sql) { return Parser(sql).run(); }

}  // namespace vexla::db
