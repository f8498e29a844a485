#include "db/sqlite_examined.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string_view>

#include "db/errors.h"
#include "db/sql_translator.h"
#include "db/sqlite_connection.h"
#include "db/sqlite_errors.h"

namespace vexla::db {

bool isFault(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
        case SQLITE_FORMAT:
        case SQLITE_RANGE: return true;
        // A page past the end of a file cut short.
        case SQLITE_IOERR: return rc == SQLITE_IOERR_SHORT_READ;
        default: return false;
    }
}

std::string columnText(sqlite3_stmt* stmt, int column) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return p ? p : "";
}

int eachRow(sqlite3* db, const std::string& sql, const std::vector<sqlite3_int64>& binds,
            const std::function<bool(sqlite3_stmt*)>& row) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    for (std::size_t i = 0; rc == SQLITE_OK && i < binds.size(); ++i)
        rc = sqlite3_bind_int64(stmt, static_cast<int>(i) + 1, binds[i]);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (row && !row(stmt)) {
            rc = SQLITE_DONE;
            break;
        }
        rc = SQLITE_OK;
    }
    // The statement's own code: sqlite3_errcode may meanwhile say "not an error".
    if (rc != SQLITE_DONE && rc != SQLITE_OK) rc = sqlite3_extended_errcode(db);
    sqlite3_finalize(stmt);
    return rc == SQLITE_OK ? SQLITE_DONE : rc;
}

Result<std::vector<SchemaObject>> schemaObjects(sqlite3* db, const std::string& path) {
    std::vector<SchemaObject> objects;
    const int rc =
        eachRow(db,
                "SELECT type, name, tbl_name, sql FROM main.sqlite_schema WHERE sql IS NOT NULL "
                "ORDER BY rowid",
                {}, [&](sqlite3_stmt* st) {
                    objects.push_back({columnText(st, 0), columnText(st, 1), columnText(st, 2), columnText(st, 3)});
                    return true;
                });
    if (rc == SQLITE_DONE) return objects;
    if (isFault(rc)) return corrupt(path);
    return errorFromSqlite(db, rc);
}

namespace {

bool internalName(const std::string& name) { return sqlite3_strnicmp(name.c_str(), "sqlite_", 7) == 0; }

}  // namespace

Error SqliteExaminedFile::failureOn(sqlite3* db, int rc) const {
    if (!db) return objectClosed(source::Database);
    if (isFault(rc)) return corrupt(path_);
    return errorFromSqlite(db, rc);
}

Result<std::vector<std::string>> SqliteExaminedFile::TableNames() {
    if (!db_) return objectClosed(source::Database);
    auto objects = schemaObjects(db_, path_);
    if (!objects) return objects.error();
    std::vector<std::string> names;
    for (const SchemaObject& o : *objects)
        if (o.type == "table" && !internalName(o.name) && !isSystemTable(o.name)) names.push_back(o.name);
    return names;
}

Result<std::vector<std::string>> SqliteExaminedFile::EngineCheck(bool full) {
    if (!db_) return objectClosed(source::Database);
    std::vector<std::string> messages;
    int unread = 0;
    // Both checks read every page once: the small cache does as well as any.
    const int rc = eachRow(db_, full ? "PRAGMA integrity_check" : "PRAGMA quick_check", {}, [&](sqlite3_stmt* st) {
        std::string line = columnText(st, 0);
        // A page the disk failed to read says nothing of the file: the check failed.
        constexpr std::string_view kNotRead = "unable to get the page. error code=";
        if (const auto at = line.find(kNotRead); at != std::string::npos)
            unread = (std::atoi(line.c_str() + at + kNotRead.size()) & 0xff) == SQLITE_IOERR ? SQLITE_IOERR : 0;
        if (line != "ok") messages.push_back(std::move(line));
        return unread == 0;
    });
    if (unread) return failure(unread);
    // A page the check cannot even walk to is a finding, not a failure to check.
    if (rc != SQLITE_DONE && isFault(rc))
        messages.emplace_back(sqlite3_errmsg(db_));
    else if (rc != SQLITE_DONE)
        return failure(rc);
    return messages;
}

