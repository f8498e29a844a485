// vexla-bookingsim: every booking it logs ok is in the table under the id it
// logged, in either way of connecting and either journal mode; a booking a
// held lock turned away is logged so and is not in the table; a missing
// database is never created.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <ostream>
#include <thread>

#include "tests/support/fake_platform.h"
#include "tools/booking_simulator.h"

extern char** environ;

namespace vexla::sim {
namespace {

// Runs the program to its end, calling meanwhile while it runs; answers its exit status.
int runBookingsim(std::vector<std::string> args, const std::function<void()>& meanwhile = {}) {
    args.insert(args.begin(), VEXLA_BOOKINGSIM);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    if (meanwhile) meanwhile();
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Connection {
    sqlite3* db = nullptr;
    // The held case commits while the program may be holding a read lock for
    // an attempt it is about to be turned away from; the commit waits that out.
    explicit Connection(const std::string& path) {
        sqlite3_open(path.c_str(), &db);
        sqlite3_busy_timeout(db, 10000);
    }
    ~Connection() { sqlite3_close(db); }
    void exec(const char* sql) { EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql; }
    // The first column of the first row as text, "" when there is no row.
    std::string value(const char* sql, const std::string& parameter = "") {
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        if (!parameter.empty()) sqlite3_bind_text(st, 1, parameter.c_str(), -1, SQLITE_TRANSIENT);
        std::string text;
        const unsigned char* column = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_text(st, 0) : nullptr;
        if (column) text = reinterpret_cast<const char*>(column);
        sqlite3_finalize(st);
        return text;
    }
};

struct Row {
    const char* style;
    bool wal;
    bool held;  // a writer in the test holds the database for the first 0.3 s
};
void PrintTo(const Row& r, std::ostream* os) { *os << r.style << (r.wal ? " wal" : "") << (r.held ? " held" : ""); }

class BookingsimRuns : public ::testing::TestWithParam<Row> {};

TEST_P(BookingsimRuns, LogsOkExactlyForTheBookingsInTheTable) {
    const Row row = GetParam();
    testing::TempFolder dir;
    const std::string path = dir.file("boka.db"), log = dir.file("sim.log");
    Connection db(path);
    db.exec(
        "CREATE TABLE Kund (ID INTEGER PRIMARY KEY); CREATE TABLE Person (ID INTEGER PRIMARY KEY);"
        "CREATE TABLE Bokning (ID INTEGER PRIMARY KEY, PersonID, KundID, StartTid, SlutTid, Anteckning)");
    std::vector<std::string> args{path, "--count", "20", "--log", log, "--style", row.style};
    // Held, the run is slow enough to go on after the writer lets go.
    args.insert(args.end(), {"--rate", row.held ? "20" : "200"});
    if (row.wal) args.push_back("--wal");
    if (row.held) args.insert(args.end(), {"--busy-timeout", "0"});
    if (row.held) db.exec("BEGIN IMMEDIATE");
    const int status = runBookingsim(args, [&] {
        if (!row.held) return;
        // 0.3 s, and on a slow machine until the program has been turned away once.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        while (dir.read("sim.log").find("\tbusy\t") == std::string::npos && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        db.exec("COMMIT");
    });
    ASSERT_EQ(status, 0);

    const std::vector<Attempt> attempts = readSimLog(log);
    ASSERT_EQ(attempts.size(), 20u);
    long ok = 0, busy = 0;
    for (const Attempt& a : attempts) {
        EXPECT_EQ(a.seq, &a - attempts.data() + 1);
        EXPECT_TRUE(a.marker.ends_with("-" + std::to_string(a.seq))) << a.marker;
        const std::string id = db.value("SELECT ID FROM Bokning WHERE Anteckning = ?", a.marker);
        EXPECT_EQ(id, a.outcome == "ok" ? std::to_string(a.id) : "") << a.marker << " logged " << a.outcome;
        ok += a.outcome == "ok";
        busy += a.outcome == "busy";
    }
    EXPECT_EQ(ok, row.held ? 20 - busy : 20);
    EXPECT_GE(busy, row.held ? 1 : 0);
    EXPECT_GE(ok, 1);
    EXPECT_EQ(db.value("SELECT count(*) FROM Bokning"), std::to_string(ok));
    EXPECT_EQ(Connection(path).value("PRAGMA journal_mode"), row.wal ? "wal" : "delete");
}

INSTANTIATE_TEST_SUITE_P(Ways, BookingsimRuns,
                         ::testing::Values(Row{"per-booking", false, false}, Row{"per-booking", true, false},
                                           Row{"kept-open", false, false}, Row{"kept-open", true, false},
                                           Row{"per-booking", false, true}),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             const Row& r = info.param;
                             return std::string(r.style[0] == 'p' ? "PerBooking" : "KeptOpen") + (r.wal ? "Wal" : "") +
                                    (r.held ? "Held" : "");
                         });

TEST(Bookingsim, RefusesAMissingDatabaseAndAWrongCommandLine) {
    testing::TempFolder dir;
    const std::string missing = dir.file("saknas.db");
    EXPECT_EQ(runBookingsim({missing, "--count", "1"}), 1);
    EXPECT_FALSE(std::filesystem::exists(missing));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {missing, "--rate", "0.5"}, {missing, "--style", "batch"}, {missing, "--count"}, {"--wal"}})
        EXPECT_EQ(runBookingsim(args), 2) << args.back();
}

}  // namespace
}  // namespace vexla::sim
