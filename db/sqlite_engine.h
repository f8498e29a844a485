// The engine on SQLite: one database file is one SQLite file.
//
// Opening exclusively takes, in this order: the advisory lock on
// "<path>.lock" (lock_file.h), SQLite's exclusive locking mode, and at once
// SQLite's EXCLUSIVE lock on the file (an idle SQLite connection would hold
// no lock at all, so "opened" must mean "locked now"). From then on no other
// process can read or write the file until Close: a sqlite3 shell gets
// "database is locked", another of our tools 3356.
//
// Never create a file: SQLite opens without CREATE, and a zero-byte file
// (which SQLite would take for an empty database and write a header into on
// its first transaction) is refused as 3343 before SQLite sees it.
//
// Do not open the database file with open()/close() of your own while a
// connection holds it: POSIX drops every classic fcntl lock of the process
// on a file when any descriptor of it closes, SQLite's included.
#pragma once

#include <memory>

#include "db/engine.h"

namespace vexla::db {

class SqliteEngine final : public DBEngine {
public:
    explicit SqliteEngine(EngineSettings settings = {}) : settings_(std::move(settings)) {}

    Result<std::unique_ptr<Database>> OpenDatabase(const std::string& path, bool exclusive = true) override;
    // VACUUM INTO a temporary file in a private folder beside destination
    // (put back in WAL mode when the source is in it; nothing else is
    // added or changed), the file synced, then renamed to destination
    // without replacing anything, and the folder synced: a crash leaves no
    // half-written destination. The source is held exclusively meanwhile.
    // An existing destination is 3204, a missing folder 3044.
    Status CompactDatabase(const std::string& source, const std::string& destination) override;
    Result<DatabaseFence> FenceDatabase(const std::string& path) override;
    Result<std::unique_ptr<ExaminedFile>> OpenForExamination(const std::string& path) override;

    const EngineSettings& settings() const { return settings_; }

private:
    EngineSettings settings_;
};

}  // namespace vexla::db
