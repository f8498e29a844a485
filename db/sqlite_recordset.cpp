#include "db/sqlite_recordset.h"

#include "db/errors.h"
#include "db/sqlite_errors.h"
#include "db/stored_format.h"
#include "db/swedish_collation.h"

namespace vexla::db {

SqliteRecordset::SqliteRecordset(std::shared_ptr<Connection> conn, sqlite3_stmt* stmt, std::vector<FieldDef> fields,
                                 bool owned)
    : conn_(std::move(conn)), stmt_(stmt), fields_(std::move(fields)), owned_(owned) {
    conn_->adopt(this);
}

SqliteRecordset::~SqliteRecordset() { Close(); }

Status SqliteRecordset::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        eof_ = false;
        ++position_;
        if (position_ > seen_) seen_ = position_;
        return {};
    }
    eof_ = true;
    if (rc == SQLITE_DONE) return {};
    return errorFromSqlite(conn_->handle(), rc, source::Recordset);
}

Status SqliteRecordset::start() { return step(); }

Status SqliteRecordset::MoveFirst() {
    if (!stmt_) return objectClosed(source::Recordset);
    if (position_ == 1 && !eof_) return {};
    sqlite3_reset(stmt_);
    position_ = 0;
    return step();
}

Status SqliteRecordset::MoveNext() {
    if (!stmt_) return objectClosed(source::Recordset);
    if (eof_) return noCurrentRecord(source::Recordset);
    return step();
}

void SqliteRecordset::detach() {
    if (!stmt_) return;
    if (owned_)
        conn_->release(stmt_);
    else
        sqlite3_reset(stmt_);
    stmt_ = nullptr;
    eof_ = true;
}

void SqliteRecordset::Close() {
    if (!stmt_) return;
    detach();
    conn_->disown(this);
}

const std::string& SqliteRecordset::name(int index) const { return fields_.at(static_cast<size_t>(index)).name; }
int SqliteRecordset::type(int index) const { return fields_.at(static_cast<size_t>(index)).type.daoType; }

int SqliteRecordset::indexOf(std::string_view name) const {
    for (size_t i = 0; i < fields_.size(); ++i)
        if (equalSwedish(fields_[i].name, name)) return static_cast<int>(i);
    return -1;
}

// The column's value is looked up once and read with the value functions:
// each column function takes the connection's mutex and checks for a failed
// allocation, three of them a value, a third of an export's time. The value
// is one the engine calls unprotected, safe while one thread at a time uses
// the statement, as a recordset is used.
RawValue SqliteRecordset::raw(int index) const {
    RawValue v;
    if (!stmt_ || eof_ || index < 0 || index >= FieldCount()) return v;
    sqlite3_value* value = sqlite3_column_value(stmt_, index);
    switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER:
            v.kind = RawValue::Kind::Integer;
            v.integer = sqlite3_value_int64(value);
            break;
        case SQLITE_FLOAT:
            v.kind = RawValue::Kind::Real;
            v.real = sqlite3_value_double(value);
            break;
        case SQLITE_TEXT: {
            v.kind = RawValue::Kind::Text;
            const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(value));
            v.text = std::string_view(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(value)));
            break;
        }
        case SQLITE_BLOB: {
            v.kind = RawValue::Kind::Text;
            const auto* p = static_cast<const char*>(sqlite3_value_blob(value));
            v.text = std::string_view(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(value)));
            break;
        }
        default: break;
    }
    return v;
}

Result<Variant> SqliteRecordset::value(int index) const {
    if (!stmt_) return objectClosed(source::Field);
    if (index < 0 || index >= FieldCount()) return itemNotFound(source::Recordset);
    if (eof_) return noCurrentRecord(source::Field);
    const RawValue r = raw(index);
    const Storage storage = fields_[static_cast<size_t>(index)].type.storage;
    switch (r.kind) {
        case RawValue::Kind::Null: return Variant(Null{});
        case RawValue::Kind::Integer:
            if (storage == Storage::Boolean) return Variant(r.integer != 0);
            return Variant(r.integer);
        case RawValue::Kind::Real:
            if (storage == Storage::Boolean) return Variant(r.real != 0);
            return Variant(r.real);
        case RawValue::Kind::Text:
            if (storage == Storage::DateTime) {
                DateTime t;
                if (parseStoredDateTime(r.text, t)) return Variant(t);
            }
            return Variant(std::string(r.text));
    }
    return Variant(Null{});
}

}  // namespace vexla::db
