// A prepared statement of the SQLite engine: one SQLite statement kept for
// the life of the object, values converted and bound slot by slot.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/engine.h"
#include "db/sqlite_connection.h"

namespace vexla::db {

class SqlitePrepared final : public PreparedStatement, public ConnectionChild {
public:
    SqlitePrepared(std::shared_ptr<Connection> conn, Translation t, sqlite3_stmt* stmt);
    ~SqlitePrepared() override;

    int ParameterCount() const override { return static_cast<int>(t_.slotTypes.size()); }
    Status BindText(int slot, std::string_view text) override;
    Status BindDate(int slot, std::string_view literal) override;
    Status BindBare(int slot, std::string_view literal) override;
    Status BindNull(int slot) override;
    Status Bind(int slot, const Variant& value) override;
    RawValue BoundValue(int slot) const override;
    Status Execute() override;
    Result<std::unique_ptr<Recordset>> OpenRecordset() override;
    long RecordsAffected() const override { return affected_; }
    void Close() override;

    void detach() override;

private:
    Status bindLiteral(int slot, const Literal& literal);
    Status bind(int slot, const Result<StoredValue>& value);
    Status ready() const;

    std::shared_ptr<Connection> conn_;
    Translation t_;
    sqlite3_stmt* stmt_;
    std::vector<bool> bound_;
    std::vector<OwnedValue> selectValues_;  // a SELECT runs on a statement of its own each time
    // The bound texts, one buffer per slot kept for the statement's life:
    // SQLite reads them in place, where a copy of its own per value (a
    // malloc and a free each) cost a bulk import a fifth of its time.
    std::vector<std::string> texts_;
    std::vector<RawValue> values_;  // what each slot holds; a text views texts_
    std::string scratch_;
    long affected_ = 0;
};

}  // namespace vexla::db
