// The open database of the SQLite engine, and its prepared statements.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "db/engine.h"
#include "db/sqlite_connection.h"

namespace vexla::db {

class SqliteDatabase final : public Database {
public:
    explicit SqliteDatabase(std::shared_ptr<Connection> conn) : conn_(std::move(conn)) {}
    // Every job closes its databases itself (JobContext::close) and tells a failure.
    ~SqliteDatabase() override { ignoreBecause(Close(), Untold::DestructorFallback); }

    Status Execute(std::string_view sql, int options) override;
    Result<std::unique_ptr<Recordset>> OpenRecordset(std::string_view sql, int type, int options, int lock) override;
    Result<std::unique_ptr<Recordset>> OpenRecordset(std::string_view sql,
                                                     const std::vector<Variant>& parameters) override;
    Result<std::unique_ptr<PreparedStatement>> Prepare(std::string_view sql) override;
    long RecordsAffected() const override { return affected_; }
    Status BeginTrans() override;
    Status CommitTrans() override;
    Status Rollback() override;
    Result<std::vector<std::string>> TableNames() override;
    Result<long> TableRecordCount(std::string_view table) override;
    Result<std::vector<std::string>> RequiredColumns(std::string_view table) override;
    Status CheckIntegrity() override;
    Status QuickCheck() override;
    Result<std::map<std::string, long>> ContentCounts() override;
    Status CompactInto(const std::string& path) override;
    Status HoldWriters() override;
    void SetWait(double seconds) override { conn_->busy().setLimit(seconds); }
    Status ReleaseWriters() override;
    Result<long long> DataVersion() override;
    Status WriteInFrom(Database& result, Database& holder, long long builtAt, double lockWait,
                       const std::function<Status()>& alongside) override;
    Result<std::uint64_t> Checkpoint(bool truncate, double limitSeconds) override;
    Result<long> ReplaceTableFrom(Database& staged, std::string_view table, std::string_view deleteStatement) override;
    Status SyncFile() override;
    Status Vacuum() override;
    Result<std::vector<std::string>> DropReadingIndexes(std::string_view table) override;
    Status CreateIndexes(const std::vector<std::string>& statements) override;
    Status CopyRowsInto(const std::string& destination, const std::vector<KeptRows>& keep,
                        const std::function<bool(std::uint64_t, std::uint64_t)>& progress) override;
    void InterruptWhen(std::function<bool()> asked) override;
    Status Close() override;
    const std::string& Name() const override { return conn_->path(); }

    // The file is a scratch copy of ours, its lock held by `lock`: removed
    // when the database closes, and then the lock let go.
    void removeFileOnClose(std::string file, UniqueFd lock) { conn_->removeOnClose(std::move(file), std::move(lock)); }

    // Writes a compacted copy of the whole file to a new file (VACUUM INTO),
    // in WAL mode when this database is; this connection's sync setting is
    // its own again afterwards.
    Status vacuumInto(const std::string& file);

private:
    Status exec(const char* sql);
    void settleDepth();
    void fitCache();
    // Sets the page cache to kWriteCache (`large`) or kReadCache: a size
    // only, which the statements that follow do as well without.
    void setCache(bool large);

    // Ends the watcher InterruptWhen started, if any.
    void stopWatching();

    std::shared_ptr<Connection> conn_;
    std::function<bool()> interruptWhen_;
    // The watcher that interrupts a statement the progress handler never
    // sees (an integrity check runs as one step of the engine), and what
    // keeps it from interrupting a write-back's committing step.
    std::thread watcher_;
    std::mutex watchMutex_;
    std::condition_variable watchWake_;
    bool watching_ = false;
    std::atomic<bool> holdInterrupts_{false};
    long affected_ = 0;
    int depth_ = 0;            // open transactions; inner ones are savepoints
    bool writeCache_ = false;  // the connection has the large cache

    // Attaches the staged copy at `path` for ReplaceTableFrom.
    Status attachStaged(const std::string& path);
    // The steps of WriteInFrom once the backup of `from` has begun.
    int copyPages(sqlite3_backup* backup, long pages, const std::function<Status()>& alongside, Status& besideAnswer);

    // The checks and counts of a compaction.
    Status check(const char* pragma);
    // A count(*) statement's answer.
    Result<long> countOf(const std::string& sql);
    // The first column of the first row of a statement, as text.
    Result<std::string> textOf(const std::string& sql);
};

// The copy of an open database built from its rows (sqlite_copy.cpp).
Status copyRowsInto(sqlite3* db, const std::string& destination, const std::vector<KeptRows>& keep,
                    const std::function<bool(std::uint64_t, std::uint64_t)>& progress);

// The compaction of an open database into a new file (sqlite_compact.cpp).
Status compactInto(SqliteDatabase& source, const std::string& path);

// Runs a translated statement whose slots hold the given values: a SELECT
// gives a recordset standing on its first row.
Result<std::unique_ptr<Recordset>> runSelect(const std::shared_ptr<Connection>& conn, const Translation& t,
                                             const std::vector<OwnedValue>& slots);

// Converts values for a translation's slots; 3061 when too few are given.
Result<std::vector<OwnedValue>> slotValues(const Translation& t, const std::vector<Variant>& values,
                                           const DatePictures& pictures);

}  // namespace vexla::db
