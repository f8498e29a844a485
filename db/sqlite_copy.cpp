// Database::CopyRowsInto of the SQLite engine (see engine.h for the
// contract): the copy is attached to the connection that holds the database,
// and every table is filled by one INSERT ... SELECT, so no row passes
// through the program, and the indexes are built once over the rows kept
// instead of being kept up to date row by row.
#include <sqlite3.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "db/errors.h"
#include "db/sql_translator.h"
#include "db/sqlite_database.h"
#include "db/sqlite_errors.h"
#include "db/stored_format.h"

namespace vexla::db {

namespace {

// The copy's name on the connection while it is attached.
constexpr const char* kCopy = "vexla_copy";

// One object of the source's schema, as sqlite_schema keeps it.
struct SchemaEntry {
    std::string type, name, sql;
};

// The statement that creates `sql`'s object in the copy. SQLite keeps every
// CREATE statement with its head normalised ("CREATE TABLE name ...", no
// IF NOT EXISTS, no schema name), so the copy's name goes after the head.
// Nothing for a statement of another form (a virtual table).
std::optional<std::string> createdInCopy(const std::string& sql) {
    static const char* const heads[] = {"CREATE TABLE ", "CREATE UNIQUE INDEX ", "CREATE INDEX ", "CREATE VIEW ",
                                        "CREATE TRIGGER "};
    for (const char* head : heads)
        if (sql.rfind(head, 0) == 0) return std::string(head) + kCopy + "." + sql.substr(std::strlen(head));
    return std::nullopt;
}

bool sameName(const std::string& a, const std::string& b) { return sqlite3_stricmp(a.c_str(), b.c_str()) == 0; }

class RowCopy {
public:
    RowCopy(sqlite3* db, const std::vector<KeptRows>& keep,
            const std::function<bool(std::uint64_t, std::uint64_t)>& progress)
        : db_(db), keep_(keep), progress_(progress) {}

    Status run(const std::string& destination) {
        // Asked every thousand steps of the engine: a few microseconds
        // apart, cheap beside them, and a stop ends any statement at once.
        sqlite3_progress_handler(db_, 1000, &RowCopy::tick, this);
        sqlite3_create_function_v2(db_, "vexla_kept_row", 0, SQLITE_UTF8 | SQLITE_DIRECTONLY, this, &RowCopy::keptRow,
                                   nullptr, nullptr, nullptr);
        Status s = readSource();
        if (s) s = attach(destination);
        if (s) s = countRows();
        if (s) s = fill();
        // The last rows written, which no tick may have told; a stop asked
        // for now is taken like one asked for before.
        if (s && progress_ && !progress_(written_, total_)) s = errorFromSqlite(nullptr, SQLITE_INTERRUPT);
        if (attached_) {
            // Rolled back and detached even after a stop: the handler lets them through.
            finished_ = true;
            if (!s) ignoreBecause(exec("ROLLBACK"), Untold::AfterFailure);
            if (Status detached = exec(std::string("DETACH ") + kCopy); s && !detached) s = detached;
        }
        sqlite3_create_function_v2(db_, "vexla_kept_row", 0, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
        sqlite3_progress_handler(db_, 0, nullptr, nullptr);
        return s;
    }

private:
    static int tick(void* self) {
        auto* copy = static_cast<RowCopy*>(self);
        if (copy->finished_ || !copy->progress_) return 0;
        return copy->progress_(copy->written_, copy->counted_ ? copy->total_ : 0) ? 0 : 1;
    }
    static void keptRow(sqlite3_context* context, int, sqlite3_value**) {
        ++static_cast<RowCopy*>(sqlite3_user_data(context))->written_;
        sqlite3_result_int(context, 1);
    }

    Status failure() { return errorFromSqlite(db_, sqlite3_extended_errcode(db_)); }

    Status exec(const std::string& sql) {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) return failure();
        return {};
    }