std::vector<std::string> SqliteExaminedFile::indexesOf(const std::string& table) {
    std::vector<std::string> indexes;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT name FROM pragma_index_list(?1) WHERE partial = 0", -1, &st, nullptr) ==
        SQLITE_OK) {
        sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) indexes.push_back(columnText(st, 0));
    }
    sqlite3_finalize(st);
    return indexes;
}

Result<std::vector<ObjectReading>> SqliteExaminedFile::ReadEachObject() {
    if (!db_) return objectClosed(source::Database);
    // The indexes of UNIQUE and PRIMARY KEY constraints too, which have no definition of their own.
    std::vector<SchemaObject> objects;
    if (const int rc = eachRow(db_,
                               "SELECT type, name, tbl_name FROM main.sqlite_schema WHERE type IN ('table', 'index') "
                               "AND rootpage > 0 ORDER BY rowid",
                               {},
                               [&](sqlite3_stmt* st) {
                                   objects.push_back({columnText(st, 0), columnText(st, 1), columnText(st, 2), ""});
                                   return true;
                               });
        rc != SQLITE_DONE)
        return failure(rc);
    std::vector<ObjectReading> readings;
    for (const SchemaObject& o : objects) {
        std::string sql;
        if (o.type == "table") {
            // Every column of every row: a damaged record or overflow page faults too.
            sql = "SELECT * FROM main." + quoteIdentifier(o.name) + " NOT INDEXED";
        } else {
            const std::vector<std::string> whole = indexesOf(o.table);
            if (std::find(whole.begin(), whole.end(), o.name) == whole.end()) continue;  // partial
            // Only the index's own columns: the scan reads the index and never the table.
            std::string columns;
            eachRow(db_, "SELECT name FROM pragma_index_info(" + quoteIdentifier(o.name) + ")", {},
                    [&](sqlite3_stmt* st) {
                        if (sqlite3_column_type(st, 0) != SQLITE_NULL)
                            columns += (columns.empty() ? "" : ", ") + quoteIdentifier(columnText(st, 0));
                        return true;
                    });
            sql = "SELECT " + (columns.empty() ? std::string("rowid") : columns) + " FROM main." +
                  quoteIdentifier(o.table) + " INDEXED BY " + quoteIdentifier(o.name);
        }
        ObjectReading reading{o.name, o.table, o.type == "index", false, 0};
        const int rc = eachRow(db_, sql, {}, [&](sqlite3_stmt*) {
            ++reading.entries;
            return true;
        });
        if (rc != SQLITE_DONE && !isFault(rc)) return failure(rc);
        reading.whole = rc == SQLITE_DONE;
        readings.push_back(std::move(reading));
    }
    return readings;
}

bool SqliteExaminedFile::hasColumn(const std::string& table, const std::string& column) {
    bool found = false;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(links_, "SELECT count(*) FROM pragma_table_info(?1) WHERE name = ?2 COLLATE NOCASE", -1, &st,
                           nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, column.c_str(), -1, SQLITE_TRANSIENT);
        found = sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int(st, 0) > 0;
    }
    sqlite3_finalize(st);
    return found;
}

