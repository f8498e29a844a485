#include "db/sqlite_database.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <future>

#include "common/open_descriptors.h"
#include "db/errors.h"
#include "db/sqlite_errors.h"
#include "db/sqlite_prepared.h"
#include "db/sqlite_recordset.h"

namespace vexla::db {

namespace {

// Puts the file `path`, a database nobody else has open, in WAL mode.
Status setWalMode(const std::string& path) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    std::string mode;
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        rc = sqlite3_exec(
            db, "PRAGMA synchronous = OFF; PRAGMA journal_mode = WAL",
            [](void* out, int, char** values, char**) {
                *static_cast<std::string*>(out) = values[0] ? values[0] : "";
                return 0;
            },
            &mode, nullptr);
    }
    Status result;
    if (rc != SQLITE_OK)
        result = errorFromSqlite(db, sqlite3_extended_errcode(db), source::Engine);
    else if (mode != "wal")
        result = errorFromSqlite(db, SQLITE_CANTOPEN, source::Engine);
    if (sqlite3_close(db) != SQLITE_OK && result) result = errorFromSqlite(nullptr, SQLITE_IOERR, source::Engine);
    return result;
}

}  // namespace

Result<std::vector<OwnedValue>> slotValues(const Translation& t, const std::vector<Variant>& values,
                                           const DatePictures& pictures) {
    if (values.size() < t.slotTypes.size())
        return tooFewParameters(static_cast<int>(t.slotTypes.size() - values.size()));
    if (values.size() > t.slotTypes.size()) return invalidArgument(source::Database);
    std::vector<OwnedValue> out;
    out.reserve(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        auto v = storeVariant(values[i], t.slotTypes[i], pictures);
        if (!v) return v.error();
        out.push_back(ownValue(*v));
    }
    return out;
}

Result<std::unique_ptr<Recordset>> runSelect(const std::shared_ptr<Connection>& conn, const Translation& t,
                                             const std::vector<OwnedValue>& slots) {
    if (t.kind != ParsedStatement::Kind::Select) return invalidOperation(source::Database);
    auto stmt = conn->acquire(t.sql);
    if (!stmt) return stmt.error();
    int rc = SQLITE_OK;
    for (size_t i = 0; i < slots.size() && rc == SQLITE_OK; ++i)
        rc = bindOwned(*stmt, static_cast<int>(i) + 1, slots[i]);
    if (rc == SQLITE_OK) rc = bindLiterals(*stmt, t);
    if (rc != SQLITE_OK) {
        Error e = errorFromSqlite(conn->handle(), rc);
        conn->release(*stmt);
        return e;
    }
    auto rs = std::make_unique<SqliteRecordset>(conn, *stmt, t.fields, true);
    if (auto s = rs->start(); !s) return s.error();
    return std::unique_ptr<Recordset>(std::move(rs));
}

Status SqliteDatabase::Execute(std::string_view sql, int /*options*/) {
    // SQLite runs every statement whole or not at all, which is what
    // fail-on-error asks for; without it the engine would do the same here.
    auto t = conn_->translate(sql);
    if (!t) return t.error();
    if (t->kind == ParsedStatement::Kind::Select) return cannotExecuteSelect(source::Database);
    if (!t->slotTypes.empty()) return tooFewParameters(static_cast<int>(t->slotTypes.size()));
    auto stmt = conn_->acquire(t->sql);
    if (!stmt) return stmt.error();
    int rc = bindLiterals(*stmt, *t);
    if (rc == SQLITE_OK) rc = sqlite3_step(*stmt);
    if (rc != SQLITE_DONE) {
        Error e = errorFromSqlite(conn_->handle(), rc == SQLITE_ROW ? SQLITE_MISUSE : rc);
        conn_->release(*stmt);
        return e;
    }
    affected_ = static_cast<long>(sqlite3_changes64(conn_->handle()));
    conn_->release(*stmt);
    return {};
}

