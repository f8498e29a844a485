// Another program opening the database at a random moment while a job
// runs: the sqlite3 shell (an exclusive transaction that holds on a moment,
// or a plain INSERT), vexla-holddb, and a second administration tool (our
// engine's exclusive opening in another process, inserting one row).
// Either our job reports the database in use and changes nothing, or the
// other program is refused, or the two ran one after the other; never both
// on the file at once. The data afterwards says which: it passes the
// integrity check and holds exactly the rows of one of those outcomes.
//
// The moments come from a fixed seed (VEXLA_CONCURRENCY_SEED overrides it).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "maintenance/compaction.h"
#include "db/sqlite_engine.h"
#include "login/validera.h"
#include "tests/db/db_test_support.h"
#include "tests/maintenance/job_test_support.h"
#include "tests/reliability/reliability_support.h"

namespace vexla {
namespace {

using namespace testing;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr long long kMarkerId = 999999;
constexpr const char* kMarkerInsert = "INSERT INTO Kund (ID, Namn) VALUES (999999, 'Annat program');";

std::uint64_t concurrencySeed() {
    const char* s = std::getenv("VEXLA_CONCURRENCY_SEED");
    return s && *s ? std::strtoull(s, nullptr, 10) : 4122026;
}

enum class Other { ShellExclusive, ShellInsert, ShellWaiting, HoldDb, SecondAdmin, AdminProgram };

const char* otherName(Other o) {
    switch (o) {
        case Other::ShellExclusive: return "sqlite3 BEGIN EXCLUSIVE";
        case Other::ShellInsert: return "sqlite3 INSERT";
        case Other::ShellWaiting: return "sqlite3 INSERT waiting up to 10 s for the lock";
        case Other::HoldDb: return "vexla-holddb";
        case Other::SecondAdmin: return "second opener through our engine";
        case Other::AdminProgram: return "vexla-admin /ak";
    }
    return "?";
}

// Whether the other program writes the marker row when it gets in.
bool writesMarker(Other o) { return o != Other::HoldDb && o != Other::AdminProgram; }

// A copy of the program with its language file, in a folder of its own: the
// program writes its activity log beside itself.
const std::string& adminProgram() {
    static TempFolder folder;
    static const std::string exe = [] {
        const std::string from = db::testing::programDir();
        fs::create_directories(folder.path() + "/bin");
        fs::copy_file(from + "/vexla-admin", folder.path() + "/vexla-admin");
        fs::copy_file(from + "/bin/Lang.ini", folder.path() + "/bin/Lang.ini");
        return folder.path() + "/vexla-admin";
    }();
    return exe;
}

// The other program, started in a child process that waits `delay` first.
class OtherProgram {
public:
    OtherProgram(Other kind, const std::string& db, Clock::duration delay) : kind_(kind) {
        const std::string shell = db::testing::findOnPath("sqlite3");
        const std::string holddb = db::testing::programDir() + "/vexla-holddb";
        const std::string admin = kind == Other::AdminProgram ? adminProgram() : "";
        pid_ = ::fork();
        if (pid_ != 0) return;
        sleepFor(delay);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, 1);
        ::dup2(quiet, 2);
        switch (kind) {
            case Other::ShellExclusive:
                ::execl(shell.c_str(), "sqlite3", "-bail", db.c_str(), "BEGIN EXCLUSIVE;", kMarkerInsert,
                        ".system sleep 0.02", "COMMIT;", static_cast<char*>(nullptr));
                break;
            case Other::ShellInsert:
                ::execl(shell.c_str(), "sqlite3", "-bail", db.c_str(), kMarkerInsert, static_cast<char*>(nullptr));
                break;
            case Other::ShellWaiting:
                ::execl(shell.c_str(), "sqlite3", "-bail", db.c_str(), ".timeout 10000", kMarkerInsert,
                        static_cast<char*>(nullptr));
                break;
            case Other::HoldDb: ::execl(holddb.c_str(), "vexla-holddb", db.c_str(), static_cast<char*>(nullptr)); break;
            case Other::AdminProgram:
                // The unattended compaction, as cron runs it: no display at all.
                ::unsetenv("DISPLAY");
                ::unsetenv("WAYLAND_DISPLAY");
                ::execl(admin.c_str(), "vexla-admin", "/ak", "/d", db.c_str(), static_cast<char*>(nullptr));
                break;
            case Other::SecondAdmin: {
                db::SqliteEngine engine;
                auto opened = engine.OpenDatabase(db, true);
                if (!opened) ::_exit(opened.error().number == 3356 ? 3 : 4);
                if (!(*opened)->Execute("INSERT INTO Kund (ID, Namn) VALUES (999999, 'Annat program')")) ::_exit(5);
                sleepFor(20ms);
                ::_exit((*opened)->Close() ? 0 : 6);
            }
        }
        ::_exit(127);
    }
    ~OtherProgram() {
        if (pid_ > 0) finish();
    }

