#include "db/sql_translator.h"

#include <set>

#include "db/errors.h"
#include "db/swedish_collation.h"

namespace vexla::db {

OwnedValue ownValue(const StoredValue& v) { return OwnedValue{v.kind(), v.integer(), v.real(), std::string(v.text())}; }

std::string quoteIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

namespace {

// A column compared with a value: no length or range limit applies, and an
// integer column compares numerically with any number (ID > 2.5).
ColumnType comparisonType(ColumnType t) {
    t.maxLength = 0;
    if (t.storage == Storage::Integer) t.storage = Storage::Real;
    return t;
}

// Which literals a comparison with a column of this storage may use: the
// engine compares like with like and does not turn text into numbers here.
bool comparable(Storage column, Literal::Kind literal) {
    using K = Literal::Kind;
    if (literal == K::Null) return true;
    switch (column) {
        case Storage::Text:
        case Storage::Binary: return literal == K::Text;
        case Storage::Boolean:
        case Storage::Integer:
        case Storage::Real: return literal == K::Number || literal == K::Boolean;
        case Storage::DateTime: return literal == K::Date || literal == K::Number;
        case Storage::Any: return true;
    }
    return false;
}

class Translator {
public:
    Translator(const ParsedStatement& st, const TableInfo& table, const DatePictures& pictures)
        : st_(st), table_(table), pictures_(pictures) {
        out_.kind = st.kind;
        out_.slotTypes.resize(st.paramCount);
    }

    Result<Translation> run() {
        switch (st_.kind) {
            case ParsedStatement::Kind::Select: return select();
            case ParsedStatement::Kind::Delete: return remove();
            case ParsedStatement::Kind::Insert: return insert();
        }
        return invalidStatement();
    }

private:
    // The column of that name, or nullptr after noting it as unknown (the
    // engine takes an unknown name for a parameter nobody gave a value).
    const ColumnInfo* column(const std::string& name) {
        const int i = table_.find(name);
        if (i < 0) {
            unknown_.insert(name);
            return nullptr;
        }
        return &table_.columns[i];
    }

    std::string literalSlot(const StoredValue& v) {
        out_.literals.push_back(ownValue(v));
        return "?" + std::to_string(st_.paramCount + static_cast<int>(out_.literals.size()));
    }

    static std::string slot(int param) { return "?" + std::to_string(param + 1); }

    // One side of a comparison; `other` is the column on the other side, if any.
    Result<std::string> side(const Operand& op, const ColumnInfo* self, const ColumnInfo* other) {
        switch (op.kind) {
            case Operand::Kind::Column: return quoteIdentifier(self->name);
            case Operand::Kind::Param:
                out_.slotTypes[op.param] = other ? comparisonType(other->type) : ColumnType{};
                return slot(op.param);
            case Operand::Kind::Literal: {
                const ColumnType type = other ? comparisonType(other->type) : ColumnType{};
                if (!comparable(type.storage, op.literal)) return typeMismatch();
                auto v = storeLiteral(op.asLiteral(), type, pictures_);
                if (!v) return v.error();
                return literalSlot(*v);
            }
        }
        return std::string();
    }

    Result<std::string> expr(const Expr& e) {
        switch (e.kind) {
            case Expr::Kind::And:
            case Expr::Kind::Or: {
                auto l = expr(*e.left);
                if (!l) return l;
                auto r = expr(*e.right);
                if (!r) return r;
                return "(" + *l + (e.kind == Expr::Kind::And ? " AND " : " OR ") + *r + ")";
            }
            case Expr::Kind::Not: {
                auto inner = expr(*e.left);
                if (!inner) return inner;
                return "(NOT " + *inner + ")";
            }
            case Expr::Kind::IsNull:
            case Expr::Kind::IsNotNull: {
                const ColumnInfo* c = e.lhs.kind == Operand::Kind::Column ? column(e.lhs.name) : nullptr;
                if (e.lhs.kind == Operand::Kind::Column && !c) return std::string("NULL");
                auto s = side(e.lhs, c, nullptr);
                if (!s) return s;
                return "(" + *s + (e.kind == Expr::Kind::IsNull ? " IS NULL)" : " IS NOT NULL)");
            }
            case Expr::Kind::Compare: {
                const ColumnInfo* l = e.lhs.kind == Operand::Kind::Column ? column(e.lhs.name) : nullptr;
                const ColumnInfo* r = e.rhs.kind == Operand::Kind::Column ? column(e.rhs.name) : nullptr;
                if ((e.lhs.kind == Operand::Kind::Column && !l) || (e.rhs.kind == Operand::Kind::Column && !r))
                    return std::string("NULL");  // reported as missing parameters once all names are seen
                auto ls = side(e.lhs, l, r);
                if (!ls) return ls;
                auto rs = side(e.rhs, r, l);
                if (!rs) return rs;
                const bool text = (l && l->type.storage == Storage::Text) || (r && r->type.storage == Storage::Text);
                const char* op = "=";
                switch (e.op) {
                    case Tok::Ne: op = "<>"; break;
                    case Tok::Lt: op = "<"; break;
                    case Tok::Le: op = "<="; break;
                    case Tok::Gt: op = ">"; break;
                    case Tok::Ge: op = ">="; break;
                    default: break;
                }
                std::string sql = "(" + *ls + " " + op + " " + *rs;
                if (text) sql += std::string(" COLLATE ") + kSwedishCollation;
                return sql + ")";
            }
        }
        return std::string();
    }

