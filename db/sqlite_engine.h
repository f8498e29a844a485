// The engine on SQLite: one database file is one SQLite file.
//
// Opening exclusively takes the advisory lock on "<path>.lock" (lock_file.h),
// our fence; SQLite's own locks are taken as any connection of the booking
// system takes them, statement by statement, so an open database of ours
// never keeps the booking system out by itself. Opening reads the file in a
// short read transaction, waiting for a writer's commit up to the wait.
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

#include "common/unique_fd.h"
#include "db/engine.h"

struct sqlite3;

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

    // The copy is made with the engine's backup (never a second descriptor
    // of the database, whose closing would drop this process's locks) in
    // the system's folder for temporary files.
    Result<std::unique_ptr<Database>> OpenSnapshot(const std::string& path) override;
    Result<std::unique_ptr<Database>> OpenStagingCopy(const std::string& path) override;
    // The lock is SQLite's own exclusive lock (the pending and reserved
    // bytes and the shared range) as open-file-description locks, which the
    // booking system's classic locks conflict with and which no other
    // descriptor of this process drops by closing.
    Result<double> OverwriteUnopenable(const std::string& path, const std::string& content,
                                       const std::function<Status()>& keep) override;
    void SetWait(double seconds) override { settings_.waitSeconds = seconds; }
    void ReadValuesBy(LocaleInfo& locale) override {
        const double wait = settings_.waitSeconds;
        settings_ = engineSettingsFor(locale);
        settings_.waitSeconds = wait;
    }

    const EngineSettings& settings() const { return settings_; }

private:
    Result<std::unique_ptr<Database>> openCopy(const std::string& path, bool walInPlace);
    Result<std::string> copyToScratch(sqlite3* from, const std::string& path, UniqueFd& lock);
    Result<std::unique_ptr<Database>> openScratch(const std::string& scratch, UniqueFd lock, bool readOnly);

    EngineSettings settings_;
};

}  // namespace vexla::db