    // Stops a holder, waits for the program; answers whether it got in (did its work).
    bool finish() {
        if (kind_ == Other::HoldDb) ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return exitStatus_ == 0;
    }
    int exitStatus() const { return exitStatus_; }

private:
    Other kind_;
    pid_t pid_ = -1;
    int exitStatus_ = -1;
};

// The kinds of other program this system has (the shell may be missing).
std::vector<Other> available(std::initializer_list<Other> wanted) {
    std::vector<Other> kinds;
    for (Other o : wanted)
        if (o == Other::HoldDb || o == Other::SecondAdmin || o == Other::AdminProgram ||
            !db::testing::findOnPath("sqlite3").empty())
            kinds.push_back(o);
    return kinds;
}

Rows withMarker(Rows rows, const Rows& source) {
    rows[kMarkerId] = source.at(kMarkerId);
    return rows;
}

// When the other program starts, relative to the job's start: from half a
// job's time before it (the other is in first) to the job's end.
class Moments {
public:
    Moments(std::uint64_t seed, Clock::duration job)
        : random_(seed),
          moment_(-std::chrono::duration_cast<std::chrono::microseconds>(job).count() / 2,
                  std::chrono::duration_cast<std::chrono::microseconds>(job).count()) {}
    std::chrono::microseconds next() { return std::chrono::microseconds(moment_(random_)); }

private:
    std::mt19937_64 random_;
    std::uniform_int_distribution<long> moment_;
};

struct Tally {
    int jobRefused = 0, otherRefused = 0, oneAfterTheOther = 0;
    // SQLite answers "busy" to both of two openers that meet when neither
    // waits (our engine never waits, nor does the shell without a timeout):
    // both give up and neither changes anything.
    int bothRefused = 0;
};

// A compaction while another program opens the database at a random moment.
void compactionTrials(const std::vector<Other>& kinds, int trials, std::uint64_t seed, Tally& tally) {
    // How long one compaction takes here.
    Clock::duration duration;
    {
        JobWorld w(demoDatabase());
        const auto start = Clock::now();
        ASSERT_TRUE(w.compactInWindow());
        duration = Clock::now() - start;
    }
    Moments moments(seed, duration);
    for (int trial = 0; trial < trials; ++trial) {
        const Other kind = kinds[static_cast<std::size_t>(trial) % kinds.size()];
        const auto delay = moments.next();
        SCOPED_TRACE("seed " + std::to_string(seed) + ", compaction trial " + std::to_string(trial) + ": " +
                     otherName(kind) + " at " + std::to_string(delay.count()) + " us");
        JobWorld w(demoDatabase());
        const Rows before = tableRows(w.db, "Kund");
        const auto counts = w.rowsIn(w.db);
        OtherProgram other(kind, w.db, std::max(delay, 0us));
        sleepFor(-delay);
        const bool compacted = w.compactInWindow();
        const bool gotIn = other.finish();

        // Whatever happened, every row the user had is whole in the database.
        auto wholeIn = [&](const std::string& path) {
            if (!fs::exists(path) || !openAndCheck(path).empty()) return false;
            Rows rows = tableRows(path, "Kund");
            auto n = w.rowsIn(path);
            n["Kund"] -= static_cast<long>(rows.erase(kMarkerId));
            return rows == before && n == counts;
        };
        EXPECT_TRUE(wholeIn(w.db));
        EXPECT_EQ(openAndCheck(w.db), "");
        const Rows now = tableRows(w.db, "Kund");
        const bool marked = now.count(kMarkerId) == 1;
        EXPECT_EQ(marked, gotIn && writesMarker(kind)) << "the other program's row";
        EXPECT_EQ(rowsDiff(now, marked ? withMarker(before, now) : before), "");
        auto nowCounts = w.rowsIn(w.db);
        nowCounts["Kund"] -= marked;
        EXPECT_EQ(nowCounts, counts);
        EXPECT_FALSE(fs::exists(w.dir.file(kWorkCopyName)));
        if (compacted) {
            EXPECT_TRUE(w.boxTexts().empty());
            EXPECT_TRUE(fs::exists(w.dir.file("Vexla2026-12-04.db")));
            if (gotIn) ++tally.oneAfterTheOther;
            else ++tally.otherRefused;
        } else {
            // Only the exclusive-use test may refuse: the database in use, nothing touched.
            EXPECT_EQ(w.boxTexts(), std::vector<std::string>{"R1784!\r\nR1785 R0558!\r\nR1786"});
            EXPECT_FALSE(fs::exists(w.dir.file("Vexla2026-12-04.db")));
            ++(gotIn ? tally.jobRefused : tally.bothRefused);
        }
    }
}

// An import after the login, while another program opens the database.
void importTrials(const std::vector<Other>& kinds, int trials, std::uint64_t seed, Tally& tally) {
    TempFolder dir;
    const std::string db = dir.file("bok.db");
    const std::string skv = dir.write("KundReg.skv", customerFile(5000, 3000));
    freshCopy(db);
    const Rows before = tableRows(db, "Kund");

    // What a complete import stores, and how long the login and import take here.
    auto importAfterLogin = [&](FakeMessageBoxes& loginBoxes, ImportRun& run) {
        db::SqliteEngine engine;
        std::unique_ptr<db::Database> shared;
        if (!Validera({engine, shared, db}, loginBoxes, "admin", "vexla")) return false;
        run = runImport(*shared, "Kund", skv, false);
        (void)shared->Close();
        return true;
    };
    Clock::duration duration;
    Rows complete;
    {
        FakeMessageBoxes boxes;
        ImportRun run;
        const auto start = Clock::now();
        ASSERT_TRUE(importAfterLogin(boxes, run));
        duration = Clock::now() - start;
        ASSERT_EQ(run.outcome.inserted, 3000);
        complete = tableRows(db, "Kund");
    }

    Moments moments(seed, duration);
    for (int trial = 0; trial < trials; ++trial) {
        const Other kind = kinds[static_cast<std::size_t>(trial) % kinds.size()];
        const auto delay = moments.next();
        SCOPED_TRACE("seed " + std::to_string(seed) + ", import trial " + std::to_string(trial) + ": " +
                     otherName(kind) + " at " + std::to_string(delay.count()) + " us");
        freshCopy(db);
        OtherProgram other(kind, db, std::max(delay, 0us));
        sleepFor(-delay);
        FakeMessageBoxes loginBoxes;
        ImportRun run;
        const bool loggedIn = importAfterLogin(loginBoxes, run);
        const bool gotIn = other.finish();

        EXPECT_EQ(openAndCheck(db), "");
        const Rows now = tableRows(db, "Kund");
        const bool marked = now.count(kMarkerId) == 1;
        EXPECT_EQ(marked, gotIn && writesMarker(kind)) << "the other program's row";
        if (loggedIn) {
            EXPECT_EQ(run.outcome.inserted, 3000);
            EXPECT_EQ(run.message, "");
            EXPECT_EQ(rowsDiff(now, marked ? withMarker(complete, now) : complete), "");
            if (gotIn) ++tally.oneAfterTheOther;
            else ++tally.otherRefused;
        } else {
            ASSERT_EQ(loginBoxes.shown.size(), 1u);
            EXPECT_EQ(loginBoxes.shown[0].text.rfind("Fel 3356 (", 0), 0u) << loginBoxes.shown[0].text;
            EXPECT_EQ(rowsDiff(now, marked ? withMarker(before, now) : before), "");
            ++(gotIn ? tally.jobRefused : tally.bothRefused);
        }
    }
}

void record(const char* job, const Tally& t) {
    ::testing::Test::RecordProperty(std::string(job) + "_job_refused", t.jobRefused);
    ::testing::Test::RecordProperty(std::string(job) + "_other_refused", t.otherRefused);
    ::testing::Test::RecordProperty(std::string(job) + "_one_after_the_other", t.oneAfterTheOther);
    ::testing::Test::RecordProperty(std::string(job) + "_both_refused", t.bothRefused);
    std::printf("%s: our job refused %d, the other refused %d, one after the other %d, both refused %d\n", job,
                t.jobRefused, t.otherRefused, t.oneAfterTheOther, t.bothRefused);
}

TEST(Concurrency, CompactionAgainstOurOwnPrograms) {
    Tally tally;
    compactionTrials(available({Other::HoldDb, Other::SecondAdmin, Other::AdminProgram}), 60, concurrencySeed(), tally);
    record("compaction", tally);
    // The moments cover the job: some trials meet it running.
    EXPECT_GT(tally.jobRefused + tally.otherRefused, 0);
}

TEST(Concurrency, ImportAgainstTheShellAndOurOwnPrograms) {
    Tally tally;
    importTrials(available({Other::ShellExclusive, Other::ShellInsert, Other::HoldDb, Other::SecondAdmin,
                            Other::AdminProgram}),
                 50,
                 concurrencySeed() + 1, tally);
    record("import", tally);
    EXPECT_GT(tally.jobRefused + tally.otherRefused, 0);
}

// The sqlite3 shell knows nothing of our lock file: only SQLite's own lock,
// held by the compaction from its test to its end, keeps it out. A shell
// that waits for the lock holds the file that was the database when it
// started waiting; once the compacted file has replaced it, SQLite refuses
// that shell's write rather than let it go to a file nobody will read.
TEST(Concurrency, CompactionAgainstTheSqliteShell) {
    if (db::testing::findOnPath("sqlite3").empty()) GTEST_SKIP() << "no sqlite3 shell";
    Tally tally;
    compactionTrials({Other::ShellExclusive, Other::ShellInsert, Other::ShellWaiting}, 60, concurrencySeed() + 2,
                     tally);
    record("compaction against sqlite3", tally);
}

// The same, at every step: before each file operation of the job the shell
// tries to write to the database path, and is refused every time.
TEST(Concurrency, ShellRefusedAtEveryStepOfTheCompaction) {
    const std::string shell = db::testing::findOnPath("sqlite3");
    if (shell.empty()) GTEST_SKIP() << "no sqlite3 shell";
    JobWorld w(demoDatabase());
    const auto rows = w.rowsIn(w.db);
    std::vector<std::string> letIn;
    int tries = 0;
    w.fakes.files.beforeCall = [&](const std::string& op) {
        ++tries;
        if (std::system((shell + " -bail '" + w.db + "' \"" + kMarkerInsert + "\" 2>/dev/null").c_str()) == 0)
            letIn.push_back(op);
    };
    EXPECT_TRUE(w.compactInWindow()) << (w.boxTexts().empty() ? "" : w.boxTexts()[0]);
    EXPECT_GT(tries, 8);
    EXPECT_EQ(letIn, std::vector<std::string>{}) << "the shell was let in before these steps";
    EXPECT_EQ(w.rowsIn(w.db), rows);
}

}  // namespace
}  // namespace vexla
