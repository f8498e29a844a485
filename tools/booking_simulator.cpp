// How the simulator books, reads and keeps its pace. It speaks to SQLite
// directly, not through our engine layer: it plays another program sharing the
// file, with that program's plain deferred transactions and its own timeouts.
#include "tools/booking_simulator.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <memory>
#include <thread>

namespace vexla::sim {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A report holds its read this long, then rests as long before the next one.
constexpr auto kReportHeld = 10s;
constexpr auto kReportRest = 10s;
// The longest a sleep goes on before it looks whether the run is over.
constexpr auto kStopHeardWithin = 20ms;

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, Closer>;

// The person and the customer every booking is made for.
struct Parties {
    long long person = 1, kund = 1;
};

struct Run {
    const SimOptions& options;
    const std::function<bool()>& stop;
    const std::function<void(const Attempt&)>& heard;
    const std::function<void(const std::string&)>& noted;
    Clock::time_point end = Clock::time_point::max();

    bool over() const { return (stop && stop()) || Clock::now() >= end; }
    // Sleeps until `until` or until the run is over, whichever comes first.
    void sleepUntil(Clock::time_point until) const {
        while (!over() && Clock::now() < until)
            std::this_thread::sleep_until(std::min(until, Clock::now() + kStopHeardWithin));
    }
    void hear(const Attempt& a) const {
        if (heard) heard(a);
    }
    void note(const std::string& remark) const {
        if (noted) noted(remark);
    }
};

Clock::duration seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

double msSince(Clock::time_point began) {
    return std::chrono::duration<double, std::milli>(Clock::now() - began).count();
}

std::string outcomeOf(int rc) {
    switch (rc & 0xff) {
        case SQLITE_BUSY: return "busy";
        case SQLITE_LOCKED: return "locked";
        default: return "error";
    }
}

const char* styleName(Style style) {
    switch (style) {
        case Style::PerBooking: return "per-booking";
        case Style::KeptOpen: return "kept-open";
        case Style::Idle: return "idle";
        case Style::Report: return "report";
    }
    return "?";
}

std::string markerOf(long seq) { return "sim-" + std::to_string(::getpid()) + "-" + std::to_string(seq); }

// A time as the booking system writes it, in UTC.
std::string timeText(std::time_t t) {
    std::tm parts{};
    gmtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

// Opens the existing file for reading and writing (never creating it), with
// the busy timeout; null with the code and SQLite's message when it fails.
Connection connect(const SimOptions& o, int& rc, std::string& message) {
    sqlite3* raw = nullptr;
    rc = sqlite3_open_v2(o.db.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    Connection db(raw);
    if (rc != SQLITE_OK) {
        message = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
        return nullptr;
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, static_cast<int>(std::lround(o.busyTimeout * 1000)));
    return db;
}

// Runs a statement that answers no rows to its end: SQLITE_DONE, or the
// failure's code with SQLite's message.
int execute(sqlite3* db, const char* sql, std::string& message) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(st);
    if (rc != SQLITE_DONE) message = sqlite3_errmsg(db);
    sqlite3_finalize(st);
    return rc;
}

// The first column of a query's first row as text ("" for NULL), or nullopt
// with SQLite's message.
std::optional<std::string> firstValue(sqlite3* db, const char* sql, std::string& message) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(st);
    std::optional<std::string> value;
    if (rc == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(st, 0);
        value = text ? reinterpret_cast<const char*>(text) : "";
    } else {
        message = rc == SQLITE_DONE ? std::string("no row from ") + sql : std::string(sqlite3_errmsg(db));
    }
    sqlite3_finalize(st);
    return value;
}

int insertBooking(sqlite3* db, const Parties& parties, const std::string& marker, std::string& message) {
    static const char* const sql =
        "INSERT INTO Bokning (PersonID, KundID, StartTid, SlutTid, Anteckning) VALUES (?, ?, ?, ?, ?)";
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        const std::time_t now = std::time(nullptr);
        sqlite3_bind_int64(st, 1, parties.person);
        sqlite3_bind_int64(st, 2, parties.kund);
        sqlite3_bind_text(st, 3, timeText(now).c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, timeText(now + 3600).c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 5, marker.c_str(), -1, SQLITE_TRANSIENT);
        rc = sqlite3_step(st);
    }
    if (rc != SQLITE_DONE) message = sqlite3_errmsg(db);
    sqlite3_finalize(st);
    return rc;
}

// One booking the booking system's way: a plain deferred transaction, rolled
// back when any step of it fails. Ok only once COMMIT is done.
Attempt book(sqlite3* db, long seq, const Parties& parties) {
    Attempt a{seq, "ok", 0, markerOf(seq), 0, ""};
    const Clock::time_point began = Clock::now();
    int rc = execute(db, "BEGIN", a.message);
    if (rc == SQLITE_DONE) rc = insertBooking(db, parties, a.marker, a.message);
    if (rc == SQLITE_DONE) a.id = sqlite3_last_insert_rowid(db);
    if (rc == SQLITE_DONE) rc = execute(db, "COMMIT", a.message);
    a.waitMs = msSince(began);
    if (rc == SQLITE_DONE) return a;
    // A connection left inside the transaction would fail every booking after.
    if (std::string why; execute(db, "ROLLBACK", why) != SQLITE_DONE) a.message += "; ROLLBACK: " + why;
    a.outcome = outcomeOf(rc);
    a.id = 0;
    return a;
}

