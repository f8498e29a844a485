// Database::ReplaceTableFrom of the SQLite engine (see engine.h for the
// contract): the long work of an import is done on a staging copy, and
// only this short step holds the booking system's writers off.
#include <sqlite3.h>

#include <string>

#include "db/errors.h"
#include "db/sql_translator.h"
#include "db/sqlite_database.h"
#include "db/sqlite_errors.h"

namespace vexla::db {

namespace {

constexpr const char* kStaged = "vexla_staged";

}  // namespace

Status SqliteDatabase::attachStaged(const std::string& path) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(conn_->handle(), (std::string("ATTACH ?1 AS ") + kStaged).c_str(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_bind_text(stmt, 1, path.c_str(), -1, SQLITE_TRANSIENT);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) return errorFromSqlite(conn_->handle(), sqlite3_extended_errcode(conn_->handle()));
    return {};
}

// The staged table's rows go in but for those still here as they were (the
// rows the delete spares, copied with the rest): compared by their values,
// not their row ids, so a row the booking system added here meanwhile can
// never hide a new one. The reading indexes are built once after.
Result<long> SqliteDatabase::ReplaceTableFrom(Database& staged, std::string_view table,
                                              std::string_view deleteStatement) {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    if (depth_ != 0) return invalidOperation(source::Database);
    if (auto s = attachStaged(staged.Name()); !s) return s.error();
    long deleted = 0;
    Status s = BeginTrans();
    if (s) s = Execute(deleteStatement, dao::FailOnError);
    if (s) deleted = RecordsAffected();
    auto dropped = s ? DropReadingIndexes(table) : Result<std::vector<std::string>>(s.error());
    if (s && !dropped) s = dropped.error();
    const std::string name = quoteIdentifier(table);
    auto spared = s ? TableRecordCount(table) : Result<long>(0L);
    if (s && !spared) s = spared.error();
    // Where the delete spared nothing (the bookings), the whole table goes
    // in as it is, which the engine copies page by page.
    const std::string rows = "SELECT * FROM " + std::string(kStaged) + "." + name;
    const std::string except = spared && *spared > 0 ? " EXCEPT SELECT * FROM main." + name : "";
    if (s) s = exec(("INSERT INTO main." + name + " " + rows + except).c_str());
    if (s) s = CreateIndexes(*dropped);
    if (s) s = CommitTrans();
    if (!s) ignoreBecause(Rollback(), Untold::AfterFailure);
    // This connection only read the staged copy: detaching it ends that read.
    ignoreBecause(exec((std::string("DETACH ") + kStaged).c_str()), Untold::OnlyRead);
    if (!s) return s.error();
    return deleted;
}

}  // namespace vexla::db
