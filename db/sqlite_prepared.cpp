#include "db/sqlite_prepared.h"

#include "db/errors.h"
#include "db/sqlite_database.h"
#include "db/sqlite_errors.h"

namespace vexla::db {

SqlitePrepared::SqlitePrepared(std::shared_ptr<Connection> conn, Translation t, sqlite3_stmt* stmt)
    : conn_(std::move(conn)), t_(std::move(t)), stmt_(stmt) {
    bound_.assign(t_.slotTypes.size(), false);
    selectValues_.resize(t_.slotTypes.size());
    texts_.resize(t_.slotTypes.size());
    values_.resize(t_.slotTypes.size());
    conn_->adopt(this);
}

SqlitePrepared::~SqlitePrepared() { Close(); }

void SqlitePrepared::detach() {
    if (!stmt_) return;
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
}

void SqlitePrepared::Close() {
    if (!stmt_) return;
    detach();
    conn_->disown(this);
}

Status SqlitePrepared::ready() const {
    if (!stmt_) return objectClosed(source::QueryDef);
    return {};
}

Status SqlitePrepared::bind(int slot, const Result<StoredValue>& value) {
    RawValue& held = values_[static_cast<std::size_t>(slot)];
    held = RawValue{};
    if (!value) {
        Error e = value.error();
        e.source = source::QueryDef;
        return e;
    }
    int rc = SQLITE_OK;
    if (const auto kind = value->kind(); kind == StoredValue::Kind::Text || kind == StoredValue::Kind::Blob) {
        // Until the slot is bound again or the statement is finalized.
        std::string& text = texts_[static_cast<std::size_t>(slot)];
        text.assign(value->text());
        const int size = static_cast<int>(text.size());
        if (kind == StoredValue::Kind::Text) held = RawValue{RawValue::Kind::Text, 0, 0, text};
        rc = kind == StoredValue::Kind::Text ? sqlite3_bind_text(stmt_, slot + 1, text.data(), size, SQLITE_STATIC)
                                             : sqlite3_bind_blob(stmt_, slot + 1, text.data(), size, SQLITE_STATIC);
    } else {
        rc = bindStored(stmt_, slot + 1, *value);
        if (value->kind() == StoredValue::Kind::Integer)
            held = RawValue{RawValue::Kind::Integer, value->integer(), 0, {}};
        if (value->kind() == StoredValue::Kind::Real) held = RawValue{RawValue::Kind::Real, 0, value->real(), {}};
    }
    if (rc != SQLITE_OK) {
        held = RawValue{};
        return errorFromSqlite(conn_->handle(), rc, source::QueryDef);
    }
    if (t_.kind == ParsedStatement::Kind::Select) selectValues_[slot] = ownValue(*value);
    bound_[slot] = true;
    return {};
}

Status SqlitePrepared::bindLiteral(int slot, const Literal& literal) {
    if (auto s = ready(); !s) return s;
    if (slot < 0 || slot >= ParameterCount()) return itemNotFound(source::QueryDef);
    return bind(slot, storeLiteral(literal, t_.slotTypes[slot], conn_->pictures()));
}

Status SqlitePrepared::BindText(int slot, std::string_view text) {
    return bindLiteral(slot, Literal{Literal::Kind::Text, text, false});
}

Status SqlitePrepared::BindDate(int slot, std::string_view literal) {
    return bindLiteral(slot, Literal{Literal::Kind::Date, literal, false});
}

Status SqlitePrepared::BindBare(int slot, std::string_view literal) {
    auto parsed = parseBareLiteral(literal, conn_->decimalSeparator(), scratch_);
    if (!parsed) {
        Error e = parsed.error();
        e.source = source::QueryDef;
        return e;
    }
    return bindLiteral(slot, *parsed);
}

Status SqlitePrepared::BindNull(int slot) { return bindLiteral(slot, Literal{}); }

Status SqlitePrepared::Bind(int slot, const Variant& value) {
    if (auto s = ready(); !s) return s;
    if (slot < 0 || slot >= ParameterCount()) return itemNotFound(source::QueryDef);
    return bind(slot, storeVariant(value, t_.slotTypes[slot], conn_->pictures()));
}

RawValue SqlitePrepared::BoundValue(int slot) const {
    if (slot < 0 || slot >= ParameterCount()) return {};
    return values_[static_cast<std::size_t>(slot)];
}

Status SqlitePrepared::Execute() {
    if (auto s = ready(); !s) return s;
    if (t_.kind == ParsedStatement::Kind::Select) return cannotExecuteSelect(source::QueryDef);
    int missing = 0;
    for (bool b : bound_) missing += !b;
    if (missing) return tooFewParameters(missing);
    const int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_DONE) {
        Error e = errorFromSqlite(conn_->handle(), rc == SQLITE_ROW ? SQLITE_MISUSE : rc, source::QueryDef);
        sqlite3_reset(stmt_);
        return e;
    }
    affected_ = static_cast<long>(sqlite3_changes64(conn_->handle()));
    sqlite3_reset(stmt_);
    return {};
}

Result<std::unique_ptr<Recordset>> SqlitePrepared::OpenRecordset() {
    if (auto s = ready(); !s) return s.error();
    int missing = 0;
    for (bool b : bound_) missing += !b;
    if (missing) return tooFewParameters(missing);
    return runSelect(conn_, t_, selectValues_);
}

}  // namespace vexla::db