Result<std::unique_ptr<Recordset>> SqliteDatabase::OpenRecordset(std::string_view sql, int, int, int) {
    return OpenRecordset(sql, std::vector<Variant>{});
}

Result<std::unique_ptr<Recordset>> SqliteDatabase::OpenRecordset(std::string_view sql,
                                                                 const std::vector<Variant>& parameters) {
    auto t = conn_->translate(sql);
    if (!t) return t.error();
    if (t->kind != ParsedStatement::Kind::Select) return invalidOperation(source::Database);
    auto slots = slotValues(*t, parameters, conn_->pictures());
    if (!slots) return slots.error();
    return runSelect(conn_, *t, *slots);
}

Result<std::unique_ptr<PreparedStatement>> SqliteDatabase::Prepare(std::string_view sql) {
    auto t = conn_->translate(sql);
    if (!t) return t.error();
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v3(conn_->handle(), t->sql.c_str(), static_cast<int>(t->sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) return errorFromSqlite(conn_->handle(), rc);
    if (const int b = bindLiterals(stmt, *t); b != SQLITE_OK) {
        Error e = errorFromSqlite(conn_->handle(), b);
        sqlite3_finalize(stmt);
        return e;
    }
    return std::unique_ptr<PreparedStatement>(std::make_unique<SqlitePrepared>(conn_, std::move(*t), stmt));
}

Status SqliteDatabase::exec(const char* sql) {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    const int rc = sqlite3_exec(conn_->handle(), sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return errorFromSqlite(conn_->handle(), sqlite3_extended_errcode(conn_->handle()));
    return {};
}

Status SqliteDatabase::BeginTrans() {
    const std::string savepoint = "SAVEPOINT vexla_" + std::to_string(depth_);
    // A transaction of ours always writes: it takes the write lock at its
    // start (waiting like a busy timeout), never half way, where a writer
    // of the booking system would make the upgrade fail at once.
    if (auto s = exec(depth_ == 0 ? "BEGIN IMMEDIATE" : savepoint.c_str()); !s) return s;
    ++depth_;
    fitCache();
    return {};
}

// SQLite may end a transaction by itself (a full disk, an I/O error); the
// depth then follows the connection, so the next BeginTrans starts afresh.
void SqliteDatabase::settleDepth() {
    if (conn_->isOpen() && sqlite3_get_autocommit(conn_->handle())) depth_ = 0;
    fitCache();
}

// The large cache while a transaction writes, the small one otherwise
// (kWriteCache, kReadCache); shrinking it frees the pages of the last one.
void SqliteDatabase::fitCache() {
    const bool writing = depth_ > 0;
    if (writing == writeCache_ || !conn_->isOpen()) return;
    setCache(writing);
}

void SqliteDatabase::setCache(bool large) {
    ignoreBecause(exec(large ? kWriteCache : kReadCache), Untold::Hint);
    writeCache_ = large;
}

Status SqliteDatabase::CommitTrans() {
    if (depth_ == 0) return noTransaction();
    const std::string release = "RELEASE vexla_" + std::to_string(depth_ - 1);
    if (auto s = exec(depth_ == 1 ? "COMMIT" : release.c_str()); !s) {
        settleDepth();
        return s;
    }
    --depth_;
    fitCache();
    return {};
}

Status SqliteDatabase::Rollback() {
    if (depth_ == 0) return noTransaction();
    const std::string name = "vexla_" + std::to_string(depth_ - 1);
    const std::string undo = "ROLLBACK TO " + name + "; RELEASE " + name;
    if (depth_ == 1 && conn_->isOpen() && sqlite3_get_autocommit(conn_->handle())) {
        depth_ = 0;  // already rolled back by SQLite itself
        fitCache();
        return {};
    }
    if (auto s = exec(depth_ == 1 ? "ROLLBACK" : undo.c_str()); !s) {
        settleDepth();
        return s;
    }
    --depth_;
    fitCache();
    return {};
}

Result<std::vector<std::string>> SqliteDatabase::TableNames() {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    auto tables = conn_->schema().tables();
    if (!tables) return tables.error();
    std::vector<std::string> names;
    for (const TableInfo& t : **tables)
        if (!isSystemTable(t.name)) names.push_back(t.name);
    return names;
}

Result<long> SqliteDatabase::TableRecordCount(std::string_view table) {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    auto info = conn_->schema().table(table);
    if (!info) return info.error();
    return countOf("SELECT count(*) FROM " + quoteIdentifier((*info)->name));
}

Result<std::vector<std::string>> SqliteDatabase::RequiredColumns(std::string_view table) {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    auto info = conn_->schema().table(table);
    if (!info) return info.error();
    std::vector<std::string> names;
    for (const ColumnInfo& c : (*info)->columns)
        if (c.required) names.push_back(c.name);
    return names;
}

Status SqliteDatabase::CheckIntegrity() { return check("PRAGMA integrity_check"); }

// The checks and counts of a compaction read every page once: a small
// cache does as well as the import's large one and keeps the job's memory
// low while another connection holds its own.
constexpr const char* kCheckCache = "PRAGMA cache_size = -8192";

Status SqliteDatabase::check(const char* pragma) {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    if (auto s = exec(kCheckCache); !s) return s;
    auto stmt = conn_->acquire(pragma);
    if (!stmt) return stmt.error();
    std::string problems;
    int rc;
    while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(*stmt, 0));
        const std::string line = p ? p : "";
        if (line != "ok") problems += (problems.empty() ? "" : "; ") + line;
    }
    if (rc != SQLITE_DONE) {
        Error e = errorFromSqlite(conn_->handle(), rc);
        conn_->release(*stmt);
        return e;
    }
    conn_->release(*stmt);
    if (problems.empty()) return {};
    Error e = corrupt(conn_->path());
    e.source = source::Database;
    e.description += " (" + problems + ")";
    return e;
}