    Status where(std::string& sql) {
        if (!st_.where) return {};
        auto w = expr(*st_.where);
        if (!w) return w.error();
        sql += " WHERE " + *w;
        return {};
    }

    Status unknownNames() const {
        if (unknown_.empty()) return {};
        return tooFewParameters(static_cast<int>(unknown_.size()));
    }

    Result<Translation> select() {
        std::string sql = "SELECT ";
        if (st_.columns.empty()) {
            for (const ColumnInfo& c : table_.columns) out_.fields.push_back({c.name, c.type});
        } else {
            for (const std::string& name : st_.columns)
                if (const ColumnInfo* c = column(name)) out_.fields.push_back({c->name, c->type});
        }
        for (size_t i = 0; i < out_.fields.size(); ++i) sql += (i ? ", " : "") + quoteIdentifier(out_.fields[i].name);
        if (out_.fields.empty()) sql += "NULL";
        sql += " FROM " + quoteIdentifier(table_.name);
        if (auto s = where(sql); !s) return s.error();
        for (size_t i = 0; i < st_.orderBy.size(); ++i) {
            const OrderItem& item = st_.orderBy[i];
            const ColumnInfo* c = column(item.column);
            if (!c) continue;
            sql += i ? ", " : " ORDER BY ";
            sql += quoteIdentifier(c->name);
            if (c->type.storage == Storage::Text) sql += std::string(" COLLATE ") + kSwedishCollation;
            if (item.descending) sql += " DESC";
        }
        if (auto s = unknownNames(); !s) return s.error();
        out_.sql = std::move(sql);
        return std::move(out_);
    }

    Result<Translation> remove() {
        std::string sql = "DELETE FROM " + quoteIdentifier(table_.name);
        if (auto s = where(sql); !s) return s.error();
        if (auto s = unknownNames(); !s) return s.error();
        out_.sql = std::move(sql);
        return std::move(out_);
    }

    Result<Translation> insert() {
        std::vector<const ColumnInfo*> targets;
        if (st_.columns.empty()) {
            for (const ColumnInfo& c : table_.columns) targets.push_back(&c);
        } else {
            for (const std::string& name : st_.columns) {
                const int i = table_.find(name);
                if (i < 0) return unknownInsertField(name);
                for (const ColumnInfo* t : targets)
                    if (t == &table_.columns[i]) return duplicateDestination(table_.name + "." + t->name);
                targets.push_back(&table_.columns[i]);
            }
        }
        if (targets.size() != st_.values.size()) return valueCountMismatch();
        std::string cols, values;
        for (size_t i = 0; i < targets.size(); ++i) {
            const ColumnInfo& c = *targets[i];
            const Operand& v = st_.values[i];
            cols += (i ? ", " : "") + quoteIdentifier(c.name);
            values += i ? ", " : "";
            if (v.kind == Operand::Kind::Param) {
                out_.slotTypes[v.param] = c.type;
                values += slot(v.param);
            } else {
                auto stored = storeLiteral(v.asLiteral(), c.type, pictures_);
                if (!stored) return stored.error();
                values += literalSlot(*stored);
            }
        }
        out_.sql = "INSERT INTO " + quoteIdentifier(table_.name) + " (" + cols + ") VALUES (" + values + ")";
        return std::move(out_);
    }

    const ParsedStatement& st_;
    const TableInfo& table_;
    const DatePictures& pictures_;
    Translation out_;
    std::set<std::string> unknown_;
};

}  // namespace

Result<Translation> translate(const ParsedStatement& statement, Schema& schema, const DatePictures& pictures) {
    auto table = schema.table(statement.table);
    if (!table) return table.error();
    return Translator(statement, **table, pictures).run();
}

}  // namespace vexla::db
