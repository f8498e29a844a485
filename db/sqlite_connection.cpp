#include "db/sqlite_connection.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "common/posix_file_system.h"
#include "db/errors.h"
#include "db/lock_file.h"
#include "db/sql_parser.h"
#include "db/sqlite_errors.h"

namespace vexla::db {

Connection::Connection(sqlite3* db, std::string path, DatePictures pictures, std::string decimalSeparator,
                       std::shared_ptr<LockFile> lock, std::unique_ptr<BusyWait> busy)
    : db_(db),
      path_(std::move(path)),
      schema_(db),
      pictures_(std::move(pictures)),
      decimalSeparator_(std::move(decimalSeparator)),
      lock_(std::move(lock)),
      busy_(std::move(busy)) {}

// SqliteDatabase::Close closes it first on every path that reports.
Connection::~Connection() { ignoreBecause(close(), Untold::DestructorFallback); }

Result<Translation> Connection::translate(std::string_view sql) {
    if (!db_) return objectClosed(source::Database);
    auto parsed = parseStatement(sql);
    if (!parsed) return parsed.error();
    return db::translate(*parsed, schema_, pictures_);
}

Result<sqlite3_stmt*> Connection::acquire(const std::string& sql) {
    if (!db_) return objectClosed(source::Database);
    for (Cached& c : cache_) {
        if (!c.inUse && c.sql == sql) {
            c.inUse = true;
            c.lastUse = ++clock_;
            return c.stmt;
        }
    }
    sqlite3_stmt* stmt = nullptr;
    const int rc =
        sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) return errorFromSqlite(db_, rc);
    if (cache_.size() >= kCacheSize) {
        // Make room by finalizing the least recently used free statement.
        auto victim = cache_.end();
        for (auto it = cache_.begin(); it != cache_.end(); ++it)
            if (!it->inUse && (victim == cache_.end() || it->lastUse < victim->lastUse)) victim = it;
        if (victim == cache_.end()) return stmt;  // every cached one is busy: this one stays uncached
        sqlite3_finalize(victim->stmt);
        cache_.erase(victim);
    }
    cache_.push_back(Cached{sql, stmt, true, ++clock_});
    return stmt;
}

void Connection::release(sqlite3_stmt* stmt) {
    if (!stmt) return;
    for (Cached& c : cache_) {
        if (c.stmt == stmt) {
            sqlite3_reset(stmt);
            sqlite3_clear_bindings(stmt);
            c.inUse = false;
            return;
        }
    }
    sqlite3_finalize(stmt);
}

void Connection::disown(ConnectionChild* child) {
    children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
}

Status Connection::close() {
    if (!db_) return {};
    // Detaching a child may call disown(); work on a copy.
    const std::vector<ConnectionChild*> children = children_;
    for (ConnectionChild* c : children) c->detach();
    children_.clear();
    for (Cached& c : cache_) sqlite3_finalize(c.stmt);
    cache_.clear();
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    const int rc = sqlite3_close(db_);
    Status s;
    if (rc != SQLITE_OK) {
        s = errorFromSqlite(db_, rc);
        sqlite3_close_v2(db_);
    }
    db_ = nullptr;
    lock_.reset();
    const std::string scratch = std::exchange(scratch_, {});
    const int removed = scratch.empty() ? SQLITE_OK : removeEngineFile(scratch);
    if (removed != SQLITE_OK && removed != SQLITE_IOERR_DELETE_NOENT && s)
        s = errorFromSqlite(nullptr, removed, source::Engine);
    scratchLock_.reset();
    return s;
}

int removeEngineFile(const std::string& path) {
    sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    return vfs ? vfs->xDelete(vfs, path.c_str(), 0) : SQLITE_ERROR;
}

std::string journalModeOf(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    std::string mode;
    if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        if (const unsigned char* text = sqlite3_column_text(st, 0)) mode = reinterpret_cast<const char*>(text);
    sqlite3_finalize(st);
    return mode;
}

int bindStored(sqlite3_stmt* stmt, int index, const StoredValue& v) {
    switch (v.kind()) {
        case StoredValue::Kind::Null: return sqlite3_bind_null(stmt, index);
        case StoredValue::Kind::Integer: return sqlite3_bind_int64(stmt, index, v.integer());
        case StoredValue::Kind::Real: return sqlite3_bind_double(stmt, index, v.real());
        case StoredValue::Kind::Text:
            return sqlite3_bind_text(stmt, index, v.text().data(), static_cast<int>(v.text().size()), SQLITE_TRANSIENT);
        case StoredValue::Kind::Blob:
            return sqlite3_bind_blob(stmt, index, v.text().data(), static_cast<int>(v.text().size()), SQLITE_TRANSIENT);
    }
    return SQLITE_MISUSE;
}

int bindOwned(sqlite3_stmt* stmt, int index, const OwnedValue& v) {
    switch (v.kind) {
        case StoredValue::Kind::Null: return sqlite3_bind_null(stmt, index);
        case StoredValue::Kind::Integer: return sqlite3_bind_int64(stmt, index, v.integer);
        case StoredValue::Kind::Real: return sqlite3_bind_double(stmt, index, v.real);
        case StoredValue::Kind::Text:
            return sqlite3_bind_text(stmt, index, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
        case StoredValue::Kind::Blob:
            return sqlite3_bind_blob(stmt, index, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
    }
    return SQLITE_MISUSE;
}

int bindLiterals(sqlite3_stmt* stmt, const Translation& t) {
    const int first = static_cast<int>(t.slotTypes.size()) + 1;
    for (size_t i = 0; i < t.literals.size(); ++i) {
        const int rc = bindOwned(stmt, first + static_cast<int>(i), t.literals[i]);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

}  // namespace vexla::db
