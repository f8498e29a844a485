// The recordset of the SQLite engine: a forward-only walk over one SQLite
// statement. It reads straight from the statement, so moving costs one
// sqlite3_step and reading a raw value costs no copy.
#pragma once

#include <memory>
#include <vector>

#include "db/engine.h"
#include "db/sqlite_connection.h"

namespace vexla::db {

class SqliteRecordset final : public Recordset, public ConnectionChild {
public:
    // stmt: bound and not yet stepped. owned: give it back to the connection
    // on close; otherwise it belongs to a prepared statement and is only reset.
    SqliteRecordset(std::shared_ptr<Connection> conn, sqlite3_stmt* stmt, std::vector<FieldDef> fields, bool owned);
    ~SqliteRecordset() override;

    // Steps to the first row; an error of the query comes from here.
    Status start();

    bool Eof() const override { return eof_; }
    Status MoveFirst() override;
    Status MoveNext() override;
    long RecordCount() const override { return seen_; }
    void Close() override;

    int FieldCount() const override { return static_cast<int>(fields_.size()); }
    const std::string& name(int index) const override;
    int type(int index) const override;
    Result<Variant> value(int index) const override;
    RawValue raw(int index) const override;
    int indexOf(std::string_view name) const override;

    void detach() override;

private:
    Status step();

    std::shared_ptr<Connection> conn_;
    sqlite3_stmt* stmt_;
    std::vector<FieldDef> fields_;
    bool owned_;
    bool eof_ = true;
    long position_ = 0;  // 1 on the first row
    long seen_ = 0;
};

}  // namespace vexla::db