    // Runs `sql` with the interval of `range` bound to its ?1 and ?2 (if any);
    // `row` hears each row it answers.
    Status query(const std::string& sql, const KeptRows* range, const std::function<void(sqlite3_stmt*)>& row = {}) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr);
        if (rc == SQLITE_OK && range && sqlite3_bind_parameter_count(stmt) == 2) {
            char first[kStoredDateTimeLength], last[kStoredDateTimeLength];
            formatStoredDateTime(range->first, first);
            formatStoredDateTime(range->last, last);
            rc = sqlite3_bind_text(stmt, 1, first, kStoredDateTimeLength, SQLITE_TRANSIENT);
            if (rc == SQLITE_OK) rc = sqlite3_bind_text(stmt, 2, last, kStoredDateTimeLength, SQLITE_TRANSIENT);
        }
        while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            if (row) row(stmt);
            rc = SQLITE_OK;
        }
        Status s = rc == SQLITE_DONE ? Status() : failure();
        sqlite3_finalize(stmt);
        return s;
    }

    static std::string text(sqlite3_stmt* stmt, int column) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return p ? p : "";
    }

    Status setting(const char* pragma, std::string& value) {
        return query(std::string("PRAGMA main.") + pragma, nullptr, [&](sqlite3_stmt* s) { value = text(s, 0); });
    }

    Status readSource() {
        Status s;
        for (const char* pragma : {"page_size", "auto_vacuum", "user_version", "application_id", "journal_mode"})
            if (s) s = setting(pragma, settings_.emplace_back());
        // Objects SQLite makes itself (sqlite_sequence, the statistics, the
        // indexes of UNIQUE and PRIMARY KEY constraints) come with the others.
        if (s)
            s = query(
                "SELECT type, name, sql FROM main.sqlite_schema WHERE sql IS NOT NULL AND name NOT LIKE "
                "'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
                nullptr, [&](sqlite3_stmt* st) {
                    schema_.push_back({text(st, 0), text(st, 1), text(st, 2)});
                });
        if (s)
            s = query("SELECT count(*) FROM main.sqlite_schema WHERE name = 'sqlite_sequence'", nullptr,
                      [&](sqlite3_stmt* st) { hasSequence_ = sqlite3_column_int(st, 0) > 0; });
        for (const SchemaEntry& entry : schema_)
            if (s && !createdInCopy(entry.sql)) s = invalidOperation(source::Database);
        return s;
    }

    Status attach(const std::string& destination) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, (std::string("ATTACH ?1 AS ") + kCopy).c_str(), -1, &stmt, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_bind_text(stmt, 1, destination.c_str(), -1, SQLITE_TRANSIENT);
        if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
        Status s = rc == SQLITE_DONE ? Status() : failure();
        sqlite3_finalize(stmt);
        if (!s) return s;
        attached_ = true;
        // A failed copy is thrown away whole, so it needs no journal; the
        // caller syncs the finished file. The copy's cache is the large one
        // of a writing transaction: the sorts that make its indexes use it
        // too, and with the small one they spill to temporary files.
        const std::string copy = std::string("PRAGMA ") + kCopy + ".";
        return exec(copy + "page_size = " + settings_[0] + "; " + copy + "auto_vacuum = " + settings_[1] + "; " + copy +
                    "journal_mode = OFF; " + copy + "synchronous = OFF; " + copy + std::string(kWriteCache).substr(7));
    }

    const KeptRows* rangeOf(const std::string& table) const {
        for (const KeptRows& k : keep_)
            if (sameName(k.table, table)) return &k;
        return nullptr;
    }

    // The SELECTs of a table's rows: one for the interval's and one for the
    // Null ones, each using the column's index where there is one.
    static std::vector<std::string> conditions(const KeptRows* range) {
        if (!range) return {""};
        const std::string c = quoteIdentifier(range->column);
        return {" WHERE " + c + " >= ?1 AND " + c + " <= ?2", " WHERE " + c + " IS NULL"};
    }

    Status countRows() {
        Status s;
        for (const SchemaEntry& entry : schema_) {
            if (entry.type != "table") continue;
            const KeptRows* range = rangeOf(entry.name);
            for (const std::string& where : conditions(range))
                if (s)
                    s = query(
                        "SELECT count(*) FROM main." + quoteIdentifier(entry.name) + where, range,
                        [&](sqlite3_stmt* st) { total_ += static_cast<std::uint64_t>(sqlite3_column_int64(st, 0)); });
        }
        counted_ = true;
        return s;
    }

    Status fill() {
        Status s = exec("BEGIN");
        for (const SchemaEntry& entry : schema_)
            if (s && entry.type == "table") s = exec(*createdInCopy(entry.sql));
        for (const SchemaEntry& entry : schema_) {
            if (!s || entry.type != "table") continue;
            const KeptRows* range = rangeOf(entry.name);
            for (const std::string& where : conditions(range)) {
                // The counting function comes last: the interval's
                // conditions are the index's, so it runs for kept rows only.
                const std::string tail = where.empty() ? " WHERE vexla_kept_row()" : where + " AND vexla_kept_row()";
                if (s)
                    s = query(std::string("INSERT INTO ") + kCopy + "." + quoteIdentifier(entry.name) +
                                  " SELECT * FROM main." + quoteIdentifier(entry.name) + tail,
                              range);
            }
        }
        if (s && hasSequence_)
            s = exec(std::string("DELETE FROM ") + kCopy + ".sqlite_sequence; INSERT INTO " + kCopy +
                     ".sqlite_sequence SELECT * FROM main.sqlite_sequence");
        for (const SchemaEntry& entry : schema_)
            if (s && entry.type != "table") s = exec(*createdInCopy(entry.sql));
        const std::string copy = std::string("PRAGMA ") + kCopy + ".";
        if (s) s = exec(copy + "user_version = " + settings_[2] + "; " + copy + "application_id = " + settings_[3]);
        if (s) s = exec("COMMIT");
        // The journal mode the file names in its header: WAL comes back as it was.
        if (s && sameName(settings_[4], "wal")) s = exec(copy + "journal_mode = WAL");
        return s;
    }

    sqlite3* db_;
    const std::vector<KeptRows>& keep_;
    const std::function<bool(std::uint64_t, std::uint64_t)>& progress_;
    std::vector<std::string> settings_;  // page size, auto-vacuum, user_version, application_id, journal mode
    std::vector<SchemaEntry> schema_;
    bool hasSequence_ = false;
    bool attached_ = false;
    bool finished_ = false;
    bool counted_ = false;  // total_ is known
    std::uint64_t written_ = 0, total_ = 0;
};

}  // namespace

Status copyRowsInto(sqlite3* db, const std::string& destination, const std::vector<KeptRows>& keep,
                    const std::function<bool(std::uint64_t, std::uint64_t)>& progress) {
    return RowCopy(db, keep, progress).run(destination);
}

Status SqliteDatabase::CopyRowsInto(const std::string& destination, const std::vector<KeptRows>& keep,
                                    const std::function<bool(std::uint64_t, std::uint64_t)>& progress) {
    if (!conn_->isOpen()) return objectClosed(source::Database);
    if (depth_ != 0) return invalidOperation(source::Database);
    // The copy's writing transaction takes the large cache, as any does.
    setCache(true);
    Status s = copyRowsInto(conn_->handle(), destination, keep, progress);
    fitCache();
    InterruptWhen(interruptWhen_);  // its handler replaced the one asked for
    return s;
}

}  // namespace vexla::db