Result<std::optional<BrokenLinks>> SqliteExaminedFile::RowsWithoutLink(const LinkCheck& check, int firstFew) {
    if (!links_) return objectClosed(source::Database);
    const bool toParent = !check.parent.empty();
    if (!hasColumn(check.table, check.column) || (toParent && !hasColumn(check.parent, check.parentColumn)))
        return std::optional<BrokenLinks>();
    const std::string table = "main." + quoteIdentifier(check.table), column = quoteIdentifier(check.column);
    // Whether the value `v` names no parent.
    const auto missing = [&](const std::string& v) {
        return toParent ? "NOT EXISTS (SELECT 1 FROM main." + quoteIdentifier(check.parent) + " p WHERE p." +
                              quoteIdentifier(check.parentColumn) + " = " + v + ")"
                        : v + " IS NULL";
    };
    BrokenLinks found;
    int rc = eachRow(links_, "SELECT count(*) FROM " + table, {}, [&](sqlite3_stmt* st) {
        found.rows = static_cast<long>(sqlite3_column_int64(st, 0));
        return false;
    });
    // A Null names nothing: it is a broken link either way. Through the
    // column's index, the Nulls are one range of it and the other values are
    // visited by seeks; without one, a single pass over the table finds both
    // (no parent matches a Null).
    const bool byIndex = toParent && leadsIndex(check.table, check.column);
    if (rc == SQLITE_DONE)
        rc = eachRow(links_,
                     "SELECT count(*) FROM " + table + " t WHERE " +
                         (byIndex ? "t." + column + " IS NULL" : missing("t." + column)),
                     {}, [&](sqlite3_stmt* st) {
                         found.count = static_cast<long>(sqlite3_column_int64(st, 0));
                         return false;
                     });
    if (rc == SQLITE_DONE && byIndex) rc = countMissingByIndex(check, found);
    // The lowest row ids in row-id order: only when there are any to find.
    if (rc == SQLITE_DONE && found.count > 0)
        rc = eachRow(links_,
                     "SELECT rowid FROM " + table + " t WHERE " + missing("t." + column) + " ORDER BY rowid LIMIT ?1",
                     {firstFew}, [&](sqlite3_stmt* st) {
                         found.firstIds.push_back(sqlite3_column_int64(st, 0));
                         return true;
                     });
    if (rc != SQLITE_DONE) return failureOn(links_, rc);
    return std::optional<BrokenLinks>(found);
}

bool SqliteExaminedFile::leadsIndex(const std::string& table, const std::string& column) {
    bool leads = false;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(links_,
                           "SELECT count(*) FROM pragma_index_list(?1) l, pragma_index_info(l.name) i WHERE l.partial "
                           "= 0 AND i.seqno = 0 AND i.name = ?2 COLLATE NOCASE",
                           -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, column.c_str(), -1, SQLITE_TRANSIENT);
        leads = sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int(st, 0) > 0;
    }
    sqlite3_finalize(st);
    return leads;
}