Status SqliteDatabase::QuickCheck() { return check("PRAGMA quick_check"); }

Result<long> SqliteDatabase::countOf(const std::string& sql) {
    auto text = textOf(sql);
    if (!text) return text.error();
    return std::stol(*text);
}

Result<std::map<std::string, long>> SqliteDatabase::ContentCounts() {
    auto tables = TableNames();
    if (!tables) return tables.error();
    if (auto s = exec(kCheckCache); !s) return s.error();
    std::map<std::string, long> counts;
    for (const std::string& table : *tables) {
        auto rows = countOf("SELECT count(*) FROM " + quoteIdentifier(table));
        if (!rows) return rows.error();
        counts[table] = *rows;
        std::vector<std::string> indexes;
        auto list = conn_->acquire("SELECT name, partial FROM pragma_index_list(?1)");
        if (!list) return list.error();
        sqlite3_bind_text(*list, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(*list) == SQLITE_ROW)
            if (sqlite3_column_int(*list, 1) == 0)
                indexes.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(*list, 0)));
        conn_->release(*list);
        for (const std::string& index : indexes) {
            // Counted by walking the index itself, not the table.
            auto entries =
                countOf("SELECT count(*) FROM " + quoteIdentifier(table) + " INDEXED BY " + quoteIdentifier(index));
            if (!entries) return entries.error();
            counts[table + "." + index] = *entries;
            if (*entries != *rows) {
                Error e = corrupt(conn_->path());
                e.source = source::Database;
                e.description += " (" + index + ": " + std::to_string(*entries) + " <> " + std::to_string(*rows) + ")";
                return e;
            }
        }
    }
    return counts;
}

Status SqliteDatabase::CompactInto(const std::string& path) {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    return compactInto(*this, path);
}

