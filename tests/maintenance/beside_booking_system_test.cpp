// The jobs that change the database, run while a booking system writes into
// it (vexla-bookingsim, another process): every booking it was told it saved
// is in the file afterwards (a restore may put one back into the backup it
// keeps of the replaced state, never lose it), none failed with a 5 s busy
// timeout, the file is the same file and whole, and the job was not refused.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "maintenance/compaction.h"
#include "maintenance/database_check.h"
#include "maintenance/database_copy.h"
#include "maintenance/database_rescue.h"
#include "maintenance/restore.h"
#include "registers/export_register.h"
#include "tests/maintenance/job_test_support.h"
#include "tools/booking_simulator.h"
#include "tools/sample_generator.h"

extern char** environ;

namespace vexla::testing {
namespace {

// The text of the first column of every row of `sql` on the file at `path`.
std::set<std::string> column(const std::string& path, const char* sql) {
    std::set<std::string> values;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW)
            if (const unsigned char* t = sqlite3_column_text(st, 0)) values.insert(reinterpret_cast<const char*>(t));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return values;
}

// The booking system, writing from start to stop().
class BookingSystem {
public:
    BookingSystem(const std::string& db, const std::string& style, bool wal, const std::string& log) : log_(log) {
        start(db, style, wal);
    }
    pid_t pid() const { return pid_; }

private:
    void start(const std::string& db, const std::string& style, bool wal) {
        std::vector<std::string> args{VEXLA_BOOKINGSIM, db,   "--style",        style, "--rate", "200",
                                      "--log",          log_, "--busy-timeout", "5"};
        if (wal) args.push_back("--wal");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    }

public:
    // Waits until `more` attempts past those logged now are logged.
    void awaitAttempts(std::size_t more) {
        const std::size_t target = attempts().size() + more;
        for (int i = 0; i < 500 && attempts().size() < target; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::vector<sim::Attempt> attempts() const {
        return std::filesystem::exists(log_) ? sim::readSimLog(log_) : std::vector<sim::Attempt>{};
    }
    int stop() {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    std::string log_;
    pid_t pid_ = 0;
};

// Lets the booking system write on after the job, then stops it: every
// booking it was told it saved is in the file, or, saved before the job's
// end, in `kept` (anywhere or nowhere when `kept` is null: an import that
// empties the register first removes it); none failed; the file is the
// same file, whole, with its mode.
void expectNoBookingLost(BookingSystem& system, const std::string& db, const struct stat& before,
                         const std::set<std::string>* kept) {
    const std::size_t beforeEnd = system.attempts().size();
    system.awaitAttempts(5);
    EXPECT_EQ(system.stop(), 0);
    const std::set<std::string> inFile = column(db, "SELECT Anteckning FROM Bokning");
    for (const sim::Attempt& a : system.attempts()) {
        EXPECT_EQ(a.outcome, "ok") << a.seq << " " << a.message;
        const bool afterJob = static_cast<std::size_t>(a.seq) > beforeEnd;
        EXPECT_TRUE(a.outcome != "ok" || inFile.count(a.marker) || (!afterJob && (!kept || kept->count(a.marker))))
            << a.marker << " lost";
    }
    EXPECT_EQ(column(db, "PRAGMA integrity_check"), std::set<std::string>{"ok"});
    struct stat after {};
    ASSERT_EQ(stat(db.c_str(), &after), 0);
    EXPECT_EQ(std::pair(after.st_ino, after.st_mode), std::pair(before.st_ino, before.st_mode));
}

struct Case {
    const char* job;  // compact, restore, rescued, copy
    const char* style;
    bool wal;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.job << "/" << c.style << (c.wal ? "/wal" : "/rollback"); }

class BesideBookingSystem : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() {
        sample::Options options;
        options.bookings = 3000;
        ASSERT_TRUE(sample::makeSampleDatabase(source().file("bok.db"), options));
    }
    static TempFolder& source() {
        static TempFolder folder;
        return folder;
    }
};

// Runs the case's job; answers whether it ended done, and adds the backup
// that holds what a restore replaced to `kept`.
// The booking system's commits are held off for a while, and not for long.
bool runJob(JobWorld& w, const std::string& job, bool wal, std::set<std::string>& kept) {
    const auto heldBriefly = [](double held) { return held > 0 && held < 2; };
    if (job == "compact") {
        const CompactionOutcome outcome = compactDatabase(w.ctx);
        return outcome.compacted() && heldBriefly(outcome.heldSeconds);
    }
    if (job == "export") {
        // Read from a snapshot of the system's folder for temporary files,
        // here the test's own, which keeps nothing of it afterwards.
        const std::string tmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
        ::setenv("TMPDIR", w.dir.path().c_str(), 1);
        w.fakes.dialogs.choices = {w.dir.file("BokningsReg.skv")};
        w.fakes.messages.answers = {MsgAnswer::Yes};
        const ExportOutcome outcome = exportRegister(w.ctx, 2);
        ::setenv("TMPDIR", tmp.c_str(), 1);
        bool leftover = false;
        for (const auto& entry : std::filesystem::directory_iterator(w.dir.path()))
            leftover = leftover || entry.path().filename().string().rfind("vexla-snapshot", 0) == 0;
        return !outcome.failure && outcome.n >= 3000 && !leftover;
    }
    if (job == "check") {
        // Its reading keeps commits out in rollback mode only, and says for how long.
        const CheckOutcome outcome = checkDatabase(w.ctx);
        return !outcome.failure && (outcome.heldSeconds > 0) == !wal && outcome.heldSeconds < 2;
    }
    if (job == "copy") {
        const CopyOutcome outcome = copyDatabase(w.ctx, w.dir.file("Copy.db"), std::nullopt);
        return outcome.end == CopyEnd::Copied && heldBriefly(outcome.compaction.heldSeconds);
    }
    // A rescue of the database put in its place as a backup is.
    std::string from = w.dir.file("Vexla2026-01-01.db");
    if (job == "rescued" && !rescueDatabase(w.ctx, from = w.dir.file("bok-rescued.db"), true).rescued()) return false;
    const RestoreOutcome outcome = restoreBackup(w.ctx, from);
    kept.insert(outcome.kept);
    return outcome.restoredOk() && heldBriefly(outcome.heldSeconds);
}

TEST_P(BesideBookingSystem, LosesNoBookingAndKeepsNoneWaiting) {
    const Case& c = GetParam();
    JobWorld w(source().file("bok.db"));
    std::filesystem::copy_file(w.db, w.dir.file("Vexla2026-01-01.db"));
    struct stat before {};
    ASSERT_EQ(stat(w.db.c_str(), &before), 0);
    BookingSystem system(w.db, c.style, c.wal, w.dir.file("bookings.log"));
    system.awaitAttempts(5);
    std::set<std::string> kept;
    // Three runs, so that bookings fall inside the job's every step.
    bool done = true;
    for (int run = 0; run < 3; ++run) done = runJob(w, c.job, c.wal, kept) && done;
    EXPECT_TRUE(done) << (w.window.logged.empty() ? "" : w.window.logged.back());
    std::set<std::string> inKept;
    for (const std::string& backup : kept) inKept.merge(column(backup, "SELECT Anteckning FROM Bokning"));
    expectNoBookingLost(system, w.db, before, &inKept);
    for (const char* scratch : {".compacted", ".compacted-wal", ".compacted-shm", ".restored"})
        EXPECT_FALSE(std::filesystem::exists(w.db + scratch)) << scratch;
}

std::vector<Case> cases() {
    std::vector<Case> all;
    for (const char* job : {"compact", "restore", "rescued", "copy", "export", "check"})
        for (const char* style : {"per-booking", "kept-open"})
            for (bool wal : {false, true}) all.push_back({job, style, wal});
    return all;
}

INSTANTIATE_TEST_SUITE_P(Jobs, BesideBookingSystem, ::testing::ValuesIn(cases()));

// Runs vexla-transfer (beside vexla-bookingsim) with `args`; its exit status.
int transfer(const std::string& args) {
    const std::string program = std::filesystem::path(VEXLA_BOOKINGSIM).parent_path() / "vexla-transfer";
    const int status = std::system(("VEXLA_PASSWORD=vexla '" + program + "' " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// An import that empties the bookings first removes the bookings made
// before its short write-in (that is what it is for) and none made after;
// the booking system never waits past its busy timeout meanwhile.
TEST(BesideBookingSystemImport, ADeleteFirstImportKeepsTheBookingsMadeAfterIt) {
    for (const char* style : {"per-booking", "kept-open"})
        for (const bool wal : {false, true}) {
            SCOPED_TRACE(std::string(style) + (wal ? " wal" : " rollback"));
            JobWorld w;
            std::filesystem::remove(w.db);
            ASSERT_TRUE(sample::makeSampleDatabase(w.db, {.bookings = 3000, .clean = true}));
            const std::string file = w.dir.file("BokningsReg.skv"), db = " --db '" + w.db + "' --user admin";
            ASSERT_EQ(transfer("export --register bokningar --out '" + file + "'" + db), 0);
            struct stat before {};
            ASSERT_EQ(stat(w.db.c_str(), &before), 0);
            BookingSystem system(w.db, style, wal, w.dir.file("bookings.log"));
            system.awaitAttempts(5);
            EXPECT_EQ(transfer("import --register bokningar --delete-first --in '" + file + "'" + db), 0);
            expectNoBookingLost(system, w.db, before, nullptr);
            EXPECT_EQ(
                column(w.db, "SELECT count(*) FROM Bokning WHERE Anteckning IS NULL OR Anteckning NOT LIKE 'sim-%'"),
                std::set<std::string>{"3000"});
        }
}

// The units a job's progress was reported in.
struct UnitsSeen : JobProgress {
    std::set<ProgressUnit> seen;
    void report(std::uint64_t, std::uint64_t, ProgressUnit unit) override { seen.insert(unit); }
    bool stopRequested() const override { return false; }
};

// A report's read transaction keeps a rollback journal's commit out: the
// compaction tries again until its wait is over and is then refused, saying
// how long and naming the program that has the file open, with the
// database as it was. In WAL mode readers keep nobody out.
TEST(WaitForTheBookingSystem, AReportKeepsOnlyARollbackCommitOut) {
    for (const bool wal : {false, true}) {
        SCOPED_TRACE(wal ? "wal" : "rollback");
        JobWorld w;
        BookingSystem report(w.db, "report", wal, w.dir.file("report.log"));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        w.ctx.waitSeconds = 1;
        UnitsSeen progress;
        w.ctx.progress = &progress;
        const CompactionOutcome outcome = compactDatabase(w.ctx);
        EXPECT_EQ(report.stop(), 0);
        EXPECT_EQ(outcome.compacted(), wal);
        // The wait is shown while it lasts.
        EXPECT_EQ(progress.seen.count(ProgressUnit::Waiting), wal ? 0u : 1u);
        EXPECT_EQ(column(w.db, "PRAGMA integrity_check"), std::set<std::string>{"ok"});
        if (wal) continue;
        ASSERT_TRUE(outcome.refused());
        EXPECT_GE(outcome.failure->keptOpenSeconds, 1);
        ASSERT_EQ(outcome.failure->openers.size(), 1u);
        EXPECT_EQ(outcome.failure->openers[0].pid, report.pid());
        EXPECT_EQ(outcome.failure->openers[0].program.rfind("vexla-booking", 0), 0u);
        EXPECT_FALSE(std::filesystem::exists(w.dir.file("Vexla2026-12-04.db")));
        EXPECT_EQ(outcome.backup, "");  // and names none
    }
}

}  // namespace
}  // namespace vexla::testing
