#include "db/booking_file.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "db/sqlite_uri.h"

namespace vexla::db {

namespace {

// The first column of the first row of `sql`, or nothing when it fails.
std::optional<std::string> firstValue(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    std::optional<std::string> value;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(st, 0);
        value = text ? reinterpret_cast<const char*>(text) : "";
    }
    sqlite3_finalize(st);
    return value;
}

int askStop(void* stop) { return (*static_cast<const std::function<bool()>*>(stop))() ? 1 : 0; }

// Interrupts the engine's current step on db once stop() says so. The quick
// check runs as one step of the engine and never calls the progress handler,
// so a thread has to watch for it. end() must come before db is closed.
class InterruptWatcher {
public:
    InterruptWatcher(sqlite3* db, const std::function<bool()>& stop) : db_(db), stop_(stop), watching_(db && stop) {
        if (watching_) thread_ = std::thread([this] { watch(); });
    }
    ~InterruptWatcher() { end(); }

    void end() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            watching_ = false;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (watching_) {
            wake_.wait_for(lock, std::chrono::milliseconds(25));
            if (watching_ && stop_()) sqlite3_interrupt(db_);
        }
    }

    sqlite3* db_;
    const std::function<bool()>& stop_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool watching_;
    std::thread thread_;
};

// Lists the file's own tables into facts; the engine's code of the listing.
int listTables(sqlite3* db, BookingFileFacts& facts) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db,
                                "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                                "ESCAPE '\\' ORDER BY lower(name)",
                                -1, &st, nullptr);
    if (rc == SQLITE_OK)
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            facts.tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return rc;
}

// Counts the registers of a booking database (-1 where it is none) and runs
// the quick check.
void countAndCheck(sqlite3* db, BookingFileFacts& facts, const std::function<bool()>& stop) {
    const auto has = [&](const char* table) {
        return std::any_of(facts.tables.begin(), facts.tables.end(),
                           [&](const std::string& t) { return sqlite3_stricmp(t.c_str(), table) == 0; });
    };
    facts.bookingDatabase = has("Kund") && has("Person") && has("Bokning");
    const auto count = [&](const char* table) {
        const auto n = facts.bookingDatabase ? firstValue(db, (std::string("SELECT count(*) FROM ") + table).c_str())
                                             : std::nullopt;
        return n ? std::stol(*n) : -1L;
    };
    facts.customers = count("Kund");
    facts.resources = count("Person");
    facts.bookings = count("Bokning");
    const auto check = firstValue(db, "PRAGMA quick_check(1)");
    facts.sound = check == "ok";
    facts.damaged = !facts.sound && !(stop && stop());
    if (!facts.sound) facts.problem = check ? *check : sqlite3_errmsg(db);
}

}  // namespace

BookingFileFacts inspectBookingFile(const std::string& path, const std::function<bool()>& stop) {
    BookingFileFacts facts;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(sqliteFileUri(path, "immutable=1").c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                             nullptr);
    if (rc == SQLITE_OK && stop) sqlite3_progress_handler(db, 1000, askStop, const_cast<std::function<bool()>*>(&stop));
    InterruptWatcher watcher(rc == SQLITE_OK ? db : nullptr, stop);
    if (rc == SQLITE_OK) rc = listTables(db, facts);
    if (rc != SQLITE_DONE) {
        facts.problem = db ? sqlite3_errmsg(db) : "out of memory";
        facts.stopped = rc == SQLITE_INTERRUPT;
        facts.damaged = (sqlite3_extended_errcode(db) & 0xFF) == SQLITE_CORRUPT;
        facts.unreadable = (sqlite3_extended_errcode(db) & 0xFF) == SQLITE_IOERR;
        facts.tables.clear();
    } else {
        facts.opened = true;
        countAndCheck(db, facts, stop);
        facts.stopped = stop && stop();
    }
    watcher.end();
    sqlite3_close(db);
    return facts;
}

bool isBookingDatabase(const std::string& path) {
    if (path.empty()) return false;
    sqlite3* db = nullptr;
    // immutable: no lock is taken, no journal or shared-memory file looked for or made.
    int rc = sqlite3_open_v2(sqliteFileUri(path, "immutable=1").c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                             nullptr);
    int tables = 0;
    sqlite3_stmt* st = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(db,
                                "SELECT count(DISTINCT lower(name)) FROM sqlite_schema WHERE type = 'table' AND "
                                "lower(name) IN ('kund', 'person', 'bokning')",
                                -1, &st, nullptr);
    if (rc == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) tables = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return tables == 3;
}

}  // namespace vexla::db