// The web application's way: a connection of its own for the one booking.
Attempt bookOnItsOwnConnection(const SimOptions& o, long seq, const Parties& parties) {
    int rc = SQLITE_OK;
    std::string message;
    const Connection db = connect(o, rc, message);
    if (db) return book(db.get(), seq, parties);
    return Attempt{seq, outcomeOf(rc), 0, markerOf(seq), 0, message};
}

// Books at the rate, each attempt due one interval after the one before was
// due. A run that fell behind (a long wait for a lock) makes its next attempt
// at once but does not hurry to make up the others.
void bookAtRate(const Run& run, sqlite3* kept, const Parties& parties) {
    const Clock::duration interval = seconds(1 / run.options.rate);
    Clock::time_point due = Clock::now();
    for (long seq = 1; !run.over(); ++seq) {
        run.hear(kept ? book(kept, seq, parties) : bookOnItsOwnConnection(run.options, seq, parties));
        if (seq == run.options.count) return;
        due = std::max(due + interval, Clock::now());
        run.sleepUntil(due);
    }
}

// The reports' way: a transaction that counts the bookings and is then held
// open (a shared lock, or in WAL mode a snapshot that keeps a checkpoint from
// finishing) until kReportHeld has passed or the run is over.
void reportAtIntervals(const Run& run, sqlite3* db) {
    for (long n = 1; !run.over(); ++n) {
        const Clock::time_point began = Clock::now();
        std::string message;
        std::optional<std::string> rows;
        if (execute(db, "BEGIN", message) == SQLITE_DONE)
            rows = firstValue(db, "SELECT count(*) FROM Bokning", message);
        if (rows) run.sleepUntil(began + kReportHeld);
        const bool read = rows && execute(db, "COMMIT", message) == SQLITE_DONE;
        if (std::string why; !read && execute(db, "ROLLBACK", why) != SQLITE_DONE) message += "; ROLLBACK: " + why;
        char held[32];
        std::snprintf(held, sizeof held, "%.3f", msSince(began));
        run.note("report " + std::to_string(n) +
                 (read ? " bookings=" + *rows + " held_ms=" + held : " failed: " + message));
        run.sleepUntil(began + kReportHeld + kReportRest);
    }
}

long long idOrOne(const std::string& text) {
    long long id = 1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    return error == std::errc() && end == text.data() + text.size() ? id : 1;
}

Connection refused(const std::string& problem) {
    std::fprintf(stderr, "vexla-bookingsim: %s\n", problem.c_str());
    return nullptr;
}

// The connection a run starts with, the database put into WAL mode when asked,
// and the parties the bookings take; null after saying why when the database
// cannot be used. The count of bookings is also the idle style's one query.
Connection start(const Run& run, Parties& parties) {
    const SimOptions& o = run.options;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(o.db, ec)) return refused("no database file " + o.db);
    int rc = SQLITE_OK;
    std::string message;
    Connection db = connect(o, rc, message);
    if (!db) return refused(o.db + ": " + message);
    const auto mode = firstValue(db.get(), o.wal ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode", message);
    const auto person = mode ? firstValue(db.get(), "SELECT min(ID) FROM Person", message) : std::nullopt;
    const auto kund = person ? firstValue(db.get(), "SELECT min(ID) FROM Kund", message) : std::nullopt;
    const auto bookings = kund ? firstValue(db.get(), "SELECT count(*) FROM Bokning", message) : std::nullopt;
    if (!bookings) return refused(o.db + ": " + message);
    if (o.wal && *mode != "wal") return refused(o.db + " stays in journal mode " + *mode + ", not wal");
    parties.person = idOrOne(*person);
    parties.kund = idOrOne(*kund);
    run.note("start " + o.db + " style=" + styleName(o.style) + " journal_mode=" + *mode + " bookings=" + *bookings +
             " person=" + std::to_string(parties.person) + " kund=" + std::to_string(parties.kund));
    return db;
}

}  // namespace

int runSimulator(const SimOptions& options, const std::function<bool()>& stop,
                 const std::function<void(const Attempt&)>& heard,
                 const std::function<void(const std::string&)>& noted) {
    Run run{options, stop, heard, noted};
    Parties parties;
    Connection db = start(run, parties);
    if (!db) return 1;
    if (options.duration > 0) run.end = Clock::now() + seconds(options.duration);
    switch (options.style) {
        case Style::PerBooking:
            db.reset();
            bookAtRate(run, nullptr, parties);
            break;
        case Style::KeptOpen: bookAtRate(run, db.get(), parties); break;
        case Style::Idle: run.sleepUntil(Clock::time_point::max()); break;
        case Style::Report: reportAtIntervals(run, db.get()); break;
    }
    return 0;
}

}  // namespace vexla::sim