// The index is walked from one distinct value to the next by seeks (a few
// hundred customers among a million bookings are a few hundred seeks, not a
// million entries read), each value looked up in the parent once, and the
// rows of a missing one counted in the index.
int SqliteExaminedFile::countMissingByIndex(const LinkCheck& check, BrokenLinks& found) {
    const std::string table = "main." + quoteIdentifier(check.table), column = quoteIdentifier(check.column);
    sqlite3_stmt *first = nullptr, *next = nullptr, *parent = nullptr, *rows = nullptr;
    int rc = sqlite3_prepare_v2(
        links_,
        ("SELECT " + column + " FROM " + table + " WHERE " + column + " IS NOT NULL ORDER BY " + column + " LIMIT 1")
            .c_str(),
        -1, &first, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(
            links_,
            ("SELECT " + column + " FROM " + table + " WHERE " + column + " > ?1 ORDER BY " + column + " LIMIT 1")
                .c_str(),
            -1, &next, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(links_,
                                ("SELECT EXISTS (SELECT 1 FROM main." + quoteIdentifier(check.parent) + " WHERE " +
                                 quoteIdentifier(check.parentColumn) + " = ?1)")
                                    .c_str(),
                                -1, &parent, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(links_, ("SELECT count(*) FROM " + table + " WHERE " + column + " = ?1").c_str(), -1,
                                &rows, nullptr);
    sqlite3_stmt* seek = first;
    while (rc == SQLITE_OK) {
        rc = sqlite3_step(seek);
        if (rc != SQLITE_ROW) break;
        sqlite3_value* value = sqlite3_value_dup(sqlite3_column_value(seek, 0));
        sqlite3_reset(seek);
        sqlite3_bind_value(parent, 1, value);
        rc = sqlite3_step(parent);
        if (rc == SQLITE_ROW && sqlite3_column_int(parent, 0) == 0) {
            sqlite3_bind_value(rows, 1, value);
            rc = sqlite3_step(rows);
            if (rc == SQLITE_ROW) found.count += static_cast<long>(sqlite3_column_int64(rows, 0));
            sqlite3_reset(rows);
        }
        sqlite3_reset(parent);
        sqlite3_bind_value(next, 1, value);
        sqlite3_value_free(value);
        seek = next;
        rc = rc == SQLITE_ROW ? SQLITE_OK : rc;
    }
    if (rc != SQLITE_DONE) rc = sqlite3_extended_errcode(links_);
    for (sqlite3_stmt* st : {first, next, parent, rows}) sqlite3_finalize(st);
    return rc;
}

Result<std::optional<long>> SqliteExaminedFile::RowCount(const std::string& table) {
    if (!db_) return objectClosed(source::Database);
    std::vector<std::string> ways{" NOT INDEXED"};
    for (const std::string& index : indexesOf(table)) ways.push_back(" INDEXED BY " + quoteIdentifier(index));
    for (const std::string& way : ways) {
        long count = 0;
        const int rc =
            eachRow(db_, "SELECT count(*) FROM main." + quoteIdentifier(table) + way, {}, [&](sqlite3_stmt* st) {
                count = static_cast<long>(sqlite3_column_int64(st, 0));
                return true;
            });
        if (rc == SQLITE_DONE) return std::optional<long>(count);
        if (!isFault(rc)) return failure(rc);
    }
    return std::optional<long>();
}

Result<std::vector<TableRescue>> SqliteExaminedFile::RescueInto(
    const std::string& path, const std::function<bool(std::uint64_t, std::uint64_t)>& progress) {
    if (!db_) return objectClosed(source::Database);
    return rescueRows(db_, path_, path, progress);
}

void SqliteExaminedFile::InterruptWhen(std::function<bool()> asked) {
    stopWatching();
    asked_ = std::move(asked);
    if (!db_) return;
    if (!asked_) {
        for (sqlite3* db : {db_, links_}) sqlite3_progress_handler(db, 0, nullptr, nullptr);
        return;
    }
    for (sqlite3* db : {db_, links_})
        sqlite3_progress_handler(
            db, 20000, [](void* self) -> int { return static_cast<SqliteExaminedFile*>(self)->asked_() ? 1 : 0; },
            this);
    // PRAGMA quick_check and integrity_check never call the progress
    // handler; sqlite3_interrupt, safe from any thread, ends them too.
    watching_ = true;
    watcher_ = std::thread([this] {
        std::unique_lock<std::mutex> lock(watchMutex_);
        while (watching_) {
            watchWake_.wait_for(lock, std::chrono::milliseconds(25));
            if (watching_ && asked_())
                for (sqlite3* db : {db_, links_}) sqlite3_interrupt(db);
        }
    });
}

void SqliteExaminedFile::stopWatching() {
    if (!watcher_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(watchMutex_);
        watching_ = false;
    }
    watchWake_.notify_all();
    watcher_.join();
}

Status SqliteExaminedFile::Close() {
    stopWatching();
    if (!db_) return {};
    sqlite3_close_v2(links_);  // only read, nothing of it to lose
    links_ = nullptr;
    // Only read: ending the transaction changes nothing.
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    const int rc = sqlite3_close(db_);
    Status s = rc == SQLITE_OK ? Status() : Status(errorFromSqlite(db_, rc));
    if (rc != SQLITE_OK) sqlite3_close_v2(db_);
    db_ = nullptr;
    fence_.release();
    return s;
}

bool SqliteExaminedFile::KeepsCommitsOut() { return db_ && journalModeOf(db_) != "wal"; }

}  // namespace vexla::db
