// What one open database shares with its recordsets and prepared
// statements: the SQLite handle, the schema, the engine's date settings, a
// small cache of prepared SQLite statements, and the list of open children
// that closing the database must close first (so that Close really frees
// the file). Internal to the SQLite implementation.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/result.h"
#include "common/unique_fd.h"
#include "db/conversion.h"
#include "db/date_literal.h"
#include "db/schema.h"
#include "db/sql_translator.h"
#include "db/sqlite_busy_wait.h"

namespace vexla::db {

class LockFile;

// SQLite's page cache of a connection, in KiB. Reading outside a transaction
// (an export's forward scan, a count) goes through each page once: the small
// cache does as well as any and keeps a job's memory flat. A writing
// transaction (a bulk import of a million rows, an interval copy) spends its
// time moving pages between the disk and the cache unless the large one
// keeps the table's working set.
inline constexpr const char* kReadCache = "PRAGMA cache_size = -2048";
inline constexpr const char* kWriteCache = "PRAGMA cache_size = -65536";

// A recordset or prepared statement that must let go of its SQLite
// statement when the database closes.
class ConnectionChild {
public:
    virtual ~ConnectionChild() = default;
    virtual void detach() = 0;
};

class Connection {
public:
    Connection(sqlite3* db, std::string path, DatePictures pictures, std::string decimalSeparator,
               std::shared_ptr<LockFile> lock, std::unique_ptr<BusyWait> busy);
    ~Connection();

    sqlite3* handle() const { return db_; }
    bool isOpen() const { return db_ != nullptr; }
    const std::string& path() const { return path_; }
    Schema& schema() { return schema_; }
    const DatePictures& pictures() const { return pictures_; }
    const std::string& decimalSeparator() const { return decimalSeparator_; }
    // How this connection waits for another's lock.
    BusyWait& busy() { return *busy_; }
    // A scratch file of ours that the database is, and the descriptor that
    // holds its lifelong lock (common/temporary_files.h): the file is
    // removed once the database is closed, and then the lock let go.
    void removeOnClose(std::string file, UniqueFd lock) {
        scratch_ = std::move(file);
        scratchLock_ = std::move(lock);
    }

    // Parses and translates a statement of the dialect.
    Result<Translation> translate(std::string_view sql);

    // A prepared SQLite statement for sql, from the cache when one is free.
    // Give it back with release(), which resets it and clears its values.
    Result<sqlite3_stmt*> acquire(const std::string& sql);
    void release(sqlite3_stmt* stmt);

    void adopt(ConnectionChild* child) { children_.push_back(child); }
    void disown(ConnectionChild* child);

    // Closes the children, the statements and the SQLite handle, then
    // releases the lock and removes the scratch file. Each step is taken
    // whatever the one before answered; the answer is the first failure:
    // the engine's, or the scratch file's removal (a file error naming it).
    Status close();

private:
    struct Cached {
        std::string sql;
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
        std::uint64_t lastUse = 0;
    };
    static constexpr size_t kCacheSize = 24;

    sqlite3* db_;
    std::string path_;
    Schema schema_;
    DatePictures pictures_;
    std::string decimalSeparator_;
    std::shared_ptr<LockFile> lock_;
    std::unique_ptr<BusyWait> busy_;
    std::string scratch_;
    UniqueFd scratchLock_;
    std::vector<Cached> cache_;
    std::uint64_t clock_ = 0;
    std::vector<ConnectionChild*> children_;
};

// Removes the file `path` of ours through the engine's file layer, as the
// engine removes its own journals: SQLite's answer (SQLITE_OK, or
// SQLITE_IOERR_DELETE_NOENT when there was none).
int removeEngineFile(const std::string& path);

// The journal mode of the main file `db` has open ("delete", "wal", ...), or
// "" when it cannot be read.
std::string journalModeOf(sqlite3* db);

// Binds one value at SQLite parameter number index (from 1).
int bindStored(sqlite3_stmt* stmt, int index, const StoredValue& value);
int bindOwned(sqlite3_stmt* stmt, int index, const OwnedValue& value);
// Binds a translation's literals after its slots.
int bindLiterals(sqlite3_stmt* stmt, const Translation& t);

}  // namespace vexla::db
