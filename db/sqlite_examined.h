// The examined file of the SQLite engine (see ExaminedFile in engine.h), and
// the small statement helpers its reading and its rescue share. Internal to
// the SQLite implementation.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "db/engine.h"

namespace vexla::db {

// The result codes of reading a page that is damaged or missing (a file cut
// short reads as zeros): the reading steps past them. Anything else (a stop,
// memory, a failing disk) ends the work.
bool isFault(int rc);

// Runs `sql` with `binds` (integers, from ?1) and hands every row to `row`
// (which may answer false to end early): SQLITE_DONE, or the failing code.
int eachRow(sqlite3* db, const std::string& sql, const std::vector<sqlite3_int64>& binds,
            const std::function<bool(sqlite3_stmt*)>& row);
std::string columnText(sqlite3_stmt* stmt, int column);

// One object of sqlite_schema, in the file's order.
struct SchemaObject {
    std::string type, name, table, sql;
};
// Every object that has a definition (sql IS NOT NULL), in the file's order.
Result<std::vector<SchemaObject>> schemaObjects(sqlite3* db, const std::string& path);

class SqliteExaminedFile final : public ExaminedFile {
public:
    // `db` and `links` (the link checks' own): the file opened by
    // openForReading, each in its read transaction.
    SqliteExaminedFile(sqlite3* db, sqlite3* links, std::string path, DatabaseFence fence)
        : db_(db), links_(links), path_(std::move(path)), fence_(std::move(fence)) {}
    // Every job closes the files it examines itself (JobContext::close) and tells a failure.
    ~SqliteExaminedFile() override { ignoreBecause(Close(), Untold::DestructorFallback); }

    Result<std::vector<std::string>> TableNames() override;
    Result<std::vector<std::string>> EngineCheck(bool full) override;
    Result<std::vector<ObjectReading>> ReadEachObject() override;
    Result<std::optional<BrokenLinks>> RowsWithoutLink(const LinkCheck& check, int firstFew) override;
    Result<std::optional<long>> RowCount(const std::string& table) override;
    bool KeepsCommitsOut() override;
    Result<std::vector<TableRescue>> RescueInto(
        const std::string& path, const std::function<bool(std::uint64_t, std::uint64_t)>& progress) override;
    void InterruptWhen(std::function<bool()> asked) override;
    Status Close() override;

private:
    Error failure(int rc) const { return failureOn(db_, rc); }
    Error failureOn(sqlite3* db, int rc) const;
    bool hasColumn(const std::string& table, const std::string& column);
    // Whether `column` is the first column of a whole (non-partial) index of `table`.
    bool leadsIndex(const std::string& table, const std::string& column);
    // Adds to `found` the rows whose non-Null value of the link's column
    // names no parent, through the column's index: SQLITE_DONE or the failing code.
    int countMissingByIndex(const LinkCheck& check, BrokenLinks& found);
    // The non-partial indexes of a table.
    std::vector<std::string> indexesOf(const std::string& table);
    void stopWatching();

    sqlite3* db_;
    sqlite3* links_;
    std::string path_;
    DatabaseFence fence_;
    std::function<bool()> asked_;
    // Interrupts what the progress handler never sees (a check runs as
    // one step of the engine).
    std::thread watcher_;
    std::mutex watchMutex_;
    std::condition_variable watchWake_;
    bool watching_ = false;
};

// Opens `path` read only (mode=ro, nothing written, a hot journal refused
// with SQLITE_READONLY_ROLLBACK), a file cut short read as far as it goes,
// and begins the read transaction kept until it is closed, waiting up to
// `waitSeconds` for a writer's commit: SQLITE_OK or the failing code (`*db`
// is then still to be closed).
int openForReading(const std::string& path, sqlite3** db, double waitSeconds);

// Writes the rescue of the open file `db` (see ExaminedFile::RescueInto)
// into `path`; `source` is the file's path, named by its errors.
Result<std::vector<TableRescue>> rescueRows(sqlite3* db, const std::string& source, const std::string& path,
                                            const std::function<bool(std::uint64_t, std::uint64_t)>& progress);

}  // namespace vexla::db