Result<std::string> SqliteDatabase::textOf(const std::string& sql) {
    auto stmt = conn_->acquire(sql);
    if (!stmt) return stmt.error();
    const int rc = sqlite3_step(*stmt);
    if (rc != SQLITE_ROW) {
        Error e = errorFromSqlite(conn_->handle(), rc);
        conn_->release(*stmt);
        return e;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(*stmt, 0));
    std::string value = text ? text : "";
    conn_->release(*stmt);
    return value;
}

Status SqliteDatabase::SyncFile() {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    sqlite3_file* file = nullptr;
    int rc = sqlite3_file_control(conn_->handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file);
    if (rc == SQLITE_OK && file && file->pMethods) rc = file->pMethods->xSync(file, SQLITE_SYNC_NORMAL);
    if (rc != SQLITE_OK) return errorFromSqlite(conn_->handle(), rc, source::Engine);
    return {};
}

Status SqliteDatabase::Vacuum() {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    // VACUUM writes the whole file anew, and its work copy takes this
    // connection's cache size: the large one, as a writing transaction has.
    setCache(true);
    Status done = exec("VACUUM");
    fitCache();
    return done;
}

void SqliteDatabase::InterruptWhen(std::function<bool()> asked) {
    stopWatching();
    interruptWhen_ = std::move(asked);
    if (!conn_->isOpen()) return;
    // A wait for another connection's lock ends at a stop too.
    conn_->busy().stopWhen(interruptWhen_);
    if (!interruptWhen_) {
        sqlite3_progress_handler(conn_->handle(), 0, nullptr, nullptr);
        return;
    }
    sqlite3_progress_handler(
        conn_->handle(), 20000,
        [](void* self) -> int { return static_cast<SqliteDatabase*>(self)->interruptWhen_() ? 1 : 0; }, this);
    // PRAGMA quick_check and integrity_check run as one step of the engine
    // and never call the progress handler; sqlite3_interrupt, which may be
    // called from any thread, ends them too.
    watching_ = true;
    watcher_ = std::thread([this, db = conn_->handle()] {
        std::unique_lock<std::mutex> lock(watchMutex_);
        while (watching_) {
            watchWake_.wait_for(lock, std::chrono::milliseconds(25));
            if (watching_ && !holdInterrupts_ && interruptWhen_()) sqlite3_interrupt(db);
        }
    });
}

void SqliteDatabase::stopWatching() {
    if (!watcher_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(watchMutex_);
        watching_ = false;
    }
    watchWake_.notify_all();
    watcher_.join();
}

Status SqliteDatabase::vacuumInto(const std::string& file) {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    auto mode = textOf("PRAGMA journal_mode");
    if (!mode) return mode.error();
    auto synchronous = textOf("PRAGMA synchronous");
    if (!synchronous) return synchronous.error();
    // The output takes this connection's sync setting: none while it is
    // written (the caller syncs it whole), this connection's own again after,
    // as the compacted content may yet be written back into its file.
    if (auto s = exec("PRAGMA synchronous = OFF"); !s) return s;
    if (auto s = exec(kCheckCache); !s) return s;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(conn_->handle(), "VACUUM INTO ?1", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_bind_text(stmt, 1, file.c_str(), -1, SQLITE_TRANSIENT);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    Status result;
    if (rc != SQLITE_DONE)
        result = errorFromSqlite(conn_->handle(), sqlite3_extended_errcode(conn_->handle()), source::Engine);
    sqlite3_finalize(stmt);
    const std::string restore = "PRAGMA synchronous = " + *synchronous;
    if (auto s = exec(restore.c_str()); result && !s) result = s;
    // VACUUM INTO writes a rollback-mode file; a database kept in WAL mode
    // is the same database only in WAL mode again.
    if (result && *mode == "wal") result = setWalMode(file);
    return result;
}

Status SqliteDatabase::Close() {
    stopWatching();
    depth_ = 0;
    return conn_->close();
}

}  // namespace vexla::db
